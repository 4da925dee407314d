// "/command/capability-video?Target=<Key><n>&<context>" of cameras of
// generation 6 and later: what a stream may be set to, given the settings in
// the context (the settings a driver means to send, then the camera's own).
// Like a real camera's encoder budget, the answers depend on the codecs of
// the other streams.
#pragma once

#include "CameraState.h"
#include "HttpServer.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace camsim {

// "Capable<target>=v1,v2,..." for a target the camera knows; nullopt for any
// other target and for cameras below generation 6.
std::optional<std::string> CapabilityVideoAnswer(const CameraState& state, std::string_view query);

// Serves the capability queries of the camera's state on its web server;
// the targets of faultyValues are answered with the value given there.
void AddCapabilityVideoRoute(HttpServer& http, std::shared_ptr<CameraState> state,
                             std::map<std::string, std::string> faultyValues = {});

} // namespace camsim
