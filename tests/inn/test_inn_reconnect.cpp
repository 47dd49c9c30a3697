// A connection to the real news server lost in the middle of a search: a proxy
// in front of the server ends the first connection after a given number of
// bytes from the server; the search connects again through it and must store
// exactly the articles a search without the loss stores.
#include "inn_search_fixture.h"
#include "server_address.h"
#include "test_sockets.h"

#include <atomic>
#include <thread>

namespace korvex_test {
namespace {

// Forwards one connection at a time to the news server; the first one is
// closed once `cutAfter` bytes of the server's have gone to the client
// (0: never). Counts the connections and the bytes the server sent.
class CuttingProxy {
  public:
    CuttingProxy(const std::string& host, int port, long cutAfter) : cut(cutAfter) {
        target.sin_family = AF_INET;
        target.sin_port = htons(static_cast<unsigned short>(port));
        ready = inet_pton(AF_INET, host.c_str(), &target.sin_addr) == 1;
        listenFd = TestListen(listenPort);
        if (ready && listenFd >= 0) thread = std::thread([this] { Serve(); });
    }
    ~CuttingProxy() {
        stopping = true;
        if (thread.joinable()) thread.join();
        if (listenFd >= 0) TestCloseSocket(listenFd);
    }
    CuttingProxy(const CuttingProxy&) = delete;
    CuttingProxy& operator=(const CuttingProxy&) = delete;

    bool Ready() const { return ready && listenFd >= 0; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(listenPort); }
    int Connections() const { return accepted; }
    long ServerBytes() const { return fromServer; }

  private:
    void Serve() {
        while (!stopping) {
            kvPollFd p = TestPollFd(listenFd, POLLIN);
            if (TestPoll(&p, 1, 100) <= 0) continue;
            int client = TestAccept(listenFd);
            if (client < 0) continue;
            int server = TestSocket();
            std::string error;
            if (server >= 0 && TestConnectWithin(server, reinterpret_cast<sockaddr*>(&target),
                                                 sizeof target, 3000, error))
                Pump(client, server, accepted++ == 0 ? cut : 0);
            if (server >= 0) TestCloseSocket(server);
            TestCloseSocket(client);
        }
    }

    // Until either side ends, or the server's bytes reach `limit` (0: none).
    void Pump(int client, int server, long limit) {
        long sent = 0;
        char buffer[16384];
        while (!stopping) {
            kvPollFd p[2] = {TestPollFd(client, POLLIN), TestPollFd(server, POLLIN)};
            if (TestPoll(p, 2, 100) <= 0) continue;
            if (p[0].revents != 0) {
                long n = TestRecv(client, buffer, sizeof buffer);
                if (n <= 0 || TestSend(server, buffer, static_cast<std::size_t>(n)) != n) return;
            }
            if (p[1].revents != 0) {
                long n = TestRecv(server, buffer, sizeof buffer);
                if (n <= 0) return;
                if (limit > 0 && sent + n > limit) n = limit - sent;
                if (n > 0 && TestSend(client, buffer, static_cast<std::size_t>(n)) != n) return;
                sent += n;
                fromServer += n;
                if (limit > 0 && sent >= limit) return; // the connection is lost here
            }
        }
    }

    long cut;
    sockaddr_in target{};
    bool ready = false;
    int listenFd = -1;
    int listenPort = 0;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<int> accepted{0};
    std::atomic<long> fromServer{0};
};

ServerChoice Through(const CuttingProxy& proxy) {
    ServerChoice choice;
    choice.server = proxy.Address();
    return choice;
}

TEST_F(InnSearch, LostConnectionResumesWithTheSameArticles) {
    std::string host;
    int port = 0;
    if (!ParseServerAddress(Server().c_str(), host, port)) GTEST_SKIP() << Server();
    const SearchQuery query{kBigGroup, "Subject", "keystone relic",   MATCH_ANY_WORD, 1,
                            "4000",    "all",     KV_DEFAULT_PIPELINE};
    long total = 0;
    {
        CuttingProxy whole(host, port, 0);
        if (!whole.Ready()) GTEST_SKIP() << "no IPv4 server address: " << Server();
        SearchOutcome o = SearchAndCompare(query, Through(whole));
        ASSERT_GT(o.result, 0);
        EXPECT_EQ(whole.Connections(), 1);
        total = whole.ServerBytes();
    }
    // Lost while the header lists arrive, and while the articles do.
    for (long cut : {total / 5, total / 2, total * 4 / 5}) {
        SCOPED_TRACE("cut after " + std::to_string(cut) + " of " + std::to_string(total));
        CuttingProxy proxy(host, port, cut);
        SearchOutcome o = SearchAndCompare(query, Through(proxy));
        EXPECT_TRUE(o.Showed("SEARCH: Connection lost, reconnecting (1 of 3)..."));
        EXPECT_EQ(proxy.Connections(), 2);
        // The second connection is sent again only what had no whole answer.
        EXPECT_LT(proxy.ServerBytes(), total + total / 2);
    }
}

} // namespace
} // namespace korvex_test
