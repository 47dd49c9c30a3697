// The big-group search with and without COMPRESS DEFLATE: the engine's own
// connection, command pipeline and line transport (what a search runs on)
// scan every Subject of the group and fetch every match, through a proxy that
// counts the bytes on the wire, once at loopback speed and once paced to a
// 10 Mbit/s link each way.
#include "bench.h"
#include "commands.h"
#include "compression.h"
#include "connect.h"
#include "delay_proxy.h"
#include "net_library.h"
#include "pipeline.h"
#include "records.h"
#include "transport.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

namespace {

struct Figures {
    bool ok = false;
    double wall = 0;
    long headers = 0, articles = 0;
    long long up = 0, down = 0;
    std::string error;
};

bool Reply(kvConnection& conn, int expected, char (&reply)[512]) {
    return ReceiveReplyLine(conn, reply, sizeof reply) > 0 && ReplyCode(reply) == expected;
}

// One search: every Subject of the group from the newest down, then ARTICLE
// for each line holding `word` (at most 1024), all sent ahead in the window.
Figures Search(int port, const std::string& group, const std::string& word, bool deflate) {
    Figures f;
    kvNetLibrary library;
    kvConnection conn;
    SetNetTimeout(conn, 60);
    kvAddressList addresses;
    char reply[512];
    if (!ResolveServer("127.0.0.1", port, addresses) ||
        ConnectToAny(addresses, conn) != kvConnectResult::Connected || !Reply(conn, 200, reply)) {
        f.error = "no connection";
        return f;
    }
    SendCommand(conn, "MODE READER\r\n");
    ReceiveReplyLine(conn, reply, sizeof reply);
    long result = 0;
    if (deflate && StartCompression(conn, result) != kvCompression::Active) {
        f.error = "the server did not agree to COMPRESS DEFLATE";
        return f;
    }
    SendCommand(conn, "GROUP %s\r\n", group.c_str());
    long count = 0, first = 0, last = 0;
    if (!Reply(conn, 211, reply) ||
        std::sscanf(reply, "211 %ld %ld %ld", &count, &first, &last) != 3) {
        f.error = "GROUP failed";
        return f;
    }
    kvBuffer list;
    list.Allocate(KV_HEADER_LIST_SIZE);
    kvPipeline pipeline(conn, KV_DEFAULT_PIPELINE);
    std::vector<long> matches;
    for (long high = last; high >= first || pipeline.Awaited() > 0;) {
        if (high >= first) {
            long low = high - 499 < first ? first : high - 499;
            if (pipeline.Send(221, kvResponseMode::HeaderList, "XHDR Subject %ld-%ld\r\n", low,
                              high) == kvSendResult::Sent) {
                high = low - 1;
                continue;
            }
        }
        if (pipeline.Receive(list) != 1) {
            f.error = "XHDR failed";
            return f;
        }
        for (char* line = std::strchr(list.data.get(), '\n'); line && line[1] != '.';
             line = std::strchr(line + 1, '\n')) {
            ++f.headers;
            char* end = std::strchr(line + 1, '\n');
            std::string text(line + 1, end ? static_cast<std::size_t>(end - line - 1) : 0);
            if (strcasestr(text.c_str(), word.c_str()) != nullptr && matches.size() < 1024)
                matches.push_back(std::atol(text.c_str()));
        }
    }
    kvBuffer article;
    article.Allocate(KV_ARTICLE_BUFFER_SIZE);
    for (std::size_t next = 0; next < matches.size() || pipeline.Awaited() > 0;) {
        if (next < matches.size() && pipeline.Send(220, kvResponseMode::Article, "ARTICLE %ld\r\n",
                                                   matches[next]) == kvSendResult::Sent) {
            ++next;
            continue;
        }
        if (pipeline.Receive(article) != 1) {
            f.error = "ARTICLE failed";
            return f;
        }
        ++f.articles;
    }
    pipeline.FinishLine();
    SendQuit(conn);
    f.ok = true;
    return f;
}

} // namespace

namespace kvBench {

bool CompressedSearch(int serverPort, const std::string& group, const std::string& word) {
    bool ok = true;
    for (long long rate : {0LL, 10000000LL}) {
        for (bool deflate : {false, true}) {
            kvDelayProxy proxy;
            if (!StartDelayProxy(0, serverPort, proxy, rate)) {
                std::printf("compress  : cannot start the proxy\n");
                return false;
            }
            double start = Seconds();
            Figures f = Search(proxy.port, group, word, deflate);
            f.wall = Seconds() - start;
            NextConnectionBytes(proxy, f.up, f.down, 5000);
            StopDelayProxy(proxy);
            char link[32];
            std::snprintf(link, sizeof link, rate > 0 ? "%lld Mbit/s" : "loopback", rate / 1000000);
            std::printf("compress  : %-11s %-10s %7.2f s, %9lld bytes down, %7lld bytes up, "
                        "%ld headers, %ld articles%s%s\n",
                        link, deflate ? "deflated" : "plain", f.wall, f.down, f.up, f.headers,
                        f.articles, f.ok ? "" : "; ", f.error.c_str());
            ok = ok && f.ok;
        }
    }
    return ok;
}

} // namespace kvBench
