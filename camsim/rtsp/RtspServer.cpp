#include "RtspServer.h"

#include "RecordingSearch.h"
#include "RtspSession.h"
#include "common/Base64.h"
#include "common/CEvent.h"
#include "common/Md5.h"
#include "platform/CSocket.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

namespace camsim {

namespace {

constexpr size_t MAX_REQUEST_HEADER_BYTES = 16384;
constexpr size_t MAX_REQUEST_BODY_BYTES = 65536;
constexpr size_t MAX_LOGGED_REQUESTS = 1000;
constexpr size_t STREAM_COUNT = 3;
constexpr int CONNECTION_POLL_MS = 500;
constexpr int WRITE_TIMEOUT_MS = 2000;
constexpr uint32_t FIRST_PATHLESS_GENERATION = 6; // "/video1" from here, "/media/video1" below
// Recordings are replayed on "/media/<name>" below this generation, on "/stream?name=<name>" from it.
constexpr uint32_t FIRST_STREAM_QUERY_GENERATION = 6;
constexpr uint32_t MAX_CUT_REPLAY_MS = 3600 * 1000;
// Sessions one connection may hold; expired ones are dropped first.
constexpr size_t MAX_SESSIONS_PER_CONNECTION = 16;

std::string ToLower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower;
}

std::string Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

struct Request {
    std::string method;
    std::string url;
    std::map<std::string, std::string> headers; // lower-case names
    std::string Header(const std::string& name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? std::string() : found->second;
    }
};

std::optional<Request> ParseRequest(std::string_view head) {
    Request request;
    size_t lineEnd = head.find("\r\n");
    std::istringstream requestLine(std::string(head.substr(0, lineEnd)));
    std::string version;
    if (!(requestLine >> request.method >> request.url >> version) || !version.starts_with("RTSP/"))
        return std::nullopt;
    while (lineEnd != std::string_view::npos && lineEnd + 2 < head.size()) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line = head.substr(start, lineEnd == std::string_view::npos ? head.npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos)
            request.headers[ToLower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
    }
    return request;
}

// Parameters of a Digest authorisation line: name="value", ...
std::map<std::string, std::string> ParseDigestParameters(std::string_view text) {
    std::map<std::string, std::string> parameters;
    size_t position = 0;
    while (position < text.size()) {
        const size_t equals = text.find('=', position);
        if (equals == std::string_view::npos)
            break;
        const std::string name = ToLower(Trim(text.substr(position, equals - position)));
        size_t valueStart = equals + 1;
        std::string value;
        if (valueStart < text.size() && text[valueStart] == '"') {
            const size_t close = text.find('"', valueStart + 1);
            value = std::string(text.substr(valueStart + 1, close - valueStart - 1));
            position = close == std::string_view::npos ? text.size() : close + 1;
        } else {
            const size_t comma = text.find(',', valueStart);
            value = Trim(text.substr(valueStart, comma - valueStart));
            position = comma == std::string_view::npos ? text.size() : comma;
        }
        parameters[name] = value;
        position = text.find_first_not_of(", \t", position);
        if (position == std::string_view::npos)
            break;
    }
    return parameters;
}

// The path of rtsp://host[:port]/path[/trackID=N][/] (with its query) and the
// track number (0 when none is named); nullopt without a path.
std::optional<std::string> StreamPath(const std::string& url, uint32_t& track) {
    const size_t scheme = url.find("://");
    const size_t pathStart = scheme == std::string::npos ? std::string::npos : url.find('/', scheme + 3);
    if (pathStart == std::string::npos)
        return std::nullopt;
    std::string path = url.substr(pathStart);
    track = 0;
    const size_t trackPosition = path.find("/trackID=");
    if (trackPosition != std::string::npos) {
        track = uint32_t(std::strtoul(path.c_str() + trackPosition + 9, nullptr, 10));
        path.erase(trackPosition);
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// "a-b" after key in a Transport header.
bool ReadPortPair(const std::string& transport, const std::string& key, uint32_t& first, uint32_t& second) {
    const size_t position = transport.find(key);
    if (position == std::string::npos)
        return false;
    return std::sscanf(transport.c_str() + position + key.size(), "%u-%u", &first, &second) == 2;
}

// The codec a camera that ignored a codec change keeps sending.
VideoCodec OtherCodec(VideoCodec codec) {
    switch (codec) {
    case VideoCodec::H264:
        return VideoCodec::Mpeg4;
    case VideoCodec::Mpeg4:
        return VideoCodec::Jpeg;
    default:
        return VideoCodec::H264;
    }
}

const char* StatusText(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 454:
        return "Session Not Found";
    case 455:
        return "Method Not Valid in This State";
    case 457:
        return "Invalid Range";
    case 461:
        return "Unsupported Transport";
    case 503:
        return "Service Unavailable";
    default:
        return "Internal Server Error";
    }
}

} // namespace

// What a request URL names: a live stream or a recording.
struct StreamTarget {
    uint32_t streamIndex = 0;
    std::string recording; // empty for a live stream
};

class RtspServer::Impl : public TestHookProvider {
public:
    Impl(RtspServerOptions options, Camera* camera)
        : m_options(std::move(options)), m_camera(camera), m_clips(m_options.clipsDirectory),
          m_audioClips(m_options.clipsDirectory),
          m_random(std::random_device{}()) {
        if (m_camera) {
            m_faults.outage = &m_camera->Outage();
            m_store = std::make_shared<RecordingStore>(int64_t(m_options.recordingSeconds) * 1000);
        }
    }
    ~Impl() override { Stop(); }

    // Test hooks: "recordings" and "cut_replay".
    void AppendState(std::vector<std::string>& members) const override;
    std::optional<std::string> CheckControl(std::string_view key, std::string_view value) const override;
    void ApplyControl(std::string_view key, std::string_view value) override;
    std::shared_ptr<const RecordingStore> Recordings() const { return m_store; }

    bool Start(std::string& error);
    void Stop();
    uint16_t Port() const { return m_port; }
    RtspFaults& Faults() { return m_faults; }
    void DropConnections(uint32_t afterMs) { Schedule(afterMs, [this] { DropNow(); }); }
    void SendBye(uint32_t afterMs) { Schedule(afterMs, [this] { ByeNow(); }); }
    void SendGarbage(size_t bytes, uint32_t afterMs) { Schedule(afterMs, [this, bytes] { GarbageNow(bytes); }); }
    void GrowNextKeyFrame(uint32_t bytes, uint32_t afterMs) {
        Schedule(afterMs, [this, bytes] { GrowNextKeyFrameNow(bytes); });
    }
    std::vector<std::string> RequestLog() const {
        std::lock_guard lock(m_logMutex);
        return {m_requestLog.begin(), m_requestLog.end()};
    }
    size_t ActiveSessionCount() const;

private:
    struct Connection {
        talvex::CSocket socket;
        sockaddr_in peer{};
        std::mutex writeMutex;
        std::string nonce;
        std::vector<std::shared_ptr<RtspSession>> sessions;
        std::mutex sessionsMutex;
        std::atomic<bool> done{false};
        std::thread thread;
    };
    struct Response {
        int status = 200;
        std::string headers;
        std::string body;
        std::function<void()> afterSend;
    };
    struct StreamChoice {
        std::shared_ptr<const Clip> clip;
        bool available = false;
        uint32_t clipFrameRate = Clip::FRAME_RATE;
        uint32_t frameRate = Clip::FRAME_RATE; // sent, at most clipFrameRate
    };

    void AcceptLoop();
    void Serve(Connection& connection);
    bool ConsumeInput(Connection& connection, std::string& input);
    Response Handle(Connection& connection, const Request& request);
    Response Describe(const Request& request, const StreamTarget& target);
    Response SetUp(Connection& connection, const Request& request, const StreamTarget& target, uint32_t track);
    Response Play(Connection& connection, const std::shared_ptr<RtspSession>& session, const Request& request);
    bool Authorised(const Connection& connection, const Request& request) const;
    // The status a fault puts in place of the answer to method; 0 when none.
    uint32_t FaultStatus(const std::string& method) const;
    std::string Challenge(const Connection& connection) const;
    bool ParseStreamUrl(const std::string& url, uint32_t& streamIndex, uint32_t& track) const;
    // A live stream's or a recording's URL.
    bool ParseTarget(const std::string& url, StreamTarget& target, uint32_t& track) const;
    StreamChoice ChooseStream(uint32_t streamIndex);
    StreamChoice Choose(const StreamTarget& target);
    // Records the recording stream until the server stops.
    void RecordLoop();
    // The microphone's clip in the camera's codec; null when the audio track is off.
    std::shared_ptr<const AudioClip> ChooseAudio();
    std::shared_ptr<RtspSession> FindSession(Connection& connection, const Request& request);
    bool WriteInterleaved(Connection& connection, uint8_t channel, std::span<const uint8_t> data);
    bool WriteText(Connection& connection, const std::string& text);
    void EndSessions(Connection& connection);
    void ReapFinishedConnections();
    void Schedule(uint32_t afterMs, std::function<void()> action);
    void DropNow();
    void ByeNow();
    void GarbageNow(size_t bytes);
    void GrowNextKeyFrameNow(uint32_t bytes);
    std::vector<uint8_t> MakeGarbage(size_t bytes);
    void TimerLoop();
    uint32_t Random();
    std::string RandomToken(size_t length);
    uint32_t Generation() const { return m_camera ? m_camera->State().Generation() : m_options.generation; }
    AuthMode Auth() const { return m_camera ? m_camera->State().Auth() : m_options.auth; }
    std::string User() const { return m_camera ? m_camera->State().User() : m_options.user; }
    std::string Password() const { return m_camera ? m_camera->State().Password() : m_options.password; }
    // Sets the camera's "RTSPPort" to the port this server listens on.
    void PublishPort();
    // The camera's "RTSPTimeout" when it names one, else the configured time-out.
    uint32_t SessionTimeoutSeconds() const;

    RtspServerOptions m_options;
    Camera* m_camera;
    ClipLibrary m_clips;
    AudioClipLibrary m_audioClips;
    RtspFaults m_faults;
    talvex::CSocket m_listener;
    std::atomic<uint16_t> m_port{0};
    talvex::CManualEvent m_stopEvent;
    std::thread m_acceptThread;
    mutable std::mutex m_connectionsMutex;
    std::list<std::unique_ptr<Connection>> m_connections;
    std::mutex m_randomMutex;
    std::mt19937 m_random;
    mutable std::mutex m_logMutex;
    std::deque<std::string> m_requestLog;
    // Delayed faults.
    std::mutex m_timerMutex;
    std::condition_variable m_timerWake;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> m_timers;
    std::thread m_timerThread;
    std::atomic<bool> m_running{false};
    // The camera's recordings (with a camera only).
    std::shared_ptr<RecordingStore> m_store;
    std::thread m_recordThread;
    bool m_routesAdded = false;
};

uint32_t RtspServer::Impl::Random() {
    std::lock_guard lock(m_randomMutex);
    return m_random();
}

std::string RtspServer::Impl::RandomToken(size_t length) {
    static constexpr char ALPHABET[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string token;
    for (size_t i = 0; i < length; ++i)
        token.push_back(ALPHABET[Random() % (sizeof ALPHABET - 1)]);
    return token;
}

void RtspServer::Impl::PublishPort() {
    if (!m_camera)
        return;
    // Clients learn the RTSP port from the camera's inquiry answer.
    const std::string port = std::to_string(m_port.load());
    const auto published = m_camera->State().Value("RTSPPort");
    if (published && *published != port)
        m_camera->State().ApplyCommand(CameraState::Cgi::Camera, {{"RTSPPort", port}});
}

uint32_t RtspServer::Impl::SessionTimeoutSeconds() const {
    if (m_camera)
        if (const auto value = m_camera->State().Value("RTSPTimeout"))
            if (const unsigned long seconds = std::strtoul(value->c_str(), nullptr, 10); seconds > 0)
                return uint32_t(seconds);
    return m_options.sessionTimeoutSeconds;
}

bool RtspServer::Impl::Start(std::string& error) {
    in_addr address{};
    if (!talvex::ParseIPv4(m_options.bindAddress, address)) {
        error = "RTSP bind address is not a dotted IPv4 address";
        return false;
    }
    if (!m_listener.CreateTcp() || !m_listener.SetOption(SOL_SOCKET, SO_REUSEADDR, 1) ||
        !m_listener.Bind(address.s_addr, m_options.port) || !m_listener.Listen(16)) {
        error = "RTSP port " + std::to_string(m_options.port) + " cannot be opened";
        m_listener.Close();
        return false;
    }
    m_port = m_listener.GetLocalPort();
    PublishPort();
    m_stopEvent.Reset();
    m_running = true;
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    m_timerThread = std::thread([this] { TimerLoop(); });
    if (m_store) {
        if (!m_routesAdded) {
            RecordingSearch::AddRoute(m_camera->Http(), m_store);
            m_camera->Hooks().Add(*this);
            m_routesAdded = true;
        }
        m_recordThread = std::thread([this] { RecordLoop(); });
    }
    return true;
}

// The camera records what video1 would send, at its frame rate, stamped by its own clock.
void RtspServer::Impl::RecordLoop() {
    size_t frameIndex = 0;
    auto next = std::chrono::steady_clock::now();
    std::unique_lock lock(m_timerMutex);
    while (m_running) {
        if (m_timerWake.wait_until(lock, next, [this] { return !m_running; }))
            break;
        lock.unlock();
        const StreamChoice choice = ChooseStream(0);
        if (choice.available)
            m_store->Add(choice.clip, frameIndex * choice.clipFrameRate / choice.frameRate,
                         m_camera->State().Clock().NowUnixMs());
        else
            m_store->Interrupt();
        ++frameIndex;
        next += std::chrono::microseconds(1000000 / std::max(choice.frameRate, 1u));
        lock.lock();
    }
}

void RtspServer::Impl::Stop() {
    if (!m_running)
        return;
    m_running = false;
    m_stopEvent.Set();
    {
        std::lock_guard lock(m_timerMutex);
        m_timers.clear();
    }
    m_timerWake.notify_all();
    m_timerThread.join();
    if (m_recordThread.joinable())
        m_recordThread.join();
    m_acceptThread.join();
    std::list<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard lock(m_connectionsMutex);
        connections.swap(m_connections);
    }
    for (auto& connection : connections) {
        connection->socket.Shutdown();
        connection->thread.join();
    }
    m_listener.Close();
}

void RtspServer::Impl::AcceptLoop() {
    while (true) {
        auto connection = std::make_unique<Connection>();
        const talvex::SocketResult result =
            m_listener.Accept(connection->socket, connection->peer, m_stopEvent.GetNativeHandle(), CONNECTION_POLL_MS);
        if (result == talvex::SocketResult::Stopped || result == talvex::SocketResult::Broken)
            return;
        ReapFinishedConnections();
        if (result != talvex::SocketResult::Data)
            continue;
        connection->nonce = RandomToken(32);
        Connection& served = *connection;
        std::lock_guard lock(m_connectionsMutex);
        m_connections.push_back(std::move(connection));
        served.thread = std::thread([this, &served] { Serve(served); });
    }
}

void RtspServer::Impl::ReapFinishedConnections() {
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard lock(m_connectionsMutex);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            auto next = std::next(it);
            if ((*it)->done)
                finished.splice(finished.end(), m_connections, it);
            it = next;
        }
    }
    for (auto& connection : finished)
        connection->thread.join();
}

size_t RtspServer::Impl::ActiveSessionCount() const {
    std::lock_guard lock(m_connectionsMutex);
    size_t count = 0;
    for (auto& connection : m_connections) {
        std::lock_guard sessionsLock(connection->sessionsMutex);
        count += size_t(std::count_if(connection->sessions.begin(), connection->sessions.end(),
                                      [](const auto& session) { return !session->IsExpired(); }));
    }
    return count;
}

void RtspServer::Impl::Serve(Connection& connection) {
    std::string input;
    std::vector<uint8_t> buffer(8192);
    while (true) {
        size_t received = 0;
        const talvex::SocketResult result =
            connection.socket.Receive(buffer, received, m_stopEvent.GetNativeHandle(), CONNECTION_POLL_MS);
        if (result == talvex::SocketResult::TimedOut)
            continue;
        if (result != talvex::SocketResult::Data)
            break;
        input.append(reinterpret_cast<const char*>(buffer.data()), received);
        if (!ConsumeInput(connection, input))
            break;
    }
    EndSessions(connection);
    connection.done = true;
}

bool RtspServer::Impl::ConsumeInput(Connection& connection, std::string& input) {
    while (!input.empty()) {
        if (input[0] == '$') {
            // Interleaved data from the client (RTCP receiver reports): keeps its sessions.
            if (input.size() < 4)
                return true;
            const size_t length = (size_t(uint8_t(input[2])) << 8) | uint8_t(input[3]);
            if (input.size() < 4 + length)
                return true;
            input.erase(0, 4 + length);
            std::lock_guard lock(connection.sessionsMutex);
            for (auto& session : connection.sessions)
                session->Touch();
            continue;
        }
        const size_t headerEnd = input.find("\r\n\r\n");
        if (headerEnd == std::string::npos)
            return input.size() <= MAX_REQUEST_HEADER_BYTES;
        const std::optional<Request> request = ParseRequest(std::string_view(input).substr(0, headerEnd));
        const size_t bodyBytes = request ? std::strtoul(request->Header("content-length").c_str(), nullptr, 10) : 0;
        if (bodyBytes > MAX_REQUEST_BODY_BYTES)
            return false;
        if (input.size() < headerEnd + 4 + bodyBytes)
            return true;
        input.erase(0, headerEnd + 4 + bodyBytes);
        if (m_faults.outage && m_faults.outage->Active())
            continue; // cut off: the request never arrived
        Response response = request ? Handle(connection, *request) : Response{400, "", "", nullptr};
        std::string text = "RTSP/1.0 " + std::to_string(response.status) + " " + StatusText(response.status) + "\r\n";
        if (request && !request->Header("cseq").empty())
            text += "CSeq: " + request->Header("cseq") + "\r\n";
        text += response.headers + "Server: fennwick-camsim\r\n";
        if (!response.body.empty())
            text += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
        text += "\r\n" + response.body;
        if (!WriteText(connection, text))
            return false;
        if (response.afterSend)
            response.afterSend();
    }
    return true;
}

bool RtspServer::Impl::WriteText(Connection& connection, const std::string& text) {
    std::lock_guard lock(connection.writeMutex);
    return connection.socket.SendAll({reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                                     m_stopEvent.GetNativeHandle(), WRITE_TIMEOUT_MS);
}

bool RtspServer::Impl::WriteInterleaved(Connection& connection, uint8_t channel, std::span<const uint8_t> data) {
    const uint8_t frameHeader[4] = {'$', channel, uint8_t(data.size() >> 8), uint8_t(data.size())};
    std::lock_guard lock(connection.writeMutex);
    const int stopFd = m_stopEvent.GetNativeHandle();
    return connection.socket.SendAll(frameHeader, stopFd, WRITE_TIMEOUT_MS) &&
           connection.socket.SendAll(data, stopFd, WRITE_TIMEOUT_MS);
}

void RtspServer::Impl::EndSessions(Connection& connection) {
    std::vector<std::shared_ptr<RtspSession>> sessions;
    {
        std::lock_guard lock(connection.sessionsMutex);
        sessions.swap(connection.sessions);
    }
    for (auto& session : sessions)
        session->End(false);
}

bool RtspServer::Impl::ParseStreamUrl(const std::string& url, uint32_t& streamIndex, uint32_t& track) const {
    const std::optional<std::string> found = StreamPath(url, track);
    if (!found)
        return false;
    const std::string& path = *found;
    const std::string prefix = Generation() < FIRST_PATHLESS_GENERATION ? "/media/video" : "/video";
    if (!path.starts_with(prefix) || path.size() != prefix.size() + 1)
        return false;
    const char digit = path.back();
    if (digit < '1' || digit > char('0' + STREAM_COUNT))
        return false;
    streamIndex = uint32_t(digit - '1');
    return track <= 2;
}

RtspServer::Impl::StreamChoice RtspServer::Impl::ChooseStream(uint32_t streamIndex) {
    VideoCodec codec = m_options.codecs[streamIndex];
    uint16_t width = m_options.width;
    uint32_t frameRate = m_options.frameRate.value_or(Clip::FRAME_RATE);
    if (m_camera) {
        const std::string number = std::to_string(streamIndex + 1);
        if (const auto value = m_camera->State().Value("ImageCodec" + number)) {
            const auto parsed = ParseVideoCodec(*value);
            if (!parsed)
                return {}; // "off"
            codec = *parsed;
        }
        if (const auto size = m_camera->State().Value("ImageSize" + number))
            width = uint16_t(std::strtoul(size->c_str(), nullptr, 10));
        const auto rate = m_camera->State().Value("FrameRate" + number);
        if (rate && !m_options.frameRate) {
            // A faster camera rate than the clips' stays at the clips' rate.
            const unsigned long wanted = std::strtoul(rate->c_str(), nullptr, 10);
            if (wanted >= 1 && wanted < frameRate)
                frameRate = uint32_t(wanted);
        }
    }
    if (m_faults.otherCodec)
        codec = OtherCodec(codec);
    auto clip = m_clips.Get(codec, width);
    return {clip, clip != nullptr, m_options.frameRate.value_or(Clip::FRAME_RATE), frameRate};
}

bool RtspServer::Impl::ParseTarget(const std::string& url, StreamTarget& target, uint32_t& track) const {
    if (ParseStreamUrl(url, target.streamIndex, track))
        return true;
    // /media/<name> or /stream?name=<name>
    const std::optional<std::string> found = m_store ? StreamPath(url, track) : std::nullopt;
    if (!found)
        return false;
    const std::string& path = *found;
    const std::string prefix = Generation() < FIRST_STREAM_QUERY_GENERATION ? "/media/" : "/stream?name=";
    if (!path.starts_with(prefix) || path.size() == prefix.size())
        return false;
    target.recording = path.substr(prefix.size());
    return m_store->ClipOf(target.recording) != nullptr;
}

RtspServer::Impl::StreamChoice RtspServer::Impl::Choose(const StreamTarget& target) {
    if (target.recording.empty())
        return ChooseStream(target.streamIndex);
    auto clip = m_store->ClipOf(target.recording);
    return {clip, clip != nullptr, Clip::FRAME_RATE, Clip::FRAME_RATE};
}

void RtspServer::Impl::AppendState(std::vector<std::string>& members) const {
    std::string list;
    for (const RecordingEntry& entry : m_store->Recordings())
        list += std::string(list.empty() ? "" : ", ") + "{\"name\": \"" + entry.name + "\", \"start_ms\": " +
                std::to_string(entry.startMs) + ", \"end_ms\": " + std::to_string(entry.endMs) + "}";
    members.push_back("\"recordings\": [" + list + "]");
}

std::optional<std::string> RtspServer::Impl::CheckControl(std::string_view key, std::string_view value) const {
    if (key != "cut_replay")
        return std::nullopt;
    uint32_t ms = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), ms);
    if (error != std::errc() || end != value.data() + value.size() || ms > MAX_CUT_REPLAY_MS)
        return "cut_replay wants milliseconds from 0 to " + std::to_string(MAX_CUT_REPLAY_MS) + ", not '" +
               std::string(value) + "'";
    return std::string();
}

void RtspServer::Impl::ApplyControl(std::string_view, std::string_view value) {
    uint32_t ms = 0;
    std::from_chars(value.data(), value.data() + value.size(), ms);
    m_faults.cutReplayAfterMs = ms;
}

std::shared_ptr<const AudioClip> RtspServer::Impl::ChooseAudio() {
    if (!m_options.audio || m_faults.noAudioTrack)
        return nullptr;
    std::optional<AudioCodecChoice> choice = AudioCodecChoice{};
    if (m_camera)
        if (const auto name = m_camera->State().Value("AudInCodec"))
            choice = ParseAudioCodecName(*name);
    return choice ? m_audioClips.Get(*choice) : nullptr;
}

bool RtspServer::Impl::Authorised(const Connection& connection, const Request& request) const {
    if (m_faults.answer401)
        return false;
    const AuthMode mode = Auth();
    if (mode == AuthMode::None)
        return true;
    const std::string authorization = request.Header("authorization");
    if (mode == AuthMode::Basic)
        return authorization == "Basic " + talvex::Base64Encode(User() + ":" + Password());
    if (!authorization.starts_with("Digest "))
        return false;
    auto parameters = ParseDigestParameters(std::string_view(authorization).substr(7));
    if (parameters["username"] != User() || parameters["nonce"] != connection.nonce ||
        parameters["realm"] != m_options.realm)
        return false;
    const std::string ha1 = talvex::Md5Hex(User() + ":" + m_options.realm + ":" + Password());
    const std::string ha2 = talvex::Md5Hex(request.method + ":" + parameters["uri"]);
    if (m_options.quirks.digestQop &&
        (parameters["qop"] != "auth" || parameters["nc"].empty() || parameters["cnonce"].empty()))
        return false;
    std::string expected;
    if (parameters.count("qop"))
        expected = talvex::Md5Hex(ha1 + ":" + connection.nonce + ":" + parameters["nc"] + ":" + parameters["cnonce"] +
                                  ":" + parameters["qop"] + ":" + ha2);
    else
        expected = talvex::Md5Hex(ha1 + ":" + connection.nonce + ":" + ha2);
    return parameters["response"] == expected;
}

uint32_t RtspServer::Impl::FaultStatus(const std::string& method) const {
    if (method == "DESCRIBE")
        return m_faults.describeStatus;
    if (method == "SETUP")
        return m_faults.setupStatus;
    return method == "PLAY" ? m_faults.playStatus.load() : 0;
}

std::string RtspServer::Impl::Challenge(const Connection& connection) const {
    const std::string basic = "WWW-Authenticate: Basic realm=\"" + m_options.realm + "\"\r\n";
    if (Auth() == AuthMode::Basic)
        return basic;
    const std::string qop = m_options.quirks.digestQop ? ", qop=\"auth\"" : "";
    const std::string digest =
        "WWW-Authenticate: Digest realm=\"" + m_options.realm + "\", nonce=\"" + connection.nonce + "\"" + qop + "\r\n";
    // Some cameras list every scheme they know, the stronger one first.
    return m_options.quirks.digestAndBasic ? digest + basic : digest;
}

std::shared_ptr<RtspSession> RtspServer::Impl::FindSession(Connection& connection, const Request& request) {
    const std::string header = request.Header("session");
    const std::string id = header.substr(0, header.find(';'));
    std::lock_guard lock(connection.sessionsMutex);
    for (auto& session : connection.sessions)
        if (session->Id() == id && !session->IsExpired())
            return session;
    return nullptr;
}

RtspServer::Impl::Response RtspServer::Impl::Handle(Connection& connection, const Request& request) {
    {
        std::lock_guard lock(m_logMutex);
        if (m_requestLog.size() == MAX_LOGGED_REQUESTS)
            m_requestLog.pop_front();
        m_requestLog.push_back(request.method + " " + request.url);
    }
    if (request.method == "OPTIONS")
        return {200, "Public: OPTIONS, DESCRIBE, SETUP, PLAY, PAUSE, GET_PARAMETER, SET_PARAMETER, TEARDOWN\r\n", "", nullptr};
    if (!Authorised(connection, request))
        return {401, Challenge(connection), "", nullptr};
    const bool namesSession = !request.Header("session").empty();
    if (m_faults.answer454 && namesSession)
        return {454, "", "", nullptr};
    std::shared_ptr<RtspSession> session = namesSession ? FindSession(connection, request) : nullptr;
    if (namesSession && !session)
        return {454, "", "", nullptr};
    if (session)
        session->Touch();
    const std::string sessionHeader =
        session ? "Session: " + session->Id() + ";timeout=" + std::to_string(SessionTimeoutSeconds()) + "\r\n"
                : "";

    if (const uint32_t status = FaultStatus(request.method))
        return {int(status), sessionHeader, "", nullptr};
    StreamTarget target;
    uint32_t track = 0;
    if (request.method == "DESCRIBE")
        return ParseTarget(request.url, target, track) ? Describe(request, target) : Response{404, "", "", nullptr};
    if (request.method == "SETUP")
        return ParseTarget(request.url, target, track) ? SetUp(connection, request, target, track)
                                                       : Response{404, "", "", nullptr};
    if (request.method == "GET_PARAMETER" || request.method == "SET_PARAMETER")
        return {200, sessionHeader, "", nullptr};
    if (!session)
        return {454, "", "", nullptr};
    if (request.method == "PLAY")
        return Play(connection, session, request);
    if (request.method == "PAUSE") {
        session->Pause();
        return {200, sessionHeader, "", nullptr};
    }
    if (request.method == "TEARDOWN") {
        {
            std::lock_guard lock(connection.sessionsMutex);
            std::erase(connection.sessions, session);
        }
        session->End(true);
        return {200, "", "", nullptr};
    }
    return {455, "", "", nullptr};
}

RtspServer::Impl::Response RtspServer::Impl::Describe(const Request& request, const StreamTarget& target) {
    const StreamChoice choice = Choose(target);
    if (!choice.available)
        return {404, "", "", nullptr};
    const Clip& clip = *choice.clip;
    std::string media;
    switch (clip.codec) {
    case VideoCodec::H264: {
        char profile[8];
        std::snprintf(profile, sizeof profile, "%02X%02X%02X", clip.sequenceParameterSet[1],
                      clip.sequenceParameterSet[2], clip.sequenceParameterSet[3]);
        media = "m=video 0 RTP/AVP 96\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:96 H264/90000\r\n"
                "a=fmtp:96 packetization-mode=1;profile-level-id=" +
                std::string(profile) + ";sprop-parameter-sets=" + talvex::Base64Encode(clip.sequenceParameterSet) +
                "," + talvex::Base64Encode(clip.pictureParameterSet) + "\r\n";
        break;
    }
    case VideoCodec::Mpeg4: {
        std::string config;
        char hex[3];
        for (uint8_t byte : clip.configuration) {
            std::snprintf(hex, sizeof hex, "%02X", byte);
            config += hex;
        }
        media = "m=video 0 RTP/AVP 96\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:96 MP4V-ES/90000\r\n"
                "a=fmtp:96 profile-level-id=1;config=" + config + "\r\n";
        break;
    }
    case VideoCodec::Jpeg:
        media = "m=video 0 RTP/AVP 26\r\nc=IN IP4 0.0.0.0\r\na=rtpmap:26 JPEG/90000\r\n";
        break;
    }
    media += "a=framerate:" + std::to_string(choice.frameRate) + "\r\na=control:trackID=1\r\n";
    const bool replay = !target.recording.empty();
    if (const auto audio = replay ? nullptr : ChooseAudio())
        media += DescribeAudioTrack(*audio).media + "a=control:trackID=2\r\n";
    const std::string origin =
        m_options.quirks.bareDescription ? "" : "o=- " + std::to_string(Random()) + " 1 IN IP4 " + m_options.bindAddress + "\r\n";
    const std::string sessionControl = m_options.quirks.bareDescription ? "" : "a=control:*\r\n";
    std::string range = "a=range:npt=now-\r\n";
    if (replay)
        for (const RecordingEntry& entry : m_store->Recordings())
            if (entry.name == target.recording)
                range = "a=range:clock=" + FormatCameraTime(entry.startMs) + "-" + FormatCameraTime(entry.endMs) + "\r\n";
    const std::string body =
        "v=0\r\n" + origin + "s=fennwick-camsim\r\nt=0 0\r\n" + sessionControl + range + media;
    std::string base = request.url;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    if (m_options.quirks.contentBaseWithoutScheme && base.starts_with("rtsp://"))
        base.erase(0, 7);
    // A client may DESCRIBE the base it was given: the credentials are named once.
    if (m_options.quirks.credentialsInContentBase && base.starts_with("rtsp://") &&
        base.find('@') == std::string::npos)
        base.insert(7, User() + ":" + Password() + "@");
    return {200, "Content-Base: " + base + "/\r\nContent-Type: application/sdp\r\n", body, nullptr};
}

RtspServer::Impl::Response RtspServer::Impl::SetUp(Connection& connection, const Request& request,
                                                   const StreamTarget& target, uint32_t track) {
    const std::string transportHeader = request.Header("transport");
    TrackTransport transport;
    uint32_t first = 0;
    uint32_t second = 0;
    if (ReadPortPair(transportHeader, "interleaved=", first, second)) {
        transport.interleaved = true;
        transport.rtpChannel = uint8_t(first);
        transport.rtcpChannel = uint8_t(second);
    } else if (ReadPortPair(transportHeader, "client_port=", first, second)) {
        // RTP/AVP/TCP with client ports still sends the media as datagrams to those ports.
        transport.rtpTarget = connection.peer;
        transport.rtpTarget.sin_port = htons(uint16_t(first));
        transport.rtcpTarget = connection.peer;
        transport.rtcpTarget.sin_port = htons(uint16_t(second));
    } else {
        return {461, "", "", nullptr};
    }
    std::shared_ptr<const AudioClip> audio = track == 2 ? ChooseAudio() : nullptr;
    if (track == 2 && !audio)
        return {404, "", "", nullptr};
    std::shared_ptr<RtspSession> session = FindSession(connection, request);
    if (!session) {
        std::vector<std::shared_ptr<RtspSession>> expired;
        {
            std::lock_guard lock(connection.sessionsMutex);
            std::erase_if(connection.sessions, [&](const auto& candidate) {
                const bool old = candidate->IsExpired();
                if (old)
                    expired.push_back(candidate);
                return old;
            });
            if (connection.sessions.size() >= MAX_SESSIONS_PER_CONNECTION)
                return {500, "", "", nullptr};
        }
        for (auto& old : expired)
            old->End(false);
        const StreamChoice choice = Choose(target);
        if (!choice.available)
            return {404, "", "", nullptr};
        session = std::make_shared<RtspSession>(
            RandomToken(16), target.streamIndex, choice.clip, m_faults,
            [this, &connection](uint8_t channel, std::span<const uint8_t> data) {
                return WriteInterleaved(connection, channel, data);
            },
            SessionTimeoutSeconds(), [this] { return Random(); });
        session->SetQuirks(m_options.quirks);
        session->SetFrameRates(choice.clipFrameRate, choice.frameRate);
        if (!target.recording.empty())
            session->SetReplay(m_store, target.recording);
        std::lock_guard lock(connection.sessionsMutex);
        connection.sessions.push_back(session);
    }
    if (session->IsReplay() && track == 2)
        return {404, "", "", nullptr}; // a replay has no audio
    const auto kind = track == 2 ? RtspSession::TrackKind::Audio : RtspSession::TrackKind::Video;
    if (audio)
        session->SetAudioClip(std::move(audio));
    uint16_t serverRtpPort = 0;
    uint16_t serverRtcpPort = 0;
    uint32_t ssrc = 0;
    if (!session->SetUpTrack(kind, transport, m_options.bindAddress, serverRtpPort, serverRtcpPort, ssrc))
        return {500, "", "", nullptr};
    char ssrcText[9];
    std::snprintf(ssrcText, sizeof ssrcText, "%08X", ssrc);
    std::string answer = transport.interleaved ? "RTP/AVP/TCP;unicast;interleaved=" + std::to_string(first) + "-" +
                                                     std::to_string(second)
                                               : (transportHeader.starts_with("RTP/AVP/TCP") ? "RTP/AVP/TCP" : "RTP/AVP") +
                                                     std::string(";unicast;client_port=") + std::to_string(first) +
                                                     "-" + std::to_string(second) +
                                                     ";server_port=" + std::to_string(serverRtpPort) + "-" +
                                                     std::to_string(serverRtcpPort);
    answer += ";ssrc=" + std::string(ssrcText);
    return {200,
            "Session: " + session->Id() + ";timeout=" + std::to_string(SessionTimeoutSeconds()) +
                "\r\nTransport: " + answer + "\r\n",
            "", nullptr};
}

RtspServer::Impl::Response RtspServer::Impl::Play(Connection& connection, const std::shared_ptr<RtspSession>& session,
                                                  const Request& request) {
    std::string base = request.url;
    if (base.empty() || base.back() != '/')
        base += '/';
    std::string range = "npt=0.000-";
    if (session->IsReplay()) {
        // "Range: clock=20261206T210000.000Z-" (RFC 2326 3.7); without one the replay starts at the beginning.
        const std::string asked = request.Header("range");
        if (asked.starts_with("clock=")) {
            const std::string start = asked.substr(6, asked.find('-') == std::string::npos ? std::string::npos
                                                                                            : asked.find('-') - 6);
            const std::optional<int64_t> startMs = ParseCameraTime(start);
            if (!startMs)
                return {457, "", "", nullptr};
            session->SetReplayStart(*startMs);
            // The answer names where the replay really starts (RFC 2326 12.29): the recorded frame at or after the start.
            const auto first = m_store->FrameFrom(session->Recording(), *startMs, false);
            range = "clock=" + FormatCameraTime(first ? first->timeMs : *startMs) + "-";
        }
        if (const uint32_t cutMs = m_faults.cutReplayAfterMs.exchange(0))
            session->CutReplayAfter(std::chrono::milliseconds(cutMs), [&connection] { connection.socket.Shutdown(); });
    }
    const std::string headers = "Session: " + session->Id() + ";timeout=" +
                                std::to_string(SessionTimeoutSeconds()) + "\r\nRange: " + range +
                                "\r\nRTP-Info: " + session->RtpInfo(base) + "\r\n";
    // Media may only follow the answer on an interleaved connection.
    return {200, headers, "", [session] { session->Play(); }};
}

void RtspServer::Impl::Schedule(uint32_t afterMs, std::function<void()> action) {
    if (afterMs == 0) {
        action();
        return;
    }
    {
        std::lock_guard lock(m_timerMutex);
        m_timers.emplace(std::chrono::steady_clock::now() + std::chrono::milliseconds(afterMs), std::move(action));
    }
    m_timerWake.notify_all();
}

void RtspServer::Impl::TimerLoop() {
    std::unique_lock lock(m_timerMutex);
    while (m_running) {
        if (m_timers.empty()) {
            m_timerWake.wait(lock);
            continue;
        }
        const auto due = m_timers.begin()->first;
        if (std::chrono::steady_clock::now() < due) {
            m_timerWake.wait_until(lock, due);
            continue;
        }
        auto action = std::move(m_timers.begin()->second);
        m_timers.erase(m_timers.begin());
        lock.unlock();
        action();
        lock.lock();
    }
}

void RtspServer::Impl::DropNow() {
    std::lock_guard lock(m_connectionsMutex);
    for (auto& connection : m_connections)
        connection->socket.Shutdown();
}

void RtspServer::Impl::ByeNow() {
    std::lock_guard lock(m_connectionsMutex);
    for (auto& connection : m_connections) {
        std::lock_guard sessionsLock(connection->sessionsMutex);
        for (auto& session : connection->sessions)
            if (session->IsPlaying())
                session->SayBye();
    }
}

std::vector<uint8_t> RtspServer::Impl::MakeGarbage(size_t bytes) {
    constexpr size_t DOLLAR_SPACING = 256;
    constexpr size_t FAKE_HEADER_OFFSET = 16;
    std::vector<uint8_t> garbage(bytes);
    for (uint8_t& byte : garbage)
        byte = uint8_t(Random());
    for (size_t offset = 0; offset < garbage.size(); offset += DOLLAR_SPACING)
        garbage[offset] = '$';
    // An interleaved header claiming the most a 16-bit length can: a reader
    // that trusts it swallows the real frames that follow the burst.
    static constexpr uint8_t FAKE_HEADER[] = {'$', 0x00, 0xFF, 0xFF};
    if (garbage.size() >= FAKE_HEADER_OFFSET + sizeof FAKE_HEADER)
        std::copy(std::begin(FAKE_HEADER), std::end(FAKE_HEADER), garbage.begin() + FAKE_HEADER_OFFSET);
    return garbage;
}

void RtspServer::Impl::GarbageNow(size_t bytes) {
    std::lock_guard lock(m_connectionsMutex);
    for (auto& connection : m_connections) {
        const std::vector<uint8_t> garbage = MakeGarbage(bytes);
        std::lock_guard writeLock(connection->writeMutex);
        connection->socket.SendAll(garbage, m_stopEvent.GetNativeHandle(), WRITE_TIMEOUT_MS);
    }
}

void RtspServer::Impl::GrowNextKeyFrameNow(uint32_t bytes) {
    std::lock_guard lock(m_connectionsMutex);
    for (auto& connection : m_connections) {
        std::lock_guard sessionsLock(connection->sessionsMutex);
        for (auto& session : connection->sessions)
            if (session->IsPlaying())
                session->GrowNextKeyFrame(bytes);
    }
}

RtspServer::RtspServer(RtspServerOptions options, Camera* camera)
    : m_impl(std::make_unique<Impl>(std::move(options), camera)) {}

RtspServer::~RtspServer() = default;

bool RtspServer::Start(std::string& error) {
    return m_impl->Start(error);
}

void RtspServer::Stop() {
    m_impl->Stop();
}

uint16_t RtspServer::GetPort() const {
    return m_impl->Port();
}

RtspFaults& RtspServer::Faults() {
    return m_impl->Faults();
}

void RtspServer::DropConnections(uint32_t afterMs) {
    m_impl->DropConnections(afterMs);
}

void RtspServer::SendBye(uint32_t afterMs) {
    m_impl->SendBye(afterMs);
}

void RtspServer::SendGarbage(size_t bytes, uint32_t afterMs) {
    m_impl->SendGarbage(bytes, afterMs);
}

void RtspServer::GrowNextKeyFrame(uint32_t bytes, uint32_t afterMs) {
    m_impl->GrowNextKeyFrame(bytes, afterMs);
}

std::vector<std::string> RtspServer::RequestLog() const {
    return m_impl->RequestLog();
}

size_t RtspServer::ActiveSessionCount() const {
    return m_impl->ActiveSessionCount();
}

std::shared_ptr<const RecordingStore> RtspServer::Recordings() const {
    return m_impl->Recordings();
}

} // namespace camsim
