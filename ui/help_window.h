// kvHelpWindow: the help window, a frame holding the help file as read-only
// text in a fixed-width font; and the about box's text.
//
// GUI thread only. The window is made once and afterwards only hidden and
// shown again; its close box hides it and reports that through `onHidden`.
#pragma once
#include "frame.h"

#include <functional>
#include <string>

class wxTextCtrl;

class kvHelpWindow : public kvFrame {
  public:
    // Made shown, with an empty text.
    explicit kvHelpWindow(std::function<void()> onHidden);

    // Loads the file into the text ("Error loading help file." when it cannot
    // be read), shows its top and focuses the text.
    void Load(const std::string& path);
    // Shows the window again, restored and on top, with the keyboard in the text.
    void Reopen();

    bool OnClose() override; // hides the window: false

  private:
    friend class kvUiProbe;

    std::function<void()> onHidden_;
    wxTextCtrl* text_ = nullptr;
};

// The about box's text; its first line is the program's name and version.
std::string AboutText();
