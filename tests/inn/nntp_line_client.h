// A plain blocking NNTP client for the test tools: the loader feeding innd and
// the integration tests probing the server. It is deliberately independent of
// the engine's transport, so that what it sees of the server does not depend
// on the code under test.
//
// One object per connection, used by one thread for reading; SendAll may be
// called from a second thread while the first reads (the loader pipelines).
#pragma once

#include <string>
#include <vector>

namespace korvex_test {

class NntpLineClient {
  public:
    NntpLineClient() = default;
    ~NntpLineClient();
    NntpLineClient(const NntpLineClient&) = delete;
    NntpLineClient& operator=(const NntpLineClient&) = delete;

    // Connects to host:port (IPv4 or IPv6 literal, or a name), optionally from
    // a given local address. Waits at most timeoutSeconds for the connection.
    // False with Error() set on failure.
    bool Connect(const std::string& host, int port, const std::string& sourceAddress = "",
                 int timeoutSeconds = 5);
    // Every later read waits at most this long for data (0: no limit).
    void SetReadTimeout(int seconds) { readTimeoutSeconds = seconds; }

    bool SendAll(const std::string& data);
    // One line without its CR LF. False on end of stream, time-out or error.
    bool ReadLine(std::string& line);
    // The data lines of a multi-line response up to its "." line, dot-stuffing undone.
    bool ReadMultiline(std::vector<std::string>& lines);
    // Sends a command (CR LF appended) and reads its status line.
    bool Command(const std::string& command, std::string& status);
    // Ends both directions at once, so that a thread blocked in SendAll returns.
    void Shutdown();
    void Close();

    const std::string& Error() const { return lastError; }
    const std::string& SendError() const { return lastSendError; } // kept apart for the writer

  private:
    bool Fill();

    int fd = -1;
    int readTimeoutSeconds = 30;
    std::string input;
    std::size_t inputStart = 0;
    std::string lastError;
    std::string lastSendError;
};

// The numeric code at the start of a status line, or 0.
int StatusCode(const std::string& line);

} // namespace korvex_test
