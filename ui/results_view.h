// The view of the held result set: the list of subjects inside the main frame
// and its article windows (article_windows.h), and the view's tear-down.
//
// GUI thread only, and only while no search worker runs. Entry i of the list
// names the record in table slot i; one entry is always selected, and its
// record is the current article.
#pragma once

struct kvArticle;

// Builds the list for the held results and summary, selects the first entry,
// opens its article window and focuses the list. An empty set leaves no list.
void ShowResults();

// The list's selection callback: rewrites the current article window with the
// selected record, or opens one when none is open.
void OnResultSelected();

// The record of the selected list entry, or null when there is no list.
const kvArticle* SelectedArticle();
int SelectedIndex(); // -1 without a list

// Deletes the selected article: 0, or -1 after a refusal notice.
int DeleteCurrentArticle();

// Stores the main frame's and the current article window's position and size
// in the settings' MainRect and ArticleRect, restoring minimised frames first
// (the main frame only when asked).
void CaptureGeometry(bool restoreMainFrame);

// The main frame's client area has a new size: the list follows it.
void ResizeResultsList(int width, int height);

// Gives the list the keyboard focus when it exists.
void FocusResultsList();

// Destroys the view, frees the result set and the summary, enters the idle
// state (saved: 1), shows "Korvex: idle" and gives the main frame its title back.
void CloseSearch();
