// The system's network library (Winsock 2.2 on Windows; nothing to do on
// POSIX), started and cleaned up per thread.
#pragma once

// Starts and stops the system's network library. Each thread that searches
// pairs its own calls.
bool NetStartup();
void NetCleanup();
// The Winsock version NetStartup asks for, major.minor (2.2 unless changed);
// without effect elsewhere. Tests ask for one that does not exist.
void SetRequestedWinsockVersion(int major, int minor);
