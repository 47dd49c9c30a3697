// What the controller shows of itself: the status line, the notices, and the
// tear-down of the held search with its view.
#include "controller.h"

void kvController::ShowStatus(const char* text) {
    CopyField(statusText_, text);
    if (mainFrame_) mainFrame_->SetStatusLine(statusText_);
}

void kvController::ShowNotice(const char* text) {
    interaction_->Notice(text);
}

void kvController::CloseSearch() {
    view_.Close();
    model_.Drop();
    EnterIdle();
    model_.ui.saved = 1;
    ShowStatus("Korvex: idle");
    if (mainFrame_) mainFrame_->SetTitle(kAppTitle);
}
