// kvMainFrame: the desktop program's main frame: its menus, status line and,
// while results are displayed, the list of their subjects in a panel.
//
// GUI thread only. The frame enables menu items for the UI state
// (kvMenuSwitch) and reports what the user does through its Listener: menu
// commands, selections in the list, the close request and its destruction.
// Entry i of the list names list entry i of the held search.
#pragma once
#include "frame.h"
#include "ui_state.h"

#include <string>
#include <vector>

class wxListBox;
class wxPanel;

constexpr const char* AppTitle = "Korvex";

class kvMainFrame : public kvFrame, public kvMenuSwitch {
  public:
    class Listener {
      public:
        virtual ~Listener() = default;
        virtual void RunMenuCommand(int id) = 0;
        virtual void OnResultSelected() = 0;
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

    // Builds the list of subjects in a client area of width x height, selects
    // the first entry and scrolls to it; no list for no subjects.
    void ShowList(const std::vector<std::string>& subjects, int width, int height);
    wxListBox* List() const { return list_; } // null while no list is shown
    void DestroyList();
    // The selected entry, or -1 without a list.
    int SelectedEntry() const;
    // Deletes an entry and selects `selectAfter`; returns the selection.
    int DeleteEntry(int entry, int selectAfter);
    void FocusList();

    void OnMenuCommand(int id) override;
    void OnSize(int width, int height) override;
    bool OnClose() override;
    bool OnCloseRequest(bool canRefuse) override;

  private:
    Listener* listener_;
    wxPanel* panel_ = nullptr;
    wxListBox* list_ = nullptr;
};
