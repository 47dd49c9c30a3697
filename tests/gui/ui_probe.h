// kvUiProbe: the GUI tests' one way into the desktop program's private parts:
// the controller's settings, held search, request and windows, the results
// view's list and article windows, and the test-only parts of the windows.
// The windows declare it their friend; the program itself never uses it.
//
// A probe is a small handle on one controller, made afresh wherever a test
// needs it; it holds nothing of its own.
#pragma once
#include "controller.h"

class wxListBox;
class wxTextCtrl;

class kvUiProbe {
  public:
    explicit kvUiProbe(kvController& controller) : c_(controller) {}

    // The controller's state.
    kvHeldSearch& Model() const { return c_.model_; }
    kvSettings& Settings() const { return c_.settings_; }
    const std::string& SettingsPath() const { return c_.SettingsPath(); }
    const std::string& LastPath() const { return c_.lastPath_; }
    const char* StatusText() const { return c_.statusText_; }
    const kvSearchRequest& Request() const { return c_.request_; }
    const kvSearchWorker& Worker() const { return *c_.worker_; }

    // Its windows; null when not made or gone.
    kvMainFrame* MainFrame() const { return c_.mainFrame_; }
    kvSearchDialog* Dialog() const { return c_.dialog_.get(); }
    kvHelpWindow* Help() const { return c_.help_.get(); }
    const kvSearchControls& DialogControls() const { return c_.dialog_->controls_; }
    wxTextCtrl* HelpText() const { return c_.help_ ? c_.help_->text_ : nullptr; }

    // The results view: its list (null while none is shown), its article
    // windows and the frame in one of their slots (null when not in use).
    wxListBox* ResultsList() const { return c_.view_.list_; }
    const kvArticleWindows& ArticleWindows() const { return c_.view_.articles_; }
    kvFrame* ArticleFrame(int slot) const { return c_.view_.articles_.Frame(slot); }

    // Where a frame last stood while shown normally (kvFrame::Geometry).
    static wxRect NormalRect(const kvFrame& frame) { return frame.normalRect_; }

    // What the program does on its own, done directly.
    void ShowStatus(const char* text) const { c_.ShowStatus(text); }
    void SearchFinished(kvSearchWorker::Outcome& outcome) const { c_.SearchFinished(outcome); }
    void CloseSearch() const { c_.CloseSearch(); }
    void OpenArticleWindow(int slot) const { c_.view_.OpenArticleWindow(slot); }

  private:
    kvController& c_;
};
