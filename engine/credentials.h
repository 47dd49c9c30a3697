// Login credentials for a news server, and where a search run gets them.
//
// A search run asks for credentials only when the server answers 480 (and at
// most once per run); the front end decides where they come from: a netrc
// file, the command line and the environment, a login box. The password lives
// only in these objects and in the command that sends it, and is wiped when
// they go away.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Overwrites bytes in a way the compiler does not drop.
void WipeBytes(void* bytes, std::size_t length);

// Keeps a password this process will hold out of core dumps and away from
// other processes of the same user: on Linux the process is made
// non-dumpable (no core file, no ptrace attach, /proc/PID/mem closed) and
// its core-file limit set to 0. Both programs call it first thing in main.
// True when done; elsewhere (Windows writes no core files) it does nothing
// and returns true.
bool KeepSecretsOutOfDumps();

struct kvCredentials {
    std::string user;
    std::string password;

    kvCredentials() = default;
    kvCredentials(const kvCredentials& other) = default;
    kvCredentials& operator=(const kvCredentials& other) = default;
    ~kvCredentials() { Clear(); }
    void Clear();
};

enum class kvCredentialAnswer {
    Given,   // `out` holds a user name and a password
    None,    // nothing is known for this server (the user may also have cancelled)
    Refused, // a source exists but must not be used; `problem` says why
};

// Called on the thread that runs the search with the server's host name.
using kvCredentialSource = std::function<kvCredentialAnswer(
    const std::string& host, kvCredentials& out, std::string& problem)>;
