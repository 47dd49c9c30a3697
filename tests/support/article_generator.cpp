#include "article_generator.h"
#include "generator_parts.h"

#include <cstdint>
#include <cstdio>

namespace korvex_test {
namespace {

const char* const kTopics[] = {"kernel",  "Kernel",  "KERNEL", "network",    "Network",
                               "printer", "Printer", "modem",  "sound card", "video"};
const char* const kTroubles[] = {"panic", "driver", "Driver",  "config",
                                 "crash", "setup",  "upgrade", "timeout"};
const char* const kPlainAuthors[] = {
    "Alice Archer <alice@example.com>", "bob@example.net (Bob Baker)",
    "Carol Chen <carol@example.org>",   "Dave Dunn <dave@example.com>",
    "Eve Evans <eve@example.net>",
};
const char* const kLatin1Authors[] = {"Jos\xe9 Mart\xednez <jose@example.es>",
                                      "J\xfcrgen Gro\xdf <juergen@example.de>"};
const char* const kUtf8Authors[] = {"Ren\xc3\xa9"
                                    "e M\xc3\xbcller <renee@example.de>",
                                    "\xc3\x85sa \xc3\x96stberg <asa@example.se>"};
const char* const kKeywords[] = {"linux", "kernel", "networking", "hardware", "Usenet",
                                 "faq",   "howto",  "security",   "printing", "modems"};
const char* const kOrganizations[] = {"Korvex Test Lab", "University of Nowhere",
                                      "Caf\xe9 Usenet Society", "Example Corp."};
const char* const kBodyWords[] = {"the",   "quick",  "brown",  "fox",    "jumps", "over",
                                  "lazy",  "dog",    "server", "client", "group", "article",
                                  "reply", "thread", "post",   "news",   "line",  "text"};
const char* const kBigWords[] = {"apple",  "birch",  "cedar",  "delta",   "ember",  "fjord",
                                 "grove",  "harbor", "island", "juniper", "kettle", "lantern",
                                 "meadow", "nectar", "orchid", "pepper"};

} // namespace

Rng ArticleRng(int groupIndex, long number) {
    return Rng((static_cast<std::uint64_t>(groupIndex) << 40) ^
               (static_cast<std::uint64_t>(number) * 0x2545f4914f6cdd1dULL) ^
               static_cast<std::uint64_t>(kGeneratorVersion));
}

std::string Format(const char* format, long a, long b) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// "Mon, 06 Jan 2020 00:10:00 +0000" for seconds since 1970 (UTC).
static std::string RfcDate(long long seconds) {
    static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    // Civil date from a day count (H. Hinnant's algorithm), valid for days >= 0.
    long long z = days + 719468;
    long long era = z / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long day = doy - (153 * mp + 2) / 5 + 1;
    long long month = mp < 10 ? mp + 3 : mp - 9;
    long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02lld %s %lld %02lld:%02lld:%02lld +0000",
                  kDays[days % 7], day, kMonths[month - 1], year, rest / 3600, rest / 60 % 60,
                  rest % 60);
    return text;
}

std::string ArticleDate(int groupIndex, long number) {
    const long long kStart = 18267LL * 86400; // Mon, 06 Jan 2020 00:00:00
    return RfcDate(kStart + groupIndex * 60LL + number * 600LL);
}

std::string TextLine(Rng& rng, std::size_t length) {
    std::string line = rng.Pick(kBodyWords);
    while (line.size() < length) {
        line += ' ';
        line += rng.Pick(kBodyWords);
    }
    return line;
}

std::string PlainBody(Rng& rng, int lines) {
    std::string body;
    for (int i = 0; i < lines; ++i)
        body += TextLine(rng, 20 + rng.Below(55)) + "\n";
    return body;
}

// The subject of the small group's kind: a template with a topic and a trouble.
std::string TopicSubject(Rng& rng) {
    std::string topic = rng.Pick(kTopics);
    std::string trouble = rng.Pick(kTroubles);
    switch (rng.Below(6)) {
    case 0:
        return "Help with " + topic + " " + trouble;
    case 1:
        return topic + " " + trouble + " question";
    case 2:
        return "Problem: " + topic + " and " + trouble;
    case 3:
        return "Why does my " + topic + " " + trouble + "?";
    case 4:
        return topic + " " + trouble + " for sale";
    default:
        return "[ANN] new " + topic + " " + trouble + " released";
    }
}

void AddCommonHeaders(GeneratedArticle& a, int groupIndex, const std::string& from,
                      const std::string& subject) {
    a.headers.push_back({"Path", "feed.korvex.test!not-for-mail"});
    a.headers.push_back({"From", from});
    a.headers.push_back({"Newsgroups", a.group});
    a.headers.push_back({"Subject", subject});
    a.headers.push_back({"Date", ArticleDate(groupIndex, a.number)});
    a.headers.push_back({"Message-ID", GeneratedMessageId(groupIndex, a.number)});
}

void AddLines(GeneratedArticle& a) {
    a.headers.push_back({"Lines", Format("%ld", a.BodyLines())});
}

namespace {

GeneratedArticle SmallArticle(const GeneratedGroupInfo& g, long n) {
    Rng rng = ArticleRng(g.index, n);
    GeneratedArticle a;
    a.group = g.name;
    a.number = n;
    std::string subject = TopicSubject(rng);
    if (n % 5 == 0) subject = "Re: " + subject;
    AddCommonHeaders(a, g.index, rng.Pick(kPlainAuthors), subject);
    a.body = PlainBody(rng, 2 + rng.Below(15));
    AddLines(a);
    return a;
}

// An optional header of the mixed group: absent, present with a value, or
// present with an empty value.
void AddOptional(GeneratedArticle& a, const char* name, bool present, bool empty,
                 const std::string& value) {
    if (empty)
        a.headers.push_back({name, ""});
    else if (present)
        a.headers.push_back({name, value});
}

std::string MixedSubject(Rng& rng, long n) {
    std::string subject = TopicSubject(rng);
    if (n % 11 == 3) subject = "Caf\xe9 talk: " + subject;     // Latin-1
    if (n % 13 == 5) subject = "Caf\xc3\xa9 talk: " + subject; // UTF-8
    if (n % 97 == 13) {                                        // 400+ characters
        std::size_t length = 400 + static_cast<std::size_t>(n % 81);
        subject += " --";
        while (subject.size() < length) {
            subject += ' ';
            subject += rng.Pick(kBodyWords);
        }
    }
    if (n % 31 == 0)
        subject = "Re: Re: " + subject;
    else if (n % 29 == 0)
        subject = "RE: " + subject;
    else if (n % 7 == 0)
        subject = "Re: " + subject;
    return subject;
}

std::string MixedBody(Rng& rng, long n) {
    if (n % 101 == 50) return ""; // no body at all
    bool longBody = n % 150 == 75;
    std::string body;
    if (longBody) {
        std::size_t size = 42000 + static_cast<std::size_t>(rng.Below(20000));
        while (body.size() < size)
            body += TextLine(rng, 50 + rng.Below(25)) + "\n";
    } else if (n % 25 == 0) {
        body = PlainBody(rng, 150 + rng.Below(150));
    } else {
        body = PlainBody(rng, 1 + rng.Below(60));
    }
    if (n % 8 == 0 || longBody) {
        // Lines that travel dot-stuffed; one of them is a lone ".".
        body = ".\n..\n.hidden dot line\n" + body + "...three dots\n.\n";
    }
    if (n % 10 == 3)
        body += "Gr\xfc\xdf"
                "e aus K\xf6ln\nGr\xc3\xbc\xc3\x9f"
                "e aus K\xc3\xb6ln\n";
    return body;
}

GeneratedArticle MixedArticle(const GeneratedGroupInfo& g, long n) {
    Rng rng = ArticleRng(g.index, n);
    GeneratedArticle a;
    a.group = g.name;
    a.number = n;
    std::string from = n % 9 == 2   ? rng.Pick(kLatin1Authors)
                       : n % 9 == 5 ? rng.Pick(kUtf8Authors)
                                    : rng.Pick(kPlainAuthors);
    AddCommonHeaders(a, g.index, from, MixedSubject(rng, n));

    std::string keywords = rng.Pick(kKeywords);
    for (int k = rng.Below(3); k > 0; --k)
        keywords += std::string(", ") + rng.Pick(kKeywords);
    std::string summary =
        Format("Summary of article %ld: ", n) + rng.Pick(kBodyWords) + " " + rng.Pick(kBodyWords);
    std::string organization = rng.Pick(kOrganizations);
    std::string replyTo = Format("reply-%ld@example.com", n);

    AddOptional(a, "Organization", n % 2 == 0, n % 67 == 11, organization);
    AddOptional(a, "Keywords", n % 4 == 1 || n % 4 == 2, n % 53 == 17, keywords);
    AddOptional(a, "Summary", n % 3 == 0, n % 59 == 7, summary);
    if (n % 17 == 4) a.headers.push_back({"Sender", "moderator@example.org"});
    AddOptional(a, "Reply-To", n % 5 == 2, n % 61 == 9, replyTo);
    a.body = MixedBody(rng, n);
    AddLines(a);
    return a;
}

GeneratedArticle BigArticle(const GeneratedGroupInfo& g, long n) {
    Rng rng = ArticleRng(g.index, n);
    GeneratedArticle a;
    a.group = g.name;
    a.number = n;
    std::string subject =
        std::string(rng.Pick(kBigWords)) + " " + rng.Pick(kBigWords) + Format(" item %05ld", n);
    if (n % 50 == 0) subject += " keystone";
    if (n <= 800 && n % 100 == 0) subject += " relic";
    AddCommonHeaders(a, g.index, rng.Pick(kPlainAuthors), subject);
    a.body = PlainBody(rng, 1 + rng.Below(3));
    AddLines(a);
    return a;
}

} // namespace

const std::vector<GeneratedGroupInfo>& GeneratedGroups() {
    static const std::vector<GeneratedGroupInfo> groups = {
        {kSmallGroup, 1, 300},
        {kMixedGroup, 2, 1200},
        {kBigGroup, 3, 52000},
        {kModernGroup, 4, 240},
    };
    return groups;
}

std::string GeneratedMessageId(int groupIndex, long number) {
    return "<g" + std::to_string(groupIndex) + "." + std::to_string(number) + ".v" +
           std::to_string(kGeneratorVersion) + "@korvex.test>";
}

const std::string* GeneratedArticle::Header(const std::string& name) const {
    for (const auto& header : headers)
        if (header.first == name) return &header.second;
    return nullptr;
}

const std::string* GeneratedArticle::ReadableHeader(const std::string& name) const {
    for (const auto& header : decoded)
        if (header.first == name) return &header.second;
    return Header(name);
}

const std::string& GeneratedArticle::MessageId() const {
    static const std::string none;
    const std::string* id = Header("Message-ID");
    return id != nullptr ? *id : none;
}

int GeneratedArticle::BodyLines() const {
    int lines = 0;
    for (char c : body)
        if (c == '\n') ++lines;
    return lines;
}

std::vector<GeneratedArticle> GenerateGroup(const std::string& name) {
    std::vector<GeneratedArticle> articles;
    for (const GeneratedGroupInfo& g : GeneratedGroups()) {
        if (g.name != name) continue;
        articles.reserve(static_cast<std::size_t>(g.count));
        for (long n = 1; n <= g.count; ++n) {
            if (g.name == kSmallGroup)
                articles.push_back(SmallArticle(g, n));
            else if (g.name == kMixedGroup)
                articles.push_back(MixedArticle(g, n));
            else if (g.name == kModernGroup)
                articles.push_back(ModernArticle(g, n));
            else
                articles.push_back(BigArticle(g, n));
        }
    }
    return articles;
}

std::string WireArticle(const GeneratedArticle& article) {
    std::string wire;
    wire.reserve(article.body.size() + article.body.size() / 16 + 1024);
    for (const auto& header : article.headers) {
        const std::string* value = &header.second;
        for (const auto& folded : article.folded)
            if (folded.first == header.first) value = &folded.second;
        wire += header.first;
        wire += ": ";
        for (char c : *value)
            wire += c == '\n' ? std::string("\r\n") : std::string(1, c);
        wire += "\r\n";
    }
    wire += "\r\n";
    std::size_t start = 0;
    while (start < article.body.size()) {
        std::size_t end = article.body.find('\n', start);
        if (end == std::string::npos) end = article.body.size();
        if (article.body[start] == '.') wire += '.';
        wire.append(article.body, start, end - start);
        wire += "\r\n";
        start = end + 1;
    }
    wire += ".\r\n";
    return wire;
}

} // namespace korvex_test
