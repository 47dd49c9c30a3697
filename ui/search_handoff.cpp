#include "search_handoff.h"

#include "program.h"
#include "search_dialog.h"

#include <wx/app.h>

namespace {

// Runs a task on the GUI thread, behind every event already queued.
void PostToGui(kvSearchWorker::Task task) {
    if (wxTheApp) wxTheApp->CallAfter([task = std::move(task)]() { task(); });
}

void OnWorkerStatus(const std::string& text) {
    ShowStatus(text.c_str());
}

void OnWorkerDone(kvSearchWorker::Outcome& outcome) {
    kvProgram& program = Program();
    program.results = std::move(outcome.results);
    if (outcome.count <= 0) {
        ShowStatus(outcome.status.c_str());
        SetStateIdle(program.ui);
        return;
    }
    program.summary = std::move(outcome.summary);
    program.ui.saved = 0;
    SetStateReady(program.ui); // the status line stays as the run left it
}

} // namespace

std::unique_ptr<kvSearchWorker> MakeSearchWorker() {
    return std::make_unique<kvSearchWorker>(PostToGui, OnWorkerStatus, OnWorkerDone);
}

void OnSearchOk() {
    kvProgram& program = Program();
    HideSearchFrame();
    if (!program.worker->Start(program.request)) {
        ShowNotice("Thread creation error.");
        return;
    }
    // Entered here, on the GUI thread, before any report of the worker can
    // arrive: no command can slip in between the start and the state change.
    SetStateSearching(program.ui);
}

void OnSearchCancel() {
    HideSearchFrame();
    ShowStatus("Korvex: idle");
}
