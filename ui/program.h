// The program-wide objects of the desktop program: the windows and menus that
// start-up builds, the UI state, the one search request, the held results and
// the settings and file paths.
//
// GUI thread only. kvApp::OnInit creates a fresh kvProgram and builds the
// windows; they live until the main frame closes, which clears the window
// references here. The search worker never touches this record: what it
// reports reaches it through the GUI thread's event queue.
#pragma once
#include "description_file.h"
#include "file_places.h"
#include "records.h"
#include "search_worker.h"
#include "settings_file.h"
#include "ui_state.h"

#include <array>
#include <memory>
#include <string>
#include <wx/font.h>

class kvFrame;
class wxPanel;
class wxMenu;
class wxMenuBar;
class wxTextCtrl;
class wxChoice;
class wxRadioBox;
class wxCheckBox;
class wxSlider;
class wxButton;
class wxListBox;

constexpr const char* AppTitle = "Korvex";
constexpr int KV_ARTICLE_WINDOWS = 10; // article windows open at most

// The controls of the search-parameters dialog; a choice is null when its list
// was empty.
struct kvSearchDialog {
    wxTextCtrl* patternText = nullptr;
    wxChoice* patternChoice = nullptr;
    wxTextCtrl* serverText = nullptr;
    wxChoice* serverChoice = nullptr;
    wxTextCtrl* newsgroupText = nullptr;
    wxChoice* newsgroupChoice = nullptr;
    wxRadioBox* matchBox = nullptr;
    wxRadioBox* caseBox = nullptr;
    wxCheckBox* findCheck = nullptr;
    wxSlider* findSlider = nullptr;
    wxCheckBox* scanCheck = nullptr;
    wxSlider* scanSlider = nullptr;
    wxChoice* headerChoice = nullptr;
    wxButton* okButton = nullptr;
    wxButton* cancelButton = nullptr;
};

struct kvProgram {
    kvFilePlaces places;
    kvSettings settings;                                 // MainRect and ArticleRect live here
    std::string settingsPath, descriptionPath, helpPath; // empty: none
    std::string lastPath;                                // LastPath

    kvFrame* mainFrame = nullptr; // MainFrame
    wxPanel* mainPanel = nullptr; // MainPanel
    kvFrame* searchFrame = nullptr;
    wxPanel* searchPanel = nullptr;
    wxMenuBar* menuBar = nullptr;
    wxMenu* fileMenu = nullptr;
    wxMenu* editMenu = nullptr;
    wxMenu* articleMenu = nullptr;
    wxMenu* helpMenu = nullptr;
    wxFont articleFont; // ArticleFont

    kvSTATE ui;
    kvSearchRequest request;
    kvDialogSetup dialogSetup; // the dialog's lists, kept for the choices
    kvSearchDialog dialog;
    char statusText[KV_STATUS_SIZE] = "Korvex: idle"; // StatusText, GUI thread's copy

    std::unique_ptr<kvSearchWorker> worker;
    std::unique_ptr<kvResultSet> results;     // held from a search or load until CloseSearch
    std::unique_ptr<kvSearchSummary> summary; // held with the results

    // The results view: the list exists only while results are displayed.
    // Slots 0..currentWindow of both tables are in use, the rest are null;
    // slot currentWindow is the current article window.
    wxListBox* resultsList = nullptr; // ResultsList
    std::array<kvFrame*, KV_ARTICLE_WINDOWS> articleFrames{};
    std::array<wxTextCtrl*, KV_ARTICLE_WINDOWS> articleTexts{};
    int currentWindow = -1; // CurrentWindow
    int lastSelection = 0;  // LastSelection

    kvFrame* helpFrame = nullptr; // made by the first Help command
    wxTextCtrl* helpText = nullptr;
};

kvProgram& Program();
// Replaces the program record with a fresh one (start-up).
kvProgram& ResetProgram();

// Writes text into StatusText and shows it on the main frame's status line.
void ShowStatus(const char* text);
// Shows StatusText on the status line (SetStatusLine with StatusText).
void SetStatusLine(const char* text);
// A modal OK box captioned "Korvex notice".
void ShowNotice(const char* text);
