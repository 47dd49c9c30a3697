// The menu items each UI state enables, spelled out once for the tests of the
// state table (without wx) and of the real menu bar.
#pragma once
#include "ui_state.h"

#include <set>
#include <vector>

namespace korvex_test {

// The items the state operations set; the others keep what they had.
inline const std::set<int> kStateControlled = {CMD_SEARCH,
                                               CMD_DISPLAY_RESULTS,
                                               CMD_SAVE_RESULTS,
                                               CMD_EXPORT_MENU,
                                               CMD_EXPORT_CSV,
                                               CMD_EXPORT_JSONL,
                                               CMD_EXPORT_MBOX,
                                               CMD_LOAD_RESULTS,
                                               CMD_RECENT_MENU,
                                               CMD_SEARCH_INFO,
                                               CMD_CLOSE_SEARCH,
                                               CMD_QUIT,
                                               CMD_SAVE_ARTICLE,
                                               CMD_DELETE_ARTICLE,
                                               CMD_CLOSE_ARTICLE_WINDOW,
                                               CMD_NEW_ARTICLE_WINDOW,
                                               CMD_SAVE_ALL_ARTICLES,
                                               CMD_REPLY_LIST};

// A state operation and the items it leaves enabled, in an order that moves
// through every state and ends idle.
struct StateColumn {
    void (*enter)(kvSTATE&, kvMenuSwitch*);
    int state;
    std::set<int> on;
};
inline const std::vector<StateColumn> kStateColumns = {
    {SetStateSearching, STATE_SEARCHING, {CMD_QUIT}},
    {SetStateReady,
     STATE_READY,
     {CMD_DISPLAY_RESULTS, CMD_SAVE_RESULTS, CMD_EXPORT_MENU, CMD_EXPORT_CSV, CMD_EXPORT_JSONL,
      CMD_EXPORT_MBOX, CMD_SEARCH_INFO, CMD_CLOSE_SEARCH, CMD_QUIT}},
    {SetStateDisplayed,
     STATE_DISPLAYED,
     {CMD_SAVE_RESULTS, CMD_EXPORT_MENU, CMD_EXPORT_CSV, CMD_EXPORT_JSONL, CMD_EXPORT_MBOX,
      CMD_SEARCH_INFO, CMD_CLOSE_SEARCH, CMD_QUIT, CMD_SAVE_ARTICLE, CMD_DELETE_ARTICLE,
      CMD_CLOSE_ARTICLE_WINDOW, CMD_NEW_ARTICLE_WINDOW, CMD_SAVE_ALL_ARTICLES, CMD_REPLY_LIST}},
    {SetStateIdle,
     STATE_IDLE,
     {CMD_SEARCH, CMD_LOAD_RESULTS, CMD_RECENT_MENU, CMD_SEARCH_INFO, CMD_QUIT}},
};

} // namespace korvex_test
