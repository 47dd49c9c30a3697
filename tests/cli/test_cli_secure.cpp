// korvex-cli over TLS and with logins against the reader daemons of
// scripts/inn-tls.sh: the results file equals the plain search's, credentials
// come from a netrc file or --user with KORVEX_PASSWORD, and nothing secret is
// written anywhere.
#include "cli_runner.h"
#include "secure_servers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

using namespace korvex_test;

class CliSecure : public SecureInnSearch {
  protected:
    void SetUp() override {
        SecureInnSearch::SetUp();
        if (IsSkipped() || HasFailure()) return;
        dir = MakeTempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        ClearVariable("KORVEX_PASSWORD");
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    // A netrc file readable by its owner only.
    std::string Netrc(const std::string& text) {
        std::string path = dir + "/netrc";
        std::filesystem::remove(path);
        FILE* f = std::fopen(path.c_str(), "w");
        std::fputs(text.c_str(), f);
        std::fclose(f);
        std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write);
        return path;
    }
    CliResult Search(const std::string& server, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"search",        "--server",          server,
                                         "--group",       "korvex.test.small", "--pattern",
                                         "kernel printer"};
        args.insert(args.end(), more.begin(), more.end());
        return RunCli(args);
    }
    std::string dir;
};

// The results file without its server and date lines, which differ by design.
std::string ResultsWithoutServerAndDate(const std::string& path) {
    std::string text = ReadFile(path);
    std::size_t at = 0;
    std::string out;
    for (int line = 0; at < text.size(); ++line) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        if (line != 3 && line != 5) out.append(text, at, end - at);
        at = end;
    }
    return out;
}

TEST_F(CliSecure, SecureSearchesSaveWhatThePlainSearchSaves) {
    const std::string plain = dir + "/plain.kvx";
    CliResult r = Search(Server(), {"--save", plain});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string expected = ResultsWithoutServerAndDate(plain);
    const std::string netrc = Netrc("machine localhost login testuser password testpass\n");

    struct Case {
        std::string server;
        std::vector<std::string> options;
        bool byEnvironment;
    };
    const Case cases[] = {
        {TlsServer(NNTPS_OPEN, true), {}, false},
        {TlsServer(NNTPS_LOGIN, true), {"--netrc-file", netrc}, false},
        {TlsServer(START_TLS_ONLY, false), {"--netrc-file", netrc}, false},
        {TlsServer(START_TLS_LOGIN, false), {"--user", "testuser"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server);
        if (c.byEnvironment) SetVariable("KORVEX_PASSWORD", kTestPassword);
        const std::string kvx = dir + "/secure.kvx";
        std::vector<std::string> options = {"--cafile", TestCaFile(), "--save", kvx};
        options.insert(options.end(), c.options.begin(), c.options.end());
        CliResult s = Search(c.server, options);
        ClearVariable("KORVEX_PASSWORD");
        ASSERT_EQ(s.exitCode, 0) << s.err;
        EXPECT_EQ(ResultsWithoutServerAndDate(kvx), expected);
        // The server is stored as typed.
        EXPECT_NE(ReadFile(kvx).find("\r\n" + c.server + "\r\n"), std::string::npos);
        for (const std::string& written : {ReadFile(kvx), s.out, s.err})
            EXPECT_EQ(written.find(kTestPassword), std::string::npos);
    }
}

TEST_F(CliSecure, FailuresExitWith2AndSayWhy) {
    const std::string safe = Netrc("machine localhost login testuser password wrongpass\n");
    const std::string other = dir + "/other-netrc";
    std::filesystem::copy_file(safe, other);
    const std::string login = TlsServer(START_TLS_LOGIN, false);
    struct Case {
        std::string server;
        std::vector<std::string> options;
        std::string last;
    };
    const Case cases[] = {
        {login, {"--netrc-file", safe}, "ERROR: Authentication failed"},
        {login,
         {"--user", "testuser"},
         "ERROR: No password for testuser: set KORVEX_PASSWORD or run at a terminal"},
        {login,
         {"--netrc-file", dir + "/absent"},
         "ERROR: Cannot read the netrc file " + dir + "/absent"},
        {TlsServer(EXPIRED, true),
         {},
         "ERROR: Secure connection failed: the server's certificate has expired"},
        {TlsServer(SELF_SIGNED, true),
         {},
         "ERROR: Secure connection failed: the server's certificate is self-signed and not "
         "trusted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last);
        std::vector<std::string> options = {"--cafile", TestCaFile()};
        options.insert(options.end(), c.options.begin(), c.options.end());
        CliResult r = Search(c.server, options);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_EQ(r.LastErrLine(), c.last);
        EXPECT_EQ(r.err.find("wrongpass"), std::string::npos);
    }
}

// A netrc file that the group or others may read is not used.
TEST_F(CliSecure, NetrcReadableByOthersIsRefused) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no group and other permission bits to check";
#else
    const std::string safe = Netrc("machine localhost login testuser password wrongpass\n");
    const std::string login = TlsServer(START_TLS_LOGIN, false);
    for (auto mode : {0644, 0640, 0604}) {
        std::filesystem::permissions(safe, static_cast<std::filesystem::perms>(mode));
        CliResult r = Search(login, {"--cafile", TestCaFile(), "--netrc-file", safe});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.LastErrLine(), "ERROR: " + safe +
                                       " can be read by other users; make it private with "
                                       "chmod 600 " +
                                       safe);
    }
#endif
}

TEST(CliSecureOptions, PasswordsAreNeverOptions) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--password", "x"},
                                               {"--pass", "x"},
                                               {"--user", ""},
                                               {"--cafile"},
                                               {"--netrc-file", ""}}) {
        std::vector<std::string> all = {
            "search", "--server", "nntps://localhost", "--group", "g", "--pattern", "p"};
        all.insert(all.end(), args.begin(), args.end());
        CliResult r = RunCli(all);
        EXPECT_EQ(r.exitCode, 64) << args[0];
    }
}

} // namespace
