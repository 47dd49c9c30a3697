#include "frame.h"

#include "article_windows.h"
#include "commands.h"
#include "help_window.h"
#include "program.h"
#include "results_view.h"

kvFrame::kvFrame(wxWindow* parent, const wxString& title, int x, int y, int width, int height,
                 long style)
    : wxFrame(parent, wxID_ANY, title, wxPoint(x, y), wxSize(width, height), style, "frame"),
      normalRect_(x, y, width, height) {
    Bind(wxEVT_MENU, [this](wxCommandEvent& event) { OnMenuCommand(event.GetId()); });
    Bind(wxEVT_MOVE, [this](wxMoveEvent& event) {
        RememberNormalRect();
        event.Skip();
    });
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        RememberNormalRect();
        wxSize client = GetClientSize();
        OnSize(client.GetWidth(), client.GetHeight());
        event.Skip(); // the frame's own layout gives its only child the client area
    });
    Bind(wxEVT_CLOSE_WINDOW, &kvFrame::HandleClose, this);
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
        OnActivate(event.GetActive());
        event.Skip();
    });
    Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        event.Skip();
        if (event.IsShown() && !wanted_) {
            CallAfter([this] {
                if (!wanted_) wxFrame::Show(false);
            });
        }
    });
}

void kvFrame::RememberNormalRect() {
    wxRect rect = GetRect();
    if (!IsIconized() && rect.width >= 50 && rect.height >= 50) normalRect_ = rect;
}

bool kvFrame::Show(bool show) {
    wanted_ = show;
    return wxFrame::Show(show);
}

kvFrame::~kvFrame() {
    kvProgram& program = Program();
    if (program.searchFrame == this) {
        program.searchFrame = nullptr;
        program.searchPanel = nullptr;
        program.dialog = kvSearchDialog();
    }
    if (program.mainFrame == this) {
        program.mainFrame = nullptr;
        program.mainPanel = nullptr;
        program.menuBar = nullptr;
        program.fileMenu = program.editMenu = program.articleMenu = program.helpMenu = nullptr;
        program.resultsList = nullptr;
    }
    if (program.helpFrame == this) {
        program.helpFrame = nullptr;
        program.helpText = nullptr;
    }
    // An article window destroyed by anything but the program's own close.
    ForgetArticleWindowAt(ArticleSlotOf(this));
}

void kvFrame::HandleClose(wxCloseEvent& event) {
    if (OnClose()) {
        Destroy();
    } else if (event.CanVeto()) {
        event.Veto();
    }
}

void kvFrame::OnMenuCommand(int id) {
    if (this == Program().mainFrame) RunMenuCommand(id);
}

void kvFrame::OnSize(int width, int height) {
    if (this == Program().mainFrame) ResizeResultsList(width, height);
}

bool kvFrame::OnClose() {
    kvProgram& program = Program();
    if (this == program.searchFrame) return false;
    if (this == program.helpFrame) {
        CloseHelpWindow();
        return false;
    }
    if (this == program.mainFrame) {
        CloseMainFrame();
        return true;
    }
    int slot = ArticleSlotOf(this);
    if (slot >= 0) {
        CloseArticleWindowAt(slot); // destroys the frame itself
        return false;
    }
    return true;
}

void kvFrame::OnActivate(bool active) {
    if (active) ActivateArticleWindowAt(ArticleSlotOf(this));
}
