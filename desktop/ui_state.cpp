#include "ui_state.h"

const kvMenuItem kvMenuItems[KV_MENU_ITEMS] = {
    {"File", "Search", CMD_SEARCH},
    {"File", "Display results", CMD_DISPLAY_RESULTS},
    {"File", "Save results in file", CMD_SAVE_RESULTS},
    {"File", "Load results from file", CMD_LOAD_RESULTS},
    {"File", "Show search info", CMD_SEARCH_INFO},
    {"File", "Close current search", CMD_CLOSE_SEARCH},
    {"File", "Quit", CMD_QUIT},
    {"Edit", "Copy", CMD_COPY},
    {"Article", "Save current article", CMD_SAVE_ARTICLE},
    {"Article", "Delete current article", CMD_DELETE_ARTICLE},
    {"Article", "Close article window", CMD_CLOSE_ARTICLE_WINDOW},
    {"Article", "New article window", CMD_NEW_ARTICLE_WINDOW},
    {"Article", "Save all articles", CMD_SAVE_ALL_ARTICLES},
    {"Article", "Create reply list", CMD_REPLY_LIST},
    {"Help", "Help", CMD_HELP},
    {"Help", "Close help window", CMD_CLOSE_HELP},
    {"Help", "About Korvex", CMD_ABOUT},
};

namespace {

// Items the state operations set, in the order they set them, with the states
// (bit per state) that enable each.
struct StateRow {
    int id;
    unsigned enabledIn;
};
constexpr unsigned IDLE = 1u << STATE_IDLE;
constexpr unsigned SEARCHING = 1u << STATE_SEARCHING;
constexpr unsigned READY = 1u << STATE_READY;
constexpr unsigned DISPLAYED = 1u << STATE_DISPLAYED;

constexpr StateRow kStateTable[] = {
    {CMD_SEARCH, IDLE},
    {CMD_DISPLAY_RESULTS, READY},
    {CMD_SEARCH_INFO, IDLE | READY | DISPLAYED},
    {CMD_SAVE_RESULTS, READY | DISPLAYED},
    {CMD_LOAD_RESULTS, IDLE},
    {CMD_CLOSE_SEARCH, READY | DISPLAYED},
    {CMD_QUIT, IDLE | SEARCHING | READY | DISPLAYED},
    {CMD_SAVE_ARTICLE, DISPLAYED},
    {CMD_DELETE_ARTICLE, DISPLAYED},
    {CMD_CLOSE_ARTICLE_WINDOW, DISPLAYED},
    {CMD_NEW_ARTICLE_WINDOW, DISPLAYED},
    {CMD_SAVE_ALL_ARTICLES, DISPLAYED},
    {CMD_REPLY_LIST, DISPLAYED},
};

void EnterState(kvSTATE& ui, int state, kvMenuSwitch* menus) {
    ui.state = state;
    if (!menus) return;
    for (const StateRow& row : kStateTable)
        menus->EnableItem(row.id, (row.enabledIn & (1u << state)) != 0);
}

} // namespace

void SetStateIdle(kvSTATE& ui, kvMenuSwitch* menus) {
    EnterState(ui, STATE_IDLE, menus);
}
void SetStateSearching(kvSTATE& ui, kvMenuSwitch* menus) {
    EnterState(ui, STATE_SEARCHING, menus);
}
void SetStateReady(kvSTATE& ui, kvMenuSwitch* menus) {
    EnterState(ui, STATE_READY, menus);
}
void SetStateDisplayed(kvSTATE& ui, kvMenuSwitch* menus) {
    EnterState(ui, STATE_DISPLAYED, menus);
}
