#include "results_columns.h"

#include "export_fields.h"
#include "mail_date.h"
#include "mime_header.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <limits>

namespace {

std::string Trimmed(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// Takes one pair of enclosing quotes (or parentheses) off a name.
std::string Unwrapped(std::string name, char open, char close) {
    if (name.size() >= 2 && name.front() == open && name.back() == close)
        name = Trimmed(name.substr(1, name.size() - 2));
    return name;
}

std::string Folded(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct SortKey {
    std::string text;   // subject, author
    std::int64_t value; // date, lines
    bool missing;       // sorts last either way
};

SortKey KeyOf(const kvArticle& article, int column) {
    switch (column) {
    case COLUMN_SUBJECT:
        return {Folded(ReadableHeader(article.subject)), 0, false};
    case COLUMN_FROM:
        return {Folded(AuthorName(article.from)), 0, false};
    case COLUMN_DATE: {
        std::int64_t seconds = 0;
        bool read = !IsMissing(article.date) && ParseMailDate(article.date, seconds);
        return {std::string(), seconds, !read};
    }
    default:
        return {std::string(), article.lines, article.lines < 0};
    }
}

} // namespace

std::string AuthorName(const char* from) {
    if (from == nullptr || IsMissing(from)) return std::string();
    std::string decoded = Trimmed(ReadableHeader(from));
    std::string address = Utf8Text(AuthorAddress(from).c_str());
    std::size_t angle = decoded.rfind('<');
    std::string name;
    if (angle != std::string::npos && decoded.find('>', angle) != std::string::npos) {
        name = Unwrapped(Trimmed(decoded.substr(0, angle)), '"', '"');
    } else {
        std::size_t paren = decoded.find('(');
        if (paren != std::string::npos) name = Unwrapped(Trimmed(decoded.substr(paren)), '(', ')');
    }
    if (!name.empty()) return name;
    return address.empty() ? decoded : address;
}

std::string ShortLocalDate(const char* date) {
    std::int64_t seconds = 0;
    if (date == nullptr || IsMissing(date) || !ParseMailDate(date, seconds)) return std::string();
    if (seconds < std::numeric_limits<std::time_t>::min() ||
        seconds > std::numeric_limits<std::time_t>::max())
        return std::string();
    std::time_t moment = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &moment) != 0) return std::string();
#else
    if (localtime_r(&moment, &local) == nullptr) return std::string();
#endif
    char text[32];
    if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0) return std::string();
    return text;
}

kvColumnTexts ColumnTexts(const kvArticle& article) {
    kvColumnTexts texts;
    texts.subject = ReadableHeader(article.subject);
    texts.from = AuthorName(article.from);
    texts.date = ShortLocalDate(article.date);
    if (texts.date.empty() && !IsMissing(article.date)) texts.date = ReadableHeader(article.date);
    if (article.lines >= 0) texts.lines = std::to_string(article.lines);
    return texts;
}

void kvViewOrder::Click(int clicked) {
    if (clicked != column) {
        column = clicked;
        ascending = true;
    } else if (ascending) {
        ascending = false;
    } else {
        column = -1;
        ascending = true;
    }
}

std::vector<int> OrderedSlots(const std::vector<const kvArticle*>& articles,
                              const kvViewOrder& order) {
    std::vector<int> slots(articles.size());
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = static_cast<int>(i);
    if (order.Grouped()) return slots;
    std::vector<SortKey> keys;
    keys.reserve(articles.size());
    for (const kvArticle* article : articles)
        keys.push_back(KeyOf(*article, order.column));
    std::stable_sort(slots.begin(), slots.end(), [&](int a, int b) {
        const SortKey& x = keys[a];
        const SortKey& y = keys[b];
        if (x.missing != y.missing) return y.missing; // missing values last
        if (x.missing) return false;
        int compared = x.text.compare(y.text);
        if (compared == 0) compared = x.value < y.value ? -1 : (x.value > y.value ? 1 : 0);
        return order.ascending ? compared < 0 : compared > 0;
    });
    return slots;
}
