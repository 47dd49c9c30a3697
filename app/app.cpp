#include "app.h"

kvApp::~kvApp() = default;

bool kvApp::OnInit() {
    kvController& controller =
        Start(kvFilePlaces::OfThisProcess(), std::make_unique<kvWxInteraction>());
    SetTopWindow(controller.MainFrame());
    return true;
}

kvController& kvApp::Start(const kvFilePlaces& places, std::unique_ptr<kvInteraction> interaction) {
    controller_.reset();
    controller_ = std::make_unique<kvController>(places, std::move(interaction));
    return *controller_;
}

kvApp& TheApp() {
    return *static_cast<kvApp*>(wxApp::GetInstance());
}
