// Article header parsing and subject ordering. The input is a header block,
// then "\n~\n" and one subject per line. Every field must come out as the
// plain reading of the header lines below gives it (first line starting with
// the label at the text's start or after CR or LF; continuation lines joined
// without their line ends; at most 511 bytes; "<none>" without the header),
// never holding an LF. Removing CRs keeps every other byte but NUL in order.
// Ordering the subjects must keep every record once, the chain in slot order,
// and put records with equal subjects (one leading "Re: " in any case left
// out) next to each other.
#include "fuzz_check.h"

#include "article.h"
#include "result_set.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// The labels in record order: from, newsgroups, subject, date, message-id,
// organization, keywords, summary, sender, reply-to.
const char* const kLabels[KV_ARTICLE_FIELD_COUNT] = {
    "From: ",         "Newsgroups: ", "Subject: ", "Date: ",   "Message-ID: ",
    "Organization: ", "Keywords: ",   "Summary: ", "Sender: ", "Reply-To: "};

// Where the first header line with `label` starts; npos when there is none.
std::size_t ReferenceLine(const std::string& text, const std::string& label) {
    for (std::size_t at = 0;; ++at) {
        at = text.find(label, at);
        if (at == std::string::npos || at == 0 || text[at - 1] == '\r' || text[at - 1] == '\n')
            return at;
    }
}

std::string ReferenceValue(const std::string& text, const std::string& label) {
    std::size_t at = ReferenceLine(text, label);
    if (at == std::string::npos) return "<none>";
    std::string value;
    std::size_t pos = at + label.size();
    for (;;) {
        std::size_t lf = text.find('\n', pos);
        std::string line = text.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
        if (lf != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
        value += line;
        if (lf == std::string::npos || lf + 1 >= text.size() ||
            (text[lf + 1] != ' ' && text[lf + 1] != '\t'))
            break;
        pos = lf + 1;
    }
    return value.substr(0, KV_FIELD_SIZE - 1);
}

void CheckHeaders(const std::string& block) {
    kvArticle article;
    ParseArticleHeaders(block.c_str(), article);
    std::string text = block.c_str(); // what the parser sees: up to the first NUL
    for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f) {
        const char* field = ArticleField(article, f);
        std::size_t length = strnlen(field, KV_FIELD_SIZE);
        FUZZ_CHECK(length < KV_FIELD_SIZE);
        FUZZ_CHECK(std::memchr(field, '\n', length) == nullptr);
        FUZZ_CHECK(ReferenceValue(text, kLabels[f]) == field);
    }
    // A missing Lines header is -1; one that holds no number (even "<none>") is not.
    if (ReferenceLine(text, "Lines: ") == std::string::npos) FUZZ_CHECK(article.lines == -1);

    std::vector<char> stripped(block.size() + 1, 'x');
    std::size_t written = StripCarriageReturns(stripped.data(), block.data(), block.size());
    std::string expected;
    for (char c : block)
        if (c != '\r' && c != '\0') expected += c;
    FUZZ_CHECK(written == expected.size());
    FUZZ_CHECK(std::string(stripped.data(), written) == expected);
    FUZZ_CHECK(stripped[written] == 'x'); // nothing beyond what it reports
}

std::string Key(const char* subject) {
    std::string s = subject;
    if (s.size() >= 4 && (s[0] == 'R' || s[0] == 'r') && (s[1] == 'E' || s[1] == 'e') &&
        s[2] == ':' && s[3] == ' ')
        return s.substr(4);
    return s;
}

void CheckOrdering(const std::string& subjects) {
    kvResultSet set;
    std::map<int, std::string> keyOf;
    int count = 0;
    std::size_t pos = 0;
    while (pos < subjects.size() && count < 200) {
        std::size_t lf = subjects.find('\n', pos);
        std::string line =
            subjects.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
        std::unique_ptr<kvArticle> article(new kvArticle);
        CopyFieldN(article->subject, KV_FIELD_SIZE, line.data(), line.size());
        article->lines = count; // the record's identity
        keyOf[count] = Key(article->subject);
        FUZZ_CHECK(set.Append(std::move(article)));
        ++count;
        if (lf == std::string::npos) break;
        pos = lf + 1;
    }
    set.SortBySubject();

    std::vector<bool> seen(static_cast<std::size_t>(count), false);
    std::map<std::string, int> lastAt;
    for (int i = 0; i < count; ++i) {
        const kvArticle* a = &set.At(i);
        FUZZ_CHECK(a->next == (i + 1 < count ? &set.At(i + 1) : nullptr));
        FUZZ_CHECK(a->lines >= 0 && a->lines < count && !seen[a->lines]);
        seen[a->lines] = true;
        FUZZ_CHECK(keyOf[a->lines] == Key(a->subject)); // the subject moved with its record
        auto last = lastAt.find(Key(a->subject));
        if (last != lastAt.end()) FUZZ_CHECK(last->second == i - 1); // its group goes on
        lastAt[Key(a->subject)] = i;
    }
    FUZZ_CHECK(set.Size() == count);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find("\n~\n");
    std::string block = input.substr(0, split);
    CheckHeaders(block);
    if (split != std::string::npos) CheckOrdering(input.substr(split + 3));
    return 0;
}
