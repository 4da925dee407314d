// The host's PTZ object of one channel: checks every call against the
// camera's capabilities, queues it on the channel's worker and answers at
// once. Remembers which axes move so that PTZ_Stop stops only those.
#pragma once

#include "ptz/CBasePTZComm.h"

#include <talvex/ipcapture/PTZ.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace talvex {

class IDriver;

class CBasePTZControl : public ipcapture::IIPPTZApiEx {
public:
    CBasePTZControl(IDriver* driver, uint32_t channelIndex);
    ~CBasePTZControl() override;
    CBasePTZControl(const CBasePTZControl&) = delete;
    CBasePTZControl& operator=(const CBasePTZControl&) = delete;

    bool PTZ_IsSupported() override;
    int32_t PTZ_Move(int32_t direction, uint32_t speed) override;
    int32_t PTZ_Stop() override;
    int32_t PTZ_Center(int32_t x, int32_t y, int32_t arg) override;
    int32_t PTZ_ZoomIn(uint32_t speed) override;
    int32_t PTZ_ZoomOut(uint32_t speed) override;
    int32_t PTZ_Unzoom(int32_t arg) override;
    int32_t PTZ_AreaZoom(int32_t x, int32_t y, int32_t percent, int32_t arg) override;
    int32_t PTZ_FocusNear(uint32_t speed) override;
    int32_t PTZ_FocusFar(uint32_t speed) override;
    int32_t PTZ_IrisOpen(uint32_t speed) override;
    int32_t PTZ_IrisClose(uint32_t speed) override;
    int32_t PTZ_GetCapabilities(ipcapture::PTZ_CAPABILITIES* capabilities) override;
    bool PTZ_IsSuccess(int32_t code) override;

    // Ends the worker and destroys the comm object; every call then answers "not open".
    virtual void Close();
    virtual std::unique_ptr<CBasePTZComm> CreateComm() = 0;
    // Any movement: the device class forgets where a preset put the camera.
    virtual void OnMoveCommand() = 0;
    virtual int32_t Zoom(int32_t direction, uint32_t speed);
    virtual int32_t Focus(bool near, uint32_t speed);
    virtual int32_t Iris(bool open, uint32_t speed);
    // Makes and opens the comm object; false when either fails.
    virtual bool Open();

protected:
    CBasePTZComm* GetComm() const { return m_comm.get(); }
    IDriver* GetDriver() const { return m_driver; }
    uint32_t GetChannelIndex() const { return m_channelIndex; }

private:
    // A stop for an axis group that moves; the flag is cleared once queued.
    bool StopIfMoving(std::atomic<bool>& moving, uint32_t what);
    // Queues a movement the camera can do; sets moving on success.
    int32_t QueueMovement(bool capable, const CPTZMessage& message, std::atomic<bool>* moving);
    static CPTZMessage Message(int32_t type, uint32_t a, uint32_t b, uint32_t c = 0, uint32_t d = 0, uint32_t e = 0);

    IDriver* m_driver;
    uint32_t m_channelIndex;
    std::unique_ptr<CBasePTZComm> m_comm;
    std::atomic<bool> m_panTiltMoving{false};
    std::atomic<bool> m_zoomMoving{false};
    std::atomic<bool> m_focusMoving{false};
    std::atomic<bool> m_irisMoving{false};
};

} // namespace talvex
