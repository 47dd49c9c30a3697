// Where the desktop program's files go on Windows: beside the program when it
// can write there, else in %APPDATA%\Korvex (the Windows directory is not
// writable for users), and the settings file written there and read back.
#include "file_places.h"
#include "file_system.h"
#include "settings_file.h"
#include "temp_files.h"
#include "user_places.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <windows.h>

namespace fs = std::filesystem;
using korvex_test::ReadBytes;
using korvex_test::TempDir;
using korvex_test::WriteBytes;

namespace {

class ScopedAppData {
  public:
    explicit ScopedAppData(const std::string& value) {
        wchar_t old[32768];
        DWORD n = GetEnvironmentVariableW(L"APPDATA", old, 32768);
        had = n > 0 && n < 32768;
        if (had) saved.assign(old, n);
        SetEnvironmentVariableW(L"APPDATA",
                                value.empty() ? nullptr : fs::u8path(value).wstring().c_str());
    }
    ~ScopedAppData() { SetEnvironmentVariableW(L"APPDATA", had ? saved.c_str() : nullptr); }

  private:
    std::wstring saved;
    bool had = false;
};

TEST(WindowsPlaces, ConfigurationDirectoryIsAppDataKorvex) {
    TempDir dir;
    const std::string appData = dir / "Ren\xC3\xA9"
                                      "e\\AppData\\Roaming";
    ScopedAppData set(appData);
    EXPECT_EQ(UserConfigDirectory(), appData + "\\Korvex");
    kvFilePlaces places = kvFilePlaces::OfThisProcess();
    EXPECT_EQ(places.configDir, appData + "\\Korvex");
    // The program directory is the executable's (GetModuleFileNameW), the working directory the
    // process's.
    EXPECT_EQ(places.programDir, fs::u8path(ExecutablePath()).parent_path().u8string());
    EXPECT_EQ(KindOf(places.programDir + "\\korvex_desktop_tests.exe"), kvFileKind::Regular);
    EXPECT_EQ(fs::u8path(places.workingDir), fs::current_path());
    ScopedAppData unset("");
    EXPECT_EQ(UserConfigDirectory(), "");
}

TEST(WindowsPlaces, SettingsFileGoesToAppDataWhenTheProgramDirectoryRefuses) {
    TempDir dir;
    const std::string appData = dir / "Ren\xC3\xA9"
                                      "e\\AppData\\Roaming";
    ScopedAppData set(appData);
    kvFilePlaces places;
    places.workingDir = dir / "work";
    places.programDir = dir / "missing\\program"; // no file can be made there
    places.configDir = UserConfigDirectory();
    ASSERT_TRUE(MakeDirectory(places.workingDir));

    // Nothing exists anywhere: the file is made in %APPDATA%\Korvex, its parents first.
    const std::string settings = LocateOrCreateFile(places, "korvex.ini");
    ASSERT_EQ(settings, appData + "\\Korvex\\korvex.ini");
    EXPECT_EQ(KindOf(settings), kvFileKind::Regular);

    kvSettings values;
    ReadSettingsFile(settings, values);
    values.mainRect.x = 123;
    ASSERT_TRUE(WriteSettingsFile(settings, values));
    EXPECT_NE(ReadBytes(settings).find("MAIN_X=123"), std::string::npos);
    kvSettings again;
    ReadSettingsFile(LocateFile(places, "korvex.ini"), again);
    EXPECT_EQ(again.mainRect.x, 123);

    // A program directory that takes files keeps the file beside the program.
    places.programDir = dir / "program";
    ASSERT_TRUE(MakeDirectory(places.programDir));
    kvFilePlaces fresh = places;
    fresh.configDir.clear();
    EXPECT_EQ(LocateOrCreateFile(fresh, "other.ini"), places.programDir + "\\other.ini");
    // The working directory comes first when the file is there.
    WriteBytes(places.workingDir + "\\korvex.ini", "MAIN_X=7\n");
    EXPECT_EQ(LocateFile(places, "korvex.ini"), places.workingDir + "\\korvex.ini");
}

} // namespace
