// The search-parameters dialog: built once, hidden, from the description file;
// every control writes its value into the one search request as the user
// edits, so the request always mirrors the dialog.
//
// GUI thread only. OK and Cancel are the search hand-off's (search_handoff.h).
#pragma once

// Creates SearchFrame, SearchPanel and the controls (Program().dialog) and sets
// the request from the description file. The frame stays hidden.
void BuildSearchFrame();

// Shows or hides the dialog. The window system may report the frame mapped
// after a quick hide; the dialog then hides itself again, so "shown" always
// means what the program last asked for.
void ShowSearchFrame();
void HideSearchFrame();
