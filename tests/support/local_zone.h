// Runs with the local time zone set to `zone` (POSIX form, which Windows' C
// library reads too), restoring the old one, or the system's own, after.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace korvex_test {

class LocalZone {
  public:
    explicit LocalZone(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld = old != nullptr;
        if (hadOld) previous = old;
        Set(zone);
    }
    ~LocalZone() { Set(hadOld ? previous.c_str() : nullptr); }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

  private:
    static void Set(const char* zone) { // null: the system's own
#ifdef _WIN32
        _putenv_s("TZ", zone ? zone : "");
        _tzset();
#else
        if (zone) {
            setenv("TZ", zone, 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
#endif
    }

    bool hadOld = false;
    std::string previous;
};

} // namespace korvex_test
