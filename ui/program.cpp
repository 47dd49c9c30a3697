#include "program.h"

#include "display_text.h"
#include "frame.h"
#include "interaction.h"

namespace {
std::unique_ptr<kvProgram>& Current() {
    static std::unique_ptr<kvProgram> program = std::make_unique<kvProgram>();
    return program;
}
} // namespace

kvProgram& Program() {
    return *Current();
}

kvProgram& ResetProgram() {
    Current() = std::make_unique<kvProgram>();
    return *Current();
}

void SetStatusLine(const char* text) {
    kvFrame* frame = Program().mainFrame;
    if (frame && frame->GetStatusBar()) frame->SetStatusText(ToDisplay(text), 0);
}

void ShowStatus(const char* text) {
    kvProgram& program = Program();
    CopyField(program.statusText, text);
    SetStatusLine(program.statusText);
}

void ShowNotice(const char* text) {
    Interaction().Notice(text);
}
