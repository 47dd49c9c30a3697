#include "search_context.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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

static void FormatInto(char* out, const char* format, va_list args) {
    // vsnprintf cuts a message that would not fit (a long server name) and terminates it.
    std::vsnprintf(out, KV_STATUS_SIZE, format, args);
}

void kvSearchContext::Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(statusText, format, args);
    va_end(args);
}

void kvSearchContext::Show(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(statusText, format, args);
    va_end(args);
    if (report) report(kvStatus{statusText});
}

void kvSearchContext::ShowProgress(kvPhase phase, int done, int total, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(statusText, format, args);
    va_end(args);
    if (report) report(kvStatus{statusText, phase, done, total});
}

long long kvSearchContext::NowMilliseconds() const {
    if (clock) return clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
