#include "audio/CBaseAudioOutputChannel.h"

#include <memory>
#include <new>

namespace talvex {

CBaseAudioOutputChannel::CBaseAudioOutputChannel(IDriver* driver, uint32_t /*channel*/, uint32_t id,
                                                 ipcapture::IAudioSenderCallback* callback,
                                                 ipcapture::IAudioFormatList* formats, uint32_t refreshWaitMs)
    : CQueueThread<CAudioItem>(driver),
      m_driver(driver),
      m_id(id),
      m_callback(callback),
      m_formats(formats),
      m_refreshWaitMs(refreshWaitMs),
      m_status(kOutputStatusEdges, [this](uint32_t status) {
          if (m_callback)
              m_callback->OnStatusChanged(m_id, status);
      }) {}

bool CBaseAudioOutputChannel::StartChannel() {
    CAutoLock lock(m_lock);
    if (!Start(kThreadName))
        return false;
    m_status.Set(ipcapture::ChannelStarting);
    m_refreshQueued = false;
    Push(new (std::nothrow) CAudioItem());
    return true;
}

bool CBaseAudioOutputChannel::StopChannel() {
    GetStopEvent().Set();
    m_status.Set(ipcapture::ChannelStopping);
    CloseUpload();
    CAutoLock lock(m_lock);
    if (!Stop(kStopWaitMs))
        return false;
    m_status.Set(ipcapture::ChannelStopped);
    return true;
}

void CBaseAudioOutputChannel::SetFormat(const AudioFormat& format) {
    std::lock_guard lock(m_formatLock);
    m_format = format;
}

AudioFormat CBaseAudioOutputChannel::GetFormat() {
    std::lock_guard lock(m_formatLock);
    return m_format;
}

bool CBaseAudioOutputChannel::GetAudioFormat(ipcapture::IAudioFormat* format) {
    const AudioFormat current = GetFormat();
    format->SetCodec(current.fourcc);
    format->SetSamplesPerSecond(current.samplesPerSecond);
    format->SetBitRate(current.bitrate);
    format->SetStereo(current.isStereo != 0);
    return true;
}

bool CBaseAudioOutputChannel::SendAudioFrame(ipcapture::IAudioFrame* frame) {
    ipcapture::IFrameAllocator* allocator = m_driver->GetHostContext();
    if (IsStopRequested() || !allocator || !frame || !frame->GetData() || frame->GetDataSize() == 0)
        return false;
    const AudioFormat format = GetFormat();
    if (frame->GetCodec() != format.fourcc || frame->GetSamplesPerSecond() != format.samplesPerSecond ||
        frame->IsStereo() != (format.isStereo != 0) || frame->GetBitRate() != format.bitrate)
        return false;
    // From here the frame is the channel's: should a stop empty the queue
    // first, the item goes at once and hands the frame back. The host must not
    // release it again, so that case is a success too.
    Push(new CAudioDataItem(frame, allocator));
    return true;
}

void CBaseAudioOutputChannel::ProcessItem(CAudioItem* item) {
    switch (item->GetType()) {
    case CAudioItem::kPrepare:
        Prepare();
        break;
    case CAudioItem::kData:
        SendData(static_cast<CAudioDataItem*>(item)->GetFrame());
        break;
    case CAudioItem::kRefresh:
        m_refreshQueued = false;
        Refresh();
        break;
    }
}

bool CBaseAudioOutputChannel::HasMatchingHostFormat(uint32_t fourcc) {
    if (!m_formats)
        return false;
    const uint32_t count = m_formats->GetCount();
    for (uint32_t index = 0; index < count; ++index) {
        const ipcapture::IAudioFormat* format = m_formats->GetFormat(index);
        if (format && format->IsUsable() && format->GetCodec() == fourcc)
            return true;
    }
    return false;
}

void CBaseAudioOutputChannel::Prepare() {
    SelectFormat();
    if (!HasMatchingHostFormat(GetFormat().fourcc) || IsStopRequested()) {
        m_status.Set(ipcapture::ChannelFailed);
        return;
    }
    if (InitializeAudioDevice())
        m_status.Set(ipcapture::ChannelRunning);
    else
        LoseSignal();
}

void CBaseAudioOutputChannel::SendData(ipcapture::IAudioFrame* frame) {
    switch (m_status.Get()) {
    case ipcapture::ChannelRunning:
        if (!SendAudioFrameToDevice(frame))
            LoseSignal();
        break;
    case ipcapture::ChannelSignalLost:
        m_status.Set(ipcapture::ChannelStarting);
        if (InitializeAudioDevice() && !IsStopRequested() && SendAudioFrameToDevice(frame))
            m_status.Set(ipcapture::ChannelRunning);
        else
            LoseSignal();
        break;
    default:
        // Not prepared (yet), failed or stopping: the frame is dropped.
        break;
    }
}

void CBaseAudioOutputChannel::Refresh() {
    if (m_status.Get() != ipcapture::ChannelSignalLost)
        return;
    if (GetStopEvent().Wait(m_refreshWaitMs))
        return;
    m_status.Set(ipcapture::ChannelStarting);
    if (InitializeAudioDevice())
        m_status.Set(ipcapture::ChannelRunning);
    else
        LoseSignal();
}

void CBaseAudioOutputChannel::LoseSignal() {
    m_status.Set(ipcapture::ChannelSignalLost);
    if (!m_refreshQueued.exchange(true))
        Push(new (std::nothrow) CAudioRefreshItem());
}

} // namespace talvex
