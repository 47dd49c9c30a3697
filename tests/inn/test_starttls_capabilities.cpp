// The capability list is read again once STARTTLS has encrypted the
// connection: a scripted server that offers HDR only over TLS, with the
// certificate of scripts/inn-tls.sh (its CA signs "localhost" and 127.0.0.1).
#include "search_run.h"
#include "secure_servers.h"
#include "test_sockets.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace korvex_test {
namespace {

// Serves one connection: plain text, then TLS from STARTTLS on; records
// every command line.
class StartTlsServer {
  public:
    StartTlsServer() {
        listenFd = TestSocket();
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (bind(listenFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            listen(listenFd, 1) != 0 ||
            getsockname(listenFd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        port = ntohs(a.sin_port);
        ctx = SSL_CTX_new(TLS_server_method());
        ready = SSL_CTX_use_certificate_chain_file(ctx, (TlsDir() + "/server.pem").c_str()) == 1 &&
                SSL_CTX_use_PrivateKey_file(ctx, (TlsDir() + "/server.key").c_str(),
                                            SSL_FILETYPE_PEM) == 1;
    }
    ~StartTlsServer() {
        if (thread.joinable()) thread.join();
        TestCloseSocket(listenFd);
        SSL_CTX_free(ctx);
    }
    void Start() {
        thread = std::thread([this] { Serve(); });
    }
    std::vector<std::string> Commands() {
        if (thread.joinable()) thread.join();
        return commands;
    }

    int port = 0;
    bool ready = false;
    // A second connection, for a search that connects again after the first
    // is lost at `dropAt`; stripStartTls: STARTTLS is no longer listed on it,
    // as a man in the middle would strip it.
    int connectionsToServe = 1;
    std::string dropAt;
    bool stripStartTls = false;

  private:
    void Serve() {
        for (int i = 0; i < connectionsToServe; ++i) {
            ServeOne();
            ssl = nullptr;
            loggedIn = false;
            ++served;
        }
    }

    void ServeOne() {
        int fd = accept(listenFd, nullptr, nullptr);
        if (fd < 0) return;
        timeval wait{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        Send(fd, "200 scripted server ready\r\n");
        std::string line;
        while (ReadLine(fd, line)) {
            commands.push_back(line);
            if (dropAt == line && served == 0) break; // the first connection is lost here
            if (line == "QUIT") {
                Send(fd, "205 bye\r\n");
                break;
            }
            Send(fd, Answer(line));
            if (line == "STARTTLS") {
                ssl = SSL_new(ctx);
                SSL_set_fd(ssl, fd);
                if (SSL_accept(ssl) != 1) break;
            }
        }
        if (ssl != nullptr) {
            SSL_shutdown(ssl);
            SSL_free(ssl);
        }
        TestCloseSocket(fd);
    }

    std::string Answer(const std::string& line) {
        if (line == "CAPABILITIES" && served > 0 && stripStartTls)
            return "101 caps\r\nVERSION 2\r\nREADER\r\nAUTHINFO USER\r\n.\r\n";
        if (line == "CAPABILITIES")
            return ssl == nullptr
                       ? "101 caps\r\nVERSION 2\r\nREADER\r\nSTARTTLS\r\n.\r\n"
                       : "101 caps\r\nVERSION 2\r\nREADER\r\nHDR\r\nAUTHINFO USER\r\n.\r\n";
        if (line == "STARTTLS") return "382 begin TLS\r\n";
        if (line == "GROUP alt.test")
            return loggedIn ? "211 3 10 12 alt.test\r\n" : "480 authentication required\r\n";
        if (line.rfind("AUTHINFO USER ", 0) == 0 && ssl != nullptr) {
            loggedIn = true;
            return "281 welcome\r\n";
        }
        if (line == "HDR Subject 10-12")
            return "225 ok\r\n10 a match\r\n11 other\r\n12 a match\r\n.\r\n";
        if (line.rfind("ARTICLE ", 0) == 0) {
            std::string n = line.substr(8);
            return "220 " + n + " <" + n + "@x>\r\nSubject: a match\r\nMessage-ID: <" + n +
                   "@x>\r\n\r\nbody\r\n.\r\n";
        }
        return "500 what?\r\n";
    }

    void Send(int fd, const std::string& text) {
        if (ssl != nullptr)
            SSL_write(ssl, text.data(), static_cast<int>(text.size()));
        else
            send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    }

    bool ReadLine(int fd, std::string& line) {
        line.clear();
        for (;;) {
            char c = 0;
            long n = ssl != nullptr ? SSL_read(ssl, &c, 1) : recv(fd, &c, 1, 0);
            if (n <= 0) return false;
            if (c == '\n') break;
            if (c != '\r') line += c;
        }
        return true;
    }

    int listenFd = -1;
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    bool loggedIn = false;
    int served = 0;
    std::thread thread;
    std::vector<std::string> commands;
};

TEST(StartTlsCapabilities, ListIsReadAgainOverTls) {
    if (!std::ifstream(TlsDir() + "/server.key").is_open())
        GTEST_SKIP() << "no test certificate; create it with: scripts/inn-tls.sh start";
    StartTlsServer server;
    ASSERT_TRUE(server.ready);
    server.Start();
    kvSearchRequest request;
    CopyField(request.server, sizeof request.server,
              ("localhost:" + std::to_string(server.port)).c_str());
    CopyField(request.newsgroup, sizeof request.newsgroup, "alt.test");
    CopyField(request.pattern, sizeof request.pattern, "match");
    CopyField(request.caFile, sizeof request.caFile, TestCaFile().c_str());
    request.timeoutSeconds = 5;
    request.pipeline = 1;
    kvResultSet results;
    kvSearchContext context;
    context.credentials = FixedLogin(kTestUser, kTestPassword);
    EXPECT_EQ(RunSearch(request, results, context), 2) << context.statusText;
    // HDR is offered only in the list read over TLS; the list is read once
    // more after the login.
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"CAPABILITIES", "GROUP alt.test", "STARTTLS",
                                        "CAPABILITIES", std::string("AUTHINFO USER ") + kTestUser,
                                        "CAPABILITIES", "GROUP alt.test", "HDR Subject 10-12",
                                        "ARTICLE 12", "ARTICLE 10", "QUIT"}));
}

// A connection made again after one that was upgraded must be upgraded too:
// where the server no longer lists STARTTLS, neither the group nor the
// password goes over it in plain text, and the search fails.
TEST(StartTlsCapabilities, AReconnectKeepsTheEncryptionOrFails) {
    if (!std::ifstream(TlsDir() + "/server.key").is_open())
        GTEST_SKIP() << "no test certificate; create it with: scripts/inn-tls.sh start";
    for (bool strip : {false, true}) {
        SCOPED_TRACE(strip ? "STARTTLS stripped" : "STARTTLS listed again");
        StartTlsServer server;
        ASSERT_TRUE(server.ready);
        server.connectionsToServe = 2;
        server.dropAt = "ARTICLE 10";
        server.stripStartTls = strip;
        server.Start();
        kvSearchRequest request;
        CopyField(request.server, sizeof request.server,
                  ("localhost:" + std::to_string(server.port)).c_str());
        CopyField(request.newsgroup, sizeof request.newsgroup, "alt.test");
        CopyField(request.pattern, sizeof request.pattern, "match");
        CopyField(request.caFile, sizeof request.caFile, TestCaFile().c_str());
        request.timeoutSeconds = 5;
        request.pipeline = 1;
        request.retries = 1;
        request.allowPlainPassword = true; // even so: not after an encrypted start
        kvResultSet results;
        kvSearchContext context;
        context.pause = [](long long) { return true; };
        context.credentials = FixedLogin(kTestUser, kTestPassword);
        int found = RunSearch(request, results, context);
        const std::vector<std::string> first = {"CAPABILITIES",
                                                "GROUP alt.test",
                                                "STARTTLS",
                                                "CAPABILITIES",
                                                std::string("AUTHINFO USER ") + kTestUser,
                                                "CAPABILITIES",
                                                "GROUP alt.test",
                                                "HDR Subject 10-12",
                                                "ARTICLE 12",
                                                "ARTICLE 10"};
        std::vector<std::string> expected = first;
        if (strip) {
            // The article received over the encrypted connection is kept; the
            // search ends with the reason.
            EXPECT_EQ(found, 1);
            EXPECT_STREQ(context.statusText,
                         "ERROR: Secure connection failed: the server no longer offers STARTTLS");
            expected.insert(expected.end(), {"CAPABILITIES", "QUIT"});
        } else {
            EXPECT_EQ(found, 2) << context.statusText;
            expected.insert(expected.end(),
                            {"CAPABILITIES", "STARTTLS", "CAPABILITIES", "GROUP alt.test",
                             std::string("AUTHINFO USER ") + kTestUser, "CAPABILITIES",
                             "GROUP alt.test", "ARTICLE 10", "QUIT"});
        }
        EXPECT_EQ(server.Commands(), expected);
    }
}

} // namespace
} // namespace korvex_test
