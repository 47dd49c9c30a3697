#include "cli_options.h"

#include "group_wildmat.h"
#include "header_lines.h"

#include <cstring>
#include <strings.h>

const char* const KV_CLI_USAGE =
    "usage:\n"
    "  korvex-cli search --server SERVER --group GROUPS --pattern TEXT\n"
    "                    [--header NAME] [--mode any|all|phrase] [--match-case]\n"
    "                    [--max-articles N|all] [--max-headers N|all|whole]\n"
    "                    [--time-limit MINUTES|any] [--timeout SECONDS] [--pipeline N]\n"
    "                    [--retries N] [--cafile FILE.pem] [--user NAME] [--netrc-file FILE]\n"
    "                    [--allow-plain-password] [--no-compress] [--no-server-filter]\n"
    "                    [--save FILE.kvx|DIR] [--report FILE.txt] [--reply-list FILE.txt] "
    "[--quiet]\n"
    "                    [--csv FILE.csv] [--jsonl FILE.jsonl [--no-body]] [--mbox FILE.mbox]\n"
    "  korvex-cli show FILE.kvx [--report FILE.txt] [--reply-list FILE.txt]\n"
    "  korvex-cli export FILE.kvx [--csv FILE.csv] [--jsonl FILE.jsonl [--no-body]]\n"
    "                    [--mbox FILE.mbox]\n"
    "  korvex-cli --help | --version\n"
    "\n"
    "servers: HOST, HOST:PORT, [IPv6]:PORT, nntp://HOST[:PORT] (plain, port 119),\n"
    "         nntps://HOST[:PORT] or snews://HOST[:PORT] (TLS, port 563),\n"
    "         HOST:563 (TLS)\n"
    "logins: asked for only when the server wants one; from --user with the password in\n"
    "        KORVEX_PASSWORD or typed at the terminal, else from ~/.netrc or --netrc-file\n"
    "groups: one NAME, or a comma-separated list of names and wildmats (* ? [...], !\n"
    "        excludes: comp.lang.*,!comp.lang.java.*): each group searched in turn on one\n"
    "        connection; --save then names a directory that gets NAME.kvx for each group\n"
    "        with articles, --report and --reply-list cover all groups, and --csv,\n"
    "        --jsonl and --mbox are refused; one line per group, then a totals line;\n"
    "        exit status 0 when any group had articles\n"
    "headers: Subject Keywords Summary Date From Reply-To Message-ID Organization\n"
    "exit status: 0 articles found or loaded, 1 nothing found, 2 failure, 64 usage error\n";

namespace {

// --help and --version stand for themselves anywhere; None for any other argument.
kvCliCommand InfoCommand(const std::string& arg) {
    if (arg == "-h" || arg == "--help") return kvCliCommand::Help;
    if (arg == "-V" || arg == "--version") return kvCliCommand::Version;
    return kvCliCommand::None;
}

bool HasLineBreak(const char* text) {
    return std::strpbrk(text, "\r\n") != nullptr;
}

// A whole positive decimal number of at most maxDigits digits.
bool ParseCount(const char* text, int maxDigits, long& value) {
    std::size_t n = std::strlen(text);
    if (n == 0 || n > static_cast<std::size_t>(maxDigits)) return false;
    if (std::strspn(text, "0123456789") != n) return false;
    value = DecodeNumber(text);
    return value >= 1;
}

// Stores a text value into a field, or explains why it does not fit.
template <std::size_t N>
std::string StoreText(char (&field)[N], const char* value, const char* what) {
    if (HasLineBreak(value)) return std::string(what) + " must be a single line";
    if (std::strlen(value) > N - 1)
        return std::string(what) + " is longer than " + std::to_string(N - 1) + " characters";
    CopyField(field, value);
    return "";
}

// wholeAllowed: the word "whole" (every number of the group) is taken too.
std::string StoreLimit(char (&field)[KV_LIMIT_SIZE], const char* value, const char* option,
                       bool wholeAllowed = false) {
    if (strcasecmp(value, "all") == 0) {
        CopyField(field, "all");
        return "";
    }
    if (wholeAllowed && strcasecmp(value, "whole") == 0) {
        CopyField(field, "whole");
        return "";
    }
    long n = 0;
    if (!ParseCount(value, KV_LIMIT_SIZE - 1, n))
        return std::string(option) + " takes a whole number from 1 to 9999999, or \"all\"" +
               (wholeAllowed ? " or \"whole\"" : "");
    CopyField(field, value);
    return "";
}

} // namespace

std::string ParseCliOptions(int argc, const char* const argv[], kvCliOptions& o) {
    if (argc < 2) return "no command given";
    std::string command = argv[1];
    if (command == "help") command = "--help";
    if (InfoCommand(command) != kvCliCommand::None) {
        o.command = InfoCommand(command);
        return "";
    }
    if (command == "search") {
        o.command = kvCliCommand::Search;
    } else if (command == "show") {
        o.command = kvCliCommand::Show;
    } else if (command == "export") {
        o.command = kvCliCommand::Export;
    } else {
        return "unknown command \"" + command + "\"";
    }

    bool haveServer = false, haveGroup = false, havePattern = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (InfoCommand(arg) != kvCliCommand::None) {
            o.command = InfoCommand(arg);
            return "";
        }
        if (arg == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (arg == "--allow-plain-password") {
            if (o.command != kvCliCommand::Search) return arg + " belongs to search";
            o.request.allowPlainPassword = true;
            continue;
        }
        if (arg == "--no-compress") {
            if (o.command != kvCliCommand::Search) return arg + " belongs to search";
            o.request.compress = false;
            continue;
        }
        if (arg == "--no-server-filter") {
            if (o.command != kvCliCommand::Search) return arg + " belongs to search";
            o.request.serverFilter = false;
            continue;
        }
        if (arg == "--no-body") {
            if (o.command == kvCliCommand::Show) return arg + " belongs to search and export";
            o.noBody = true;
            continue;
        }
        if (arg == "--match-case") {
            if (o.command != kvCliCommand::Search) return "--match-case belongs to search";
            o.request.ignoreCase = false;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (o.command != kvCliCommand::Search && o.inputFile.empty()) {
                o.inputFile = arg;
                continue;
            }
            return "unexpected argument \"" + arg + "\"";
        }
        if (i + 1 >= argc) return arg + " needs a value";
        const char* value = argv[++i];
        std::string error;
        bool exports = o.command != kvCliCommand::Show;
        if (arg == "--save" && o.command == kvCliCommand::Search) {
            o.saveFile = value;
        } else if (arg == "--report" && o.command != kvCliCommand::Export) {
            o.reportFile = value;
        } else if (arg == "--reply-list" && o.command != kvCliCommand::Export) {
            o.replyListFile = value;
        } else if (arg == "--csv" && exports) {
            o.csvFile = value;
        } else if (arg == "--jsonl" && exports) {
            o.jsonlFile = value;
        } else if (arg == "--mbox" && exports) {
            o.mboxFile = value;
        } else if (o.command != kvCliCommand::Search) {
            return "unknown option " + arg + " for " + command;
        } else if (arg == "--server") {
            error = StoreText(o.request.server, value, "--server");
            haveServer = *value != '\0';
        } else if (arg == "--group") {
            error = StoreText(o.request.newsgroup, value, "--group");
            haveGroup = *value != '\0';
            o.sweep = IsGroupSelection(value);
            std::string why;
            if (error.empty() && o.sweep && !CheckGroupSelection(value, why))
                error = "--group: " + why;
        } else if (arg == "--pattern") {
            error = StoreText(o.request.pattern, value, "--pattern");
            havePattern = true;
        } else if (arg == "--cafile") {
            error = StoreText(o.request.caFile, value, "--cafile");
        } else if (arg == "--user") {
            if (*value == '\0' || HasLineBreak(value) || std::strlen(value) > 255)
                error = "--user takes a user name of 1 to 255 characters on one line";
            o.user = value;
        } else if (arg == "--netrc-file") {
            if (*value == '\0') error = "--netrc-file needs a file name";
            o.netrcFile = value;
        } else if (arg == "--header") {
            const char* canonical = nullptr;
            std::string names;
            for (const char* h : kvSearchHeaders) {
                if (strcasecmp(h, value) == 0) canonical = h;
                names += names.empty() ? h : std::string(", ") + h;
            }
            if (canonical == nullptr)
                return std::string("unknown header \"") + value + "\"; one of " + names;
            CopyField(o.request.header, canonical);
        } else if (arg == "--mode") {
            if (std::strcmp(value, "any") == 0)
                o.request.matchMode = MATCH_ANY_WORD;
            else if (std::strcmp(value, "all") == 0)
                o.request.matchMode = MATCH_ALL_WORDS;
            else if (std::strcmp(value, "phrase") == 0)
                o.request.matchMode = MATCH_PHRASE;
            else
                return std::string("--mode takes any, all or phrase, not \"") + value + "\"";
        } else if (arg == "--max-articles") {
            error = StoreLimit(o.request.maxArticles, value, "--max-articles");
        } else if (arg == "--max-headers") {
            error = StoreLimit(o.request.maxHeaders, value, "--max-headers", true);
        } else if (arg == "--time-limit") {
            long minutes = 0;
            if (strcasecmp(value, "any") == 0)
                CopyField(o.request.timeLimit, "any");
            else if (ParseCount(value, KV_TIME_LIMIT_SIZE - 1, minutes))
                CopyField(o.request.timeLimit, value);
            else
                error = "--time-limit takes whole minutes from 1 to 999, or \"any\"";
        } else if (arg == "--timeout") {
            long seconds = 0;
            if (!ParseCount(value, 6, seconds))
                error = "--timeout takes whole seconds from 1 to 999999";
            else
                o.request.timeoutSeconds = static_cast<int>(seconds);
        } else if (arg == "--pipeline") {
            long window = 0;
            if (!ParseCount(value, 4, window) || window > KV_MAX_PIPELINE)
                error = "--pipeline takes a whole number of commands from 1 to " +
                        std::to_string(KV_MAX_PIPELINE);
            else
                o.request.pipeline = static_cast<int>(window);
        } else if (arg == "--retries") {
            long retries = 0;
            // 0 is allowed here: it turns reconnecting off.
            if ((std::strcmp(value, "0") != 0 && !ParseCount(value, 2, retries)) ||
                retries > KV_MAX_RETRIES)
                error = "--retries takes a whole number of reconnects from 0 to " +
                        std::to_string(KV_MAX_RETRIES);
            else
                o.request.retries = static_cast<int>(retries);
        } else {
            return "unknown option " + arg;
        }
        if (!error.empty()) return error;
    }
    if (o.command == kvCliCommand::Search) {
        if (!haveServer) return "search needs --server";
        if (!haveGroup) return "search needs --group";
        if (!havePattern) return "search needs --pattern";
    } else if (o.inputFile.empty()) {
        return command + " needs a results file";
    } else if (o.command == kvCliCommand::Export && o.csvFile.empty() && o.jsonlFile.empty() &&
               o.mboxFile.empty()) {
        return "export needs --csv, --jsonl or --mbox";
    }
    if (o.noBody && o.jsonlFile.empty()) return "--no-body goes with --jsonl";
    if (o.sweep && (!o.csvFile.empty() || !o.jsonlFile.empty() || !o.mboxFile.empty()))
        return "--csv, --jsonl and --mbox take one group; export each group's results file "
               "from the --save directory instead";
    return "";
}
