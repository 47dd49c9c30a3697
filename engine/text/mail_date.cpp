#include "mail_date.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char* const kDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
const char* const kMonthNames[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};

// Named zones of RFC 5322 other than UT/GMT/Z, with their offsets in minutes.
struct kvNamedZone {
    const char* name;
    int minutes;
};
const kvNamedZone kNamedZones[] = {{"EST", -5 * 60}, {"EDT", -4 * 60}, {"CST", -6 * 60},
                                   {"CDT", -5 * 60}, {"MST", -7 * 60}, {"MDT", -6 * 60},
                                   {"PST", -8 * 60}, {"PDT", -7 * 60}};

// ASCII letters compared without case, over n bytes (or up to the shorter NUL).
bool SameLetters(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
        if (a[i] == '\0') return true;
    }
    return true;
}

struct kvDateToken {
    char kind = 0; // 'a' letters, 'n' digits, or the character itself: , : + -
    std::string text;
    int value = 0;
    int digits = 0;
};

// Splits the text into words, numbers and the signs a date uses, leaving out
// blanks and comments (nested, with backslash quoting). False on any other
// character or a number of more than nine digits.
bool Tokenize(const char* at, std::vector<kvDateToken>& tokens) {
    while (*at != '\0') {
        unsigned char c = static_cast<unsigned char>(*at);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
        } else if (c == '(') {
            at = SkipMailComment(at);
        } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') {
            kvDateToken t;
            t.kind = 'a';
            while (((*at | 0x20) >= 'a' && (*at | 0x20) <= 'z'))
                t.text += *at++;
            tokens.push_back(t);
        } else if (c >= '0' && c <= '9') {
            kvDateToken t;
            t.kind = 'n';
            while (*at >= '0' && *at <= '9') {
                if (++t.digits > 9) return false;
                t.value = t.value * 10 + (*at++ - '0');
            }
            tokens.push_back(t);
        } else if (c == ',' || c == ':' || c == '+' || c == '-') {
            kvDateToken t;
            t.kind = static_cast<char>(c);
            tokens.push_back(t);
            ++at;
        } else {
            return false;
        }
    }
    return true;
}

// The index of a name whose three-letter form or full form the word is; -1 when none.
int NameIndex(const std::string& word, const char* const* names, int count) {
    for (int i = 0; i < count; ++i)
        if ((word.size() == 3 && SameLetters(word.c_str(), names[i], 3)) ||
            (word.size() == std::strlen(names[i]) &&
             SameLetters(word.c_str(), names[i], word.size())))
            return i;
    return -1;
}

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct kvCivilTime {
    int year, month, day, hour, minute, second, weekday;
};

kvCivilTime CivilFromSeconds(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    kvCivilTime t{};
    t.weekday = static_cast<int>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

// Reads the tokens in order; every step fails once a token is not what it wants.
class kvDateReader {
  public:
    explicit kvDateReader(const std::vector<kvDateToken>& tokens) : tokens(tokens) {}

    bool AtEnd() const { return at == tokens.size(); }
    bool Is(char kind) const { return at < tokens.size() && tokens[at].kind == kind; }
    bool Skip(char kind) {
        if (!Is(kind)) return false;
        ++at;
        return true;
    }
    const kvDateToken& Next() { return tokens[at++]; }
    const kvDateToken& Peek() const { return tokens[at]; }

    // An optional weekday name and the comma after it.
    bool SkipWeekday() {
        if (!Is('a') || NameIndex(Peek().text, kDayNames, 7) < 0) return true;
        ++at;
        Skip(',');
        return !AtEnd();
    }
    bool Month(int& month) {
        if (!Is('a')) return false;
        month = NameIndex(Next().text, kMonthNames, 12) + 1;
        return month > 0;
    }
    bool Number(int& value, int minDigits, int maxDigits) {
        if (!Is('n')) return false;
        const kvDateToken& t = Next();
        value = t.value;
        return t.digits >= minDigits && t.digits <= maxDigits;
    }
    // Two digits are 1950-2049, three count from 1900.
    bool Year(int& year) {
        if (!Is('n')) return false;
        int digits = Peek().digits;
        if (!Number(year, 2, 4)) return false;
        if (digits == 2)
            year += year < 50 ? 2000 : 1900;
        else if (digits == 3)
            year += 1900;
        return true;
    }
    bool Time(int& hour, int& minute, int& second) {
        second = 0;
        if (!Number(hour, 1, 2) || !Skip(':') || !Number(minute, 1, 2)) return false;
        if (Skip(':') && !Number(second, 1, 2)) return false;
        return hour <= 23 && minute <= 59 && second <= 60;
    }
    // A numeric or alphabetic zone, or none; offset in minutes east of UTC.
    bool Zone(int& offset) {
        offset = 0;
        if (Is('+') || Is('-')) {
            int sign = Next().kind == '-' ? -1 : 1;
            int hhmm = 0;
            if (!Number(hhmm, 4, 4) || hhmm % 100 > 59) return false;
            offset = sign * (hhmm / 100 * 60 + hhmm % 100);
            // A zone name often follows the number ("+0000 GMT").
            if (Is('a') && Peek().text.size() <= 5) ++at;
            return true;
        }
        if (Is('a')) {
            const std::string& name = Next().text;
            if (name.size() > 5) return false;
            for (const kvNamedZone& z : kNamedZones)
                if (name.size() == 3 && SameLetters(name.c_str(), z.name, 3)) offset = z.minutes;
        }
        return true;
    }

  private:
    const std::vector<kvDateToken>& tokens;
    std::size_t at = 0;
};

} // namespace

bool ParseMailDate(const char* text, std::int64_t& utcSeconds) {
    std::vector<kvDateToken> tokens;
    if (text == nullptr || !Tokenize(text, tokens)) return false;
    kvDateReader r(tokens);
    if (!r.SkipWeekday()) return false;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, offset = 0;
    if (r.Is('n')) {
        // day month year time [zone]
        if (!r.Number(day, 1, 2) || !r.Month(month) || !r.Year(year) ||
            !r.Time(hour, minute, second))
            return false;
    } else {
        // month day time year [zone]: the asctime order
        if (!r.Month(month) || !r.Number(day, 1, 2) || !r.Time(hour, minute, second) ||
            !r.Year(year))
            return false;
    }
    if (!r.Zone(offset) || !r.AtEnd()) return false;
    if (day < 1 || day > DaysInMonth(year, month)) return false;
    utcSeconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                 static_cast<std::int64_t>(offset) * 60;
    return true;
}

std::string FormatIsoUtc(std::int64_t utcSeconds) {
    kvCivilTime t = CivilFromSeconds(utcSeconds);
    char out[40];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return out;
}

std::string FormatAscTimeUtc(std::int64_t utcSeconds) {
    kvCivilTime t = CivilFromSeconds(utcSeconds);
    char out[48];
    std::snprintf(out, sizeof out, "%.3s %.3s %2d %02d:%02d:%02d %04d", kDayNames[t.weekday],
                  kMonthNames[t.month - 1], t.day, t.hour, t.minute, t.second, t.year);
    return out;
}

const char* SkipMailComment(const char* at) {
    int depth = 0;
    do {
        if (*at == '\\' && at[1] != '\0')
            ++at;
        else if (*at == '(')
            ++depth;
        else if (*at == ')')
            --depth;
        ++at;
    } while (depth > 0 && *at != '\0');
    return at;
}
