#include "records.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

char* ArticleField(kvArticle& a, int index) {
    char* fields[KV_ARTICLE_FIELD_COUNT] = {a.from,      a.newsgroups,   a.subject,  a.date,
                                            a.messageId, a.organization, a.keywords, a.summary,
                                            a.sender,    a.replyTo};
    return fields[index];
}

const char* ArticleField(const kvArticle& a, int index) {
    return ArticleField(const_cast<kvArticle&>(a), index);
}

void CopyField(char* field, std::size_t capacity, const char* text) {
    if (capacity == 0) return;
    std::size_t n = 0;
    while (n + 1 < capacity && text[n] != '\0') {
        field[n] = text[n];
        ++n;
    }
    field[n] = '\0';
}

void CopyFieldN(char* field, std::size_t capacity, const char* text, std::size_t length) {
    if (capacity == 0) return;
    if (length > capacity - 1) length = capacity - 1;
    std::memcpy(field, text, length);
    field[length] = '\0';
}

bool IsMissing(const char* field) {
    return std::strncmp(field, KV_NONE, 6) == 0;
}

long DecodeNumber(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (std::isspace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    long value = 0;
    while (*p >= '0' && *p <= '9') {
        int digit = *p - '0';
        if (value > (LONG_MAX - digit) / 10) {
            value = LONG_MAX;
            while (*p >= '0' && *p <= '9')
                ++p;
            break;
        }
        value = value * 10 + digit;
        ++p;
    }
    return negative ? -value : value;
}

bool StartsWithWord(const char* text, const char* word) {
    return std::strncmp(text, word, 3) == 0;
}

int EffectiveTimeLimitSeconds(const kvSearchRequest& request) {
    if (StartsWithWord(request.timeLimit, "any")) return 0;
    long minutes = DecodeNumber(request.timeLimit); // the field holds at most three digits
    long seconds = minutes * 60;
    return seconds >= 60 ? static_cast<int>(seconds) : 0;
}

bool ScansWholeGroup(const kvSearchRequest& request) {
    return std::strcmp(request.maxHeaders, "whole") == 0;
}

int EffectiveMaxHeaders(const kvSearchRequest& request) {
    if (StartsWithWord(request.maxHeaders, "all")) return KV_MAX_HEADERS;
    long n = DecodeNumber(request.maxHeaders);
    return (n < 1 || n > KV_MAX_HEADERS) ? KV_MAX_HEADERS : static_cast<int>(n);
}

int EffectiveMaxArticles(const kvSearchRequest& request) {
    if (StartsWithWord(request.maxArticles, "all")) return KV_MAX_ARTICLES;
    long n = DecodeNumber(request.maxArticles);
    // The result set holds 1024 records: a larger setting fetches at most that many.
    return (n < 1 || n > KV_MAX_ARTICLES) ? KV_MAX_ARTICLES : static_cast<int>(n);
}

int EffectivePipeline(const kvSearchRequest& request) {
    if (request.pipeline < 1) return 1;
    return request.pipeline > KV_MAX_PIPELINE ? KV_MAX_PIPELINE : request.pipeline;
}

int EffectiveRetries(const kvSearchRequest& request) {
    if (request.retries < 0) return 0;
    return request.retries > KV_MAX_RETRIES ? KV_MAX_RETRIES : request.retries;
}

void FormatLocalTime(char (&out)[KV_DATE_SIZE]) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::snprintf(out, sizeof out, "%s %s %2d %02d:%02d:%02d %4d", days[local.tm_wday % 7],
                  months[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec, local.tm_year + 1900);
}
