#include "main_frame.h"

#include "display_text.h"

#include <algorithm>
#include <cstring>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/panel.h>

namespace {

constexpr long kMainStyle = wxDEFAULT_FRAME_STYLE; // caption, border, system menu, boxes

wxMenuBar* BuildMenus() {
    const char* names[] = {"File", "Edit", "Article", "Help"};
    auto* bar = new wxMenuBar;
    for (const char* name : names) {
        auto* menu = new wxMenu;
        for (const kvMenuItem& item : kvMenuItems) {
            if (std::strcmp(item.menu, name) == 0) menu->Append(item.id, item.label);
        }
        bar->Append(menu, name);
    }
    return bar;
}

} // namespace

kvMainFrame::kvMainFrame(int x, int y, Listener& listener)
    : kvFrame(nullptr, AppTitle, x, y, 400, 175, kMainStyle), listener_(&listener) {
    CreateStatusBar(1, wxSTB_DEFAULT_STYLE, wxID_ANY, "status_line");
    SetMenuBar(BuildMenus());
    panel_ = new wxPanel(this, wxID_ANY, wxPoint(0, 0), wxSize(400, 175), wxTAB_TRAVERSAL, "panel");
}

kvMainFrame::~kvMainFrame() {
    list_ = nullptr;
    if (listener_) listener_->MainFrameGone();
}

void kvMainFrame::EnableItem(int id, bool on) {
    if (wxMenuBar* bar = GetMenuBar()) bar->Enable(id, on);
}

void kvMainFrame::SetStatusLine(const char* text) {
    if (GetStatusBar()) SetStatusText(ToDisplay(text), 0);
}

void kvMainFrame::ShowList(const std::vector<std::string>& subjects, int width, int height) {
    if (subjects.empty()) return;
    list_ = new wxListBox(panel_, wxID_ANY, wxPoint(5, 6),
                          wxSize(std::max(width - 20, 0), std::max(height - 80, 0)), 0, nullptr,
                          wxLB_SINGLE | wxLB_NEEDED_SB, wxDefaultValidator, "results_list");
    list_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) {
        if (listener_) listener_->OnResultSelected();
    });
    wxArrayString entries;
    for (const std::string& subject : subjects)
        entries.Add(ToDisplay(subject));
    list_->Append(entries);
    list_->SetSelection(0);
    // wxGTK scrolls a list selected before it is laid out one entry too far.
    list_->SetFirstItem(0);
}

void kvMainFrame::DestroyList() {
    if (!list_) return;
    list_->Destroy();
    list_ = nullptr;
}

int kvMainFrame::SelectedEntry() const {
    return list_ ? list_->GetSelection() : -1;
}

int kvMainFrame::DeleteEntry(int entry, int selectAfter) {
    if (!list_) return -1;
    list_->Delete(entry);
    list_->SetSelection(selectAfter);
    return list_->GetSelection();
}

void kvMainFrame::FocusList() {
    if (list_) list_->SetFocus();
}

void kvMainFrame::OnMenuCommand(int id) {
    if (listener_) listener_->RunMenuCommand(id);
}

void kvMainFrame::OnSize(int width, int height) {
    // A frame shrunk below the list's margins leaves it empty, never negative.
    if (list_) list_->SetSize(wxSize(std::max(width - 10, 0), std::max(height - 35, 0)));
}

bool kvMainFrame::OnCloseRequest(bool canRefuse) {
    if (listener_ && !listener_->MayCloseMainFrame(canRefuse) && canRefuse) return false;
    return OnClose();
}

bool kvMainFrame::OnClose() {
    if (listener_) listener_->CloseMainFrame();
    return true;
}
