// The controller's start-up and end, the main frame's reports and the search
// worker's handover.
#include "controller.h"

#include "netrc_file.h"

#include <wx/app.h>

namespace {

// Runs a task on the GUI thread, behind every event already queued.
void PostToGui(kvSearchWorker::Task task) {
    if (wxTheApp) wxTheApp->CallAfter([task = std::move(task)]() { task(); });
}

std::string LastPathAtStart(const kvFilePlaces& places) {
    return places.workingDir.empty() ? std::string("*.kvx") : places.workingDir + "/*.kvx";
}

} // namespace

kvController::kvController(const kvFilePlaces& places, std::unique_ptr<kvInteraction> interaction)
    : places_(places), interaction_(std::move(interaction)) {
    settingsPath_ = LocateOrCreateFile(places_, "korvex.ini");
    ReadSettingsFile(settingsPath_, settings_);

    const WindowRect& main = settings_.mainRect;
    mainFrame_ = new kvMainFrame(main.x, main.y, *this);
    view_.Attach(mainFrame_);
    recent_ = ReadRecentFiles(settings_);
    mainFrame_->SetRecentFiles(recent_);
    ShowStatus("Korvex: idle");
    mainFrame_->Show();

    descriptionPath_ = LocateFile(places_, "korvex.dat");
    helpPath_ = LocateFile(places_, "korvex.txt");
    lastPath_ = LastPathAtStart(places_);

    model_.ui = kvSTATE();
    EnterIdle();
    mainFrame_->EnableItem(CMD_CLOSE_HELP, false);
    worker_ = std::make_unique<kvSearchWorker>(
        PostToGui, [this](const std::string& text) { ShowStatus(text.c_str()); },
        [this](kvSearchWorker::Outcome& outcome) { SearchFinished(outcome); });
    netrcPath_ = places_.netrcFile.empty() ? DefaultNetrcPath() : places_.netrcFile;
    worker_->SetNetrcPath(netrcPath_);
    worker_->SetProgressHandler([this](int done, int total) {
        if (mainFrame_ && model_.ui.state == STATE_SEARCHING) mainFrame_->ShowProgress(done, total);
    });
    worker_->SetLoginHandler(
        [this](const std::string& host, kvCredentials& login) { return AskForLogin(host, login); });

    ReadDescriptionFile(descriptionPath_, request_, dialogSetup_);
    if (!dialogSetup_.warning.empty()) ShowStatus(dialogSetup_.warning.c_str());
    dialog_ = new kvSearchDialog(mainFrame_, dialogSetup_, request_,
                                 [this](bool ok) { OnSearchDone(ok); });
}

kvController::~kvController() {
    worker_.reset(); // stops and joins a running search; its reports are dropped
    view_.CloseArticleWindows();
    if (help_) help_->Destroy();
    if (mainFrame_) {
        view_.Detach();
        mainFrame_->Unlisten();
        mainFrame_->Destroy();
    }
}

bool kvController::AskForLogin(const std::string& host, kvCredentials& login) {
    kvLoginAnswer answer;
    if (!interaction_->AskLogin(host, answer) || answer.login.user.empty()) return false;
    if (answer.remember) {
        std::string problem;
        if (!RememberInNetrc(netrcPath_, host, answer.login, problem))
            ShowNotice(("The login was not remembered: " + problem).c_str());
    }
    login = answer.login;
    return true;
}

void kvController::OnSearchDone(bool ok) {
    if (!ok) {
        ShowStatus("Korvex: idle");
        return;
    }
    if (!worker_->Start(request_)) {
        ShowNotice("Thread creation error.");
        return;
    }
    // Entered here, on the GUI thread, before any report of the worker can
    // arrive: no command can slip in between the start and the state change.
    SetStateSearching(model_.ui, Menus());
}

void kvController::SearchFinished(kvSearchWorker::Outcome& outcome) {
    if (mainFrame_) mainFrame_->ShowProgress(0, 0);
    model_.results = std::move(outcome.results);
    if (outcome.count <= 0) {
        ShowStatus(outcome.status.c_str());
        EnterIdle();
        return;
    }
    model_.summary = std::move(outcome.summary);
    model_.ui.saved = 0;
    SetStateReady(model_.ui, Menus()); // the status line stays as the run left it
}

void kvController::RunMenuCommand(int id) {
    RunCommand(id);
}

void kvController::MainFrameResized(int width, int height) {
    view_.Resize(width, height);
}

// The close box asks what Quit asks; Quit itself closes the frame directly.
bool kvController::MayCloseMainFrame(bool) {
    return !(Holding(model_.ui.state) && model_.ui.saved == 0) || AskToSaveResults();
}

void kvController::CloseMainFrame() {
    worker_->StopAndWait();
    if (dialog_) {
        dialog_->Hide();
        dialog_->Destroy();
    }
    if (help_) {
        help_->Destroy();
        help_ = nullptr;
    }
    CloseSearch();
}

void kvController::MainFrameGone() {
    view_.Detach();
    mainFrame_ = nullptr;
}
