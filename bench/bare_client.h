// The floor for a search over a slow link: a bare NNTP client that sends every
// command as early as it can (all XHDR chunks at once, then the ARTICLE
// commands up to the articles still wanted) and does nothing else with the
// answers than finding their ends, matching the header values and counting
// the articles. Same work as a korvex search with the defaults of the network
// benchmark: the newest 51,200 headers, one word ignoring case, 1,024 articles.
#pragma once

#include <string>

struct kvBareResult {
    bool ok = false;
    long matched = 0;
    long received = 0;
    std::string error;
};

kvBareResult RunBareClient(int port, const std::string& group, const std::string& header,
                           const std::string& word);
