// The settings kept beside the window geometry in korvex.ini: recent results
// files and column widths read from and written into a real settings file,
// long lines, older files without the keys, and the recent list's rules.
#include "settings_extra.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using korvex_test::ReadBytes;
using korvex_test::TempDir;
using korvex_test::WriteBytes;

class SettingsExtraTest : public ::testing::Test {
  protected:
    kvSettings Read(const std::string& text) {
        WriteBytes(path, text);
        kvSettings settings;
        ReadSettingsFile(path, settings);
        return settings;
    }
    kvSettings WriteAndReadBack(kvSettings& settings) {
        EXPECT_TRUE(WriteSettingsFile(path, settings));
        kvSettings again;
        ReadSettingsFile(path, again);
        return again;
    }
    TempDir temp{"settings-extra"};
    std::string path = temp.path + "/korvex.ini";
};

TEST_F(SettingsExtraTest, AnOlderFileHasNoRecentFilesAndKeepsItsGeometry) {
    kvSettings settings = Read("MAIN_X=30\n; a comment\nMSG_W=700\n");
    EXPECT_TRUE(ReadRecentFiles(settings).empty());
    std::string value;
    EXPECT_FALSE(ReadExtraSetting(settings, "COLUMN1_W", value));
    EXPECT_EQ(ReadNumberSetting(settings, "COLUMN1_W", 250, 20, 2000), 250);

    WriteRecentFiles(settings, {"/data/a.kvx", "/data/b.kvx"});
    kvSettings again = WriteAndReadBack(settings);
    EXPECT_EQ(ReadRecentFiles(again), (std::vector<std::string>{"/data/a.kvx", "/data/b.kvx"}));
    EXPECT_EQ(again.mainRect.x, 30);
    EXPECT_EQ(again.articleRect.width, 700);
    std::string text = ReadBytes(path);
    EXPECT_NE(text.find("; a comment\n"), std::string::npos);
    EXPECT_NE(text.find("RECENT1=/data/a.kvx\nRECENT2=/data/b.kvx\n"), std::string::npos) << text;
}

TEST_F(SettingsExtraTest, RewritingReusesTheLinesAndDropsEmptyOnes) {
    kvSettings settings = Read("RECENT1=/old/one.kvx\nMAIN_W=500\nRECENT2=/old/two.kvx\n");
    EXPECT_EQ(ReadRecentFiles(settings),
              (std::vector<std::string>{"/old/one.kvx", "/old/two.kvx"}));
    // Many rewrites in one run: the entries (at most 100 are written) do not
    // grow with them.
    const std::size_t entries = settings.lines.size();
    for (int i = 0; i < 200; ++i)
        WriteRecentFiles(settings, {"/n/" + std::to_string(i) + ".kvx", "/m.kvx"});
    WriteRecentFiles(settings, {"/n/199.kvx"});
    EXPECT_LE(settings.lines.size(), entries);
    kvSettings again = WriteAndReadBack(settings);
    EXPECT_EQ(ReadRecentFiles(again), std::vector<std::string>{"/n/199.kvx"});
    EXPECT_EQ(again.mainRect.width, 500);
    std::string text = ReadBytes(path);
    EXPECT_EQ(text.find("RECENT2"), std::string::npos) << text;
    EXPECT_LT(text.size(), 120u) << text;
}

TEST_F(SettingsExtraTest, APathLongerThanOneEntryComesBackWhole) {
    std::string deep = "/home/user";
    while (deep.size() < 300)
        deep += "/a-rather-long-directory-name";
    deep += "/results.kvx";
    kvSettings settings = Read("MAIN_X=20\n");
    WriteRecentFiles(settings, {deep, "/short.kvx"});
    kvSettings again = WriteAndReadBack(settings);
    EXPECT_GT(again.lines.size(), 4u); // the reader split the long line
    EXPECT_EQ(ReadRecentFiles(again), (std::vector<std::string>{deep, "/short.kvx"}));
    // And once more through a rewrite of the split line.
    WriteRecentFiles(again, {"/short.kvx", deep});
    kvSettings third = WriteAndReadBack(again);
    EXPECT_EQ(ReadRecentFiles(third), (std::vector<std::string>{"/short.kvx", deep}));
    EXPECT_EQ(third.mainRect.x, 20);
}

TEST_F(SettingsExtraTest, GeometryKeysAndOtherKeysAreNotTakenForExtraSettings) {
    kvSettings settings =
        Read("RECENT10=/not/this.kvx\nRECENT1X=/nor/this.kvx\nRECENT3=/third.kvx\r\n");
    // CR LF files from another system read the same.
    EXPECT_EQ(ReadRecentFiles(settings), std::vector<std::string>{"/third.kvx"});
    EXPECT_EQ(ReadNumberSetting(Read("COLUMN1_W=12x\n"), "COLUMN1_W", 250, 20, 2000), 250);
    EXPECT_EQ(ReadNumberSetting(Read("COLUMN1_W=5\n"), "COLUMN1_W", 250, 20, 2000), 250);
    EXPECT_EQ(ReadNumberSetting(Read("COLUMN1_W=333\n"), "COLUMN1_W", 250, 20, 2000), 333);
}

TEST(RecentFiles, NewestFirstWithoutRepeatsAtMostFive) {
    std::vector<std::string> list;
    for (const char* path : {"/a", "/b", "/c", "/b", "/d", "/e", "/f"})
        list = WithRecentFile(list, path);
    EXPECT_EQ(list, (std::vector<std::string>{"/f", "/e", "/d", "/b", "/c"}));
    // A path the file could not keep leaves the list as it was.
    EXPECT_EQ(WithRecentFile(list, "/with\nline-break"), list);
    EXPECT_EQ(WithRecentFile(list, std::string(2000, 'x')), list);
    EXPECT_EQ(WithRecentFile({}, ""), std::vector<std::string>{});
}

} // namespace
