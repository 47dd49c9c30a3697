#include "mime_body.h"

#include "charset.h"
#include "mime_fields.h"
#include "mime_header.h"
#include "transfer_encoding.h"
#include "utf8_text.h"

#include <cstring>
#include <initializer_list>
#include <new>
#include <strings.h>
#include <vector>

const char KV_LONG_ARTICLE_TAIL[] =
    "\n\n***** Warning: Long article (>32K bytes), truncated! *****\n\n";

namespace {

constexpr int kMostNesting = 8;

struct Entity {
    std::string headers; // LF line ends; empty for a part without headers
    const char* body;
    std::size_t length;
    bool cut; // the text ends where the article was cut, not where the entity ends
};

std::string Header(const Entity& e, const char* name) {
    std::string value;
    FindHeaderValue(e.headers.c_str(), name, value);
    return value;
}

std::string TransferDecoded(const Entity& e) {
    std::string encoding = MimeType(Header(e, "Content-Transfer-Encoding"));
    std::string bytes;
    if (encoding == "base64")
        DecodeBase64Body(e.body, e.length, bytes);
    else if (encoding == "quoted-printable")
        DecodeQuotedPrintableBody(e.body, e.length, bytes);
    else
        bytes.assign(e.body, e.length);
    return bytes;
}

// Text bytes in a charset as UTF-8 with LF line ends and no NUL or CR.
void AppendText(std::string& out, const std::string& bytes, const std::string& charset, bool cut) {
    std::string text;
    // US-ASCII is what text without a declared charset is said to be.
    bool declared = !charset.empty() && strcasecmp(charset.c_str(), "us-ascii") != 0;
    if (!declared ||
        !AppendInCharset(text, charset, bytes.data(), bytes.size(), kvConvert::Repair)) {
        // Undeclared, US-ASCII or unknown charset: the raw-byte rule, line by line.
        std::size_t start = 0;
        while (start < bytes.size()) {
            std::size_t lf = bytes.find('\n', start);
            std::size_t stop = lf == std::string::npos ? bytes.size() : lf + 1;
            if (cut && lf == std::string::npos)
                AppendUtf8Repaired(text, bytes.data() + start, stop - start, true);
            else
                AppendRawAsUtf8(text, bytes.data() + start, stop - start);
            start = stop;
        }
    }
    for (char c : text)
        if (c != '\0' && c != '\r') out += c;
}

void EndItem(std::string& out) {
    if (!out.empty() && out.back() != '\n') out += '\n';
}

void AppendNamingLine(std::string& out, const Entity& e, const std::string& type) {
    std::string disposition = Header(e, "Content-Disposition");
    std::string name = MimeParameter(disposition, "filename");
    if (name.empty()) name = MimeParameter(Header(e, "Content-Type"), "name");
    std::size_t size = TransferDecoded(e).size();
    EndItem(out);
    if (!out.empty()) out += '\n';
    out += "[Attachment: ";
    if (!name.empty()) out += ReadableHeader(name.c_str()) + ", ";
    out += ReadableText(type.empty() ? "application/octet-stream" : type.c_str());
    out += ", " + std::to_string(size) + (size == 1 ? " byte" : " bytes");
    if (e.cut) out += " received, cut short";
    out += "]\n";
}

void AppendEntity(std::string& out, const Entity& e, int depth, bool topLevel);

bool OnlyBlanks(const char* from, const char* to) {
    for (; from < to; ++from)
        if (*from != ' ' && *from != '\t') return false;
    return true;
}

// The parts between the boundary lines; false when no boundary line occurs.
bool SplitParts(const Entity& e, const std::string& boundary, std::vector<Entity>& parts) {
    std::string dashes = "--" + boundary;
    const char* text = e.body;
    const char* end = e.body + e.length;
    const char* partStart = nullptr;
    bool closed = false;
    for (const char* line = text; line < end && !closed;) {
        const char* lf = static_cast<const char*>(std::memchr(line, '\n', end - line));
        const char* lineEnd = lf != nullptr ? lf : end;
        std::size_t n = static_cast<std::size_t>(lineEnd - line);
        if (n >= dashes.size() && std::memcmp(line, dashes.data(), dashes.size()) == 0) {
            const char* rest = line + dashes.size();
            bool closing = lineEnd - rest >= 2 && rest[0] == '-' && rest[1] == '-';
            if (!OnlyBlanks(closing ? rest + 2 : rest, lineEnd)) {
                line = lf != nullptr ? lf + 1 : end; // a longer boundary, or text
                continue;
            }
            if (partStart != nullptr) {
                const char* stop = line > partStart ? line - 1 : line; // its LF goes with the line
                parts.push_back({"", partStart, static_cast<std::size_t>(stop - partStart), false});
            }
            closed = closing;
            partStart = lf != nullptr ? lf + 1 : end;
        }
        line = lf != nullptr ? lf + 1 : end;
    }
    if (partStart == nullptr) return false;
    if (!closed && partStart < end)
        parts.push_back({"", partStart, static_cast<std::size_t>(end - partStart), e.cut});
    for (Entity& part : parts) {
        // The part's headers run to its first empty line.
        const char* p = part.body;
        const char* pe = p + part.length;
        const char* blank = nullptr;
        if (p < pe && *p == '\n') {
            blank = p;
        } else {
            for (const char* q = p; q + 1 < pe; ++q)
                if (q[0] == '\n' && q[1] == '\n') {
                    blank = q + 1;
                    break;
                }
        }
        if (blank == nullptr) {
            // headers only (or cut inside them): no body
            part.headers.assign(p, static_cast<std::size_t>(pe - p));
            part.body = pe;
            part.length = 0;
        } else {
            part.headers.assign(p, static_cast<std::size_t>(blank - p));
            part.body = blank + 1;
            part.length = static_cast<std::size_t>(pe - part.body);
        }
    }
    return true;
}

bool IsPlainText(const Entity& e) {
    std::string type = MimeType(Header(e, "Content-Type"));
    return type.empty() || type == "text/plain";
}

void AppendMultipart(std::string& out, const Entity& e, const std::string& subtype, int depth) {
    std::vector<Entity> parts;
    std::string boundary = MimeParameter(Header(e, "Content-Type"), "boundary");
    if (boundary.empty() || !SplitParts(e, boundary, parts)) {
        // No boundary to split by: the body is read as text.
        AppendText(out, TransferDecoded(e), "", e.cut);
        return;
    }
    if (subtype == "alternative") {
        // One of the versions: the first plain text, else the first part.
        const Entity* chosen = nullptr;
        for (const Entity& part : parts)
            if (chosen == nullptr && IsPlainText(part)) chosen = &part;
        if (chosen == nullptr && !parts.empty()) chosen = &parts.front();
        for (const Entity& part : parts)
            if (&part == chosen) AppendEntity(out, part, depth + 1, false);
        return;
    }
    for (const Entity& part : parts)
        AppendEntity(out, part, depth + 1, false);
}

void AppendEntity(std::string& out, const Entity& e, int depth, bool topLevel) {
    std::string contentType = Header(e, "Content-Type");
    std::string type = MimeType(contentType);
    if (type.empty()) type = "text/plain";
    if (type.compare(0, 10, "multipart/") == 0 && depth < kMostNesting) {
        AppendMultipart(out, e, type.substr(10), depth);
        return;
    }
    bool attachment = MimeType(Header(e, "Content-Disposition")) == "attachment";
    if (type.compare(0, 5, "text/") == 0 && (topLevel || !attachment)) {
        if (!topLevel) EndItem(out);
        if (!topLevel && !out.empty()) out += '\n';
        AppendText(out, TransferDecoded(e), MimeParameter(contentType, "charset"), e.cut);
        if (!topLevel) EndItem(out);
        return;
    }
    AppendNamingLine(out, e, type);
}

bool EndsWith(const char* text, std::size_t length, const char* tail) {
    std::size_t n = std::strlen(tail);
    return length >= n && std::memcmp(text + length - n, tail, n) == 0;
}

} // namespace

bool DecodeMimeBody(const char* headerBlock, const char* body, std::size_t length,
                    std::string& out) {
    std::string value;
    if (!FindHeaderValue(headerBlock, "Content-Type", value) &&
        !FindHeaderValue(headerBlock, "Content-Transfer-Encoding", value))
        return false;
    bool cut = EndsWith(body, length, KV_LONG_ARTICLE_TAIL);
    if (cut) length -= std::strlen(KV_LONG_ARTICLE_TAIL);

    Entity top{"", body, length, cut};
    for (const char* name : {"Content-Type", "Content-Transfer-Encoding", "Content-Disposition"})
        if (FindHeaderValue(headerBlock, name, value))
            top.headers += std::string(name) + ": " + value + "\n";
    out.clear();
    AppendEntity(out, top, 0, true);

    std::size_t room = KV_DECODED_BODY_MAX - std::strlen(KV_LONG_ARTICLE_TAIL);
    // A cut text gets a line end before the warning, which must fit as well.
    bool endsInLine = !out.empty() && out.back() != '\n';
    if (out.size() > room || (cut && endsInLine && out.size() == room)) {
        std::size_t lf = out.rfind('\n', room - 1);
        out.resize(lf == std::string::npos ? 0 : lf + 1);
        cut = true;
    }
    if (cut) {
        EndItem(out);
        out += KV_LONG_ARTICLE_TAIL;
    }
    return true;
}

void DecodeArticleBody(const char* headerBlock, kvArticle& article) {
    if (!article.body) return;
    try {
        std::string decoded;
        const char* body = article.body.get();
        if (!DecodeMimeBody(headerBlock, body, std::strlen(body), decoded)) return;
        if (decoded.empty()) {
            article.body.reset();
            return;
        }
        std::unique_ptr<char[]> text(new (std::nothrow) char[decoded.size() + 1]);
        if (!text) return;
        std::memcpy(text.get(), decoded.c_str(), decoded.size() + 1);
        article.body = std::move(text);
    } catch (const std::bad_alloc&) {
        // the body stays as it came
    }
}
