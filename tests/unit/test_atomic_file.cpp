// Whole-or-nothing file writes: what a save keeps of the file it replaces
// (mode, owner, symbolic links), names at the length limit, and temporary
// files removed when the process is interrupted.
#include "atomic_file.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvex_test::ReadBytes;
using korvex_test::TempDir;
using korvex_test::WriteBytes;

namespace {

long CountEntries(const std::string& directory) {
    return std::distance(fs::directory_iterator(directory), fs::directory_iterator{});
}

bool Save(const std::string& path, const char* text) {
    kvAtomicFile file(path.c_str());
    return file.Write(text) && file.Commit();
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

TEST(AtomicFile, ReplacedFileKeepsItsMode) {
    for (mode_t mode : {0600, 0640, 0604, 0644, 0660, 0755, 0400}) {
        TempDir dir("atomic-mode");
        std::string path = dir / "kept.kvx";
        WriteBytes(path, "old");
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        EXPECT_TRUE(Save(path, "new")) << std::oct << mode;
        EXPECT_EQ(ReadBytes(path), "new") << std::oct << mode;
        EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
    }
}

TEST(AtomicFile, NewFileGetsModeLessUmask) {
    for (mode_t mask : {022, 077, 002}) {
        TempDir dir("atomic-umask");
        mode_t old = umask(mask);
        bool saved = Save(dir / "new.kvx", "x");
        umask(old);
        EXPECT_TRUE(saved);
        EXPECT_EQ(ModeOf(dir / "new.kvx"), 0666 & ~mask) << std::oct << mask;
    }
}

TEST(AtomicFile, RootKeepsTheOwner) {
    if (geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
    TempDir dir("atomic-owner");
    std::string path = dir / "theirs.kvx";
    WriteBytes(path, "old");
    ASSERT_EQ(chown(path.c_str(), 4321, 8765), 0);
    EXPECT_TRUE(Save(path, "new"));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 8765u);
}

struct LinkCase {
    const char* what;
    const char* links[2][2]; // up to two links: {name, where it points}
    const char* saved;       // the name the save is given
    const char* written;     // the plain file that must receive the bytes
};

const LinkCase kLinkCases[] = {
    {"relative link", {{"link.kvx", "real.kvx"}, {}}, "link.kvx", "real.kvx"},
    {"link into a folder", {{"link.kvx", "sub/real.kvx"}, {}}, "link.kvx", "sub/real.kvx"},
    {"link from a folder", {{"sub/link.kvx", "../real.kvx"}, {}}, "sub/link.kvx", "real.kvx"},
    {"chain of two", {{"a.kvx", "b.kvx"}, {"b.kvx", "sub/real.kvx"}}, "a.kvx", "sub/real.kvx"},
    {"dangling link", {{"link.kvx", "sub/fresh.kvx"}, {}}, "link.kvx", "sub/fresh.kvx"},
};

TEST(AtomicFile, SymbolicLinksAreWrittenThrough) {
    for (const LinkCase& c : kLinkCases) {
        TempDir dir("atomic-link");
        fs::create_directory(dir / "sub");
        WriteBytes(dir / "real.kvx", "old");
        WriteBytes(dir / "sub/real.kvx", "old");
        for (const auto& link : c.links)
            if (link[0] != nullptr) {
                ASSERT_EQ(symlink(link[1], (dir / link[0]).c_str()), 0);
            }
        bool fresh = !fs::exists(dir / c.written);
        long before = CountEntries(dir.path) + CountEntries(dir / "sub");
        EXPECT_TRUE(Save(dir / c.saved, "new")) << c.what;
        EXPECT_EQ(ReadBytes(dir / c.written), "new") << c.what;
        for (const auto& link : c.links)
            if (link[0] != nullptr) {
                EXPECT_TRUE(fs::is_symlink(dir / link[0])) << c.what;
            }
        EXPECT_EQ(CountEntries(dir.path) + CountEntries(dir / "sub"), before + (fresh ? 1 : 0))
            << c.what << ": a temporary file was left behind";
    }
}

TEST(AtomicFile, AbsoluteLinkIsWrittenThrough) {
    TempDir dir("atomic-abs");
    WriteBytes(dir / "real.kvx", "old");
    ASSERT_EQ(symlink((dir / "real.kvx").c_str(), (dir / "link.kvx").c_str()), 0);
    EXPECT_TRUE(Save(dir / "link.kvx", "new"));
    EXPECT_EQ(ReadBytes(dir / "real.kvx"), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.kvx"));
}

TEST(AtomicFile, NamesUpToTheLimitSave) {
    const std::string e = "\xC3\xA9"; // two bytes
    struct {
        std::string name;
    } cases[] = {{std::string(200, 'a')},
                 {std::string(247, 'b')},
                 {std::string(248, 'c')},
                 {std::string(250, 'd')},
                 {std::string(255, 'e')},
                 {"f" + [&] {
                     std::string s;
                     for (int i = 0; i < 127; ++i)
                         s += e;
                     return s;
                 }()}}; // 255 bytes of which the cut falls inside a character
    for (const auto& c : cases) {
        TempDir dir("atomic-long");
        std::string path = dir / c.name;
        ASSERT_LE(c.name.size(), 255u);
        EXPECT_TRUE(Save(path, "new")) << c.name.size();
        EXPECT_EQ(ReadBytes(path), "new") << c.name.size();
        EXPECT_EQ(CountEntries(dir.path), 1) << c.name.size();
        // Replacing it works too.
        EXPECT_TRUE(Save(path, "newer")) << c.name.size();
        EXPECT_EQ(ReadBytes(path), "newer") << c.name.size();
    }
}

// A child process opens a file for saving, then waits to be signalled; the
// temporary file must be gone after it dies of the signal.
TEST(AtomicFile, SignalRemovesTheTemporary) {
    for (int sig : {SIGINT, SIGTERM}) {
        TempDir dir("atomic-signal");
        WriteBytes(dir / "kept.kvx", "old");
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RemoveTemporariesOnSignals();
            kvAtomicFile file((dir / "kept.kvx").c_str());
            bool ok = file.IsOpen() && file.Write("half written");
            char c = ok ? 'y' : 'n';
            (void)!write(ready[1], &c, 1);
            for (;;)
                pause();
        }
        close(ready[1]);
        char c = 0;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        EXPECT_EQ(c, 'y');
        EXPECT_EQ(CountEntries(dir.path), 2); // the temporary exists while it runs
        kill(child, sig);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "signal " << sig;
        EXPECT_EQ(CountEntries(dir.path), 1) << "signal " << sig;
        EXPECT_EQ(ReadBytes(dir / "kept.kvx"), "old");
    }
}

} // namespace
