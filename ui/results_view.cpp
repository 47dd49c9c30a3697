#include "results_view.h"

#include "article.h"
#include "article_windows.h"
#include "display_text.h"
#include "frame.h"
#include "program.h"
#include "utf8_text.h"

#include <algorithm>
#include <string>
#include <wx/listbox.h>
#include <wx/panel.h>

namespace {

std::string ResultsTitle(const kvSearchSummary& summary) {
    if (summary.loadedFromFile == 1) {
        return "File " + ReadableText(summary.sourceFile) + ": " + ReadableText(summary.pattern);
    }
    return "Results for: " + ReadableText(summary.pattern);
}

} // namespace

void ShowResults() {
    kvProgram& program = Program();
    if (!program.mainFrame || !program.results) return;
    if (program.summary) program.mainFrame->SetTitle(ToDisplay(ResultsTitle(*program.summary)));
    const WindowRect& rect = program.settings.mainRect;
    program.mainFrame->SetSize(wxSize(rect.width, rect.height));

    auto* list = new wxListBox(program.mainPanel, wxID_ANY, wxPoint(5, 6),
                               wxSize(rect.width - 20, rect.height - 80), 0, nullptr,
                               wxLB_SINGLE | wxLB_NEEDED_SB, wxDefaultValidator, "results_list");
    const kvResultSet& set = *program.results;
    if (!set.slots[0]) {
        list->Destroy();
        return;
    }
    program.resultsList = list;
    list->Bind(wxEVT_LISTBOX, [](wxCommandEvent&) { OnResultSelected(); });
    wxArrayString subjects;
    for (const kvArticle* article = set.first(); article; article = article->next) {
        subjects.Add(HeaderToDisplay(article->subject));
        if (static_cast<int>(subjects.size()) == KV_MAX_ARTICLES) break;
    }
    list->Append(subjects);
    program.lastSelection = 0;
    list->SetSelection(0);
    // wxGTK scrolls a list selected before it is laid out one entry too far.
    list->SetFirstItem(0);
    OpenArticleWindow(0);
    // The window system activates the new article window; the main frame is
    // asked to come back on top so the keyboard stays in the list.
    program.mainFrame->Raise();
    list->SetFocus();
}

void OnResultSelected() {
    kvProgram& program = Program();
    int s = SelectedIndex();
    if (s < 0 || !program.results || !program.results->slots[s]) return;
    if (program.currentWindow == -1) {
        OpenArticleWindow(s);
        program.lastSelection = s;
        return;
    }
    kvFrame* frame = program.articleFrames[program.currentWindow];
    if (frame->IsIconized()) frame->Iconize(false);
    frame->Raise();
    program.mainFrame->Raise();
    program.resultsList->SetFocus();
    if (s == program.lastSelection) return;
    ShowInCurrentWindow(*program.results->slots[s]);
    program.lastSelection = s;
}

int SelectedIndex() {
    const kvProgram& program = Program();
    if (!program.resultsList) return -1;
    int s = program.resultsList->GetSelection();
    return s >= 0 && s < program.results->count ? s : -1;
}

const kvArticle* SelectedArticle() {
    int s = SelectedIndex();
    return s < 0 ? nullptr : Program().results->slots[s].get();
}

int DeleteCurrentArticle() {
    kvProgram& program = Program();
    kvResultSet* set = program.results.get();
    int count = set ? set->count : 0;
    if (count < 1 || !program.resultsList) {
        ShowNotice("Nothing to delete.");
        return -1;
    }
    if (count == 1) {
        ShowNotice("Can't delete the last article.\nPlease close search instead.");
        return -1;
    }
    if (program.currentWindow >= count - 1) DestroyCurrentWindow();

    wxListBox* list = program.resultsList;
    int s = list->GetSelection();
    if (s < 0 || s >= count) s = 0;
    list->Delete(s);
    list->SetSelection(s > 0 ? s - 1 : 0);
    program.lastSelection = list->GetSelection();

    set->slots[s].reset();
    for (int i = s; i < count - 1; ++i)
        set->slots[i] = std::move(set->slots[i + 1]);
    set->slots[count - 1].reset();
    set->count = count - 1;
    RelinkArticles(*set, set->count);

    if (program.currentWindow >= 0) ShowInCurrentWindow(*set->slots[program.lastSelection]);
    return 0;
}

void CaptureGeometry(bool restoreMainFrame) {
    kvProgram& program = Program();
    kvFrame* main = program.mainFrame;
    if (!main) return;
    program.settings.mainRect = FrameGeometry(main, restoreMainFrame);
    int k = program.currentWindow;
    if (k >= 0 && program.articleFrames[k]) {
        program.settings.articleRect = FrameGeometry(program.articleFrames[k]);
    }
}

void ResizeResultsList(int width, int height) {
    wxListBox* list = Program().resultsList;
    // A frame shrunk below the list's margins leaves it empty, never negative.
    if (list) list->SetSize(wxSize(std::max(width - 10, 0), std::max(height - 35, 0)));
}

void FocusResultsList() {
    wxListBox* list = Program().resultsList;
    if (list) list->SetFocus();
}

void CloseSearch() {
    kvProgram& program = Program();
    DestroyArticleWindows();
    program.results.reset();
    if (program.resultsList) {
        program.resultsList->Destroy();
        program.resultsList = nullptr;
    }
    program.summary.reset();
    SetStateIdle(program.ui);
    program.ui.saved = 1;
    ShowStatus("Korvex: idle");
    if (program.mainFrame) program.mainFrame->SetTitle(AppTitle);
}
