#include "article_windows.h"

#include "article_text.h"
#include "display_text.h"
#include "frame.h"
#include "text_window.h"

#include <utility>
#include <wx/textctrl.h>

// One article window: its frame and text window. The owner learns of its
// close box, activation and destruction; a window the owner closes itself is
// released first and reports nothing.
class kvArticleWindow : public kvFrame {
  public:
    kvArticleWindow(kvArticleWindows& owner, const kvArticle& article, const WindowRect& at,
                    const wxFont& font)
        : kvFrame(nullptr, HeaderToDisplay(article.subject), at.x, at.y, at.width, at.height,
                  wxDEFAULT_FRAME_STYLE),
          owner_(&owner) {
        text_ = CreateTextWindow(this, at.width, at.height, font);
        Write(article);
    }
    ~kvArticleWindow() override {
        if (owner_) owner_->Gone(this);
    }

    wxTextCtrl* Text() const { return text_; }
    void Write(const kvArticle& article) { ShowTextFromTop(text_, ArticleText(article)); }
    // Destroys the window once pending events have run, without a report.
    void Release() {
        owner_ = nullptr;
        text_->Destroy();
        Destroy();
    }

    bool OnClose() override {
        if (owner_) owner_->CloseBoxOf(this); // destroys the frame itself
        return false;
    }
    void OnActivate(bool active) override {
        if (active && owner_) owner_->Activated(this);
    }

  private:
    kvArticleWindows* owner_;
    wxTextCtrl* text_ = nullptr;
};

kvArticleWindows::~kvArticleWindows() {
    DestroyAll();
}

bool kvArticleWindows::Open(const kvArticle& article, const WindowRect& cascadeFrom,
                            const wxFont& font) {
    if (Full()) return false;
    int k = ++current_;
    WindowRect at = cascadeFrom;
    at.x += 20 * k;
    at.y += 20 * k;
    windows_[k] = new kvArticleWindow(*this, article, at, font);
#ifdef __WXMSW__
    // Windows would activate the new window at once, inside Show; shown
    // without activation it leaves the keyboard where it was.
    windows_[k]->ShowWithoutActivating();
#else
    windows_[k]->Show();
#endif
    return true;
}

kvFrame* kvArticleWindows::Frame(int slot) const {
    return slot >= 0 && slot < KV_ARTICLE_WINDOWS ? windows_[slot] : nullptr;
}

wxTextCtrl* kvArticleWindows::Text(int slot) const {
    kvArticleWindow* window = slot >= 0 && slot < KV_ARTICLE_WINDOWS ? windows_[slot] : nullptr;
    return window ? window->Text() : nullptr;
}

bool kvArticleWindows::CurrentUsable() const {
    return current_ >= 0 && windows_[current_] && !windows_[current_]->IsIconized();
}

void kvArticleWindows::ShowInCurrent(const kvArticle& article) {
    if (current_ < 0) return;
    windows_[current_]->SetTitle(HeaderToDisplay(article.subject));
    windows_[current_]->Write(article);
}

void kvArticleWindows::RaiseCurrent() {
    if (current_ < 0) return;
    kvArticleWindow* window = windows_[current_];
    if (window->IsIconized()) window->Iconize(false);
    window->Raise();
}

bool kvArticleWindows::CurrentGeometry(WindowRect& rect) const {
    if (current_ < 0 || !windows_[current_]) return false;
    rect = windows_[current_]->Geometry();
    return true;
}

void kvArticleWindows::CloseCurrent(WindowRect& articleRect) {
    if (current_ == 0 && windows_[0]) articleRect = windows_[0]->Geometry();
    DestroyCurrent();
}

void kvArticleWindows::DestroyCurrent() {
    if (current_ < 0) return;
    windows_[current_]->Release();
    windows_[current_] = nullptr;
    --current_;
}

void kvArticleWindows::DestroyAll() {
    for (kvArticleWindow*& window : windows_) {
        if (window) window->Release();
        window = nullptr;
    }
    current_ = -1;
    awaited_ = nullptr;
    onAwaited_ = nullptr;
}

int kvArticleWindows::SlotOf(const kvArticleWindow* window) const {
    for (int i = 0; i <= current_; ++i)
        if (windows_[i] == window) return i;
    return -1;
}

void kvArticleWindows::RemoveSlot(int slot) {
    if (slot < 0 || slot > current_) return;
    if (windows_[slot] == awaited_) {
        awaited_ = nullptr;
        onAwaited_ = nullptr;
    }
    for (int i = slot; i < current_; ++i)
        windows_[i] = windows_[i + 1];
    windows_[current_] = nullptr;
    --current_;
}

void kvArticleWindows::CloseBoxOf(kvArticleWindow* window) {
    int slot = SlotOf(window);
    if (slot < 0) return;
    window->Release();
    RemoveSlot(slot);
}

void kvArticleWindows::OnFirstActivationOfCurrent(std::function<void()> then) {
#ifdef __WXMSW__
    // New windows are never activated on their own here (see Open): the
    // next activation is the user's own click, which must not be undone.
    (void)then;
    awaited_ = nullptr;
    onAwaited_ = nullptr;
#else
    awaited_ = current_ >= 0 ? windows_[current_] : nullptr;
    onAwaited_ = awaited_ ? std::move(then) : nullptr;
#endif
}

void kvArticleWindows::Activated(kvArticleWindow* window) {
    if (window == awaited_) {
        awaited_ = nullptr;
        auto then = std::move(onAwaited_);
        onAwaited_ = nullptr;
        then();
        return;
    }
    int slot = SlotOf(window);
    if (slot < 0 || slot >= current_) return;
    std::swap(windows_[slot], windows_[current_]);
}

void kvArticleWindows::Gone(kvArticleWindow* window) {
    RemoveSlot(SlotOf(window));
}
