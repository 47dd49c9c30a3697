// The modern group: subjects and names sent as MIME encoded words in several
// charsets, bodies in quoted-printable and base64, multiparts with
// attachments, folded headers. Each article also records what a reader reads.
#include "generator_parts.h"
#include "mime_encode.h"

namespace korvex_test {
namespace {

struct Phrase {
    const char* text; // UTF-8
    const char* charset;
};

const Phrase kPhrases[] = {
    {"Café crème", "UTF-8"},          {"Café au lait", "ISO-8859-1"},
    {"Grüße aus Köln", "ISO-8859-1"}, {"“Smart” café — €5", "windows-1252"},
    {"Привет мир", "KOI8-R"},         {"Καλημέρα κόσμε", "UTF-8"},
    {"CAFÉ CRÈME", "UTF-8"},          {"Straße und Überfahrt", "UTF-8"},
};
constexpr long kPhraseCount = sizeof kPhrases / sizeof kPhrases[0];

struct Person {
    const char* name; // UTF-8
    const char* charset;
    const char* address;
};

const Person kPeople[] = {
    {"Renée Müller", "UTF-8", "renee@example.de"},
    {"José Martínez", "ISO-8859-1", "jose@example.es"},
    {"Владимир Петров", "KOI8-R", "vlad@example.ru"},
    {"Zoë O’Brien", "windows-1252", "zoe@example.ie"},
    {"Plain Person", nullptr, "plain@example.com"},
};

// One encoded word of the text in its charset, Q or B.
std::string Word(const std::string& utf8, const char* charset, bool b) {
    std::string bytes = InCharset(utf8, charset);
    return b ? BWord(bytes, charset) : QWord(bytes, charset);
}

void AddHeader(GeneratedArticle& a, const char* name, const std::string& sent,
               const std::string& read) {
    a.headers.push_back({name, sent});
    if (read != sent) a.decoded.push_back({name, read});
}

// Subject as sent and as read, in one of several shapes.
void Subject(GeneratedArticle& a, Rng& rng, long n) {
    const Phrase& p = kPhrases[n % kPhraseCount];
    bool b = (n / kPhraseCount) % 2 == 1;
    std::string topic = TopicSubject(rng);
    std::string sent, read;
    if (n % 17 == 3) { // an unknown charset stays as it is
        sent = read = "=?x-unknown?Q?abc?= " + topic;
    } else if (n % 19 == 9) { // control characters inside an encoded word
        sent = "=?UTF-8?Q?Alert=1B[2J_now?= " + topic;
        read = "Alert\x1b[2J now " + topic;
    } else if (n % 10 == 7) { // one UTF-8 character split between two adjacent words
        std::string bytes = p.text;
        std::size_t cut = 0;
        while (cut < bytes.size() && static_cast<unsigned char>(bytes[cut]) < 0xC0)
            ++cut;
        cut = cut < bytes.size() ? cut + 1 : bytes.size() / 2;
        sent = BWord(bytes.substr(0, cut), "UTF-8") + " " + BWord(bytes.substr(cut), "UTF-8") +
               " " + topic;
        read = std::string(p.text) + " " + topic;
    } else if (n % 13 == 6) { // folded over three lines
        const Phrase& q = kPhrases[(n + 3) % kPhraseCount];
        std::string folded = Word(std::string(p.text) + " ", p.charset, b) + "\n " +
                             Word(q.text, q.charset, !b) + "\n " + topic +
                             " (a long subject, folded over three lines)";
        a.folded.push_back({"Subject", folded});
        for (char c : folded)
            if (c != '\n') sent += c;
        read = std::string(p.text) + " " + q.text + " " + topic +
               " (a long subject, folded over three lines)";
    } else {
        sent = Word(p.text, p.charset, b) + " " + topic;
        read = std::string(p.text) + " " + topic;
    }
    if (n % 7 == 0) {
        sent = "Re: " + sent;
        read = "Re: " + read;
        for (auto& header : a.folded)
            header.second = "Re: " + header.second;
    }
    AddHeader(a, "Subject", sent, read);
}

std::string Address(const Person& p, bool b, const std::string& address, std::string& read) {
    read = std::string(p.name) + " <" + address + ">";
    if (p.charset == nullptr) return read;
    return Word(p.name, p.charset, b) + " <" + address + ">";
}

// A text body of some filler lines with the phrase among them.
std::string Text(Rng& rng, const std::string& phrase) {
    std::string text = PlainBody(rng, 1 + rng.Below(4));
    text += phrase + "\n";
    text += PlainBody(rng, 1 + rng.Below(4));
    return text;
}

void TextBody(GeneratedArticle& a, const char* charset, const char* encoding,
              const std::string& text) {
    a.headers.push_back({"Content-Type", std::string("text/plain; charset=") + charset});
    a.headers.push_back({"Content-Transfer-Encoding", encoding});
    std::string bytes = InCharset(text, charset);
    std::string enc = encoding;
    a.body = enc == "base64"             ? Base64Lines(bytes)
             : enc == "quoted-printable" ? QuotedPrintable(bytes)
                                         : bytes;
    a.decodedBody = text;
}

// multipart/mixed: a text part and an attachment, or (every 40th article) a
// multipart/alternative of plain and HTML text and a named image.
void MultipartBody(GeneratedArticle& a, Rng& rng, long n) {
    std::string boundary = "=_korvex_" + std::to_string(n);
    std::string type = "multipart/mixed;\n boundary=\"" + boundary + "\"";
    a.folded.push_back({"Content-Type", type});
    a.headers.push_back({"Content-Type", "multipart/mixed; boundary=\"" + boundary + "\""});
    std::string text = Text(rng, "Anhang für José: Übersicht");
    std::string attachment;
    for (int i = 0; i < (n % 40 == 20 ? 64 : 300); ++i)
        attachment += static_cast<char>(rng.Below(256));
    std::string body = "This is a multi-part message in MIME format.\n\n--" + boundary + "\n";
    if (n % 40 == 20) {
        body += "Content-Type: multipart/alternative; boundary=\"alt" + boundary + "\"\n\n";
        body += "--alt" + boundary +
                "\nContent-Type: text/plain; charset=UTF-8\n"
                "Content-Transfer-Encoding: quoted-printable\n\n" +
                QuotedPrintable(text);
        body += "--alt" + boundary +
                "\nContent-Type: text/html; charset=UTF-8\n\n"
                "<p>HTML version</p>\n--alt" +
                boundary + "--\n\n";
        body += "--" + boundary +
                "\nContent-Type: image/png; name=\"=?UTF-8?Q?caf=C3=A9.png?=\"\n"
                "Content-Transfer-Encoding: base64\n\n" +
                Base64Lines(attachment);
        a.decodedBody = text + "\n[Attachment: café.png, image/png, 64 bytes]\n";
    } else {
        body += "Content-Type: text/plain; charset=UTF-8\n"
                "Content-Transfer-Encoding: quoted-printable\n\n" +
                QuotedPrintable(text);
        std::string name = "data-" + std::to_string(n) + ".bin";
        body += "--" + boundary +
                "\nContent-Type: application/octet-stream\n"
                "Content-Transfer-Encoding: base64\n"
                "Content-Disposition: attachment; filename=\"" +
                name + "\"\n\n" + Base64Lines(attachment);
        a.decodedBody =
            text + "\n[Attachment: " + name + ", application/octet-stream, 300 bytes]\n";
    }
    body += "--" + boundary + "--\n";
    a.body = body;
}

} // namespace

GeneratedArticle ModernArticle(const GeneratedGroupInfo& g, long n) {
    Rng rng = ArticleRng(g.index, n);
    GeneratedArticle a;
    a.group = g.name;
    a.number = n;
    const Person& person = kPeople[n % 5];
    std::string fromRead;
    std::string from = Address(person, n % 2 == 1, person.address, fromRead);
    AddCommonHeaders(a, g.index, from, "");
    a.headers.erase(a.headers.begin() + 3); // the subject comes from Subject()
    Subject(a, rng, n);
    if (from != fromRead) a.decoded.push_back({"From", fromRead});
    if (n % 6 == 1) {
        std::string read;
        std::string sent =
            Address(person, n % 4 == 1, "reply-" + std::to_string(n) + "@example.org", read);
        AddHeader(a, "Reply-To", sent, read);
    }
    if (n % 4 == 0)
        AddHeader(a, "Organization",
                  "=?UTF-8?Q?Universit=C3=A4t_Z=C3=BCrich?=", "Universität Zürich");

    a.headers.push_back({"MIME-Version", "1.0"});
    a.mime = true;
    switch (n % 6) {
    case 0:
        TextBody(a, "UTF-8", "8bit", Text(rng, "Café crème for €3, s’il vous plaît"));
        break;
    case 1:
        TextBody(a, "ISO-8859-1", "quoted-printable",
                 Text(rng, "Grüße aus Köln, José! " + TextLine(rng, 70) + " Ende.") +
                     (n % 19 == 1 ? "Escape \x1b[31mred\x1b[0m line\n" : ""));
        break;
    case 2:
        TextBody(a, "UTF-8", "base64", Text(rng, "Ελληνικά κείμενα και Ünïcödé"));
        break;
    case 3:
        TextBody(a, "KOI8-R", "8bit", Text(rng, "Привет мир, как дела?"));
        break;
    case 4:
        MultipartBody(a, rng, n);
        break;
    default:
        TextBody(a, "windows-1252", "quoted-printable",
                 Text(rng, "“Quoted” words – and €20 … done"));
        break;
    }
    AddLines(a);
    return a;
}

} // namespace korvex_test
