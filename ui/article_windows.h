// The article windows: up to ten top-level frames, each holding one article as
// read-only text, cascaded 20 pixels apart from ArticleRect. The highest slot
// in use is the current article window.
//
// GUI thread only, while results are displayed.
#pragma once
#include "settings_file.h"

class kvFrame;
class wxFont;
class wxTextCtrl;
struct kvArticle;

// A read-only multi-line text window filling the frame, long lines wrapped,
// in the given font; article and help windows use it.
wxTextCtrl* CreateTextWindow(kvFrame* frame, int width, int height, const wxFont& font,
                             const char* name = "text");

// A frame's position and size as it last stood shown normally; with `restore`,
// a minimised frame is first asked to come back.
WindowRect FrameGeometry(kvFrame* frame, bool restore = true);

// Opens a window for the record in the given table slot; with ten windows
// open nothing opens and nothing is reported.
void OpenArticleWindow(int slot);

// True when an article window is open and the current one is not minimised.
bool CurrentWindowUsable();

// Replaces the window's text with the article and shows its top.
void WriteArticleText(const kvArticle& article, wxTextCtrl* text);

// Retitles and rewrites the current article window.
void ShowInCurrentWindow(const kvArticle& article);

// Closes the current window. When it is the only one, its position and size
// first go into ArticleRect.
void CloseCurrentWindow();
// Closes the current window without keeping its geometry.
void DestroyCurrentWindow();
// Closes every article window.
void DestroyArticleWindows();

// The table slot of an article frame, or -1 when the frame is not one.
int ArticleSlotOf(const kvFrame* frame);
// The close box of the window in the slot: the windows above move down a slot.
void CloseArticleWindowAt(int slot);
// Takes a window that is being destroyed out of the table the same way.
void ForgetArticleWindowAt(int slot);
// The user activated the window in the slot: below the current one, the two
// swap places, so a selection in the list rewrites the activated window.
void ActivateArticleWindowAt(int slot);
