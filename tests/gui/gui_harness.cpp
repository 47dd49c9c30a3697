#include "gui_harness.h"
#include "results_list.h"

#include "server_check.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/menu.h>
#include <wx/radiobox.h>
#include <wx/slider.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
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

bool ScriptedInteraction::AskLogin(const std::string& host, kvLoginAnswer& answer) {
    loginHosts.push_back(host);
    if (logins.empty()) return false;
    answer = logins.front();
    logins.pop_front();
    return true;
}

namespace {
// Hands everything on to the test's script, which may outlive it or not.
class ForwardedInteraction : public kvInteraction {
  public:
    explicit ForwardedInteraction(std::shared_ptr<ScriptedInteraction> script)
        : script(std::move(script)) {}
    void Notice(const std::string& text) override { script->Notice(text); }
    kvAnswer Ask(const std::string& text, const std::string& caption) override {
        return script->Ask(text, caption);
    }
    std::string SelectFile(const kvFileRequest& request) override {
        return script->SelectFile(request);
    }
    bool AskLogin(const std::string& host, kvLoginAnswer& answer) override {
        return script->AskLogin(host, answer);
    }

  private:
    std::shared_ptr<ScriptedInteraction> script;
};
} // namespace

std::unique_ptr<kvInteraction>
ScriptedInteraction::For(std::shared_ptr<ScriptedInteraction> script) {
    return std::make_unique<ForwardedInteraction>(std::move(script));
}

void GuiTest::SetUp() {
    ASSERT_FALSE(temp.path.empty());
    dir = temp.path;
    places.workingDir = dir;
    places.programDir = dir + "/program";
    places.configDir = dir + "/config";
    places.netrcFile = dir + "/netrc";
    std::filesystem::create_directory(places.programDir);
    script = std::make_shared<ScriptedInteraction>();
    controller = nullptr;
}

void GuiTest::TearDown() {
    if (kvMainFrame* frame = controller ? controller->MainFrame() : nullptr) {
        if (frame->OnClose()) frame->Destroy();
    }
    Pump();
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
    controller = &TheApp().Start(places, ScriptedInteraction::For(script));
    ASSERT_NE(controller->MainFrame(), nullptr);
    // Until the status bar is laid out; status texts drawn before then upset GDK.
    PumpUntil(
        [this] {
            wxStatusBar* bar = C().MainFrame()->GetStatusBar();
            return bar->GetSize().x > 0 && bar->GetSize().y > 0;
        },
        5000);
}

bool GuiTest::MenuEnabled(int id) {
    return C().MainFrame()->GetMenuBar()->IsEnabled(id);
}

std::string GuiTest::StatusLine() {
    return C().MainFrame()->GetStatusBar()->GetStatusText(0).utf8_string();
}

void GuiTest::StaleStatusLine(const char* statusText, const char* shown) {
    C().ShowStatus(statusText);
    C().MainFrame()->SetStatusLine(shown);
}

kvResultsList* GuiTest::ResultsList() {
    return C().ResultsList();
}

void GuiTest::ChooseMenu(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(C().MainFrame());
    C().MainFrame()->GetEventHandler()->ProcessEvent(event);
}

void GuiTest::SearchFor(const std::string& server, const std::string& group,
                        const std::string& pattern) {
    ChooseMenu(CMD_SEARCH);
    ASSERT_TRUE(C().Dialog()->IsShown());
    Type(Dialog().serverText, server);
    Type(Dialog().newsgroupText, group);
    Type(Dialog().patternText, pattern);
    Click(Dialog().okButton);
    EXPECT_FALSE(C().Dialog()->IsShown());
}

void GuiTest::WaitForEnd() {
    ASSERT_TRUE(PumpUntil([this] {
        std::string line = StatusLine();
        if (seen.empty() || seen.back() != line) seen.push_back(line);
        return !C().Worker().Running();
    })) << "the search did not end";
}

void GuiTest::HoldResults(int n, const std::function<void(int, kvArticle&)>& adjust) {
    kvSearchWorker::Outcome outcome;
    outcome.count = n;
    outcome.results = std::make_unique<kvResultSet>();
    for (int i = 0; i < n; ++i) {
        auto article = std::make_unique<kvArticle>();
        std::string subject = "Subject " + std::to_string(i);
        std::string body = "Body of " + std::to_string(i) + ".\n";
        CopyField(article->subject, subject.c_str());
        CopyField(
            article->from,
            ("Author " + std::to_string(i) + " <a" + std::to_string(i) + "@example.org>").c_str());
        for (char* field : {article->date, article->newsgroups, article->organization}) {
            CopyField(field, KV_FIELD_SIZE, "x");
        }
        for (char* field : {article->messageId, article->keywords, article->summary,
                            article->sender, article->replyTo}) {
            CopyField(field, KV_FIELD_SIZE, KV_NONE);
        }
        article->body.reset(new char[body.size() + 1]);
        std::copy(body.c_str(), body.c_str() + body.size() + 1, article->body.get());
        if (adjust) adjust(i, *article);
        outcome.results->Append(std::move(article));
    }
    auto summary = std::make_unique<kvSearchSummary>();
    CopyField(summary->pattern, "needle");
    CopyField(summary->header, "Subject");
    CopyField(summary->server, "127.0.0.1");
    CopyField(summary->newsgroup, "alt.test");
    CopyField(summary->searchDate, "Wed Dec  9 10:00:00 2026");
    CopyField(summary->groupCount, "100");
    CopyField(summary->foundCount, std::to_string(n).c_str());
    outcome.summary = std::move(summary);
    C().SearchFinished(outcome); // results ready, unsaved
    C().ShowStatus(("SUCCESS: " + std::to_string(n) + " articles received").c_str());
}

std::vector<std::string> GuiTest::ListEntries() {
    std::vector<std::string> entries;
    if (kvResultsList* list = ResultsList()) {
        for (unsigned i = 0; i < list->GetCount(); ++i) {
            entries.push_back(list->GetString(i).utf8_string());
        }
    }
    return entries;
}

std::string GuiTest::WindowTitle(int slot) {
    kvFrame* frame = ArticleFrame(slot);
    return frame ? frame->GetTitle().utf8_string() : "(none)";
}

std::string GuiTest::WindowText(int slot) {
    wxTextCtrl* text = Articles().Text(slot);
    return text ? text->GetValue().utf8_string() : "(none)";
}

std::vector<std::string> GuiTest::ChainSubjects() {
    std::vector<std::string> subjects;
    if (!M().results) return subjects;
    for (const kvArticle* a = M().results->First(); a; a = a->next) {
        subjects.push_back(a->subject);
    }
    return subjects;
}

const std::vector<MenuEntry> kMenuBar = {
    {"File", "Search", CMD_SEARCH},
    {"File", "Display results", CMD_DISPLAY_RESULTS},
    {"File", "Save results in file", CMD_SAVE_RESULTS},
    {"File", "Export results", CMD_EXPORT_MENU},
    {"File", "Load results from file", CMD_LOAD_RESULTS},
    {"File", "Recent results", CMD_RECENT_MENU},
    {"File", "Show search info", CMD_SEARCH_INFO},
    {"File", "Close current search", CMD_CLOSE_SEARCH},
    {"File", "Quit", CMD_QUIT},
    {"Edit", "Copy", CMD_COPY},
    {"Article", "Save current article", CMD_SAVE_ARTICLE},
    {"Article", "Delete current article", CMD_DELETE_ARTICLE},
    {"Article", "Close article window", CMD_CLOSE_ARTICLE_WINDOW},
    {"Article", "New article window", CMD_NEW_ARTICLE_WINDOW},
    {"Article", "Save all articles", CMD_SAVE_ALL_ARTICLES},
    {"Article", "Create reply list", CMD_REPLY_LIST},
    {"Help", "Help", CMD_HELP},
    {"Help", "Close help window", CMD_CLOSE_HELP},
    {"Help", "About Korvex", CMD_ABOUT},
};

std::string LocalNewsServer(std::string& why) {
    const char* env = std::getenv("KORVEX_NNTP_SERVER");
    std::string address = env && *env ? env : "127.0.0.1";
    std::ostringstream report;
    if (CheckServer(address, report, CheckDepth::Quick) == ServerState::Loaded) return address;
    why = report.str();
    return std::string();
}

bool InnRequired() {
    const char* require = std::getenv("KORVEX_REQUIRE_INN");
    return require && std::string(require) == "1";
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

void Select(kvResultsList* list, int index) {
    list->SetSelection(index);
    wxListEvent event(wxEVT_LIST_ITEM_SELECTED, list->GetId());
    event.SetEventObject(list);
    event.m_itemIndex = index;
    list->GetEventHandler()->ProcessEvent(event);
}

void ClickColumn(kvResultsList* list, int column) {
    wxListEvent event(wxEVT_LIST_COL_CLICK, list->GetId());
    event.SetEventObject(list);
    event.m_col = column;
    list->GetEventHandler()->ProcessEvent(event);
}

bool HasFocus(wxWindow* window) {
    for (wxWindow* focus = wxWindow::FindFocus(); focus; focus = focus->GetParent()) {
        if (focus == window) return true;
    }
    return false;
}

} // namespace korvex_test
