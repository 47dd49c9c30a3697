// The netrc file: finding an entry, refusing a file others can read, and
// remembering a login atomically with mode 0600.
#include "netrc_file.h"
#include "run_as_posix.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using korvex_test::ReadBytes;
using korvex_test::TempDir;
using korvex_test::WriteBytes;

TEST(Netrc, FindsTheEntryForAHost) {
    const std::string text = "# ftp and curl read this file\n"
                             "machine ftp.example.org login ftpuser password ftppass\n"
                             "machine news.example.org\n"
                             "  login reader\n"
                             "  password \"two words\"\n"
                             "macdef init\nmachine news.example.org login macro password no\n\n"
                             "machine quoted.example.org login \"a\\\"b\" password p\\\\q\n"
                             "machine nopass.example.org login solo\n"
                             "default login anonymous password guest@\n";
    struct Case {
        const char* host;
        bool found;
        const char* user;
        const char* password;
    };
    const Case cases[] = {
        {"news.example.org", true, "reader", "two words"},
        {"NEWS.Example.ORG", true, "reader", "two words"},
        {"ftp.example.org", true, "ftpuser", "ftppass"},
        {"quoted.example.org", true, "a\"b", "p\\\\q"},
        {"nopass.example.org", true, "solo", ""},
        {"other.example.org", true, "anonymous", "guest@"},
    };
    for (const Case& c : cases) {
        kvCredentials login;
        EXPECT_EQ(FindNetrcEntry(text, c.host, login), c.found) << c.host;
        EXPECT_EQ(login.user, c.user) << c.host;
        EXPECT_EQ(login.password, c.password) << c.host;
    }
    kvCredentials none;
    EXPECT_FALSE(FindNetrcEntry("machine a login b password c\n", "news.example.org", none));
    EXPECT_FALSE(FindNetrcEntry("", "news.example.org", none));
    // The password word of one entry is never taken for another host's name.
    EXPECT_FALSE(FindNetrcEntry("machine a login b password news\n", "news", none));
}

TEST(Netrc, FileThatOthersCanReadIsRefused) {
    TempDir dir("netrc");
    ASSERT_FALSE(dir.path.empty());
    const std::string path = dir / "netrc";
    WriteBytes(path, "machine news.example.org login reader password secret\n");
    struct Case {
        mode_t mode;
        kvNetrcStatus status;
    };
    const Case cases[] = {{0600, kvNetrcStatus::Found},  {0400, kvNetrcStatus::Found},
                          {0640, kvNetrcStatus::Unsafe}, {0604, kvNetrcStatus::Unsafe},
                          {0644, kvNetrcStatus::Unsafe}, {0620, kvNetrcStatus::Unsafe}};
    for (const Case& c : cases) {
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        kvCredentials login;
        EXPECT_EQ(ReadNetrcFile(path, "news.example.org", login), c.status) << std::oct << c.mode;
        if (c.status != kvNetrcStatus::Found) {
            EXPECT_TRUE(login.password.empty());
        }
    }
    kvCredentials login;
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(ReadNetrcFile(path, "other.example.org", login), kvNetrcStatus::NotFound);
    EXPECT_EQ(ReadNetrcFile(dir / "absent", "news.example.org", login), kvNetrcStatus::Missing);
    EXPECT_EQ(ReadNetrcFile(dir.path, "news.example.org", login), kvNetrcStatus::Unreadable);
}

TEST(Netrc, FileOthersMayChangeIsRefused) {
    TempDir dir("netrc-trust");
    ASSERT_FALSE(dir.path.empty());
    const std::string entry = "machine news.example.org login reader password secret\n";
    auto statusOf = [](const std::string& path) {
        kvCredentials login;
        kvNetrcStatus status = ReadNetrcFile(path, "news.example.org", login);
        if (status != kvNetrcStatus::Found && !login.password.empty())
            ADD_FAILURE() << path << ": a refused file's password was kept";
        return status;
    };
    // A private file in a folder the group or others may write: anyone
    // there can put a file of theirs in its place.
    std::string lastShared;
    for (mode_t folder : {0770, 0777, 01777, 0703}) {
        std::string shared = dir / ("shared" + std::to_string(folder));
        lastShared = shared;
        std::filesystem::create_directory(shared);
        ASSERT_EQ(chmod(shared.c_str(), folder), 0);
        WriteBytes(shared + "/netrc", entry);
        ASSERT_EQ(chmod((shared + "/netrc").c_str(), 0600), 0);
        EXPECT_EQ(statusOf(shared + "/netrc"), kvNetrcStatus::Untrusted) << std::oct << folder;
        // Not even our own link there is followed.
        ASSERT_EQ(symlink((dir / "mine").c_str(), (shared + "/link").c_str()), 0);
        WriteBytes(dir / "mine", entry);
        ASSERT_EQ(chmod((dir / "mine").c_str(), 0600), 0);
        EXPECT_EQ(statusOf(shared + "/link"), kvNetrcStatus::Untrusted) << std::oct << folder;
    }
    EXPECT_EQ(statusOf(dir / "mine"), kvNetrcStatus::Found);

    // The refusal names the file, never its password.
    kvCredentials out;
    std::string problem;
    std::string shared = lastShared + "/netrc";
    EXPECT_EQ(NetrcCredentials(shared)("news.example.org", out, problem),
              kvCredentialAnswer::Refused);
    EXPECT_NE(problem.find(shared), std::string::npos) << problem;
    EXPECT_EQ(problem.find("secret"), std::string::npos) << problem;
    EXPECT_TRUE(out.password.empty());

    if (!korvex_test::RunningAsRoot()) GTEST_SKIP() << "files of other users need root";
    ASSERT_EQ(chown((dir / "mine").c_str(), korvex_test::kNobody, korvex_test::kNobody), 0);
    EXPECT_EQ(statusOf(dir / "mine"), kvNetrcStatus::Untrusted) << "another user's file";
}

TEST(Netrc, RememberWritesAPrivateFileAndReplacesTheHostsEntry) {
    TempDir dir("netrc");
    ASSERT_FALSE(dir.path.empty());
    const std::string path = dir / "netrc";
    mode_t saved = umask(0);
    kvCredentials first;
    first.user = "reader";
    first.password = "old";
    std::string problem;
    ASSERT_TRUE(RememberInNetrc(path, "news.example.org", first, problem)) << problem;
    umask(saved);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadBytes(path), "machine news.example.org login reader password old\n");

    WriteBytes(path, "machine a.example login x password y\n"
                     "machine news.example.org login reader password old\n"
                     "default login anonymous password guest");
    kvCredentials second;
    second.user = "reader";
    second.password = "new pass\"word";
    ASSERT_TRUE(RememberInNetrc(path, "NEWS.example.org", second, problem)) << problem;
    EXPECT_EQ(ReadBytes(path), "machine a.example login x password y\n"
                               "default login anonymous password guest\n"
                               "machine NEWS.example.org login reader password "
                               "\"new pass\\\"word\"\n");
    // What was written reads back as written.
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    kvCredentials back;
    EXPECT_EQ(ReadNetrcFile(path, "news.example.org", back), kvNetrcStatus::Found);
    EXPECT_EQ(back.user, "reader");
    EXPECT_EQ(back.password, "new pass\"word");
    EXPECT_FALSE(RememberInNetrc(dir / "no-such-dir/netrc", "h", second, problem));
    EXPECT_FALSE(problem.empty());
}

} // namespace
