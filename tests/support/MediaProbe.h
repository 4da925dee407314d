// ffprobe's and ffmpeg's verdict on a media file: a stream's entries (the
// first video stream unless another is chosen, "a:0" the first audio stream),
// its packet times, and whether the file decodes without one complaint.
#pragma once

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace talvex::test {

// " -f FORMAT" for a raw elementary stream; "" lets ffmpeg guess from the file.
inline std::string InputFormat(const std::string& format) { return format.empty() ? "" : " -f " + format; }

// ffprobe's entries (e.g. "stream=codec_name,width:format=duration") of the
// stream, frames counted, as key to value.
inline std::map<std::string, std::string> ProbeEntries(const std::string& path, const std::string& entries,
                                                       const std::string& format = "",
                                                       const std::string& stream = "v:0") {
    const ToolResult result = RunTool("ffprobe -v error -count_frames -select_streams " + stream + InputFormat(format) +
                                      " -show_entries " + entries + " -of default=noprint_wrappers=1 " + path);
    EXPECT_EQ(result.exitCode, 0) << path << ": " << result.output;
    std::map<std::string, std::string> values;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            ADD_FAILURE() << "ffprobe says about " << path << ": " << line;
        else
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

// The stream's packet times (pts_time, seconds) in file order.
inline std::vector<double> PacketTimes(const std::string& path, const std::string& stream = "v:0") {
    const ToolResult result =
        RunTool("ffprobe -v error -select_streams " + stream + " -show_entries packet=pts_time -of csv=p=0 " + path);
    std::vector<double> times;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            times.push_back(std::strtod(line.c_str(), nullptr));
    return times;
}

// ffmpeg decodes the whole file without an error or a warning. Frames keep the
// file's time base: the null muxer would otherwise round millisecond times and
// complain about its own rounding.
inline void ExpectCleanDecode(const std::string& path, const std::string& format = "") {
    const ToolResult result =
        RunTool("ffmpeg -nostdin -v error" + InputFormat(format) + " -i " + path + " -enc_time_base -1 -f null -");
    EXPECT_EQ(result.exitCode, 0) << path;
    EXPECT_EQ(result.output, "") << "decoding errors in " << path;
}

} // namespace talvex::test
