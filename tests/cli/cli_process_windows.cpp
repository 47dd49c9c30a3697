// Runs korvex-cli.exe on Windows: CreateProcessW with its output on two pipes,
// each drained by a thread of its own, and its input on NUL.
#include "cli_runner.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

std::wstring Wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// One argument quoted the way the C runtime splits a command line again.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!line.empty()) line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        line.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        line += c;
    }
    line.append(slashes * 2, L'\\');
    line += L'"';
}

// korvex-cli.exe, found from this test program's own place in the build tree.
std::wstring CliPath() {
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::filesystem::path dir = std::filesystem::path(std::wstring(self, n)).parent_path();
    return (dir / KORVEX_CLI_FROM_TESTS).make_preferred().wstring();
}

// The program's text output ends its lines in CRLF on Windows; the tests
// compare lines, so CRLF is read back as LF (as a text-mode reader would).
void Drain(HANDLE pipe, std::string& sink) {
    char buffer[8192];
    DWORD n = 0;
    std::string raw;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        raw.append(buffer, n);
    for (std::size_t i = 0; i < raw.size(); ++i)
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) sink += raw[i];
}

} // namespace

CliResult RunCli(const std::vector<std::string>& args) {
    CliResult result;
    std::wstring program = CliPath();
    std::wstring line;
    AppendQuoted(line, program);
    for (const std::string& a : args)
        AppendQuoted(line, Wide(a));

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return result;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    // Never the console: a password prompt would wait for the person running the tests.
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = nul;
    start.hStdOutput = outWrite;
    start.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    BOOL made = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &start, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (made) {
        std::thread errors([&] { Drain(errRead, result.err); });
        Drain(outRead, result.out);
        errors.join();
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.exitCode = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}

std::string MakeTempDir() {
    static int made = 0;
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return std::string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path dir = base / ("korvex-cli-" + std::to_string(GetCurrentProcessId()) +
                                            "-" + std::to_string(++made));
        if (std::filesystem::create_directory(dir, error)) return dir.u8string();
    }
    return std::string();
}

void SetVariable(const char* name, const char* value) {
    _putenv_s(name, value);
}

void ClearVariable(const char* name) {
    _putenv_s(name, ""); // an empty value removes the variable
}
