#include "jsonl_export.h"

#include "atomic_file.h"
#include "export_fields.h"
#include "header_lines.h"
#include "mime_header.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A JSON string of valid UTF-8 text.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string Raw(const char* field) {
    return IsMissing(field) ? "null" : Quoted(Utf8Text(field));
}

std::string Decoded(const char* field) {
    if (IsMissing(field)) return "null";
    std::string text;
    DecodeEncodedWords(field, text);
    return Quoted(text);
}

// A stored count: a JSON number when it is all digits, else null.
std::string Count(const char* text) {
    std::size_t n = std::strlen(text);
    if (n == 0 || n > 9 || std::strspn(text, "0123456789") != n) return "null";
    return std::to_string(DecodeNumber(text));
}

// "name":value, with the comma that goes before every member but the first.
void Member(std::string& line, const char* name, const std::string& value) {
    if (line.size() > 1) line += ',';
    line += Quoted(name) + ':' + value;
}

std::string SearchLine(const kvSearchSummary& s, const kvResultSet& set) {
    std::string line = "{";
    Member(line, "type", "\"search\"");
    Member(line, "pattern", Quoted(Utf8Text(s.pattern)));
    Member(line, "header", Quoted(Utf8Text(s.header)));
    Member(line, "server", Quoted(Utf8Text(s.server)));
    Member(line, "group", Quoted(Utf8Text(s.newsgroup)));
    Member(line, "date", Quoted(Utf8Text(s.searchDate)));
    Member(line, "group_count", Count(s.groupCount));
    Member(line, "found_count", Count(s.foundCount));
    Member(line, "articles", std::to_string(set.Size()));
    return line + "}\n";
}

std::string HeadersObject(const kvArticle& a) {
    std::string object = "{";
    for (const kvHeaderLine& header : kvHeaderLines) {
        const char* value = ArticleField(a, header.field);
        std::string name(header.label, std::strlen(header.label) - 2); // without ": "
        std::string pair = "null";
        if (!IsMissing(value))
            pair = "{\"raw\":" + Raw(value) + ",\"decoded\":" + Decoded(value) + "}";
        Member(object, name.c_str(), pair);
    }
    return object + "}";
}

std::string ArticleLine(int position, const kvSearchSummary& s, const kvArticle& a, bool withBody) {
    std::string line = "{";
    std::string iso = IsoDateOf(a);
    std::string address = AuthorAddress(a.from);
    Member(line, "type", "\"article\"");
    Member(line, "position", std::to_string(position));
    Member(line, "group", Quoted(Utf8Text(s.newsgroup)));
    Member(line, "server", Quoted(Utf8Text(s.server)));
    Member(line, "date", Raw(a.date));
    Member(line, "date_utc", iso.empty() ? "null" : Quoted(iso));
    Member(line, "from", Decoded(a.from));
    Member(line, "address", address.empty() ? "null" : Quoted(Utf8Text(address.c_str())));
    Member(line, "subject", Decoded(a.subject));
    Member(line, "message_id", Raw(a.messageId));
    Member(line, "organization", Decoded(a.organization));
    Member(line, "keywords", Decoded(a.keywords));
    Member(line, "lines", a.lines >= 0 ? std::to_string(a.lines) : "null");
    Member(line, "length", std::to_string(StoredLength(a)));
    Member(line, "cut", IsCutArticle(a) ? "true" : "false");
    Member(line, "headers", HeadersObject(a));
    if (withBody) Member(line, "body", Quoted(a.body ? Utf8Text(a.body.get()) : std::string()));
    return line + "}\n";
}

} // namespace

bool SaveResultsJsonLines(const char* path, const kvSearchSummary& summary, const kvResultSet& set,
                          bool withBodies) {
    kvAtomicFile file(path);
    if (!file.IsOpen()) return false;
    file.Write(SearchLine(summary, set));
    int position = 1;
    for (const kvArticle* a = set.First(); a != nullptr && file.Ok(); a = a->next)
        file.Write(ArticleLine(position++, summary, *a, withBodies));
    return file.Commit();
}
