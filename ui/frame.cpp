#include "frame.h"

#include "commands.h"
#include "program.h"

kvFrame::kvFrame(wxWindow* parent, const wxString& title, int x, int y, int width, int height,
                 long style)
    : wxFrame(parent, wxID_ANY, title, wxPoint(x, y), wxSize(width, height), style, "frame") {
    Bind(wxEVT_MENU, [this](wxCommandEvent& event) { OnMenuCommand(event.GetId()); });
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        wxSize client = GetClientSize();
        OnSize(client.GetWidth(), client.GetHeight());
        event.Skip(); // the frame's own layout gives its only child the client area
    });
    Bind(wxEVT_CLOSE_WINDOW, &kvFrame::HandleClose, this);
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
        OnActivate(event.GetActive());
        event.Skip();
    });
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
    }
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

void kvFrame::OnSize(int, int) {}

bool kvFrame::OnClose() {
    kvProgram& program = Program();
    if (this == program.searchFrame) return false;
    if (this == program.mainFrame) {
        CloseMainFrame();
        return true;
    }
    return true;
}

void kvFrame::OnActivate(bool) {}
