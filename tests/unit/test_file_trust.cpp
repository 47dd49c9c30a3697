// Files others may change or plant: links in shared folders (saved through or
// refused), the trust check on settings files, links not followed when such a
// file is read, private temporary files, and a process kept out of core dumps.
// Foreign owners need root; the parts that depend on who runs run again as
// "nobody" in a child process.
#include "atomic_file.h"
#include "credentials.h"
#include "file_system.h"
#include "file_trust.h"
#include "run_as_posix.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvex_test::kNobody;
using korvex_test::ReadBytes;
using korvex_test::RunAs;
using korvex_test::RunningAsRoot;
using korvex_test::TempDir;
using korvex_test::WriteBytes;

namespace {

constexpr uid_t kDaemon = 1; // a user that is neither root nor nobody

bool Save(const std::string& path, const char* text) {
    kvAtomicFile file(path.c_str());
    return file.Write(text) && file.Commit();
}

long CountEntries(const std::string& directory) {
    return std::distance(fs::directory_iterator(directory), fs::directory_iterator{});
}

std::string MakeFolder(const TempDir& dir, const char* name, mode_t mode) {
    std::string path = dir / name;
    fs::create_directory(path);
    chmod(path.c_str(), mode); // past the umask
    return path;
}

kvFileTrust TrustOf(const std::string& path) {
    kvFileTrust trust = kvFileTrust::Trusted;
    std::FILE* file = OpenSettingsStream(path, trust);
    if (file == nullptr) return kvFileTrust::OthersMayChange;
    std::fclose(file);
    return trust;
}

// A save through link must fail, leave target, the link and its folder as
// they were, and name the link refused (refused: link itself or one it leads to).
void ExpectRefused(const std::string& link, const std::string& refused, const std::string& target,
                   const char* what) {
    SCOPED_TRACE(what);
    std::string folder = link.substr(0, link.rfind('/'));
    long before = CountEntries(folder);
    EXPECT_FALSE(Save(link, "planted"));
    EXPECT_EQ(ReadBytes(target), "precious");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(CountEntries(folder), before) << "a temporary file was left behind";
    std::string why = TakeSaveProblem();
    EXPECT_NE(why.find(refused), std::string::npos) << why;
    EXPECT_TRUE(TakeSaveProblem().empty()) << "told only once";
}

TEST(SharedFolderLinks, PlantedLinksAreRefusedOwnLinksWrittenThrough) {
    for (mode_t shared : {01777, 0777, 0770, 0730, 01770}) {
        SCOPED_TRACE(std::to_string(shared));
        TempDir dir("links");
        ASSERT_FALSE(dir.path.empty());
        std::string mine = MakeFolder(dir, "mine", 0700);
        std::string folder = MakeFolder(dir, "shared", shared);
        std::string victim = mine + "/victim.kvx";
        WriteBytes(victim, "precious");

        // A link of our own in the shared folder is written through.
        ASSERT_EQ(symlink(victim.c_str(), (folder + "/own.kvx").c_str()), 0);
        EXPECT_TRUE(Save(folder + "/own.kvx", "ours"));
        EXPECT_EQ(ReadBytes(victim), "ours");
        EXPECT_TRUE(TakeSaveProblem().empty());
        WriteBytes(victim, "precious");

        if (!RunningAsRoot()) continue;
        // Planted by someone else: refused, directly or further down a chain
        // of links that starts in a folder of ours.
        std::string planted = folder + "/planted.kvx";
        ASSERT_EQ(symlink(victim.c_str(), planted.c_str()), 0);
        ASSERT_EQ(lchown(planted.c_str(), kNobody, kNobody), 0);
        ExpectRefused(planted, planted, victim, "planted link");
        ASSERT_EQ(symlink(planted.c_str(), (mine + "/chain.kvx").c_str()), 0);
        ExpectRefused(mine + "/chain.kvx", planted, victim, "chain through a planted link");

        // The folder's owner's links are followed, as the kernel does.
        ASSERT_EQ(chown(folder.c_str(), kNobody, kNobody), 0);
        EXPECT_TRUE(Save(planted, "owner's")) << "a link of the folder's owner";
        EXPECT_EQ(ReadBytes(victim), "owner's");
    }
    if (!RunningAsRoot()) GTEST_SKIP() << "links of other users need root";
}

TEST(SharedFolderLinks, AnyoneElsesLinkInAFolderOnlyWeWriteIsFollowed) {
    if (!RunningAsRoot()) GTEST_SKIP() << "links of other users need root";
    TempDir dir("links-own");
    WriteBytes(dir / "real.kvx", "old");
    ASSERT_EQ(symlink("real.kvx", (dir / "link.kvx").c_str()), 0);
    ASSERT_EQ(lchown((dir / "link.kvx").c_str(), kNobody, kNobody), 0);
    EXPECT_TRUE(Save(dir / "link.kvx", "new"));
    EXPECT_EQ(ReadBytes(dir / "real.kvx"), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.kvx"));
}

TEST(SharedFolderLinks, AsAPlainUserOnlyItsOwnAndTheFolderOwnersLinksCount) {
    if (!RunningAsRoot()) GTEST_SKIP() << "becoming another user needs root";
    TempDir dir("links-user");
    ASSERT_EQ(chmod(dir.path.c_str(), 0755), 0);
    std::string home = MakeFolder(dir, "home", 0700);
    ASSERT_EQ(chown(home.c_str(), kNobody, kNobody), 0);
    std::string victim = home + "/victim.kvx";
    WriteBytes(victim, "precious");
    ASSERT_EQ(chown(victim.c_str(), kNobody, kNobody), 0);
    std::string tmp = MakeFolder(dir, "tmp", 01777); // owned by root, like /tmp
    struct Case {
        const char* name;
        uid_t owner;
        bool followed;
    } cases[] = {{"daemon.kvx", kDaemon, false}, {"root.kvx", 0, true}, {"own.kvx", kNobody, true}};
    for (const Case& c : cases) {
        std::string link = tmp + "/" + c.name;
        ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
        ASSERT_EQ(lchown(link.c_str(), c.owner, c.owner), 0);
        bool saved = RunAs(kNobody, [&] { return Save(link, "written"); });
        EXPECT_EQ(saved, c.followed) << c.name;
        EXPECT_EQ(ReadBytes(victim), c.followed ? "written" : "precious") << c.name;
        WriteBytes(victim, "precious");
    }
}

TEST(SharedFolderLinks, TemporaryIsPrivateNewAndBesideTheTarget) {
    TempDir dir("links-temp");
    std::string mine = MakeFolder(dir, "mine", 0700);
    std::string links = MakeFolder(dir, "links", 0700);
    ASSERT_EQ(symlink((mine + "/real.txt").c_str(), (links + "/link.txt").c_str()), 0);
    mode_t old = umask(0);
    {
        kvAtomicFile file((links + "/link.txt").c_str());
        ASSERT_TRUE(file.IsOpen());
        EXPECT_EQ(CountEntries(links), 1) << "the temporary goes beside the link's target";
        ASSERT_EQ(CountEntries(mine), 1);
        for (const auto& entry : fs::directory_iterator(mine)) {
            struct stat info {};
            ASSERT_EQ(lstat(entry.path().c_str(), &info), 0);
            EXPECT_TRUE(S_ISREG(info.st_mode));
            EXPECT_EQ(info.st_mode & 07777, 0600u) << "even with umask 0";
            EXPECT_EQ(info.st_nlink, 1u);
        }
    }
    umask(old);
    EXPECT_EQ(CountEntries(mine), 0);
}

TEST(FileTrust, OwnerAndWriteBitsOfTheFileAndItsFolder) {
    TempDir dir("trust");
    struct Case {
        mode_t folder, file;
        kvFileTrust trust;
    } cases[] = {
        {0700, 0600, kvFileTrust::Trusted},         {0755, 0644, kvFileTrust::Trusted},
        {0755, 0444, kvFileTrust::Trusted},         {0700, 0620, kvFileTrust::OthersMayChange},
        {0700, 0602, kvFileTrust::OthersMayChange}, {0770, 0600, kvFileTrust::OthersMayChange},
        {0707, 0600, kvFileTrust::OthersMayChange}, {01777, 0600, kvFileTrust::OthersMayChange},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string folder = MakeFolder(dir, std::to_string(n++).c_str(), c.folder);
        std::string file = folder + "/korvex.dat";
        WriteBytes(file, "[Settings]\n");
        ASSERT_EQ(chmod(file.c_str(), c.file), 0);
        EXPECT_EQ(TrustOf(file), c.trust) << std::oct << c.folder << " " << c.file;
    }
    // A link from a folder of ours to a file in a shared folder: the file's folder counts.
    std::string shared = MakeFolder(dir, "shared", 0777);
    WriteBytes(shared + "/korvex.dat", "[Settings]\n");
    ASSERT_EQ(chmod((shared + "/korvex.dat").c_str(), 0600), 0);
    ASSERT_EQ(symlink((shared + "/korvex.dat").c_str(), (dir / "link.dat").c_str()), 0);
    EXPECT_EQ(TrustOf(dir / "link.dat"), kvFileTrust::OthersMayChange);

    if (!RunningAsRoot()) GTEST_SKIP() << "files of other users need root";
    // Root trusts only its own files; a plain user its own and root's.
    std::string other = dir / "other.dat";
    WriteBytes(other, "[Settings]\n");
    ASSERT_EQ(chmod(dir.path.c_str(), 0755), 0);
    ASSERT_EQ(chmod(other.c_str(), 0644), 0);
    EXPECT_EQ(TrustOf(other), kvFileTrust::Trusted) << "root's own";
    EXPECT_TRUE(RunAs(kNobody, [&] { return TrustOf(other) == kvFileTrust::Trusted; }))
        << "root's file, read by a plain user";
    ASSERT_EQ(chown(other.c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(TrustOf(other), kvFileTrust::OthersMayChange) << "a plain user's file, read by root";
    EXPECT_TRUE(RunAs(kNobody, [&] { return TrustOf(other) == kvFileTrust::Trusted; }))
        << "a plain user's own file";
    ASSERT_EQ(chown(other.c_str(), kDaemon, kDaemon), 0);
    EXPECT_TRUE(RunAs(kNobody, [&] { return TrustOf(other) == kvFileTrust::OthersMayChange; }))
        << "another plain user's file";
}

TEST(FileTrust, ReadingFollowsNoLinkInASharedFolderAndWaitsOnNoPipe) {
    TempDir dir("trust-read");
    std::string mine = MakeFolder(dir, "mine", 0700);
    WriteBytes(mine + "/real.ini", "MAIN_X=5\n");
    for (mode_t shared : {0777, 01777, 0770}) {
        std::string folder = MakeFolder(dir, ("shared" + std::to_string(shared)).c_str(), shared);
        std::string link = folder + "/korvex.ini";
        ASSERT_EQ(symlink((mine + "/real.ini").c_str(), link.c_str()), 0);
        errno = 0;
        int fd = OpenSettingsFile(link);
        EXPECT_EQ(fd, -1) << std::oct << shared;
        EXPECT_EQ(errno, ELOOP) << std::oct << shared;
        if (fd >= 0) close(fd);
    }
    // In a folder of ours a link is the user's own doing: followed.
    ASSERT_EQ(symlink((mine + "/real.ini").c_str(), (dir / "korvex.ini").c_str()), 0);
    int fd = OpenSettingsFile(dir / "korvex.ini");
    EXPECT_GE(fd, 0);
    if (fd >= 0) close(fd);
    if (RunningAsRoot()) {
        // A folder of another user's: the link there is theirs to aim.
        std::string theirs = MakeFolder(dir, "theirs", 0755);
        ASSERT_EQ(symlink((mine + "/real.ini").c_str(), (theirs + "/korvex.ini").c_str()), 0);
        ASSERT_EQ(chown(theirs.c_str(), kNobody, kNobody), 0);
        errno = 0;
        EXPECT_EQ(OpenSettingsFile(theirs + "/korvex.ini"), -1);
        EXPECT_EQ(errno, ELOOP);
    }
    // A pipe planted under the file's name neither blocks the open nor is read.
    ASSERT_EQ(mkfifo((dir / "korvex.dat").c_str(), 0600), 0);
    kvFileTrust trust = kvFileTrust::Trusted;
    EXPECT_EQ(OpenSettingsStream(dir / "korvex.dat", trust), nullptr);
}

// The settings file the program makes for itself where none exists: a link
// leading nowhere, planted under its name, makes no file where it points.
TEST(FileTrust, NewEmptySettingsFileFollowsNoLink) {
    TempDir dir("trust-create");
    ASSERT_EQ(symlink((dir / "aimed-at").c_str(), (dir / "korvex.ini").c_str()), 0);
    EXPECT_TRUE(CreateEmptyFile(dir / "korvex.ini")) << "something is there already";
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "aimed-at")));
    EXPECT_TRUE(CreateEmptyFile(dir / "fresh.ini"));
    EXPECT_TRUE(fs::is_regular_file(dir / "fresh.ini"));
    WriteBytes(dir / "kept.ini", "MAIN_X=5\n");
    EXPECT_TRUE(CreateEmptyFile(dir / "kept.ini"));
    EXPECT_EQ(ReadBytes(dir / "kept.ini"), "MAIN_X=5\n") << "never truncated";
    EXPECT_FALSE(CreateEmptyFile(dir / "no-such-folder/korvex.ini"));
}

TEST(ProcessSecrets, NoCoreDumpAndNoAttachOnceSecretsAreKept) {
    // In a child: the test process itself stays dumpable for debuggers.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool done = KeepSecretsOutOfDumps();
        struct rlimit core {};
        bool ok = done && prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 &&
                  getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_cur == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace
