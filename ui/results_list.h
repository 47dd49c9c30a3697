// kvResultsList: the results list control: a report-mode list with the
// columns Subject, From, Date and Lines, one row per held article, one row
// selected at a time. Rows are what the user sees, in the view's order; which
// article a row names is the results view's business (results_view.h).
//
// GUI thread only. Selecting a row from the program (SetSelection) is quiet:
// the view ignores the selection events it may bring (Quiet()). Letters typed
// in the list select the next row whose subject starts with them (letter case
// aside), as a click would; a pause of a second starts a new prefix.
#pragma once
#include "results_columns.h"

#include <chrono>
#include <wx/listctrl.h>

class wxKeyEvent;

class kvResultsList : public wxListCtrl {
  public:
    kvResultsList(wxWindow* parent, const wxPoint& position, const wxSize& size);

    // One row per entry of texts, replacing every row.
    void Fill(const std::vector<kvColumnTexts>& texts);
    unsigned GetCount() const { return static_cast<unsigned>(GetItemCount()); }
    // The selected row, or -1.
    int GetSelection() const;
    // Selects and focuses the row and scrolls it into view, without reporting it.
    void SetSelection(int row);
    // The subject a row shows.
    wxString GetString(unsigned row) const { return GetItemText(static_cast<long>(row), 0); }
    bool Quiet() const { return quiet_; }

    // The column widths in pixels, in column order.
    std::vector<int> Widths() const;

  private:
    void OnChar(wxKeyEvent& event);
    // The first row from `from` on (then from the top) whose subject starts with prefix.
    int FindPrefix(const wxString& prefix, int from) const;

    bool quiet_ = false;
    wxString typed_;
    std::chrono::steady_clock::time_point lastKey_;
};
