// Running a piece of a test as another user (POSIX, root only): checks whose
// answer depends on who runs the program, as a plain user would.
#pragma once

#include <functional>
#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvex_test {

// The uid and gid of "nobody" on Debian.
constexpr uid_t kNobody = 65534;

inline bool RunningAsRoot() {
    return geteuid() == 0;
}

// Runs body in a child process whose user and group are uid (body must not
// use gtest's assertions: its result is its return value). The child's
// answer, or false when it could not become that user or died.
inline bool RunAs(uid_t uid, const std::function<bool()>& body) {
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0) _exit(2);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace korvex_test
