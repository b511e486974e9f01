#include "platform/sqlite/DateFormatter.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace sqlite {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

struct Token {
    char letter = 0; // 0: literal text
    int count = 0;
    std::string text;
};

bool isPatternLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::vector<Token> tokenize(std::string_view f) {
    std::vector<Token> out;
    auto literal = [&](char c) {
        if (out.empty() || out.back().letter) out.push_back({});
        out.back().text += c;
    };
    for (size_t i = 0; i < f.size();) {
        char c = f[i];
        if (c == '\'') {
            if (i + 1 < f.size() && f[i + 1] == '\'') {
                literal('\'');
                i += 2;
                continue;
            }
            for (++i; i < f.size(); ++i) {
                if (f[i] == '\'') {
                    if (i + 1 < f.size() && f[i + 1] == '\'') {
                        literal('\'');
                        ++i;
                        continue;
                    }
                    break;
                }
                literal(f[i]);
            }
            ++i;
        } else if (isPatternLetter(c)) {
            size_t j = i;
            while (j < f.size() && f[j] == c)
                ++j;
            out.push_back({c, int(j - i), {}});
            i = j;
        } else {
            literal(c);
            ++i;
        }
    }
    return out;
}

std::string padded(long v, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*ld", width, v);
    return buf;
}

bool startsWithIgnoringCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower((unsigned char)s[i]) != std::tolower((unsigned char)prefix[i])) return false;
    return true;
}

// Index of the name at the start of s (full names first, then three-letter ones); -1 when none.
int matchName(std::string_view& s, const char* const* names, int n) {
    for (int full = 1; full >= 0; --full) {
        for (int i = 0; i < n; ++i) {
            std::string_view name = full ? std::string_view(names[i]) : std::string_view(names[i], 3);
            if (startsWithIgnoringCase(s, name)) {
                s.remove_prefix(name.size());
                return i;
            }
        }
    }
    return -1;
}

bool readNumber(std::string_view& s, int maxDigits, long& out) {
    size_t n = 0;
    long v = 0;
    while (n < s.size() && int(n) < maxDigits && s[n] >= '0' && s[n] <= '9')
        v = v * 10 + (s[n++] - '0');
    if (n == 0) return false;
    s.remove_prefix(n);
    out = v;
    return true;
}

} // namespace

DateFormatter::DateFormatter(std::string dateFormat, int secondsFromGMT, std::string localeIdentifier)
    : format_(std::move(dateFormat)), offset_(secondsFromGMT), locale_(std::move(localeIdentifier)) {}

std::string DateFormatter::stringFromDate(foundation::Date date) const {
    double whole = std::floor(date.secondsSince1970);
    double fraction = date.secondsSince1970 - whole;
    time_t t = time_t(whole) + offset_;
    struct tm tm;
    gmtime_r(&t, &tm);
    std::string out;
    for (const auto& tok : tokenize(format_)) {
        int n = tok.count;
        switch (tok.letter) {
        case 0:
            out += tok.text;
            break;
        case 'y':
            out += n == 2 ? padded((tm.tm_year + 1900) % 100, 2) : padded(tm.tm_year + 1900, n);
            break;
        case 'M':
            if (n >= 4)
                out += kMonths[tm.tm_mon];
            else if (n == 3)
                out += std::string(kMonths[tm.tm_mon], 3);
            else
                out += padded(tm.tm_mon + 1, n);
            break;
        case 'd':
            out += padded(tm.tm_mday, n);
            break;
        case 'H':
            out += padded(tm.tm_hour, n);
            break;
        case 'h':
            out += padded(tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12, n);
            break;
        case 'm':
            out += padded(tm.tm_min, n);
            break;
        case 's':
            out += padded(tm.tm_sec, n);
            break;
        case 'S':
            out += padded(long(fraction * std::pow(10.0, n)), n);
            break;
        case 'a':
            out += tm.tm_hour < 12 ? "AM" : "PM";
            break;
        case 'E':
            out += n >= 4 ? std::string(kDays[tm.tm_wday]) : std::string(kDays[tm.tm_wday], 3);
            break;
        case 'Z': {
            int a = offset_ < 0 ? -offset_ : offset_;
            out += (offset_ < 0 ? "-" : "+") + padded(a / 3600, 2) + padded(a / 60 % 60, 2);
            break;
        }
        default:
            out += std::string(size_t(n), tok.letter);
            break;
        }
    }
    return out;
}

std::optional<foundation::Date> DateFormatter::dateFromString(std::string_view s) const {
    long year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    int pm = -1;
    long zone = offset_;
    for (const auto& tok : tokenize(format_)) {
        long v = 0;
        switch (tok.letter) {
        case 0:
            if (s.substr(0, tok.text.size()) != tok.text) return std::nullopt;
            s.remove_prefix(tok.text.size());
            break;
        case 'y':
            if (!readNumber(s, tok.count == 2 ? 2 : 9, year)) return std::nullopt;
            if (tok.count == 2) year += year < 70 ? 2000 : 1900;
            break;
        case 'M':
            if (tok.count >= 3) {
                int m = matchName(s, kMonths, 12);
                if (m < 0) return std::nullopt;
                month = m + 1;
            } else if (!readNumber(s, 2, month)) {
                return std::nullopt;
            }
            break;
        case 'E':
            if (matchName(s, kDays, 7) < 0) return std::nullopt;
            break;
        case 'a':
            if (startsWithIgnoringCase(s, "AM"))
                pm = 0;
            else if (startsWithIgnoringCase(s, "PM"))
                pm = 1;
            else
                return std::nullopt;
            s.remove_prefix(2);
            break;
        case 'S': {
            size_t digits = s.size();
            if (!readNumber(s, 9, v)) return std::nullopt;
            digits -= s.size();
            fraction = double(v) / std::pow(10.0, double(digits));
            break;
        }
        case 'Z': {
            if (s.empty() || (s[0] != '+' && s[0] != '-')) return std::nullopt;
            int sign = s[0] == '-' ? -1 : 1;
            s.remove_prefix(1);
            if (!readNumber(s, 4, v)) return std::nullopt;
            zone = sign * (v / 100 * 3600 + v % 100 * 60);
            break;
        }
        case 'd':
        case 'H':
        case 'h':
        case 'm':
        case 's':
            if (!readNumber(s, 2, v)) return std::nullopt;
            (tok.letter == 'd' ? day : tok.letter == 'm' ? minute : tok.letter == 's' ? second : hour) = v;
            break;
        default:
            for (int i = 0; i < tok.count; ++i) {
                if (s.empty() || s[0] != tok.letter) return std::nullopt;
                s.remove_prefix(1);
            }
        }
    }
    if (!s.empty()) return std::nullopt;
    if (pm >= 0) hour = hour % 12 + (pm ? 12 : 0);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    struct tm tm {};
    tm.tm_year = int(year - 1900);
    tm.tm_mon = int(month - 1);
    tm.tm_mday = int(day);
    tm.tm_hour = int(hour);
    tm.tm_min = int(minute);
    tm.tm_sec = int(second);
    time_t t = timegm(&tm);
    if (tm.tm_mday != day) return std::nullopt; // 31 April and the like roll over
    return foundation::Date{double(t - zone) + fraction};
}

} // namespace sqlite
