#include "nntp_line_client.h"

#include "test_sockets.h"

namespace korvex_test {

NntpLineClient::~NntpLineClient() {
    Close();
}

void NntpLineClient::Shutdown() {
    if (fd >= 0) TestShutdownBoth(fd);
}

void NntpLineClient::Close() {
    if (fd >= 0) TestCloseSocket(fd);
    fd = -1;
    input.clear();
    inputStart = 0;
}

bool NntpLineClient::Connect(const std::string& host, int port, const std::string& sourceAddress,
                             int timeoutSeconds) {
    Close();
    TestSocketsStart();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        lastError = host + ": " + TestAddressErrorText(rc);
        return false;
    }
    lastError = "no address";
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        fd = TestSocket(a->ai_family);
        if (fd < 0) continue;
        if (!sourceAddress.empty()) {
            addrinfo* local = nullptr;
            addrinfo localHints{};
            localHints.ai_family = a->ai_family;
            localHints.ai_socktype = SOCK_STREAM;
            localHints.ai_flags = AI_NUMERICHOST;
            if (getaddrinfo(sourceAddress.c_str(), "0", &localHints, &local) != 0 ||
                !TestBind(fd, local->ai_addr, local->ai_addrlen)) {
                lastError = "cannot bind to " + sourceAddress;
                if (local != nullptr) freeaddrinfo(local);
                TestCloseSocket(fd);
                fd = -1;
                continue;
            }
            freeaddrinfo(local);
        }
        if (TestConnectWithin(fd, a->ai_addr, a->ai_addrlen, timeoutSeconds * 1000, lastError))
            break;
        lastError = host + ":" + service + ": " + lastError;
        TestCloseSocket(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    return fd >= 0;
}

bool NntpLineClient::SendAll(const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        long n = TestSend(fd, data.data() + sent, data.size() - sent);
        int code = n < 0 ? TestLastSocketError() : 0;
        if (n < 0 && TestInterrupted(code)) continue;
        if (n <= 0) {
            lastSendError = "send: " + TestSocketErrorText(code);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool NntpLineClient::Fill() {
    if (inputStart > 0) {
        input.erase(0, inputStart);
        inputStart = 0;
    }
    if (readTimeoutSeconds > 0) {
        kvPollFd p = TestPollFd(fd, POLLIN);
        int rc = TestPoll(&p, 1, readTimeoutSeconds * 1000);
        if (rc <= 0) {
            lastError =
                rc == 0 ? "no answer from the server" : TestSocketErrorText(TestLastSocketError());
            return false;
        }
    }
    char piece[65536];
    long n;
    int code = 0;
#ifdef TCP_QUICKACK
    // nnrpd writes a multi-line answer in several pieces; acknowledging each at
    // once saves the delayed-ACK wait (about 40 ms per answer on loopback).
    int one = 1;
    TestSetOption(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#endif
    do {
        n = TestRecv(fd, piece, sizeof piece);
        code = n < 0 ? TestLastSocketError() : 0;
    } while (n < 0 && TestInterrupted(code));
    if (n <= 0) {
        lastError = n == 0 ? "the server closed the connection" : TestSocketErrorText(code);
        return false;
    }
    input.append(piece, static_cast<std::size_t>(n));
    return true;
}

bool NntpLineClient::ReadLine(std::string& line) {
    for (;;) {
        std::size_t lf = input.find('\n', inputStart);
        if (lf != std::string::npos) {
            std::size_t end = lf > inputStart && input[lf - 1] == '\r' ? lf - 1 : lf;
            line.assign(input, inputStart, end - inputStart);
            inputStart = lf + 1;
            return true;
        }
        if (fd < 0 || !Fill()) return false;
    }
}

bool NntpLineClient::ReadMultiline(std::vector<std::string>& lines) {
    lines.clear();
    std::string line;
    while (ReadLine(line)) {
        if (line == ".") return true;
        if (!line.empty() && line[0] == '.') line.erase(0, 1);
        lines.push_back(line);
    }
    return false;
}

bool NntpLineClient::Command(const std::string& command, std::string& status) {
    if (!SendAll(command + "\r\n")) {
        lastError = lastSendError;
        return false;
    }
    return ReadLine(status);
}

int StatusCode(const std::string& line) {
    if (line.size() < 3) return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

} // namespace korvex_test
