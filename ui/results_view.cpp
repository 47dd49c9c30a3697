#include "results_view.h"

#include "display_text.h"
#include "main_frame.h"
#include "results_list.h"
#include "settings_extra.h"

#include <algorithm>
#include <string>
#include <wx/panel.h>
#include <wx/textctrl.h>

namespace {

// The settings keys of the column widths, in column order.
const char* const kWidthKeys[KV_COLUMNS] = {"SUBJECT_W", "FROM_W", "DATE_W", "LINES_W"};
constexpr int kNarrowest = 20;
constexpr int kWidest = 3000;

} // namespace

kvResultsView::kvResultsView(kvHeldSearch& model, kvSettings& settings)
    : model_(model), settings_(settings),
      articleFont_(12, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false) {}

kvResultsView::~kvResultsView() {
    Detach();
}

void kvResultsView::Detach() {
    if (list_) {
        list_->Unbind(wxEVT_LIST_ITEM_SELECTED, &kvResultsView::OnSelected, this);
        list_->Unbind(wxEVT_LIST_COL_CLICK, &kvResultsView::OnColumnClick, this);
    }
    list_ = nullptr;
    frame_ = nullptr;
}

void kvResultsView::Show() {
    if (!frame_ || !model_.results) return;
    if (model_.summary) frame_->SetTitle(ToDisplay(model_.Title()));
    const WindowRect& rect = settings_.mainRect;
    frame_->SetSize(wxSize(rect.width, rect.height));
    if (!model_.results->First()) return;

    list_ = new kvResultsList(frame_->Panel(), wxPoint(5, 6),
                              wxSize(std::max(rect.width - 20, 0), std::max(rect.height - 80, 0)));
    for (int c = 0; c < KV_COLUMNS; ++c) {
        int width = ReadNumberSetting(settings_, kWidthKeys[c], -1, kNarrowest, kWidest);
        if (width > 0) list_->SetColumnWidth(c, width);
    }
    list_->Bind(wxEVT_LIST_ITEM_SELECTED, &kvResultsView::OnSelected, this);
    list_->Bind(wxEVT_LIST_COL_CLICK, &kvResultsView::OnColumnClick, this);
    order_ = kvViewOrder();
    FillRows(0);

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
    rows_.clear();
}

void kvResultsView::FillRows(int slot) {
    if (!list_) return;
    std::vector<const kvArticle*> articles;
    for (const kvArticle* article = model_.results ? model_.results->First() : nullptr; article;
         article = article->next) {
        articles.push_back(article);
        if (static_cast<int>(articles.size()) == KV_MAX_ARTICLES) break;
    }
    rows_ = OrderedSlots(articles, order_);
    std::vector<kvColumnTexts> texts;
    texts.reserve(rows_.size());
    for (int row : rows_)
        texts.push_back(ColumnTexts(*articles[row]));
    list_->Fill(texts);
    if (order_.Grouped()) {
        list_->RemoveSortIndicator();
    } else {
        list_->ShowSortIndicator(order_.column, order_.ascending);
    }
    list_->SetSelection(std::max(RowOfSlot(slot), 0));
}

int kvResultsView::RowOfSlot(int slot) const {
    auto at = std::find(rows_.begin(), rows_.end(), slot);
    return at == rows_.end() ? -1 : static_cast<int>(at - rows_.begin());
}

void kvResultsView::OnColumnClick(wxListEvent& event) {
    int column = event.GetColumn();
    if (!list_ || column < 0 || column >= KV_COLUMNS) return;
    int slot = SelectedIndex();
    order_.Click(column);
    FillRows(slot);
}

void kvResultsView::StoreColumnWidths() {
    if (!list_) return;
    std::vector<int> widths = list_->Widths();
    for (int c = 0; c < KV_COLUMNS && c < static_cast<int>(widths.size()); ++c) {
        int width = std::min(std::max(widths[c], kNarrowest), kWidest);
        WriteExtraSetting(settings_, kWidthKeys[c], std::to_string(width));
    }
}

void kvResultsView::OpenArticleWindow(int slot) {
    const kvArticle* article = model_.At(slot);
    if (!article || articles_.Full()) return;
    articles_.Open(*article, settings_.articleRect, articleFont_);
}

void kvResultsView::OnSelected(wxListEvent&) {
    if (!list_ || list_->Quiet()) return;
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
    int row = list_->GetSelection();
    if (row < 0 || row >= static_cast<int>(rows_.size())) return -1;
    int s = rows_[row];
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
    int s = SelectedIndex();
    if (s < 0) s = 0;
    int after = model_.RemoveAt(s);
    FillRows(after);
    model_.lastSelection = SelectedIndex();
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
    StoreColumnWidths();
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
