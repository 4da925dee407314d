// Runs a command line through the shell to its end, for tests that drive
// fennwick-host, ffmpeg and ffprobe as a person would.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace fennwick_host::test {

struct ToolResult {
    int exitCode; // -1 when the command did not exit normally
    std::string output; // stdout and stderr
};

inline ToolResult RunTool(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return {-1, "popen failed"};
    std::string output;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, count);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

} // namespace fennwick_host::test
