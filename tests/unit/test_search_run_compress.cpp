// COMPRESS DEFLATE in the search run against the scripted fake server: asked
// for only when the server lists it and the request allows it, the rest of
// the run deflated with the same commands and articles as without, and a
// refusal leaving the connection as it was.
#include "fake_nntp_server.h"
#include "search_run.h"
#include "search_run_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using korvex_test::Harness;
using korvex_test::Numbers;
using korvex_test::Strings;

// The server asks for a login at GROUP; its capabilities are `caps` lines.
struct CompressRun : Harness {
    CompressRun(const std::string& caps, bool allow, const FakeReply& compressReply) {
        server.SetGroup(korvex_test::Group(10, 14, {11, 13, 14}));
        server.When("GROUP alt.test", FakeReply::Text("480 login first\r\n"), 1);
        server.When("CAPABILITIES",
                    FakeReply::Text("101 Capability list:\r\nVERSION 2\r\nREADER\r\n" + caps +
                                    "AUTHINFO USER\r\n.\r\n"));
        server.When("AUTHINFO USER *", FakeReply::Text("381 more\r\n"));
        server.When("AUTHINFO PASS *", FakeReply::Text("281 welcome\r\n"));
        server.When("COMPRESS DEFLATE", compressReply);
        request.allowPlainPassword = true;
        request.compress = allow;
        request.pipeline = 1;
        context.credentials = [](const std::string&, kvCredentials& out, std::string&) {
            out.user = "reader";
            out.password = "pw";
            return kvCredentialAnswer::Given;
        };
    }
};

// The capabilities are read at the start and again after the login.
const Strings kLogin = {"CAPABILITIES",     "GROUP alt.test", "AUTHINFO USER reader",
                        "AUTHINFO PASS pw", "CAPABILITIES",   "GROUP alt.test"};
const Strings kAfter = {"XHDR Subject 10-14", "ARTICLE 14", "ARTICLE 13", "ARTICLE 11", "QUIT"};

Strings Join(Strings a, const Strings& middle, const Strings& b) {
    a.insert(a.end(), middle.begin(), middle.end());
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What a run stored, article by article, for comparing runs.
std::vector<std::string> Texts(const kvResultSet& set) {
    std::vector<std::string> texts;
    for (int i = 0; i < set.Size(); ++i)
        texts.push_back(std::string(set.At(i).subject) + "|" + set.At(i).messageId + "|" +
                        (set.At(i).body ? set.At(i).body.get() : ""));
    return texts;
}

TEST(SearchRunCompress, DeflatedRunSendsAndStoresWhatAPlainOneDoes) {
    const FakeReply agree = FakeReply::Text("206 Compression active\r\n").ThenDeflate();
    CompressRun plain("COMPRESS DEFLATE\r\n", false, agree);
    ASSERT_EQ(plain.Run(), 3);
    EXPECT_EQ(plain.commands, Join(kLogin, {}, kAfter)) << "turned off: never asked for";

    CompressRun deflated("COMPRESS DEFLATE\r\n", true, agree);
    ASSERT_EQ(deflated.Run(), 3) << deflated.Status();
    EXPECT_EQ(deflated.commands, Join(kLogin, {"COMPRESS DEFLATE"}, kAfter));
    EXPECT_EQ(deflated.Status(), korvex_test::Success(3));
    EXPECT_EQ(deflated.Stored(), (Numbers{14, 13, 11}));
    EXPECT_EQ(Texts(deflated.results), Texts(plain.results));
    EXPECT_EQ(deflated.messages, plain.messages);
}

TEST(SearchRunCompress, RefusedOrNotOfferedGoesOnWithout) {
    struct Case {
        const char* name;
        const char* caps;
        FakeReply reply;
        bool asked;
    };
    const std::vector<Case> cases = {
        {"refused with 500", "COMPRESS DEFLATE\r\n", FakeReply::Text("500 What?\r\n"), true},
        {"refused with 403", "COMPRESS DEFLATE\r\n",
         FakeReply::Text("403 Unable to activate compression\r\n"), true},
        {"another method only", "COMPRESS GZIP\r\n", FakeReply::Text("206 yes\r\n"), false},
        {"listed among others", "COMPRESS gzip deflate\r\n",
         FakeReply::Text("500 changed its mind\r\n"), true},
        {"not listed", "", FakeReply::Text("206 yes\r\n"), false},
    };
    for (const Case& c : cases) {
        CompressRun run(c.caps, true, c.reply);
        EXPECT_EQ(run.Run(), 3) << c.name;
        EXPECT_EQ(run.Status(), korvex_test::Success(3)) << c.name;
        EXPECT_EQ(run.commands,
                  Join(kLogin, c.asked ? Strings{"COMPRESS DEFLATE"} : Strings{}, kAfter))
            << c.name;
        EXPECT_EQ(run.Stored(), (Numbers{14, 13, 11})) << c.name;
    }
}

TEST(SearchRunCompress, AgreementWithoutAStreamFailsTheRun) {
    // 206, then plain text where deflated bytes must follow: the next answer
    // cannot be read.
    CompressRun run("COMPRESS DEFLATE\r\n", true,
                    FakeReply::Text("206 Compression active\r\n221 but plain\r\n.\r\n"));
    EXPECT_EQ(run.Run(), -1);
    EXPECT_EQ(run.Status(), "ERROR: Socket read failure");
}

} // namespace

namespace {

// A connection lost in the middle of a deflated run: the new connection is
// deflated again before the search goes on where it was.
TEST(SearchRunCompress, ConnectionMadeAgainIsDeflatedAgain) {
    const FakeReply agree = FakeReply::Text("206 Compression active\r\n").ThenDeflate();
    CompressRun run("COMPRESS DEFLATE\r\n", true, agree);
    run.request.retries = 3;
    run.server.When("ARTICLE 13", FakeReply::Close(), 1);
    ASSERT_EQ(run.Run(), 3) << run.Status();
    EXPECT_EQ(run.Status(), korvex_test::Success(3));
    EXPECT_EQ(run.Stored(), (Numbers{14, 13, 11}));
    EXPECT_EQ(run.waits, (std::vector<long long>{1000}));
    // The login was asked for on the first connection only.
    EXPECT_EQ(run.commands,
              Join(kLogin, {"COMPRESS DEFLATE"},
                   {"XHDR Subject 10-14", "ARTICLE 14", "ARTICLE 13", "CAPABILITIES",
                    "GROUP alt.test", "COMPRESS DEFLATE", "ARTICLE 13", "ARTICLE 11", "QUIT"}));
}

} // namespace
