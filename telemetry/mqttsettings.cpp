#include "telemetry/mqttsettings.h"

#include <QUrl>

bool MqttSettings::parseUrl(const QString &text, MqttSettings *settings)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != u"mqtt" && scheme != u"mqtts") || url.host().isEmpty() ||
        (!url.path().isEmpty() && url.path() != u"/") || url.hasQuery() || url.hasFragment() ||
        !url.userInfo().isEmpty() || url.port(-1) == 0)
        return false;
    settings->tls = scheme == u"mqtts";
    settings->host = url.host();
    settings->port = quint16(url.port(settings->tls ? 8883 : 1883));
    return true;
}

QString MqttSettings::topicSafe(const QString &text)
{
    QString safe;
    for (const QChar c : text) {
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
            c == u'_' || c == u'-')
            safe += c;
    }
    return safe;
}

QString MqttSettings::idFrom(const QString &name)
{
    const QString id = topicSafe(name);
    return id.isEmpty() ? QStringLiteral("panel") : id;
}

bool MqttSettings::takeAuth(const QByteArray &text, MqttSettings *settings)
{
    const QList<QByteArray> lines = text.split('\n');
    const auto line = [&](int i) {
        return i < lines.size() ? QString::fromUtf8(lines[i]).remove(u'\r') : QString();
    };
    if (line(0).isEmpty())
        return false;
    settings->user = line(0);
    settings->password = line(1);
    return true;
}
