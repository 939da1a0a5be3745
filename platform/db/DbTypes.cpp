#include "DbTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

const char* fieldTypeName(TFieldType type) {
    switch (type) {
    case TFieldType::ftString: return "string";
    case TFieldType::ftInteger: return "integer";
    case TFieldType::ftFloat: return "float";
    case TFieldType::ftBoolean: return "boolean";
    case TFieldType::ftDateTime: return "datetime";
    }
    return "unknown";
}

// Counting lead bytes (everything except 10xxxxxx continuation bytes) gives the number of
// code points of valid UTF-8; on invalid input every stray byte counts as one character.
// Eight bytes at a time: a byte is a continuation byte when its top bit is set and the one below
// it is not; the marks are summed per byte lane and the lanes added up at the end of a round.
// Long texts (an item's note runs to thousands of bytes) pass here for every packet written.
std::size_t utf8Length(std::string_view text) {
    constexpr std::uint64_t kTopBits = 0x8080808080808080ull;
    const char* p = text.data();
    std::size_t left = text.size();
    std::size_t continuations = 0;
    while (left >= 8) {
        // Up to 255 words per round, so that the per-byte sums cannot overflow a byte.
        std::uint64_t sums = 0;
        for (int round = 0; round < 255 && left >= 8; ++round, p += 8, left -= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            sums += ((word & ~(word << 1)) & kTopBits) >> 7;
        }
        // Byte lanes (at most 255 each) into 16-bit lanes, then the four of those together.
        constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
        const std::uint64_t pairs = (sums & kLowBytes) + ((sums >> 8) & kLowBytes);
        continuations += static_cast<std::size_t>((pairs * 0x0001000100010001ull) >> 48);
    }
    for (; left > 0; ++p, --left) continuations += (static_cast<unsigned char>(*p) & 0xC0) == 0x80;
    return text.size() - continuations;
}

void utf8Truncate(std::string& text, std::size_t chars) {
    if (text.size() <= chars) return;       // fewer bytes than the limit: fewer characters too
    if (utf8Length(text) <= chars) return;  // more bytes than characters, but no more characters
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (seen == chars) {
            text.resize(i);
            return;
        }
        ++seen;
    }
}

bool sameNameOfSameLength(QStringView a, QStringView b) {
    // Plain ASCII on both sides, the usual case, folds A-Z alone; at the first other character
    // Qt's comparison decides, which folds every script (and the Kelvin sign onto k).
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x == y) continue;
        if ((x | y) >= 0x80) return a.compare(b, Qt::CaseInsensitive) == 0;
        const char16_t lowerX = x >= 'A' && x <= 'Z' ? static_cast<char16_t>(x + ('a' - 'A')) : x;
        const char16_t lowerY = y >= 'A' && y <= 'Z' ? static_cast<char16_t>(y + ('a' - 'A')) : y;
        if (lowerX != lowerY) return false;
    }
    return true;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's days_from_civil
// and civil_from_days). std::chrono's calendar stops at the years -32767 and 32767, while a
// stored value may be any 64-bit count, which these cover.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

constexpr std::int64_t kFirstJsonMs = daysFromCivil(1, 1, 1) * kMsPerDay;
constexpr std::int64_t kEndJsonMs = daysFromCivil(10000, 1, 1) * kMsPerDay;

bool digits(std::string_view text, std::size_t pos, std::size_t count, unsigned& out) {
    if (pos + count > text.size()) return false;
    out = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        out = out * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

// Writes the text into buffer (at least 40 bytes) and answers its length.
int formatDateTime(TDateTimeValue value, char separator, char* buffer) {
    std::int64_t days = value.msecs / kMsPerDay;
    std::int64_t rest = value.msecs % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --days;
    }
    std::int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    const int ms = static_cast<int>(rest % 1000);
    const int s = static_cast<int>(rest / 1000 % 60);
    const int mi = static_cast<int>(rest / 60000 % 60);
    const int h = static_cast<int>(rest / 3600000);
    int n = std::snprintf(buffer, 40, "%04lld-%02u-%02u%c%02d:%02d:%02d", static_cast<long long>(y), m, d, separator, h,
                          mi, s);
    if (ms != 0) n += std::snprintf(buffer + n, 40 - static_cast<std::size_t>(n), ".%03d", ms);
    return n;
}

}  // namespace

bool parseDateTimeText(std::string_view text, TDateTimeValue& out) {
    text = trimBlanks(text);
    unsigned year, month, day, hour = 0, minute = 0, second = 0, millis = 0;
    if (text.size() < 10 || !digits(text, 0, 4, year) || text[4] != '-' || !digits(text, 5, 2, month) ||
        text[7] != '-' || !digits(text, 8, 2, day))
        return false;
    if (month < 1 || month > 12 || day < 1) return false;
    static const unsigned monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > monthDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
    std::size_t pos = 10;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T') return false;
        if (!digits(text, pos + 1, 2, hour) || pos + 3 >= text.size() || text[pos + 3] != ':' ||
            !digits(text, pos + 4, 2, minute))
            return false;
        pos += 6;
        if (pos < text.size() && text[pos] == ':') {
            if (!digits(text, pos + 1, 2, second)) return false;
            pos += 3;
            if (pos < text.size() && text[pos] == '.') {
                ++pos;
                unsigned scale = 100;
                const std::size_t start = pos;
                while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
                    millis += scale * static_cast<unsigned>(text[pos] - '0');
                    scale /= 10;
                    ++pos;
                }
                if (pos == start) return false;
            }
        }
        if (pos != text.size()) return false;
        if (hour > 23 || minute > 59 || second > 59) return false;
    }
    const std::int64_t days = daysFromCivil(year, month, day);
    out.msecs = ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000 + millis;
    return true;
}

QString formatDateTimeText(TDateTimeValue value, char separator) {
    char buffer[40];
    return QString::fromLatin1(buffer, formatDateTime(value, separator, buffer));
}

std::optional<std::string> dateTimeToText(TDateTimeValue value) {
    if (value.msecs < kFirstJsonMs || value.msecs >= kEndJsonMs) return std::nullopt;
    char buffer[40];
    return std::string(buffer, static_cast<std::size_t>(formatDateTime(value, 'T', buffer)));
}

std::optional<TDateTimeValue> dateTimeFromText(std::string_view text) {
    // The lenient reader, held to the one spelling: 'T', seconds, three fraction digits or none,
    // no blanks, and no year 0.
    constexpr std::string_view kShape = "0000-00-00T00:00:00.000";
    if (text.size() != 19 && text.size() != 23) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool fits = kShape[i] == '0' ? text[i] >= '0' && text[i] <= '9' : text[i] == kShape[i];
        if (!fits) return std::nullopt;
    }
    TDateTimeValue value;
    if (text.starts_with("0000") || !parseDateTimeText(text, value)) return std::nullopt;
    return value;
}
