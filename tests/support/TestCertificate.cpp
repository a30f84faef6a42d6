#include "tests/support/TestCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

namespace {
template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;

bool WritePem(const std::string& path, bool (*write)(FILE*, void*), void* object) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    const bool ok = write(file, object);
    return std::fclose(file) == 0 && ok;
}
}  // namespace

bool WriteSelfSignedCertificate(const std::string& directory, std::string& certificateFile,
                                std::string& keyFile) {
    KeyPtr key(EVP_EC_gen("P-256"));
    CertPtr cert(X509_new());
    if (!key || !cert)
        return false;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1");
    if (!san)
        return false;
    X509_add_ext(cert.get(), san, -1);
    X509_EXTENSION_free(san);
    if (!X509_sign(cert.get(), key.get(), EVP_sha256()))
        return false;

    certificateFile = directory + "/cert.pem";
    keyFile = directory + "/key.pem";
    const bool certOk = WritePem(
        certificateFile, [](FILE* f, void* o) { return PEM_write_X509(f, static_cast<X509*>(o)) == 1; },
        cert.get());
    const bool keyOk = WritePem(
        keyFile,
        [](FILE* f, void* o) {
            return PEM_write_PrivateKey(f, static_cast<EVP_PKEY*>(o), nullptr, nullptr, 0, nullptr,
                                        nullptr) == 1;
        },
        key.get());
    return certOk && keyOk;
}
