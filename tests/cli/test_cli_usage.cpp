// korvex-cli's answers to wrong or missing arguments, and to unreachable servers.
#include "cli_runner.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(CliUsage, BadArgumentsGetAMessageAndStatus64) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command"},
        {{"search", "--group", "g", "--pattern", "p"}, "search needs --server"},
        {{"search", "--server", "h", "--pattern", "p"}, "search needs --group"},
        {{"search", "--server", "h", "--group", "g"}, "search needs --pattern"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--header", "X-Foo"},
         "unknown header \"X-Foo\"; one of Subject, Keywords, Summary, Date, From, Reply-To, "
         "Message-ID, Organization\n"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--max-articles", "-5"},
         "--max-articles takes a whole number"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--max-headers", "12345678"},
         "--max-headers takes a whole number"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--max-headers", "wholly"},
         "--max-headers takes a whole number from 1 to 9999999, or \"all\" or \"whole\""},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--max-articles", "whole"},
         "--max-articles takes a whole number from 1 to 9999999, or \"all\"\n"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--time-limit", "1000"},
         "--time-limit takes whole minutes"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--timeout", "0"},
         "--timeout takes whole seconds"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--mode", "some"},
         "--mode takes any, all or phrase"},
        {{"search", "--server", "h", "--group", "g", "--pattern"}, "--pattern needs a value"},
        {{"search", "--server", "h", "--group", "g\r\nQUIT", "--pattern", "p"},
         "--group must be a single line"},
        {{"search", "--server", "h", "--group", "g", "--pattern", std::string(300, 'p')},
         "--pattern is longer than 255 characters"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--pipeline", "0"},
         "--pipeline takes a whole number of commands from 1 to 1024"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--pipeline", "1025"},
         "--pipeline takes a whole number of commands from 1 to 1024"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--pipeline", "8x"},
         "--pipeline takes a whole number of commands from 1 to 1024"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--retries", "11"},
         "--retries takes a whole number of reconnects from 0 to 10"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--retries", "-1"},
         "--retries takes a whole number of reconnects from 0 to 10"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--retries", "two"},
         "--retries takes a whole number of reconnects from 0 to 10"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--retries", ""},
         "--retries takes a whole number of reconnects from 0 to 10"},
        {{"show", "a.kvx", "--retries", "1"}, "unknown option --retries for show"},
        {{"show"}, "show needs a results file"},
        {{"show", "a.kvx", "--pattern", "x"}, "unknown option --pattern for show"},
        {{"show", "a.kvx", "--csv", "x.csv"}, "unknown option --csv for show"},
        {{"show", "a.kvx", "--no-body"}, "--no-body belongs to search and export"},
        {{"export", "a.kvx", "--no-compress"}, "--no-compress belongs to search"},
        {{"show", "a.kvx", "--no-server-filter"}, "--no-server-filter belongs to search"},
        {{"export"}, "export needs a results file"},
        {{"export", "a.kvx"}, "export needs --csv, --jsonl or --mbox"},
        {{"export", "a.kvx", "--report", "r.txt"}, "unknown option --report for export"},
        {{"export", "a.kvx", "--csv", "x.csv", "--no-body"}, "--no-body goes with --jsonl"},
        {{"search", "--server", "h", "--group", "g", "--pattern", "p", "--no-body"},
         "--no-body goes with --jsonl"},
        {{"search", "--server", "h", "--group", "a.one,,a.two", "--pattern", "p"},
         "--group: an empty item in the group list"},
        {{"search", "--server", "h", "--group", "alt.[ab", "--pattern", "p"},
         "--group: \"alt.[ab\" has a '[' without its ']'"},
        {{"search", "--server", "h", "--group", "!alt.*", "--pattern", "p"},
         "--group: the group list only excludes groups"},
        {{"search", "--server", "h", "--group", "alt.*", "--pattern", "p", "--csv", "x.csv"},
         "--csv, --jsonl and --mbox take one group"},
        {{"search", "--server", "h", "--group", "a,b", "--pattern", "p", "--mbox", "x.mbox"},
         "--csv, --jsonl and --mbox take one group"},
    };
    for (const Case& c : cases) {
        CliResult r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, 64) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(CliUsage, HelpPrintsUsageAndSucceeds) {
    CliResult r = RunCli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("korvex-cli search"), std::string::npos);
    // Searching several groups: the option, the --save directory, the refused exports.
    EXPECT_NE(r.out.find("--group GROUPS"), std::string::npos);
    EXPECT_NE(r.out.find("[--save FILE.kvx|DIR]"), std::string::npos);
    EXPECT_NE(r.out.find("comp.lang.*,!comp.lang.java.*"), std::string::npos);
    EXPECT_NE(r.out.find("--jsonl and --mbox are refused"), std::string::npos);
}

TEST(CliUsage, HelpAndVersionAnswerOnStandardOutputWhereverTheyStand) {
    const std::vector<std::string> cases[] = {
        {"--help"},
        {"-h"},
        {"help"},
        {"search", "--server", "h", "--help"},
        {"show", "-h"},
        {"--version"},
        {"-V"},
        {"search", "--version", "--group"},
        {"show", "a.kvx", "-V"},
    };
    for (const auto& args : cases) {
        bool version = args.back() == "--version" || args.back() == "-V" ||
                       (args.size() > 1 && args[1] == "--version");
        CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << args.back();
        EXPECT_TRUE(r.err.empty()) << r.err;
        if (version) {
            // The program's version, then the build's: the project version and maybe a commit.
            EXPECT_EQ(r.out.rfind("Korvex 2.000 (build 2.0.0", 0), 0u) << r.out;
            EXPECT_EQ(r.out.substr(r.out.size() - 2), ")\n") << r.out;
            EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
        } else {
            EXPECT_EQ(r.out.rfind("usage:\n  korvex-cli search", 0), 0u) << r.out;
            EXPECT_NE(r.out.find("korvex-cli --help | --version\n"), std::string::npos);
        }
    }
}

TEST(CliUsage, FailuresExitWith2AndTheReasonLast) {
    // Nothing listens on port 1 of loopback.
    CliResult r = RunCli({"search", "--server", "127.0.0.1:1", "--group", "g", "--pattern", "p"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.LastErrLine(), "ERROR: Can't connect to server");
    EXPECT_NE(r.err.find("Korvex: Connecting to 127.0.0.1:1...\n"), std::string::npos);
    EXPECT_TRUE(r.out.empty());

    // A first label over 63 characters fails in the resolver without any query leaving the machine.
    const std::string unresolvable = "no-such-host-" + std::string(60, 'x') + ".invalid";
    r = RunCli({"search", "--server", unresolvable, "--group", "g", "--pattern", "p", "--quiet"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "ERROR: Host not found\n");

    std::string dir = MakeTempDir();
    r = RunCli({"show", dir + "/missing.kvx"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.LastErrLine().find("Error loading search results."), std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
