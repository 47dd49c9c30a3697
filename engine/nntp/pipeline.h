// Commands sent ahead on one connection (pipelining): up to a window of
// commands whose responses have not been collected yet. The server answers
// them in the order they were sent, so responses are collected oldest first.
//
// Sending ahead never waits: a command goes to the socket only as far as its
// buffer takes it at once, and the rest follows later. Only the command whose
// response is collected next is ever waited for (with the connection's
// time-out), and by then every earlier response has been read, so the server
// is never left blocked on answers nobody reads while we wait to send.
// The bytes of the commands outstanding are bounded as well as their number.
#pragma once

#include "net.h"
#include "transport.h"

#include <cstddef>
#include <deque>
#include <string>

// The command bytes a pipeline keeps outstanding at most.
constexpr std::size_t KV_PIPELINE_BYTES = 16384;

enum class kvSendResult { Sent, NoRoom, Invalid };

class kvPipeline {
  public:
    kvPipeline(kvConnection& conn, int window);

    // Formats a command and sends it ahead. NoRoom (nothing sent) when the
    // window is full by count or bytes; one command always fits when none is
    // outstanding. Invalid when the command cannot be formed (see
    // FormatCommandV). `expectedCode` and `mode` say how its response is read.
    kvSendResult Send(int expectedCode, kvResponseMode mode, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

    // Collects the response of the oldest awaited command into dest, after
    // reading and dropping the responses of dropped commands before it.
    // Returns what ReceiveMultiline returns; -1 when no command is awaited or
    // a stop has been requested.
    long Receive(kvBuffer& dest);

    // Commands sent whose responses are still wanted.
    int Awaited() const { return static_cast<int>(commands.size()) - dropped; }
    // No command outstanding, wanted or dropped: the next reply read is the
    // answer to the next command sent.
    bool Idle() const { return commands.empty(); }
    // Marks every command outstanding now as dropped: its response will be
    // read and thrown away before the next response is collected.
    void DropOutstanding() { dropped = static_cast<int>(commands.size()); }
    // Finishes sending a command that went out only in part, so that a
    // command sent directly afterwards (QUIT) starts on a line of its own.
    void FinishLine();
    // Quiets the connection before commands are sent directly on it (a login):
    // commands the server has not seen a byte of are forgotten, the responses
    // of the others are read into `scratch` and dropped. Returns 1, or the
    // failing receive result (0 or -1).
    long Settle(kvBuffer& scratch);
    // Forgets every command, sent or not: the connection under it is new.
    void Reset();

  private:
    struct Command {
        std::size_t end; // offset just past its last byte in the stream of queued bytes
        std::size_t length;
        int expectedCode;
        kvResponseMode mode;
    };

    void TrySend();                    // sends what the socket takes without waiting
    void SendThrough(std::size_t end); // sends up to `end`, waiting with the time-out
    long Collect(kvBuffer& dest);

    kvConnection& conn;
    int window;
    std::deque<Command> commands; // oldest first
    int dropped = 0;              // the first `dropped` commands are not wanted
    std::size_t outstandingBytes = 0;
    std::string unsent;      // queued bytes the socket has not taken yet
    std::size_t queued = 0;  // bytes queued since the start
    std::size_t sent = 0;    // bytes the socket has taken (or given up on)
    std::size_t offered = 0; // bytes a send that took nothing was offered
    bool resetSeen = false;  // a send found the connection reset by the server
};
