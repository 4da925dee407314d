// The camera's HTTPS identity: a key and a self-signed certificate made in
// memory at start, as a camera makes its own on first boot.
#pragma once

#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace camsim {

class TlsContext {
public:
    // Null with error filled when OpenSSL cannot make the key or certificate.
    static std::unique_ptr<TlsContext> CreateSelfSigned(const std::string& commonName, std::string& error);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* Get() const { return m_context; }

private:
    explicit TlsContext(SSL_CTX* context) : m_context(context) {}
    SSL_CTX* m_context;
};

} // namespace camsim
