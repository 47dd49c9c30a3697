// Prints the search's status messages to a stream, one per line, and, on a
// terminal, keeps a live progress bar below them during the header scan and
// the fetch. Called on the thread that runs the search.
#pragma once

#include "search_context.h"

#include <cstdio>
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

  private:
    void ClearBar();
    void DrawBar(const kvStatus& status);

    std::FILE* out;
    bool terminal;
    bool quiet;
    int barLength = 0; // characters of the bar on the line; 0: none shown
    std::string lastPrinted;
};
