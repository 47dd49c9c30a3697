// Logins in the desktop program: the login box on a server's 480 when nothing
// is known, Cancel, typed logins kept for the program run, "Remember" writing a
// private netrc line, and a search over TLS with a login through the dialog.
#include "fake_nntp_server.h"
#include "gui_harness.h"
#include "login_box.h"

#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace korvex_test {
namespace {

// Articles 1..2 with "needle" in the subject; the first GROUP is answered 480.
void AskingServer(FakeNntpServer& server) {
    FakeGroup group;
    group.name = "alt.needles";
    for (long n = 1; n <= 2; ++n) {
        group.headers[n] = "needle " + std::to_string(n);
        group.articles[n] = FakeArticleText(n, group.headers[n], "Body.\n");
    }
    server.SetGroup(group);
    server.When("GROUP alt.needles", FakeReply::Text("480 Authentication required\r\n"), 1);
    server.When("AUTHINFO USER *", FakeReply::Text("381 Enter password\r\n"));
    server.When("AUTHINFO PASS typedpass", FakeReply::Text("281 Authentication succeeded\r\n"));
    server.When("AUTHINFO PASS *", FakeReply::Text("481 Authentication failed\r\n"));
    server.Start();
}

kvLoginAnswer Typed(bool remember) {
    kvLoginAnswer answer;
    answer.login.user = "typeduser";
    answer.login.password = "typedpass";
    answer.remember = remember;
    return answer;
}

class LoginGuiTest : public GuiTest {
  protected:
    // The fake server has no TLS: plain-text passwords are allowed for it.
    void StartAllowingPlainPasswords() {
        WriteFile("korvex.dat", "[Settings]\nALLOW_PLAIN_PASSWORD=1\n[/Settings]\n");
        Start();
    }
    bool Commanded(FakeNntpServer& server, const std::string& command) {
        std::vector<std::string> c = server.Commands();
        return std::find(c.begin(), c.end(), command) != c.end();
    }
};

TEST_F(LoginGuiTest, CancelFailsTheSearchWithAuthenticationRequired) {
    FakeNntpServer server;
    AskingServer(server);
    StartAllowingPlainPasswords();
    SearchFor(server.Address(), "alt.needles", "needle");
    WaitForEnd();
    EXPECT_EQ(Script().loginHosts, std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(M().ui.state, STATE_IDLE);
    EXPECT_EQ(StatusLine(), "ERROR: Authentication required");
    EXPECT_FALSE(Commanded(server, "AUTHINFO USER typeduser"));
}

TEST_F(LoginGuiTest, TypedLoginIsKeptForTheNextSearchAndNotWritten) {
    FakeNntpServer first, second;
    AskingServer(first);
    AskingServer(second);
    StartAllowingPlainPasswords();
    Script().logins.push_back(Typed(false));
    SearchFor(first.Address(), "alt.needles", "needle");
    WaitForEnd();
    ASSERT_EQ(M().ui.state, STATE_READY) << StatusLine();
    EXPECT_EQ(StatusLine(), "SUCCESS: 2 articles received");
    EXPECT_TRUE(Commanded(first, "AUTHINFO PASS typedpass"));
    EXPECT_EQ(access(Path("netrc").c_str(), F_OK), -1); // not remembered: nothing written

    C().CloseSearch();
    SearchFor(second.Address(), "alt.needles", "needle");
    WaitForEnd();
    EXPECT_EQ(StatusLine(), "SUCCESS: 2 articles received");
    EXPECT_EQ(Script().loginHosts.size(), 1u); // asked once in the program run
    EXPECT_TRUE(Commanded(second, "AUTHINFO PASS typedpass"));
    for (const std::string& line : seen)
        EXPECT_EQ(line.find("typedpass"), std::string::npos);
}

TEST_F(LoginGuiTest, RememberWritesAPrivateNetrcLineThatTheNextProgramRunUses) {
    FakeNntpServer server, later;
    AskingServer(server);
    AskingServer(later);
    StartAllowingPlainPasswords();
    Script().logins.push_back(Typed(true));
    SearchFor(server.Address(), "alt.needles", "needle");
    WaitForEnd();
    ASSERT_EQ(StatusLine(), "SUCCESS: 2 articles received");
    EXPECT_EQ(ReadFile("netrc"), "machine 127.0.0.1 login typeduser password typedpass\n");
#ifndef _WIN32 // Windows keeps the file private through the profile directory's access list
    struct stat st;
    ASSERT_EQ(stat(Path("netrc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
    // Neither the settings file nor the status line carries the password.
    EXPECT_EQ(ReadFile("program/korvex.ini").find("typedpass"), std::string::npos);

    // A new program run finds the login in the netrc file without asking.
    Start();
    SearchFor(later.Address(), "alt.needles", "needle");
    WaitForEnd();
    EXPECT_EQ(StatusLine(), "SUCCESS: 2 articles received");
    EXPECT_EQ(Script().loginHosts.size(), 1u);
}

TEST_F(LoginGuiTest, LoginBoxHidesThePasswordAndReadsWhatWasTyped) {
    Start();
    kvLoginBox box(C().MainFrame(), "news.example.org");
    auto* password = dynamic_cast<wxTextCtrl*>(box.FindWindowByName("password"));
    auto* user = dynamic_cast<wxTextCtrl*>(box.FindWindowByName("user"));
    auto* remember = dynamic_cast<wxCheckBox*>(box.FindWindowByName("remember"));
    ASSERT_NE(password, nullptr);
    ASSERT_NE(user, nullptr);
    ASSERT_NE(remember, nullptr);
    EXPECT_TRUE(password->HasFlag(wxTE_PASSWORD));
    EXPECT_EQ(remember->GetLabel(), "Remember in ~/.netrc");
    EXPECT_FALSE(remember->GetValue());
    user->ChangeValue(wxString::FromUTF8("j\xc3\xb6rg"));
    password->ChangeValue("pa ss");
    remember->SetValue(true);
    kvLoginAnswer answer;
    box.Read(answer);
    EXPECT_EQ(answer.login.user, "j\xc3\xb6rg"); // typed text goes on as UTF-8
    EXPECT_EQ(answer.login.password, "pa ss");
    EXPECT_TRUE(answer.remember);
}

// The real thing: TLS from the first byte, the certificate checked against the
// test CA named in the description file, and a login typed into the box.
TEST_F(LoginGuiTest, SecureLoginSearchThroughTheDialog) {
    std::string address;
    KORVEX_LOCAL_SERVER_OR_SKIP(address);
    const char* dirEnv = std::getenv("KORVEX_TLS_DIR");
    std::string tlsDir = dirEnv != nullptr && *dirEnv != '\0' ? dirEnv : "/tmp/korvex-inn-tls";
    const char* offsetEnv = std::getenv("KORVEX_TLS_PORT_OFFSET");
    int port = 1563 + (offsetEnv != nullptr ? std::atoi(offsetEnv) : 0);
    if (!std::filesystem::is_regular_file(tlsDir + "/ca.pem")) {
        if (InnRequired()) FAIL() << "no test CA; run scripts/inn-tls.sh start";
        GTEST_SKIP() << "no test CA; run scripts/inn-tls.sh start";
    }
    WriteFile("korvex.dat", "[Settings]\nCA_FILE=" + tlsDir + "/ca.pem\n[/Settings]\n");
    Start();
    kvLoginAnswer login;
    login.login.user = "testuser";
    login.login.password = "testpass";
    Script().logins.push_back(login);
    SearchFor("nntps://localhost:" + std::to_string(port), "korvex.test.small", "kernel panic");
    WaitForEnd();
    ASSERT_EQ(M().ui.state, STATE_READY) << StatusLine();
    EXPECT_EQ(Script().loginHosts, std::vector<std::string>{"localhost"});
    // Progress lines may be overtaken by the next one before the window shows
    // them (the status queue keeps only the newest), so only their order is
    // certain: the secure connection comes before the login.
    auto secure = std::find(seen.begin(), seen.end(), "Korvex: Starting secure connection...");
    auto loggingIn = std::find(seen.begin(), seen.end(), "Korvex: Logging in...");
    if (secure != seen.end() && loggingIn != seen.end()) {
        EXPECT_LT(secure, loggingIn);
    }
    EXPECT_EQ(std::string(M().summary->server), "nntps://localhost:" + std::to_string(port));
    EXPECT_EQ(StatusLine(),
              "SUCCESS: " + std::to_string(M().results->Size()) + " articles received");
}

} // namespace
} // namespace korvex_test
