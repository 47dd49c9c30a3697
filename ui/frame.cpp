#include "frame.h"

#ifdef __WXMSW__
#include <windows.h>
#include <wx/iconbndl.h>
#endif

kvFrame::kvFrame(wxWindow* parent, const wxString& title, int x, int y, int width, int height,
                 long style)
    : wxFrame(parent, wxID_ANY, title, wxPoint(x, y), wxSize(width, height), style, "frame"),
      normalRect_(x, y, width, height) {
#ifdef __WXMSW__
    // korvex.exe carries its icon as a resource; other programs built on these
    // windows (the tests) have none and keep the system's.
    HINSTANCE program = ::GetModuleHandleW(nullptr);
    if (::FindResourceW(program, L"KORVEX", RT_GROUP_ICON) != nullptr)
        SetIcons(wxIconBundle("KORVEX", program));
#endif
    Bind(wxEVT_MENU, [this](wxCommandEvent& event) { OnMenuCommand(event.GetId()); });
    Bind(wxEVT_MOVE, [this](wxMoveEvent& event) {
        RememberNormalRect();
        event.Skip();
    });
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        RememberNormalRect();
        wxSize client = GetClientSize();
        OnSize(client.GetWidth(), client.GetHeight());
        event.Skip(); // the frame's own layout gives its only child the client area
    });
    Bind(wxEVT_CLOSE_WINDOW, &kvFrame::HandleClose, this);
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
        OnActivate(event.GetActive());
        event.Skip();
    });
    Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        event.Skip();
        if (event.IsShown() && !wanted_) {
            CallAfter([this] {
                if (!wanted_) wxFrame::Show(false);
            });
        }
    });
}

void kvFrame::RememberNormalRect() {
    wxRect rect = GetRect();
    if (!IsIconized() && rect.width >= 50 && rect.height >= 50) normalRect_ = rect;
}

bool kvFrame::Show(bool show) {
    wanted_ = show;
    return wxFrame::Show(show);
}

WindowRect kvFrame::Geometry(bool restore) {
    if (restore && IsIconized()) Iconize(false);
    // The window manager restores the frame in its own time; until then the
    // frame's own report of its size may be wrong.
    return WindowRect{normalRect_.x, normalRect_.y, normalRect_.width, normalRect_.height};
}

void kvFrame::HandleClose(wxCloseEvent& event) {
    if (OnCloseRequest(event.CanVeto())) {
        Destroy();
    } else if (event.CanVeto()) {
        event.Veto();
    }
}

void kvFrame::OnMenuCommand(int) {}

void kvFrame::OnSize(int, int) {}

bool kvFrame::OnClose() {
    return true;
}

bool kvFrame::OnCloseRequest(bool) {
    return OnClose();
}

void kvFrame::OnActivate(bool) {}
