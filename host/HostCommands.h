// The commands of fennwick-host. Each returns the process exit code and
// prints its own errors (one line each) to stderr.
#pragma once

#include "HostOptions.h"

namespace fennwick_host {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Opens the device and closes it again: the driver's log shows what it made of the device.
int RunOpenCommand(const HostOptions& options);

// Records the requested streams of video channel 0 into one Matroska file each
// (or counts their frames with --discard) until SIGINT, SIGTERM or --seconds,
// then prints a summary per stream to stdout (with --audio also the audio
// input's, whose frames go into the first stream's file). Fails when the driver cannot
// start any stream, when a file cannot be written, or when a stream brought no
// frame (or, when writing, no key frame to start its file). With --privacy the
// channel asks the camera to mask the zones; without device properties 5 and
// 6 in the profile (which query writes) it records nothing and says so.
int RunRecordCommand(const HostOptions& options);

// Watches the device's digital inputs and switches its outputs (--set, in
// order) until SIGINT, SIGTERM or --watch, printing one line per input change
// and per output change to stdout. Fails when the driver offers no I/O, when
// a --set names an output the device lacks or is refused, or when the driver
// reported an I/O failure.
int RunIoCommand(const HostOptions& options);

// Runs the ptz actions in order on the PTZ object of video channel 0, one
// result line each on stdout (PtzSession.h). Fails when the driver offers no
// PTZ object, or when it did not carry out every action.
int RunPtzCommand(const HostOptions& options);

// Runs the driver's capability query against the device's address and
// credentials, prints what it found (QueryFindings.h) and, with --out, writes
// it as a device profile. Fails with the driver's failure code and text when
// the query fails (1: login failed, 2: the device cannot be reached).
int RunQueryCommand(const HostOptions& options);

// Plays --file through the device's loudspeaker (SpeakSession.h) and prints
// the bytes sent and the channel's status. Fails when the file cannot be
// decoded, the driver offers no audio output, the channel does not start, or
// not every frame was sent.
int RunSpeakCommand(const HostOptions& options);

} // namespace fennwick_host
