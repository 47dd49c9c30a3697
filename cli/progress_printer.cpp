#include "progress_printer.h"

#include "utf8_text.h"

#include <chrono>

void kvProgressPrinter::operator()(const kvStatus& status) {
    if (quiet) return;
    ClearBar();
    std::fprintf(out, "%s\n", ReadableText(status.text).c_str());
    lastPrinted = status.text;
    if (terminal && status.phase != kvPhase::None) DrawBar(status);
    std::fflush(out);
}

void kvProgressPrinter::Final(const char* text) {
    ClearBar();
    if (lastPrinted == text) return;
    std::fprintf(out, "%s\n", ReadableText(text).c_str());
    std::fflush(out);
}

void kvProgressPrinter::ClearBar() {
    if (barLength == 0) return;
    // Blanks over the bar: no escape sequences, which not every console takes.
    std::fprintf(out, "\r%*s\r", barLength, "");
    barLength = 0;
}

void kvProgressPrinter::DrawBar(const kvStatus& status) {
    constexpr int kWidth = 40;
    int total = status.total > 0 ? status.total : 1;
    int done = status.done < 0 ? 0 : (status.done > total ? total : status.done);
    int filled = done * kWidth / total;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    const char* what = status.phase == kvPhase::HeaderScan ? "headers " : "articles";
    int length = status.phase == kvPhase::HeaderScan
                     ? std::fprintf(out, "%s [%s] %3d%%%s", what, bar, done * 100 / total,
                                    ScanFigures(status).c_str())
                     : std::fprintf(out, "%s [%s] %d/%d", what, bar, done, total);
    barLength = length > 0 ? length : 0;
}

long long kvProgressPrinter::Now() const {
    if (clock) return clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string kvProgressPrinter::ScanFigures(const kvStatus& status) {
    if (status.numbersTotal <= 0) return std::string();
    long long now = Now();
    if (!scanTimed || status.numbersDone < scanStartDone) {
        // The first chunk's numbers arrived before the clock started: the
        // rate counts from there.
        scanTimed = true;
        scanStartMs = now;
        scanStartDone = status.numbersDone;
    }
    char text[128];
    int n = std::snprintf(text, sizeof text, " %lld/%lld numbers", status.numbersDone,
                          status.numbersTotal);
    long long elapsed = now - scanStartMs;
    long long counted = status.numbersDone - scanStartDone;
    if (elapsed > 0 && counted > 0 && n > 0 && static_cast<std::size_t>(n) < sizeof text) {
        long long rate = static_cast<long long>(static_cast<double>(counted) * 1000.0 /
                                                static_cast<double>(elapsed));
        long long left = status.numbersTotal - status.numbersDone;
        // Seconds left at the rate so far, rounded up.
        long long seconds = rate > 0 ? (left + rate - 1) / rate : 0;
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n),
                      ", %lld/s, %lld:%02lld:%02lld left", rate, seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    }
    return text;
}
