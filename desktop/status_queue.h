// Status messages on their way from the thread that runs a search to a GUI
// thread that may not keep up: a search can show thousands of progress
// messages a second, far more than a status line can display.
//
// Push (search thread) queues a message with its kind; a progress message
// replaces a progress message still waiting at the end of the queue, since it
// would only overwrite it on the screen. Other messages (results, warnings,
// errors) are never replaced, so the order of what is delivered is the order
// of the run, and the last message always arrives. Push calls `wake` when the
// queue has just become non-empty; the GUI thread then calls Take and shows
// what it gets, in order.
//
// Beside the texts the queue keeps how far the run has come as numbers, the
// latest only (Note, any thread; Progress, the reader), for a gauge.
#pragma once

#include "status_kind.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

class kvStatusQueue {
  public:
    // True for the kind of message that only tells how far the run has come.
    static bool IsProgress(kvStatusKind kind) { return kind == kvStatusKind::Progress; }

    // Any thread. True when the queue was empty: the reader must be woken.
    bool Push(const std::string& text, kvStatusKind kind);
    std::vector<std::string> Take(); // every message waiting, oldest first

    // done of total (total 0: nothing to measure, no gauge).
    struct Progress {
        int done = 0;
        int total = 0;
    };
    void Note(Progress progress);
    Progress Latest();

  private:
    std::mutex mutex;
    Progress latest;
    std::deque<std::string> waiting;
    bool lastIsProgress = false;
};
