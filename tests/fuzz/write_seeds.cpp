// Writes the fuzz targets' seed inputs: korvex_fuzz_seeds DIR [TARGET...]
// writes DIR/TARGET/seed-N for every target named (all when none is), so that
// each run starts from inputs that reach deep into the code: real responses,
// articles, patterns, addresses and files in the layouts the targets read.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Seeds = std::vector<std::string>;

namespace {

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string ArticleText(int number, const std::string& subject, const std::string& body) {
    return "From: Poster " + std::to_string(number) + " <p@example.org>\r\n" +
           "Newsgroups: alt.test\r\nSubject: " + subject +
           "\r\nDate: Tue, 8 Dec 2026 22:09:47 +0000\r\n" + "Message-ID: <" +
           std::to_string(number) + "@example.org>\r\nLines: 2\r\n\r\n" + body;
}

Seeds Transport() {
    // Byte 0: which responses are articles (bit per response); byte 1: piece sizes.
    std::string headerList = "221 Subject fields follow\r\n3000 match one\r\n2999 other\r\n.\r\n";
    std::string article = "220 3000 <3000@example.org>\r\n" +
                          ArticleText(3000, "match", "..dotted line\r\nplain\r\n") + ".\r\n";
    std::string refused = "423 no such article\r\n";
    std::string greeting = "200 server ready\r\n";
    std::string longArticle = "220 1 <1@x>\r\n" + Repeat(Repeat("x", 70) + "\r\n", 600) + ".\r\n";
    std::string longLine = "221 list\r\n1 " + Repeat("y", 3000) + "\r\n.\r\n";
    return {
        std::string("\x00\x07", 2) + greeting + headerList + headerList,
        std::string("\x02\x11", 2) + greeting + headerList + article + refused + headerList,
        std::string("\x01\x05", 2) + greeting + longArticle + article,
        std::string("\x00\x09", 2) + greeting + longLine + "221 x\r\n.\r\n",
        std::string("\x00\x03", 2) + greeting + "221 x\r\n1 a\0b\r\n\n.\r\n.\r\n",
        std::string("\x3f\x01", 2) + greeting + Repeat(article, 6),
    };
}

// A non-final stored deflate block holding `text` (at most 65535 bytes).
std::string StoredBlock(const std::string& text) {
    std::size_t n = text.size();
    std::string block = {'\0', static_cast<char>(n & 0xff), static_cast<char>(n >> 8),
                         static_cast<char>(~n & 0xff), static_cast<char>((~n >> 8) & 0xff)};
    return block + text;
}

Seeds Compress() {
    // Byte 0: article bits; byte 1: piece sizes and flush places; byte 2 odd:
    // plain text deflated by the target, even: the deflate stream itself.
    std::string greeting = "200 server ready\r\n";
    std::string headerList = "221 Subject fields follow\r\n3000 match one\r\n2999 other\r\n.\r\n";
    std::string article = "220 3000 <3000@example.org>\r\n" +
                          ArticleText(3000, "match", "..dotted line\r\nplain\r\n") + ".\r\n";
    std::string many =
        "221 list\r\n" + Repeat("1234 a subject line of some length\r\n", 3000) + ".\r\n";
    return {
        std::string("\x02\x11\x01", 3) + greeting + headerList + article + headerList,
        std::string("\x00\x05\x01", 3) + greeting + many + headerList,
        std::string("\x00\x07\x00", 3) + StoredBlock(greeting) + StoredBlock(headerList),
        std::string("\x01\x03\x00", 3) + StoredBlock(greeting + article.substr(0, 20)) +
            StoredBlock(article.substr(20)),
    };
}

Seeds SearchRun() {
    // See fuzz_search_run.cpp: option bytes, then replies separated by "\n~\n".
    std::string sep = "\n~\n";
    std::string group = "211 3 3000 3002 alt.test\r\n";
    std::string xhdr =
        "221 Subject follows\r\n3002 a match\r\n3001 nothing\r\n3000 Re: a match\r\n.\r\n";
    std::string a1 =
        "220 3002 <3002@x>\r\n" + ArticleText(3002, "a match", "one\r\n..two\r\n") + ".\r\n";
    std::string a2 =
        "220 3000 <3000@x>\r\n" + ArticleText(3000, "Re: a match", "three\r\n") + ".\r\n";
    std::string caps = "101 caps\r\nVERSION 2\r\nREADER\r\nSTARTTLS\r\nAUTHINFO USER\r\n.\r\n";
    std::string inbox = "101 caps\r\nVERSION 2\r\nREADER\r\nLIST ACTIVE OVERVIEW.FMT\r\nHDR\r\n"
                        "OVER\r\n.\r\n";
    std::string inn = "101 caps\r\nVERSION 2\r\nREADER\r\nHDR\r\nOVER\r\nLIST ACTIVE HEADERS\r\n"
                      ".\r\n";
    std::string format = "215 fmt\r\nSubject:\r\nFrom:\r\nDate:\r\nMessage-ID:\r\nReferences:\r\n"
                         ":bytes\r\n:lines\r\nXref:full\r\n.\r\n";
    std::string over =
        "224 overview\r\n3000\ta match\tP\td\t<3000@x>\t\t1\t1\tXref: h alt.test:3000"
        "\r\n3002\tx\tP\td\t<3002@x>\t\t1\t1\tXref: match\r\n.\r\n";
    auto head = [](int number, const std::string& extra) {
        std::string text = ArticleText(number, "a match", "");
        return "221 " + std::to_string(number) + " <" + std::to_string(number) + "@x>\r\n" + extra +
               text.substr(0, text.size() - 2) + ".\r\n";
    };
    return {
        std::string("\x00\x00", 2) + "200 ready" + sep + "500 what" + sep + "200 reader" + sep +
            group + sep + xhdr + sep + a1 + sep + a2 + sep + "205 bye",
        std::string("\x01\x00", 2) + "200 ready" + sep + "500 what" + sep + "200 reader" + sep +
            group + sep + xhdr + sep + a1 + sep + a2 + sep + "205 bye",
        std::string("\x00\x01", 2) + "200 ready" + sep + caps + sep + group + sep + xhdr + sep +
            a1 + sep + a2,
        std::string("\x00\x00", 2) + "200 ready" + sep + "500 what" + sep + "200 reader" + sep +
            "480 login please" + sep + "381 more" + sep + "281 ok" + sep + group + sep + xhdr,
        std::string("\x01\x02", 2) + "201 ready" + sep + "500 what" + sep + "200 reader" + sep +
            "211 1000 1 1000 alt.test\r\n" + sep + xhdr + sep + "221 x\r\n.\r\n" + sep + a1,
        std::string("\x00\x00", 2) + "200 ready" + sep + "500 what" + sep + "200 reader" + sep +
            group + sep +
            std::string("221 Subject follows\r\n3002 a m\0atch\r\n3001 match\r\n.\r\n", 51) + sep +
            "222 3002 body\r\nbody\r\n.\r\n" + sep + a2,
        // A login when the group asks for one; with a password kept off plain
        // text, STARTTLS offered and agreed to (no TLS follows).
        std::string("\x06\x00", 2) + "200 ready" + sep + "500 what" + sep + "200 reader" + sep +
            "480 login please" + sep + "381 more" + sep + "281 ok" + sep + group + sep + xhdr +
            sep + a1 + sep + a2,
        std::string("\x02\x00", 2) + "200 ready" + sep + "500 what" + sep + "200 reader" + sep +
            "480 login please" + sep + caps + sep + "382 go ahead" + sep + "\x16\x03\x01 not tls",
        // A login asked for amid chunks sent ahead.
        std::string("\x06\x01", 2) + "200 ready" + sep + "500 what" + sep + "200 reader" + sep +
            "211 2000 1 2000 alt.test\r\n" + sep + "221 x\r\n1999 match\r\n.\r\n" + sep +
            "480 login please" + sep + "480 login please" + sep + "381 more" + sep + "281 ok" +
            sep + "211 2000 1 2000 alt.test\r\n" + sep + "221 x\r\n1500 match\r\n.\r\n",
        // HDR refused, XHDR empty for a header the articles hold: HEAD tells.
        std::string("\x19\x00", 2) + "200 ready" + sep + inbox + sep + group + sep +
            "503 HDR not permitted" + sep + "221 Header follows\r\n.\r\n" + sep + head(3000, "") +
            sep + head(3001, "Keywords: a\r\n match\r\n") + sep + "423 no such article" + sep + a1 +
            sep + a2,
        // Every list refused: OVER from the overview format, an Xref:full column.
        std::string("\x01\x00", 2) + "200 ready" + sep + inbox + sep + group + sep + "503 no" +
            sep + "500 no" + sep + format + sep + over + sep + a1 + sep + a2,
        // INN: LIST HEADERS beside GROUP, HDR.
        std::string("\x01\x00", 2) + "200 ready" + sep + inn + sep + group + sep +
            "215 headers\r\n:\r\n.\r\n" + sep +
            "225 Subject follows\r\n3002 a match\r\n3001 nothing\r\n3000 match\r\n.\r\n" + sep +
            a1 + sep + a2,
        // leafnode: an empty list that is true (HEAD finds the header nowhere).
        std::string("\x19\x00", 2) + "200 ready" + sep + "500 Unknown command" + sep + "200 ok" +
            sep + "211 3 1 3 alt.test\r\n" + sep + "221 Keywords: header\r\n.\r\n" + sep +
            "423 no such article" + sep + head(2, "") + sep + "423 no such article" + sep +
            "205 bye",
    };
}

Seeds Article() {
    // Header block, then "\n~\n" and one subject per line for the ordering.
    return {
        ArticleText(1, "hello", "") + "\n~\nRe: a\nb\na\nRE: b\nre: a\nRe:a\n",
        "Subject: folded\r\n value\r\n\tmore\r\nFrom: x\r\nLines: 12\r\nSummary: s\r\nKeywords: "
        "k\r\n"
        "Sender: s\r\nReply-To: r\r\nOrganization: o\r\n\n~\nx\nx\ny\nx\n",
        "XSubject: no\rSubject: cr\r\nLines: 99999999999999999999\r\n\n~\n\n\nRe: \n",
        "Subject: " + Repeat("long ", 200) + "\r\n\n~\n" + Repeat("Re: s\nt\n", 20),
    };
}

Seeds Pattern() {
    // Byte 0: mode and case; then the pattern, "\n", the header value.
    return {
        std::string("\x00", 1) + "foo bar\nsome foo and bar",
        std::string("\x01", 1) + "foo -bar\nfoo and bar",
        std::string("\x00", 1) + "-x --y z\n-y and z",
        std::string("\x01", 1) + "\"two words\" -not\nwith two words and not",
        std::string("\x02", 1) + "  a phrase\nin a phrase here",
        std::string("\x04", 1) + "MiXeD -case\nmixed CASE",
        std::string("\x05", 1) + "\"unterminated -\"neg\" x y z a b c d e f g\nneg",
        std::string("\x04", 1) + "caf\xc3\xa9\n=?UTF-8?Q?CAF=C3=89?=",
        std::string("\x01", 1) + "--x - \" \"\n-x",
        std::string("\x00", 1) + Repeat("w", 40) + "\n" + Repeat("w", 30),
    };
}

Seeds ServerFilter() {
    // As the pattern's: byte 0 mode and case, the pattern, "\n", the value.
    return {
        std::string("\x05", 1) + "keystone orchid\nThe KEYSTONE item",
        std::string("\x04", 1) + "keystone -orchid\n=?utf-8?b?a2V5c3RvbmU=?=",
        std::string("\x00", 1) + "a*b [c] d?e f\\g h,i\nf\\g h,i a*b [c] d?e",
        std::string("\x06", 1) + "big \t dog\na big dog",
        std::string("\x01", 1) + "caf\xc3\xa9 \"two words\" -x\ntwo words",
        std::string("\x02", 1) + Repeat("[z]", 80) + "\n" + Repeat("[z]", 81),
    };
}

Seeds ServerAddress() {
    return {"news.example.org",
            "news.example.org:119",
            "[::1]:563",
            "[::1]",
            "::1",
            "nntp://host/",
            "NNTPS://host:1563",
            "nntps://[fe80::1]/",
            "host:0",
            "host:65536",
            "host:",
            "[::1]x",
            "user@host",
            "a/b",
            "127.0.0.1:00119"};
}

std::string ResultsFile(int articles) {
    std::string out = ".kvx file -- do not edit!\r\nmatch\r\nSubject\r\nnews.example.org\r\n"
                      "alt.test\r\nTue Dec  8 22:09:47 2026\r\n1000\r\n" +
                      std::to_string(articles) + "\r\n";
    for (int i = 0; i < articles; ++i) {
        if (i > 0) out += "\r\n";
        for (int f = 0; f < 10; ++f)
            out += "field " + std::to_string(f) + " of " + std::to_string(i) + "\r\n";
        out += "\r\nbody line one\r\nline two\r\n";
        out += '\0';
        out += "\r\n";
    }
    return out;
}

Seeds ResultsFiles() {
    // Byte 0: which allocation fails (0: none; the reader takes two and its
    // body area one, then each article one and its body one); then the file.
    std::string none("\x00", 1);
    std::string late("\x05", 1);
    return {none + ResultsFile(0),
            none + ResultsFile(1),
            none + ResultsFile(3),
            late + ResultsFile(3),
            std::string("\x02", 1) + ResultsFile(2),
            std::string("\x06", 1) + ResultsFile(3),
            std::string("\x09", 1) + ResultsFile(4),
            none + ".kvx\r\nshort",
            none + ResultsFile(1) + "trailing",
            none + ResultsFile(1).substr(0, 120)};
}

Seeds SettingsFiles() {
    // Byte 0: which file (even: settings, odd: description); then its text.
    std::string settings = "[Window]\nMAIN_X=20\nMAIN_Y=30\nMAIN_W=500\nMAIN_H=300\n"
                           "MSG_X=5\nMSG_Y=6\nMSG_W=700\nMSG_H=400\n";
    std::string description =
        "[Patterns]\nfoo bar\n\"a phrase\"\n[/Patterns]\n[Servers]\nnews.example.org\n"
        "nntps://secure.example.org\n[/Servers]\n[Newsgroups]\nalt.test more\n[/Newsgroups]\n"
        "[Settings]\nMATCH=1\nCASE=0\nMAX_ARTICLES=50\nMAX_HEADERS=4000\nTIME_LIMIT=5\n"
        "TIMEOUTS=9999999\nPIPELINE=2000\nHEADER=From\nCA_FILE=/tmp/ca.pem\n"
        "ALLOW_PLAIN_PASSWORD=1\n[/Settings]\n";
    return {std::string("\x00", 1) + settings,
            std::string("\x00", 1) + "comment\nMAIN_W=-5\nMAIN_H=99999\n" + Repeat("z", 300) +
                "\nMAIN_X=1",
            std::string("\x00", 1) + "a\0b\nMAIN_X=3\n",
            std::string("\x01", 1) + description,
            std::string("\x01", 1) + "[Servers]\n" + Repeat("\xc3\xa9", 300) + "\n[/Servers]\n",
            std::string("\x01", 1) + "[Settings]\nTIMEOUTS=-1\nPIPELINE=0\nMATCH=7\n"};
}

Seeds Mime() {
    // Byte 0: which decoder; then its input (header block "\n~\n" body for bodies).
    return {
        std::string("\x00", 1) + "=?UTF-8?B?w6l0w6k=?= =?ISO-8859-1?Q?caf=E9?= plain \x01\x7f",
        std::string("\x00", 1) + "=?utf-8?q?a_b?==?KOI8-R?B?8tXT08vJ0Q==?=",
        std::string("\x01", 1) +
            "Content-Type: text/plain; charset=iso-8859-1\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\n~\ncaf=E9=\nend\n",
        std::string("\x01", 1) +
            "Content-Type: multipart/mixed; boundary=\"b\"\n\n~\n--b\n"
            "Content-Type: text/plain\n\nhello\n--b\nContent-Type: image/png;"
            " name=x.png\nContent-Transfer-Encoding: base64\n\niVBORw0KGgo=\n--b--\n",
        std::string("\x01", 1) + "Content-Transfer-Encoding: base64\n\n~\naGVsbG8gd29ybGQ=\n",
        std::string("\x01", 1) + "Content-Type: text/plain; charset=iso-8859-1\n\n~\n" +
            Repeat("\xe9\xe8 line\n", 5000),
        std::string("\x00", 1) + "=?TSCII?Q?=82=87?= =?UTF-7?Q?+AAE-?=",
        std::string("\x02", 1) + "aGVsbG8\nd29ybGQ=",
        std::string("\x03", 1) + "a=3Db=\n=4",
        std::string("\x04", 1) + "windows-1252\n\x80\x81\x82",
        std::string("\x05", 1) + "line\r\nbell\x07 tab\t\xc2\x85 \xff",
    };
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: korvex_fuzz_seeds DIR [TARGET...]\n");
        return 2;
    }
    const std::map<std::string, std::function<Seeds()>> targets = {
        {"transport", Transport},
        {"compress", Compress},
        {"search_run", SearchRun},
        {"article", Article},
        {"pattern", Pattern},
        {"server_address", ServerAddress},
        {"server_filter", ServerFilter},
        {"results_file", ResultsFiles},
        {"settings_files", SettingsFiles},
        {"mime", Mime},
    };
    std::vector<std::string> names;
    for (int i = 2; i < argc; ++i)
        names.push_back(argv[i]);
    if (names.empty())
        for (const auto& t : targets)
            names.push_back(t.first);
    for (const std::string& name : names) {
        auto found = targets.find(name);
        if (found == targets.end()) {
            std::fprintf(stderr, "korvex_fuzz_seeds: no target %s\n", name.c_str());
            return 2;
        }
        fs::path dir = fs::path(argv[1]) / name;
        fs::create_directories(dir);
        Seeds seeds = found->second();
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            std::ofstream out(dir / ("seed-" + std::to_string(i)), std::ios::binary);
            out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
            if (!out) return 1;
        }
    }
    return 0;
}
