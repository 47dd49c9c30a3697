// The system's network library (Winsock 2.2 on Windows; nothing to do on
// POSIX), started and cleaned up per thread.
#pragma once

// Starts and stops the system's network library. Each thread that searches
// pairs its own calls; kvNetLibrary pairs them for a scope.
bool NetStartup();
void NetCleanup();
// The Winsock version NetStartup asks for, major.minor (2.2 unless changed);
// without effect elsewhere. Tests ask for one that does not exist.
void SetRequestedWinsockVersion(int major, int minor);

// Starts the network library for as long as it lives: cleaned up at its end
// when, and only when, the start succeeded.
class kvNetLibrary {
  public:
    kvNetLibrary() : ready(NetStartup()) {}
    ~kvNetLibrary() {
        if (ready) NetCleanup();
    }
    kvNetLibrary(const kvNetLibrary&) = delete;
    kvNetLibrary& operator=(const kvNetLibrary&) = delete;

    bool Ready() const { return ready; }

  private:
    bool ready;
};
