// NNTP commands and their status lines over a connection: a command formatted
// and sent as one line, a status reply read as one line.
#pragma once

#include "net.h"

#include <cstdarg>
#include <cstddef>

// Reads one status reply line (through its LF) into reply, cut to size-1 bytes
// and NUL-terminated. Bytes after the LF stay in the connection's input.
// Returns the line's length (> 0), or the failing NetReceive result (0 or -1).
long ReceiveStatusLine(kvConnection& conn, char* reply, std::size_t size);

constexpr std::size_t KV_COMMAND_SIZE = 512;
// Formats a command into a command buffer of KV_COMMAND_SIZE bytes. Returns its
// length, or -1 when it would not fit or an argument holds a CR or LF.
int FormatCommandV(char* command, const char* format, va_list args);

// Formats a command into the 512-byte command buffer and sends it. False (and
// nothing sent) when it would not fit or an argument holds a CR or LF.
bool SendCommand(kvConnection& conn, const char* format, ...) __attribute__((format(printf, 2, 3)));

// QUIT with a 5-second wait for the reply, which is read and dropped.
void SendQuit(kvConnection& conn);
