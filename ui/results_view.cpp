// The controller's results view: the list in the main frame, the article
// windows it opens and rewrites, deletion along the list and the tear-down.
#include "controller.h"

#include "display_text.h"
#include "mime_header.h"

#include <vector>

void kvController::ShowResults() {
    if (!mainFrame_ || !model_.results) return;
    if (model_.summary) mainFrame_->SetTitle(ToDisplay(model_.Title()));
    const WindowRect& rect = settings_.mainRect;
    mainFrame_->SetSize(wxSize(rect.width, rect.height));
    if (!model_.results->First()) return;

    std::vector<std::string> subjects;
    for (const kvArticle* article = model_.results->First(); article; article = article->next) {
        subjects.push_back(ReadableHeader(article->subject));
        if (static_cast<int>(subjects.size()) == KV_MAX_ARTICLES) break;
    }
    mainFrame_->ShowList(subjects, rect.width, rect.height);
    model_.lastSelection = 0;
    OpenArticleWindow(0);
    // The window system activates the new article window; the main frame is
    // asked to come back on top so the keyboard stays in the list.
    mainFrame_->Raise();
    mainFrame_->FocusList();
}

void kvController::OpenArticleWindow(int slot) {
    const kvArticle* article = model_.At(slot);
    if (!article || articles_.Full()) return;
    articles_.Open(*article, settings_.articleRect, articleFont_);
}

void kvController::OnResultSelected() {
    int s = SelectedIndex();
    const kvArticle* article = model_.At(s);
    if (!article) return;
    if (articles_.Current() == -1) {
        OpenArticleWindow(s);
        model_.lastSelection = s;
        return;
    }
    articles_.RaiseCurrent();
    mainFrame_->Raise();
    mainFrame_->FocusList();
    if (s == model_.lastSelection) return;
    articles_.ShowInCurrent(*article);
    model_.lastSelection = s;
}

int kvController::SelectedIndex() const {
    if (!mainFrame_ || !mainFrame_->List()) return -1;
    int s = mainFrame_->SelectedEntry();
    return s >= 0 && s < model_.Count() ? s : -1;
}

const kvArticle* kvController::SelectedArticle() const {
    return model_.At(SelectedIndex());
}

bool kvController::DeleteCurrentArticle() {
    int count = model_.Count();
    if (count < 1 || !mainFrame_ || !mainFrame_->List()) {
        ShowNotice("Nothing to delete.");
        return false;
    }
    if (count == 1) {
        ShowNotice("Can't delete the last article.\nPlease close search instead.");
        return false;
    }
    if (articles_.Current() >= count - 1) articles_.DestroyCurrent();
    int s = mainFrame_->SelectedEntry();
    if (s < 0 || s >= count) s = 0;
    int after = model_.RemoveAt(s);
    model_.lastSelection = mainFrame_->DeleteEntry(s, after);
    if (articles_.Current() >= 0) articles_.ShowInCurrent(*model_.At(model_.lastSelection));
    return true;
}

void kvController::CaptureGeometry(bool restoreMainFrame) {
    if (!mainFrame_) return;
    settings_.mainRect = mainFrame_->Geometry(restoreMainFrame);
    WindowRect article;
    if (articles_.CurrentGeometry(article)) settings_.articleRect = article;
}

void kvController::FocusResultsList() {
    if (mainFrame_) mainFrame_->FocusList();
}

void kvController::CloseSearch() {
    articles_.DestroyAll();
    model_.results.reset();
    if (mainFrame_) mainFrame_->DestroyList();
    model_.Drop();
    EnterIdle();
    model_.ui.saved = 1;
    ShowStatus("Korvex: idle");
    if (mainFrame_) mainFrame_->SetTitle(AppTitle);
}
