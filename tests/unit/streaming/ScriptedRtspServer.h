// A loopback TCP peer for RTSP client tests: accepts one connection, records
// each request and answers it with what the script returns for it (an empty
// answer closes the connection). Raw bytes can be pushed between answers.
#pragma once

#include "common/CEvent.h"
#include "platform/CSocket.h"

#include <arpa/inet.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvex::test {

class ScriptedRtspServer {
public:
    using Script = std::function<std::string(const std::string& request, size_t index)>;

    explicit ScriptedRtspServer(Script script) : m_script(std::move(script)) {
        m_listener.CreateTcp();
        m_listener.SetOption(SOL_SOCKET, SO_REUSEADDR, 1);
        m_listener.Bind(htonl(INADDR_LOOPBACK), 0);
        m_listener.Listen(1);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedRtspServer() {
        m_stop.Set();
        m_thread.join();
    }

    uint16_t GetPort() const { return m_listener.GetLocalPort(); }
    std::vector<std::string> GetRequests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void Serve() {
        const int stopFd = m_stop.GetNativeHandle();
        CSocket connection;
        sockaddr_in peer{};
        if (m_listener.Accept(connection, peer, stopFd, 10000) != SocketResult::Data)
            return;
        std::string pending;
        std::vector<uint8_t> buffer(4096);
        for (;;) {
            const size_t end = pending.find("\r\n\r\n");
            if (end != std::string::npos) {
                const std::string request = pending.substr(0, end + 4);
                pending.erase(0, end + 4);
                size_t index = 0;
                {
                    std::lock_guard lock(m_mutex);
                    m_requests.push_back(request);
                    index = m_requests.size() - 1;
                }
                const std::string answer = m_script(request, index);
                if (answer.empty())
                    return;
                connection.SendAll({reinterpret_cast<const uint8_t*>(answer.data()), answer.size()}, stopFd, 2000);
                continue;
            }
            size_t received = 0;
            if (connection.Receive(buffer, received, stopFd, 10000) != SocketResult::Data)
                return;
            pending.append(reinterpret_cast<const char*>(buffer.data()), received);
        }
    }

    Script m_script;
    CManualEvent m_stop;
    CSocket m_listener;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// The CSeq a request carries.
inline std::string CSeqOf(const std::string& request) {
    const size_t key = request.find("CSeq: ");
    return key == std::string::npos ? std::string() : request.substr(key + 6, request.find("\r\n", key) - key - 6);
}

} // namespace talvex::test
