// korvex-cli against the scripted fake server, as a user runs it against a
// hostile one: control bytes in the subjects and names it prints.
#include "cli_runner.h"
#include "fake_nntp_server.h"
#include "mime_encode.h"
#include "results_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

class CliFakeServer : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    CliResult Search(FakeNntpServer& server, Strings more) {
        server.Start();
        Strings args = {"search",    "--server", server.address(), "--group", "alt.test",
                        "--pattern", "match",    "--timeout",      "3"};
        args.insert(args.end(), more.begin(), more.end());
        return RunCli(args);
    }
    std::string dir;
};

// Control bytes in subjects and names, raw or MIME-encoded, reach neither
// the search's output nor show's: they are printed as pictures.
TEST_F(CliFakeServer, ControlBytesFromTheServerNeverReachTheTerminal) {
    using korvex_test::BWord;
    using korvex_test::QWord;
    const Strings subjects = {
        "a match \x1b[2J clear",
        "a match \x07 bell \r return",
        "a match \xc2\x9b"
        "31m C1",
        QWord("a match \x1b]0;owned\x07", "UTF-8"),
        QWord("a match \x9b"
              "2J",
              "ISO-8859-1"),
    };
    FakeGroup g;
    for (long n = 1; n <= 5; ++n) {
        g.headers[n] = subjects[n - 1];
        g.articles[n] = "From: " + BWord("\x1b[31mred", "UTF-8") +
                        " <r@x>\nSubject: " + subjects[n - 1] + "\nMessage-ID: <" +
                        std::to_string(n) + "@x>\n\nbody\n";
    }
    FakeNntpServer server;
    server.SetGroup(g);
    const std::string kvx = dir + "/controls.kvx";
    CliResult r = Search(server, {"--save", kvx});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(PrintableOnly(r.out)) << r.out;
    EXPECT_TRUE(PrintableOnly(r.err)) << r.err;
    CliResult shown = RunCli({"show", kvx});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(PrintableOnly(shown.out)) << shown.out;
    const std::string esc = "\xe2\x90\x9b", bel = "\xe2\x90\x87", cr = "\xe2\x90\x8d",
                      c1 = "\xef\xbf\xbd";
    for (const std::string& seen :
         {"a match " + esc + "[2J clear", "a match " + bel + " bell " + cr + " return",
          "a match " + c1 + "31m C1", "a match " + esc + "]0;owned" + bel, "a match " + c1 + "2J",
          esc + "[31mred <r@x>"})
        EXPECT_NE(shown.out.find(seen), std::string::npos) << seen << "\n" << shown.out;
}

} // namespace
