// A scripted NNTP server on 127.0.0.1 for tests, in the manner of curl's test
// servers: it answers each command line from rules set up before Start(),
// records every command it received, and lets the test check that list exactly.
//
// Threads: the test thread builds the script (SetGreeting, When, SetGroup) and
// then calls Start(); from then on the script belongs to the server's own
// thread, which accepts one connection at a time and serves it until the client
// leaves. Commands() may be called from any thread. The
// destructor interrupts every wait of the server thread, closes the sockets and
// joins it, so a test never hangs on the server.
//
// How a command is answered, first match wins:
//   1. a When() rule whose command matches the line, while its use count
//      lasts; a command matches when it equals the line or, when it ends in
//      '*', when the line starts with the text before the '*';
//   2. the group set with SetGroup(): MODE READER, GROUP, XHDR, HDR, HEAD,
//      ARTICLE;
//   3. QUIT: "205 bye" and the connection is closed;
//   4. anything else: "500 command not recognized".
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the server does with one command (or in place of the greeting).
struct FakeReply {
    std::vector<std::string> pieces; // sent in order, each with its own send()
    int delayMs = 0;                 // pause before the first piece
    int pauseMs = 2;                 // pause after each piece but the last
    // Close the sending side once the pieces are out: the client reads the end
    // of the connection. Lines it sends afterwards are recorded, not answered.
    bool closeAfter = false;
    bool never = false; // send nothing, now or later; record lines until the client leaves
    bool reset = false; // reset the connection (RST) once the pieces are out
    // Once the pieces are out, answer nothing more (lines are still recorded):
    // a peer that agreed to start TLS and then stalls.
    bool listenAfter = false;
    // Once the pieces are out, everything on the connection is raw deflate
    // both ways (COMPRESS DEFLATE agreed): commands are inflated as they
    // arrive, replies deflated with a sync flush.
    bool deflateAfter = false;

    static FakeReply Text(std::string text);
    static FakeReply Pieces(std::vector<std::string> pieces, int pauseMs = 2);
    static FakeReply Close();  // close the connection without a word
    static FakeReply Silent(); // never answer
    static FakeReply Reset();  // abort the connection: the client's receive fails

    FakeReply& Delay(int ms);
    FakeReply& ThenClose();
    FakeReply& ThenReset();
    FakeReply& ThenListen();
    FakeReply& ThenDeflate();
};

// A newsgroup the server answers GROUP, XHDR, HDR, HEAD and ARTICLE from.
struct FakeGroup {
    std::string name = "alt.test";
    // The numbers of the 211 reply; -1 takes them from `headers` and `articles`.
    long count = -1;
    long first = -1;
    long last = -1;
    // XHDR and HDR values by article number (whatever header is asked for).
    std::map<long, std::string> headers;
    // Article text by number: header block, blank line, body. LF or CR LF line
    // ends; the server sends CR LF, dot-stuffed, followed by ".". HEAD sends
    // the header block alone.
    std::map<long, std::string> articles;
    // XPAT answered from `headers` as INN answers it (the arguments after the
    // range joined with blanks into one wildmat); false: refused with 500.
    bool xpat = false;
};

// An article with the usual headers: "From", "Newsgroups", "Subject",
// "Message-ID" (from `number`), "Lines", a blank line and `body` (LF lines).
std::string FakeArticleText(long number, const std::string& subject, const std::string& body);

struct FakeDeflate;

class FakeNntpServer {
  public:
    FakeNntpServer(); // listens at once, so port() is known before Start()
    ~FakeNntpServer();
    FakeNntpServer(const FakeNntpServer&) = delete;
    FakeNntpServer& operator=(const FakeNntpServer&) = delete;

    int Port() const { return listenPort; }
    // "127.0.0.1:PORT", the server text the engine connects to.
    std::string Address() const;

    // Script; call before Start().
    void SetGreeting(FakeReply reply); // default: "200 fake news server ready"
    // The first connections are greeted with these, in order (a connection
    // that drops at once, say); the later ones with the greeting set above.
    void GreetFirst(std::vector<FakeReply> replies);
    // Once `count` connections have been served, stops listening: later
    // connects are refused (a server gone away).
    void RefuseAfter(int count) { refuseAfter = count; }
    // `times` < 0: the rule never wears out.
    void When(const std::string& command, FakeReply reply, int times = -1);
    // Runs `action` on the server thread whenever a matching command arrives,
    // before it is answered (however it is answered).
    void OnCommand(const std::string& command, std::function<void()> action);
    void SetGroup(FakeGroup group);
    // Before answering a matching command, waits until `lines` more command
    // lines have arrived behind it (a client that sends commands ahead), or
    // at most `maxWaitMs`; then answers it as usual.
    void HoldUntilBehind(const std::string& command, int lines, int maxWaitMs);
    // Sends every reply one byte per send().
    void SplitEveryByte() { byteByByte = true; }

    void Start();

    // Every command line received so far, without its line end, in order over
    // all connections. Waits (at most 5 s) until the connection being served
    // has ended, so the client's last command is in the list.
    std::vector<std::string> Commands();
    // For each command of Commands(): how many complete command lines had
    // already arrived behind it when it was answered (0 for lines recorded
    // after the server stopped answering).
    std::vector<int> Behind();
    // The connections accepted so far; waits as Commands() does.
    int Connections();

  private:
    struct Rule {
        std::string command;
        FakeReply reply;
        int timesLeft;
    };
    struct Hook {
        std::string command;
        std::function<void()> action;
    };
    struct Hold {
        std::string command;
        int lines;
        int maxWaitMs;
    };

    // What follows a reply: the next command, only listening, or nothing.
    // Gone: the client left while it was answered; the lines it had sent
    // before (commands sent ahead, its QUIT) are still recorded.
    enum class After { Answer, Listen, Gone, End };

    void Serve();
    void ServeConnection(int fd, const FakeReply& greet);
    After Perform(int fd, const FakeReply& reply);
    // False when the client has left or the server stops.
    bool ReadLine(int fd, std::string& pending, std::string& line);
    // Reads what arrives within `ms` into pending; false when the client left.
    bool ReadMore(int fd, std::string& pending, int ms);
    static int CompleteLines(const std::string& pending);
    bool WaitReadable(int fd);
    bool Pause(int ms); // false when the server is stopping
    bool SendAll(int fd, const std::string& data);
    // Adds received bytes to pending, inflated once the connection deflates.
    bool Received(const char* data, long n, std::string& pending);
    FakeReply Answer(const std::string& command);
    FakeReply AnswerFromGroup(const std::string& command, bool& answered) const;
    void Record(const std::string& command, int behind = 0);

    int listenFd = -1;
    int listenPort = 0;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread thread;
    std::atomic<bool> stopping{false};

    FakeReply greeting;
    std::vector<FakeReply> firstGreetings;
    int refuseAfter = -1;
    std::vector<Rule> rules;
    std::vector<Hook> hooks;
    std::vector<Hold> holds;
    bool byteByByte = false;
    bool haveGroup = false;
    FakeGroup group;
    std::unique_ptr<FakeDeflate> deflate; // the connection being served deflates

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> received;
    std::vector<int> behind;
    bool serving = false;
    int connections = 0;
};
