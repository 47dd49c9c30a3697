// The read-only text window that fills an article window or the help window.
//
// GUI thread only.
#pragma once
#include <string>

class wxFont;
class wxTextCtrl;
class wxWindow;

// A read-only multi-line text window filling the frame, long lines wrapped,
// in the given font.
wxTextCtrl* CreateTextWindow(wxWindow* frame, int width, int height, const wxFont& font,
                             const char* name = "text");

// Replaces the window's text with bytes (decoded line by line for display)
// and shows its top.
void ShowTextFromTop(wxTextCtrl* text, const std::string& bytes);
