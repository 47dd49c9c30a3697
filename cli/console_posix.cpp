#include "console.h"

#include <cerrno>
#include <termios.h>
#include <unistd.h>

void PrepareConsole() {}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

bool ReadHiddenLine(std::string& line) {
    termios saved{};
    bool echoOff = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (echoOff) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        echoOff = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    bool ok = false;
    for (;;) {
        char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (c == '\n') {
            ok = true;
            break;
        }
        if (c != '\r') line += c;
    }
    if (echoOff) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    return ok;
}
