// What the certificate question shows of a certificate a server sent: any DER bytes give texts or
// nothing, never a crash.
#include "core/server/CertificateCheck.h"

#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const unsigned char* in = data;
    X509* certificate = d2i_X509(nullptr, &in, static_cast<long>(size));
    parlomar::CertificateInfo info;
    parlomar::DescribeCertificate(certificate, info);
    if (certificate) {
        if (info.fingerprint.size() != 32 * 3 - 1)
            __builtin_trap(); // SHA-256 as hex pairs joined by ":"
        if (info.subject.size() > 16 * size + 64 || info.issuer.size() > 16 * size + 64)
            __builtin_trap();
        X509_free(certificate);
    } else if (!info.subject.empty() || !info.fingerprint.empty()) {
        __builtin_trap();
    }
    return 0;
}
