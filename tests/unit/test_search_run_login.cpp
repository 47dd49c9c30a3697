// Logins and encryption in the search run against the scripted fake server:
// 480 and 483 at every stage, what is sent when, what is refused, and TLS
// handshakes that stall or are stopped.
#include "fake_nntp_server.h"
#include "search_run.h"
#include "search_run_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

FakeReply Line(const std::string& text) {
    return FakeReply::Text(text + "\r\n");
}

const char* const kUser = "reader";
const char* const kPassword = "s3cret pass";

// Articles 10..12; 11 and 12 carry "match" in their Subject.
FakeGroup ThreeArticles() {
    FakeGroup g;
    for (long n = 10; n <= 12; ++n) {
        g.headers[n] = (n == 10 ? "nothing " : "a match ") + std::to_string(n);
        g.articles[n] = FakeArticleText(n, g.headers[n], "Body.\n");
    }
    return g;
}

enum class Login { Given, None, Refused };

struct Rule {
    std::string command;
    FakeReply reply;
    int times;
};

struct LoginRun {
    FakeNntpServer server;
    kvSearchRequest request;
    kvResultSet results;
    kvSearchContext context;
    Strings messages;
    int asked = 0;

    explicit LoginRun(Login login, bool tls = false) {
        std::string address = (tls ? "nntps://" : "") + server.Address();
        CopyField(request.server, address.c_str());
        CopyField(request.newsgroup, "alt.test");
        CopyField(request.pattern, "match");
        request.timeoutSeconds = 3;
        request.serverFilter = false; // the scripts list the commands of a full scan
        context.report = [this](const kvStatus& s) { messages.push_back(s.text); };
        context.credentials = [this, login](const std::string& host, kvCredentials& out,
                                            std::string& problem) {
            ++asked;
            EXPECT_EQ(host, "127.0.0.1");
            if (login == Login::Refused) {
                problem = "the netrc file is readable by others";
                return kvCredentialAnswer::Refused;
            }
            if (login == Login::None) return kvCredentialAnswer::None;
            out.user = kUser;
            out.password = kPassword;
            return kvCredentialAnswer::Given;
        };
        server.SetGroup(ThreeArticles());
    }

    int Run() {
        server.Start();
        return RunSearch(request, results, context);
    }
};

const std::string kCaps = "101 Capability list:\r\nVERSION 2\r\nREADER\r\nAUTHINFO USER\r\n.\r\n";
const std::string kCapsHdr =
    "101 Capability list:\r\nVERSION 2\r\nREADER\r\nHDR\r\nAUTHINFO USER\r\n.\r\n";
const std::string kCapsHeaders = "101 Capability list:\r\nVERSION 2\r\nREADER\r\nLIST ACTIVE "
                                 "HEADERS\r\nAUTHINFO USER\r\n.\r\n";
const std::string kCapsTls =
    "101 Capability list:\r\nVERSION 2\r\nREADER\r\nSTARTTLS\r\nAUTHINFO SASL\r\n.\r\n";
const std::string kUserLine = std::string("AUTHINFO USER ") + kUser;
const std::string kPassLine = std::string("AUTHINFO PASS ") + kPassword;

TEST(SearchRunLogin, AnswersTo480And483) {
    struct Case {
        const char* name;
        std::vector<Rule> rules;
        Login login;
        int allowPlain;
        int result;
        std::string status;
        Strings commands;
        int asked; // how often the credentials were asked for
    };
    const std::string fetched = "SUCCESS: 2 articles received";
    // CAPABILITIES comes first: refused (the fake server's default), MODE
    // READER follows; a list with READER (kCaps, kCapsTls) goes straight to GROUP.
    const Strings head = {"CAPABILITIES", "MODE READER", "GROUP alt.test"};
    const Strings listed = {"CAPABILITIES", "GROUP alt.test"};
    auto with = [&head](Strings tail) {
        Strings s = head;
        s.insert(s.end(), tail.begin(), tail.end());
        return s;
    };
    const Strings fetch = {"XHDR Subject 10-12", "ARTICLE 12", "ARTICLE 11", "QUIT"};
    const Strings login = {kUserLine, kPassLine};
    auto join = [](std::vector<Strings> parts) {
        Strings s;
        for (const Strings& p : parts)
            s.insert(s.end(), p.begin(), p.end());
        return s;
    };
    const FakeReply askLogin = Line("480 Authentication required");
    const FakeReply more = Line("381 Enter password"), ok = Line("281 Authentication succeeded");

    const Case cases[] = {
        {"480 in the middle of the fetch: log in, select the group, the same ARTICLE again",
         {{"ARTICLE 12", askLogin, 1},
          {"CAPABILITIES", Line("500 What?"), -1},
          {kUserLine, more, -1},
          {kPassLine, ok, -1}},
         Login::Given,
         1,
         2,
         fetched,
         join({head,
               {"XHDR Subject 10-12", "ARTICLE 12", kUserLine, kPassLine, "CAPABILITIES",
                "GROUP alt.test", "ARTICLE 12", "ARTICLE 11", "QUIT"}}),
         1},
        {"480 on XHDR: the same range again after the login",
         {{"XHDR*", askLogin, 1},
          {"CAPABILITIES", FakeReply::Text(kCaps), -1},
          {kUserLine, more, -1},
          {kPassLine, ok, -1}},
         Login::Given,
         1,
         2,
         fetched,
         join({listed,
               {"XHDR Subject 10-12", kUserLine, kPassLine, "CAPABILITIES", "GROUP alt.test"},
               fetch}),
         1},
        {"480 on GROUP; a user name alone is enough for this server",
         {{"GROUP alt.test", askLogin, 1},
          {"CAPABILITIES", FakeReply::Text(kCaps), -1},
          {kUserLine, ok, -1}},
         Login::Given,
         1,
         2,
         fetched,
         join({listed, {kUserLine, "CAPABILITIES", "GROUP alt.test"}, fetch}),
         1},
        {"the list read after the login is the one that counts: HDR from it",
         {{"GROUP alt.test", askLogin, 1},
          {"CAPABILITIES", FakeReply::Text(kCaps), 1},
          {"CAPABILITIES", FakeReply::Text(kCapsHdr), -1},
          {kUserLine, ok, -1}},
         Login::Given,
         1,
         2,
         fetched,
         join({listed,
               {kUserLine, "CAPABILITIES", "GROUP alt.test", "HDR Subject 10-12", "ARTICLE 12",
                "ARTICLE 11", "QUIT"}}),
         1},
        {"480 on GROUP with LIST HEADERS sent beside it: its answer is read and dropped",
         {{"GROUP alt.test", askLogin, 1},
          {"CAPABILITIES", FakeReply::Text(kCapsHeaders), -1},
          {"LIST HEADERS", FakeReply::Text("215 headers\r\n:\r\n.\r\n"), -1},
          {kUserLine, ok, -1}},
         Login::Given,
         1,
         2,
         fetched,
         join({listed,
               {"LIST HEADERS", kUserLine, "CAPABILITIES", "GROUP alt.test", "LIST HEADERS"},
               fetch}),
         1},
        {"480 again after 281 fails instead of looping",
         {{"GROUP alt.test", askLogin, -1},
          {"CAPABILITIES", FakeReply::Text(kCaps), -1},
          {kUserLine, more, -1},
          {kPassLine, ok, -1}},
         Login::Given,
         1,
         -1,
         "ERROR: Authentication failed: the server asked again after a login",
         join({listed, {kUserLine, kPassLine, "CAPABILITIES", "GROUP alt.test", "QUIT"}}),
         1},
        {"502 to the password",
         {{"GROUP alt.test", askLogin, -1},
          {kUserLine, more, -1},
          {kPassLine, Line("502 Permission denied"), -1}},
         Login::Given,
         1,
         -1,
         "ERROR: Authentication failed",
         with({kUserLine, kPassLine, "QUIT"}),
         1},
        {"481: wrong password",
         {{"GROUP alt.test", askLogin, -1},
          {kUserLine, more, -1},
          {kPassLine, Line("481 Authentication failed"), -1}},
         Login::Given,
         1,
         -1,
         "ERROR: Authentication failed",
         with({kUserLine, kPassLine, "QUIT"}),
         1},
        {"480 with no credentials known: nothing more is sent",
         {{"GROUP alt.test", askLogin, -1}},
         Login::None,
         1,
         -1,
         "ERROR: Authentication required",
         with({"QUIT"}),
         1},
        {"credentials that may not be used",
         {{"GROUP alt.test", askLogin, -1}},
         Login::Refused,
         1,
         -1,
         "ERROR: the netrc file is readable by others",
         with({"QUIT"}),
         1},
        {"no password over plain text unless allowed",
         {{"GROUP alt.test", askLogin, -1}, {"CAPABILITIES", FakeReply::Text(kCaps), -1}},
         Login::Given,
         0,
         -1,
         "ERROR: Password not sent over an unencrypted connection",
         join({listed, {"QUIT"}}),
         1},
        {"STARTTLS offered, then refused: an error even where plain text is allowed",
         {{"GROUP alt.test", askLogin, -1},
          {"CAPABILITIES", FakeReply::Text(kCapsTls), -1},
          {"STARTTLS", Line("580 Error initializing TLS"), -1}},
         Login::Given,
         1,
         -1,
         "ERROR: Secure connection failed: the server refused to start TLS (580 Error "
         "initializing TLS)",
         join({listed, {"STARTTLS", "QUIT"}}),
         1},
        {"483 to the user name on a server without STARTTLS",
         {{"GROUP alt.test", askLogin, -1},
          {"CAPABILITIES", FakeReply::Text(kCaps), -1},
          {kUserLine, Line("483 Encryption required"), -1}},
         Login::Given,
         1,
         -1,
         "ERROR: Password not sent over an unencrypted connection",
         join({listed, {kUserLine, "QUIT"}}),
         1},
        {"483 to GROUP on a server without STARTTLS",
         {{"GROUP alt.test", Line("483 Encryption required"), -1}},
         Login::Given,
         1,
         -1,
         "ERROR: Secure connection failed: the server requires encryption and does not offer "
         "STARTTLS",
         with({"QUIT"}),
         0},
        {"a server that never asks gets no login",
         {},
         Login::Given,
         1,
         2,
         fetched,
         join({head, fetch}),
         0},
    };
    // One command at a time the server receives exactly the listed commands;
    // with commands sent ahead it may receive XHDR and ARTICLE commands besides
    // (those in flight when the 480 came are answered, dropped and sent again).
    for (const Case& c : cases)
        for (int window : {1, KV_DEFAULT_PIPELINE}) {
            SCOPED_TRACE(std::string(c.name) + ", window " + std::to_string(window));
            LoginRun run(c.login);
            run.request.allowPlainPassword = c.allowPlain;
            run.request.pipeline = window;
            for (const Rule& r : c.rules)
                run.server.When(r.command, r.reply, r.times);
            EXPECT_EQ(run.Run(), c.result);
            EXPECT_EQ(std::string(run.context.statusText), c.status);
            if (window == 1)
                EXPECT_EQ(run.server.Commands(), c.commands);
            else
                EXPECT_TRUE(korvex_test::SentAhead(c.commands, run.server.Commands()));
            EXPECT_EQ(run.asked, c.asked);
            // The password never reaches a message.
            for (const std::string& m : run.messages)
                EXPECT_EQ(m.find(kPassword), std::string::npos) << m;
            EXPECT_EQ(std::string(run.context.statusText).find(kPassword), std::string::npos);
            bool loggingIn = false;
            for (const std::string& m : run.messages)
                loggingIn = loggingIn || m == "Korvex: Logging in...";
            bool sentUser = false;
            for (const std::string& cmd : c.commands)
                sentUser = sentUser || cmd == kUserLine;
            EXPECT_EQ(loggingIn, sentUser);
        }
}

// A TLS peer that never answers the handshake, behind nntps:// or after a 382.
TEST(SearchRunLogin, StalledHandshakeTimesOut) {
    const std::string stalled =
        "ERROR: Secure connection failed: no answer from the server during the handshake";
    {
        LoginRun run(Login::Given, true);
        run.request.timeoutSeconds = 1;
        run.server.SetGreeting(FakeReply::Silent());
        auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(run.Run(), -1);
        auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(std::string(run.context.statusText), stalled);
        EXPECT_GE(took, std::chrono::milliseconds(900));
        EXPECT_LT(took, std::chrono::seconds(4)); // no QUIT with its own wait after it
        EXPECT_EQ(run.messages.back(), "Korvex: Starting secure connection...");
    }
    {
        LoginRun run(Login::Given);
        run.request.timeoutSeconds = 1;
        run.server.When("GROUP alt.test", Line("480 Authentication required"));
        run.server.When("CAPABILITIES", FakeReply::Text(kCapsTls));
        run.server.When("STARTTLS", Line("382 Begin TLS negotiation now").ThenListen());
        EXPECT_EQ(run.Run(), -1);
        EXPECT_EQ(std::string(run.context.statusText), stalled);
        // Nothing after the 382 is a command: no credentials went out in plain text.
        Strings expected = {"CAPABILITIES", "GROUP alt.test", "STARTTLS"};
        Strings got = run.server.Commands();
        ASSERT_GE(got.size(), expected.size());
        EXPECT_EQ(Strings(got.begin(), got.begin() + 3), expected);
        for (const std::string& cmd : got)
            EXPECT_EQ(cmd.find(kUser), std::string::npos) << cmd;
    }
}

TEST(SearchRunLogin, StopDuringTheHandshakeEndsTheRunPromptly) {
    LoginRun run(Login::Given, true);
    run.request.timeoutSeconds = 60;
    run.server.SetGreeting(FakeReply::Silent());
    kvStopSignal& stop = run.context.stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop.RequestStop();
    });
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(run.Run(), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    stopper.join();
    EXPECT_EQ(std::string(run.context.statusText),
              "ERROR: Secure connection failed: stopped during the handshake");
}

TEST(SearchRunLogin, TlsToAPlainServerFailsInPlainWords) {
    LoginRun run(Login::Given, true);
    EXPECT_EQ(run.Run(), -1);
    EXPECT_EQ(std::string(run.context.statusText),
              "ERROR: Secure connection failed: the server did not answer in TLS");
}

} // namespace
