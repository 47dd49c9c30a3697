// The search-parameters dialog: built once, hidden, from the description file;
// every control writes its value into the one search request as the user
// edits, so the request always mirrors the dialog.
//
// GUI thread only. OK hides the dialog and starts the search worker, Cancel
// hides it.
#pragma once

// Creates SearchFrame, SearchPanel and the controls (Program().dialog) and sets
// the request from the description file. The frame stays hidden.
void BuildSearchFrame();

// The OK and Cancel buttons.
void OnSearchOk();
void OnSearchCancel();
