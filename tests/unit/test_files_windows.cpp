// Files on Windows: a save that replaces a file another program holds open,
// names outside the ANSI code page, the netrc file's place in the profile,
// temporary files removed when the process is interrupted, and path parts
// with backslashes and drives.
#include "atomic_file.h"
#include "file_system.h"
#include "line_reader.h"
#include "netrc_file.h"
#include "path_parts.h"
#include "temp_files.h"
#include "user_places.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

namespace fs = std::filesystem;
using korvex_test::ReadBytes;
using korvex_test::TempDir;
using korvex_test::WriteBytes;

namespace {

std::wstring Wide(const std::string& utf8) {
    return fs::u8path(utf8).wstring();
}

std::vector<std::wstring> Names(const std::string& directory) {
    std::vector<std::wstring> names;
    for (const fs::directory_entry& e : fs::directory_iterator(fs::u8path(directory)))
        names.push_back(e.path().filename().wstring());
    return names;
}

kvCredentials Login(const char* user, const char* password) {
    kvCredentials login;
    login.user = user;
    login.password = password;
    return login;
}

bool Save(const std::string& path, const char* text) {
    kvAtomicFile file(path.c_str());
    return file.Write(text) && file.Commit();
}

// Sets an environment variable for the scope (UTF-8 value), then restores it.
class ScopedVariable {
  public:
    ScopedVariable(const wchar_t* name, const std::string& value) : name(name) {
        wchar_t old[32768];
        DWORD n = GetEnvironmentVariableW(name, old, 32768);
        had = n > 0 && n < 32768;
        if (had) saved.assign(old, n);
        SetEnvironmentVariableW(name, value.empty() ? nullptr : Wide(value).c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name, had ? saved.c_str() : nullptr); }

  private:
    const wchar_t* name;
    std::wstring saved;
    bool had = false;
};

// Wine has only the classic replacement, which refuses a target that is open
// at all; Windows 10 and later also replace one held with delete sharing.
bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

enum class Holder { SharesDelete, SharesReadWrite, SharesNothing, OwnLineReader };

struct OpenCase {
    const char* holder;
    Holder how;
    bool replacedOnWindows;
};

// A holder that allows deletion (korvex's own readers do) need not stand in the
// way; one that does not (most programs open files that way) makes the save
// fail after its retries. Either way the file is whole, old or new, and no
// temporary file is left; once the holder has closed it, the save goes through.
const OpenCase kOpenCases[] = {
    {"reader sharing read, write and delete", Holder::SharesDelete, true},
    {"korvex's own line reader", Holder::OwnLineReader, true},
    {"reader sharing read and write", Holder::SharesReadWrite, false},
    {"reader sharing nothing", Holder::SharesNothing, false},
};

TEST(WindowsFiles, ReplacingAFileThatIsOpenElsewhere) {
    const bool wine = UnderWine();
    for (const OpenCase& c : kOpenCases) {
        TempDir dir;
        const std::string path = dir / "results.kvx";
        WriteBytes(path, "old results\nsecond line\n");
        HANDLE held = INVALID_HANDLE_VALUE;
        std::unique_ptr<kvLineReader> reader;
        if (c.how == Holder::OwnLineReader) {
            reader = std::make_unique<kvLineReader>(path.c_str());
            ASSERT_EQ(reader->Next(), 1);
        } else {
            DWORD share = c.how == Holder::SharesDelete
                              ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                          : c.how == Holder::SharesReadWrite ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                                             : 0;
            held = CreateFileW(Wide(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE) << c.holder;
        }
        const bool expected = c.replacedOnWindows && !wine;
        EXPECT_EQ(Save(path, "new results\n"), expected) << c.holder;
        if (reader) {
            // The reader goes on with the file it opened, whatever the name now holds.
            ASSERT_EQ(reader->Next(), 1);
            EXPECT_STREQ(reader->Text(), "second line");
            reader.reset();
        } else {
            CloseHandle(held);
        }
        EXPECT_EQ(ReadBytes(path), expected ? "new results\n" : "old results\nsecond line\n")
            << c.holder;
        EXPECT_EQ(Names(dir.path).size(), 1u) << c.holder << ": a temporary file was left";
        EXPECT_TRUE(Save(path, "later\n")) << c.holder;
        EXPECT_EQ(ReadBytes(path), "later\n");
    }
}

TEST(WindowsFiles, NamesOutsideTheCodePage) {
    // Latin, Greek, CJK and a character beyond the basic plane (a surrogate pair).
    const char* const kNames[] = {"Gr\xC3\xB6\xC3\x9F"
                                  "e.kvx",
                                  "\xCE\xB1\xCE\xB2\xCE\xB3.txt",
                                  "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.kvx",
                                  "note-\xF0\x9F\x93\xB0.kvx"};
    const wchar_t* const kWide[] = {L"Gr\u00F6\u00DFe.kvx", L"\u03B1\u03B2\u03B3.txt",
                                    L"\u65E5\u672C\u8A9E.kvx", L"note-\U0001F4F0.kvx"};
    TempDir dir;
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        const std::string path = dir / kNames[i];
        ASSERT_TRUE(Save(path, "line one\r\nline two\n")) << kNames[i];
        // The name on disk is the UTF-16 of the UTF-8 name, not its bytes in the ANSI code page.
        HANDLE h = CreateFileW((fs::u8path(dir.path) / kWide[i]).wstring().c_str(), GENERIC_READ,
                               FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << kNames[i];
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        EXPECT_EQ(KindOf(path), kvFileKind::Regular) << kNames[i];
        kvLineReader reader(path.c_str());
        ASSERT_EQ(reader.Next(), 1) << kNames[i];
        EXPECT_STREQ(reader.Text(), "line one");
        std::FILE* stream = OpenStream(path, "rb");
        ASSERT_NE(stream, nullptr) << kNames[i];
        std::fclose(stream);
        EXPECT_EQ(FileNameOf(path), kNames[i]);
    }
    EXPECT_EQ(Names(dir.path).size(), std::size(kNames));
    EXPECT_TRUE(RemoveFile(dir / kNames[0]));
    EXPECT_EQ(KindOf(dir / kNames[0]), kvFileKind::Missing);
}

TEST(WindowsFiles, EnvironmentAndDirectoriesAreUtf8) {
    TempDir dir;
    const std::string home = dir / "Zo\xC3\xAB \xE5\xB1\xB1\xE7\x94\xB0";
    ASSERT_TRUE(MakeDirectory(home));
    EXPECT_TRUE(MakeDirectory(home)); // already there
    EXPECT_EQ(KindOf(home), kvFileKind::Directory);
    ScopedVariable variable(L"KORVEX_TEST_PLACE", home);
    EXPECT_EQ(Environment("KORVEX_TEST_PLACE"), home);
    EXPECT_EQ(Environment("KORVEX_TEST_UNSET_VARIABLE"), "");
    std::string exe = ExecutablePath();
    EXPECT_EQ(FileNameOf(exe), "korvex_unit_tests.exe");
    EXPECT_EQ(KindOf(exe), kvFileKind::Regular);
}

struct NetrcCase {
    bool underscore; // %USERPROFILE%\_netrc exists
    bool dot;        // %USERPROFILE%\.netrc exists
    const char* chosen;
};

const NetrcCase kNetrcCases[] = {
    {true, true, "_netrc"},
    {true, false, "_netrc"},
    {false, true, ".netrc"},
    {false, false, "_netrc"}, // where a remembered login goes
};

TEST(WindowsFiles, NetrcInTheProfile) {
    for (const NetrcCase& c : kNetrcCases) {
        TempDir dir;
        const std::string profile = dir / "J\xC3\xB6rg";
        ASSERT_TRUE(MakeDirectory(profile));
        if (c.underscore)
            WriteBytes(profile + "\\_netrc", "machine news.example login u1 password p1\n");
        if (c.dot) WriteBytes(profile + "\\.netrc", "machine news.example login u2 password p2\n");
        ScopedVariable variable(L"USERPROFILE", profile);
        EXPECT_EQ(UserNetrcFile(), profile + "\\" + c.chosen) << c.chosen;
        EXPECT_EQ(DefaultNetrcPath(), profile + "\\" + c.chosen);
    }
    ScopedVariable none(L"USERPROFILE", "");
    EXPECT_EQ(UserNetrcFile(), "");
}

TEST(WindowsFiles, NetrcIsReadAndRememberedWithoutPermissionBits) {
    TempDir dir;
    const std::string path = dir / "_netrc";
    WriteBytes(path, "machine news.example login reader password secret\n");
    kvCredentials found;
    ASSERT_EQ(ReadNetrcFile(path, "NEWS.example", found), kvNetrcStatus::Found);
    EXPECT_EQ(found.user, "reader");
    EXPECT_EQ(found.password, "secret");
    std::string problem;
    ASSERT_TRUE(RememberInNetrc(path, "other.example", Login("u", "p w"), problem)) << problem;
    kvCredentials other;
    ASSERT_EQ(ReadNetrcFile(path, "other.example", other), kvNetrcStatus::Found);
    EXPECT_EQ(other.password, "p w");
    EXPECT_EQ(ReadNetrcFile(dir / "missing", "news.example", other), kvNetrcStatus::Missing);
    EXPECT_EQ(ReadNetrcFile(dir.path, "news.example", other), kvNetrcStatus::Unreadable);
}

struct PathCase {
    const char* path;
    const char* directory;
    const char* name;
};

const PathCase kWindowsPaths[] = {
    {"C:\\Users\\u\\res.kvx", "C:\\Users\\u", "res.kvx"},
    {"C:\\res.kvx", "C:\\", "res.kvx"}, // a drive's root keeps its backslash
    {"C:/Users/u/res.kvx", "C:/Users/u", "res.kvx"},
    {"D:\\dir/mixed\\res.kvx", "D:\\dir/mixed", "res.kvx"},
    {"\\\\server\\share\\res.kvx", "\\\\server\\share", "res.kvx"},
    {"res.kvx", "", "res.kvx"},
};

TEST(WindowsFiles, PathPartsWithBackslashesAndDrives) {
    for (const PathCase& c : kWindowsPaths) {
        EXPECT_EQ(DirectoryOf(c.path), c.directory) << c.path;
        EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
    }
}

// The child half of InterruptedSaveLeavesNoTemporary: started as a separate
// process with KORVEX_CHILD_DIR set, it opens a save, writes, and ends the
// process abruptly, as the console's Ctrl-C does after the handlers ran.
TEST(WindowsFilesChild, EndsInTheMiddleOfASave) {
    std::string dir = Environment("KORVEX_CHILD_DIR");
    if (dir.empty()) GTEST_SKIP() << "runs only as the child of InterruptedSaveLeavesNoTemporary";
    kvAtomicFile file((dir + "\\out.kvx").c_str());
    ASSERT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.Write(std::string(200000, 'x')));
    if (Environment("KORVEX_CHILD_CLEANUP") == "1") RemoveOpenTemporaries();
    ExitProcess(7);
}

int RunChild(const std::string& dir, bool cleanup) {
    ScopedVariable where(L"KORVEX_CHILD_DIR", dir);
    ScopedVariable how(L"KORVEX_CHILD_CLEANUP", cleanup ? "1" : "0");
    std::wstring command = L"\"" + Wide(ExecutablePath()) +
                           L"\" --gtest_filter=WindowsFilesChild.EndsInTheMiddleOfASave";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &child))
        return -1;
    WaitForSingleObject(child.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return static_cast<int>(code);
}

// The temporary file is still open when the interrupt comes: it must have been
// opened with delete sharing for the removal to work, and goes once the
// process's handles close.
TEST(WindowsFiles, InterruptedSaveLeavesNoTemporary) {
    TempDir cleaned;
    ASSERT_EQ(RunChild(cleaned.path, true), 7);
    EXPECT_TRUE(Names(cleaned.path).empty());
    // Without the removal the temporary stays: the check above can tell.
    TempDir left;
    ASSERT_EQ(RunChild(left.path, false), 7);
    EXPECT_EQ(Names(left.path).size(), 1u);
}

} // namespace
