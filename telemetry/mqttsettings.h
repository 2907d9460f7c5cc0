#pragma once

#include <QString>

// Where and as whom the panel publishes: from --mqtt URL, --mqtt-id, --mqtt-auth FILE and
// --mqtt-ca FILE. The password is read from a file, never taken from the command line, where
// any user's `ps` would show it; both files are read once, at start.
struct MqttSettings
{
    bool tls = false;
    QString host;
    quint16 port = 0;
    QString id;   // topics are corvane/<id>/...
    QString user; // empty: no credentials
    QString password;
    QString authFile;                  // where they were read, for the warning below
    bool authReadableByOthers = false; // the password file may be read by other users
    // The certificate authorities that sign the broker's certificate, as PEM read at start;
    // empty: the system's.
    QByteArray caCertificates;
    QString session; // this start of the panel, in every message beside its sequence number
    // An attempt that has neither connected nor failed by then is given up and tried again.
    int connectTimeoutMs = 15'000;

    // mqtt://host[:port] or mqtts://host[:port] (1883 and 8883 by default). False when it is
    // not that (credentials, a path or a query included).
    static bool parseUrl(const QString &url, MqttSettings *settings);
    // The host name reduced to the characters a topic level and a client id may safely hold.
    static QString idFrom(const QString &name);
    // Those characters of text, and no others.
    static QString topicSafe(const QString &text);
    // A user line and a password line, as --mqtt-auth holds them. False when there is no user.
    static bool takeAuth(const QByteArray &text, MqttSettings *settings);

    QString topic(const QString &leaf) const
    {
        return QStringLiteral("corvane/%1/%2").arg(id, leaf);
    }
};
