// Identification of a Sony camera or video server from one inquiry answer
// ("inq=system&inq=camera", or "inq=sysinfo&inq=camera" on older models):
// model, generation 1 to 7, versions, video standard, codecs, PTZ, audio,
// privacy masking, streams, edge storage and operation mode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvex {

class CSonyDeviceInfo {
public:
    struct Version {
        uint32_t major = 0;
        uint32_t minor = 0;
        std::string text; // as received
    };

    static constexpr uint32_t kVideoStandardPal = 0;
    static constexpr uint32_t kVideoStandardNtsc = 1;
    static constexpr uint32_t kDefaultGeneration = 4;

    virtual ~CSonyDeviceInfo() = default;

    // Resets every field and fills them from answer; false when the answer does
    // not describe a supported device (no "SNC-"/"SNT-E" model, no major.minor
    // software version, a video standard other than "ntsc" or "pal").
    bool Parse(const std::string& answer);

    const std::string& GetModel() const { return m_model; }
    const Version& GetSoftwareVersion() const { return m_softwareVersion; }
    uint32_t GetGeneration() const { return m_generation; }
    uint32_t GetVideoStandard() const { return m_videoStandard; }
    const Version& GetCGIVersion() const { return m_cgiVersion; }
    bool IsJPEGSupported() const { return m_jpeg; }
    bool IsMPEG4Supported() const { return m_mpeg4; }
    bool IsH264Supported() const { return m_h264; }
    bool HasSolidPTZ() const { return m_solidPtz; }
    bool HasPanTilt() const { return m_panTilt; }
    bool HasZoom() const { return m_zoom; }
    bool HasAnyZoom() const { return m_anyZoom; }
    uint16_t GetStreamCount() const { return m_streamCount; }
    bool HasPrivacyMasking() const { return m_privacyMasking; }
    bool HasAudioInput() const { return m_audioInput; }
    bool HasAudioOutput() const { return m_audioOutput; }
    const std::vector<std::string>& GetAudioInputCodecs() const { return m_audioInputCodecs; }
    const std::vector<std::string>& GetAudioOutputCodecs() const { return m_audioOutputCodecs; }
    bool HasEdgeStorage() const { return m_edgeStorage; }
    const std::string& GetOperationMode() const { return m_operationMode; }

private:
    void Reset();
    bool ReadModel(const std::string& answer);
    void ReadGeneration();
    bool ReadVideoStandard(const std::string& answer);
    void ReadCodecs(const std::string& answer);
    void ReadPtz(const std::string& answer);
    void ReadAudio(const std::string& answer);

    std::string m_model;
    Version m_softwareVersion;
    uint32_t m_generation = kDefaultGeneration;
    uint32_t m_videoStandard = kVideoStandardPal;
    Version m_cgiVersion;
    bool m_jpeg = false;
    bool m_mpeg4 = false;
    bool m_h264 = false;
    bool m_solidPtz = false;
    bool m_panTilt = false;
    bool m_zoom = false;
    bool m_anyZoom = false;
    uint16_t m_streamCount = 0;
    bool m_privacyMasking = false;
    bool m_audioInput = false;
    bool m_audioOutput = false;
    std::vector<std::string> m_audioInputCodecs;
    std::vector<std::string> m_audioOutputCodecs;
    bool m_edgeStorage = false;
    std::string m_operationMode;
};

} // namespace talvex
