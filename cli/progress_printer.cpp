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
    // A scan that hands on its numbers gets a shorter bar, so that the line
    // with its figures stays within 79 columns and the blanks wipe it whole.
    constexpr int kWidest = 40;
    const int width = status.phase == kvPhase::HeaderScan && status.numbersTotal > 0 ? 20 : kWidest;
    int total = status.total > 0 ? status.total : 1;
    int done = status.done < 0 ? 0 : (status.done > total ? total : status.done);
    int filled = done * width / total;
    char bar[kWidest + 1];
    for (int i = 0; i < width; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[width] = '\0';
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

namespace {

// A count as digits up to 9,999,999, beyond that in whole millions ("2147M").
std::string Count(long long n) {
    return n < 10'000'000 ? std::to_string(n) : std::to_string(n / 1'000'000) + "M";
}

} // namespace

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
    std::string text = " " + Count(status.numbersDone) + "/" + Count(status.numbersTotal);
    long long elapsed = now - scanStartMs;
    long long counted = status.numbersDone - scanStartDone;
    if (elapsed <= 0 || counted <= 0) return text;
    long long rate = static_cast<long long>(static_cast<double>(counted) * 1000.0 /
                                            static_cast<double>(elapsed));
    long long left = status.numbersTotal - status.numbersDone;
    // Seconds left at the rate so far, rounded up.
    long long seconds = rate > 0 ? (left + rate - 1) / rate : 0;
    char time[40];
    std::snprintf(time, sizeof time, ", %lld:%02lld:%02lld left", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text + ", " + Count(rate) + "/s" + time;
}
