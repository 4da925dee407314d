// The video side of one device as the host drives it: one table entry per
// video channel with its four stream slots, channels made by the driver's
// factory, and the edge storage switch the host sets.
#pragma once

#include "common/CRecursiveLock.h"
#include "driver/IVideoChannelCreator.h"
#include "channels/ICameraChannel.h"

#include <talvex/ipcapture/VideoCapture.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace talvex {

class CIPVideoCapture : public ipcapture::IIPVideoCaptureEx2 {
public:
    // Stream slots of an entry: recording, live, remote and a fourth stream.
    static constexpr uint32_t kStreamSlots = 4;
    // The 16-bit integer property type of SetProperty/GetProperty.
    static constexpr uint32_t kPropertyTypeInt16 = 2;

    CIPVideoCapture(IVideoChannelCreator* creator, uint32_t channelCount);
    ~CIPVideoCapture() override;
    CIPVideoCapture(const CIPVideoCapture&) = delete;
    CIPVideoCapture& operator=(const CIPVideoCapture&) = delete;

    uint32_t GetChannelCount() override;
    bool StartChannel(uint32_t channelIndex, ipcapture::IVideoChannelCallback* channelCallback,
                      ipcapture::IVideoChannelSettings* settings) override;
    bool StopChannel(uint32_t channelIndex) override;
    bool UpdateChannel(uint32_t channelIndex, ipcapture::IVideoSizeSource* sizeSource, uint32_t value) override;
    bool SendChannelCommand(uint32_t channelIndex, uint32_t command) override;
    bool GetChannelStatus(uint32_t channelIndex, uint32_t* status, uint32_t* extra, char* text,
                          uint32_t textSize) override;
    bool SetProperty(const char* name, const void* value, uint32_t type) override;
    bool GetProperty(const char* name, void* value, uint32_t type) override;
    bool ResumeChannel(uint32_t channelIndex) override;
    bool SuspendChannel(uint32_t channelIndex) override;
    bool StartStream(uint32_t channelIndex, uint32_t streamIndex, ipcapture::IVideoChannelCallback* channelCallback,
                     ipcapture::IVideoChannelSettings* settings) override;
    bool StopStream(uint32_t channelIndex, uint32_t streamIndex) override;

    // Width and height of the live stream, else of the recording stream; 0 x 0 without either.
    std::pair<uint16_t, uint16_t> GetPictureSize(uint32_t channelIndex);
    bool IsEdgeStorageOn() const { return m_edgeStorageOn; }

private:
    using ChannelPtr = std::shared_ptr<ICameraChannel>;
    using MotionPtr = std::unique_ptr<IMotionChannel>;
    struct ChannelEntry {
        std::array<ChannelPtr, kStreamSlots> streams;
        MotionPtr motion;
    };

    // The start record of the host's settings; empty when a part is missing.
    static std::optional<ChannelStartParameters> BuildStartRecord(const ipcapture::IVideoChannelSettings* settings,
                                                                  uint32_t kind);
    static bool IsEdgeStorageProperty(const char* name, uint32_t type);
    // Makes and starts a channel and stores it in its slot, also when the start failed.
    bool CreateAndStart(uint32_t channelIndex, uint32_t slot, ipcapture::IVideoChannelCallback* channelCallback,
                        const ipcapture::IVideoChannelSettings& settings, bool withOption);
    // A copy of a slot's channel, so that it is used outside the lock.
    ChannelPtr GetChannel(uint32_t channelIndex, uint32_t slot);
    ChannelPtr TakeChannel(uint32_t channelIndex, uint32_t slot);
    static void StopAndRelease(ChannelPtr& channel);
    // Makes, starts and stores the motion detection of a started channel
    // (stored also when its start failed); true without one (refused by the creator).
    bool StartMotion(uint32_t channelIndex, ipcapture::IVideoChannelCallback* channelCallback);
    MotionPtr TakeMotion(uint32_t channelIndex);
    // Made once, on the first start after the host switched edge storage on.
    IEdgeStorageHandler* GetOrCreateEdgeStorageHandler();
    IEdgeStorageHandler* GetEdgeStorageHandler();
    // Registers the started entry's recording channel and motion channel.
    void RegisterWithEdgeStorage(uint32_t channelIndex);

    IVideoChannelCreator* const m_creator;
    CRecursiveLock m_lock;
    std::vector<ChannelEntry> m_channels;
    std::atomic<bool> m_edgeStorageOn{false};
    // Deleted after every channel was stopped (destructor).
    std::unique_ptr<IEdgeStorageHandler> m_edgeStorageHandler;
};

} // namespace talvex
