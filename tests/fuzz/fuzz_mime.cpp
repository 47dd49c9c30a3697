// The MIME decoders. Input: one byte choosing the decoder, then its input:
//   0 a header value (encoded words);
//   1 a header block, "\n~\n", a body;
//   2 base64, 3 quoted-printable (body and encoded-word forms);
//   4 a charset name, LF, bytes in it;
//   5 text made readable (one line and several lines).
// What comes out is valid UTF-8 and within the bound its header states;
// readable text holds no control character but tab (and LF for several
// lines); decoded bodies hold no NUL or CR.
#include "fuzz_check.h"

#include "charset.h"
#include "mime_body.h"
#include "mime_header.h"
#include "records.h"
#include "transfer_encoding.h"
#include "utf8_text.h"

#include <cstring>
#include <string>

namespace {

// No C0 control but tab (and LF when allowed), no DEL, no C1 control.
void CheckReadable(const std::string& text, bool lineEnds) {
    FUZZ_CHECK(IsValidUtf8(text.data(), text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20) FUZZ_CHECK(c == '\t' || (lineEnds && c == '\n'));
        FUZZ_CHECK(c != 0x7f);
        if (c == 0xc2 && i + 1 < text.size()) {
            unsigned char next = static_cast<unsigned char>(text[i + 1]);
            FUZZ_CHECK(next < 0x80 || next > 0x9f);
        }
    }
}

void Header(const std::string& raw) {
    std::string decoded;
    if (DecodeEncodedWords(raw.c_str(), decoded))
        FUZZ_CHECK(IsValidUtf8(decoded.data(), decoded.size()));
    std::string readable = ReadableHeader(raw.c_str());
    CheckReadable(readable, false);
    FUZZ_CHECK(readable.size() <= KV_READABLE_HEADER_FACTOR * std::strlen(raw.c_str()));
}

void Body(const std::string& input) {
    std::size_t split = input.find("\n~\n");
    std::string headers = input.substr(0, split).c_str();
    std::string body = split == std::string::npos ? "" : input.substr(split + 3);
    std::string out = "stale";
    if (DecodeMimeBody(headers.c_str(), body.data(), body.size(), out)) {
        FUZZ_CHECK(IsValidUtf8(out.data(), out.size()));
        FUZZ_CHECK(out.find('\0') == std::string::npos);
        FUZZ_CHECK(out.find('\r') == std::string::npos);
        FUZZ_CHECK(out.size() <= KV_DECODED_BODY_MAX);
    }
    kvArticle article;
    std::string stored = body.c_str();
    article.body.reset(new char[stored.size() + 1]);
    std::memcpy(article.body.get(), stored.c_str(), stored.size() + 1);
    DecodeArticleBody(headers.c_str(), article);
    if (article.body)
        FUZZ_CHECK(std::strlen(article.body.get()) <= KV_DECODED_BODY_MAX ||
                   std::strcmp(article.body.get(), stored.c_str()) == 0);
}

void Base64(const std::string& text) {
    std::string out;
    DecodeBase64Body(text.data(), text.size(), out);
    FUZZ_CHECK(out.size() <= text.size() / 4 * 3 + 2);
    std::string word;
    if (DecodeBase64Word(text.data(), text.size(), word))
        FUZZ_CHECK(word.size() <= text.size() / 4 * 3 + 2);
}

void QuotedPrintable(const std::string& text) {
    std::string out;
    DecodeQuotedPrintableBody(text.data(), text.size(), out);
    FUZZ_CHECK(out.size() <= text.size());
    std::string word;
    DecodeQWord(text.data(), text.size(), word);
    FUZZ_CHECK(word.size() <= text.size());
}

void Charset(const std::string& input) {
    std::size_t lf = input.find('\n');
    if (lf == std::string::npos || lf > 40) return;
    std::string charset = input.substr(0, lf);
    std::string bytes = input.substr(lf + 1);
    for (kvConvert mode : {kvConvert::Strict, kvConvert::Repair}) {
        std::string out = "kept";
        if (AppendInCharset(out, charset, bytes.data(), bytes.size(), mode)) {
            FUZZ_CHECK(out.compare(0, 4, "kept") == 0);
            FUZZ_CHECK(IsValidUtf8(out.data() + 4, out.size() - 4));
        } else {
            FUZZ_CHECK(out == "kept");
        }
    }
}

void Readable(const std::string& text) {
    for (bool lines : {false, true}) {
        std::string out = ReadableText(text.data(), text.size(), lines);
        CheckReadable(out, lines);
        FUZZ_CHECK(out.size() <= 3 * text.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 6) {
    case 0:
        Header(input);
        break;
    case 1:
        Body(input);
        break;
    case 2:
        Base64(input);
        break;
    case 3:
        QuotedPrintable(input);
        break;
    case 4:
        Charset(input);
        break;
    default:
        Readable(input);
        break;
    }
    return 0;
}
