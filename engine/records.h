// The records a search shares with storage and the front ends: the request the
// dialog or command line fills, the summary of the held result set and one
// fetched article (the result set that holds them is in result_set.h).
//
// All text fields are fixed-size, NUL-terminated single-byte buffers; a field's
// capacity includes the terminating NUL. CopyField is the one way text enters
// them, so nothing can overflow a field. These records hold no locks.
#pragma once

#include <cstddef>
#include <memory>

constexpr int KV_FIELD_SIZE = 512;       // article header fields, server, newsgroup
constexpr int KV_PATTERN_SIZE = 256;     // search pattern
constexpr int KV_HEADER_NAME_SIZE = 24;  // header searched
constexpr int KV_TIME_LIMIT_SIZE = 4;    // "any" or up to three digits
constexpr int KV_LIMIT_SIZE = 8;         // maxArticles, maxHeaders, foundCount
constexpr int KV_DATE_SIZE = 32;         // searchDate
constexpr int KV_GROUP_COUNT_SIZE = 16;  // groupCount
constexpr int KV_SOURCE_FILE_SIZE = 255; // sourceFile
constexpr int KV_MAX_ARTICLES = 1024;    // result set capacity
constexpr int KV_MAX_HEADERS = 51200;    // most header lines one search scans
constexpr int KV_STATUS_SIZE = 512;      // StatusText
// Commands a search keeps outstanding on its connection: 1 sends one command
// and waits for its whole answer before the next; more send commands ahead,
// which saves a network round trip per command on a distant server.
constexpr int KV_DEFAULT_PIPELINE = 1024;
constexpr int KV_MAX_PIPELINE = 1024;
// Reconnects after a lost connection, per search.
constexpr int KV_DEFAULT_RETRIES = 3;
constexpr int KV_MAX_RETRIES = 10;
// Longest network wait a request may ask for, in seconds (about 11.5 days):
// larger values are cut to it when read, so waits in milliseconds stay far
// inside 32 bits.
constexpr int KV_MAX_TIMEOUT_SECONDS = 999999;

// Text of a header field whose header the article did not carry.
constexpr const char* KV_NONE = "<none>";

enum kvMatchMode { MATCH_ALL_WORDS = 0, MATCH_ANY_WORD = 1, MATCH_PHRASE = 2 };

struct kvSearchRequest {
    char pattern[KV_PATTERN_SIZE] = "";
    char server[KV_FIELD_SIZE] = "";
    char newsgroup[KV_FIELD_SIZE] = "";
    char header[KV_HEADER_NAME_SIZE] = "Subject";
    char timeLimit[KV_TIME_LIMIT_SIZE] = "any";
    char maxArticles[KV_LIMIT_SIZE] = "all";
    char maxHeaders[KV_LIMIT_SIZE] = "4000";
    int matchMode = MATCH_ANY_WORD;
    bool ignoreCase = true;
    int timeoutSeconds = 30;
    // Certificates to trust for TLS instead of the system's; empty: the system's.
    char caFile[KV_FIELD_SIZE] = "";
    // True: a password may go to this server over an unencrypted connection.
    bool allowPlainPassword = false;
    int pipeline = KV_DEFAULT_PIPELINE; // commands kept outstanding, 1 to 1024
    // Times a search connects again after losing its connection, 0 to 10.
    int retries = KV_DEFAULT_RETRIES;
    // True: the connection is deflated (COMPRESS DEFLATE) when the server offers it.
    bool compress = true;
    // True: the header scan may let the server pick the values that can match (XPAT).
    bool serverFilter = true;
};

struct kvSearchSummary {
    char pattern[KV_PATTERN_SIZE] = "";
    char header[KV_HEADER_NAME_SIZE] = "";
    char server[KV_FIELD_SIZE] = "";
    char newsgroup[KV_FIELD_SIZE] = "";
    char searchDate[KV_DATE_SIZE] = "";
    char groupCount[KV_GROUP_COUNT_SIZE] = "";
    char foundCount[KV_LIMIT_SIZE] = "";
    char sourceFile[KV_SOURCE_FILE_SIZE] = {};
    bool loadedFromFile = false;
    // Every header the search's scan matched, fetched or not; -1: not known
    // (a loaded file, whose format has no place for it).
    long long matchedTotal = -1;
};

struct kvArticle {
    char from[KV_FIELD_SIZE] = "";
    char newsgroups[KV_FIELD_SIZE] = "";
    char subject[KV_FIELD_SIZE] = "";
    char date[KV_FIELD_SIZE] = "";
    char messageId[KV_FIELD_SIZE] = "";
    char organization[KV_FIELD_SIZE] = "";
    char keywords[KV_FIELD_SIZE] = "";
    char summary[KV_FIELD_SIZE] = "";
    char sender[KV_FIELD_SIZE] = "";
    char replyTo[KV_FIELD_SIZE] = "";
    std::unique_ptr<char[]> body; // LF line ends, NUL-terminated; null when there is none
    int lines = -1;
    kvArticle* next = nullptr;
};

// The ten text fields in record order, which is also the order the results
// file stores them in.
constexpr int KV_ARTICLE_FIELD_COUNT = 10;
char* ArticleField(kvArticle& article, int index);
const char* ArticleField(const kvArticle& article, int index);

// Copies at most capacity-1 bytes of text (stopping at its NUL) and terminates.
void CopyField(char* field, std::size_t capacity, const char* text);
template <std::size_t N> void CopyField(char (&field)[N], const char* text) {
    CopyField(field, N, text);
}
// Copies exactly the first `length` bytes of text (or fewer to fit) and terminates.
void CopyFieldN(char* field, std::size_t capacity, const char* text, std::size_t length);

// True when a field holds the missing-header marker: its first six characters are "<none>".
bool IsMissing(const char* field);

// Reads a decimal number the program's way: leading white space, an optional
// sign, digits; the first other character ends it; no digits give 0. Values
// beyond the range of long are clamped.
long DecodeNumber(const char* text);

// True when the first three characters of text are the given word ("all", "any").
bool StartsWithWord(const char* text, const char* word);

// True when the request's header limit is the word "whole": the scan covers
// every article number of the group. EffectiveMaxHeaders does not know the
// word and reads it as "all", as a program that predates it does.
bool ScansWholeGroup(const kvSearchRequest& request);

// Effective limits of a request.
int EffectiveTimeLimitSeconds(const kvSearchRequest& request); // 0: no limit
int EffectiveMaxHeaders(const kvSearchRequest& request);       // 1..51200
int EffectiveMaxArticles(const kvSearchRequest& request);      // 1..1024
int EffectivePipeline(const kvSearchRequest& request);         // 1..1024
int EffectiveRetries(const kvSearchRequest& request);          // 0..10

// The local time as 24 characters, "Tue Dec  8 22:09:47 2026".
void FormatLocalTime(char (&out)[KV_DATE_SIZE]);
