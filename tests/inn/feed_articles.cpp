// korvex-feed: loads the generated test articles into the news server that
// the integration tests search, checks what the server holds, or lists the
// groups. Loading talks to innd as a feeding peer (from 127.0.0.2, so innd
// takes the connection in transit mode): MODE STREAM, pipelined CHECK for
// every article, then pipelined TAKETHIS for those innd still wants. Articles
// innd already has count as loaded, so running it again is harmless.
//
//   korvex-feed [--server HOST] [--source ADDR]   load; exit 1 on any rejection
//   korvex-feed --check [--server HOST]           0 loaded, 1 incomplete, 3 other
//                                                 articles, 2 unreachable
//   korvex-feed --list                            "group count" lines
//   korvex-feed --write-eml DIR GROUP             the group's articles as mail
//                                                 files DIR/000001.eml... (for a
//                                                 mail-fed server such as public-inbox)
#include "article_generator.h"
#include "nntp_line_client.h"
#include "server_check.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

using namespace korvex_test;

namespace {

struct Item {
    std::size_t group; // index into GeneratedGroups()
    long number;
};

struct GroupCounts {
    long accepted = 0;
    long duplicate = 0;
    long rejected = 0;
};

// Sends what `produce` hands to its sender from a second thread while this
// thread reads one reply line per item and gives it to `consume`. False when
// the connection failed (the reason is printed).
bool Pipeline(NntpLineClient& conn, const std::vector<Item>& items,
              const std::function<bool(const std::function<bool(const std::string&)>&)>& produce,
              const std::function<bool(const Item&, const std::string&)>& consume) {
    bool sendFailed = false;
    std::thread writer([&] {
        std::string batch;
        auto send = [&](const std::string& text) {
            batch += text;
            if (batch.size() < (1u << 18)) return true;
            bool ok = conn.SendAll(batch);
            batch.clear();
            return ok;
        };
        sendFailed = !produce(send) || !conn.SendAll(batch);
    });
    bool ok = true;
    std::string reply;
    for (const Item& item : items) {
        if (!conn.ReadLine(reply)) {
            std::fprintf(stderr, "korvex-feed: %s\n", conn.Error().c_str());
            ok = false;
            break;
        }
        if (!consume(item, reply)) {
            ok = false;
            break;
        }
    }
    if (!ok) conn.Shutdown(); // ends a writer blocked on a full connection
    writer.join();
    if (sendFailed && ok) {
        std::fprintf(stderr, "korvex-feed: %s\n", conn.SendError().c_str());
        ok = false;
    }
    return ok;
}

// The Message-ID that a CHECK or TAKETHIS reply names.
std::string ReplyId(const std::string& reply) {
    std::size_t start = reply.find(' ');
    if (start == std::string::npos) return "";
    std::size_t end = reply.find(' ', start + 1);
    return reply.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

bool ExpectId(const Item& item, const std::string& reply) {
    const GeneratedGroupInfo& g = GeneratedGroups()[item.group];
    if (ReplyId(reply) == GeneratedMessageId(g.index, item.number)) return true;
    std::fprintf(stderr, "korvex-feed: reply \"%s\" for article %ld of %s\n", reply.c_str(),
                 item.number, g.name.c_str());
    return false;
}

int Load(const std::string& server, const std::string& source) {
    auto started = std::chrono::steady_clock::now();
    const auto& groups = GeneratedGroups();
    NntpLineClient conn;
    if (!conn.Connect(server, 119, source)) {
        std::fprintf(stderr, "korvex-feed: %s\n", conn.Error().c_str());
        return 2;
    }
    conn.SetReadTimeout(120);
    std::string status;
    if (!conn.ReadLine(status) || StatusCode(status) != 200) {
        std::fprintf(stderr, "korvex-feed: greeting \"%s\"\n", status.c_str());
        return 2;
    }
    if (!conn.Command("MODE STREAM", status) || StatusCode(status) != 203) {
        std::fprintf(stderr,
                     "korvex-feed: MODE STREAM answered \"%s\": %s is not a feeding peer of "
                     "innd (incoming.conf)\n",
                     status.c_str(), source.c_str());
        return 2;
    }

    std::vector<Item> all;
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (long n = 1; n <= groups[g].count; ++n)
            all.push_back({g, n});
    std::vector<GroupCounts> counts(groups.size());

    // Which articles innd does not have yet.
    std::vector<Item> wanted;
    bool ok = Pipeline(
        conn, all,
        [&](const std::function<bool(const std::string&)>& send) {
            for (const Item& item : all)
                if (!send("CHECK " + GeneratedMessageId(groups[item.group].index, item.number) +
                          "\r\n"))
                    return false;
            return true;
        },
        [&](const Item& item, const std::string& reply) {
            if (!ExpectId(item, reply)) return false;
            int code = StatusCode(reply);
            if (code == 438) {
                ++counts[item.group].duplicate;
            } else if (code == 238 || code == 431) {
                wanted.push_back(item);
            } else {
                std::fprintf(stderr, "korvex-feed: CHECK answered \"%s\"\n", reply.c_str());
                return false;
            }
            return true;
        });

    int shownRejections = 0;
    if (ok && !wanted.empty()) {
        ok = Pipeline(
            conn, wanted,
            [&](const std::function<bool(const std::string&)>& send) {
                std::size_t at = 0;
                for (std::size_t g = 0; g < groups.size() && at < wanted.size(); ++g) {
                    if (wanted[at].group != g) continue;
                    std::vector<GeneratedArticle> articles = GenerateGroup(groups[g].name);
                    for (; at < wanted.size() && wanted[at].group == g; ++at) {
                        const GeneratedArticle& a =
                            articles[static_cast<std::size_t>(wanted[at].number - 1)];
                        if (!send("TAKETHIS " + a.MessageId() + "\r\n" + WireArticle(a)))
                            return false;
                    }
                }
                return true;
            },
            [&](const Item& item, const std::string& reply) {
                if (!ExpectId(item, reply)) return false;
                if (StatusCode(reply) == 239) {
                    ++counts[item.group].accepted;
                } else {
                    ++counts[item.group].rejected;
                    if (shownRejections++ < 5)
                        std::fprintf(stderr, "korvex-feed: refused: %s\n", reply.c_str());
                }
                return true;
            });
    }
    conn.Command("QUIT", status);

    long rejected = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        std::printf("korvex-feed: %s: %ld accepted, %ld duplicate, %ld rejected\n",
                    groups[g].name.c_str(), counts[g].accepted, counts[g].duplicate,
                    counts[g].rejected);
        rejected += counts[g].rejected;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("korvex-feed: %zu articles sent in %.1f s\n", wanted.size(), seconds);
    if (rejected > 0)
        std::fprintf(stderr, "korvex-feed: innd gives its reasons in /var/log/news/news\n");
    if (!ok) return 2;
    return rejected > 0 ? 1 : 0;
}

// The article as a mail file: header lines (folded ones as folded), a blank
// line and the body, every line ended by LF and nothing dot-stuffed.
std::string MailText(const GeneratedArticle& article) {
    std::string text;
    for (const auto& header : article.headers) {
        const std::string* value = &header.second;
        for (const auto& folded : article.folded)
            if (folded.first == header.first) value = &folded.second;
        text += header.first + ": " + *value + "\n";
    }
    return text + "\n" + article.body;
}

// Writes every article of the group as DIR/NNNNNN.eml, numbered as the
// server numbers them, so that a shell glob lists them in order.
int WriteMailFiles(const std::string& dir, const std::string& group) {
    std::vector<GeneratedArticle> articles = GenerateGroup(group);
    if (articles.empty()) {
        std::fprintf(stderr, "korvex-feed: no generated group %s\n", group.c_str());
        return 2;
    }
    for (const GeneratedArticle& article : articles) {
        char name[32];
        std::snprintf(name, sizeof name, "/%06ld.eml", article.number);
        std::string path = dir + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::string text = MailText(article);
        bool ok = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (file != nullptr && std::fclose(file) != 0) ok = false;
        if (!ok) {
            std::fprintf(stderr, "korvex-feed: cannot write %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }
    std::printf("korvex-feed: %zu articles of %s written to %s\n", articles.size(), group.c_str(),
                dir.c_str());
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: korvex-feed [--list | --check] [--server HOST] [--source ADDR]\n"
                         "       korvex-feed --write-eml DIR GROUP\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string mode = "load";
    std::string server = "127.0.0.1";
    std::string source = "127.0.0.2";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--write-eml") {
            if (argc != 4) return Usage();
            return WriteMailFiles(argv[2], argv[3]);
        }
        if (arg == "--list" || arg == "--check") {
            mode = arg.substr(2);
        } else if ((arg == "--server" || arg == "--source") && i + 1 < argc) {
            (arg == "--server" ? server : source) = argv[++i];
        } else {
            return Usage();
        }
    }

    if (mode == "list") {
        for (const GeneratedGroupInfo& g : GeneratedGroups())
            std::printf("%s %ld\n", g.name.c_str(), g.count);
        return 0;
    }
    if (mode == "check") {
        switch (CheckServer(server, std::cout)) {
        case ServerState::Loaded:
            return 0;
        case ServerState::Incomplete:
            return 1;
        case ServerState::Unreachable:
            return 2;
        case ServerState::Other:
            return 3;
        }
    }
    return Load(server, source);
}
