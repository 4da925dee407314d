// Captured bytes under tests/data/streaming/: each file starts with one line
// saying how it was made, which is dropped here.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace talvex::test {

inline std::string ReadCapturedFile(const std::string& name) {
    std::ifstream file(std::string(FENNWICK_TEST_DATA_DIR) + "/streaming/" + name, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    const std::string text = content.str();
    const size_t lineEnd = text.find('\n');
    return lineEnd == std::string::npos ? std::string() : text.substr(lineEnd + 1);
}

} // namespace talvex::test
