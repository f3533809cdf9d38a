#include "support/TestCertificate.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include "net/TlsContext.h"
#include "net/TlsTrustStore.h"

namespace {

template <typename T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;

void Check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("test certificate: ") + what);
}

void AddAltName(X509* cert, const std::string& name)
{
    const bool address =
        name.find_first_not_of("0123456789.") == std::string::npos || name.find(':') != std::string::npos;
    const std::string value = (address ? "IP:" : "DNS:") + name;
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, value.c_str());
    Check(ext != nullptr && X509_add_ext(cert, ext, -1) == 1, "subjectAltName");
    X509_EXTENSION_free(ext);
}

void WritePem(const std::string& path, const std::function<int(FILE*)>& write)
{
    FILE* file = std::fopen(path.c_str(), "w");
    Check(file != nullptr, "open");
    const bool ok = write(file) == 1;
    std::fclose(file);
    Check(ok, "write");
}

} // namespace

TestCertificate::TestCertificate(const std::string& folder, const std::string& name, const std::string& tag)
    : FCertPath(folder + "/" + tag + ".crt"), FKeyPath(folder + "/" + tag + ".key")
{
    KeyPtr key(EVP_EC_gen("P-256"));
    Check(key != nullptr, "key");
    CertPtr cert(X509_new());
    X509_set_version(cert.get(), 2);
    static long serial = 1;
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), ++serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400L * 30);
    X509_NAME* subject = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Ferrystar tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert.get(), subject);
    X509_set_pubkey(cert.get(), key.get());
    AddAltName(cert.get(), name);
    Check(X509_sign(cert.get(), key.get(), EVP_sha256()) > 0, "sign");
    WritePem(FKeyPath, [&](FILE* f) {
        return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    WritePem(FCertPath, [&](FILE* f) { return PEM_write_X509(f, cert.get()); });
    FFingerprint = TlsFingerprint(cert.get());
}

void TrustCertificate(const std::string& path, const std::string& host, int port,
                      const std::string& fingerprint)
{
    TTlsTrustStore(path).Trust(host, port, fingerprint);
}
