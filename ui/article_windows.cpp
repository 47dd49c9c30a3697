#include "article_windows.h"

#include "article_text.h"
#include "display_text.h"
#include "frame.h"
#include "program.h"

#include <utility>
#include <wx/textctrl.h>

namespace {

constexpr long kArticleStyle = wxDEFAULT_FRAME_STYLE;

// Text window, then frame; the frame goes once pending events have run.
void DestroyWindowPair(wxTextCtrl* text, kvFrame* frame) {
    if (text) text->Destroy();
    if (frame) frame->Destroy();
}

} // namespace

wxTextCtrl* CreateTextWindow(kvFrame* frame, int width, int height, const wxFont& font,
                             const char* name) {
    // Without a wrap flag the text wraps at word ends, and inside words too
    // long for the width, so nothing scrolls sideways.
    constexpr long style = wxTE_MULTILINE | wxTE_READONLY | wxVSCROLL;
    auto* text = new wxTextCtrl(frame, wxID_ANY, wxEmptyString, wxPoint(0, 0),
                                wxSize(width, height), style, wxDefaultValidator, name);
    text->SetFont(font);
    return text;
}

WindowRect FrameGeometry(kvFrame* frame, bool restore) {
    if (restore && frame->IsIconized()) frame->Iconize(false);
    // The window manager restores the frame in its own time; until then the
    // frame's own report of its size may be wrong.
    wxRect r = frame->NormalRect();
    return WindowRect{r.x, r.y, r.width, r.height};
}

void OpenArticleWindow(int slot) {
    kvProgram& program = Program();
    if (program.currentWindow + 1 >= KV_ARTICLE_WINDOWS) return;
    if (!program.results || slot < 0 || !program.results->slots[slot]) return;
    const kvArticle& article = *program.results->slots[slot];
    int k = ++program.currentWindow;
    const WindowRect& rect = program.settings.articleRect;
    auto* frame = new kvFrame(nullptr, HeaderToDisplay(article.subject), rect.x + 20 * k,
                              rect.y + 20 * k, rect.width, rect.height, kArticleStyle);
    program.articleFrames[k] = frame;
    wxTextCtrl* text = CreateTextWindow(frame, rect.width, rect.height, program.articleFont);
    program.articleTexts[k] = text;
    WriteArticleText(article, text);
    frame->Show();
}

bool CurrentWindowUsable() {
    const kvProgram& program = Program();
    int k = program.currentWindow;
    return k >= 0 && program.articleFrames[k] && !program.articleFrames[k]->IsIconized();
}

void WriteArticleText(const kvArticle& article, wxTextCtrl* text) {
    text->ChangeValue(ToDisplayLines(ArticleText(article)));
    text->SetInsertionPoint(0);
    text->ShowPosition(0);
}

void ShowInCurrentWindow(const kvArticle& article) {
    kvProgram& program = Program();
    int k = program.currentWindow;
    if (k < 0) return;
    program.articleFrames[k]->SetTitle(HeaderToDisplay(article.subject));
    WriteArticleText(article, program.articleTexts[k]);
}

void CloseCurrentWindow() {
    kvProgram& program = Program();
    if (program.currentWindow == 0 && program.articleFrames[0]) {
        program.settings.articleRect = FrameGeometry(program.articleFrames[0]);
    }
    DestroyCurrentWindow();
}

void DestroyCurrentWindow() {
    kvProgram& program = Program();
    int k = program.currentWindow;
    if (k < 0) return;
    DestroyWindowPair(program.articleTexts[k], program.articleFrames[k]);
    program.articleTexts[k] = nullptr;
    program.articleFrames[k] = nullptr;
    --program.currentWindow;
}

void DestroyArticleWindows() {
    kvProgram& program = Program();
    for (int i = 0; i < KV_ARTICLE_WINDOWS; ++i) {
        DestroyWindowPair(program.articleTexts[i], program.articleFrames[i]);
        program.articleTexts[i] = nullptr;
        program.articleFrames[i] = nullptr;
    }
    program.currentWindow = -1;
}

int ArticleSlotOf(const kvFrame* frame) {
    const kvProgram& program = Program();
    for (int i = 0; i <= program.currentWindow; ++i) {
        if (program.articleFrames[i] == frame) return i;
    }
    return -1;
}

void CloseArticleWindowAt(int slot) {
    kvProgram& program = Program();
    if (slot < 0 || slot > program.currentWindow) return;
    DestroyWindowPair(program.articleTexts[slot], program.articleFrames[slot]);
    ForgetArticleWindowAt(slot);
}

void ForgetArticleWindowAt(int slot) {
    kvProgram& program = Program();
    int top = program.currentWindow;
    if (slot < 0 || slot > top) return;
    for (int i = slot; i < top; ++i) {
        program.articleTexts[i] = program.articleTexts[i + 1];
        program.articleFrames[i] = program.articleFrames[i + 1];
    }
    program.articleTexts[top] = nullptr;
    program.articleFrames[top] = nullptr;
    --program.currentWindow;
}

void ActivateArticleWindowAt(int slot) {
    kvProgram& program = Program();
    int top = program.currentWindow;
    if (slot < 0 || slot >= top) return;
    std::swap(program.articleTexts[slot], program.articleTexts[top]);
    std::swap(program.articleFrames[slot], program.articleFrames[top]);
}
