// Settings file: values and ranges, lines carried through a read and a write,
// and where the program's files are found or created.
#include "file_places.h"
#include "run_as_posix.h"
#include "settings_file.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

using korvex_test::ReadBytes;
using korvex_test::TempDir;
using korvex_test::WriteBytes;

// The key lines with the default values, in table order.
const std::string kMainKeys = "MAIN_X=10\nMAIN_Y=10\nMAIN_W=400\nMAIN_H=175\n";
const std::string kMsgKeys = "MSG_X=1\nMSG_Y=180\nMSG_W=600\nMSG_H=380\n";
const std::string kAllKeys = kMainKeys + kMsgKeys;

std::string Lines(int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += "line " + std::to_string(i) + "\n";
    return out;
}

std::string Geometry(const kvSettings& s) {
    char out[96];
    std::snprintf(out, sizeof out, "%d,%d,%d,%d %d,%d,%d,%d", s.mainRect.x, s.mainRect.y,
                  s.mainRect.width, s.mainRect.height, s.articleRect.x, s.articleRect.y,
                  s.articleRect.width, s.articleRect.height);
    return out;
}

const char* const kDefaults = "10,10,400,175 1,180,600,380";

struct SettingsCase {
    std::string file;     // what korvex.ini holds before start-up
    const char* geometry; // main frame and article window after reading it
    std::string written;  // the file after Quit, no window having moved
};

const SettingsCase kSettingsCases[] = {
    {"MAIN_X=2000\n", kDefaults, kAllKeys},
    {"MAIN_W=abc\n", kDefaults, "MAIN_W=400\nMAIN_X=10\nMAIN_Y=10\nMAIN_H=175\n" + kMsgKeys},
    {"MSG_H=1000\nMSG_W=50\nMSG_Y=0\nMSG_X=1001\nMAIN_H=49\nMAIN_W= +60\nMAIN_Y=-1\nMAIN_X=1000",
     "1000,10,60,175 1,0,50,1000",
     "MSG_H=1000\nMSG_W=50\nMSG_Y=0\nMSG_X=1\nMAIN_H=175\nMAIN_W=60\nMAIN_Y=10\nMAIN_X=1000\n"},
    // Not key lines: carried unchanged.
    {"main_x=5\n MAIN_X=5\nMAIN_X5\nMSG_H=100\n", "10,10,400,175 1,180,600,100",
     "main_x=5\n MAIN_X=5\nMAIN_X5\nMSG_H=100\n" + kMainKeys + "MSG_X=1\nMSG_Y=180\nMSG_W=600\n"},
    // A repeated key: the last line's value, and only that line is rewritten.
    {"MAIN_X=5 \nMAIN_X=7 \n", "7,10,400,175 1,180,600,380",
     "MAIN_X=5 \nMAIN_X=7\nMAIN_Y=10\nMAIN_W=400\nMAIN_H=175\n" + kMsgKeys},
    {"note\r\nMAIN_Y=20\r\n", "10,20,400,175 1,180,600,380",
     "note\r\nMAIN_Y=20\nMAIN_X=10\nMAIN_W=400\nMAIN_H=175\n" + kMsgKeys},
    {std::string(300, 'x') + "\n", kDefaults, std::string(300, 'x') + "\n" + kAllKeys},
    // At most 92 entries of at most 126 characters are read.
    {Lines(100) + "MAIN_X=5\n" + Lines(50), kDefaults, Lines(92) + kAllKeys},
    // The last entry read starts no line of the keys appended after it.
    {Lines(91) + std::string(300, 'x') + "\n", kDefaults,
     Lines(91) + std::string(126, 'x') + "\n" + kAllKeys},
    {"note", kDefaults, "note\n" + kAllKeys},
    {"MAIN_Y=20\nnote", "10,20,400,175 1,180,600,380",
     "MAIN_Y=20\nnote\nMAIN_X=10\nMAIN_W=400\nMAIN_H=175\n" + kMsgKeys},
    // A NUL inside a carried line keeps the rest of the line and its line end.
    {std::string("a\0b\nMAIN_X=5\n", 13), "5,10,400,175 1,180,600,380",
     std::string("a\0b\nMAIN_X=5\n", 13) + "MAIN_Y=10\nMAIN_W=400\nMAIN_H=175\n" + kMsgKeys},
    {std::string("\0\n\0", 3), kDefaults, std::string("\0\n\0\n", 4) + kAllKeys},
    {"", kDefaults, kAllKeys},
};

TEST(SettingsFile, ReadThenWriteAtQuit) {
    for (const SettingsCase& c : kSettingsCases) {
        SCOPED_TRACE(c.file.substr(0, 40));
        TempDir dir;
        std::string path = dir.path + "/korvex.ini";
        WriteBytes(path, c.file);
        kvSettings settings;
        ReadSettingsFile(path, settings);
        EXPECT_EQ(Geometry(settings), c.geometry);
        EXPECT_TRUE(WriteSettingsFile(path, settings));
        EXPECT_EQ(ReadBytes(path), c.written);
    }
}

TEST(SettingsFile, WritesCurrentValuesWithoutRangeTestAndFailsWithoutAPlace) {
    TempDir dir;
    kvSettings settings;
    ReadSettingsFile("", settings); // no settings file: the defaults
    settings.mainRect = {-5, 2000, 640, 480};
    ASSERT_TRUE(WriteSettingsFile(dir.path + "/korvex.ini", settings));
    EXPECT_EQ(ReadBytes(dir.path + "/korvex.ini"),
              "MAIN_X=-5\nMAIN_Y=2000\nMAIN_W=640\nMAIN_H=480\n" + kMsgKeys);
    EXPECT_FALSE(WriteSettingsFile(dir.path + "/missing/korvex.ini", settings));
    EXPECT_FALSE(WriteSettingsFile("", settings));
}

// The in-place rewrite (which empties the file first) is only for a directory
// that refuses new files; a full disk or any other failure must leave it alone.
TEST(SettingsFile, RewritesInPlaceOnlyForADirectoryThatRefusesWriting) {
    const struct {
        int error;
        bool inPlace;
    } cases[] = {{EACCES, true}, {EPERM, true},   {ENOSPC, false},      {EDQUOT, false},
                 {EIO, false},   {EMFILE, false}, {ENFILE, false},      {ENOMEM, false},
                 {EROFS, false}, {ENOENT, false}, {ENAMETOOLONG, false}};
    for (const auto& c : cases)
        EXPECT_EQ(MayRewriteInPlace(c.error), c.inPlace) << std::strerror(c.error);
}

// A settings file in a directory the user may not write to is still updated.
TEST(SettingsFile, ReadOnlyDirectoryRewritesInPlace) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into any directory";
    TempDir dir;
    std::string path = dir.path + "/korvex.ini";
    WriteBytes(path, "note\n");
    ASSERT_EQ(chmod(dir.path.c_str(), 0555), 0);
    kvSettings settings;
    ReadSettingsFile(path, settings);
    settings.mainRect.x = 33;
    bool written = WriteSettingsFile(path, settings);
    chmod(dir.path.c_str(), 0755);
    EXPECT_TRUE(written);
    EXPECT_EQ(ReadBytes(path), "note\nMAIN_X=33\nMAIN_Y=10\nMAIN_W=400\nMAIN_H=175\n" + kMsgKeys);
}

// workingDir, programDir, configDir and dataDir are the subdirectories w, p,
// c/sub and d of a temporary directory; `present` names those that hold the
// file beforehand. The data directory exists only when it holds the file or
// `installed` is set.
struct LocateCase {
    const char* present;
    const char* found;   // LocateFile's answer, relative to the temporary directory
    const char* created; // LocateOrCreateFile's answer
    bool programDirExists = true;
    bool configDirKnown = true;
    bool installed = false;
};

const LocateCase kLocateCases[] = {
    {"wpcd", "w/f.ini", "w/f.ini"},
    {"pcd", "p/f.ini", "p/f.ini"},
    {"cd", "c/sub/f.ini", "c/sub/f.ini"}, // the user's copy before the installed one
    {"d", "d/f.ini", "d/f.ini"},
    {"", "", "p/f.ini"},
    {"", "", "c/sub/f.ini", false}, // the configuration directory is made with its parents
    {"", "", "", false, false},
    // An installed program never creates a file beside itself, even where it could.
    {"", "", "c/sub/f.ini", true, true, true},
    {"", "", "", true, false, true},
    {"p", "p/f.ini", "p/f.ini", true, true, true},
};

// korvex.ini reached through a link in a folder others may write (or of
// another user's) is neither read nor written: the link's target keeps its
// bytes. The same link in a folder of ours is read and written through.
TEST(SettingsFile, LinkOthersMayAimIsNeitherReadNorWritten) {
    TempDir dir("settings-link");
    const std::string target = dir / "victim";
    WriteBytes(target, "MAIN_X=77\nprecious\n");
    std::vector<std::string> folders = {dir / "shared", dir / "group"};
    fs::create_directory(folders[0]);
    fs::create_directory(folders[1]);
    chmod(folders[0].c_str(), 01777);
    chmod(folders[1].c_str(), 0770);
    if (korvex_test::RunningAsRoot()) {
        folders.push_back(dir / "theirs");
        fs::create_directory(folders[2]);
        ASSERT_EQ(chown(folders[2].c_str(), korvex_test::kNobody, korvex_test::kNobody), 0);
    }
    for (const std::string& folder : folders) {
        const std::string link = folder + "/korvex.ini";
        ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
        kvSettings settings;
        ReadSettingsFile(link, settings);
        EXPECT_EQ(settings.mainRect.x, 10) << folder << ": the link was read";
        settings.mainRect.x = 5;
        EXPECT_FALSE(WriteSettingsFile(link, settings)) << folder;
        EXPECT_EQ(ReadBytes(target), "MAIN_X=77\nprecious\n") << folder;
        EXPECT_TRUE(fs::is_symlink(link)) << folder;
    }
    const std::string own = dir / "korvex.ini";
    ASSERT_EQ(symlink(target.c_str(), own.c_str()), 0);
    kvSettings settings;
    ReadSettingsFile(own, settings);
    EXPECT_EQ(settings.mainRect.x, 77);
    settings.mainRect.x = 5;
    EXPECT_TRUE(WriteSettingsFile(own, settings));
    EXPECT_EQ(ReadBytes(target).substr(0, 9), "MAIN_X=5\n");
}

TEST(LocateFile, TriesWorkingProgramConfigAndDataDirectoriesInOrder) {
    for (const LocateCase& c : kLocateCases) {
        SCOPED_TRACE(std::string(c.present) + " " + c.created + (c.installed ? " installed" : ""));
        TempDir dir;
        kvFilePlaces places{dir.path + "/w", dir.path + "/p", dir.path + "/c/sub", dir.path + "/d",
                            ""};
        if (!c.configDirKnown) places.configDir.clear();
        fs::create_directory(places.workingDir);
        if (c.programDirExists) fs::create_directory(places.programDir);
        if (c.installed) fs::create_directory(places.dataDir);
        for (const char* p = c.present; *p != '\0'; ++p) {
            std::string where = *p == 'w'   ? places.workingDir
                                : *p == 'p' ? places.programDir
                                : *p == 'c' ? places.configDir
                                            : places.dataDir;
            fs::create_directories(where);
            WriteBytes(where + "/f.ini", "x");
        }
        auto relative = [&](const std::string& path) {
            return path.empty() ? path : path.substr(dir.path.size() + 1);
        };

        EXPECT_EQ(relative(LocateFile(places, "f.ini")), c.found);
        std::string created = LocateOrCreateFile(places, "f.ini");
        EXPECT_EQ(relative(created), c.created);
        EXPECT_TRUE(created.empty() || fs::exists(created));
        // Nothing but the answer was made.
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path))
            files += entry.path().filename() == "f.ini";
        EXPECT_EQ(files, std::strlen(c.present) + (*c.found == '\0' && *c.created != '\0'));
    }
}

TEST(LocateFile, DataDirectoryIsShareKorvexBesideBin) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin", "/usr/share/korvex"},
        {"/usr/local/bin", "/usr/local/share/korvex"},
        {"/home/u/.local/bin/", "/home/u/.local/share/korvex"},
        {"/opt/korvex/build/app", "/opt/korvex/build/share/korvex"},
        {"/bin", "/share/korvex"},
        {"", ""},
    };
    for (const auto& [program, data] : cases)
        EXPECT_EQ(DataDirectoryBeside(program), data) << program;
}

TEST(LocateFile, BareProgramNameUsesTheCurrentDirectory) {
    TempDir dir;
    std::string saved = fs::current_path();
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    kvFilePlaces places{"/nonexistent-korvex-dir", "", "", "", ""};
    std::string located = LocateFile(places, "korvex.ini");
    std::string created = LocateOrCreateFile(places, "korvex.ini");
    bool exists = fs::exists(dir.path + "/korvex.ini");
    ASSERT_EQ(chdir(saved.c_str()), 0);
    EXPECT_EQ(located, "");
    EXPECT_EQ(created, "korvex.ini");
    EXPECT_TRUE(exists);
}

TEST(LocateFile, PlacesOfThisProcess) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string savedXdg = xdg != nullptr ? xdg : "";
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    kvFilePlaces places = kvFilePlaces::OfThisProcess();
    if (xdg != nullptr)
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");

    EXPECT_EQ(places.workingDir, fs::current_path().string());
    EXPECT_EQ(places.programDir, fs::read_symlink("/proc/self/exe").parent_path().string());
    EXPECT_EQ(places.configDir, "/xdg/korvex");
    EXPECT_EQ(places.dataDir,
              fs::read_symlink("/proc/self/exe").parent_path().parent_path().string() +
                  "/share/korvex");
}

} // namespace
