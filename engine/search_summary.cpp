#include "search_summary.h"

#include <cstdio>
#include <cstring>

void FillSearchSummary(kvSearchSummary& summary, const kvSearchRequest& request,
                       const char* startDate, long groupArticleCount, int found) {
    CopyField(summary.pattern, request.pattern);
    CopyField(summary.server, request.server);
    CopyField(summary.newsgroup, request.newsgroup);
    CopyField(summary.header, request.header);
    std::snprintf(summary.groupCount, sizeof summary.groupCount, "%ld", groupArticleCount);
    std::snprintf(summary.foundCount, sizeof summary.foundCount, "%d", found);
    CopyField(summary.searchDate, startDate);
    summary.loadedFromFile = 0;
    std::memset(summary.sourceFile, 0, sizeof summary.sourceFile);
}

std::string SearchInfoText(const kvSearchSummary& s) {
    std::string text;
    text.append("Search pattern: ").append(s.pattern).append("\n");
    text.append("Header: ").append(s.header);
    text.append("\nDate: ").append(s.searchDate);
    text.append("\nServer: ").append(s.server);
    text.append("\nNewsgroup: ").append(s.newsgroup);
    text.append("\nArticles in this group: ").append(s.groupCount);
    text.append("\nMatching articles found: ").append(s.foundCount);
    if (s.loadedFromFile == 1) text.append("\nLoaded from: ").append(s.sourceFile);
    return text;
}
