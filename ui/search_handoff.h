// Between the search dialog and the search worker: OK starts a search on the
// worker, Cancel drops the dialog, and what the worker reports reaches the
// program on the GUI thread.
//
// GUI thread only. The worker's status lines arrive through CallAfter in the
// order the run showed them, each written into StatusText and shown on the
// status line; its outcome arrives last, once, and moves the UI to
// STATE_READY (results and summary held, saved 0) or back to STATE_IDLE with
// the run's last message.
#pragma once
#include "search_worker.h"

#include <memory>

// The program's search worker, reporting through the GUI thread's event queue.
std::unique_ptr<kvSearchWorker> MakeSearchWorker();

// The dialog's OK: hides it and starts the search; "Thread creation error."
// when no thread can be made.
void OnSearchOk();
// The dialog's Cancel: hides it and shows "Korvex: idle".
void OnSearchCancel();
