#include "search_dialog.h"

#include "display_text.h"

#include <algorithm>
#include <cstdio>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/panel.h>
#include <wx/radiobox.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace {

constexpr int kLabelWidth = 110; // a text field's label stands in front of it, inside its width
constexpr int kFindMin = 10, kFindMax = 1000;
constexpr int kScanMin = 100, kScanMax = 30000;

// A single-line text field with its label, together `width` pixels wide.
wxTextCtrl* AddTextField(wxPanel* panel, const char* label, int x, int y, int width,
                         const char* text, char* field, std::size_t capacity) {
    new wxStaticText(panel, wxID_ANY, label, wxPoint(x, y + 6), wxSize(kLabelWidth - 6, -1));
    auto* control = new wxTextCtrl(panel, wxID_ANY, ToDisplay(text), wxPoint(x + kLabelWidth, y),
                                   wxSize(width - kLabelWidth, -1), 0, wxDefaultValidator, "text");
    control->Bind(wxEVT_TEXT, [control, field, capacity](wxCommandEvent&) {
        CopyDisplayText(field, capacity, control->GetValue());
    });
    return control;
}

// The drop-down list beside a text field; picking an entry puts it into the
// request field and the text field. None for an empty list.
wxChoice* AddListChoice(wxPanel* panel, int x, int y, const std::vector<std::string>& entries,
                        wxTextCtrl* text, char* field, std::size_t capacity) {
    if (entries.empty()) return nullptr;
    wxArrayString items;
    for (const std::string& entry : entries)
        items.Add(ToDisplay(entry));
    auto* choice = new wxChoice(panel, wxID_ANY, wxPoint(x, y), wxSize(155, -1), items, 0,
                                wxDefaultValidator, "choice");
    choice->SetSelection(0);
    choice->Bind(wxEVT_CHOICE, [choice, &entries, text, field, capacity](wxCommandEvent&) {
        int selected = choice->GetSelection();
        if (selected < 0 || selected >= static_cast<int>(entries.size())) return;
        CopyListEntry(field, capacity, entries[selected]);
        text->ChangeValue(ToDisplay(entries[selected])); // the field shows it, the request has it
    });
    return choice;
}

wxRadioBox* AddRadioRow(wxPanel* panel, const char* label, int x, int y,
                        std::initializer_list<const char*> buttons, int selected) {
    wxArrayString items;
    for (const char* button : buttons)
        items.Add(button);
    auto* box = new wxRadioBox(panel, wxID_ANY, label, wxPoint(x, y), wxDefaultSize, items, 1,
                               wxRA_SPECIFY_ROWS, wxDefaultValidator, "radioBox");
    box->SetSelection(selected);
    return box;
}

// A limit: its check box, and the slider that sets the number while the box is on.
void AddLimit(wxPanel* panel, const char* label, int y, int minimum, int maximum, int start,
              bool on, char (&field)[KV_LIMIT_SIZE], wxCheckBox*& check, wxSlider*& slider) {
    check = new wxCheckBox(panel, wxID_ANY, label, wxPoint(20, y), wxDefaultSize, 0,
                           wxDefaultValidator, "checkbox");
    check->SetValue(on);
    int x = std::max(157, check->GetPosition().x + check->GetBestSize().GetWidth() + 8);
    slider = new wxSlider(panel, wxID_ANY, std::clamp(start, minimum, maximum), minimum, maximum,
                          wxPoint(x, y + 3), wxSize(150, -1), wxSL_HORIZONTAL | wxSL_VALUE_LABEL,
                          wxDefaultValidator, "slider");
    slider->Enable(on);
    wxCheckBox* box = check;
    wxSlider* bar = slider;
    char* target = field;
    auto writeLimit = [box, bar, target]() {
        if (box->GetValue()) {
            std::snprintf(target, KV_LIMIT_SIZE, "%d", bar->GetValue());
        } else {
            CopyField(target, KV_LIMIT_SIZE, "all");
        }
    };
    check->Bind(wxEVT_CHECKBOX, [box, bar, writeLimit](wxCommandEvent&) {
        bar->Enable(box->GetValue());
        writeLimit();
    });
    slider->Bind(wxEVT_SLIDER, [writeLimit](wxCommandEvent&) { writeLimit(); });
}

// "Scan the whole group": while ticked the scan limit is "whole" and the scan
// limit's check box and slider are off; unticked, they decide again.
void AddWholeGroup(wxPanel* panel, int y, bool on, char (&field)[KV_LIMIT_SIZE],
                   kvSearchControls& d) {
    d.wholeCheck = new wxCheckBox(panel, wxID_ANY, "Scan the whole group", wxPoint(20, y),
                                  wxDefaultSize, 0, wxDefaultValidator, "checkbox");
    d.wholeCheck->SetValue(on);
    wxCheckBox* whole = d.wholeCheck;
    wxCheckBox* limit = d.scanCheck;
    wxSlider* bar = d.scanSlider;
    char* target = field;
    auto apply = [whole, limit, bar, target]() {
        bool all = whole->GetValue();
        limit->Enable(!all);
        bar->Enable(!all && limit->GetValue());
        if (all)
            CopyField(target, KV_LIMIT_SIZE, "whole");
        else if (limit->GetValue())
            std::snprintf(target, KV_LIMIT_SIZE, "%d", bar->GetValue());
        else
            CopyField(target, KV_LIMIT_SIZE, "all");
    };
    if (on) apply();
    whole->Bind(wxEVT_CHECKBOX, [apply](wxCommandEvent&) { apply(); });
}

} // namespace

kvSearchDialog::kvSearchDialog(wxWindow* parent, const kvDialogSetup& setup,
                               kvSearchRequest& request, std::function<void(bool ok)> onDone)
    : kvFrame(parent, "Search parameters", 10, 10, 550, 410, wxCAPTION | wxRESIZE_BORDER),
      onDone_(std::move(onDone)) {
    wxPanel* panel =
        new wxPanel(this, wxID_ANY, wxPoint(0, 0), wxSize(550, 410), wxTAB_TRAVERSAL, "panel");
    kvSearchControls& d = controls_;

    d.patternText = AddTextField(panel, "Search For:", 20, 30, 340, request.pattern,
                                 request.pattern, sizeof request.pattern);
    d.patternChoice = AddListChoice(panel, 370, 30, setup.patterns, d.patternText, request.pattern,
                                    sizeof request.pattern);
    d.serverText = AddTextField(panel, "News Server:", 20, 119, 340, request.server, request.server,
                                sizeof request.server);
    d.serverChoice = AddListChoice(panel, 370, 119, setup.servers, d.serverText, request.server,
                                   sizeof request.server);
    d.newsgroupText = AddTextField(panel, "Newsgroup:", 20, 153, 340, request.newsgroup,
                                   request.newsgroup, sizeof request.newsgroup);
    d.newsgroupChoice = AddListChoice(panel, 370, 153, setup.newsgroups, d.newsgroupText,
                                      request.newsgroup, sizeof request.newsgroup);

    d.matchBox = AddRadioRow(panel, "Match: ", 20, 64, {"Any word", "All words", " Phrase "},
                             setup.matchSelection);
    d.matchBox->Bind(wxEVT_RADIOBOX, [&request, box = d.matchBox](wxCommandEvent&) {
        static const int modes[] = {MATCH_ANY_WORD, MATCH_ALL_WORDS, MATCH_PHRASE};
        int button = box->GetSelection();
        if (button >= 0 && button < 3) request.matchMode = modes[button];
    });
    // The case buttons stand right of the match buttons, however wide the theme draws those.
    int caseX = std::max(265, d.matchBox->GetPosition().x + d.matchBox->GetSize().GetWidth() + 10);
    d.caseBox = AddRadioRow(panel, "Case: ", caseX, 64, {"Match case ", "Don't match"},
                            setup.caseSelection);
    d.caseBox->Bind(wxEVT_RADIOBOX, [&request, box = d.caseBox](wxCommandEvent&) {
        request.ignoreCase = box->GetSelection() == 0 ? 0 : 1;
    });

    AddLimit(panel, "Limit # of articles to find: ", 191, kFindMin, kFindMax, setup.findSliderStart,
             setup.findLimitOn, request.maxArticles, d.findCheck, d.findSlider);
    AddLimit(panel, "Limit # of articles to scan:", 227, kScanMin, kScanMax, setup.scanSliderStart,
             setup.scanLimitOn, request.maxHeaders, d.scanCheck, d.scanSlider);
    AddWholeGroup(panel, 259, setup.scanWhole || ScansWholeGroup(request), request.maxHeaders, d);

    new wxStaticText(panel, wxID_ANY, " Search in: ", wxPoint(20, 296));
    wxArrayString headers;
    for (const char* name : setup.headerNames)
        headers.Add(name);
    d.headerChoice = new wxChoice(panel, wxID_ANY, wxPoint(20 + kLabelWidth, 290), wxDefaultSize,
                                  headers, 0, wxDefaultValidator, "choice");
    d.headerChoice->SetSelection(0);
    d.headerChoice->Bind(wxEVT_CHOICE,
                         [&request, &setup, choice = d.headerChoice](wxCommandEvent&) {
                             int selected = choice->GetSelection();
                             if (selected >= 0 && selected < KV_HEADER_CHOICES) {
                                 CopyField(request.header, setup.headerNames[selected]);
                             }
                         });

    d.okButton = new wxButton(panel, wxID_OK, "OK", wxPoint(148, 333), wxDefaultSize, 0,
                              wxDefaultValidator, "button");
    d.okButton->SetDefault();
    d.okButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Finish(true); });
    d.cancelButton = new wxButton(panel, wxID_CANCEL, "Cancel", wxPoint(331, 333), wxDefaultSize, 0,
                                  wxDefaultValidator, "button");
    d.cancelButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Finish(false); });
}

void kvSearchDialog::Open() {
    Show();
    Raise();
}

void kvSearchDialog::Finish(bool ok) {
    Hide();
    if (onDone_) onDone_(ok);
}

bool kvSearchDialog::OnClose() {
    return false;
}
