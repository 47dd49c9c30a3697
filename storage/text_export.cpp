#include "text_export.h"

#include "atomic_file.h"
#include "mime_header.h"
#include "utf8_text.h"

#include <cstring>

namespace {

const char kSeparator[] =
    "========================================================================\n";
static_assert(sizeof kSeparator == 72 + 2, "the separator is 72 equals signs and a line end");

struct HeaderLine {
    const char* label;
    int field;          // index for ArticleField
    bool alwaysWritten; // otherwise only when the field is not missing
};

// The order in which an article's header lines are written.
const HeaderLine kHeaderLines[] = {
    {"From: ", 0, true},       {"Subject: ", 2, true},      {"Date: ", 3, true},
    {"Newsgroups: ", 1, true}, {"Organization: ", 5, true}, {"Message-ID: ", 4, true},
    {"Keywords: ", 6, false},  {"Summary: ", 7, false},     {"Sender: ", 8, false},
    {"Reply-To: ", 9, false},
};

// The label and the value as readable text (ReadableText).
void WriteLine(kvAtomicFile& file, const char* label, const char* value) {
    file.Write(label);
    file.Write(ReadableText(value));
    file.Write("\n", 1);
}

// A header field as a reader reads it (ReadableHeader).
void WriteHeaderLine(kvAtomicFile& file, const char* label, const char* value) {
    file.Write(label);
    file.Write(ReadableHeader(value));
    file.Write("\n", 1);
}

// The header lines, the two empty lines and the body, decoded and readable.
void WriteArticle(kvAtomicFile& file, const kvArticle& article) {
    for (const HeaderLine& line : kHeaderLines) {
        const char* value = ArticleField(article, line.field);
        if (line.alwaysWritten || !IsMissing(value)) WriteHeaderLine(file, line.label, value);
    }
    file.Write("\n\n", 2);
    if (article.body) file.Write(ReadableText(article.body.get(), true));
}

void WriteSummary(kvAtomicFile& file, const kvSearchSummary& s) {
    file.Write("Korvex search results for: \"");
    file.Write(ReadableText(s.pattern));
    file.Write("\" in '");
    file.Write(ReadableText(s.header));
    file.Write("' header\n");
    WriteLine(file, "Search performed on: ", s.searchDate);
    WriteLine(file, "Server: ", s.server);
    WriteLine(file, "Newsgroup: ", s.newsgroup);
    WriteLine(file, "Total articles in this group: ", s.groupCount);
    WriteLine(file, "Articles found: ", s.foundCount);
    file.Write("\n");
    file.Write(kSeparator);
    file.Write("\n");
}

const char* ReplyText(const kvArticle& a) {
    return IsMissing(a.replyTo) ? a.from : a.replyTo;
}

// True when an entry before index has the same author as entry index.
bool SeenBefore(const kvResultSet& set, int index) {
    const kvArticle& entry = *set.slots[index];
    bool hasReplyTo = !IsMissing(entry.replyTo);
    for (int j = 0; j < index; ++j) {
        const kvArticle& earlier = *set.slots[j];
        if (std::strcmp(earlier.from, entry.from) == 0) return true;
        if (hasReplyTo && std::strcmp(earlier.replyTo, entry.replyTo) == 0) return true;
    }
    return false;
}

} // namespace

int SaveArticlesReport(const char* path, const kvSearchSummary& summary, const kvResultSet& set) {
    kvAtomicFile file(path);
    if (!file.IsOpen()) return -1;
    WriteSummary(file, summary);
    for (const kvArticle* a = set.first(); a != nullptr && file.Ok(); a = a->next) {
        WriteArticle(file, *a);
        file.Write("\n");
        file.Write(kSeparator);
        file.Write("\n");
    }
    return file.Commit() ? 1 : -1;
}

int SaveArticleText(const kvArticle* article, const char* path) {
    if (article == nullptr) return -1;
    kvAtomicFile file(path);
    if (!file.IsOpen()) return -1;
    WriteArticle(file, *article);
    return file.Commit() ? 1 : -1;
}

int WriteReplyList(const char* path, const kvResultSet& set) {
    if (!set.slots[0]) return -1;
    kvAtomicFile file(path);
    if (!file.IsOpen()) return -1;
    int count = set.count < KV_MAX_ARTICLES ? set.count : KV_MAX_ARTICLES;
    WriteHeaderLine(file, "", ReplyText(*set.slots[0]));
    for (int i = 1; i < count && set.slots[i] && file.Ok(); ++i)
        if (!SeenBefore(set, i)) WriteHeaderLine(file, "", ReplyText(*set.slots[i]));
    return file.Commit() ? 1 : -1;
}
