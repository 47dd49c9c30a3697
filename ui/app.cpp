#include "app.h"

#include "frame.h"
#include "program.h"
#include "search_dialog.h"
#include "search_handoff.h"

#include <cstring>
#include <optional>
#include <wx/menu.h>
#include <wx/panel.h>

namespace {

std::optional<kvFilePlaces>& ChosenPlaces() {
    static std::optional<kvFilePlaces> places;
    return places;
}

constexpr long kMainStyle = wxDEFAULT_FRAME_STYLE; // caption, border, system menu, boxes

void BuildMenus(kvProgram& program) {
    const char* names[] = {"File", "Edit", "Article", "Help"};
    wxMenu** menus[] = {&program.fileMenu, &program.editMenu, &program.articleMenu,
                        &program.helpMenu};
    program.menuBar = new wxMenuBar;
    for (int m = 0; m < 4; ++m) {
        *menus[m] = new wxMenu;
        for (const kvMenuItem& item : kvMenuItems) {
            if (std::strcmp(item.menu, names[m]) == 0) (*menus[m])->Append(item.id, item.label);
        }
        program.menuBar->Append(*menus[m], names[m]);
    }
    program.mainFrame->SetMenuBar(program.menuBar);
}

std::string LastPathAtStart(const kvFilePlaces& places) {
    return places.workingDir.empty() ? std::string("*.kvx") : places.workingDir + "/*.kvx";
}

} // namespace

kvApp::~kvApp() = default;

void kvApp::UseFilePlaces(const kvFilePlaces& places) {
    ChosenPlaces() = places;
}

bool kvApp::OnInit() {
    SetTopWindow(StartProgram());
    return true;
}

kvFrame* StartProgram() {
    kvProgram& program = ResetProgram();
    program.places = ChosenPlaces() ? *ChosenPlaces() : kvFilePlaces::OfThisProcess();

    program.settingsPath = LocateOrCreateFile(program.places, "korvex.ini");
    ReadSettingsFile(program.settingsPath, program.settings);

    const WindowRect& main = program.settings.mainRect;
    program.mainFrame = new kvFrame(nullptr, AppTitle, main.x, main.y, 400, 175, kMainStyle);
    program.mainFrame->CreateStatusBar(1, wxSTB_DEFAULT_STYLE, wxID_ANY, "status_line");
    ShowStatus("Korvex: idle");
    program.articleFont =
        wxFont(12, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false);
    BuildMenus(program);
    program.mainPanel = new wxPanel(program.mainFrame, wxID_ANY, wxPoint(0, 0), wxSize(400, 175),
                                    wxTAB_TRAVERSAL, "panel");
    program.mainFrame->Show();

    program.descriptionPath = LocateFile(program.places, "korvex.dat");
    program.helpPath = LocateFile(program.places, "korvex.txt");
    program.lastPath = LastPathAtStart(program.places);

    program.ui = kvSTATE();
    SetStateIdle(program.ui);
    program.menuBar->Enable(CMD_CLOSE_HELP, false);
    program.worker = MakeSearchWorker();
    BuildSearchFrame();
    return program.mainFrame;
}
