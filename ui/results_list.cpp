#include "results_list.h"

#include "display_text.h"

namespace {

struct ColumnSetup {
    const char* title;
    int width;
    wxListColumnFormat align;
};
const ColumnSetup kColumns[KV_COLUMNS] = {
    {"Subject", 300, wxLIST_FORMAT_LEFT},
    {"From", 160, wxLIST_FORMAT_LEFT},
    {"Date", 120, wxLIST_FORMAT_LEFT},
    {"Lines", 50, wxLIST_FORMAT_RIGHT},
};

} // namespace

kvResultsList::kvResultsList(wxWindow* parent, const wxPoint& position, const wxSize& size)
    : wxListCtrl(parent, wxID_ANY, position, size, wxLC_REPORT | wxLC_SINGLE_SEL,
                 wxDefaultValidator, "results_list") {
    for (int c = 0; c < KV_COLUMNS; ++c)
        AppendColumn(kColumns[c].title, kColumns[c].align, kColumns[c].width);
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
