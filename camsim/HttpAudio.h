// The microphone as the camera serves it through its web server: GET "/audio"
// answers 200 and then the audio of the camera's "AudInCodec" at the real-time
// pace until the client goes away or the camera stops. G.711 and G.726 come
// as raw codec bytes; AAC as access units, each behind a 4-byte header (a
// 16-bit AU-headers-length of 16, then AU-size << 3), as RFC 3640 frames them.
#pragma once

#include "AudioClips.h"
#include "Camera.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace camsim {

class HttpAudio : public Server {
public:
    // Add it to its camera with Camera::AddServer; its route joins the web
    // server at Start and answers 503 once it stopped.
    explicit HttpAudio(Camera& camera, std::string clipsDirectory = CAMSIM_CLIPS_DIR);
    ~HttpAudio() override;
    HttpAudio(const HttpAudio&) = delete;
    HttpAudio& operator=(const HttpAudio&) = delete;

    bool Start(std::string& error) override;
    void Stop() override;

    // Fault: every audio answer running afterMs from now sends half of its
    // next unit (an AAC header and half its access unit, or half of 20 ms of
    // G.711 or G.726) and closes its connection.
    void CutStreams(uint32_t afterMs = 0);
    // Audio answers started so far.
    uint32_t StreamStarts() const { return m_streamStarts; }

private:
    using Clock = std::chrono::steady_clock;

    void Serve(HttpExchange& exchange);
    // Waits until the deadline or the camera's stop; false once stopping.
    bool WaitUntil(Clock::time_point deadline);
    bool CutDue(Clock::time_point streamStart) const;

    Camera& m_camera;
    AudioClipLibrary m_clips;
    bool m_routeAdded = false;
    std::atomic<uint32_t> m_streamStarts{0};
    std::atomic<int64_t> m_cutAtMs{0}; // steady clock; 0: no cut pending

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = true;
};

} // namespace camsim
