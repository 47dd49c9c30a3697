// Reading one header from every article head (HEAD), as a search must for a
// header the server does not list (public-inbox answers XHDR of Keywords with
// an empty list): heads per second over one connection with the engine's
// pipeline, at loopback and through the delaying proxy, beside the same
// heads one command at a time and a whole korvex-cli search of that header.
#include "bench.h"
#include "commands.h"
#include "connect.h"
#include "delay_proxy.h"
#include "net.h"
#include "net_library.h"
#include "pipeline.h"
#include "transport.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct HeadFigures {
    bool ok = false;
    long heads = 0; // heads received
    long found = 0; // of them carrying the header
    double wall = 0;
    std::string error;
};

// True when a header line of the head in `text` (a HEAD response: status
// line, header lines, ".") starts with `name:` in any case.
bool HasHeader(const char* text, const std::string& name) {
    for (const char* line = std::strchr(text, '\n'); line != nullptr;
         line = std::strchr(line + 1, '\n')) {
        const char* at = line + 1;
        std::size_t i = 0;
        while (i < name.size() && at[i] != '\0' &&
               std::tolower(static_cast<unsigned char>(at[i])) ==
                   std::tolower(static_cast<unsigned char>(name[i])))
            ++i;
        if (i == name.size() && at[i] == ':') return true;
    }
    return false;
}

// HEAD for the newest `limit` articles of the group (0: all) on one
// connection to 127.0.0.1:port, keeping up to `window` commands outstanding.
HeadFigures ReadHeads(int port, const std::string& group, const std::string& header, int window,
                      long limit) {
    HeadFigures f;
    kvAddressList addresses;
    kvConnection conn;
    SetNetTimeout(conn, 60);
    if (!ResolveServer("127.0.0.1", port, addresses) ||
        ConnectToAny(addresses, conn) != kvConnectResult::Connected) {
        f.error = "cannot connect";
        return f;
    }
    char line[1024];
    if (ReceiveStatusLine(conn, line, sizeof line) <= 0 || line[0] != '2') {
        f.error = "no greeting";
        return f;
    }
    long count = 0, low = 0, high = 0;
    if (!SendCommand(conn, "GROUP %s\r\n", group.c_str()) ||
        ReceiveStatusLine(conn, line, sizeof line) <= 0 || ReplyCode(line) != 211 ||
        std::sscanf(line + 3, "%ld %ld %ld", &count, &low, &high) != 3 || high < low) {
        f.error = std::string("GROUP answered ") + line;
        return f;
    }
    if (limit > 0 && high - low + 1 > limit) low = high - limit + 1;

    kvBuffer buffer;
    if (!buffer.Allocate(KV_ARTICLE_BUFFER_SIZE)) {
        f.error = "no memory";
        return f;
    }
    kvPipeline pipeline(conn, window);
    double start = kvBench::Seconds();
    long next = low;
    for (long n = low; n <= high; ++n) {
        while (next <= high && pipeline.Send(221, kvResponseMode::HeaderList, "HEAD %ld\r\n",
                                             next) == kvSendResult::Sent)
            ++next;
        if (pipeline.Receive(buffer) != 1) {
            f.error = "HEAD " + std::to_string(n) + " not received";
            return f;
        }
        int code = ReplyCode(buffer.data.get());
        if (code != 221 && code != 423) {
            f.error = "HEAD " + std::to_string(n) + " answered " + buffer.data.get();
            return f;
        }
        if (code == 221) {
            ++f.heads;
            if (HasHeader(buffer.data.get(), header)) ++f.found;
        }
    }
    f.wall = kvBench::Seconds() - start;
    SendQuit(conn);
    f.ok = true;
    return f;
}

void Print(int delayMs, const std::string& what, const HeadFigures& f, const std::string& header) {
    if (!f.ok) {
        std::printf("head scan : %3d ms each way  %-12s failed: %s\n", delayMs, what.c_str(),
                    f.error.c_str());
    } else {
        std::printf("head scan : %3d ms each way  %-12s %5ld heads in %7.3f s  %8.0f heads/s  "
                    "(%ld with %s)\n",
                    delayMs, what.c_str(), f.heads, f.wall,
                    f.wall > 0 ? static_cast<double>(f.heads) / f.wall : 0.0, f.found,
                    header.c_str());
    }
    std::fflush(stdout);
}

} // namespace

bool kvBench::HeadScan(int serverPort, const std::string& group, const std::string& header,
                       const std::string& pattern, const std::vector<int>& delays, int window,
                       long singleLimit) {
    kvNetLibrary net;
    std::printf("head scan : HEAD of every article of %s on 127.0.0.1:%d, looking for %s\n",
                group.c_str(), serverPort, header.c_str());
    bool ok = true;
    for (int delay : delays) {
        kvDelayProxy proxy;
        int port = serverPort;
        if (delay > 0) {
            if (!StartDelayProxy(delay, serverPort, proxy)) {
                std::printf("head scan : cannot start the delaying proxy\n");
                return false;
            }
            port = proxy.port;
        }
        HeadFigures windowed = ReadHeads(port, group, header, window, 0);
        Print(delay, "window " + std::to_string(window), windowed, header);
        HeadFigures single = ReadHeads(port, group, header, 1, singleLimit);
        Print(delay, "pipeline 1", single, header);
        if (windowed.ok && single.ok && single.wall > 0 && windowed.wall > 0)
            std::printf("head scan : %3d ms each way: window %.1fx the heads per second of one "
                        "command at a time\n",
                        delay,
                        (static_cast<double>(windowed.heads) / windowed.wall) /
                            (static_cast<double>(single.heads) / single.wall));
        // The whole search of that header, as a user runs it.
        CliFigures cli = RunCliSearch(
            {"--server", "127.0.0.1:" + std::to_string(port), "--group", group, "--header", header,
             "--pattern", pattern, "--max-headers", "all", "--pipeline", std::to_string(window)});
        std::printf(
            "head scan : %3d ms each way  korvex-cli   %s \"%s\": wall %7.3f s  CPU %6.3f s  "
            "peak %5.1f MB; %s\n",
            delay, header.c_str(), pattern.c_str(), cli.wall, cli.cpu, cli.peakMB,
            cli.last.c_str());
        std::fflush(stdout);
        if (delay > 0) StopDelayProxy(proxy);
        ok = ok && windowed.ok && single.ok;
    }
    return ok;
}
