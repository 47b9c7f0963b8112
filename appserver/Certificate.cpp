#include "appserver/Certificate.h"

#include "platform/Exceptions.h"

#include <QFile>
#include <QHostAddress>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <functional>
#include <memory>

namespace {

template <typename T, void (*Free)(T*)>
struct TFree {
    void operator()(T* p) const { Free(p); }
};
using TKey = std::unique_ptr<EVP_PKEY, TFree<EVP_PKEY, EVP_PKEY_free>>;
using TCert = std::unique_ptr<X509, TFree<X509, X509_free>>;
using TBio = std::unique_ptr<BIO, TFree<BIO, BIO_free_all>>;

[[noreturn]] void Fail(const char* step)
{
    throw Exception(QStringLiteral("无法生成服务器证书（%1）").arg(QLatin1String(step)));
}

QByteArray Pem(const std::function<int(BIO*)>& write)
{
    TBio bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1)
        Fail("PEM");
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, static_cast<int>(n));
}

void WriteFile(const QString& path, const QByteArray& bytes, bool secret)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Exception(QStringLiteral("无法写入证书文件 %1：%2").arg(path, f.errorString()));
    if (secret)
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (f.write(bytes) != bytes.size())
        throw Exception(QStringLiteral("无法写入证书文件 %1：%2").arg(path, f.errorString()));
}

} // namespace

void EnsureCertificate(const QString& certFile, const QString& keyFile, const QStringList& names)
{
    if (QFile::exists(certFile) && QFile::exists(keyFile))
        return;
    TKey key(EVP_EC_gen("P-256"));
    if (!key)
        Fail("key");
    TCert cert(X509_new());
    if (!cert)
        Fail("x509");
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        Fail("serial");
    serial[0] &= 0x7F; // a positive serial number
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* subject = X509_get_subject_name(cert.get());
    const QByteArray cn = names.value(0, QStringLiteral("tradebill-server")).toUtf8();
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(cn.constData()), -1, -1, 0);
    X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Tradebill"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), subject);
    QStringList alt;
    for (const QString& n : names)
        alt << (QHostAddress(n).isNull() ? QStringLiteral("DNS:") : QStringLiteral("IP:")) + n;
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
    const QByteArray altText = alt.join(u',').toUtf8();
    for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, altText.constData()}, std::pair{NID_basic_constraints, "critical,CA:TRUE"},
                                     std::pair{NID_ext_key_usage, "serverAuth"}}) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        if (!ext)
            Fail("extension");
        X509_add_ext(cert.get(), ext, -1);
        X509_EXTENSION_free(ext);
    }
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        Fail("sign");
    const QByteArray keyPem = Pem([&](BIO* b) { return PEM_write_bio_PrivateKey(b, key.get(), nullptr, nullptr, 0, nullptr, nullptr); });
    const QByteArray certPem = Pem([&](BIO* b) { return PEM_write_bio_X509(b, cert.get()); });
    WriteFile(keyFile, keyPem, true);
    WriteFile(certFile, certPem, false);
}
