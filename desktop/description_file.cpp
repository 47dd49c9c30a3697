#include "description_file.h"

#include "file_system.h"
#include "file_trust.h"

#include <cerrno>
#include <cstring>

namespace {

// One line of at most 511 characters; a longer line is read in pieces.
bool ReadLine(FILE* file, char (&line)[KV_LIST_ENTRY]) {
    return std::fgets(line, sizeof line, file) != nullptr;
}

bool BeginsWith(const char* line, const char* marker) {
    return std::strncmp(line, marker, std::strlen(marker)) == 0;
}

void CutAt(char* line, char c) {
    if (char* found = std::strchr(line, c)) *found = '\0';
}

// Rewinds and reads up to and including the line that begins with start.
bool FindSection(FILE* file, const char* start, char (&line)[KV_LIST_ENTRY]) {
    std::rewind(file);
    while (ReadLine(file, line))
        if (BeginsWith(line, start)) return true;
    return false;
}

// A list section: its first entry goes into the request field (empty without).
template <std::size_t N>
void ReadList(FILE* file, const char* start, const char* end, bool cutAtBlank,
              std::vector<std::string>& entries, char (&field)[N]) {
    entries.clear();
    if (file != nullptr) ReadListSection(file, start, end, entries, cutAtBlank);
    CopyListEntry(field, N, entries.empty() ? std::string() : entries[0]);
}

// ReadSetting on a file that may not have opened: false means "not found".
bool Setting(FILE* file, const char* key, char (&value)[KV_SETTING_VALUE]) {
    value[0] = '\0';
    return file != nullptr && ReadSetting(file, "[Settings]", "[/Settings]", key, value);
}

// A limit: the value as read, "all" when it is not a positive number, the
// fallback when the key is absent. When the key is found, start receives the
// decoded number.
void ReadLimit(FILE* file, const char* key, const char* fallback, char (&field)[KV_LIMIT_SIZE],
               int& start) {
    char value[KV_SETTING_VALUE];
    if (!Setting(file, key, value)) {
        CopyField(field, fallback);
        return;
    }
    long number = DecodeNumber(value); // at most seven characters: fits an int
    start = static_cast<int>(number);
    CopyField(field, number < 1 ? "all" : value);
}

} // namespace

kvDialogSetup::kvDialogSetup() {
    for (int i = 0; i < KV_HEADER_CHOICES; ++i)
        CopyField(headerNames[i], kvSearchHeaders[i]);
}

void CopyListEntry(char* field, std::size_t capacity, const std::string& entry) {
    if (capacity == 0) return;
    std::size_t length = entry.size() < capacity - 1 ? entry.size() : capacity - 1;
    // A cut inside a character goes back to where that character starts.
    if (length < entry.size())
        while (length > 0 && (static_cast<unsigned char>(entry[length]) & 0xC0) == 0x80)
            --length;
    CopyFieldN(field, capacity, entry.c_str(), length);
}

int ReadListSection(FILE* file, const char* start, const char* end,
                    std::vector<std::string>& entries, bool cutAtBlank) {
    entries.clear();
    char line[KV_LIST_ENTRY];
    if (!FindSection(file, start, line)) return -1;
    while (ReadLine(file, line)) {
        CutAt(line, '\n');
        CutAt(line, '\r');
        if (cutAtBlank) {
            CutAt(line, ' ');
            CutAt(line, '\t');
        }
        if (BeginsWith(line, end)) break;
        entries.emplace_back(line);
        if (entries.size() == KV_LIST_ENTRIES) break;
    }
    return static_cast<int>(entries.size());
}

bool ReadSetting(FILE* file, const char* start, const char* end, const char* key,
                 char (&value)[KV_SETTING_VALUE]) {
    value[0] = '\0';
    char line[KV_LIST_ENTRY];
    if (!FindSection(file, start, line)) return false;
    std::size_t keyLength = std::strlen(key);
    while (ReadLine(file, line)) {
        if (BeginsWith(line, key)) {
            // The character after the key ("=" as a rule) is skipped whatever
            // it is, but never the line's end.
            const char* text = line + keyLength;
            if (*text != '\0') ++text;
            std::size_t n = 0;
            while (n < KV_SETTING_VALUE - 1 && text[n] != '\0' && !std::strchr(" \t#\r\n", text[n]))
                ++n;
            CopyFieldN(value, sizeof value, text, n);
            return true;
        }
        if (BeginsWith(line, end)) return false;
    }
    return false;
}

int ReadLongSetting(FILE* file, const char* start, const char* end, const char* key,
                    std::string& value) {
    value.clear();
    char line[KV_LIST_ENTRY];
    if (file == nullptr || !FindSection(file, start, line)) return -1;
    std::size_t keyLength = std::strlen(key);
    while (ReadLine(file, line)) {
        if (BeginsWith(line, key) && line[keyLength] == '=') {
            const char* text = line + keyLength + 1;
            value.assign(text, std::strcspn(text, " \t#\r\n"));
            return 0;
        }
        if (BeginsWith(line, end)) return -1;
    }
    return -1;
}

void ReadDescriptionFile(const std::string& path, kvSearchRequest& request, kvDialogSetup& setup) {
    setup = kvDialogSetup{};
    kvFileTrust trust = kvFileTrust::Trusted;
    FILE* file = path.empty() ? nullptr : OpenSettingsStream(path, trust);
    if (!path.empty() && file == nullptr && errno == ELOOP)
        setup.warning = path + " is a link in a folder other users may write: not read";

    ReadList(file, "[Patterns]", "[/Patterns]", false, setup.patterns, request.pattern);
    ReadList(file, "[Servers]", "[/Servers]", true, setup.servers, request.server);
    ReadList(file, "[Newsgroups]", "[/Newsgroups]", true, setup.newsgroups, request.newsgroup);

    char value[KV_SETTING_VALUE];
    request.matchMode = MATCH_ANY_WORD;
    setup.matchSelection = 0;
    if (Setting(file, "MATCH_WORD", value)) {
        if (StartsWithWord(value, "all")) {
            request.matchMode = MATCH_ALL_WORDS;
            setup.matchSelection = 1;
        } else if (StartsWithWord(value, "phr")) {
            request.matchMode = MATCH_PHRASE;
            setup.matchSelection = 2;
        }
    }

    request.ignoreCase = true;
    setup.caseSelection = 1;
    if (Setting(file, "MATCH_CASE", value) && std::strncmp(value, "match", 5) == 0) {
        request.ignoreCase = false;
        setup.caseSelection = 0;
    }

    setup.findSliderStart = 0;
    ReadLimit(file, "MAX_ARTICLES", "all", request.maxArticles, setup.findSliderStart);
    setup.findLimitOn = !StartsWithWord(request.maxArticles, "all");
    setup.scanSliderStart = setup.findSliderStart;
    // MAX_HEADERS=whole: every number of the group; the slider starts where
    // it would without the key.
    setup.scanWhole = Setting(file, "MAX_HEADERS", value) && std::strncmp(value, "whole", 5) == 0;
    if (setup.scanWhole)
        CopyField(request.maxHeaders, "whole");
    else
        ReadLimit(file, "MAX_HEADERS", "4000", request.maxHeaders, setup.scanSliderStart);
    setup.scanLimitOn = !StartsWithWord(request.maxHeaders, "all");

    // The chosen header and "Subject" change places, so the choice's first
    // entry is always the header searched.
    static const char* const kSearchIn[][2] = {{"subj", "Subject"},
                                               {"date", "Date"},
                                               {"from", "From"},
                                               {"keyw", "Keywords"},
                                               {"summ", "Summary"}};
    const char* header = "Subject";
    if (Setting(file, "SEARCH_IN", value))
        for (const auto& choice : kSearchIn)
            if (std::strncmp(value, choice[0], 4) == 0) header = choice[1];
    for (auto& name : setup.headerNames) {
        if (std::strcmp(name, header) != 0) continue;
        CopyField(name, setup.headerNames[0]);
        CopyField(setup.headerNames[0], header);
        break;
    }
    CopyField(request.header, header);

    CopyField(request.timeLimit, Setting(file, "TIME_LIMIT", value) ? value : "any");

    request.timeoutSeconds = 30;
    if (Setting(file, "TIMEOUTS", value)) {
        long seconds = DecodeNumber(value);
        if (seconds > KV_MAX_TIMEOUT_SECONDS) seconds = KV_MAX_TIMEOUT_SECONDS;
        if (seconds >= 1) request.timeoutSeconds = static_cast<int>(seconds);
    }

    std::string caFile;
    bool caFileSet = ReadLongSetting(file, "[Settings]", "[/Settings]", "CA_FILE", caFile) == 0;
    bool plainSet = Setting(file, "ALLOW_PLAIN_PASSWORD", value);
    request.allowPlainPassword = plainSet && std::strcmp(value, "1") == 0;
    if (trust != kvFileTrust::Trusted && (caFileSet || plainSet)) {
        // Whoever may change the file could name their own CA or let a
        // password go out unencrypted: those two keys count only in a file of ours.
        caFile.clear();
        request.allowPlainPassword = false;
        setup.warning =
            "Ignoring CA_FILE and ALLOW_PLAIN_PASSWORD in " + path + ": other users may change it";
    }
    CopyField(request.caFile, caFile.c_str());
    // COMPRESS=0 turns the deflated connection off; anything else leaves it on.
    request.compress = !(Setting(file, "COMPRESS", value) && std::strcmp(value, "0") == 0);
    // SERVER_FILTER=0 keeps the header scan from asking XPAT; anything else leaves it on.
    request.serverFilter = !(Setting(file, "SERVER_FILTER", value) && std::strcmp(value, "0") == 0);
    // Commands a search keeps outstanding: 1 to 1024, the default when absent or below 1.
    request.pipeline = KV_DEFAULT_PIPELINE;
    if (Setting(file, "PIPELINE", value)) {
        long window = DecodeNumber(value);
        if (window >= 1)
            request.pipeline =
                window > KV_MAX_PIPELINE ? KV_MAX_PIPELINE : static_cast<int>(window);
    }
    // Reconnects after a lost connection: 0 to 10, the default when absent or
    // not a number.
    request.retries = KV_DEFAULT_RETRIES;
    if (Setting(file, "RETRIES", value) && value[0] >= '0' && value[0] <= '9') {
        long retries = DecodeNumber(value);
        request.retries = retries > KV_MAX_RETRIES ? KV_MAX_RETRIES : static_cast<int>(retries);
    }

    if (file != nullptr) std::fclose(file);
}
