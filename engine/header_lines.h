// The article header lines the program knows, in one place: the lines an
// article is written and shown with, and the headers a search can match.
// The engine parses them, storage writes them, the desktop program shows
// them and both front ends offer the searchable names. Any thread (constant).
#pragma once

// One header line: its label, the article text field it fills, and whether it
// is written even when the article lacks it.
struct kvHeaderLine {
    const char* label; // "From: "
    int field;         // index for ArticleField
    bool always;       // otherwise only when the field is not missing
};

constexpr int KV_HEADER_LINES = 10;
constexpr int KV_MESSAGE_ID_FIELD = 4;
// In the order they are written and shown: From, Subject, Date, Newsgroups,
// Organization, Message-ID, then Keywords, Summary, Sender and Reply-To when
// the article carries them.
extern const kvHeaderLine kvHeaderLines[KV_HEADER_LINES];

constexpr int KV_SEARCH_HEADERS = 8;
// The headers a search can match, in the order the search dialog offers them.
extern const char* const kvSearchHeaders[KV_SEARCH_HEADERS];
