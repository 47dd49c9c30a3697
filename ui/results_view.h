// kvResultsView: the view of the held result set while it is displayed: the
// list of subjects in the main frame's panel and the article windows it opens
// and rewrites (article_windows.h).
//
// GUI thread only, and only while no search worker runs. The list shows one
// row per record; in the program's subject grouping row i names the record in
// table slot i. A click on a column header sorts the rows (kvViewOrder) and
// nothing else: the held set, what is saved and the selected article stay as
// they were. One row is always selected, and its record is the current
// article; the arrow keys move through the rows as shown. The column widths
// are kept in the settings (SUBJECT_W, FROM_W, DATE_W, LINES_W). The view reads the held search and
// keeps the window geometry in the settings it is given; both outlive it. It acts on the main frame
// only while one is attached, and on its own list's selections.
#pragma once
#include "article_windows.h"
#include "held_search.h"
#include "results_columns.h"
#include "settings_file.h"

#include <vector>

#include <wx/font.h>

class kvMainFrame;
class kvResultsList;
class wxListEvent;

class kvResultsView {
  public:
    kvResultsView(kvHeldSearch& model, kvSettings& settings);
    ~kvResultsView(); // the article windows go; the list stays with the frame
    kvResultsView(const kvResultsView&) = delete;
    kvResultsView& operator=(const kvResultsView&) = delete;

    // The frame the list is built in.
    void Attach(kvMainFrame* frame) { frame_ = frame; }
    // The frame is going: the list reports no more selections and the view
    // no longer touches either.
    void Detach();

    // Titles and sizes the frame for the held results and summary, builds the
    // list, selects the first entry, opens its article window and focuses the
    // list. An empty set leaves no list.
    void Show();
    // Destroys the article windows and the list.
    void Close();
    // Destroys the article windows only.
    void CloseArticleWindows() { articles_.DestroyAll(); }

    bool HasList() const { return list_ != nullptr; }
    // The slot of the selected row's record, or -1 without a list.
    int SelectedIndex() const;
    // The record of the selected entry, or null without a list.
    const kvArticle* SelectedArticle() const;

    // Deletes the selected article: null, or the refusal's notice text with
    // nothing changed.
    const char* DeleteCurrent();
    // Opens one more article window for the selected entry and keeps the
    // keyboard in the list: null, or the refusal's notice text.
    const char* OpenAnotherWindow();

    // True when an article window is open and the current one is not minimised.
    bool CurrentWindowUsable() const { return articles_.CurrentUsable(); }
    // Copies the current article window's selection and focuses its text.
    void CopyFromCurrentWindow();
    // Closes the current article window; the last one leaves its geometry in
    // the settings' ArticleRect.
    void CloseCurrentWindow();

    // Stores the frame's and the current article window's position and size
    // in the settings' MainRect and ArticleRect, restoring minimised windows
    // first (the frame only when asked), and the list's column widths.
    void CaptureGeometry(bool restoreMainFrame);
    // The frame's client area has a new size: the list follows it.
    void Resize(int width, int height);
    // Gives the list the keyboard focus when it exists.
    void Focus();

  private:
    friend class kvUiProbe;

    // Opens a window for list entry `slot`; with ten windows open nothing opens.
    void OpenArticleWindow(int slot);
    // The list's selection: rewrites the current article window with the
    // selected record, or opens one when none is open.
    void OnSelected(wxListEvent& event);
    // A click on a column header: the next order, the same record selected.
    void OnColumnClick(wxListEvent& event);
    // Fills the list in order_ and selects the row of `slot`.
    void FillRows(int slot);
    int RowOfSlot(int slot) const;
    void StoreColumnWidths();

    kvHeldSearch& model_;
    kvSettings& settings_;
    kvMainFrame* frame_ = nullptr;
    kvResultsList* list_ = nullptr;
    kvViewOrder order_;
    std::vector<int> rows_; // the slot each row shows
    kvArticleWindows articles_;
    wxFont articleFont_;
};
