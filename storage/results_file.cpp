#include "results_file.h"

#include "atomic_file.h"
#include "line_reader.h"

#include <array>
#include <cstring>
#include <new>

namespace {

const char kFirstLine[] = ".kvx file -- do not edit!";
const char kLineEnd[] = "\r\n";
const char kArticleEnd[] = {'\0', '\r', '\n'};

// A body is collected in a work area of this size; once the collected length
// passes kBodyStop no further line is kept, and a line that would not fit
// whole is not kept either, so a line is never split.
constexpr std::size_t kBodyArea = 65536;
constexpr std::size_t kBodyStop = kBodyArea - 513;

struct FieldRef {
    char* text;
    std::size_t capacity;
};

// The seven summary fields the file stores, in file order.
std::array<FieldRef, 7> StoredFields(kvSearchSummary& s) {
    return {{{s.pattern, sizeof s.pattern},
             {s.header, sizeof s.header},
             {s.server, sizeof s.server},
             {s.newsgroup, sizeof s.newsgroup},
             {s.searchDate, sizeof s.searchDate},
             {s.groupCount, sizeof s.groupCount},
             {s.foundCount, sizeof s.foundCount}}};
}

void WriteField(kvAtomicFile& file, const char* text, std::size_t capacity) {
    file.Write(text, strnlen(text, capacity));
    file.Write(kLineEnd, 2);
}

// The body with each LF written as CR LF.
void WriteBody(kvAtomicFile& file, const char* body) {
    for (;;) {
        const char* lf = std::strchr(body, '\n');
        if (lf == nullptr) {
            file.Write(body);
            return;
        }
        file.Write(body, static_cast<std::size_t>(lf - body));
        file.Write(kLineEnd, 2);
        body = lf + 1;
    }
}

void WriteArticle(kvAtomicFile& file, const kvArticle& article) {
    for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f)
        WriteField(file, ArticleField(article, f), KV_FIELD_SIZE);
    file.Write(kLineEnd, 2);
    if (article.body) WriteBody(file, article.body.get());
    file.Write(kLineEnd, 2);
    file.Write(kArticleEnd, sizeof kArticleEnd);
    if (article.next != nullptr) file.Write(kLineEnd, 2);
}

enum class Read { Line, End, Error };

Read NextLine(kvLineReader& reader) {
    int r = reader.Next();
    return r > 0 ? Read::Line : r == 0 ? Read::End : Read::Error;
}

// Reads the next line into a field, keeping what fits; at the end of the file
// the field holds "<none>".
Read ReadField(kvLineReader& reader, char* field, std::size_t capacity) {
    Read r = NextLine(reader);
    if (r == Read::Line)
        CopyFieldN(field, capacity, reader.Text(), reader.Length());
    else
        CopyField(field, capacity, KV_NONE);
    return r;
}

struct BodyResult {
    Read end;         // Line: the 0x00 line was reached
    std::size_t size; // bytes collected
};

// Collects the body lines up to the 0x00 line into area, LF line ends.
BodyResult CollectBody(kvLineReader& reader, char* area) {
    std::size_t collected = 0;
    bool stop = false;
    for (;;) {
        Read r = NextLine(reader);
        if (r != Read::Line) return {r, collected};
        if (reader.Length() > 0 && reader.Text()[0] == '\0') {
            if (collected > 0) --collected; // the line end written after the body
            return {Read::Line, collected};
        }
        if (collected > kBodyStop) stop = true;
        std::size_t size = reader.FullLength() + (reader.EndedWithLf() ? 1 : 0);
        if (reader.Length() < reader.FullLength() || collected + size > kBodyArea - 1) stop = true;
        if (stop) continue;
        std::memcpy(area + collected, reader.Text(), reader.Length());
        if (reader.EndedWithLf()) area[collected + reader.Length()] = '\n';
        collected += size;
    }
}

enum class Outcome {
    More,   // the article is in the set and the file goes on
    Last,   // the article is in the set and the file ended with it
    None,   // the file ended before the article's ten header lines were read
    Failed, // read error or low memory; nothing was added
};

// Reads the article at the reader's position and appends it to the set.
Outcome LoadArticle(kvLineReader& reader, kvResultSet& set, char* area) {
    std::unique_ptr<kvArticle> article(new (std::nothrow) kvArticle);
    if (!article) return Outcome::Failed;
    for (int f = 0; f < KV_ARTICLE_FIELD_COUNT; ++f) {
        Read r = ReadField(reader, ArticleField(*article, f), KV_FIELD_SIZE);
        if (r == Read::Error) return Outcome::Failed;
        if (r == Read::End) return Outcome::None;
    }

    Read r = NextLine(reader); // the empty line before the body
    BodyResult body = r == Read::Line ? CollectBody(reader, area) : BodyResult{r, 0};
    if (body.end == Read::Error) return Outcome::Failed;
    if (body.size > 0) {
        article->body.reset(new (std::nothrow) char[body.size + 1]);
        if (!article->body) return Outcome::Failed;
        std::memcpy(article->body.get(), area, body.size);
        article->body[body.size] = '\0';
    }
    Read after = body.end;
    if (after == Read::Line) after = NextLine(reader); // the empty line between articles
    if (after == Read::Error) return Outcome::Failed;

    if (!set.Append(std::move(article))) return Outcome::Failed;
    return after == Read::Line ? Outcome::More : Outcome::Last;
}

} // namespace

bool SaveResultsFile(const char* path, const kvSearchSummary& summary, const kvResultSet& set) {
    kvAtomicFile file(path);
    if (!file.IsOpen()) return false;
    file.Write(kFirstLine);
    file.Write(kLineEnd, 2);
    // StoredFields only hands out the fields; nothing here writes through them.
    for (const FieldRef& field : StoredFields(const_cast<kvSearchSummary&>(summary)))
        WriteField(file, field.text, field.capacity);
    for (const kvArticle* a = set.First(); a != nullptr && file.Ok(); a = a->next)
        WriteArticle(file, *a);
    return file.Commit();
}

int LoadResultsFile(const char* path, kvSearchSummary& summary, kvResultSet& set) {
    kvLineReader reader(path);
    std::unique_ptr<char[]> area(new (std::nothrow) char[kBodyArea]);
    if (!reader.IsOpen() || !area) return -1;
    if (NextLine(reader) != Read::Line || reader.Length() < 4 ||
        std::memcmp(reader.Text(), ".kvx", 4) != 0)
        return -1;
    for (const FieldRef& field : StoredFields(summary))
        if (ReadField(reader, field.text, field.capacity) == Read::Error) return -1;

    while (set.Size() < KV_MAX_ARTICLES) {
        Outcome outcome = LoadArticle(reader, set, area.get());
        if (outcome == Outcome::Failed) {
            set.Clear();
            return -1;
        }
        if (outcome != Outcome::More) break;
    }
    return set.Size();
}
