#include "results_view.h"

#include "display_text.h"
#include "main_frame.h"
#include "mime_header.h"

#include <algorithm>
#include <string>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/textctrl.h>

kvResultsView::kvResultsView(kvHeldSearch& model, kvSettings& settings)
    : model_(model), settings_(settings),
      articleFont_(12, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false) {}

kvResultsView::~kvResultsView() {
    Detach();
}

void kvResultsView::Detach() {
    if (list_) list_->Unbind(wxEVT_LISTBOX, &kvResultsView::OnSelected, this);
    list_ = nullptr;
    frame_ = nullptr;
}

void kvResultsView::Show() {
    if (!frame_ || !model_.results) return;
    if (model_.summary) frame_->SetTitle(ToDisplay(model_.Title()));
    const WindowRect& rect = settings_.mainRect;
    frame_->SetSize(wxSize(rect.width, rect.height));
    if (!model_.results->First()) return;

    wxArrayString entries;
    for (const kvArticle* article = model_.results->First(); article; article = article->next) {
        entries.Add(ToDisplay(ReadableHeader(article->subject)));
        if (static_cast<int>(entries.size()) == KV_MAX_ARTICLES) break;
    }
    list_ =
        new wxListBox(frame_->Panel(), wxID_ANY, wxPoint(5, 6),
                      wxSize(std::max(rect.width - 20, 0), std::max(rect.height - 80, 0)), 0,
                      nullptr, wxLB_SINGLE | wxLB_NEEDED_SB, wxDefaultValidator, "results_list");
    list_->Bind(wxEVT_LISTBOX, &kvResultsView::OnSelected, this);
    list_->Append(entries);
    list_->SetSelection(0);
    // wxGTK scrolls a list selected before it is laid out one entry too far.
    list_->SetFirstItem(0);

    model_.lastSelection = 0;
    OpenArticleWindow(0);
    // The window system activates the new article window; the main frame is
    // asked to come back on top so the keyboard stays in the list.
    frame_->Raise();
    Focus();
}

void kvResultsView::Close() {
    articles_.DestroyAll();
    if (!list_) return;
    list_->Destroy();
    list_ = nullptr;
}

void kvResultsView::OpenArticleWindow(int slot) {
    const kvArticle* article = model_.At(slot);
    if (!article || articles_.Full()) return;
    articles_.Open(*article, settings_.articleRect, articleFont_);
}

void kvResultsView::OnSelected(wxCommandEvent&) {
    int s = SelectedIndex();
    const kvArticle* article = model_.At(s);
    if (!article) return;
    if (articles_.Current() == -1) {
        OpenArticleWindow(s);
        model_.lastSelection = s;
        return;
    }
    articles_.RaiseCurrent();
    if (frame_) frame_->Raise();
    Focus();
    if (s == model_.lastSelection) return;
    articles_.ShowInCurrent(*article);
    model_.lastSelection = s;
}

int kvResultsView::SelectedIndex() const {
    if (!list_) return -1;
    int s = list_->GetSelection();
    return s >= 0 && s < model_.Count() ? s : -1;
}

const kvArticle* kvResultsView::SelectedArticle() const {
    return model_.At(SelectedIndex());
}

const char* kvResultsView::DeleteCurrent() {
    int count = model_.Count();
    if (count < 1 || !list_) return "Nothing to delete.";
    if (count == 1) return "Can't delete the last article.\nPlease close search instead.";
    if (articles_.Current() >= count - 1) articles_.DestroyCurrent();
    int s = list_->GetSelection();
    if (s < 0 || s >= count) s = 0;
    int after = model_.RemoveAt(s);
    list_->Delete(s);
    list_->SetSelection(after);
    model_.lastSelection = list_->GetSelection();
    if (articles_.Current() >= 0) articles_.ShowInCurrent(*model_.At(model_.lastSelection));
    return nullptr;
}

const char* kvResultsView::OpenAnotherWindow() {
    if (!frame_ || !list_) return "No current article.";
    if (articles_.Full()) return "Too many article windows, \ncan't create any more.";
    OpenArticleWindow(SelectedIndex());
    // The window system activates the new window; the main frame comes back
    // on top so the keyboard stays in the list, as when results are shown.
    frame_->Raise();
    Focus();
    articles_.OnFirstActivationOfCurrent([this] {
        if (!frame_) return;
        frame_->Raise();
        Focus();
    });
    return nullptr;
}

void kvResultsView::CopyFromCurrentWindow() {
    if (!articles_.CurrentUsable()) return;
    wxTextCtrl* text = articles_.Text(articles_.Current());
    text->Copy();
    text->SetFocus();
}

void kvResultsView::CloseCurrentWindow() {
    articles_.CloseCurrent(settings_.articleRect);
}

void kvResultsView::CaptureGeometry(bool restoreMainFrame) {
    if (!frame_) return;
    settings_.mainRect = frame_->Geometry(restoreMainFrame);
    WindowRect article;
    if (articles_.CurrentGeometry(article)) settings_.articleRect = article;
}

void kvResultsView::Resize(int width, int height) {
    // A frame shrunk below the list's margins leaves it empty, never negative.
    if (list_) list_->SetSize(wxSize(std::max(width - 10, 0), std::max(height - 35, 0)));
}

void kvResultsView::Focus() {
    if (list_) list_->SetFocus();
}
