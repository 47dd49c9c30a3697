// The UI states: which menu items each state enables and disables, spelled
// out per state; items outside the state table and `saved` are left alone.
#include "ui_state.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

class RecordingMenus : public kvMenuSwitch {
  public:
    void EnableItem(int id, bool on) override {
        EXPECT_EQ(items.count(id), 0u) << "item " << id << " set twice";
        items[id] = on;
    }
    std::map<int, bool> items;
};

TEST(UiState, EachStateSetsTheFileAndArticleItems) {
    const std::set<int> controlled = {CMD_SEARCH,
                                      CMD_DISPLAY_RESULTS,
                                      CMD_SAVE_RESULTS,
                                      CMD_LOAD_RESULTS,
                                      CMD_SEARCH_INFO,
                                      CMD_CLOSE_SEARCH,
                                      CMD_QUIT,
                                      CMD_SAVE_ARTICLE,
                                      CMD_DELETE_ARTICLE,
                                      CMD_CLOSE_ARTICLE_WINDOW,
                                      CMD_NEW_ARTICLE_WINDOW,
                                      CMD_SAVE_ALL_ARTICLES,
                                      CMD_REPLY_LIST};
    struct Row {
        void (*enter)(kvSTATE&, kvMenuSwitch*);
        int state;
        std::set<int> on;
    };
    const Row rows[] = {
        {SetStateIdle, STATE_IDLE, {CMD_SEARCH, CMD_LOAD_RESULTS, CMD_SEARCH_INFO, CMD_QUIT}},
        {SetStateSearching, STATE_SEARCHING, {CMD_QUIT}},
        {SetStateReady,
         STATE_READY,
         {CMD_DISPLAY_RESULTS, CMD_SAVE_RESULTS, CMD_SEARCH_INFO, CMD_CLOSE_SEARCH, CMD_QUIT}},
        {SetStateDisplayed,
         STATE_DISPLAYED,
         {CMD_SAVE_RESULTS, CMD_SEARCH_INFO, CMD_CLOSE_SEARCH, CMD_QUIT, CMD_SAVE_ARTICLE,
          CMD_DELETE_ARTICLE, CMD_CLOSE_ARTICLE_WINDOW, CMD_NEW_ARTICLE_WINDOW,
          CMD_SAVE_ALL_ARTICLES, CMD_REPLY_LIST}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.state);
        for (int saved : {0, 1}) {
            kvSTATE ui;
            ui.state = STATE_DISPLAYED - row.state; // some other state
            ui.saved = saved;
            RecordingMenus menus;
            row.enter(ui, &menus);
            EXPECT_EQ(ui.state, row.state);
            EXPECT_EQ(ui.saved, saved);
            std::set<int> touched, on;
            for (const auto& [id, enabled] : menus.items) {
                touched.insert(id);
                if (enabled) on.insert(id);
            }
            EXPECT_EQ(touched, controlled);
            EXPECT_EQ(on, row.on);
        }
    }
}

TEST(UiState, WithoutMenusOnlyTheStateChanges) {
    kvSTATE ui;
    ui.saved = 0;
    SetStateSearching(ui, nullptr);
    EXPECT_EQ(ui.state, STATE_SEARCHING);
    SetStateIdle(ui, nullptr);
    EXPECT_EQ(ui.state, STATE_IDLE);
    EXPECT_EQ(ui.saved, 0);
}

} // namespace
