#include "fake_nntp_server.h"

#include "test_sockets.h"
#include "wildmat_check.h"

#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <stdexcept>

FakeReply FakeReply::Text(std::string text) {
    FakeReply r;
    r.pieces.push_back(std::move(text));
    return r;
}

FakeReply FakeReply::Pieces(std::vector<std::string> pieces, int pauseMs) {
    FakeReply r;
    r.pieces = std::move(pieces);
    r.pauseMs = pauseMs;
    return r;
}

FakeReply FakeReply::Close() {
    FakeReply r;
    r.closeAfter = true;
    return r;
}

FakeReply FakeReply::Reset() {
    return FakeReply{}.ThenReset();
}

FakeReply FakeReply::Silent() {
    FakeReply r;
    r.never = true;
    return r;
}

FakeReply& FakeReply::Delay(int ms) {
    delayMs = ms;
    return *this;
}

FakeReply& FakeReply::ThenClose() {
    closeAfter = true;
    return *this;
}

FakeReply& FakeReply::ThenListen() {
    listenAfter = true;
    return *this;
}

FakeReply& FakeReply::ThenDeflate() {
    deflateAfter = true;
    return *this;
}

// Both directions of a deflated connection: raw deflate, a 32 KB window.
struct FakeDeflate {
    z_stream out{};
    z_stream in{};
    FakeDeflate() {
        if (deflateInit2(&out, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) !=
                Z_OK ||
            inflateInit2(&in, -15) != Z_OK)
            throw std::runtime_error("fake server: zlib failed");
    }
    ~FakeDeflate() {
        deflateEnd(&out);
        inflateEnd(&in);
    }
    std::string Pack(const std::string& data) {
        std::string packed;
        out.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        out.avail_in = static_cast<uInt>(data.size());
        do {
            unsigned char chunk[4096];
            out.next_out = chunk;
            out.avail_out = sizeof chunk;
            deflate(&out, Z_SYNC_FLUSH);
            packed.append(reinterpret_cast<char*>(chunk), sizeof chunk - out.avail_out);
        } while (out.avail_out == 0);
        return packed;
    }
    bool Unpack(const char* data, std::size_t n, std::string& plain) {
        in.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        in.avail_in = static_cast<uInt>(n);
        do {
            unsigned char chunk[4096];
            in.next_out = chunk;
            in.avail_out = sizeof chunk;
            int r = inflate(&in, Z_SYNC_FLUSH);
            if (r != Z_OK && r != Z_BUF_ERROR) return false;
            plain.append(reinterpret_cast<char*>(chunk), sizeof chunk - in.avail_out);
        } while (in.avail_out == 0);
        return true;
    }
};

FakeReply& FakeReply::ThenReset() {
    reset = true;
    return *this;
}

std::string FakeArticleText(long number, const std::string& subject, const std::string& body) {
    long lines = 0;
    for (char c : body)
        if (c == '\n') ++lines;
    return "Path: fake!not-for-mail\nFrom: Poster " + std::to_string(number) + " <p" +
           std::to_string(number) + "@example.org>\nNewsgroups: alt.test\nSubject: " + subject +
           "\nMessage-ID: <" + std::to_string(number) +
           "@fake.example>\nLines: " + std::to_string(lines) + "\n\n" + body;
}

namespace {

bool Matches(const std::string& pattern, const std::string& command) {
    if (!pattern.empty() && pattern.back() == '*')
        return command.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return command == pattern;
}

// An article's text as it travels: CR LF line ends, lines beginning with "."
// doubled, and the terminating line.
std::string WireArticle(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (lineStart && c == '.') out += '.';
        lineStart = false;
        if (c == '\n') {
            if (out.empty() || out.back() != '\r') out += '\r';
            lineStart = true;
        }
        out += c;
    }
    if (!lineStart) out += "\r\n";
    return out + ".\r\n";
}

} // namespace

FakeNntpServer::FakeNntpServer() {
    greeting = FakeReply::Text("200 fake news server ready\r\n");
    // A connected pair: a byte written to one end wakes every poll on the other.
    int fds[2];
    if (!TestSocketPair(fds)) throw std::runtime_error("fake server: no wake-up pair");
    wakeRead = fds[0];
    wakeWrite = fds[1];
    listenFd = TestListen(listenPort);
    if (listenFd < 0) throw std::runtime_error("fake server: cannot listen on 127.0.0.1");
}

bool FakeNntpServer::Received(const char* data, long n, std::string& pending) {
    if (!deflate) {
        pending.append(data, static_cast<std::size_t>(n));
        return true;
    }
    return deflate->Unpack(data, static_cast<std::size_t>(n), pending);
}

FakeNntpServer::~FakeNntpServer() {
    stopping = true;
    char byte = 1;
    if (TestSend(wakeWrite, &byte, 1) < 0) {
        // The pair is ours and empty; a failed write leaves the poll time-outs to end the thread.
    }
    if (thread.joinable()) thread.join();
    if (listenFd >= 0) TestCloseSocket(listenFd);
    TestCloseSocket(wakeRead);
    TestCloseSocket(wakeWrite);
}

std::string FakeNntpServer::Address() const {
    return "127.0.0.1:" + std::to_string(listenPort);
}

void FakeNntpServer::SetGreeting(FakeReply reply) {
    greeting = std::move(reply);
}

void FakeNntpServer::GreetFirst(std::vector<FakeReply> replies) {
    firstGreetings = std::move(replies);
}

void FakeNntpServer::When(const std::string& command, FakeReply reply, int times) {
    rules.push_back(Rule{command, std::move(reply), times});
}

void FakeNntpServer::OnCommand(const std::string& command, std::function<void()> action) {
    hooks.push_back(Hook{command, std::move(action)});
}

void FakeNntpServer::HoldUntilBehind(const std::string& command, int lines, int maxWaitMs) {
    holds.push_back(Hold{command, lines, maxWaitMs});
}

void FakeNntpServer::SetGroup(FakeGroup g) {
    group = std::move(g);
    haveGroup = true;
}

void FakeNntpServer::Start() {
    thread = std::thread([this] { Serve(); });
}

std::vector<std::string> FakeNntpServer::Commands() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(5), [this] { return !serving; });
    return received;
}

int FakeNntpServer::Connections() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(5), [this] { return !serving; });
    return connections;
}

std::vector<int> FakeNntpServer::Behind() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(5), [this] { return !serving; });
    return behind;
}

void FakeNntpServer::Record(const std::string& command, int linesBehind) {
    std::lock_guard<std::mutex> lock(mutex);
    received.push_back(command);
    behind.push_back(linesBehind);
}

int FakeNntpServer::CompleteLines(const std::string& pending) {
    int n = 0;
    for (char c : pending)
        if (c == '\n') ++n;
    return n;
}

bool FakeNntpServer::ReadMore(int fd, std::string& pending, int ms) {
    kvPollFd p[2] = {TestPollFd(fd, POLLIN), TestPollFd(wakeRead, POLLIN)};
    int r = TestPoll(p, 2, ms);
    if (r <= 0 || !(p[0].revents & (POLLIN | POLLHUP | POLLERR))) return !stopping;
    char buffer[4096];
    long n = TestRecv(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    return Received(buffer, n, pending);
}

bool FakeNntpServer::Pause(int ms) {
    if (ms <= 0) return !stopping;
    kvPollFd p = TestPollFd(wakeRead, POLLIN);
    TestPoll(&p, 1, ms);
    return !stopping;
}

bool FakeNntpServer::WaitReadable(int fd) {
    // Polls in slices so that a lost wake-up still ends the wait.
    while (!stopping) {
        kvPollFd p[2] = {TestPollFd(fd, POLLIN), TestPollFd(wakeRead, POLLIN)};
        int r = TestPoll(p, 2, 200);
        if (r < 0 && errno != EINTR) return false;
        if (r > 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR))) return true;
    }
    return false;
}

bool FakeNntpServer::SendAll(int fd, const std::string& plain) {
    const std::string data = deflate ? deflate->Pack(plain) : plain;
    std::size_t sent = 0;
    while (sent < data.size()) {
        long n = TestSend(fd, data.data() + sent, data.size() - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void FakeNntpServer::Serve() {
    while (!stopping) {
        if (listenFd < 0) { // refusing: only a wake-up ends the wait
            kvPollFd wake = TestPollFd(wakeRead, POLLIN);
            TestPoll(&wake, 1, 200);
            continue;
        }
        kvPollFd p[2] = {TestPollFd(listenFd, POLLIN), TestPollFd(wakeRead, POLLIN)};
        int r = TestPoll(p, 2, 200);
        if (r <= 0 || !(p[0].revents & POLLIN)) continue;
        int fd = TestAccept(listenFd);
        if (fd < 0) continue;
        int number = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            serving = true;
            number = connections++;
        }
        int one = 1;
        TestSetOption(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ServeConnection(fd, number < static_cast<int>(firstGreetings.size())
                                ? firstGreetings[static_cast<std::size_t>(number)]
                                : greeting);
        deflate.reset();
        TestCloseSocket(fd);
        if (refuseAfter >= 0 && number + 1 >= refuseAfter) {
            TestCloseSocket(listenFd);
            listenFd = -1;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            serving = false;
        }
        changed.notify_all();
    }
}

void FakeNntpServer::ServeConnection(int fd, const FakeReply& greet) {
    std::string pending;
    std::string line;
    After next = Perform(fd, greet);
    while (next == After::Answer && ReadLine(fd, pending, line)) {
        for (const Hold& hold : holds) {
            if (!Matches(hold.command, line)) continue;
            auto until =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(hold.maxWaitMs);
            while (CompleteLines(pending) < hold.lines && std::chrono::steady_clock::now() < until)
                if (!ReadMore(fd, pending, 20)) break;
        }
        Record(line, CompleteLines(pending));
        for (const Hook& hook : hooks)
            if (Matches(hook.command, line)) hook.action();
        next = Perform(fd, Answer(line));
    }
    // Silent or closed: nothing more is answered, but whatever the client still
    // sends (a QUIT it should not send, say) is recorded until it leaves.
    if (next == After::Listen || next == After::Gone)
        while (ReadLine(fd, pending, line))
            Record(line);
}

bool FakeNntpServer::ReadLine(int fd, std::string& pending, std::string& line) {
    for (;;) {
        std::size_t lf = pending.find('\n');
        if (lf != std::string::npos) {
            line = pending.substr(0, lf);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending.erase(0, lf + 1);
            return true;
        }
        if (!WaitReadable(fd)) return false;
        char buffer[4096];
        long n = TestRecv(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false; // the client left (or reset the connection)
        if (!Received(buffer, n, pending)) return false;
    }
}

FakeNntpServer::After FakeNntpServer::Perform(int fd, const FakeReply& reply) {
    if (reply.never) return After::Listen;
    if (!Pause(reply.delayMs)) return After::End;
    for (std::size_t i = 0; i < reply.pieces.size(); ++i) {
        if (byteByByte) {
            for (char c : reply.pieces[i])
                if (!SendAll(fd, std::string(1, c))) return After::Gone;
        } else if (!SendAll(fd, reply.pieces[i])) {
            return After::Gone;
        }
        if (i + 1 < reply.pieces.size() && !Pause(reply.pauseMs)) return After::End;
    }
    if (reply.reset) {
        // Closing with a zero linger time sends a reset instead of a normal end.
        linger hard{1, 0};
        TestSetOption(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        return After::End;
    }
    if (reply.deflateAfter) deflate = std::make_unique<FakeDeflate>();
    if (reply.listenAfter) return After::Listen;
    if (reply.closeAfter) {
        TestShutdownWrite(fd); // the client reads the end of the connection
        return After::Listen;
    }
    return After::Answer;
}

FakeReply FakeNntpServer::Answer(const std::string& command) {
    for (Rule& rule : rules) {
        if (rule.timesLeft == 0 || !Matches(rule.command, command)) continue;
        if (rule.timesLeft > 0) --rule.timesLeft;
        return rule.reply;
    }
    if (haveGroup) {
        bool answered = false;
        FakeReply reply = AnswerFromGroup(command, answered);
        if (answered) return reply;
    }
    if (command == "QUIT") return FakeReply::Text("205 bye\r\n").ThenClose();
    return FakeReply::Text("500 command not recognized\r\n");
}

FakeReply FakeNntpServer::AnswerFromGroup(const std::string& command, bool& answered) const {
    answered = true;
    if (command == "MODE READER") return FakeReply::Text("200 reader mode\r\n");

    if (command.rfind("GROUP ", 0) == 0) {
        if (command.substr(6) != group.name) return FakeReply::Text("411 no such news group\r\n");
        long count = group.count, first = group.first, last = group.last;
        long lo = 0, hi = 0;
        std::map<long, bool> numbers;
        for (const auto& h : group.headers)
            numbers[h.first] = true;
        for (const auto& a : group.articles)
            numbers[a.first] = true;
        if (!numbers.empty()) {
            lo = numbers.begin()->first;
            hi = numbers.rbegin()->first;
        }
        if (count < 0) count = static_cast<long>(numbers.size());
        if (first < 0) first = lo;
        if (last < 0) last = hi;
        char reply[256];
        std::snprintf(reply, sizeof reply, "211 %ld %ld %ld %s\r\n", count, first, last,
                      group.name.c_str());
        return FakeReply::Text(reply);
    }

    char header[64];
    long low = 0, high = 0;
    bool hdr = std::sscanf(command.c_str(), "HDR %63s %ld-%ld", header, &low, &high) == 3;
    if (hdr || std::sscanf(command.c_str(), "XHDR %63s %ld-%ld", header, &low, &high) == 3) {
        std::string text = std::string(hdr ? "225 " : "221 ") + header + " fields follow\r\n";
        for (auto it = group.headers.lower_bound(low);
             it != group.headers.end() && it->first <= high; ++it)
            text += std::to_string(it->first) + " " + it->second + "\r\n";
        return FakeReply::Text(text + ".\r\n");
    }

    int patternAt = 0;
    if (group.xpat &&
        std::sscanf(command.c_str(), "XPAT %63s %ld-%ld %n", header, &low, &high, &patternAt) ==
            3 &&
        patternAt > 0) {
        std::string pattern = command.substr(static_cast<std::size_t>(patternAt));
        std::string text = std::string("221 ") + header + " matches follow\r\n";
        for (auto it = group.headers.lower_bound(low);
             it != group.headers.end() && it->first <= high; ++it)
            if (TestWildmatMatches(pattern, it->second))
                text += std::to_string(it->first) + " " + it->second + "\r\n";
        return FakeReply::Text(text + ".\r\n");
    }

    long number = 0;
    char extra = 0;
    if (std::sscanf(command.c_str(), "ARTICLE %ld%c", &number, &extra) == 1) {
        auto it = group.articles.find(number);
        if (it == group.articles.end())
            return FakeReply::Text("423 no such article number in this group\r\n");
        return FakeReply::Text("220 " + std::to_string(number) + " <" + std::to_string(number) +
                               "@fake.example> article\r\n" + WireArticle(it->second));
    }
    if (std::sscanf(command.c_str(), "HEAD %ld%c", &number, &extra) == 1) {
        auto it = group.articles.find(number);
        if (it == group.articles.end())
            return FakeReply::Text("423 no such article number in this group\r\n");
        std::size_t blank = it->second.find("\n\n");
        std::string head = it->second.substr(0, blank == std::string::npos ? blank : blank + 1);
        return FakeReply::Text("221 " + std::to_string(number) + " <" + std::to_string(number) +
                               "@fake.example> head\r\n" + WireArticle(head));
    }
    answered = false;
    return FakeReply{};
}
