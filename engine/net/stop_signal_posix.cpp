#include "stop_signal.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// A pipe: a stop writes a byte, and every poll that includes the read end wakes.
kvStopSignal::kvStopSignal() {
    int fds[2];
    if (pipe(fds) == 0) {
        readFd = fds[0];
        writeFd = fds[1];
        fcntl(readFd, F_SETFD, FD_CLOEXEC);
        fcntl(writeFd, F_SETFD, FD_CLOEXEC);
        fcntl(writeFd, F_SETFL, O_NONBLOCK);
    }
}

kvStopSignal::~kvStopSignal() {
    if (readFd >= 0) close(readFd);
    if (writeFd >= 0) close(writeFd);
}

void kvStopSignal::RequestStop() {
    if (writeFd < 0) return;
    char byte = 1;
    ssize_t r;
    do {
        r = write(writeFd, &byte, 1);
    } while (r < 0 && errno == EINTR);
}

bool kvStopSignal::StopRequested() const {
    if (readFd < 0) return false;
    pollfd p{readFd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

bool kvStopSignal::WaitFor(long long ms) const {
    if (readFd < 0) return false;
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        long long left = ms - std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
        if (left <= 0) return StopRequested();
        pollfd p{readFd, POLLIN, 0};
        int r = poll(&p, 1, left > 60000 ? 60000 : static_cast<int>(left));
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return StopRequested();
    }
}
