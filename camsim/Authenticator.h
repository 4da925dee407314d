// HTTP authentication as the camera does it: Basic, or an RFC 2617 Digest
// challenge (MD5, qop=auth) with nonces issued by this camera.
#pragma once

#include "CameraState.h"
#include "HttpMessage.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace camsim {

// The parameters of an Authorization or WWW-Authenticate value after its
// scheme word: name=value or name="quoted value", separated by commas.
std::map<std::string, std::string> ParseAuthParams(std::string_view text);

class Authenticator {
public:
    explicit Authenticator(std::string realm) : m_realm(std::move(realm)) {}

    // True when the request's Authorization satisfies the mode with the credentials.
    bool Check(const HttpRequestHead& head, AuthMode mode, const std::string& user, const std::string& password);
    // The WWW-Authenticate value of a 401 (a fresh nonce for Digest).
    std::string Challenge(AuthMode mode);

private:
    // Nonces a client may still answer; the oldest is forgotten first.
    static constexpr size_t kMaxLiveNonces = 256;

    bool CheckDigest(const HttpRequestHead& head, std::string_view params, const std::string& user,
                     const std::string& password);
    bool IsLiveNonce(const std::string& nonce);

    const std::string m_realm;
    std::mutex m_mutex;
    std::deque<std::string> m_nonces;
};

} // namespace camsim
