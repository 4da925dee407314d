// The camera's loudspeaker: POST "/audio-out/<codec>.cgi" (a codec name of
// AudioClips.h) takes a long body of audio in that codec (Content-Length or
// chunked), read as it comes and answered 200 once it is complete; a body that ends early (the client
// closed) gets no answer. Every received byte is counted and, with an output
// file, appended to it; /camsim/state shows the last upload's codec and the
// byte count as "audio_out": {"codec": "g711_64", "bytes": N}.
#pragma once

#include "Camera.h"
#include "TestHooks.h"

#include <atomic>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>

namespace camsim {

struct AudioUploadFaults {
    // Each upload's connection is closed, unanswered, after this many body bytes; 0: never.
    std::atomic<uint64_t> closeAfterBytes{0};
};

class AudioUpload : public Server, public TestHookProvider {
public:
    // outputPath empty: count only.
    AudioUpload(Camera& camera, std::string outputPath = {});
    AudioUpload(const AudioUpload&) = delete;
    AudioUpload& operator=(const AudioUpload&) = delete;

    // False with the error when the output file cannot be opened.
    bool Start(std::string& error) override;
    void Stop() override;

    AudioUploadFaults& Faults() { return m_faults; }
    uint64_t BytesReceived() const;
    // Uploads answered 200 (their whole body came).
    uint32_t CompleteUploads() const { return m_completeUploads; }

    void AppendState(std::vector<std::string>& members) const override;
    std::optional<std::string> CheckControl(std::string_view key, std::string_view value) const override;
    void ApplyControl(std::string_view key, std::string_view value) override;

private:
    void Serve(HttpExchange& exchange);
    void Take(const std::string& codec, std::string_view bytes);

    Camera& m_camera;
    const std::string m_outputPath;
    AudioUploadFaults m_faults;
    bool m_routeAdded = false;
    std::atomic<bool> m_stopping{true};
    std::atomic<uint32_t> m_completeUploads{0};

    mutable std::mutex m_mutex; // guards everything below
    std::ofstream m_output;
    std::string m_codec;
    uint64_t m_bytes = 0;
};

} // namespace camsim
