// kvArticleWindows: the owner of the article windows, up to ten top-level
// frames each holding one article as read-only text, cascaded 20 pixels apart
// from ArticleRect. Slots 0..Current() are in use; the highest is the current
// article window, the one a selection in the results list rewrites.
//
// GUI thread only. The frames report their close box, activation and
// destruction to their owner, which keeps the slots in step: a closed window's
// slots above move down one, an activated window below the current one swaps
// places with it.
#pragma once
#include "settings_file.h"

#include <array>
#include <functional>

class kvFrame;
class wxFont;
class wxTextCtrl;
struct kvArticle;
class kvArticleWindow;

constexpr int KV_ARTICLE_WINDOWS = 10; // article windows open at most

class kvArticleWindows {
  public:
    kvArticleWindows() = default;
    ~kvArticleWindows(); // windows still open are destroyed
    kvArticleWindows(const kvArticleWindows&) = delete;
    kvArticleWindows& operator=(const kvArticleWindows&) = delete;

    // Opens one more window, titled with the subject, at `cascadeFrom` moved
    // 20 pixels right and down per window below it; false with ten windows open.
    bool Open(const kvArticle& article, const WindowRect& cascadeFrom, const wxFont& font);

    int Current() const { return current_; } // -1 when none is open
    bool Full() const { return current_ + 1 >= KV_ARTICLE_WINDOWS; }
    // The text window in a slot, null when the slot is not in use.
    wxTextCtrl* Text(int slot) const;

    // True when a window is open and the current one is not minimised.
    bool CurrentUsable() const;
    // Retitles and rewrites the current window.
    void ShowInCurrent(const kvArticle& article);
    // Brings the current window back from the task bar and on top.
    void RaiseCurrent();
    // The current window's geometry (restored first); false when none is open.
    bool CurrentGeometry(WindowRect& rect) const;

    // Closes the current window; when it is the only one, its geometry first
    // goes into `articleRect`.
    void CloseCurrent(WindowRect& articleRect);
    // Closes the current window without keeping its geometry.
    void DestroyCurrent();
    // Closes every window.
    void DestroyAll();

    // Reports of the frames (kvArticleWindow).
    void CloseBoxOf(kvArticleWindow* window);
    void Activated(kvArticleWindow* window);
    void Gone(kvArticleWindow* window);

    // Calls `then` once, when the current window is first activated (the
    // window system activates a new window some time after it is shown). A
    // later call, or the window closing, drops the call still waiting. On
    // Windows, where new windows open without activation, it never calls.
    void OnFirstActivationOfCurrent(std::function<void()> then);

  private:
    friend class kvUiProbe;

    // The frame in a slot, null when the slot is not in use.
    kvFrame* Frame(int slot) const;
    int SlotOf(const kvArticleWindow* window) const;
    void RemoveSlot(int slot);

    std::array<kvArticleWindow*, KV_ARTICLE_WINDOWS> windows_{};
    int current_ = -1;
    const kvArticleWindow* awaited_ = nullptr;
    std::function<void()> onAwaited_;
};
