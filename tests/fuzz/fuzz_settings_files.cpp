// The start-up files. Input: one byte (even: the settings file, odd: the
// description file), then the file's text.
// Settings file: read, written, read and written again: the same window
// rectangles both times, the two files byte for byte alike, every key on a
// line of its own, no window at a negative position or without a size.
// Description file (only ever read): every request field terminated inside
// its buffer and within its range (match mode, case, time-out, pipeline,
// reconnects, limits), list entries of at most 511 bytes and 24 per list, the fields
// taken from a list holding a prefix of its first entry that is valid UTF-8
// whenever the entry is, and a second reading giving the same.
#include "fuzz_check.h"

#include "description_file.h"
#include "settings_file.h"
#include "utf8_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

std::string Directory() {
    static std::string dir;
    if (dir.empty()) {
        std::string place = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string name = place + "/korvex-fuzz-settings-XXXXXX";
        FUZZ_CHECK(mkdtemp(&name[0]) != nullptr);
        dir = name;
        std::atexit([] {
            for (const char* f : {"/in", "/a.ini", "/b.ini"})
                std::remove((dir + f).c_str());
            rmdir(dir.c_str());
        });
    }
    return dir;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool SameRect(const WindowRect& a, const WindowRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

void CheckRect(const WindowRect& r) {
    FUZZ_CHECK(r.x >= 0 && r.y >= 0 && r.width > 0 && r.height > 0);
}

void CheckSettings(const kvSettings& s) {
    CheckRect(s.mainRect);
    CheckRect(s.articleRect);
    FUZZ_CHECK(s.lines.size() <= KV_SETTINGS_SLOTS);
    for (int key = 0; key < KV_SETTINGS_KEYS; ++key) {
        FUZZ_CHECK(s.keyLine[key] >= 0 && s.keyLine[key] < static_cast<int>(s.lines.size()));
        for (int other = 0; other < key; ++other)
            FUZZ_CHECK(s.keyLine[key] != s.keyLine[other]);
    }
}

void Settings(const std::string& in) {
    const std::string a = Directory() + "/a.ini", b = Directory() + "/b.ini";
    kvSettings first;
    ReadSettingsFile(in, first);
    CheckSettings(first);
    FUZZ_CHECK(WriteSettingsFile(a, first));
    kvSettings second;
    ReadSettingsFile(a, second);
    CheckSettings(second);
    FUZZ_CHECK(SameRect(first.mainRect, second.mainRect));
    FUZZ_CHECK(SameRect(first.articleRect, second.articleRect));
    FUZZ_CHECK(WriteSettingsFile(b, second));
    FUZZ_CHECK(ReadFile(a) == ReadFile(b));
}

template <std::size_t N> std::string Field(const char (&field)[N]) {
    std::size_t length = strnlen(field, N);
    FUZZ_CHECK(length < N);
    return std::string(field, length);
}

void CheckListField(const std::string& field, const std::vector<std::string>& entries) {
    FUZZ_CHECK(entries.size() <= KV_LIST_ENTRIES);
    for (const std::string& e : entries)
        FUZZ_CHECK(e.size() < KV_LIST_ENTRY);
    std::string first = entries.empty() ? "" : entries[0];
    FUZZ_CHECK(first.compare(0, field.size(), field) == 0);
    if (IsValidUtf8(first.data(), first.size()))
        FUZZ_CHECK(IsValidUtf8(field.data(), field.size()));
}

// Field by field: the request's flags are bool, so its bytes hold padding
// that two equal requests need not share.
bool SameRequest(const kvSearchRequest& a, const kvSearchRequest& b) {
    auto same = [](const char* x, const char* y) { return std::strcmp(x, y) == 0; };
    return same(a.pattern, b.pattern) && same(a.server, b.server) &&
           same(a.newsgroup, b.newsgroup) && same(a.header, b.header) &&
           same(a.timeLimit, b.timeLimit) && same(a.maxArticles, b.maxArticles) &&
           same(a.maxHeaders, b.maxHeaders) && same(a.caFile, b.caFile) &&
           a.matchMode == b.matchMode && a.ignoreCase == b.ignoreCase &&
           a.timeoutSeconds == b.timeoutSeconds && a.allowPlainPassword == b.allowPlainPassword &&
           a.pipeline == b.pipeline && a.retries == b.retries;
}

void Description(const std::string& in) {
    kvSearchRequest request;
    kvDialogSetup setup;
    ReadDescriptionFile(in, request, setup);
    CheckListField(Field(request.pattern), setup.patterns);
    CheckListField(Field(request.server), setup.servers);
    CheckListField(Field(request.newsgroup), setup.newsgroups);
    Field(request.header);
    Field(request.timeLimit);
    Field(request.maxArticles);
    Field(request.maxHeaders);
    Field(request.caFile);
    for (const auto& name : setup.headerNames)
        Field(name);
    FUZZ_CHECK(request.matchMode >= MATCH_ALL_WORDS && request.matchMode <= MATCH_PHRASE);
    FUZZ_CHECK(request.ignoreCase == 0 || request.ignoreCase == 1);
    FUZZ_CHECK(request.allowPlainPassword == 0 || request.allowPlainPassword == 1);
    FUZZ_CHECK(request.timeoutSeconds >= 1 && request.timeoutSeconds <= KV_MAX_TIMEOUT_SECONDS);
    FUZZ_CHECK(request.pipeline >= 1 && request.pipeline <= KV_MAX_PIPELINE);
    FUZZ_CHECK(request.retries >= 0 && request.retries <= KV_MAX_RETRIES);
    FUZZ_CHECK(setup.matchSelection >= 0 && setup.matchSelection <= 2);
    FUZZ_CHECK(setup.caseSelection == 0 || setup.caseSelection == 1);
    int headers = EffectiveMaxHeaders(request);
    FUZZ_CHECK(headers >= 1 && headers <= KV_MAX_HEADERS);
    int articles = EffectiveMaxArticles(request);
    FUZZ_CHECK(articles >= 1 && articles <= KV_MAX_ARTICLES);
    FUZZ_CHECK(EffectiveTimeLimitSeconds(request) >= 0);
    // The header searched is one the dialog offers, and it comes first.
    FUZZ_CHECK(std::strcmp(setup.headerNames[0], request.header) == 0);

    kvSearchRequest again;
    kvDialogSetup setupAgain;
    ReadDescriptionFile(in, again, setupAgain);
    FUZZ_CHECK(SameRequest(request, again));
    FUZZ_CHECK(setup.patterns == setupAgain.patterns && setup.servers == setupAgain.servers &&
               setup.newsgroups == setupAgain.newsgroups);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string in = Directory() + "/in";
    std::FILE* f = std::fopen(in.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(data + 1, 1, size - 1, f) == size - 1);
    FUZZ_CHECK(std::fclose(f) == 0);
    if (data[0] % 2 == 0)
        Settings(in);
    else
        Description(in);
    return 0;
}
