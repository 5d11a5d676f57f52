#include "packet/TextNumber.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

bool IsBlank(QChar c) {
    // The white space of the C locale.
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Skips leading blanks and one sign; the index of what follows.
qsizetype SkipBlanksAndSign(const CString& s, bool* negative) {
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && IsBlank(s[i]))
        ++i;
    *negative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        *negative = s[i] == u'-';
        ++i;
    }
    return i;
}

}  // namespace

int WideToLong(const CString& s) {
    const qsizetype n = s.size();
    bool negative = false;
    qsizetype i = SkipBlanksAndSign(s, &negative);
    // Past 2^31 the value can only saturate, so the magnitude stops growing.
    constexpr std::int64_t kCap = std::int64_t{INT_MAX} + 1;
    std::int64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t u = s[i].unicode();
        if (u < u'0' || u > u'9')
            break;
        if (magnitude <= kCap)
            magnitude = magnitude * 10 + (u - u'0');
    }
    if (negative)
        return magnitude >= kCap ? INT_MIN : static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

double WideToDouble(const CString& s) {
    const qsizetype n = s.size();
    bool negative = false;
    qsizetype i = SkipBlanksAndSign(s, &negative);
    // A number is written in ASCII; the first other character ends it.
    std::string ascii;
    for (; i < n && s[i].unicode() < 0x80; ++i)
        ascii.push_back(static_cast<char>(s[i].unicode()));
    // A second sign is not part of the number ("+-1" reads as 0).
    if (!ascii.empty() && (ascii[0] == '+' || ascii[0] == '-'))
        return 0.0;

    const char* begin = ascii.data();
    const char* end = begin + ascii.size();
    std::chars_format format = std::chars_format::general;
    char exponentMark = 'e';
    if (ascii.size() > 2 && ascii[0] == '0' && (ascii[1] == 'x' || ascii[1] == 'X') &&
        (IsHexDigit(ascii[2]) || (ascii[2] == '.' && ascii.size() > 3 && IsHexDigit(ascii[3])))) {
        begin += 2;
        format = std::chars_format::hex;
        exponentMark = 'p';
    }
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(begin, end, value, format);
    if (r.ec == std::errc::invalid_argument)
        return 0.0;
    if (r.ec == std::errc::result_out_of_range) {
        // Too large gives infinity (HUGE_VAL), too small gives 0, as wcstod.
        bool tiny = false;
        for (const char* p = begin; p + 1 < r.ptr; ++p) {
            if ((*p == exponentMark || *p == exponentMark - 32) && p[1] == '-')
                tiny = true;
        }
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}
