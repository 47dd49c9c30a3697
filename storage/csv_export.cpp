#include "csv_export.h"

#include "atomic_file.h"
#include "export_fields.h"
#include "mime_header.h"
#include "utf8_text.h"

#include <cstring>
#include <string>

namespace {

const char kHeaderRow[] = "position,group,server,date,date_utc,from,address,subject,message_id,"
                          "organization,keywords,lines,length,cut\r\n";

// One field: guarded against formulas, then quoted when it needs to be.
std::string CsvField(const std::string& value) {
    std::string text = value;
    if (!text.empty() && std::strchr("=+-@\t", text[0]) != nullptr) text.insert(0, 1, '\'');
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string Header(const char* raw) {
    return IsMissing(raw) ? std::string() : ReadableHeader(raw);
}

std::string Text(const char* raw) {
    return IsMissing(raw) ? std::string() : ReadableText(raw);
}

void WriteRow(kvAtomicFile& file, int position, const kvSearchSummary& s, const kvArticle& a) {
    const std::string fields[] = {
        std::to_string(position),
        ReadableText(s.newsgroup),
        ReadableText(s.server),
        Text(a.date),
        IsoDateOf(a),
        Header(a.from),
        ReadableText(AuthorAddress(a.from).c_str()),
        Header(a.subject),
        Text(a.messageId),
        Header(a.organization),
        Header(a.keywords),
        a.lines >= 0 ? std::to_string(a.lines) : std::string(),
        std::to_string(StoredLength(a)),
        IsCutArticle(a) ? "yes" : "no",
    };
    std::string row;
    for (const std::string& field : fields)
        row += CsvField(field) + ',';
    row.back() = '\r';
    row += '\n';
    file.Write(row);
}

} // namespace

bool SaveResultsCsv(const char* path, const kvSearchSummary& summary, const kvResultSet& set) {
    kvAtomicFile file(path);
    if (!file.IsOpen()) return false;
    file.Write(kHeaderRow);
    int position = 1;
    for (const kvArticle* a = set.First(); a != nullptr && file.Ok(); a = a->next)
        WriteRow(file, position++, summary, *a);
    return file.Commit();
}
