// kvController: the desktop program's one controller. It owns the settings and
// file paths, the held search (the model), the search request, the search
// worker and the user interaction, and drives the windows it made: the main
// frame, the search dialog, the help window and the results view with its
// article windows.
//
// GUI thread only. Every menu command tests the UI state itself, also where
// the menu state already disables it, and shows a notice when it refuses. The
// worker's status lines arrive through the GUI thread's event queue in the
// order the run showed them; its outcome arrives last, once. After the main
// frame's close nothing the worker reported acts any more.
//
// Its definitions are layered so that no file calls back into one above it:
// controller.cpp (start-up, the main frame's reports, the worker's handover)
// calls controller_commands.cpp (the menu commands), which calls
// controller_files.cpp (the commands that read or write files), which calls
// controller_display.cpp (status line, notices, closing the held search).
#pragma once
#include "description_file.h"
#include "file_places.h"
#include "held_search.h"
#include "help_window.h"
#include "interaction.h"
#include "main_frame.h"
#include "results_view.h"
#include "search_dialog.h"
#include "search_worker.h"
#include "settings_extra.h"
#include "settings_file.h"

#include <memory>
#include <string>
#include <wx/weakref.h>

struct kvFileSelector;

class kvController : public kvMainFrame::Listener {
  public:
    // Start-up: reads the settings, shows the main frame in the idle state and
    // builds the hidden search dialog from the description file.
    kvController(const kvFilePlaces& places, std::unique_ptr<kvInteraction> interaction);
    ~kvController() override;
    kvController(const kvController&) = delete;
    kvController& operator=(const kvController&) = delete;

    // kvMainFrame::Listener. An unknown menu id does nothing. The close stops
    // a running search and waits for it, then destroys the search dialog and
    // the help window and closes the current search. Before the close box
    // closes the frame, unsaved results bring the question Quit asks.
    void RunMenuCommand(int id) override;
    void MainFrameResized(int width, int height) override;
    bool MayCloseMainFrame(bool canRefuse) override;
    void CloseMainFrame() override;
    void MainFrameGone() override;

    // The main frame; null once it is gone.
    kvMainFrame* MainFrame() const { return mainFrame_; }
    // Loads a results file named when the program was started, as Load
    // results loads a chosen one (its notices and states the same); only
    // while idle with no dialog shown.
    void OpenResultsFile(const std::string& path);
    // The files found at start-up; empty: none.
    const std::string& SettingsPath() const { return settingsPath_; }
    const std::string& DescriptionPath() const { return descriptionPath_; }
    const std::string& HelpPath() const { return helpPath_; }

  private:
    friend class kvUiProbe;

    static bool Holding(int state) { return state == STATE_READY || state == STATE_DISPLAYED; }
    kvMenuSwitch* Menus() { return mainFrame_; }
    void EnterIdle() { SetStateIdle(model_.ui, Menus()); }

    // controller.cpp. What the worker hands over at the end of a run: the
    // results with STATE_READY (saved 0) when it received articles, else
    // STATE_IDLE and the run's last message.
    void SearchFinished(kvSearchWorker::Outcome& outcome);
    void OnSearchDone(bool ok);
    // The worker's login handler: the login box, and "Remember" into the netrc file.
    bool AskForLogin(const std::string& host, kvCredentials& login);

    // The commands (controller_commands.cpp); an unknown id does nothing.
    void RunCommand(int id);
    void CommandSearch();
    void CommandDisplayResults();
    void CommandSearchInfo();
    void CommandCloseSearch();
    void CommandQuit();
    void CommandCopy();
    void CommandDeleteArticle();
    void CommandCloseArticleWindow();
    void CommandNewArticleWindow();
    void CommandLoadChecked();
    void CommandHelp();
    void CommandCloseHelp();
    void CommandAbout();
    struct CommandRow;
    static const CommandRow kCommands[];
    bool NeedMet(int needs) const;

    // File selection, saving and the file commands (controller_files.cpp).
    void CommandSaveResults();
    void CommandLoadResults();
    void CommandSaveAllArticles();
    void CommandSaveArticle();
    void CommandReplyList();
    std::string SelectFile(const kvFileSelector& selector);
    // Loads the results file at path as Load results does once its selector
    // has chosen it: the list shown, or the notice and the idle state.
    void LoadResultsFrom(const std::string& path);
    // File > Recent results: puts path first in the list, or takes it off,
    // shows the list in the menu and writes it to the settings file.
    void RememberRecent(const std::string& path);
    void ForgetRecent(const std::string& path);
    void StoreRecent();
    // Loads recent entry recentChosen_; a file gone is taken off with a notice.
    void CommandRecent();
    enum class SaveOutcome { Cancelled, Failed, Saved };
    SaveOutcome SaveResultsToLastPath();
    SaveOutcome SaveResultsInteractively();
    // Asks "Search results are not saved. Save now?"; true when the caller
    // may go on (saved, or the user chose not to save).
    bool AskToSaveResults();

    // File > Export results (controller_exports.cpp): a save selector, the
    // extension given to a name without one, and the file written from the
    // held search between two status texts, its failure shown as a notice.
    using ExportWriter = bool (*)(const char* path, const kvHeldSearch& held);
    void ExportResults(const kvFileSelector& selector, const char* extension, ExportWriter write);
    void CommandExportCsv();
    void CommandExportJsonLines();
    void CommandExportMbox();

    // controller_display.cpp. Writes text into the status text and shows it
    // on the status line.
    void ShowStatus(const char* text);
    // A modal OK box captioned "Korvex notice".
    void ShowNotice(const char* text);
    // After a failed save: the box with text, and on the status line why the
    // file could not be written when that was a link refused (TakeSaveProblem).
    void ShowSaveFailure(const char* text);
    // Destroys the view, frees the held search, enters the idle state (saved:
    // 1), shows "Korvex: idle" and gives the main frame its title back.
    void CloseSearch();

    kvFilePlaces places_;
    std::unique_ptr<kvInteraction> interaction_;
    kvSettings settings_;                                   // MainRect and ArticleRect live here
    std::string settingsPath_, descriptionPath_, helpPath_; // empty: none
    std::string lastPath_;                                  // the file selectors start from it
    std::string netrcPath_;                                 // logins: read and remembered
    std::vector<std::string> recent_;                       // File > Recent results, newest first
    int recentChosen_ = 0;                                  // the entry CommandRecent loads
    char statusText_[KV_STATUS_SIZE] = "Korvex: idle";

    kvHeldSearch model_;
    kvSearchRequest request_;
    kvDialogSetup dialogSetup_; // the dialog's lists, kept for its choices
    std::unique_ptr<kvSearchWorker> worker_;

    kvMainFrame* mainFrame_ = nullptr; // until it reports itself gone
    wxWeakRef<kvSearchDialog> dialog_; // a child of the main frame
    wxWeakRef<kvHelpWindow> help_;     // made by the first Help command
    kvResultsView view_{model_, settings_};
};
