#include "text_window.h"

#include "display_text.h"

#include <wx/textctrl.h>

wxTextCtrl* CreateTextWindow(wxWindow* frame, int width, int height, const wxFont& font,
                             const char* name) {
    // Without a wrap flag the text wraps at word ends, and inside words too
    // long for the width, so nothing scrolls sideways.
    constexpr long kStyle = wxTE_MULTILINE | wxTE_READONLY | wxVSCROLL;
    auto* text = new wxTextCtrl(frame, wxID_ANY, wxEmptyString, wxPoint(0, 0),
                                wxSize(width, height), kStyle, wxDefaultValidator, name);
    text->SetFont(font);
    return text;
}

void ShowTextFromTop(wxTextCtrl* text, const std::string& bytes) {
    text->ChangeValue(ToDisplayLines(bytes));
    text->SetInsertionPoint(0);
    text->ShowPosition(0);
}
