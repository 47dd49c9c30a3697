// kvApp: the desktop program's application object. OnInit builds the whole
// user interface once and returns with the main frame shown; the program ends
// when the main frame is gone.
#pragma once
#include "file_places.h"

#include <wx/app.h>

class kvApp : public wxApp {
  public:
    ~kvApp() override;
    bool OnInit() override;

    // Where the next start-up looks for its files; by default the places of
    // this process. Tests point it at directories of their own.
    static void UseFilePlaces(const kvFilePlaces& places);
};

// Builds the program (settings, main frame, menus, dialog) as OnInit does;
// returns the main frame. Tests call it to start the program afresh.
class kvFrame;
kvFrame* StartProgram();
