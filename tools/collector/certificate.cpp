#include "tools/collector/certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>

namespace collector {
namespace {

constexpr long kValidSeconds = 30L * 24 * 3600;
constexpr long kBackdateSeconds = 3600;  // tolerate a client clock slightly behind

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool AddExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (ext == nullptr)
        return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

}  // namespace

bool MakeSelfSignedCertificate(const std::string& certPath, const std::string& keyPath,
                               std::string& error) {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    if (!key) {
        error = "cannot generate a P-256 key";
        return false;
    }
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), &X509_free);
    if (!cert) {
        error = "cannot allocate a certificate";
        return false;
    }
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    RAND_bytes(serial, sizeof(serial));
    serial[0] &= 0x7F;  // positive
    BIGNUM* bn = BN_bin2bn(serial, sizeof(serial), nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kBackdateSeconds);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidSeconds);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    if (!AddExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
        !AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign") ||
        !AddExtension(cert.get(), NID_ext_key_usage, "serverAuth") ||
        !AddExtension(cert.get(), NID_subject_key_identifier, "hash") ||
        !AddExtension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost")) {
        error = "cannot add the certificate extensions";
        return false;
    }
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
        error = "cannot sign the certificate";
        return false;
    }

    mode_t old = ::umask(077);
    File keyFile(std::fopen(keyPath.c_str(), "wb"));
    ::umask(old);
    if (!keyFile || PEM_write_PrivateKey(keyFile.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                         nullptr) != 1) {
        error = "cannot write the key to " + keyPath;
        return false;
    }
    File certFile(std::fopen(certPath.c_str(), "wb"));
    if (!certFile || PEM_write_X509(certFile.get(), cert.get()) != 1) {
        error = "cannot write the certificate to " + certPath;
        return false;
    }
    if (std::fflush(keyFile.get()) != 0 || std::fflush(certFile.get()) != 0) {
        error = "cannot write the certificate files";
        return false;
    }
    return true;
}

}  // namespace collector
