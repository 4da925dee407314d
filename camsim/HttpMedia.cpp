#include "HttpMedia.h"

#include "RtpPacketisers.h"
#include "platform/CSocket.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <thread>

namespace camsim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t FIRST_NUMBERED_GENERATION = 5; // "ImageCodec1", "ImageSize1", ... from here
constexpr uint32_t JPEG_ONLY_GENERATION = 1;
constexpr uint32_t STREAM_COUNT = 3;
constexpr double MIN_FRAME_RATE = 1;
constexpr double MAX_FRAME_RATE = 30;
constexpr uint16_t DEFAULT_WIDTH = 640;
constexpr uint32_t VIDEO_CLOCK_RATE = 90000;
constexpr uint8_t PAYLOAD_TYPE_DYNAMIC = 96;
constexpr uint8_t RTCP_BYE = 203;
constexpr size_t RTCP_HEADER_BYTES = 4;
constexpr auto REPORT_INTERVAL = std::chrono::seconds(1);
constexpr auto FIRST_REPORT_DELAY = std::chrono::milliseconds(200);
// Longest a stream loop sleeps before it looks at faults and stop again.
constexpr auto WAIT_SLICE = std::chrono::milliseconds(100);
constexpr const char* BOUNDARY = "myboundary";
// Seconds between 1900 (NTP) and 1970 (Unix).
constexpr uint64_t NTP_UNIX_OFFSET = 2208988800ull;

int64_t SteadyMs(Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

uint64_t NtpNow() {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    return ((uint64_t(micros / 1000000) + NTP_UNIX_OFFSET) << 32) | ((uint64_t(micros % 1000000) << 32) / 1000000);
}

const char* CodecValue(VideoCodec codec) {
    switch (codec) {
    case VideoCodec::H264:
        return "h264";
    case VideoCodec::Mpeg4:
        return "mpeg4";
    default:
        return "jpeg";
    }
}

std::optional<std::string> QueryValue(const std::string& query, std::string_view key) {
    for (const auto& [name, value] : SplitItems(query))
        if (name == key)
            return PercentDecode(value);
    return std::nullopt;
}

std::optional<uint32_t> ReadDecimal(const std::string& text, uint32_t limit) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value > limit)
        return std::nullopt;
    return uint32_t(value);
}

// The elementary stream bytes of a frame with start codes, cut into payloads;
// the receiver concatenates them again.
std::vector<RtpPayload> CutAnnexB(const ClipFrame& frame) {
    Bytes stream;
    for (const Bytes& unit : frame.units) {
        stream.insert(stream.end(), {0, 0, 0, 1});
        stream.insert(stream.end(), unit.begin(), unit.end());
    }
    std::vector<RtpPayload> payloads;
    for (size_t offset = 0; offset < stream.size(); offset += MAX_RTP_PAYLOAD) {
        const size_t end = std::min(stream.size(), offset + MAX_RTP_PAYLOAD);
        payloads.push_back({Bytes(stream.begin() + std::ptrdiff_t(offset), stream.begin() + std::ptrdiff_t(end)),
                            end == stream.size()});
    }
    return payloads;
}

bool HoldsBye(std::span<const uint8_t> datagram) {
    size_t offset = 0;
    while (datagram.size() - offset >= RTCP_HEADER_BYTES) {
        if (datagram[offset + 1] == RTCP_BYE)
            return true;
        offset += RTCP_HEADER_BYTES + 4 * ((size_t(datagram[offset + 2]) << 8) | datagram[offset + 3]);
        if (offset > datagram.size())
            break;
    }
    return false;
}

} // namespace

struct HttpMedia::StreamShape {
    uint16_t width = DEFAULT_WIDTH;
    double frameRate = Clip::FRAME_RATE;
};

// One HTTP-started RTP stream and the thread that paces its packets.
class HttpMedia::RtpStream {
public:
    RtpStream(HttpMedia& media, sockaddr_in target, std::shared_ptr<const Clip> clip, double frameRate,
              uint32_t expireMs)
        : m_media(media), m_rtpTarget(target), m_rtcpTarget(target), m_clip(std::move(clip)),
          m_frameInterval(std::chrono::microseconds(int64_t(1000000 / frameRate))),
          m_frameTicks(uint32_t(VIDEO_CLOCK_RATE / frameRate)), m_expire(std::chrono::milliseconds(expireMs)),
          m_started(Clock::now()) {
        m_rtcpTarget.sin_port = htons(uint16_t(ntohs(target.sin_port) + 1));
        std::random_device random;
        m_ssrc = random();
        m_sequence = uint16_t(random());
        m_timestamp = random();
    }
    ~RtpStream() { End(); }

    bool Open(const std::string& localAddress) {
        in_addr address{};
        return talvex::ParseIPv4(localAddress, address) && m_rtpSocket.CreateUdp() &&
               m_rtpSocket.Bind(address.s_addr, 0) && m_rtcpSocket.CreateUdp() && m_rtcpSocket.Bind(address.s_addr, 0);
    }
    void Start() {
        m_thread = std::thread([this] { Run(); });
    }
    void End() {
        m_ended = true;
        m_media.m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    bool Ended() const { return m_ended; }
    bool Targets(const sockaddr_in& target) const {
        return m_rtpTarget.sin_addr.s_addr == target.sin_addr.s_addr && m_rtpTarget.sin_port == target.sin_port;
    }

private:
    void Run() {
        auto nextFrame = Clock::now();
        auto nextReport = nextFrame + FIRST_REPORT_DELAY;
        auto lastHeard = nextFrame;
        size_t frameIndex = 0;
        while (!m_ended && m_media.WaitUntil(std::min(nextFrame, nextReport), m_ended)) {
            const auto now = Clock::now();
            if (HeardFromClient(lastHeard) || now - lastHeard > m_expire)
                break;
            if (now >= nextFrame) {
                const bool drop = m_media.DropDue(m_started);
                if (!m_media.Silent())
                    SendFrame(m_clip->frames[frameIndex % m_clip->frames.size()], drop);
                if (drop)
                    break;
                m_timestamp += m_frameTicks;
                ++frameIndex;
                nextFrame += m_frameInterval;
            }
            if (now >= nextReport) {
                if (!m_media.Silent())
                    m_rtcpSocket.SendTo(BuildSenderReport(m_ssrc, NtpNow(), m_timestamp, m_packets, m_octets),
                                        m_rtcpTarget);
                nextReport += REPORT_INTERVAL;
            }
        }
        m_ended = true;
    }

    // Drains the RTCP socket; true when the client said BYE.
    bool HeardFromClient(Clock::time_point& lastHeard) {
        std::vector<uint8_t> datagram(1500);
        size_t received = 0;
        while (m_rtcpSocket.ReceiveNow(datagram, received) == talvex::SocketResult::Data) {
            lastHeard = Clock::now();
            if (HoldsBye(std::span<const uint8_t>(datagram).first(received)))
                return true;
        }
        return false;
    }

    // With half, only the first half of the frame's packets leave.
    void SendFrame(const ClipFrame& frame, bool half) {
        std::vector<RtpPayload> payloads =
            m_clip->codec == VideoCodec::H264 ? CutAnnexB(frame) : PacketiseMpeg4(frame, m_clip->configuration);
        if (half)
            payloads.resize(std::max<size_t>(1, payloads.size() / 2));
        for (const RtpPayload& payload : payloads) {
            const RtpHeader header{PAYLOAD_TYPE_DYNAMIC, payload.marker && !half, m_sequence++, m_timestamp, m_ssrc};
            ++m_packets;
            m_octets += uint32_t(payload.bytes.size());
            const uint32_t loseEveryNth = m_media.m_faults.loseEveryNth;
            if (loseEveryNth != 0 && m_packets % loseEveryNth == 0)
                continue;
            m_rtpSocket.SendTo(BuildRtpPacket(header, payload.bytes), m_rtpTarget);
        }
    }

    HttpMedia& m_media;
    sockaddr_in m_rtpTarget;
    sockaddr_in m_rtcpTarget;
    std::shared_ptr<const Clip> m_clip;
    const std::chrono::microseconds m_frameInterval;
    const uint32_t m_frameTicks;
    const std::chrono::milliseconds m_expire;
    const Clock::time_point m_started;
    talvex::CSocket m_rtpSocket;
    talvex::CSocket m_rtcpSocket;
    uint32_t m_ssrc = 0;
    uint16_t m_sequence = 0;
    uint32_t m_timestamp = 0;
    uint32_t m_packets = 0;
    uint32_t m_octets = 0;
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

bool HttpMedia::Silent() const {
    return m_faults.stopSending || m_camera.Outage().Active();
}

HttpMedia::HttpMedia(Camera& camera, std::string clipsDirectory) : m_camera(camera), m_clips(std::move(clipsDirectory)) {}

HttpMedia::~HttpMedia() {
    Stop();
}

bool HttpMedia::Start(std::string&) {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    if (m_routesAdded)
        return true;
    m_routesAdded = true;
    HttpServer& http = m_camera.Http();
    http.AddRoute("/mjpeg", [this](HttpExchange& exchange) {
        if (exchange.Head().path != "/mjpeg")
            return void(exchange.SendResponse(404, ""));
        ServeMotionJpeg(exchange, 0);
    });
    http.AddRoute("/image", [this](HttpExchange& exchange) { ServeImagePath(exchange); });
    http.AddRoute("/h264", [this](HttpExchange& exchange) { StartRtp(exchange, VideoCodec::H264); });
    http.AddRoute("/mpeg4", [this](HttpExchange& exchange) { StartRtp(exchange, VideoCodec::Mpeg4); });
    return true;
}

void HttpMedia::Stop() {
    std::list<std::unique_ptr<RtpStream>> streams;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        streams.swap(m_rtpStreams);
    }
    m_wake.notify_all();
    streams.clear();
}

void HttpMedia::DropStreams(uint32_t afterMs) {
    m_dropAtMs = SteadyMs(Clock::now()) + afterMs;
    m_wake.notify_all();
}

bool HttpMedia::DropDue(Clock::time_point streamStart) const {
    const int64_t dropAt = m_dropAtMs;
    return dropAt != 0 && SteadyMs(streamStart) < dropAt && SteadyMs(Clock::now()) >= dropAt;
}

size_t HttpMedia::ActiveRtpStreams() const {
    std::lock_guard lock(m_mutex);
    return size_t(std::count_if(m_rtpStreams.begin(), m_rtpStreams.end(),
                                [](const auto& stream) { return !stream->Ended(); }));
}

bool HttpMedia::WaitUntil(Clock::time_point deadline, const std::atomic<bool>& ended) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_until(lock, std::min(deadline, Clock::now() + WAIT_SLICE), [&] { return m_stopping || ended.load(); });
    return !m_stopping;
}

HttpMedia::StreamShape HttpMedia::ShapeOf(VideoCodec codec, uint32_t streamNumber) const {
    const CameraState& state = m_camera.State();
    auto firstValue = [&](std::initializer_list<std::string> keys) -> std::optional<std::string> {
        for (const std::string& key : keys)
            if (auto value = state.Value(key))
                return value;
        return std::nullopt;
    };
    std::optional<std::string> size, rate;
    if (state.Generation() >= FIRST_NUMBERED_GENERATION) {
        for (uint32_t number = 1; streamNumber == 0 && number <= STREAM_COUNT; ++number)
            if (state.Value("ImageCodec" + std::to_string(number)) == CodecValue(codec))
                streamNumber = number;
        const std::string number = std::to_string(std::max<uint32_t>(1, streamNumber));
        size = state.Value("ImageSize" + number);
        rate = state.Value("FrameRate" + number);
    } else if (codec == VideoCodec::Jpeg) {
        size = firstValue({"JpImageSize", "ImageSize"});
        rate = state.Value("JpFrameRate");
    } else if (codec == VideoCodec::H264) {
        size = state.Value("H264ImageSize");
        rate = state.Value("H264FrameRate");
    } else {
        size = firstValue({"M4ImageSize", "ImageSize"});
        rate = state.Value("M4FrameRate");
    }
    StreamShape shape;
    if (size && std::strtoul(size->c_str(), nullptr, 10) > 0)
        shape.width = uint16_t(std::min<unsigned long>(UINT16_MAX, std::strtoul(size->c_str(), nullptr, 10)));
    if (rate && std::strtod(rate->c_str(), nullptr) > 0)
        shape.frameRate = std::clamp(std::strtod(rate->c_str(), nullptr), MIN_FRAME_RATE, MAX_FRAME_RATE);
    return shape;
}

// "/image" is motion JPEG, or MPEG-4 over RTP when it names a UDP port
// (generations 2 and 3); "/image1".."/image3" are the JPEG of that stream.
void HttpMedia::ServeImagePath(HttpExchange& exchange) {
    const std::string& path = exchange.Head().path;
    if (path == "/image") {
        if (QueryValue(exchange.Head().query, "UdpMode"))
            return StartRtp(exchange, VideoCodec::Mpeg4);
        return ServeMotionJpeg(exchange, 0);
    }
    if (path.size() == 7 && path[6] >= '1' && path[6] <= char('0' + STREAM_COUNT))
        return ServeMotionJpeg(exchange, uint32_t(path[6] - '0'));
    exchange.SendResponse(404, "");
}

void HttpMedia::ServeMotionJpeg(HttpExchange& exchange, uint32_t streamNumber) {
    StreamShape shape = ShapeOf(VideoCodec::Jpeg, streamNumber);
    if (const auto speed = QueryValue(exchange.Head().query, "speed"))
        if (const auto rate = ReadDecimal(*speed, uint32_t(MAX_FRAME_RATE)); rate && *rate > 0)
            shape.frameRate = *rate;
    const std::shared_ptr<const Clip> clip = m_clips.Get(VideoCodec::Jpeg, shape.width);
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || !clip)
            return void(exchange.SendResponse(503, ""));
    }
    ++m_streamStarts;
    const std::atomic<bool> never{false};
    const auto started = Clock::now();
    const auto interval = std::chrono::microseconds(int64_t(1000000 / shape.frameRate));
    bool open = exchange.SendHead(200, {{"Content-Type", std::string("multipart/x-mixed-replace;boundary=") + BOUNDARY},
                                        {"Cache-Control", "no-cache"}});
    auto nextPicture = started;
    for (size_t index = 0; open && !exchange.Stopping() && WaitUntil(nextPicture, never);) {
        if (Clock::now() < nextPicture)
            continue;
        const bool drop = DropDue(started);
        if (!Silent()) {
            const Bytes& picture = clip->frames[index % clip->frames.size()].units.front();
            const size_t sent = drop ? picture.size() / 2 : picture.size();
            std::string part = std::string("--") + BOUNDARY + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                               std::to_string(picture.size()) + "\r\n\r\n";
            part.append(reinterpret_cast<const char*>(picture.data()), sent);
            if (!drop)
                part += "\r\n";
            open = exchange.SendBytes(part);
        }
        open = open && !drop;
        ++index;
        nextPicture += interval;
    }
}

void HttpMedia::StartRtp(HttpExchange& exchange, VideoCodec codec) {
    const std::string& query = exchange.Head().query;
    const std::optional<std::string> mode = QueryValue(query, "UdpMode");
    const std::optional<std::string> portText = QueryValue(query, "UdpPort");
    // The port and the next one (RTCP) must both exist.
    const uint32_t port = portText ? ReadDecimal(*portText, UINT16_MAX - 1).value_or(0) : 0;
    if (mode != "unicast" || port == 0)
        return void(exchange.SendResponse(400, ""));
    if (m_camera.State().Generation() == JPEG_ONLY_GENERATION)
        return void(exchange.SendResponse(404, ""));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(uint16_t(port));
    if (::inet_pton(AF_INET, exchange.PeerAddress().c_str(), &target.sin_addr) != 1)
        return void(exchange.SendResponse(500, ""));
    const StreamShape shape = ShapeOf(codec, 0);
    std::shared_ptr<const Clip> clip = m_clips.Get(codec, shape.width);
    if (!clip)
        return void(exchange.SendResponse(503, ""));
    const auto expire = m_camera.State().Value("RtpExpire");
    const uint32_t expireMs = expire ? ReadDecimal(*expire, UINT32_MAX).value_or(0) : 0;
    auto stream = std::make_unique<RtpStream>(*this, target, std::move(clip), shape.frameRate,
                                              expireMs ? expireMs : DEFAULT_RTP_EXPIRE_MS);
    if (!stream->Open(exchange.LocalAddress()))
        return void(exchange.SendResponse(503, ""));
    ReapEndedStreams();
    std::list<std::unique_ptr<RtpStream>> replaced; // ended outside the lock: their threads take it
    {
        std::lock_guard lock(m_mutex);
        // A new start towards the same port replaces the stream that went there.
        for (auto it = m_rtpStreams.begin(); it != m_rtpStreams.end();) {
            auto next = std::next(it);
            if ((*it)->Targets(target))
                replaced.splice(replaced.end(), m_rtpStreams, it);
            it = next;
        }
        if (!m_stopping && m_rtpStreams.size() < MAX_RTP_STREAMS) {
            stream->Start();
            m_rtpStreams.push_back(std::move(stream));
            ++m_streamStarts;
        }
    }
    if (stream)
        return void(exchange.SendResponse(503, ""));
    exchange.SendResponse(200, "", {{"Content-Type", "text/plain"}});
}

void HttpMedia::ReapEndedStreams() {
    std::list<std::unique_ptr<RtpStream>> ended;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_rtpStreams.begin(); it != m_rtpStreams.end();) {
            auto next = std::next(it);
            if ((*it)->Ended())
                ended.splice(ended.end(), m_rtpStreams, it);
            it = next;
        }
    }
}

const char* const HTTP_MEDIA_USAGE =
    "  --media-fault-stop    motion JPEG and HTTP-started RTP streams stay open but send nothing\n"
    "  --media-fault-lose N  lose every Nth RTP packet of HTTP-started streams\n"
    "  --media-fault-drop-after MS  end every such stream mid-frame MS after start\n";

int ParseHttpMediaArgument(int argc, char** argv, int index, HttpMediaCommandLine& commandLine, std::string& error) {
    const std::string_view flag = argv[index];
    if (flag == "--media-fault-stop") {
        commandLine.stopSending = true;
        return 1;
    }
    if (flag != "--media-fault-lose" && flag != "--media-fault-drop-after")
        return 0;
    const std::optional<uint32_t> number = index + 1 < argc ? ReadDecimal(argv[index + 1], 86400000) : std::nullopt;
    if (!number) {
        error = std::string(flag) + " takes a number";
        return -1;
    }
    (flag == "--media-fault-lose" ? commandLine.loseEveryNth : commandLine.dropAfterMs) = *number;
    return 2;
}

void ApplyHttpMediaFaults(HttpMedia& media, const HttpMediaCommandLine& commandLine) {
    media.Faults().stopSending = commandLine.stopSending;
    media.Faults().loseEveryNth = commandLine.loseEveryNth;
    if (commandLine.dropAfterMs)
        media.DropStreams(commandLine.dropAfterMs);
}

} // namespace camsim
