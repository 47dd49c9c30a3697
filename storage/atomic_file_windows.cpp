#include "atomic_file_platform.h"

#include "wide_text_windows.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <vector>
#include <windows.h>

namespace {

void (*removeOnInterrupt)() = nullptr;

// Ctrl-C, Ctrl-Break, a closed console, a log-off or a shutdown: the open
// temporary files go, then the next handler (the default one ends the process).
BOOL WINAPI RemoveTemporariesOnEvent(DWORD) {
    if (removeOnInterrupt != nullptr) removeOnInterrupt();
    return FALSE;
}

// A replacement that meets a file held open without delete sharing (a viewer,
// an indexer or a virus scanner looking at it) is tried again for a moment
// before the save gives up.
constexpr int kReplaceTries = 10;
constexpr DWORD kReplacePauseMs = 50;

bool Transient(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// Replaces target the way POSIX rename does: a target that others hold open
// with delete sharing is unlinked from its name and they keep reading the old
// file. Windows 10 (1709 and later) on NTFS offers it; elsewhere it fails and
// the classic replacement's result stands.
bool ReplaceLikePosix(const std::wstring& from, const std::wstring& to) {
    HANDLE handle = CreateFileW(from.c_str(), DELETE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const DWORD nameBytes = static_cast<DWORD>(to.size() * sizeof(wchar_t));
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The first member is a BOOLEAN in older headers and a union with the
    // DWORD flags of FileRenameInfoEx in newer ones; the flags are written whole.
    const DWORD flags = 0x1 /* replace if exists */ | 0x2 /* POSIX semantics */;
    std::memcpy(info, &flags, sizeof flags);
    info->RootDirectory = nullptr;
    info->FileNameLength = nameBytes;
    std::memcpy(info->FileName, to.c_str(), nameBytes);
    const auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    bool done = SetFileInformationByHandle(handle, kFileRenameInfoEx, info,
                                           static_cast<DWORD>(buffer.size())) != 0;
    CloseHandle(handle);
    return done;
}

} // namespace

namespace kvAtomicPlatform {

std::size_t NameMax() {
    // 255 UTF-16 units; a UTF-8 name never has fewer bytes than units.
    return 255;
}

std::string WriteTarget(const std::string& path, std::string& refusedLink) {
    refusedLink.clear();
    return path;
}

int CreateTemporary(std::string& pattern) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::size_t tail = pattern.size() - 6;
    unsigned long long seed =
        GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
    static volatile LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long value =
            seed + static_cast<unsigned long long>(InterlockedIncrement(&counter)) * 7919u;
        for (std::size_t i = 0; i < 6; ++i) {
            pattern[tail + i] = kLetters[value % 36];
            value /= 36;
        }
        // Delete sharing lets an interrupt remove the file while it is still open.
        HANDLE handle =
            CreateFileW(kvWide(pattern).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            errno = kvErrnoOf(error);
            return -1;
        }
        int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            DeleteFileW(kvWide(pattern).c_str());
            errno = EMFILE;
        }
        return fd;
    }
    errno = EEXIST;
    return -1;
}

long WriteSome(int fd, const char* bytes, std::size_t length) {
    unsigned int chunk = length > 0x40000000 ? 0x40000000u : static_cast<unsigned int>(length);
    return _write(fd, bytes, chunk);
}

// Modes and owners are POSIX ideas: the replacement gets the directory's
// inherited permissions, like any new file there, private or not.
bool ReplaceTarget(int fd, const std::string& temporary, const std::string& target, bool) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    bool done = handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
    done = _close(fd) == 0 && done;
    std::wstring from = kvWide(temporary);
    if (done) {
        std::wstring to = kvWide(target);
        done = false;
        for (int attempt = 0; attempt < kReplaceTries && !done; ++attempt) {
            if (attempt > 0) Sleep(kReplacePauseMs);
            done = MoveFileExW(from.c_str(), to.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
            if (done) break;
            DWORD error = GetLastError();
            if (!Transient(error)) break;
            done = ReplaceLikePosix(from, to);
        }
    }
    if (!done) DeleteFileW(from.c_str());
    return done;
}

void RemoveTemporary(int fd, const std::string& temporary) {
    _close(fd);
    DeleteFileW(kvWide(temporary).c_str());
}

// Console control handlers run on a thread of their own, not inside a signal:
// the wide-character conversion is allowed here.
void RemoveInHandler(const char* path) {
    DeleteFileW(kvWide(path).c_str());
}

void RemoveOnInterrupt(void (*removeAll)()) {
    removeOnInterrupt = removeAll;
    SetConsoleCtrlHandler(RemoveTemporariesOnEvent, TRUE);
}

} // namespace kvAtomicPlatform
