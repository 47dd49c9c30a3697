// Prints the search's status messages to a stream, one per line, and, on a
// terminal, keeps a live progress bar below them during the header scan and
// the fetch. During the scan the bar also gives the article numbers scanned of
// those to scan, the numbers scanned per second and the time left at that
// rate. Called on the thread that runs the search.
#pragma once

#include "search_context.h"

#include <cstdio>
#include <functional>
#include <string>

class kvProgressPrinter {
  public:
    kvProgressPrinter(std::FILE* out, bool terminal, bool quiet)
        : out(out), terminal(terminal), quiet(quiet) {}
    ~kvProgressPrinter() { ClearBar(); }

    void operator()(const kvStatus& status);
    // Prints the search's last message unless it was the last line printed
    // (a failure's reason is written without being shown).
    void Final(const char* text);

    // Milliseconds on a monotonic clock for the scan's rate. Empty: the steady
    // clock. Tests put a clock of their own here.
    std::function<long long()> clock;

  private:
    void ClearBar();
    void DrawBar(const kvStatus& status);
    // " N/M, R/s, H:MM:SS left" for a header scan that hands its numbers on.
    std::string ScanFigures(const kvStatus& status);
    long long Now() const;

    std::FILE* out;
    bool terminal;
    bool quiet;
    int barLength = 0; // characters of the bar on the line; 0: none shown
    std::string lastPrinted;
    // Where the rate is measured from: the first scan message's time and numbers.
    bool scanTimed = false;
    long long scanStartMs = 0;
    long long scanStartDone = 0;
};
