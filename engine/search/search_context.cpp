#include "search_context.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>

void kvSearchContext::Put(kvStatusKind kind, const char* format, va_list args) {
    // vsnprintf cuts a message that would not fit (a long server name) and terminates it.
    std::vsnprintf(statusText, KV_STATUS_SIZE, format, args);
    statusKind = kind;
}

void kvSearchContext::Write(kvStatusKind kind, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Put(kind, format, args);
    va_end(args);
}

void kvSearchContext::Show(kvStatusKind kind, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Put(kind, format, args);
    va_end(args);
    if (report) report(kvStatus{statusText, kvPhase::None, 0, 0, kind});
}

void kvSearchContext::ShowProgress(kvPhase phase, int done, int total, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Put(kvStatusKind::Progress, format, args);
    va_end(args);
    if (!report) return;
    kvStatus status{statusText, phase, done, total, kvStatusKind::Progress};
    if (phase == kvPhase::HeaderScan) {
        status.numbersDone = scanDone;
        status.numbersTotal = scanTotal;
    }
    report(status);
}

long long kvSearchContext::NowMilliseconds() const {
    if (clock) return clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool kvSearchContext::Pause(long long ms) {
    if (stop.StopRequested()) return false;
    bool waited = pause ? pause(ms) : !stop.WaitFor(ms);
    return waited && !stop.StopRequested();
}
