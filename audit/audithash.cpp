#include "audit/audithash.h"

#include <QCryptographicHash>

#ifdef CORVANE_AUDIT_OPENSSL
#include <openssl/evp.h>

#include <memory>
#endif

namespace {

constexpr qsizetype kDigestSize = 32;
constexpr char kHexDigits[] = "0123456789abcdef";

void digest(QByteArrayView bytes, unsigned char *out)
{
#ifdef CORVANE_AUDIT_OPENSSL
    // Fetched once: OpenSSL's one-shot SHA256() looks the algorithm up, under a lock, each time.
    static EVP_MD *const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    thread_local const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(
        EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (sha256 && context && EVP_DigestInit_ex(context.get(), sha256, nullptr) == 1 &&
        EVP_DigestUpdate(context.get(), bytes.data(), size_t(bytes.size())) == 1 &&
        EVP_DigestFinal_ex(context.get(), out, nullptr) == 1)
        return;
#endif
    const QByteArray result = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    std::copy(result.cbegin(), result.cend(), out);
}

} // namespace

QByteArray AuditHash::sha256Hex(QByteArrayView bytes)
{
    unsigned char sum[kDigestSize];
    digest(bytes, sum);
    QByteArray hex(kHexSize, Qt::Uninitialized);
    for (qsizetype i = 0; i < kDigestSize; ++i) {
        hex[2 * i] = kHexDigits[sum[i] >> 4];
        hex[2 * i + 1] = kHexDigits[sum[i] & 0xf];
    }
    return hex;
}

bool AuditHash::matches(QByteArrayView bytes, QByteArrayView hex)
{
    if (hex.size() != kHexSize)
        return false;
    unsigned char sum[kDigestSize];
    digest(bytes, sum);
    for (qsizetype i = 0; i < kDigestSize; ++i)
        if (hex[2 * i] != kHexDigits[sum[i] >> 4] || hex[2 * i + 1] != kHexDigits[sum[i] & 0xf])
            return false;
    return true;
}

QByteArray AuditHash::none()
{
    return QByteArray(kHexSize, '0');
}
