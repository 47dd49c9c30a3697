#include "mbox_export.h"

#include "atomic_file.h"
#include "export_fields.h"
#include "header_lines.h"
#include "mail_date.h"
#include "mime_header.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Longest text one encoded word carries: 45 bytes make 60 base64 characters,
// which with "=?utf-8?B?" and "?=" stay within the 75 an encoded word may have.
constexpr std::size_t kWordBytes = 45;

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsPlainAscii(const char* text) {
    for (const char* at = text; *at != '\0'; ++at) {
        unsigned char c = static_cast<unsigned char>(*at);
        if ((c < 0x20 && c != '\t') || c > 0x7e) return false;
    }
    return true;
}

std::string Base64(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        out += kBase64[group >> 18 & 63];
        out += kBase64[group >> 12 & 63];
        out += i + 1 < bytes.size() ? kBase64[group >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kBase64[group & 63] : '=';
    }
    return out;
}

// UTF-8 text as base64 encoded words, each holding whole characters, folded
// onto continuation lines.
std::string EncodedWords(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start + kWordBytes < text.size() ? start + kWordBytes : text.size();
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        if (!out.empty()) out += "\n ";
        out += "=?utf-8?B?" + Base64(text.substr(start, end - start)) + "?=";
        start = end;
    }
    return out;
}

std::string HeaderValue(const char* raw) {
    if (IsPlainAscii(raw)) return raw;
    std::string decoded;
    DecodeEncodedWords(raw, decoded);
    return EncodedWords(decoded);
}

// An address field (From, Sender, Reply-To) with 8-bit text: the name goes
// into encoded words, the address stays outside them where a mail program
// looks for it. Without an ASCII address the whole field is encoded.
std::string AddressValue(const char* raw) {
    if (IsPlainAscii(raw)) return raw;
    std::string address = AuthorAddress(raw);
    std::string decoded;
    DecodeEncodedWords(raw, decoded);
    bool plain = !address.empty();
    for (char c : address)
        plain = plain && c > 0x20 && c < 0x7f && c != '<' && c != '>';
    std::size_t at = plain ? decoded.find(address) : std::string::npos;
    if (at == std::string::npos) return EncodedWords(decoded);
    std::size_t from = at, to = at + address.size();
    if (from > 0 && decoded[from - 1] == '<' && to < decoded.size() && decoded[to] == '>') {
        --from;
        ++to;
    }
    std::string name = decoded.substr(0, from) + decoded.substr(to);
    const char* trim = " \t\"()";
    std::size_t first = name.find_first_not_of(trim);
    std::size_t last = name.find_last_not_of(trim);
    name = first == std::string::npos ? "" : name.substr(first, last - first + 1);
    if (name.empty()) return "<" + address + ">";
    return EncodedWords(name) + " <" + address + ">";
}

std::string FromLine(const kvArticle& a) {
    std::string address = AuthorAddress(a.from);
    bool plain = !address.empty();
    for (char c : address)
        plain = plain && c > 0x20 && c < 0x7f;
    std::int64_t seconds = 0;
    if (IsMissing(a.date) || !ParseMailDate(a.date, seconds)) seconds = 0;
    return "From " + (plain ? address : std::string("MAILER-DAEMON")) + " " +
           FormatAscTimeUtc(seconds) + "\n";
}

// The body as UTF-8 without CR, its From lines quoted the mboxrd way, ended by a line end.
std::string QuotedBody(const kvArticle& a) {
    if (!a.body || a.body[0] == '\0') return "";
    std::string text = Utf8Text(a.body.get());
    std::string out;
    std::size_t line = 0;
    while (line < text.size()) {
        std::size_t end = text.find('\n', line);
        if (end == std::string::npos) end = text.size();
        std::size_t quotes = text.find_first_not_of('>', line);
        if (quotes != std::string::npos && text.compare(quotes, 5, "From ") == 0) out += '>';
        for (std::size_t i = line; i < end; ++i)
            if (text[i] != '\r') out += text[i];
        out += '\n';
        line = end + 1;
    }
    return out;
}

std::string Message(const kvArticle& a) {
    std::string message = FromLine(a);
    for (const kvHeaderLine& header : kvHeaderLines) {
        const char* value = ArticleField(a, header.field);
        if (IsMissing(value)) continue;
        bool address = std::strcmp(header.label, "From: ") == 0 ||
                       std::strcmp(header.label, "Sender: ") == 0 ||
                       std::strcmp(header.label, "Reply-To: ") == 0;
        message += header.label + (address ? AddressValue(value) : HeaderValue(value)) + "\n";
    }
    message += "MIME-Version: 1.0\n"
               "Content-Type: text/plain; charset=utf-8\n"
               "Content-Transfer-Encoding: 8bit\n";
    message += IsCutArticle(a) ? "X-Korvex-Cut: yes\n" : "X-Korvex-Cut: no\n";
    return message + "\n" + QuotedBody(a) + "\n";
}

} // namespace

bool SaveResultsMbox(const char* path, const kvResultSet& set) {
    kvAtomicFile file(path);
    if (!file.IsOpen()) return false;
    for (const kvArticle* a = set.First(); a != nullptr && file.Ok(); a = a->next)
        file.Write(Message(*a));
    return file.Commit();
}
