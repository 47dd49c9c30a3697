#include "search_summary.h"

#include "utf8_text.h"

#include <cstdio>
#include <cstring>

void FillSearchSummary(kvSearchSummary& summary, const kvSearchRequest& request,
                       const char* startDate, long groupArticleCount, int found,
                       long long matched) {
    CopyField(summary.pattern, request.pattern);
    CopyField(summary.server, request.server);
    CopyField(summary.newsgroup, request.newsgroup);
    CopyField(summary.header, request.header);
    std::snprintf(summary.groupCount, sizeof summary.groupCount, "%ld", groupArticleCount);
    std::snprintf(summary.foundCount, sizeof summary.foundCount, "%d", found);
    CopyField(summary.searchDate, startDate);
    summary.matchedTotal = matched;
    summary.loadedFromFile = false;
    std::memset(summary.sourceFile, 0, sizeof summary.sourceFile);
}

std::string SearchInfoText(const kvSearchSummary& s) {
    std::string text;
    auto line = [&text](const char* label, const char* value) {
        text.append(label).append(ReadableText(value));
    };
    line("Search pattern: ", s.pattern);
    line("\nHeader: ", s.header);
    line("\nDate: ", s.searchDate);
    line("\nServer: ", s.server);
    line("\nNewsgroup: ", s.newsgroup);
    line("\nArticles in this group: ", s.groupCount);
    line("\nMatching articles found: ", s.foundCount);
    if (s.matchedTotal > DecodeNumber(s.foundCount))
        text.append("\nHeaders matched in the scan: ").append(std::to_string(s.matchedTotal));
    if (s.loadedFromFile) line("\nLoaded from: ", s.sourceFile);
    return text;
}
