#include "header_lines.h"

const kvHeaderLine kvHeaderLines[KV_HEADER_LINES] = {
    {"From: ", 0, true},         {"Subject: ", 2, true},
    {"Date: ", 3, true},         {"Newsgroups: ", 1, true},
    {"Organization: ", 5, true}, {"Message-ID: ", KV_MESSAGE_ID_FIELD, true},
    {"Keywords: ", 6, false},    {"Summary: ", 7, false},
    {"Sender: ", 8, false},      {"Reply-To: ", 9, false},
};

const char* const kvSearchHeaders[KV_SEARCH_HEADERS] = {
    "Subject", "Keywords", "Summary", "Date", "From", "Reply-To", "Message-ID", "Organization"};
