// The menu commands of the main frame and the main frame's close.
//
// GUI thread only, called from the main frame's handlers. Every command tests
// the UI state itself, also where the menu state already disables it, and
// shows a notice when it refuses.
#pragma once

// Runs the command with the given menu id; an unknown id does nothing.
void RunMenuCommand(int id);

// The main frame's close: stops a running search and waits for it, then
// destroys the search-parameters frame and the help window and closes the
// current search. Nothing the search worker reported acts afterwards.
void CloseMainFrame();
