// Programs a test runs: RunTool runs a command line through the shell to its
// end (fennwick-host, ffmpeg, ffprobe as a person runs them); ChildProcess
// starts one whose stdout is read line by line, stopped with SIGTERM (then
// SIGKILL after a grace time) when the test ends.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace talvex::test {

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

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            std::vector<char*> argv;
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        m_stdout = out[0];
    }
    ~ChildProcess() {
        Stop();
        if (m_stdout >= 0)
            ::close(m_stdout);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }

    // The next line of stdout within the time, without its line end.
    std::optional<std::string> ReadLine(std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        for (;;) {
            const size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{m_stdout, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, int(left.count())) != 1)
                return std::nullopt;
            char chunk[512];
            const ssize_t count = ::read(m_stdout, chunk, sizeof chunk);
            if (count <= 0)
                return std::nullopt;
            m_buffer.append(chunk, size_t(count));
        }
    }

    // SIGTERM, then SIGKILL after two seconds; the exit status, -1 when killed.
    int Stop() {
        if (m_pid <= 0)
            return m_exitStatus;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return m_exitStatus;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        m_exitStatus = -1;
        return m_exitStatus;
    }

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_exitStatus = -1;
    std::string m_buffer;
};

} // namespace talvex::test
