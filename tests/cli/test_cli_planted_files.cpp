// korvex-cli and files someone else planted: a netrc file that others may
// change is refused before any login is sent, and a save through another
// user's link in a shared folder is refused with the link named (POSIX).
#include "cli_runner.h"
#include "fake_nntp_server.h"
#include "run_as_posix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CliPlantedFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Folder(const char* name, mode_t mode) {
        std::string path = dir + "/" + name;
        std::filesystem::create_directory(path);
        chmod(path.c_str(), mode);
        return path;
    }
    std::string dir;
};

TEST_F(CliPlantedFiles, NetrcOthersMayChangeSendsNoLogin) {
    std::string shared = Folder("shared", 01777);
    std::string netrc = shared + "/netrc";
    {
        std::ofstream out(netrc);
        out << "machine 127.0.0.1 login reader password hunter2\n";
    }
    ASSERT_EQ(chmod(netrc.c_str(), 0600), 0);
    FakeNntpServer server;
    server.When("GROUP*", FakeReply::Text("480 Authentication required\r\n"));
    server.Start();
    CliResult r =
        RunCli({"search", "--server", server.Address(), "--group", "alt.test", "--pattern", "x",
                "--timeout", "3", "--allow-plain-password", "--netrc-file", netrc});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.LastErrLine(),
              "ERROR: " + netrc + " can be changed by other users; its logins are not used");
    for (const std::string& command : server.Commands())
        EXPECT_EQ(command.find("AUTHINFO"), std::string::npos) << command;
    EXPECT_EQ((r.out + r.err).find("hunter2"), std::string::npos);
}

TEST_F(CliPlantedFiles, SaveThroughAnotherUsersLinkInASharedFolderIsRefused) {
    if (!korvex_test::RunningAsRoot()) GTEST_SKIP() << "links of other users need root";
    const std::string kvx = dir + "/one.kvx";
    {
        std::ofstream out(kvx, std::ios::binary);
        out << ".kvx file -- do not edit!\r\np\r\nSubject\r\nhost\r\ng\r\ndate\r\n1\r\n1\r\n"
               "A <a@b>\r\ng\r\nHi\r\n<none>\r\n<1@b>\r\n<none>\r\n<none>\r\n<none>\r\n<none>\r\n"
               "<none>\r\n\r\nbody\r\n\r\n"
            << '\0' << "\r\n";
    }
    std::string victim = Folder("mine", 0700) + "/victim";
    { std::ofstream(victim) << "precious"; }
    std::string link = Folder("tmp", 01777) + "/out.csv";
    ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_EQ(lchown(link.c_str(), korvex_test::kNobody, korvex_test::kNobody), 0);
    CliResult r = RunCli({"export", kvx, "--csv", link});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("korvex-cli: " + link + " is a link in a folder other users may write"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.LastErrLine(), "Error exporting search results. (" + link + ")");
    EXPECT_EQ(ReadFile(victim), "precious");
}

} // namespace
