// Bodies as a reader reads them: transfer encodings, charsets, multiparts and
// cut articles. Every expectation is written out by hand.
#include "mime_body.h"
#include "results_file.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

const std::string kTail = "\n\n***** Warning: Long article (>32K bytes), truncated! *****\n\n";

struct Case {
    const char* what;
    std::string headers; // the article's header block, CR LF line ends
    std::string body;    // as stored before decoding: LF line ends
    std::string shown;
};

const std::string kMixed = "Content-Type: multipart/mixed; boundary=\"=_b1\"\r\n";

TEST(MimeBody, BodiesDecodeAsAReaderExpects) {
    const Case cases[] = {
        {"quoted-printable Latin-1 with a soft break",
         "Content-Type: text/plain; charset=ISO-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable",
         "Gr=FC=DFe aus K=F6ln\nsoft=\nbreak and=20\nsoft with blanks= \t\nend\n",
         "Gr\xc3\xbc\xc3\x9f"
         "e aus K\xc3\xb6ln\nsoftbreak and \nsoft with blanksend\n"},
        {"base64 UTF-8 with CR LF inside",
         "Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: BASE64",
         "Y2Fmw6kNCmxpbmUNCg==\n", "caf\xc3\xa9\nline\n"},
        {"8bit KOI8-R", "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=koi8-r",
         "\xf0\xd2\xc9\xd7\xc5\xd4\n", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\n"},
        {"windows-1252 quotes", "Content-Type: text/plain; charset=windows-1252",
         "\x93quoted\x94 \x80\n", "\xe2\x80\x9cquoted\xe2\x80\x9d \xe2\x82\xac\n"},
        {"unknown charset: raw rule per line", "Content-Type: text/plain; charset=x-martian",
         "caf\xe9\ncaf\xc3\xa9\n", "caf\xc3\xa9\ncaf\xc3\xa9\n"},
        {"US-ASCII declared, 8-bit lines sent anyway", "Content-Type: text/plain; charset=US-ASCII",
         "caf\xc3\xa9\ncaf\xe9\n", "caf\xc3\xa9\ncaf\xc3\xa9\n"},
        {"no charset, only a transfer encoding", "Content-Transfer-Encoding: quoted-printable",
         "caf=E9\n", "caf\xc3\xa9\n"},
        {"folded Content-Type header",
         "Content-Type: text/plain;\r\n charset=ISO-8859-1\r\nX-Other: 1", "\xe9t\xe9\n",
         "\xc3\xa9t\xc3\xa9\n"},
        {"quoted-printable cut inside an escape",
         "Content-Type: text/plain; charset=utf-8\r\n"
         "Content-Transfer-Encoding: quoted-printable",
         "caf=C3=A9 ok\nmore=C3=A" + kTail, "caf\xc3\xa9 ok\nmore\n" + kTail},
        {"quoted-printable cut after the equals sign",
         "Content-Type: text/plain; charset=utf-8\r\n"
         "Content-Transfer-Encoding: quoted-printable",
         "line one\nline=" + kTail, "line one\nline\n" + kTail},
        {"base64 cut mid-quantum", "Content-Transfer-Encoding: base64",
         "aGVsbG8gd29ybGQK\naGVsbG8gd29ybG" + kTail, "hello world\nhello worl\n" + kTail},
        {"multipart: a text part and an attachment", kMixed,
         "This is a multi-part message in MIME format.\n--=_b1\n"
         "Content-Type: text/plain; charset=ISO-8859-1\n"
         "Content-Transfer-Encoding: quoted-printable\n\nSee the file, Jos=E9.\n--=_b1\n"
         "Content-Type: application/zip; name=\"a.zip\"\n"
         "Content-Transfer-Encoding: base64\n"
         "Content-Disposition: attachment; filename=\"=?UTF-8?Q?r=C3=A9sum=C3=A9.zip?=\"\n\n"
         "UEsDBAA=\n--=_b1--\nepilogue\n",
         "See the file, Jos\xc3\xa9.\n\n"
         "[Attachment: r\xc3\xa9sum\xc3\xa9.zip, application/zip, 5 bytes]\n"},
        {"nested multipart/alternative keeps the plain text", kMixed,
         "--=_b1\nContent-Type: multipart/alternative; boundary=inner\n\n--inner\n"
         "Content-Type: text/plain; charset=us-ascii\n\nplain version\n--inner\n"
         "Content-Type: text/html\n\n<p>html version</p>\n--inner--\n\n--=_b1\n"
         "Content-Type: image/png\nContent-Transfer-Encoding: base64\n\nAAEC\n--=_b1--\n",
         "plain version\n\n[Attachment: image/png, 3 bytes]\n"},
        {"two text parts in order, no part headers", "Content-Type: multipart/mixed; boundary=xyz",
         "--xyz\n\nfirst\n--xyz\nContent-Type: text/plain\n\nsecond\n--xyz--\n",
         "first\n\nsecond\n"},
        {"an RFC 2231 file name", "Content-Type: multipart/mixed; boundary=xyz",
         "--xyz\nContent-Type: application/pdf\n"
         "Content-Disposition: attachment; filename*=UTF-8''caf%C3%A9.pdf\n\n1234\n--xyz--\n",
         "[Attachment: caf\xc3\xa9.pdf, application/pdf, 4 bytes]\n"},
        {"missing boundary parameter", "Content-Type: multipart/mixed",
         "--x\nContent-Type: text/plain\n\nbody\n", "--x\nContent-Type: text/plain\n\nbody\n"},
        {"boundary never found", kMixed, "just text\n", "just text\n"},
        {"a longer boundary is not the boundary", "Content-Type: multipart/mixed; boundary=ab",
         "--ab\n\nkept\n--abc\nstill kept\n--ab--\n", "kept\n--abc\nstill kept\n"},
        {"attachment cut short", kMixed,
         "--=_b1\nContent-Type: text/plain\n\nhi\n--=_b1\n"
         "Content-Type: application/octet-stream; name=big.bin\n"
         "Content-Transfer-Encoding: base64\n\nAAECAwQF\nAAEC" +
             kTail,
         "hi\n\n[Attachment: big.bin, application/octet-stream, 9 bytes received, cut short]\n" +
             kTail},
        {"a whole body that is not text",
         "Content-Type: image/gif\r\n"
         "Content-Transfer-Encoding: base64",
         "R0lGODlh\n", "[Attachment: image/gif, 6 bytes]\n"},
        {"control bytes are kept for the outputs to neutralise; NUL and CR go",
         "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable",
         "a=1Bb=00c=0Dd\n",
         "a\x1b"
         "bcd\n"},
    };
    for (const Case& c : cases) {
        std::string out;
        ASSERT_TRUE(DecodeMimeBody(c.headers.c_str(), c.body.data(), c.body.size(), out)) << c.what;
        EXPECT_EQ(out, c.shown) << c.what;
    }
}

TEST(MimeBody, ArticlesWithoutMimeFieldsKeepTheirBody) {
    std::string out;
    const char* body = "caf\xe9 =41\n";
    EXPECT_FALSE(DecodeMimeBody("Subject: x\r\nMIME-Version: 1.0", body, std::strlen(body), out));
    kvArticle a;
    a.body.reset(new char[std::strlen(body) + 1]);
    std::strcpy(a.body.get(), body);
    DecodeArticleBody("From: a@b\r\nSubject: x", a);
    EXPECT_STREQ(a.body.get(), body);
}

TEST(MimeBody, ArticleBodyIsReplacedOrDropped) {
    kvArticle a;
    const char* b64 = "Y2Fmw6kK\n";
    a.body.reset(new char[std::strlen(b64) + 1]);
    std::strcpy(a.body.get(), b64);
    DecodeArticleBody("Content-Type: text/plain; charset=UTF-8\r\n"
                      "Content-Transfer-Encoding: base64",
                      a);
    ASSERT_NE(a.body, nullptr);
    EXPECT_STREQ(a.body.get(), "caf\xc3\xa9\n");

    a.body.reset(new char[2]);
    std::strcpy(a.body.get(), "=");
    DecodeArticleBody("Content-Transfer-Encoding: base64", a);
    EXPECT_EQ(a.body, nullptr) << "nothing readable is left";
}

TEST(MimeBody, OverlongDecodedBodyIsCutAndSurvivesAResultsFile) {
    // Latin-1 grows when it becomes UTF-8: 40000 bytes of "é" lines double.
    std::string line(79, '\xe9');
    line += '\n';
    std::string body;
    while (body.size() < 40000)
        body += line;
    std::string out;
    ASSERT_TRUE(DecodeMimeBody("Content-Type: text/plain; charset=iso-8859-1", body.data(),
                               body.size(), out));
    ASSERT_LE(out.size(), KV_DECODED_BODY_MAX);
    ASSERT_GT(out.size(), KV_DECODED_BODY_MAX - 400);
    ASSERT_EQ(out.substr(out.size() - kTail.size()), kTail);
    std::string kept = out.substr(0, out.size() - kTail.size());
    EXPECT_EQ(kept.size() % 159, 0u) << "cut after a whole line";

    // The stored body reads back whole from a results file.
    korvex_test::TempDir dir;
    kvResultSet set;
    auto article = std::make_unique<kvArticle>();
    article->body.reset(new char[out.size() + 1]);
    std::memcpy(article->body.get(), out.c_str(), out.size() + 1);
    set.Append(std::move(article));
    kvSearchSummary summary;
    std::string path = dir / "big.kvx";
    ASSERT_TRUE(SaveResultsFile(path.c_str(), summary, set));
    kvResultSet loaded;
    kvSearchSummary again;
    ASSERT_EQ(LoadResultsFile(path.c_str(), again, loaded), 1);
    EXPECT_EQ(std::string(loaded.At(0).body.get()), out);
}

// A body the transport cut ends in the middle of a line; the line end put
// before the warning must fit the bound as well, however the cut falls.
TEST(MimeBody, CutBodyWithItsLineEndStaysWithinTheBound) {
    const std::size_t room = KV_DECODED_BODY_MAX - kTail.size();
    const struct {
        std::size_t partial; // bytes of the unfinished last line
        std::string shown;   // what is kept before the warning
    } cases[] = {
        {room - 2, "x\n"},                                     // exactly at the bound
        {room - 3, "x\n" + std::string(room - 3, 'a') + "\n"}, // one byte below: fits whole
        {room - 1, "x\n"},                                     // one byte beyond
    };
    for (const auto& c : cases) {
        std::string body = "x\n" + std::string(c.partial, 'a') + kTail;
        std::string out;
        ASSERT_TRUE(DecodeMimeBody("Content-Type: text/plain", body.data(), body.size(), out));
        EXPECT_LE(out.size(), KV_DECODED_BODY_MAX) << c.partial;
        EXPECT_TRUE(out == c.shown + kTail) << c.partial << ": " << out.size() << " bytes";
    }
}

} // namespace
