#include "main_frame.h"

#include "display_text.h"

#include <cstring>
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
    : kvFrame(nullptr, kAppTitle, x, y, 400, 175, kMainStyle), listener_(&listener) {
    CreateStatusBar(1, wxSTB_DEFAULT_STYLE, wxID_ANY, "status_line");
    SetMenuBar(BuildMenus());
    panel_ = new wxPanel(this, wxID_ANY, wxPoint(0, 0), wxSize(400, 175), wxTAB_TRAVERSAL, "panel");
}

kvMainFrame::~kvMainFrame() {
    if (listener_) listener_->MainFrameGone();
}

void kvMainFrame::EnableItem(int id, bool on) {
    if (wxMenuBar* bar = GetMenuBar()) bar->Enable(id, on);
}

void kvMainFrame::SetStatusLine(const char* text) {
    if (GetStatusBar()) SetStatusText(ToDisplay(text), 0);
}

void kvMainFrame::OnMenuCommand(int id) {
    if (listener_) listener_->RunMenuCommand(id);
}

void kvMainFrame::OnSize(int width, int height) {
    if (listener_) listener_->MainFrameResized(width, height);
}

bool kvMainFrame::OnCloseRequest(bool canRefuse) {
    if (listener_ && !listener_->MayCloseMainFrame(canRefuse) && canRefuse) return false;
    return OnClose();
}

bool kvMainFrame::OnClose() {
    if (listener_) listener_->CloseMainFrame();
    return true;
}
