#include "console.h"

#include "wide_text_windows.h"

#include <io.h>
#include <windows.h>

void PrepareConsole() {
    SetConsoleOutputCP(CP_UTF8);
}

bool IsTerminal(std::FILE* stream) {
    // _isatty is also true for the NUL device; a console is what has a mode.
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool ReadHiddenLine(std::string& line) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &saved)) return false;
    SetConsoleMode(input,
                   (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT);
    // Read as UTF-16, whatever the console's input code page.
    std::wstring typed;
    bool ok = false;
    for (;;) {
        wchar_t c;
        DWORD got = 0;
        if (!ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) break;
        if (c == L'\n') {
            ok = true;
            break;
        }
        if (c != L'\r') typed += c;
    }
    SetConsoleMode(input, saved);
    line += kvUtf8(typed);
    SecureZeroMemory(&typed[0], typed.size() * sizeof(wchar_t));
    return ok;
}
