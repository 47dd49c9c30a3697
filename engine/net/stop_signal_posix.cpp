#include "stop_signal.h"

#include <cerrno>
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
