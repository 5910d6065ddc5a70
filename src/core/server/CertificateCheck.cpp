#include "core/server/CertificateCheck.h"

#include "core/server/HttpTransport.h"

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <cstdio>
#include <ctime>
#include <memory>

namespace parlomar {

namespace {

bool IsIpAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string NameText(const X509_NAME* name) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    if (!bio || !name)
        return {};
    X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::string TimeText(const ASN1_TIME* time) {
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return {};
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return buffer;
}

TransportStatus StatusOfVerifyError(long error) {
    switch (error) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
    case X509_V_ERR_EMAIL_MISMATCH:
        return kStatusCertificateName;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CRL_HAS_EXPIRED:
    case X509_V_ERR_CRL_NOT_YET_VALID:
        return kStatusCertificateDate;
    default:
        return kStatusUntrustedCertificate;
    }
}

// Verifies the chain with the context's store and parameters (the server's name among them) and
// stops at the first problem, which becomes the connection's verify result, kept with its TLS
// session. The handshake always goes on: CheckPeerCertificate decides before anything is sent.
int VerifyChain(X509_STORE_CTX* context, void*) {
    X509_verify_cert(context);
    return 1;
}

} // namespace

std::string CertificateFingerprint(const X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return {};
    std::string text;
    char hex[4];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", digest[i]);
        if (i)
            text += ':';
        text += hex;
    }
    return text;
}

CURLcode PrepareTlsContext(CURL*, void* sslContext, void* argument) {
    const auto* check = static_cast<const CertificateCheck*>(argument);
    auto* context = static_cast<SSL_CTX*>(sslContext);
    // A server may not start a new handshake on an open connection.
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    X509_STORE* store = X509_STORE_new();
    if (!store)
        return CURLE_OUT_OF_MEMORY;
    X509_STORE_set_default_paths(store);
    if (!check->extraAuthorities.empty())
        X509_STORE_load_file(store, check->extraAuthorities.c_str());
    SSL_CTX_set_cert_store(context, store);
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(context);
    if (IsIpAddress(check->host))
        X509_VERIFY_PARAM_set1_ip_asc(param, check->host.c_str());
    else
        X509_VERIFY_PARAM_set1_host(param, check->host.c_str(), check->host.size());
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(context, VerifyChain, nullptr);
    return CURLE_OK;
}

void DescribeCertificate(const X509* certificate, CertificateInfo& info) {
    if (certificate) {
        info.subject = NameText(X509_get_subject_name(certificate));
        info.issuer = NameText(X509_get_issuer_name(certificate));
        info.notBefore = TimeText(X509_get0_notBefore(certificate));
        info.notAfter = TimeText(X509_get0_notAfter(certificate));
    }
    info.fingerprint = CertificateFingerprint(certificate);
}

bool CheckPeerCertificate(CertificateCheck& check, const SSL* ssl) {
    const X509* leaf = ssl ? SSL_get0_peer_certificate(ssl) : nullptr;
    const std::string fingerprint = CertificateFingerprint(leaf);
    const long error = ssl ? SSL_get_verify_result(ssl) : X509_V_ERR_UNSPECIFIED;
    const bool verified = leaf && error == X509_V_OK;

    bool accept = false;
    if (!fingerprint.empty() && fingerprint == check.acceptedFingerprint)
        accept = true;
    else if (!check.pin.empty())
        accept = !fingerprint.empty() && fingerprint == check.pin;
    else
        accept = verified;
    if (accept)
        return true;

    CertificateInfo& info = check.info;
    info.host = check.host;
    info.port = check.port;
    DescribeCertificate(leaf, info);
    info.changed = !check.pin.empty();
    info.previousFingerprint = check.pin;
    if (verified) {
        info.status = kStatusUntrustedCertificate;
        info.problem = "The server's certificate differs from the one accepted before for this server.";
    } else {
        info.status = StatusOfVerifyError(error);
        info.problem = leaf ? X509_verify_cert_error_string(error) : "The server sent no certificate.";
        if (info.changed)
            info.problem = "The server's certificate differs from the one accepted before for this server: " +
                           info.problem;
    }
    check.rejected = true;
    return false;
}

} // namespace parlomar
