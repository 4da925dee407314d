// A plain HTTP/1.1 exchange on loopback for tests that meet a server as any
// client does, streaming answers included: no authentication, one connection
// per call.
#pragma once

#include "platform/CSocket.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace talvex::test {

// Sends the raw request bytes and collects the raw answer until the server
// closes, the answer holds `until` (when not empty), or the limit has passed.
// A server that closes before the whole request went out may still have answered.
inline std::string LoopbackExchange(uint16_t port, std::string_view request, std::chrono::milliseconds limit,
                                    std::string_view until = {}) {
    using Clock = std::chrono::steady_clock;
    talvex::CSocket socket;
    sockaddr_in address{};
    if (!socket.CreateTcp() || !talvex::ResolveIPv4("127.0.0.1", port, address) ||
        !socket.ConnectStepped(address, 10, 100, -1))
        return {};
    socket.SendAll({reinterpret_cast<const uint8_t*>(request.data()), request.size()}, -1, 1000);
    std::string answer;
    std::vector<uint8_t> buffer(16384);
    for (const auto end = Clock::now() + limit; Clock::now() < end;) {
        if (!until.empty() && answer.find(until) != std::string::npos)
            break;
        size_t received = 0;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        const talvex::SocketResult result = socket.Receive(buffer, received, -1, int(std::max<long long>(1, left)));
        if (result == talvex::SocketResult::TimedOut)
            continue;
        if (result != talvex::SocketResult::Data)
            break;
        answer.append(reinterpret_cast<const char*>(buffer.data()), received);
    }
    return answer;
}

// A GET of target, as LoopbackExchange.
inline std::string LoopbackGet(uint16_t port, const std::string& target, std::chrono::milliseconds limit,
                               std::string_view until = {}) {
    return LoopbackExchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n",
                            limit, until);
}

inline int StatusOf(const std::string& answer) {
    return answer.size() > 12 ? std::atoi(answer.c_str() + 9) : 0;
}

// What follows the head; empty when the head is incomplete.
inline std::string BodyOf(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

} // namespace talvex::test
