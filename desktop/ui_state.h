// The UI state of the desktop program, the menu command ids and the menus'
// items. No wx: the menus are reached through kvMenuSwitch.
//
// GUI thread only. The state decides which menu items are enabled; every state
// change goes through one of the four SetState operations, which set `state`
// and then enable and disable the File and Article items from one table. They
// never touch `saved`, the status line or anything but the menu items.
#pragma once

enum kvUiState { STATE_IDLE = 0, STATE_SEARCHING = 1, STATE_READY = 2, STATE_DISPLAYED = 3 };

// Menu command ids, the values the main frame's command handler receives.
enum kvCommand {
    CMD_QUIT = 0,
    CMD_SEARCH = 1,
    CMD_CLOSE_SEARCH = 2,
    CMD_SAVE_RESULTS = 3,
    CMD_LOAD_RESULTS = 4,
    CMD_REPLY_LIST = 5,
    CMD_SEARCH_INFO = 6,
    CMD_DISPLAY_RESULTS = 8,
    CMD_COPY = 11,
    CMD_SAVE_ARTICLE = 12,
    CMD_CLOSE_ARTICLE_WINDOW = 13,
    CMD_DELETE_ARTICLE = 14,
    CMD_SAVE_ALL_ARTICLES = 15,
    CMD_NEW_ARTICLE_WINDOW = 16,
    CMD_HELP = 20,
    CMD_CLOSE_HELP = 21,
    CMD_ABOUT = 23,
    CMD_EXPORT_MENU = 24, // the File menu's "Export results" submenu
    CMD_EXPORT_CSV = 25,
    CMD_EXPORT_JSONL = 26,
    CMD_EXPORT_MBOX = 27,
    CMD_RECENT_MENU = 30,  // the File menu's "Recent results" submenu
    CMD_RECENT_FIRST = 31, // its entries: CMD_RECENT_FIRST + 0 .. 4, newest first
};
constexpr int KV_RECENT_FILES = 5;

struct kvSTATE {
    int state = STATE_IDLE;
    int saved = 1; // 1: the held results are saved, or nothing needs saving
};

// One menu item: its menu ("File", "Edit", "Article", "Help"), label (UTF-8)
// and id, the keys that choose it ("Ctrl+F", or null) and, for an item inside
// a submenu, the label of the submenu's own item in the same menu. An item
// that other items name as their parent opens a submenu.
struct kvMenuItem {
    const char* menu;
    const char* label;
    int id;
    const char* shortcut = nullptr;
    const char* parent = nullptr;
};
constexpr int KV_MENU_ITEMS = 22;
extern const kvMenuItem kvMenuItems[KV_MENU_ITEMS]; // in menu order

// Whatever shows the menus: it enables or disables one item by its id.
class kvMenuSwitch {
  public:
    virtual ~kvMenuSwitch() = default;
    virtual void EnableItem(int id, bool on) = 0;
};

// `menus` may be null (no main frame): only the state changes.
void SetStateIdle(kvSTATE& ui, kvMenuSwitch* menus);
void SetStateSearching(kvSTATE& ui, kvMenuSwitch* menus);
void SetStateReady(kvSTATE& ui, kvMenuSwitch* menus);
void SetStateDisplayed(kvSTATE& ui, kvMenuSwitch* menus);
