// A blocking RTSP connection for camsim's own tests: it reads exactly what it
// is asked for, so the bytes between two messages stay visible.
#pragma once

#include "support/Loopback.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace camsim::test {

class RawRtspConnection {
public:
    static constexpr std::chrono::seconds kReadTimeout{3};

    explicit RawRtspConnection(uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval timeout{std::chrono::duration_cast<std::chrono::seconds>(kReadTimeout).count(), 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const sockaddr_in address = talvex::test::Loopback(port);
        m_connected = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawRtspConnection() { ::close(m_fd); }
    bool Connected() const { return m_connected; }

    // Sends "METHOD url RTSP/1.0" with a CSeq and the extra header lines; the answer's head.
    std::string Request(const std::string& method, const std::string& url, const std::string& headers = "") {
        const std::string text =
            method + " " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(++m_cseq) + "\r\n" + headers + "\r\n";
        if (::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL) != ssize_t(text.size()))
            return {};
        return ReadAnswerHead();
    }
    // The head of the next answer (status line to the empty line); its body is kept as LastBody().
    std::string ReadAnswerHead() {
        std::string head;
        while (!head.ends_with("\r\n\r\n")) {
            const auto byte = ReadExactly(1);
            if (!byte)
                return {};
            head.push_back(char((*byte)[0]));
        }
        const size_t length = head.find("Content-Length: ");
        const auto body =
            length == std::string::npos ? std::nullopt : ReadExactly(std::strtoul(head.c_str() + length + 16, nullptr, 10));
        m_lastBody = body ? std::string(body->begin(), body->end()) : std::string();
        return head;
    }
    const std::string& LastBody() const { return m_lastBody; }
    std::optional<std::vector<uint8_t>> ReadExactly(size_t count) {
        std::vector<uint8_t> bytes(count);
        for (size_t done = 0; done < count;) {
            const ssize_t received = ::recv(m_fd, bytes.data() + done, count - done, 0);
            if (received <= 0)
                return std::nullopt;
            done += size_t(received);
        }
        return bytes;
    }
    // One interleaved frame: its channel and data.
    std::optional<std::pair<uint8_t, std::vector<uint8_t>>> ReadInterleaved() {
        const auto header = ReadExactly(4);
        if (!header || (*header)[0] != '$')
            return std::nullopt;
        auto data = ReadExactly(size_t((*header)[2] << 8 | (*header)[3]));
        if (!data)
            return std::nullopt;
        return std::make_pair((*header)[1], std::move(*data));
    }

private:
    int m_fd = -1;
    bool m_connected = false;
    uint32_t m_cseq = 0;
    std::string m_lastBody;
};

inline std::string SessionId(const std::string& head) {
    const size_t start = head.find("Session: ");
    if (start == std::string::npos)
        return {};
    const size_t end = head.find_first_of(";\r", start + 9);
    return head.substr(start + 9, end - start - 9);
}

} // namespace camsim::test
