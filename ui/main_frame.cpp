#include "main_frame.h"

#include "display_text.h"

#include <algorithm>
#include <cstring>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/statusbr.h>

namespace {

constexpr long kMainStyle = wxDEFAULT_FRAME_STYLE; // caption, border, system menu, boxes
constexpr int kGaugeWidth = 110;                   // the status bar's second field
constexpr auto kGaugeInterval = std::chrono::milliseconds(50);
constexpr const char* kNoRecentFiles = "(no recent files)"; // greyed, in an empty list

bool Same(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

// The label wx shows: the text, and after a tab the keys that choose the item.
wxString MenuLabel(const kvMenuItem& item) {
    wxString label = wxString::FromUTF8(item.label);
    if (item.shortcut) label << '\t' << item.shortcut;
    return label;
}

// The items of one menu, or of one of its submenus (parent: its label).
void FillMenu(wxMenu* menu, const char* name, const char* parent) {
    for (const kvMenuItem& item : kvMenuItems) {
        if (!Same(item.menu, name)) continue;
        if (parent ? !Same(item.parent, parent) : item.parent != nullptr) continue;
        bool opensSubmenu = item.id == CMD_RECENT_MENU;
        for (const kvMenuItem& other : kvMenuItems)
            opensSubmenu =
                opensSubmenu || (Same(other.menu, name) && Same(other.parent, item.label));
        if (opensSubmenu) {
            auto* submenu = new wxMenu;
            FillMenu(submenu, name, item.label);
            menu->Append(item.id, MenuLabel(item), submenu);
        } else {
            menu->Append(item.id, MenuLabel(item));
        }
    }
}

wxMenuBar* BuildMenus() {
    const char* names[] = {"File", "Edit", "Article", "Help"};
    auto* bar = new wxMenuBar;
    for (const char* name : names) {
        auto* menu = new wxMenu;
        FillMenu(menu, name, nullptr);
        bar->Append(menu, name);
    }
    return bar;
}

} // namespace

kvMainFrame::kvMainFrame(int x, int y, Listener& listener)
    : kvFrame(nullptr, kAppTitle, x, y, 400, 175, kMainStyle), listener_(&listener) {
    wxStatusBar* bar = CreateStatusBar(2, wxSTB_DEFAULT_STYLE, wxID_ANY, "status_line");
    const int widths[] = {-1, kGaugeWidth};
    bar->SetStatusWidths(2, widths);
    gauge_ = new wxGauge(bar, wxID_ANY, 100, wxDefaultPosition, wxDefaultSize,
                         wxGA_HORIZONTAL | wxGA_SMOOTH, wxDefaultValidator, "progress");
    gauge_->Hide();
    bar->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        PlaceGauge();
        event.Skip();
    });
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

void kvMainFrame::PlaceGauge() {
    wxStatusBar* bar = GetStatusBar();
    wxRect field;
    // Before the bar is laid out its fields have no room: the gauge waits.
    if (!bar || !gauge_ || !bar->GetFieldRect(1, field)) return;
    field.Deflate(2, 2);
    if (field.width > 0 && field.height > 0) gauge_->SetSize(field);
}

void kvMainFrame::ShowProgress(int done, int total) {
    if (!gauge_) return;
    if (total <= 0) {
        if (gauge_->IsShown()) gauge_->Hide();
        return;
    }
    auto now = std::chrono::steady_clock::now();
    bool newRange = !gauge_->IsShown() || gauge_->GetRange() != total;
    if (!newRange && done < total && now - gaugeDrawn_ < kGaugeInterval) return;
    gaugeDrawn_ = now;
    if (newRange) gauge_->SetRange(total);
    gauge_->SetValue(std::min(std::max(done, 0), total));
    if (!gauge_->IsShown()) {
        PlaceGauge();
        gauge_->Show();
    }
}

bool kvMainFrame::ProgressShown() const {
    return gauge_ && gauge_->IsShown();
}

void kvMainFrame::SetRecentFiles(const std::vector<std::string>& paths) {
    wxMenuBar* bar = GetMenuBar();
    wxMenuItem* holder = bar ? bar->FindItem(CMD_RECENT_MENU) : nullptr;
    wxMenu* menu = holder ? holder->GetSubMenu() : nullptr;
    if (!menu) return;
    while (menu->GetMenuItemCount() > 0)
        menu->Destroy(menu->FindItemByPosition(0));
    if (paths.empty()) menu->Append(wxID_ANY, kNoRecentFiles)->Enable(false);
    for (size_t i = 0; i < paths.size() && i < KV_RECENT_FILES; ++i) {
        // "&1 name": the number chooses it from the keyboard; '&' in a path is doubled.
        wxString name = PathString(paths[i]);
        name.Replace("&", "&&");
        menu->Append(CMD_RECENT_FIRST + static_cast<int>(i),
                     wxString::Format("&%d %s", static_cast<int>(i) + 1, name));
    }
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
