#include "TlsContext.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace camsim {

namespace {

constexpr long kCertificateValiditySeconds = 10L * 365 * 24 * 3600;

struct PkeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct SslCtxDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

std::string LastOpenSslError(const char* what) {
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return std::string(what) + ": " + text;
}

std::unique_ptr<X509, X509Deleter> MakeCertificate(EVP_PKEY* key, const std::string& commonName) {
    std::unique_ptr<X509, X509Deleter> certificate(X509_new());
    if (!certificate)
        return nullptr;
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kCertificateValiditySeconds);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), name);
    if (X509_sign(certificate.get(), key, EVP_sha256()) == 0)
        return nullptr;
    return certificate;
}

} // namespace

std::unique_ptr<TlsContext> TlsContext::CreateSelfSigned(const std::string& commonName, std::string& error) {
    std::unique_ptr<EVP_PKEY, PkeyDeleter> key(EVP_EC_gen("P-256"));
    if (!key) {
        error = LastOpenSslError("key generation");
        return nullptr;
    }
    auto certificate = MakeCertificate(key.get(), commonName);
    if (!certificate) {
        error = LastOpenSslError("certificate");
        return nullptr;
    }
    std::unique_ptr<SSL_CTX, SslCtxDeleter> context(SSL_CTX_new(TLS_server_method()));
    if (!context || SSL_CTX_use_certificate(context.get(), certificate.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context.get(), key.get()) != 1) {
        error = LastOpenSslError("TLS context");
        return nullptr;
    }
    return std::unique_ptr<TlsContext>(new TlsContext(context.release()));
}

TlsContext::~TlsContext() {
    SSL_CTX_free(m_context);
}

} // namespace camsim
