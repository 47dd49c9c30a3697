// The menu commands of the main frame and the main frame's close.
//
// GUI thread only, called from the main frame's handlers. Every command tests
// the UI state itself, also where the menu state already disables it.
#pragma once

// Runs the command with the given menu id; an unknown id does nothing.
void RunMenuCommand(int id);

// The main frame's close: stops a running search and waits for it, then
// destroys the search-parameters frame and closes the current search. Nothing
// the search worker reported acts afterwards.
void CloseMainFrame();

// Asks "Search results are not saved. Save now?"; true when the caller may go
// on (saved, or the user chose not to save), false when it must stop.
bool AskToSaveResults();

enum class kvSaveOutcome { Cancelled, Failed, Saved };
// Lets the user choose a results file and writes the held results to it.
kvSaveOutcome SaveResultsInteractively();
