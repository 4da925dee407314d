// What the simulated camera is and holds: model, generation, credentials,
// authentication mode and the inquiry values that commands change. Shared by
// every server of one camera (HTTP, RTSP, ...); all members are thread-safe.
#pragma once

#include "CameraClock.h"
#include "Catalogue.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace camsim {

enum class AuthMode { None, Basic, Digest };

// "none", "basic", "digest"; nullopt for anything else.
std::optional<AuthMode> ParseAuthMode(std::string_view text);

using KeyValueList = std::vector<std::pair<std::string, std::string>>;

class InquiryGroupSource;

// "a=1&b=2" split at '&' and the first '='; items without '=' get an empty value.
KeyValueList SplitItems(std::string_view text);

class CameraState {
public:
    // The alarm groups ("sensor", "alarmout", ...) are made for the given input
    // and output counts (AlarmKeys.h).
    CameraState(const ModelSpec& model, std::string user, std::string password, AuthMode auth, uint32_t inputs,
                uint32_t outputs, int64_t clockOffsetMs = 0);

    const std::string& Model() const { return m_model.name; }
    uint32_t Generation() const { return m_model.generation; }
    const AlarmIoSpec& AlarmIo() const { return m_model.alarmIo; }
    // The camera's clock, by which it answers GmTime and stamps recordings.
    CameraClock& Clock() { return m_clock; }
    const CameraClock& Clock() const { return m_clock; }

    std::string User() const;
    std::string Password() const;
    AuthMode Auth() const;
    void SetCredentials(std::string user, std::string password);
    void SetAuthMode(AuthMode auth);

    // The answer to "/command/inquiry.cgi?inq=a&inq=b": the groups' items in
    // order, joined by '&'; nullopt when a group is unknown to this model.
    std::optional<std::string> Inquiry(const std::vector<std::string>& groups) const;
    // Current value of key in any group; nullopt when no group has it.
    std::optional<std::string> Value(std::string_view key) const;

    enum class Cgi { Camera, System, AlarmOut, MotionDetection, Masking };
    // Sets every known key of its CGI (system.cgi: the system groups,
    // alarmout.cgi and motiondetection.cgi: their groups, camera.cgi: the
    // others), after offering each key to the group sources. Unknown keys and
    // values outside a key's allowed list are ignored, as the camera does.
    // Every command is logged.
    void ApplyCommand(Cgi cgi, const KeyValueList& parameters);
    // What the camera itself changes (a sensor's state): the key in whichever
    // group holds it; nothing is logged.
    void SetValue(std::string_view key, const std::string& value);
    bool HasGroup(std::string_view name) const;
    // A group that the source keeps; the source must outlive the state's use.
    void AddGroupSource(InquiryGroupSource& source);
    // A "GmTime" value sets the camera's clock unless NTP keeps it
    // ("NtpService=on"); false when it does or the value is no time.
    bool SetGmTime(std::string_view value);
    std::vector<std::string> CommandLog() const;

private:
    struct Group {
        std::string name;
        KeyValueList items;
    };
    static constexpr size_t kMaxLoggedCommands = 1000;

    static Cgi CgiOfGroup(std::string_view name);
    bool IsAllowed(std::string_view key, std::string_view value) const;
    std::string CurrentValue(const std::string& key, const std::string& stored) const;
    bool SetGmTimeLocked(std::string_view value);

    const ModelSpec& m_model;
    mutable std::mutex m_mutex;
    std::string m_user;
    std::string m_password;
    AuthMode m_auth;
    std::vector<Group> m_groups;
    std::vector<InquiryGroupSource*> m_sources;
    std::vector<std::string> m_commandLog;
    CameraClock m_clock;
};

// An inquiry group whose items another part of camsim keeps, because its
// commands change more than one plain key (one mask in a list of masks). The
// state calls it under its own lock, so a source never calls the state.
class InquiryGroupSource {
public:
    virtual ~InquiryGroupSource() = default;
    virtual std::string GroupName() const = 0;
    virtual std::string Items() const = 0;
    // True when the key of this CGI is the source's; the state then leaves it alone.
    virtual bool TakeCommand(CameraState::Cgi cgi, const std::string& key, const std::string& value) = 0;
};

} // namespace camsim
