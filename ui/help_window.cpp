#include "help_window.h"

#include "article.h"
#include "file_system.h"
#include "text_window.h"
#include "version.h"

#include <cstdio>
#include <wx/textctrl.h>
#include <wx/version.h>

namespace {

constexpr int kHelpX = 110, kHelpY = 20, kHelpWidth = 666, kHelpHeight = 520;

// False when the file cannot be opened or a read fails (a directory, an I/O error).
bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::FILE* file = OpenStream(path, "rb");
    if (!file) return false;
    char buffer[8192];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

} // namespace

kvHelpWindow::kvHelpWindow(std::function<void()> onHidden)
    : kvFrame(nullptr, "Korvex Help File", kHelpX, kHelpY, kHelpWidth, kHelpHeight,
              wxDEFAULT_FRAME_STYLE),
      onHidden_(std::move(onHidden)) {
    Show();
    wxFont fixed(12, wxFONTFAMILY_TELETYPE, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false);
    text_ = CreateTextWindow(this, kHelpWidth, kHelpHeight, fixed, "textWindow");
}

void kvHelpWindow::Load(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, bytes)) {
        // Text in CR LF lines shows without the CRs.
        bytes.resize(StripCarriageReturns(bytes.data(), bytes.data(), bytes.size()));
    } else {
        bytes = "Error loading help file.";
    }
    ShowTextFromTop(text_, bytes);
    text_->SetFocus();
}

void kvHelpWindow::Reopen() {
    Iconize(false);
    Show();
    Raise();
    text_->SetFocus();
}

bool kvHelpWindow::OnClose() {
    Hide();
    if (onHidden_) onHidden_();
    return false;
}

std::string AboutText() {
    return std::string("Korvex 2.000\n") +
           "Searches a Usenet newsgroup for articles whose header matches a pattern,\n"
           "and keeps, shows and exports what it finds.\n"
           "Build " +
           KorvexBuildVersion() + ", with " + wxString(wxVERSION_STRING).utf8_string() + ".";
}
