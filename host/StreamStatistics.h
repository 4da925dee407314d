// Figures of one recorded stream: counts, frame rate and bit rate over the
// frame times, signal losses. Pure arithmetic; the owner serialises access.
#pragma once

#include <cstdint>
#include <string>

namespace fennwick_host {

// File time (100 ns units since 1601-01-01 UTC) as "YYYY-MM-DD HH:MM:SS.mmm UTC"; "-" for 0.
std::string FormatFileTime(uint64_t fileTime);

class StreamStatistics {
public:
    void AddFrame(uint64_t fileTime, uint32_t bytes, bool isKey);
    void AddSignalLoss() { ++m_signalLosses; }

    uint64_t Frames() const { return m_frames; }
    uint64_t KeyFrames() const { return m_keyFrames; }
    uint64_t Bytes() const { return m_bytes; }
    uint64_t SignalLosses() const { return m_signalLosses; }
    // Earliest and latest frame time seen (frames need not arrive in time order); 0 before the first frame.
    uint64_t FirstTime() const { return m_firstTime; }
    uint64_t LastTime() const { return m_lastTime; }

    // The stream's length counting every frame as one average frame interval:
    // n frames whose times span S seconds cover S * n / (n - 1). 0 below two frames
    // or when every frame has the same time.
    double CoveredSeconds() const;
    // Frames per covered second; 0 when there is no covered time.
    double FramesPerSecond() const;
    // Bits per covered second; 0 when there is no covered time.
    double BitsPerSecond() const;

private:
    uint64_t m_frames = 0;
    uint64_t m_keyFrames = 0;
    uint64_t m_bytes = 0;
    uint64_t m_signalLosses = 0;
    uint64_t m_firstTime = 0;
    uint64_t m_lastTime = 0;
};

} // namespace fennwick_host
