// The UI states: which menu items each state enables and disables, spelled
// out per state; items outside the state table and `saved` are left alone.
#include "state_columns.h"
#include "ui_state.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using korvex_test::kStateColumns;
using korvex_test::kStateControlled;
using korvex_test::StateColumn;

class RecordingMenus : public kvMenuSwitch {
  public:
    void EnableItem(int id, bool on) override {
        EXPECT_EQ(items.count(id), 0u) << "item " << id << " set twice";
        items[id] = on;
    }
    std::map<int, bool> items;
};

TEST(UiState, EachStateSetsTheFileAndArticleItems) {
    for (const StateColumn& row : kStateColumns) {
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
            EXPECT_EQ(touched, kStateControlled);
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
