#include "results_list.h"

#include "display_text.h"

#include <algorithm>

namespace {

constexpr auto kTypeAheadPause = std::chrono::milliseconds(1000);
constexpr int kScrollBarRoom = 24; // a vertical scroll bar and the borders

struct ColumnSetup {
    const char* title;
    int width;
    wxListColumnFormat align;
};
const ColumnSetup kColumns[KV_COLUMNS] = {
    {"Subject", 150, wxLIST_FORMAT_LEFT}, // at least; see the constructor
    {"From", 120, wxLIST_FORMAT_LEFT},
    {"Date", 135, wxLIST_FORMAT_LEFT},
    {"Lines", 50, wxLIST_FORMAT_RIGHT},
};

} // namespace

kvResultsList::kvResultsList(wxWindow* parent, const wxPoint& position, const wxSize& size)
    : wxListCtrl(parent, wxID_ANY, position, size, wxLC_REPORT | wxLC_SINGLE_SEL,
                 wxDefaultValidator, "results_list") {
    // The subject takes what the other columns leave of the list's width.
    int others = 0;
    for (int c = 1; c < KV_COLUMNS; ++c)
        others += kColumns[c].width;
    int subject = std::max(kColumns[0].width, size.GetWidth() - others - kScrollBarRoom);
    for (int c = 0; c < KV_COLUMNS; ++c)
        AppendColumn(kColumns[c].title, kColumns[c].align, c == 0 ? subject : kColumns[c].width);
    // wxGTK's list takes its keys in a window of rows inside it.
    Bind(wxEVT_CHAR, &kvResultsList::OnChar, this);
    for (wxWindow* child : GetChildren())
        child->Bind(wxEVT_CHAR, &kvResultsList::OnChar, this);
}

void kvResultsList::OnChar(wxKeyEvent& event) {
    wxChar c = event.GetUnicodeKey();
    if (c == WXK_NONE || c < ' ' || c == WXK_DELETE || event.HasAnyModifiers()) {
        event.Skip();
        return;
    }
    auto now = std::chrono::steady_clock::now();
    if (now - lastKey_ > kTypeAheadPause) typed_.clear();
    lastKey_ = now;
    typed_ += c;
    // The same letter again moves on to the next row that starts with it.
    int current = GetSelection();
    bool repeated = typed_.length() == 2 && typed_[0] == typed_[1];
    if (repeated) typed_.RemoveLast();
    int from = current < 0 ? 0 : (repeated || typed_.length() == 1 ? current + 1 : current);
    int row = FindPrefix(typed_, from);
    if (row < 0 || row == current) return;
    SetSelection(row);
    wxListEvent selected(wxEVT_LIST_ITEM_SELECTED, GetId());
    selected.SetEventObject(this);
    selected.m_itemIndex = row;
    GetEventHandler()->ProcessEvent(selected);
}

int kvResultsList::FindPrefix(const wxString& prefix, int from) const {
    int count = GetItemCount();
    wxString wanted = prefix.Lower();
    for (int i = 0; i < count; ++i) {
        int row = (from + i) % count;
        if (GetItemText(row, 0).Lower().StartsWith(wanted)) return row;
    }
    return -1;
}

void kvResultsList::Fill(const std::vector<kvColumnTexts>& texts) {
    quiet_ = true;
    Freeze();
    DeleteAllItems();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        long row = InsertItem(static_cast<long>(i), ToDisplay(texts[i].subject));
        SetItem(row, COLUMN_FROM, ToDisplay(texts[i].from));
        SetItem(row, COLUMN_DATE, ToDisplay(texts[i].date));
        SetItem(row, COLUMN_LINES, ToDisplay(texts[i].lines));
    }
    Thaw();
    quiet_ = false;
}

int kvResultsList::GetSelection() const {
    long row = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    return static_cast<int>(row);
}

void kvResultsList::SetSelection(int row) {
    if (row < 0 || row >= GetItemCount()) return;
    quiet_ = true;
    const long both = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    SetItemState(row, both, both);
    EnsureVisible(row);
    quiet_ = false;
}

std::vector<int> kvResultsList::Widths() const {
    std::vector<int> widths;
    for (int c = 0; c < GetColumnCount(); ++c)
        widths.push_back(GetColumnWidth(c));
    return widths;
}
