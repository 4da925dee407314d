// The command line of fennwick-host:
//   fennwick-host open   (--profile FILE | --generation N) [common options]
//   fennwick-host record (--profile FILE | --generation N) (--out DIR | --discard)
//                        [--codec jpeg|mpeg4|h264] [--size WxH] [--fps F] [--quality Q]
//                        [--stream rec|live|remote[:CODEC]] ...
//                        [--seconds N] [--camera HOST[:PORT]]... [--events FILE] [--motion]
//                        [--edge-storage] [--quiet | --progress] [common options]
//   fennwick-host io     (--profile FILE | --generation N) [--set K=on|off]... [--watch SECONDS]
//                        [common options]
//   fennwick-host ptz    (--profile FILE | --generation N) [--ptz CAPABILITIES] [common options]
//                        ACTION... (PtzAction.h)
//   fennwick-host query  [--profile FILE] [--out PROFILE] [common options]
//   fennwick-host speak  (--profile FILE | --generation N) --file FILE
//                        [--codec g711u|g711a|g726|aac] [--seconds N] [common options]
//   fennwick-host --help (or -h anywhere): the usage on standard output
// common options: [--library PATH] [--log FILE] [--host-version A.B.C.D]
//                 [--address HOST] [--port N] [--user NAME] [--password TEXT] [--model NAME]
//                 [--video-channels N] [--inputs N] [--outputs N]
// and, for open only, [--codec jpeg|mpeg4|h264] as the device's default codec.
// Device options given on the command line override the profile's keys;
// --generation N stands for a profile when the camera's properties were never
// stored. For record, --codec, --size, --fps (1 to 60) and --quality (1 to
// 100) set the codec, picture size, frame rate and quality of every --stream
// that follows them (a codec named in --stream NAME:CODEC wins);
// without --stream the recording stream is recorded. Each --camera is one more
// device of the same profile at that address (the port defaults to the
// profile's); with --camera the profile's own address is not recorded.
// --events appends a line per stream event (signal loss, frames resuming,
// motion changes, a start failure, an interval filled from the camera's
// storage). --motion also starts motion detection with the recording stream
// (which must be recorded). --edge-storage has the driver fill the recording
// stream's outages from the camera's own storage (device property 11 = 1 and
// the capture's "EdgeStorageState" on): each filled interval is written to
// DIR/<stream>-edge-<first_frame_unix_ms>.mkv and listed in the summary. record shows a status line
// per stream on a terminal; --quiet leaves it out, --progress shows it on a
// pipe too. For io, each --set switches output K (from 1) in command-line
// order; --watch ends the command after SECONDS (without it SIGINT or SIGTERM
// ends it); --inputs and --outputs give the device's counts. For ptz, --ptz
// gives the PTZ capability text (device property 4, as
// "Pan=1;Tilt=1;Zoom=1;Preset=16") when the profile has none or another; the
// actions follow the options and run in order. record --privacy
// LEFT,TOP,WIDTH,HEIGHT (percent of the picture, repeatable) switches masking
// on for the recorded channel with those zones, in order. query asks the
// camera at --address (or the profile's) what it is and offers through the
// driver's capability query, prints it, and with --out writes a profile that
// open and record read.
// record --audio also records
// the audio input into the first stream's file; speak plays FILE (at most
// --seconds of it) to the camera's loudspeaker, offering the driver the
// --codec format (default g711u).
#pragma once

#include "ChannelSettings.h"
#include "PrivacyZoneList.h"
#include "PtzAction.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <string>
#include <utility>
#include <vector>

namespace fennwick_host {

// The longest recording --seconds accepts: one week.
constexpr uint32_t kMaxRecordSeconds = 7 * 24 * 3600;

// One camera of --camera HOST[:PORT]; port 0 keeps the profile's.
struct CameraAddress {
    std::string host;
    uint16_t port = 0;
};

// The most cameras one host process records.
constexpr size_t kMaxCameras = 1024;
// The most --privacy zones (cameras have up to eight masks; the driver skips the rest).
constexpr size_t kMaxPrivacyZones = 32;

// One --set K=on|off.
struct OutputChange {
    uint32_t output = 0; // from 1
    bool on = false;
    bool operator==(const OutputChange&) const = default;
};

// The audio format speak offers the driver.
enum class SpeakCodec { G711u, G711a, G726, Aac };

// Whether record shows its status lines: on a terminal only, never, always.
enum class ProgressDisplay { OnTerminal, Off, On };

struct HostOptions {
    std::string command; // "open", "record", "io", "ptz", "query" or "speak"
    std::string profilePath;
    std::string libraryPath; // empty: DriverLibrary::DefaultPath()
    std::string logPath;
    std::string hostVersion; // empty: the driver's default
    std::optional<uint32_t> generation;
    // Device keys of the profile given as options, in command-line order.
    std::vector<std::pair<std::string, std::string>> deviceOptions;

    // record only
    std::vector<StreamRequest> streams;
    uint32_t seconds = 0; // 0: until SIGINT or SIGTERM (speak: the whole file)
    std::string outDirectory;
    bool discard = false;
    std::vector<CameraAddress> cameras; // empty: the one device of the profile
    std::string eventsPath;             // empty: no event lines
    ProgressDisplay progress = ProgressDisplay::OnTerminal;
    bool motion = false;                // motion detection with the recording stream
    std::vector<ZoneRect> privacyZones; // masking on with these zones when not empty
    bool edgeStorage = false;           // outages of the recording stream filled from the camera's storage
    bool audio = false;                 // the audio input into the first stream's file

    // io only
    std::vector<OutputChange> outputChanges;
    uint32_t watchSeconds = 0; // 0: until SIGINT or SIGTERM

    // ptz only
    std::optional<std::string> ptzCapabilities; // device property 4; none: the profile's
    std::vector<PtzAction> ptzActions;

    // query only
    std::string queryProfilePath; // empty: print only

    // speak only (and seconds)
    std::string speakFile;
    SpeakCodec speakCodec = SpeakCodec::G711u;
};

// g711u, g711a, g726, aac; none for anything else.
std::optional<SpeakCodec> ParseSpeakCodec(std::string_view text);

// The parsed options, or the error text.
std::optional<HostOptions> ParseHostOptions(int argc, const char* const argv[], std::string& error);

std::string HostUsage();

// --help or -h anywhere on the command line.
bool AsksForHelp(int argc, const char* const argv[]);

} // namespace fennwick_host
