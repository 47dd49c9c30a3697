#include "pipeline.h"

#include "commands.h"
#include "stop_signal.h"

#include <cerrno>
#include <cstdarg>

kvPipeline::kvPipeline(kvConnection& connection, int size)
    : conn(connection), window(size < 1 ? 1 : size) {
    unsent.reserve(KV_PIPELINE_BYTES);
}

kvSendResult kvPipeline::Send(int expectedCode, kvResponseMode mode, const char* format, ...) {
    char command[KV_COMMAND_SIZE];
    va_list args;
    va_start(args, format);
    int length = FormatCommandV(command, format, args);
    va_end(args);
    if (length < 0) return kvSendResult::Invalid;
    std::size_t n = static_cast<std::size_t>(length);
    if (!commands.empty() &&
        (static_cast<int>(commands.size()) >= window || outstandingBytes + n > KV_PIPELINE_BYTES))
        return kvSendResult::NoRoom;
    unsent.append(command, n);
    queued += n;
    outstandingBytes += n;
    commands.push_back(Command{queued, n, expectedCode, mode});
    TrySend();
    return kvSendResult::Sent;
}

void kvPipeline::TrySend() {
    while (!unsent.empty()) {
        long n = NetTrySend(conn, unsent.data(), unsent.size());
        if (n == 0) { // the socket's buffer is full: the rest goes later
            offered = unsent.size();
            return;
        }
        offered = 0;
        if (n < 0) {
            // The connection failed: nothing more can go out, and the next
            // receive reports the failure.
            resetSeen = resetSeen || errno == ECONNRESET;
            sent = queued;
            unsent.clear();
            return;
        }
        sent += static_cast<std::size_t>(n);
        unsent.erase(0, static_cast<std::size_t>(n));
    }
}

void kvPipeline::SendThrough(std::size_t end) {
    while (sent < end) {
        // An encrypted channel that could not take an offer at once holds it
        // and must be offered at least as much again.
        std::size_t length = end - sent < offered ? offered : end - sent;
        long n = NetSend(conn, unsent.data(), length);
        offered = 0;
        if (n <= 0) {
            // A send that fails or times out shows up as a failed or timed-out
            // receive of the reply; give up on everything queued.
            resetSeen = resetSeen || (n < 0 && errno == ECONNRESET);
            sent = queued;
            unsent.clear();
            return;
        }
        sent += static_cast<std::size_t>(n);
        unsent.erase(0, static_cast<std::size_t>(n));
    }
}

void kvPipeline::FinishLine() {
    for (const Command& c : commands) {
        if (c.end <= sent) continue;
        if (c.end - c.length < sent) SendThrough(c.end); // begun but not finished
        return;
    }
}

long kvPipeline::Settle(kvBuffer& scratch) {
    // Bytes an encrypted channel holds from an earlier offer go out whole, and
    // so does a command begun.
    if (offered > 0) SendThrough(sent + offered);
    FinishLine();
    while (!commands.empty() && commands.back().end - commands.back().length >= sent) {
        outstandingBytes -= commands.back().length;
        commands.pop_back();
    }
    unsent.clear();
    queued = sent;
    dropped = static_cast<int>(commands.size());
    for (; dropped > 0; --dropped) {
        long n = Collect(scratch);
        if (n <= 0) {
            commands.clear();
            dropped = 0;
            return n;
        }
    }
    return 1;
}

void kvPipeline::Reset() {
    commands.clear();
    dropped = 0;
    outstandingBytes = 0;
    unsent.clear();
    queued = sent = offered = 0;
    resetSeen = false;
}

long kvPipeline::Collect(kvBuffer& dest) {
    const Command c = commands.front();
    if (sent < c.end) TrySend();
    if (sent < c.end) SendThrough(c.end);
    long n = ReceiveMultiline(conn, dest, c.expectedCode, c.mode);
    // A reset that a send ahead reported first leaves the receive only the
    // end of the connection: it is still a read failure, as it is for a
    // receive that meets the reset itself.
    if (n == 0 && resetSeen) n = -1;
    commands.pop_front();
    outstandingBytes -= c.length;
    // Every response read makes room in the server's input: send more of what waits.
    if (n > 0 && !unsent.empty()) TrySend();
    return n;
}

long kvPipeline::Receive(kvBuffer& dest) {
    if (Awaited() <= 0) return -1;
    // A stop ends the run before the next response, even one that has
    // already arrived whole: it fails as a wait interrupted by a stop does.
    if (conn.stop != nullptr && conn.stop->StopRequested()) return -1;
    for (; dropped > 0; --dropped) {
        long n = Collect(dest);
        if (n <= 0) {
            commands.clear();
            dropped = 0;
            return n;
        }
    }
    return Collect(dest);
}
