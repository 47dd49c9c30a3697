// Status lines and commands: the line-level exchange every NNTP command starts with.
#include "commands.h"

#include "credentials.h"

#include <cstdio>
#include <cstring>

static long ReceiveStatusLineBounded(kvConnection& conn, char* reply, std::size_t size);

long ReceiveStatusLine(kvConnection& conn, char* reply, std::size_t size) {
    BeginResponse(conn);
    long n = ReceiveStatusLineBounded(conn, reply, size);
    EndResponse(conn);
    return n;
}

static long ReceiveStatusLineBounded(kvConnection& conn, char* reply, std::size_t size) {
    for (;;) {
        char* lf = static_cast<char*>(std::memchr(conn.input, '\n', conn.inputLength));
        if (lf != nullptr) {
            std::size_t lineLength = static_cast<std::size_t>(lf - conn.input) + 1;
            std::size_t kept = lineLength < size ? lineLength : size - 1;
            std::memcpy(reply, conn.input, kept);
            reply[kept] = '\0';
            conn.inputLength -= lineLength;
            std::memmove(conn.input, lf + 1, conn.inputLength);
            return static_cast<long>(lineLength);
        }
        if (conn.inputLength >= KV_RECEIVE_PIECE) {
            // An overlong reply line: keep its start, drop the rest as it arrives.
            std::size_t kept = conn.inputLength < size ? conn.inputLength : size - 1;
            std::memcpy(reply, conn.input, kept);
            reply[kept] = '\0';
            for (;;) {
                long n = NetReceive(conn, conn.input, KV_RECEIVE_PIECE);
                if (n <= 0) return n;
                char* end = static_cast<char*>(std::memchr(conn.input, '\n', n));
                if (end != nullptr) {
                    conn.inputLength = static_cast<std::size_t>(conn.input + n - (end + 1));
                    std::memmove(conn.input, end + 1, conn.inputLength);
                    return static_cast<long>(kept);
                }
            }
        }
        long n = NetReceive(conn, conn.input + conn.inputLength, KV_RECEIVE_PIECE);
        if (n <= 0) return n;
        conn.inputLength += static_cast<std::size_t>(n);
    }
}

int FormatCommandV(char* command, const char* format, va_list args) {
    int length = std::vsnprintf(command, KV_COMMAND_SIZE, format, args);
    if (length < 2 || length >= static_cast<int>(KV_COMMAND_SIZE)) return -1;
    // Only the command's own line end may be in it: a CR or LF inside an
    // argument would smuggle a second command to the server.
    for (int i = 0; i < length - 2; ++i)
        if (command[i] == '\r' || command[i] == '\n') return -1;
    return length;
}

bool SendCommand(kvConnection& conn, const char* format, ...) {
    char command[KV_COMMAND_SIZE];
    va_list args;
    va_start(args, format);
    int length = FormatCommandV(command, format, args);
    va_end(args);
    if (length >= 0) NetSend(conn, command, static_cast<std::size_t>(length));
    WipeBytes(command, sizeof command); // it may have held a password
    return length >= 0;
}

void SendQuit(kvConnection& conn) {
    // The reply to QUIT gets its few seconds even after the run's time is up.
    conn.runDeadlineMs = 0;
    SetNetTimeout(conn, 5);
    SendCommand(conn, "QUIT\r\n");
    char reply[512] = {};
    SetNetTimeout(conn, 5);
    NetReceive(conn, reply, sizeof reply);
}
