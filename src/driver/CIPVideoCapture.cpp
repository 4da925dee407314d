#include "driver/CIPVideoCapture.h"

#include <strings.h>

namespace talvex {
namespace {

constexpr const char* kEdgeStorageProperty = "EdgeStorageState";

} // namespace

CIPVideoCapture::CIPVideoCapture(IVideoChannelCreator* creator, uint32_t channelCount)
    : m_creator(creator), m_channels(channelCount) {}

CIPVideoCapture::~CIPVideoCapture() {
    for (uint32_t index = 0; index < m_channels.size(); ++index)
        StopChannel(index);
    m_edgeStorageHandler.reset();
}

uint32_t CIPVideoCapture::GetChannelCount() {
    CAutoLock lock(m_lock);
    return uint32_t(m_channels.size());
}

std::optional<ChannelStartParameters> CIPVideoCapture::BuildStartRecord(
    const ipcapture::IVideoChannelSettings* settings, uint32_t kind) {
    if (!settings)
        return std::nullopt;
    const ipcapture::IVideoStreamSettings* stream = settings->GetStreamSettings();
    const ipcapture::IVideoPictureSettings* picture = settings->GetPictureSettings();
    const ipcapture::IVideoSize* size = stream ? stream->GetSize() : nullptr;
    if (!picture || !size)
        return std::nullopt;
    ChannelStartParameters record;
    record.firstValue = picture->GetFirstValue();
    record.secondValue = picture->GetSecondValue();
    record.width = size->GetWidth();
    record.height = size->GetHeight();
    record.kind = kind;
    return record;
}

bool CIPVideoCapture::CreateAndStart(uint32_t channelIndex, uint32_t slot,
                                     ipcapture::IVideoChannelCallback* channelCallback,
                                     const ipcapture::IVideoChannelSettings& settings, bool withOption) {
    const std::optional<ChannelStartParameters> record = BuildStartRecord(&settings, slot);
    if (!record)
        return false;
    ChannelPtr channel(
        m_creator->CreateVideoChannel(channelIndex, channelCallback, settings.GetStreamSettings()->GetCodecType()));
    if (!channel)
        return false;
    if (withOption)
        channel->SetChannelOption(settings.GetChannelOption());
    // Only a host that announces the later settings version has slot 6.
    if (settings.GetChannelFlags() & ipcapture::kChannelFlagPrivacyZones)
        channel->SetPrivacyZones(static_cast<const ipcapture::IVideoChannelSettingsEx&>(settings).GetPrivacyZones());
    const bool started = channel->Start(*record);
    // Kept also when the start failed: the next stop releases it.
    CAutoLock lock(m_lock);
    m_channels[channelIndex].streams[slot] = std::move(channel);
    return started;
}

bool CIPVideoCapture::StartChannel(uint32_t channelIndex, ipcapture::IVideoChannelCallback* channelCallback,
                                   ipcapture::IVideoChannelSettings* settings) {
    try {
        if (channelIndex >= GetChannelCount() || !settings)
            return false;
        StopChannel(channelIndex);
        if (m_edgeStorageOn)
            GetOrCreateEdgeStorageHandler();
        bool result = CreateAndStart(channelIndex, kRecordingChannel, channelCallback, *settings, true);
        const ipcapture::IVideoPictureSettings* picture = settings->GetPictureSettings();
        if (result && picture && picture->GetMotionDetection() != 0)
            result = StartMotion(channelIndex, channelCallback);
        if (m_edgeStorageOn)
            RegisterWithEdgeStorage(channelIndex);
        return result;
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::StartMotion(uint32_t channelIndex, ipcapture::IVideoChannelCallback* channelCallback) {
    MotionPtr motion(m_creator->CreateMotionChannel(channelIndex, channelCallback));
    if (!motion)
        return true;
    const bool motionStarted = motion->Start();
    CAutoLock lock(m_lock);
    m_channels[channelIndex].motion = std::move(motion);
    return motionStarted;
}

IEdgeStorageHandler* CIPVideoCapture::GetOrCreateEdgeStorageHandler() {
    CAutoLock lock(m_lock);
    if (!m_edgeStorageHandler)
        m_edgeStorageHandler.reset(m_creator->CreateEdgeStorageHandler());
    return m_edgeStorageHandler.get();
}

IEdgeStorageHandler* CIPVideoCapture::GetEdgeStorageHandler() {
    CAutoLock lock(m_lock);
    return m_edgeStorageHandler.get();
}

void CIPVideoCapture::RegisterWithEdgeStorage(uint32_t channelIndex) {
    // Under the lock: a concurrent stop of the entry cannot delete the channels meanwhile.
    CAutoLock lock(m_lock);
    if (!m_edgeStorageHandler)
        return;
    ChannelEntry& entry = m_channels[channelIndex];
    if (entry.streams[kRecordingChannel])
        m_edgeStorageHandler->AddChannel(entry.streams[kRecordingChannel].get());
    if (entry.motion)
        m_edgeStorageHandler->AddChannel(entry.motion.get());
}

CIPVideoCapture::MotionPtr CIPVideoCapture::TakeMotion(uint32_t channelIndex) {
    CAutoLock lock(m_lock);
    return channelIndex < m_channels.size() ? std::move(m_channels[channelIndex].motion) : nullptr;
}

CIPVideoCapture::ChannelPtr CIPVideoCapture::GetChannel(uint32_t channelIndex, uint32_t slot) {
    CAutoLock lock(m_lock);
    if (channelIndex >= m_channels.size() || slot >= kStreamSlots)
        return nullptr;
    return m_channels[channelIndex].streams[slot];
}

CIPVideoCapture::ChannelPtr CIPVideoCapture::TakeChannel(uint32_t channelIndex, uint32_t slot) {
    CAutoLock lock(m_lock);
    if (channelIndex >= m_channels.size() || slot >= kStreamSlots)
        return nullptr;
    return std::move(m_channels[channelIndex].streams[slot]);
}

void CIPVideoCapture::StopAndRelease(ChannelPtr& channel) {
    channel->Stop();
    channel.reset();
}

bool CIPVideoCapture::StopChannel(uint32_t channelIndex) {
    try {
        std::array<ChannelPtr, kStreamSlots> taken;
        MotionPtr motion;
        {
            CAutoLock lock(m_lock);
            for (uint32_t slot = 0; slot < kStreamSlots; ++slot)
                taken[slot] = TakeChannel(channelIndex, slot);
            motion = TakeMotion(channelIndex);
        }
        if (IEdgeStorageHandler* handler = GetEdgeStorageHandler()) {
            if (motion)
                handler->RemoveChannel(motion.get());
            if (taken[kRecordingChannel])
                handler->RemoveChannel(taken[kRecordingChannel].get());
        }
        // Stopped outside the lock: a worker that calls into the driver meanwhile cannot deadlock.
        bool anything = motion != nullptr;
        if (motion) {
            motion->Stop();
            motion.reset();
        }
        for (ChannelPtr& channel : taken) {
            if (!channel)
                continue;
            anything = true;
            StopAndRelease(channel);
        }
        return anything;
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::UpdateChannel(uint32_t channelIndex, ipcapture::IVideoSizeSource* sizeSource, uint32_t value) {
    try {
        ChannelPtr channel = GetChannel(channelIndex, kRecordingChannel);
        if (!channel || !sizeSource)
            return false;
        ChannelStartParameters record;
        record.firstValue = value;
        record.width = sizeSource->GetWidth();
        record.height = sizeSource->GetHeight();
        record.kind = kRecordingChannel;
        return channel->Restart(record);
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::SendChannelCommand(uint32_t, uint32_t) {
    return false;
}

bool CIPVideoCapture::GetChannelStatus(uint32_t channelIndex, uint32_t* status, uint32_t* extra, char* text,
                                       uint32_t textSize) {
    try {
        if (extra)
            *extra = 0;
        if (text && textSize)
            text[0] = 0;
        ChannelPtr channel = GetChannel(channelIndex, kRecordingChannel);
        if (!channel || !status)
            return false;
        *status = channel->GetState();
        return true;
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::IsEdgeStorageProperty(const char* name, uint32_t type) {
    return name && type == kPropertyTypeInt16 && strcasecmp(name, kEdgeStorageProperty) == 0;
}

bool CIPVideoCapture::SetProperty(const char* name, const void* value, uint32_t type) {
    if (!value || !IsEdgeStorageProperty(name, type))
        return false;
    m_edgeStorageOn = *static_cast<const int16_t*>(value) != 0;
    return true;
}

bool CIPVideoCapture::GetProperty(const char* name, void* value, uint32_t type) {
    if (!value || !IsEdgeStorageProperty(name, type))
        return false;
    *static_cast<int16_t*>(value) = m_edgeStorageOn ? 1 : 0;
    return true;
}

bool CIPVideoCapture::ResumeChannel(uint32_t channelIndex) {
    try {
        ChannelPtr channel = GetChannel(channelIndex, kRecordingChannel);
        return channel && channel->Resume();
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::SuspendChannel(uint32_t channelIndex) {
    try {
        ChannelPtr channel = GetChannel(channelIndex, kRecordingChannel);
        return channel && channel->Suspend();
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::StartStream(uint32_t channelIndex, uint32_t streamIndex,
                                  ipcapture::IVideoChannelCallback* channelCallback,
                                  ipcapture::IVideoChannelSettings* settings) {
    try {
        if (channelIndex >= GetChannelCount() || streamIndex >= kStreamSlots || !settings)
            return false;
        StopStream(channelIndex, streamIndex);
        return CreateAndStart(channelIndex, streamIndex, channelCallback, *settings, false);
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::StopStream(uint32_t channelIndex, uint32_t streamIndex) {
    try {
        ChannelPtr channel = TakeChannel(channelIndex, streamIndex);
        if (!channel)
            return false;
        StopAndRelease(channel);
        return true;
    } catch (...) {
        return false;
    }
}

std::pair<uint16_t, uint16_t> CIPVideoCapture::GetPictureSize(uint32_t channelIndex) {
    ChannelPtr channel = GetChannel(channelIndex, kLiveChannel);
    if (!channel)
        channel = GetChannel(channelIndex, kRecordingChannel);
    return channel ? channel->GetPictureSize() : std::pair<uint16_t, uint16_t>{0, 0};
}

} // namespace talvex
