#pragma once

#include "core/server/TransportUi.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <filesystem>
#include <string>

namespace parlomar {

// The server certificate rules of the transport, in two steps.
//
// During the TLS handshake of a new connection, the connection's own TLS context verifies the chain
// against the system's authorities (and an extra file for tests) and the server's name, and records
// the result on the TLS session, but never ends the handshake: the context holds everything the
// check reads, so nothing of it can outlive the request that made it. Renegotiation is refused.
//
// Before each request is sent on a connection, new, reused or resumed from a cached TLS session,
// CheckPeerCertificate decides with the remembered fingerprint as it stands at that moment. A
// certificate that is not accepted ends the transfer before anything is sent.
struct CertificateCheck {
    std::string host;
    unsigned port = 0;
    std::string pin;                 // the remembered fingerprint for host and port, or empty
    std::string acceptedFingerprint; // accepted for this request by the operator or the setting
    std::filesystem::path extraAuthorities;

    bool rejected = false; // set by CheckPeerCertificate; info then says why
    CertificateInfo info;
};

// CURLOPT_SSL_CTX_FUNCTION: argument is the CertificateCheck of the request that opens the
// connection (read only during this call).
CURLcode PrepareTlsContext(CURL* easy, void* sslContext, void* argument);

// True when the certificate of the connection's peer may be used for check's request. Otherwise
// check.rejected is set and check.info filled for the question.
bool CheckPeerCertificate(CertificateCheck& check, const SSL* ssl);

// What the certificate question shows of a certificate the server sent: subject, issuer, validity
// and fingerprint into info (the texts stay empty for a null certificate).
void DescribeCertificate(const X509* certificate, CertificateInfo& info);

// The SHA-256 fingerprint of a certificate: upper-case hex pairs joined by ":".
std::string CertificateFingerprint(const X509* certificate);

} // namespace parlomar
