// kvUiProbe: the GUI tests' one way into the desktop program's private parts:
// the controller's settings, held search, request and windows, the results
// view's list and article windows, and the test-only parts of the windows.
// The windows declare it their friend; the program itself never uses it.
//
// A probe is a small handle on one controller, made afresh wherever a test
// needs it; it holds nothing of its own.
#pragma once
#include "controller.h"

class wxGauge;
class kvResultsList;
class wxTextCtrl;

class kvUiProbe {
  public:
    explicit kvUiProbe(kvController& controller) : controller(controller) {}

    // The controller's state.
    kvHeldSearch& Model() const { return controller.model_; }
    kvSettings& Settings() const { return controller.settings_; }
    const std::string& SettingsPath() const { return controller.SettingsPath(); }
    const std::string& LastPath() const { return controller.lastPath_; }
    const char* StatusText() const { return controller.statusText_; }
    const kvSearchRequest& Request() const { return controller.request_; }
    const kvSearchWorker& Worker() const { return *controller.worker_; }

    // Its windows; null when not made or gone.
    kvMainFrame* MainFrame() const { return controller.mainFrame_; }
    kvSearchDialog* Dialog() const { return controller.dialog_.get(); }
    kvHelpWindow* Help() const { return controller.help_.get(); }
    const kvSearchControls& DialogControls() const { return controller.dialog_->controls_; }
    wxTextCtrl* HelpText() const { return controller.help_ ? controller.help_->text_ : nullptr; }

    // The results view: its list (null while none is shown), its article
    // windows and the frame in one of their slots (null when not in use).
    kvResultsList* ResultsList() const { return controller.view_.list_; }
    const kvArticleWindows& ArticleWindows() const { return controller.view_.articles_; }
    kvFrame* ArticleFrame(int slot) const { return controller.view_.articles_.Frame(slot); }

    // The main frame's progress gauge.
    static wxGauge* Gauge(const kvMainFrame& frame) { return frame.gauge_; }
    const std::vector<std::string>& RecentFiles() const { return controller.recent_; }

    // Where a frame last stood while shown normally (kvFrame::Geometry).
    static wxRect NormalRect(const kvFrame& frame) { return frame.normalRect_; }

    // What the program does on its own, done directly.
    void ShowStatus(const char* text) const { controller.ShowStatus(text); }
    void SearchFinished(kvSearchWorker::Outcome& outcome) const {
        controller.SearchFinished(outcome);
    }
    void CloseSearch() const { controller.CloseSearch(); }
    void OpenArticleWindow(int slot) const { controller.view_.OpenArticleWindow(slot); }

  private:
    kvController& controller;
};
