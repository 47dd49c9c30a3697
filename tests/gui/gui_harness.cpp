#include "gui_harness.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/menu.h>
#include <wx/radiobox.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace korvex_test {

kvAnswer ScriptedInteraction::Ask(const std::string& text, const std::string& caption) {
    questions.push_back(caption + ": " + text);
    if (answers.empty()) return kvAnswer::Cancel;
    kvAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::string ScriptedInteraction::SelectFile(const kvFileRequest& request) {
    fileRequests.push_back(request);
    if (chosenFiles.empty()) return std::string();
    std::string path = chosenFiles.front();
    chosenFiles.pop_front();
    return path;
}

void GuiTest::SetUp() {
    ASSERT_FALSE(temp.path.empty());
    dir = temp.path;
    places.workingDir = dir;
    places.programDir = dir + "/program";
    places.configDir = dir + "/config";
    std::filesystem::create_directory(places.programDir);
    auto interaction = std::make_unique<ScriptedInteraction>();
    script = interaction.get();
    InstallInteraction(std::move(interaction));
}

void GuiTest::TearDown() {
    if (kvFrame* frame = Program().mainFrame) {
        if (frame->OnClose()) frame->Destroy();
    }
    Pump();
    InstallInteraction(nullptr);
}

void GuiTest::WriteFile(const std::string& name, const std::string& text) {
    WriteBytes(Path(name), text);
}

std::string GuiTest::ReadFile(const std::string& name) const {
    return ReadBytes(Path(name));
}

std::string GuiTest::Path(const std::string& name) const {
    return dir + "/" + name;
}

void GuiTest::Start() {
    kvApp::UseFilePlaces(places);
    ASSERT_NE(StartProgram(), nullptr);
    Pump();
}

bool GuiTest::MenuEnabled(int id) {
    return Program().menuBar->IsEnabled(id);
}

std::string GuiTest::StatusLine() {
    return Program().mainFrame->GetStatusBar()->GetStatusText(0).utf8_string();
}

void Pump() {
    for (int round = 0; round < 3; ++round) {
        wxTheApp->ProcessPendingEvents();
        wxYield();
        wxTheApp->ProcessIdle();
    }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

namespace {
void Send(wxWindow* control, wxEventType type, int value) {
    wxCommandEvent event(type, control->GetId());
    event.SetEventObject(control);
    event.SetInt(value);
    control->GetEventHandler()->ProcessEvent(event);
}
} // namespace

void Type(wxTextCtrl* text, const std::string& value) {
    text->SetValue(wxString::FromUTF8(value)); // sends the text event, as typing does
}

void Choose(wxChoice* choice, int index) {
    choice->SetSelection(index);
    Send(choice, wxEVT_CHOICE, index);
}

void Press(wxRadioBox* box, int button) {
    box->SetSelection(button);
    Send(box, wxEVT_RADIOBOX, button);
}

void Tick(wxCheckBox* box, bool on) {
    box->SetValue(on);
    Send(box, wxEVT_CHECKBOX, on ? 1 : 0);
}

void Slide(wxSlider* slider, int value) {
    slider->SetValue(value);
    Send(slider, wxEVT_SLIDER, value);
}

void Click(wxButton* button) {
    Send(button, wxEVT_BUTTON, 0);
}

void ChooseMenu(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(Program().mainFrame);
    Program().mainFrame->GetEventHandler()->ProcessEvent(event);
}

} // namespace korvex_test
