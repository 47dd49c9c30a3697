// kvResultsView: the view of the held result set while it is displayed: the
// list of subjects in the main frame's panel and the article windows it opens
// and rewrites (article_windows.h).
//
// GUI thread only, and only while no search worker runs. Entry i of the list
// names the record in table slot i; one entry is always selected, and its
// record is the current article. The view reads the held search and keeps the
// window geometry in the settings it is given; both outlive it. It acts on
// the main frame only while one is attached, and on its own list's selections.
#pragma once
#include "article_windows.h"
#include "held_search.h"
#include "settings_file.h"

#include <wx/font.h>

class kvMainFrame;
class wxCommandEvent;
class wxListBox;

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
    // The selected entry, or -1 without a list.
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
    // first (the frame only when asked).
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
    void OnSelected(wxCommandEvent& event);

    kvHeldSearch& model_;
    kvSettings& settings_;
    kvMainFrame* frame_ = nullptr;
    wxListBox* list_ = nullptr;
    kvArticleWindows articles_;
    wxFont articleFont_;
};
