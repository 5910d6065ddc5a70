#include "Certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

namespace parlomar::standin {

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION, X509_EXTENSION_free>>;

void Check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("certificate generation failed: ") + what);
    }
}

void AddExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
    Check(ext != nullptr, value);
    Check(X509_add_ext(cert, ext.get(), -1) == 1, value);
}

// Writes through a temporary file and renames it into place, so a crash leaves no half file.
template <typename Writer>
void WriteAtomically(const std::filesystem::path& file, mode_t mode, Writer write) {
    std::filesystem::path temp = file;
    temp += ".tmp";
    FILE* out = std::fopen(temp.c_str(), "wb");
    Check(out != nullptr, "cannot create the file");
    chmod(temp.c_str(), mode);
    bool ok = write(out);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::filesystem::remove(temp);
        Check(false, "cannot write the file");
    }
    std::filesystem::rename(temp, file);
}

} // namespace

void GenerateCertificate(const std::filesystem::path& certFile, const std::filesystem::path& keyFile) {
    KeyPtr key(EVP_EC_gen("P-256"));
    Check(key != nullptr, "key");
    CertPtr cert(X509_new());
    Check(cert != nullptr, "X509_new");
    Check(X509_set_version(cert.get(), 2) == 1, "version");
    unsigned char serial[16];
    Check(RAND_bytes(serial, sizeof serial) == 1, "serial");
    serial[0] &= 0x7f;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    Check(bn != nullptr && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get())) != nullptr, "serial");
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    Check(X509_set_pubkey(cert.get(), key.get()) == 1, "public key");
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Parlomar stand-in"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"),
                               -1, -1, 0);
    Check(X509_set_issuer_name(cert.get(), name) == 1, "issuer");
    AddExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), NID_subject_key_identifier, "hash");
    AddExtension(cert.get(), NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    Check(X509_sign(cert.get(), key.get(), EVP_sha256()) > 0, "signature");

    WriteAtomically(keyFile, 0600, [&](FILE* out) {
        return PEM_write_PrivateKey(out, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    });
    WriteAtomically(certFile, 0644, [&](FILE* out) { return PEM_write_X509(out, cert.get()) == 1; });
}

bool EnsureCertificate(const std::filesystem::path& certFile, const std::filesystem::path& keyFile) {
    if (std::filesystem::exists(certFile) && std::filesystem::exists(keyFile)) {
        return false;
    }
    GenerateCertificate(certFile, keyFile);
    return true;
}

} // namespace parlomar::standin
