#include "ui_state.h"

const kvMenuItem kvMenuItems[KV_MENU_ITEMS] = {
    {"File", "Search", CMD_SEARCH, "Ctrl+F"},
    {"File", "Display results", CMD_DISPLAY_RESULTS},
    {"File", "Save results in file", CMD_SAVE_RESULTS, "Ctrl+S"},
    {"File", "Export results", CMD_EXPORT_MENU},
    {"File", "CSV\u2026", CMD_EXPORT_CSV, "Ctrl+E", "Export results"},
    {"File", "JSON Lines\u2026", CMD_EXPORT_JSONL, nullptr, "Export results"},
    {"File", "mbox\u2026", CMD_EXPORT_MBOX, nullptr, "Export results"},
    {"File", "Load results from file", CMD_LOAD_RESULTS, "Ctrl+O"},
    {"File", "Recent results", CMD_RECENT_MENU},
    {"File", "Show search info", CMD_SEARCH_INFO},
    {"File", "Close current search", CMD_CLOSE_SEARCH, "Ctrl+W"},
    {"File", "Quit", CMD_QUIT, "Ctrl+Q"},
    {"Edit", "Copy", CMD_COPY, "Ctrl+C"},
    {"Article", "Save current article", CMD_SAVE_ARTICLE},
    {"Article", "Delete current article", CMD_DELETE_ARTICLE, "Delete"},
    {"Article", "Close article window", CMD_CLOSE_ARTICLE_WINDOW},
    {"Article", "New article window", CMD_NEW_ARTICLE_WINDOW, "Ctrl+N"},
    {"Article", "Save all articles", CMD_SAVE_ALL_ARTICLES},
    {"Article", "Create reply list", CMD_REPLY_LIST},
    {"Help", "Help", CMD_HELP, "F1"},
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
constexpr unsigned kIdle = 1u << STATE_IDLE;
constexpr unsigned kSearching = 1u << STATE_SEARCHING;
constexpr unsigned kReady = 1u << STATE_READY;
constexpr unsigned kDisplayed = 1u << STATE_DISPLAYED;

constexpr StateRow kStateTable[] = {
    {CMD_SEARCH, kIdle},
    {CMD_DISPLAY_RESULTS, kReady},
    {CMD_SEARCH_INFO, kIdle | kReady | kDisplayed},
    {CMD_SAVE_RESULTS, kReady | kDisplayed},
    {CMD_EXPORT_MENU, kReady | kDisplayed},
    {CMD_EXPORT_CSV, kReady | kDisplayed},
    {CMD_EXPORT_JSONL, kReady | kDisplayed},
    {CMD_EXPORT_MBOX, kReady | kDisplayed},
    {CMD_LOAD_RESULTS, kIdle},
    {CMD_RECENT_MENU, kIdle},
    {CMD_CLOSE_SEARCH, kReady | kDisplayed},
    {CMD_QUIT, kIdle | kSearching | kReady | kDisplayed},
    {CMD_SAVE_ARTICLE, kDisplayed},
    {CMD_DELETE_ARTICLE, kDisplayed},
    {CMD_CLOSE_ARTICLE_WINDOW, kDisplayed},
    {CMD_NEW_ARTICLE_WINDOW, kDisplayed},
    {CMD_SAVE_ALL_ARTICLES, kDisplayed},
    {CMD_REPLY_LIST, kDisplayed},
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
