// The netrc file: finding an entry, refusing a file others can read, and
// remembering a login atomically with mode 0600.
#include "netrc_file.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
