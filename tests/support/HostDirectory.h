// A temporary host directory, as the driver's host gives it, with or without
// the driver's configuration file.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace talvex::test {

// A temporary host directory, removed with the object; with an RTP mode, the
// driver's configuration file Fennwick.xml chooses it.
class HostDirectory {
public:
    explicit HostDirectory(const char* rtpMode = nullptr) {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() / ("fennwick-host-" + std::to_string(random()));
        std::filesystem::create_directories(m_path);
        if (rtpMode)
            std::ofstream(m_path / "Fennwick.xml") << "<Configuration><Default><RTPMode>" << rtpMode
                                                   << "</RTPMode></Default></Configuration>\n";
    }
    ~HostDirectory() { std::filesystem::remove_all(m_path); }
    HostDirectory(const HostDirectory&) = delete;
    HostDirectory& operator=(const HostDirectory&) = delete;
    // With the closing slash, as the driver takes it.
    std::string Path() const { return m_path.string() + "/"; }

private:
    std::filesystem::path m_path;
};

} // namespace talvex::test
