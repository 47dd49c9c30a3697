#include "search_context.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>

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
