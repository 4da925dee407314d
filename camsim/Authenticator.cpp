#include "Authenticator.h"

#include "common/Base64.h"
#include "common/Md5.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace camsim {

namespace {

std::string_view SkipSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == ','))
        text.remove_prefix(1);
    return text;
}

std::string RandomNonce() {
    std::random_device random;
    std::string nonce;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", unsigned(random()));
        nonce += part;
    }
    return nonce;
}

// "Basic xyz" -> ("Basic", "xyz")
std::pair<std::string_view, std::string_view> SplitScheme(std::string_view value) {
    const size_t space = value.find(' ');
    if (space == std::string_view::npos)
        return {value, {}};
    return {value.substr(0, space), value.substr(space + 1)};
}

} // namespace

std::map<std::string, std::string> ParseAuthParams(std::string_view text) {
    std::map<std::string, std::string> params;
    text = SkipSpaces(text);
    while (!text.empty()) {
        const size_t equals = text.find('=');
        if (equals == std::string_view::npos)
            break;
        std::string name(text.substr(0, equals));
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.pop_back();
        text.remove_prefix(equals + 1);
        std::string value;
        if (!text.empty() && text.front() == '"') {
            text.remove_prefix(1);
            while (!text.empty() && text.front() != '"') {
                if (text.front() == '\\' && text.size() > 1)
                    text.remove_prefix(1);
                value.push_back(text.front());
                text.remove_prefix(1);
            }
            if (!text.empty())
                text.remove_prefix(1);
        } else {
            const size_t end = std::min(text.find(','), text.size());
            value = std::string(text.substr(0, end));
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.pop_back();
            text.remove_prefix(end);
        }
        params[name] = value;
        text = SkipSpaces(text);
    }
    return params;
}

bool Authenticator::Check(const HttpRequestHead& head, AuthMode mode, const std::string& user,
                          const std::string& password) {
    if (mode == AuthMode::None)
        return true;
    const std::string authorization = head.Header("Authorization");
    const auto [scheme, params] = SplitScheme(authorization);
    if (mode == AuthMode::Basic)
        return EqualsIgnoreCase(scheme, "Basic") && params == talvex::Base64Encode(user + ":" + password);
    return EqualsIgnoreCase(scheme, "Digest") && CheckDigest(head, params, user, password);
}

// RFC 2617 section 3.2.2: response = MD5(HA1:nonce[:nc:cnonce:qop]:HA2).
bool Authenticator::CheckDigest(const HttpRequestHead& head, std::string_view text, const std::string& user,
                                const std::string& password) {
    std::map<std::string, std::string> params = ParseAuthParams(text);
    if (params["username"] != user || params["realm"] != m_realm || params["uri"] != head.target ||
        !IsLiveNonce(params["nonce"]))
        return false;
    const std::string& algorithm = params["algorithm"];
    if (!algorithm.empty() && !EqualsIgnoreCase(algorithm, "MD5"))
        return false;
    const std::string ha1 = talvex::Md5Hex(user + ":" + m_realm + ":" + password);
    const std::string ha2 = talvex::Md5Hex(head.method + ":" + params["uri"]);
    std::string expected;
    if (params["qop"].empty())
        expected = talvex::Md5Hex(ha1 + ":" + params["nonce"] + ":" + ha2);
    else if (params["qop"] == "auth")
        expected = talvex::Md5Hex(ha1 + ":" + params["nonce"] + ":" + params["nc"] + ":" + params["cnonce"] +
                                  ":auth:" + ha2);
    else
        return false;
    return params["response"] == expected;
}

bool Authenticator::IsLiveNonce(const std::string& nonce) {
    std::lock_guard lock(m_mutex);
    return !nonce.empty() && std::find(m_nonces.begin(), m_nonces.end(), nonce) != m_nonces.end();
}

std::string Authenticator::Challenge(AuthMode mode) {
    if (mode != AuthMode::Digest)
        return "Basic realm=\"" + m_realm + "\"";
    const std::string nonce = RandomNonce();
    {
        std::lock_guard lock(m_mutex);
        if (m_nonces.size() == kMaxLiveNonces)
            m_nonces.pop_front();
        m_nonces.push_back(nonce);
    }
    return "Digest realm=\"" + m_realm + "\", nonce=\"" + nonce + "\", algorithm=MD5, qop=\"auth\"";
}

} // namespace camsim
