#pragma once

#include <QByteArray>
#include <QString>

// Who the SiLA 2 server is, kept across the panel's starts in a folder of the panel's data:
// its UUID (made at the first start), the name a client may give it, and the TLS certificate
// and key it serves with. Without a certificate of the lab's own, a self-signed one is made
// at the first start with the openssl program: it names 127.0.0.1 and localhost and carries
// the server's UUID in the extension SiLA 2 clients read (OID 1.3.6.1.4.1.58583); the key is
// readable by its owner only.
class SilaIdentity
{
public:
    static constexpr char kUuidExtensionOid[] = "1.3.6.1.4.1.58583";

    explicit SilaIdentity(const QString &folder) : m_folder(folder) {}

    // Reads or makes the UUID and the name. Empty when done; else why not.
    QString load();
    QString uuid() const { return m_uuid; }
    QString name() const { return m_name; }
    // Empty when kept; else why not.
    QString setName(const QString &name);

    // The certificate and key to serve with: the given pair, or the panel's own, made when
    // missing. Empty when both are read; else why not.
    QString loadCertificate(const QString &certificatePath, const QString &keyPath);
    QByteArray certificatePem() const { return m_certificatePem; }
    QByteArray keyPem() const { return m_keyPem; }
    // SHA-256 of the certificate's DER form, as colon-separated hex pairs, for a client to pin.
    QString fingerprint() const { return fingerprintOf(m_certificatePem); }
    static QString fingerprintOf(const QByteArray &certificatePem);

    QString folder() const { return m_folder; }

private:
    QString makeCertificate(const QString &certificatePath, const QString &keyPath) const;
    QString save() const;

    QString m_folder;
    QString m_uuid;
    QString m_name;
    QByteArray m_certificatePem;
    QByteArray m_keyPem;
};
