// kvFrame: the base of every window frame of the desktop program (the main
// frame, the search dialog, the help window and the article windows).
//
// GUI thread only. The frame turns wx events into four virtual handlers that
// each kind of window overrides for itself. A close request that OnClose
// refuses is vetoed; one it allows destroys the frame.
#pragma once
#include "settings_file.h"

#include <wx/frame.h>

class kvFrame : public wxFrame {
  public:
    kvFrame(wxWindow* parent, const wxString& title, int x, int y, int width, int height,
            long style);

    // Shows or hides the frame and keeps it that way: wxGTK marks a frame
    // shown when its map notice arrives, even when the frame was hidden again
    // in the meantime; the frame then hides itself again, so "shown" always
    // means what the program last asked for.
    bool Show(bool show = true) override;

    // Where the frame last stood while shown normally, as settings-file
    // geometry: not minimised, and at least 50 x 50 pixels (the smallest size
    // the settings file keeps). While a frame is minimised, or while the window
    // manager changes its state, wxGTK may report a few pixels of decoration as
    // its size. With `restore`, a minimised frame is first asked to come back.
    WindowRect Geometry(bool restore = true);

    // A menu command chosen on this frame's menu bar.
    virtual void OnMenuCommand(int id);
    // The client area has a new size (the frame's only child already fills it).
    virtual void OnSize(int width, int height);
    // The user or the program asks to close the frame; true lets it be destroyed.
    virtual bool OnClose();
    // The window system asks to close the frame (its close box);
    // canRefuse tells whether a refusal keeps it open. By default OnClose().
    virtual bool OnCloseRequest(bool canRefuse);
    // The frame was activated (true) or deactivated (false).
    virtual void OnActivate(bool active);

  private:
    friend class kvUiProbe;

    void HandleClose(wxCloseEvent& event);
    void RememberNormalRect();

    bool wanted_ = false; // last Show() request
    wxRect normalRect_;   // see Geometry
};
