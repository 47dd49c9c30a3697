// The view of the held result set and its tear-down.
//
// GUI thread only, and only while no search worker runs.
#pragma once

// Destroys the view, frees the result set and the summary, enters the idle
// state (saved: 1), shows "Korvex: idle" and gives the main frame its title back.
void CloseSearch();
