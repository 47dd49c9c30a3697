// kvMainFrame: the desktop program's main frame: its menus, status line and
// the panel that holds the results list while results are displayed
// (results_view.h).
//
// GUI thread only. The frame enables menu items for the UI state
// (kvMenuSwitch) and reports what the user does through its Listener: menu
// commands, new client sizes, the close request and its destruction.
#pragma once
#include "frame.h"
#include "ui_state.h"

#include <chrono>
#include <string>
#include <vector>

class wxGauge;
class wxPanel;

constexpr const char* kAppTitle = "Korvex";

class kvMainFrame : public kvFrame, public kvMenuSwitch {
  public:
    class Listener {
      public:
        virtual ~Listener() = default;
        virtual void RunMenuCommand(int id) = 0;
        // The client area has a new size.
        virtual void MainFrameResized(int width, int height) = 0;
        // The close box was used: false keeps the frame (only honoured when
        // canRefuse is true).
        virtual bool MayCloseMainFrame(bool canRefuse) = 0;
        // The frame is about to be destroyed (Quit or its close box).
        virtual void CloseMainFrame() = 0;
        virtual void MainFrameGone() = 0;
    };

    // Made hidden at (x, y), 400 x 175, with its menus and the status line.
    kvMainFrame(int x, int y, Listener& listener);
    ~kvMainFrame() override;
    // Reports nothing more to the listener.
    void Unlisten() { listener_ = nullptr; }

    void EnableItem(int id, bool on) override;
    void SetStatusLine(const char* text);

    // The gauge at the status line's right end: shown over 0..total at done
    // (total > 0), hidden otherwise. Within one range a new position is drawn
    // at most every 50 ms, and always when it reaches the end.
    void ShowProgress(int done, int total);
    bool ProgressShown() const;

    // The entries of File > Recent results, newest first (at most five); a
    // greyed "(no recent files)" when there are none.
    void SetRecentFiles(const std::vector<std::string>& paths);

    // The panel filling the client area, the results list's parent.
    wxPanel* Panel() const { return panel_; }

    void OnMenuCommand(int id) override;
    void OnSize(int width, int height) override;
    bool OnClose() override;
    bool OnCloseRequest(bool canRefuse) override;

  private:
    friend class kvUiProbe;

    void PlaceGauge();

    Listener* listener_;
    wxPanel* panel_ = nullptr;
    wxGauge* gauge_ = nullptr;
    std::chrono::steady_clock::time_point gaugeDrawn_;
};
