// Video the camera serves through its web server:
//  - motion JPEG: GET "/mjpeg", "/image" or "/image1".."/image3" answers a
//    multipart/x-mixed-replace body, one JPEG picture of the clip per part at
//    the camera's JPEG frame rate ("?speed=N" overrides it), until the client
//    goes away or the camera stops;
//  - HTTP-started RTP: GET "/h264", "/mpeg4" or "/image" with
//    "?UdpMode=unicast&UdpPort=N" answers 200 at once and sends the clip's
//    elementary stream as RTP over UDP to the client's address and port N,
//    with RTCP sender reports to port N + 1. The payloads are the stream's
//    bytes cut at MAX_RTP_PAYLOAD (H.264 Annex B with start codes; MPEG-4 as
//    RFC 3016 with the configuration before each I-VOP), the marker on the
//    last packet of a frame: the receiver concatenates payloads.
//
// An HTTP-started stream does not depend on the HTTP connection that started
// it (clients fetch the start URL like any other and may close the
// connection). It ends when the client sends an RTCP BYE, when nothing (no
// RTCP receiver report) came from the client for the camera's "RtpExpire"
// (read in milliseconds; 10000 when the camera names none), when a new start
// names the same address and port, or when the camera stops.
//
// Sizes and rates follow the camera's state: "ImageSizeN"/"FrameRateN" of the
// stream with that codec from generation 5, "JpImageSize" (or "ImageSize"),
// "JpFrameRate", "H264ImageSize", "H264FrameRate", "M4ImageSize" (or
// "ImageSize"), "M4FrameRate" below. Generation 1 cameras serve JPEG only.
#pragma once

#include "Camera.h"
#include "MediaClips.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace camsim {

// Faults that tests and the command line switch on while the camera runs.
struct HttpMediaFaults {
    std::atomic<bool> stopSending{false};  // streams stay open, no pictures or packets are sent
    std::atomic<uint32_t> loseEveryNth{0}; // RTP packets of HTTP-started streams; 0 loses none
};

class HttpMedia : public Server {
public:
    static constexpr size_t MAX_RTP_STREAMS = 8;
    static constexpr uint32_t DEFAULT_RTP_EXPIRE_MS = 10000;

    // Add it to its camera with Camera::AddServer, which keeps it as long as
    // the camera's web server: its routes are added to that server at Start
    // and answer 503 once it stopped.
    explicit HttpMedia(Camera& camera, std::string clipsDirectory = CAMSIM_CLIPS_DIR);
    ~HttpMedia() override;
    HttpMedia(const HttpMedia&) = delete;
    HttpMedia& operator=(const HttpMedia&) = delete;

    bool Start(std::string& error) override;
    // Ends every RTP stream; motion JPEG answers end within 100 ms, or when
    // the web server stops and closes their connections (a client that reads
    // nothing keeps its answer in a blocked write until then).
    void Stop() override;

    HttpMediaFaults& Faults() { return m_faults; }
    // Every stream running afterMs from now ends in the middle of its next
    // frame: a motion JPEG answer sends half a picture and closes its
    // connection, an RTP stream sends half of a frame's packets and stops.
    void DropStreams(uint32_t afterMs = 0);

    size_t ActiveRtpStreams() const;
    // Streams started so far (motion JPEG answers and RTP starts).
    uint32_t StreamStarts() const { return m_streamStarts; }

private:
    class RtpStream;
    struct StreamShape;
    using Clock = std::chrono::steady_clock;

    void ServeImagePath(HttpExchange& exchange);
    void ServeMotionJpeg(HttpExchange& exchange, uint32_t streamNumber);
    void StartRtp(HttpExchange& exchange, VideoCodec codec);
    StreamShape ShapeOf(VideoCodec codec, uint32_t streamNumber) const;
    // Waits until the deadline, ended, the camera's stop or 100 ms; false once stopping.
    bool WaitUntil(Clock::time_point deadline, const std::atomic<bool>& ended);
    // Nothing goes out under the stop fault or while the camera is cut off.
    bool Silent() const;
    bool DropDue(Clock::time_point streamStart) const;
    void ReapEndedStreams();

    Camera& m_camera;
    ClipLibrary m_clips;
    HttpMediaFaults m_faults;
    bool m_routesAdded = false;
    std::atomic<uint32_t> m_streamStarts{0};
    std::atomic<int64_t> m_dropAtMs{0}; // steady clock; 0: no drop pending

    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_wake;
    bool m_stopping = true;
    std::list<std::unique_ptr<RtpStream>> m_rtpStreams;
};

// Command-line flags of the web server's media: "--media-fault-stop",
// "--media-fault-lose N", "--media-fault-drop-after MS". Returns how many
// arguments it took (0 when the flag is not one of them), or -1 with error set.
struct HttpMediaCommandLine {
    bool stopSending = false;
    uint32_t loseEveryNth = 0;
    uint32_t dropAfterMs = 0;
};
int ParseHttpMediaArgument(int argc, char** argv, int index, HttpMediaCommandLine& commandLine, std::string& error);
extern const char* const HTTP_MEDIA_USAGE;
void ApplyHttpMediaFaults(HttpMedia& media, const HttpMediaCommandLine& commandLine);

} // namespace camsim
