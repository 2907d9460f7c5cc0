#include "sila/silaidentity.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <QUuid>

namespace {

constexpr char kIdentityFile[] = "sila-server.json";
constexpr char kCertificateFile[] = "sila-server.crt";
constexpr char kKeyFile[] = "sila-server.key";
constexpr char kDefaultName[] = "Corvane pump panel";
constexpr int kMaxNameLength = 255;
constexpr int kOpensslTimeoutMs = 30000;

QByteArray readAll(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return {};
    }
    return file.readAll();
}

} // namespace

QString SilaIdentity::load()
{
    if (!QDir().mkpath(m_folder))
        return QStringLiteral("%1: cannot make the folder").arg(m_folder);
    const QString path = QDir(m_folder).filePath(QLatin1String(kIdentityFile));
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonObject kept = QJsonDocument::fromJson(file.readAll()).object();
        const QUuid uuid = QUuid::fromString(kept.value(QStringLiteral("uuid")).toString());
        if (!uuid.isNull()) {
            m_uuid = uuid.toString(QUuid::WithoutBraces);
            m_name = kept.value(QStringLiteral("name")).toString().left(kMaxNameLength);
        }
    }
    if (m_name.isEmpty())
        m_name = QLatin1String(kDefaultName);
    if (!m_uuid.isEmpty())
        return {};
    m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return save();
}

QString SilaIdentity::setName(const QString &name)
{
    m_name = name.left(kMaxNameLength);
    return save();
}

QString SilaIdentity::save() const
{
    QSaveFile file(QDir(m_folder).filePath(QLatin1String(kIdentityFile)));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(QJsonDocument(
                   QJsonObject{{QStringLiteral("uuid"), m_uuid}, {QStringLiteral("name"), m_name}})
                   .toJson());
    return file.commit() ? QString() : file.errorString();
}

QString SilaIdentity::loadCertificate(const QString &certificatePath, const QString &keyPath)
{
    QString certificate = certificatePath;
    QString key = keyPath;
    if (certificate.isEmpty() != key.isEmpty())
        return QStringLiteral("--sila-cert and --sila-key go together");
    if (certificate.isEmpty()) {
        certificate = QDir(m_folder).filePath(QLatin1String(kCertificateFile));
        key = QDir(m_folder).filePath(QLatin1String(kKeyFile));
        if (!QFile::exists(certificate) || !QFile::exists(key)) {
            if (const QString problem = makeCertificate(certificate, key); !problem.isEmpty())
                return problem;
        }
    }
    QString error;
    m_certificatePem = readAll(certificate, &error);
    if (error.isEmpty())
        m_keyPem = readAll(key, &error);
    if (error.isEmpty() &&
        (!m_certificatePem.contains("BEGIN CERTIFICATE") || !m_keyPem.contains("PRIVATE KEY")))
        error = QStringLiteral("%1 or %2 is not in PEM form").arg(certificate, key);
    return error;
}

QString SilaIdentity::makeCertificate(const QString &certificatePath, const QString &keyPath) const
{
    // Made under other names and renamed when whole, the key never readable by others: the
    // process's umask leaves it to openssl, which makes it 0600 only since 3.0.
    const QString newKey = keyPath + QStringLiteral(".new");
    const QString newCertificate = certificatePath + QStringLiteral(".new");
    QFile::remove(newKey);
    {
        QFile placeholder(newKey);
        if (!placeholder.open(QIODevice::WriteOnly) ||
            !placeholder.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return QStringLiteral("%1: %2").arg(newKey, placeholder.errorString());
    }
    QProcess openssl;
    openssl.start(
        QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-days", "3650", "-subj", "/CN=SiLA2/O=Corvane pump panel", "-keyout", newKey, "-out",
         newCertificate, "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost,DNS:SiLA2",
         "-addext",
         QStringLiteral("%1=ASN1:UTF8String:%2").arg(QLatin1String(kUuidExtensionOid), m_uuid)});
    if (!openssl.waitForStarted())
        return QStringLiteral("openssl cannot be started: %1").arg(openssl.errorString());
    if (!openssl.waitForFinished(kOpensslTimeoutMs) || openssl.exitCode() != 0)
        return QStringLiteral("openssl could not make the certificate: %1")
            .arg(QString::fromLocal8Bit(openssl.readAllStandardError()).trimmed());
    QFile::setPermissions(newKey, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::remove(keyPath);
    QFile::remove(certificatePath);
    if (!QFile::rename(newKey, keyPath) || !QFile::rename(newCertificate, certificatePath))
        return QStringLiteral("%1: cannot be renamed").arg(newKey);
    return {};
}

QString SilaIdentity::fingerprintOf(const QByteArray &certificatePem)
{
    const qsizetype begin = certificatePem.indexOf("-----BEGIN CERTIFICATE-----");
    const qsizetype end = certificatePem.indexOf("-----END CERTIFICATE-----");
    if (begin < 0 || end < begin)
        return {};
    const qsizetype body = certificatePem.indexOf('\n', begin) + 1;
    const QByteArray der = QByteArray::fromBase64(certificatePem.mid(body, end - body));
    return QString::fromLatin1(
        QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper());
}
