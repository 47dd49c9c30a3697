#include "progress_printer.h"

#include "utf8_text.h"

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
                     ? std::fprintf(out, "%s [%s] %3d%%", what, bar, done * 100 / total)
                     : std::fprintf(out, "%s [%s] %d/%d", what, bar, done, total);
    barLength = length > 0 ? length : 0;
}
