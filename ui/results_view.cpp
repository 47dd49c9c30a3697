#include "results_view.h"

#include "frame.h"
#include "program.h"

void CloseSearch() {
    kvProgram& program = Program();
    program.results.reset();
    program.summary.reset();
    SetStateIdle(program.ui);
    program.ui.saved = 1;
    ShowStatus("Korvex: idle");
    if (program.mainFrame) program.mainFrame->SetTitle(AppTitle);
}
