// Runs a check with the given TZ and restores the previous zone afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace talvex::test {

class LocalZone {
public:
    explicit LocalZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old, m_hadOld = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~LocalZone() {
        if (m_hadOld)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    std::string m_old;
    bool m_hadOld = false;
};

} // namespace talvex::test
