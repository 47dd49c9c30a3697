// kvApp: the desktop program's application object. It owns the one
// controller: OnInit starts it with the main frame shown; the program ends
// when the main frame is gone, and the controller goes with the application.
//
// GUI thread only.
#pragma once
#include "controller.h"

#include <memory>
#include <wx/app.h>

class kvApp : public wxApp {
  public:
    ~kvApp() override;
    bool OnInit() override;

    // Starts the program afresh (settings, main frame, menus, dialog) with
    // the given file places and interaction, replacing any earlier controller.
    kvController& Start(const kvFilePlaces& places, std::unique_ptr<kvInteraction> interaction);

    // The running controller; null before the start and after the end.
    kvController* Controller() const { return controller_.get(); }

  private:
    std::unique_ptr<kvController> controller_;
};

// The running application object: the one way back from wx to the program.
kvApp& TheApp();
