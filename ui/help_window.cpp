#include "help_window.h"

#include "article.h"
#include "article_windows.h"
#include "display_text.h"
#include "frame.h"
#include "program.h"
#include "results_view.h"

#include <cstdio>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/version.h>

namespace {

constexpr int kHelpX = 110, kHelpY = 20, kHelpWidth = 666, kHelpHeight = 520;

// False when the file cannot be opened or a read fails (a directory, an I/O error).
bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[8192];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

void EnableCloseHelp(bool on) {
    if (wxMenuBar* bar = Program().menuBar) bar->Enable(CMD_CLOSE_HELP, on);
}

} // namespace

void LoadHelpFile(const std::string& path) {
    kvProgram& program = Program();
    if (!program.helpFrame) {
        program.helpFrame = new kvFrame(nullptr, "Korvex Help File", kHelpX, kHelpY, kHelpWidth,
                                        kHelpHeight, wxDEFAULT_FRAME_STYLE);
        program.helpFrame->Show();
        wxFont fixed(12, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false);
        program.helpText =
            CreateTextWindow(program.helpFrame, kHelpWidth, kHelpHeight, fixed, "textWindow");
    }
    std::string bytes;
    if (ReadWholeFile(path, bytes)) {
        // Text in CR LF lines shows without the CRs.
        bytes.resize(StripCarriageReturns(bytes.data(), bytes.data(), bytes.size()));
        program.helpText->ChangeValue(ToDisplayLines(bytes));
    } else {
        program.helpText->ChangeValue("Error loading help file.");
    }
    program.helpText->SetInsertionPoint(0);
    program.helpText->ShowPosition(0);
    program.helpText->SetFocus();
}

void CommandHelp() {
    kvProgram& program = Program();
    kvFrame* frame = program.helpFrame;
    if (!frame) {
        if (program.helpPath.empty()) {
            ShowNotice("Help file not found.");
            return;
        }
        LoadHelpFile(program.helpPath);
        EnableCloseHelp(true);
    } else if (frame->IsShown()) {
        if (!frame->IsIconized()) {
            ShowNotice("Help window is already displayed.");
            return;
        }
        frame->Iconize(false);
        EnableCloseHelp(true);
    } else {
        frame->Iconize(false);
        frame->Show();
        frame->Raise();
        EnableCloseHelp(true);
        program.helpText->SetFocus();
    }
}

void CommandCloseHelp() {
    if (Program().helpFrame) CloseHelpWindow();
}

void CloseHelpWindow() {
    if (kvFrame* frame = Program().helpFrame) frame->Hide();
    EnableCloseHelp(false);
}

void DestroyHelpWindow() {
    kvProgram& program = Program();
    if (!program.helpFrame) return;
    program.helpFrame->Destroy();
    program.helpFrame = nullptr;
    program.helpText = nullptr;
}

std::string AboutText() {
    return "Korvex 2.000\n"
           "Searches a Usenet newsgroup for articles whose header matches a pattern,\n"
           "and keeps, shows and exports what it finds.\n"
           "Built with " +
           wxString(wxVERSION_STRING).utf8_string() + ".";
}

void CommandAbout() {
    ShowNotice(AboutText().c_str());
    FocusResultsList();
}
