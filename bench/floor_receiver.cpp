// The floor of the live-path benchmark: the least work that receives the same
// RTP stream. It sets up one RTSP session (DESCRIBE, SETUP, PLAY; RTP over UDP
// or interleaved on the connection), copies each payload once into a frame
// buffer that a marker bit empties, keeps the session alive, and prints
// "frames=N payload_bytes=B" after --seconds.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t RTP_HEADER_BYTES = 12;
constexpr auto KEEP_ALIVE_INTERVAL = std::chrono::seconds(10);

struct Counters {
    uint64_t frames = 0;
    uint64_t payloadBytes = 0;
    std::vector<uint8_t> frame;
};

// One RTP packet: the payload after the header, CSRCs and extension, copied once.
void TakeRtp(const uint8_t* data, size_t size, Counters& counters) {
    if (size < RTP_HEADER_BYTES || (data[0] >> 6) != 2)
        return;
    size_t offset = RTP_HEADER_BYTES + 4 * size_t(data[0] & 0x0F);
    if ((data[0] & 0x10) && offset + 4 <= size)
        offset += 4 + 4 * ((size_t(data[offset + 2]) << 8) | data[offset + 3]);
    if (offset > size)
        return;
    counters.frame.insert(counters.frame.end(), data + offset, data + size);
    counters.payloadBytes += size - offset;
    if (data[1] & 0x80) {
        ++counters.frames;
        counters.frame.clear();
    }
}

class RtspConnection {
public:
    bool Open(const std::string& host, uint16_t port) {
        m_socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        inet_pton(AF_INET, host.c_str(), &address.sin_addr);
        return connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    // Sends a request and reads its answer (headers and body).
    std::string Exchange(const std::string& method, const std::string& url, const std::string& headers) {
        Send(method, url, headers);
        std::string answer;
        char buffer[4096];
        size_t headerEnd = std::string::npos;
        while (headerEnd == std::string::npos || answer.size() < headerEnd + 4 + ContentLength(answer)) {
            const ssize_t received = recv(m_socket, buffer, sizeof buffer, 0);
            if (received <= 0)
                return {};
            answer.append(buffer, size_t(received));
            headerEnd = answer.find("\r\n\r\n");
        }
        return answer;
    }
    void Send(const std::string& method, const std::string& url, const std::string& headers) {
        const std::string request = method + " " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(++m_cseq) +
                                    "\r\n" + headers + "\r\n";
        send(m_socket, request.data(), request.size(), MSG_NOSIGNAL);
    }
    int Socket() const { return m_socket; }
    ~RtspConnection() {
        if (m_socket >= 0)
            close(m_socket);
    }

private:
    static size_t ContentLength(const std::string& answer) {
        const size_t position = answer.find("Content-Length:");
        return position == std::string::npos ? 0 : std::strtoul(answer.c_str() + position + 15, nullptr, 10);
    }
    int m_socket = -1;
    uint32_t m_cseq = 0;
};

// Reads interleaved frames ('$', channel, length) from the connection; RTSP
// answers in between (to keep-alives) are skipped.
void ConsumeInterleaved(std::string& input, Counters& counters) {
    size_t position = 0;
    while (position < input.size()) {
        if (input[position] != '$') {
            const size_t end = input.find("\r\n\r\n", position);
            if (end == std::string::npos)
                break;
            position = end + 4;
            continue;
        }
        if (input.size() - position < 4)
            break;
        const size_t length = (size_t(uint8_t(input[position + 2])) << 8) | uint8_t(input[position + 3]);
        if (input.size() - position < 4 + length)
            break;
        if (input[position + 1] == 0)
            TakeRtp(reinterpret_cast<const uint8_t*>(input.data() + position + 4), length, counters);
        position += 4 + length;
    }
    input.erase(0, position);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: floor_receiver HOST RTSP_PORT PATH udp|tcp SECONDS\n");
        return 2;
    }
    const std::string host = argv[1];
    const uint16_t port = uint16_t(std::atoi(argv[2]));
    const std::string url = "rtsp://" + host + ":" + argv[2] + argv[3];
    const bool interleaved = std::strcmp(argv[4], "tcp") == 0;
    const auto seconds = std::chrono::seconds(std::atoi(argv[5]));

    RtspConnection rtsp;
    if (!rtsp.Open(host, port) || rtsp.Exchange("DESCRIBE", url, "Accept: application/sdp\r\n").empty())
        return 1;
    int rtpSocket = -1;
    std::string transport = "RTP/AVP/TCP;unicast;interleaved=0-1";
    if (!interleaved) {
        rtpSocket = socket(AF_INET, SOCK_DGRAM, 0);
        const int bufferBytes = 4 * 1024 * 1024;
        setsockopt(rtpSocket, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        bind(rtpSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(rtpSocket, reinterpret_cast<sockaddr*>(&address), &length);
        const uint16_t rtpPort = ntohs(address.sin_port);
        transport = "RTP/AVP;unicast;client_port=" + std::to_string(rtpPort) + "-" + std::to_string(rtpPort + 1);
    }
    const std::string setup = rtsp.Exchange("SETUP", url + "/trackID=1", "Transport: " + transport + "\r\n");
    const size_t sessionAt = setup.find("Session: ");
    if (sessionAt == std::string::npos)
        return 1;
    const std::string session = setup.substr(sessionAt + 9, setup.find_first_of(";\r", sessionAt) - sessionAt - 9);
    const std::string sessionLine = "Session: " + session + "\r\n";
    if (interleaved)
        rtsp.Send("PLAY", url, sessionLine + "Range: npt=0.000-\r\n");
    else if (rtsp.Exchange("PLAY", url, sessionLine + "Range: npt=0.000-\r\n").empty())
        return 1;

    Counters counters;
    std::vector<uint8_t> datagram(65536);
    std::string stream;
    const auto end = Clock::now() + seconds;
    auto nextKeepAlive = Clock::now() + KEEP_ALIVE_INTERVAL;
    while (Clock::now() < end) {
        pollfd fds[2] = {{rtsp.Socket(), POLLIN, 0}, {rtpSocket, POLLIN, 0}};
        if (poll(fds, interleaved ? 1 : 2, 100) < 0)
            break;
        if (fds[0].revents & POLLIN) {
            char buffer[65536];
            const ssize_t received = recv(rtsp.Socket(), buffer, sizeof buffer, 0);
            if (received <= 0)
                break;
            if (interleaved) {
                stream.append(buffer, size_t(received));
                ConsumeInterleaved(stream, counters);
            }
        }
        if (!interleaved && (fds[1].revents & POLLIN)) {
            ssize_t received;
            while ((received = recv(rtpSocket, datagram.data(), datagram.size(), MSG_DONTWAIT)) > 0)
                TakeRtp(datagram.data(), size_t(received), counters);
        }
        if (Clock::now() >= nextKeepAlive) {
            rtsp.Send("GET_PARAMETER", url, sessionLine);
            nextKeepAlive += KEEP_ALIVE_INTERVAL;
        }
    }
    rtsp.Send("TEARDOWN", url, sessionLine);
    std::printf("frames=%llu payload_bytes=%llu\n", (unsigned long long)counters.frames,
                (unsigned long long)counters.payloadBytes);
    if (rtpSocket >= 0)
        close(rtpSocket);
    return 0;
}
