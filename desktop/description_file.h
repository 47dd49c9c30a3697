// The description file "korvex.dat": the lists of ready-made patterns, servers
// and newsgroups the search dialog offers, and the dialog's starting settings.
//
// Read once on the GUI thread while the dialog is built; nothing here touches
// wx, so the dialog's whole starting state can be checked without a window.
#pragma once
#include "header_lines.h"
#include "records.h"
#include <cstdio>
#include <string>
#include <vector>

constexpr int KV_LIST_ENTRIES = 24;                  // entries per list section
constexpr int KV_LIST_ENTRY = 512;                   // bytes per entry, NUL included (lines of 511)
constexpr int KV_SETTING_VALUE = 8;                  // value buffer of one setting, NUL included
constexpr int KV_HEADER_CHOICES = KV_SEARCH_HEADERS; // header names the dialog offers

// Fills entries (cleared first) from the section between start and end
// markers: the number of entries, 0 to 24, or -1 when no line begins with
// start. With cutAtBlank an entry ends at its first blank or tab.
int ReadListSection(FILE* file, const char* start, const char* end,
                    std::vector<std::string>& entries, bool cutAtBlank);

// A list entry into a request field of capacity bytes (NUL included); an
// entry too long is cut before the UTF-8 character that does not fit whole.
void CopyListEntry(char* field, std::size_t capacity, const std::string& entry);

// True and the value (at most 7 characters, ended by a blank, tab, '#', CR, LF
// or the line's end) when a line of the section begins with key; false
// otherwise, value then left empty.
bool ReadSetting(FILE* file, const char* start, const char* end, const char* key,
                 char (&value)[KV_SETTING_VALUE]);

// As ReadSetting, for a value of up to 511 characters (a file name): the line
// must be "key=value"; the value ends at a blank, tab, '#' or the line's end.
int ReadLongSetting(FILE* file, const char* start, const char* end, const char* key,
                    std::string& value);

// Everything the search dialog starts from.
struct kvDialogSetup {
    std::vector<std::string> patterns; // a choice is made only for a non-empty list
    std::vector<std::string> servers;
    std::vector<std::string> newsgroups;
    int matchSelection = 0;   // "Match: " button: 0 any, 1 all, 2 phrase
    int caseSelection = 1;    // "Case: " button: 0 match case, 1 don't match
    bool findLimitOn = false; // "Limit # of articles to find: "
    int findSliderStart = 0;  // decoded MAX_ARTICLES (0 when absent)
    bool scanLimitOn = true;  // "Limit # of articles to scan:"
    int scanSliderStart = 0;  // decoded MAX_HEADERS, else findSliderStart
    bool scanWhole = false;   // "Scan the whole group" (MAX_HEADERS=whole)
    // The searchable headers, the one searched first.
    char headerNames[KV_HEADER_CHOICES][KV_HEADER_NAME_SIZE] = {};
    // One line for the status line when CA_FILE or ALLOW_PLAIN_PASSWORD was
    // ignored (a file others may change), or the file was a link not followed
    // in a folder others may write; empty otherwise.
    std::string warning;

    kvDialogSetup();
};

// Reads the description file at path (empty or unreadable: every default) into
// setup and sets every field of request the dialog owns: pattern, server and
// newsgroup from the first list entries (empty without), matchMode,
// ignoreCase, maxArticles, maxHeaders, header, timeLimit, timeoutSeconds,
// pipeline, retries (RETRIES=), caFile (CA_FILE=), allowPlainPassword
// (ALLOW_PLAIN_PASSWORD=1), compress (off with COMPRESS=0) and serverFilter
// (off with SERVER_FILTER=0). A file others
// may change (file_trust.h) is read for its lists and settings, but its
// CA_FILE and ALLOW_PLAIN_PASSWORD are ignored and setup.warning says so.
void ReadDescriptionFile(const std::string& path, kvSearchRequest& request, kvDialogSetup& setup);
