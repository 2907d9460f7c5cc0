#pragma once

#include <QString>

// Where and as whom the panel publishes: from --mqtt URL, --mqtt-id, --mqtt-auth FILE and
// --mqtt-ca FILE. The password is read from a file, never taken from the command line, where
// any user's `ps` would show it.
struct MqttSettings
{
    bool tls = false;
    QString host;
    quint16 port = 0;
    QString id;   // topics are corvane/<id>/...
    QString user; // empty: no credentials
    QString password;
    QString caFile; // the certificate authority that signs the broker's certificate
    QString session; // this start of the panel, in every message beside its sequence number

    // mqtt://host[:port] or mqtts://host[:port] (1883 and 8883 by default). False when it is
    // not that (credentials, a path or a query included).
    static bool parseUrl(const QString &url, MqttSettings *settings);
    // The host name reduced to the characters a topic level and a client id may safely hold.
    static QString idFrom(const QString &name);
    // A user line and a password line. False when the file cannot be read (*why says why) or
    // holds no user.
    static bool readAuthFile(const QString &path, MqttSettings *settings, QString *why);

    QString topic(const QString &leaf) const
    {
        return QStringLiteral("corvane/%1/%2").arg(id, leaf);
    }
};
