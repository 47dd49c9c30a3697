#include "text_export.h"

#include "atomic_file.h"
#include "header_lines.h"
#include "mime_header.h"
#include "utf8_text.h"

#include <cstring>
#include <vector>

namespace {

const char kSeparator[] =
    "========================================================================\n";
static_assert(sizeof kSeparator == 72 + 2, "the separator is 72 equals signs and a line end");

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
    for (const kvHeaderLine& line : kvHeaderLines) {
        const char* value = ArticleField(article, line.field);
        if (line.always || !IsMissing(value)) WriteHeaderLine(file, line.label, value);
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
bool SeenBefore(const std::vector<const kvArticle*>& entries, std::size_t index) {
    const kvArticle& entry = *entries[index];
    bool hasReplyTo = !IsMissing(entry.replyTo);
    for (std::size_t j = 0; j < index; ++j) {
        const kvArticle& earlier = *entries[j];
        if (std::strcmp(earlier.from, entry.from) == 0) return true;
        if (hasReplyTo && std::strcmp(earlier.replyTo, entry.replyTo) == 0) return true;
    }
    return false;
}

void WriteReport(kvAtomicFile& file, const kvSearchSummary& summary, const kvResultSet& set) {
    WriteSummary(file, summary);
    for (const kvArticle* a = set.First(); a != nullptr && file.Ok(); a = a->next) {
        WriteArticle(file, *a);
        file.Write("\n");
        file.Write(kSeparator);
        file.Write("\n");
    }
}

bool WriteReplies(const char* path, const std::vector<const kvArticle*>& entries) {
    if (entries.empty()) return false;
    kvAtomicFile file(path);
    if (!file.IsOpen()) return false;
    WriteHeaderLine(file, "", ReplyText(*entries[0]));
    for (std::size_t i = 1; i < entries.size() && file.Ok(); ++i)
        if (!SeenBefore(entries, i)) WriteHeaderLine(file, "", ReplyText(*entries[i]));
    return file.Commit();
}

} // namespace

bool SaveArticlesReport(const char* path, const kvSearchSummary& summary, const kvResultSet& set) {
    return SaveSweepReport(path, {{&summary, &set}});
}

bool SaveSweepReport(const char* path, const std::vector<kvReportPart>& parts) {
    if (parts.empty()) return false;
    kvAtomicFile file(path);
    if (!file.IsOpen()) return false;
    for (const kvReportPart& part : parts)
        WriteReport(file, *part.summary, *part.set);
    return file.Commit();
}

bool SaveArticleText(const char* path, const kvArticle* article) {
    if (article == nullptr) return false;
    kvAtomicFile file(path);
    if (!file.IsOpen()) return false;
    WriteArticle(file, *article);
    return file.Commit();
}

bool WriteReplyList(const char* path, const kvResultSet& set) {
    return WriteSweepReplyList(path, {&set});
}

bool WriteSweepReplyList(const char* path, const std::vector<const kvResultSet*>& sets) {
    std::vector<const kvArticle*> entries;
    for (const kvResultSet* set : sets)
        for (int i = 0; i < set->Size(); ++i)
            entries.push_back(&set->At(i));
    return WriteReplies(path, entries);
}
