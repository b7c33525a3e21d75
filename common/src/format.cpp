#include "kv/common/format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace kv {
namespace {

struct Pattern {
    std::string_view prefix;
    int intZeros = 0; // '0' placeholders before the point
    int decimals = 0; // '0' placeholders after the point
    bool scientific = false;
    int expDigits = 0;
    std::string_view suffix;
};

bool isPlaceholder(char c) {
    return c == '#' || c == '0';
}

Pattern parsePattern(std::string_view p) {
    Pattern r;
    size_t i = 0;
    while (i < p.size() && !isPlaceholder(p[i]) && p[i] != '.')
        ++i;
    r.prefix = p.substr(0, i);
    for (; i < p.size() && isPlaceholder(p[i]); ++i)
        if (p[i] == '0') ++r.intZeros;
    if (i < p.size() && p[i] == '.') {
        ++i;
        for (; i < p.size() && isPlaceholder(p[i]); ++i)
            ++r.decimals;
    }
    if (i + 1 < p.size() && (p[i] == 'E' || p[i] == 'e') && (p[i + 1] == '+' || p[i + 1] == '-')) {
        size_t j = i + 2;
        int n = 0;
        while (j < p.size() && p[j] == '0')
            ++j, ++n;
        if (n > 0) {
            r.scientific = true;
            r.expDigits = n;
            i = j;
        }
    }
    r.suffix = p.substr(i);
    return r;
}

// The value as a person reads it: 15 significant digits d0.d1...d14 x 10^exp.
struct Decimal {
    bool negative = false;
    char digits[15] = {};
    int exp = 0;
    std::string_view text() const { return {digits, sizeof digits}; }
};

Decimal toDecimal(double v) {
    Decimal d;
    d.negative = std::signbit(v);
    std::array<char, 64> buf{};
    auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(v), std::chars_format::scientific, 14);
    std::string_view s(buf.data(), static_cast<size_t>(res.ptr - buf.data()));
    size_t e = s.find('e'), n = 0;
    for (size_t i = 0; i < e && n < sizeof d.digits; ++i)
        if (s[i] != '.') d.digits[n++] = s[i];
    std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), d.exp);
    return d;
}

// Adds one to a string of decimal digits; returns true when it grew a digit.
bool incrementDigits(std::string& s) {
    for (size_t i = s.size(); i-- > 0;) {
        if (s[i] == '9') {
            s[i] = '0';
        } else {
            ++s[i];
            return false;
        }
    }
    s.insert(s.begin(), '1');
    return true;
}

bool allZero(std::string_view s) {
    return s.find_first_not_of('0') == std::string_view::npos;
}

std::string formatFixed(double value, const Pattern& p) {
    Decimal d = toDecimal(value);
    // Units of 10^-decimals, as a digit string.
    std::string units;
    const int kept = d.exp + p.decimals + 1; // digits at or above 10^-decimals
    if (value == 0.0 || kept < 0) {
        units.assign(1, '0');
    } else if (kept == 0) {
        units.assign(1, d.digits[0] >= '5' ? '1' : '0');
    } else if (kept >= 15) {
        units = std::string(d.text()) + std::string(static_cast<size_t>(kept - 15), '0');
    } else {
        units = std::string(d.text().substr(0, static_cast<size_t>(kept)));
        if (d.digits[static_cast<size_t>(kept)] >= '5') incrementDigits(units);
    }
    const size_t dec = static_cast<size_t>(p.decimals);
    if (units.size() <= dec) units.insert(0, dec + 1 - units.size(), '0');
    std::string intPart = units.substr(0, units.size() - dec);
    std::string frac = units.substr(units.size() - dec);
    size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? std::string() : intPart.substr(nz);
    if (intPart.size() < static_cast<size_t>(p.intZeros))
        intPart.insert(0, static_cast<size_t>(p.intZeros) - intPart.size(), '0');

    std::string out(p.prefix);
    // A value that rounds to zero shows without a minus sign.
    if (d.negative && !(allZero(intPart) && allZero(frac))) out += '-';
    out += intPart;
    if (dec > 0) {
        out += '.';
        out += frac;
    }
    out += p.suffix;
    return out;
}

// Two decimal digits per entry: the exponent and the mantissa's pairs
// without a division per digit.
constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                          "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                          "8081828384858687888990919293949596979899";

// The value's first dec + 1 significant digits, rounded as appendScientific
// rounds its 15-digit form, straight from the double: the value scaled by an
// exact power of ten is off by far less than 1e-6 of a unit of the last digit
// kept, and so is the 15-digit form, so where the scaled value lies farther
// than that from a half (and from the ends of its decade) both round alike.
// False where they might not; the slow road decides then.
bool roundedMantissa(double value, size_t dec, char* mant, int& exp) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr double kMargin = 1e-6;
    if (dec > 8 || !std::isnormal(value)) return false;
    const double ax = std::fabs(value);
    // frexp's exponent and floor, without their library calls: a million values pass here
    const int e2 = static_cast<int>((std::bit_cast<uint64_t>(ax) >> 52) & 0x7ff) - 1022;
    // floor(log10(ax)) is this or one more
    const double log10Low = (e2 - 1) * 0.30102999566398120;
    int e10 = static_cast<int>(log10Low);
    if (log10Low < e10) --e10;
    const int top = static_cast<int>(dec);
    for (int tries = 0; tries < 2; ++tries, ++e10) {
        const int shift = top - e10;
        if (shift > 22 || shift < -22) return false;
        const double m = shift >= 0 ? ax * kPow10[shift] : ax / kPow10[-shift];
        if (m >= kPow10[top + 1]) continue;
        if (!(m - kPow10[top] > kMargin && kPow10[top + 1] - m > kMargin)) return false;
        const auto floored = static_cast<uint64_t>(m); // m < 1e9: exact
        const double whole = static_cast<double>(floored);
        if (std::fabs(m - whole - 0.5) <= kMargin) return false;
        uint64_t q = floored + (m - whole > 0.5 ? 1 : 0);
        exp = e10;
        if (q == static_cast<uint64_t>(kPow10[top + 1])) {
            q /= 10;
            ++exp;
        }
        size_t i = dec + 1;
        for (; i >= 2; i -= 2, q /= 100) {
            mant[i - 1] = kPairs[2 * (q % 100) + 1];
            mant[i - 2] = kPairs[2 * (q % 100)];
        }
        if (i == 1) mant[0] = static_cast<char>('0' + q);
        return true;
    }
    return false;
}

constexpr size_t kMaxMantissa = 40;
constexpr size_t kShortMantissa = 9; // digits; a mantissa of fewer goes the fixed-size road

// The value's scientific text, prefix and suffix not included, from t on;
// returns its end. At most kMaxMantissa + 16 characters.
char* putScientific(char* t, double value, const Pattern& p) {
    const size_t dec = std::min(static_cast<size_t>(p.decimals), kMaxMantissa - 1);
    char mant[kMaxMantissa];
    int exp = 0;
    bool negative = false;
    // Fixed sizes where the mantissa is short: copies of a known size are a
    // few moves, where a variable one is a call of the library's.
    const bool shortMantissa = dec < kShortMantissa;
    if (shortMantissa)
        std::memset(mant, '0', kShortMantissa);
    else
        std::fill(mant, mant + dec + 1, '0');
    if (value != 0.0 && roundedMantissa(value, dec, mant, exp)) {
        negative = std::signbit(value);
    } else if (value != 0.0) {
        const Decimal d = toDecimal(value);
        const char* digits = d.digits;
        exp = d.exp;
        negative = d.negative;
        const size_t n = std::min<size_t>(dec + 1, 15);
        std::copy(digits, digits + n, mant);
        if (n < 15 && digits[n] >= '5') {
            size_t i = n;
            while (i > 0 && mant[i - 1] == '9')
                mant[--i] = '0';
            if (i > 0) {
                ++mant[i - 1];
            } else {
                // 9.99.. rounded up to 10.0..: one more power of ten
                mant[0] = '1';
                ++exp;
            }
        }
    }
    if (negative) *t++ = '-';
    *t++ = mant[0];
    if (dec > 0) {
        *t++ = '.';
        if (shortMantissa) {
            // all kShortMantissa - 1 bytes, of which the first dec are kept
            std::memcpy(t, mant + 1, kShortMantissa - 1);
            t += dec;
        } else {
            t = std::copy(mant + 1, mant + 1 + dec, t);
        }
    }
    *t++ = 'E';
    *t++ = exp < 0 ? '-' : '+';
    const unsigned e = static_cast<unsigned>(std::abs(exp));
    const int n = e < 10 ? 1 : e < 100 ? 2 : 3; // a double's exponent has at most three digits
    for (int pad = p.expDigits - n; pad > 0; --pad)
        *t++ = '0';
    if (n == 3) *t++ = static_cast<char>('0' + e / 100);
    if (n >= 2) *t++ = kPairs[2 * (e % 100)];
    *t++ = kPairs[2 * (e % 100) + 1];
    return t;
}

// Appends the value in the pattern's scientific form. Large files write a
// million of these, so no string is made on the way.
void appendScientific(std::string& out, double value, const Pattern& p) {
    char text[kMaxMantissa + 16];
    char* t = putScientific(text, value, p);
    out += p.prefix;
    out.append(text, static_cast<size_t>(t - text));
    out += p.suffix;
}

// Scans the number grammar of typed input from the start of `s` (no blanks).
// Returns the characters taken, and fills `normalised` with a from_chars form.
size_t scanNumber(std::string_view s, std::string& normalised) {
    size_t i = 0;
    normalised.clear();
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') normalised += '-';
        ++i;
    }
    bool point = false;
    int digits = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            normalised += c;
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
            normalised += c;
        } else {
            break;
        }
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        size_t j = i + 1;
        std::string ex = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            if (s[j] == '-') ex += '-';
            ++j;
        }
        size_t start = j;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9')
            ex += s[j++];
        if (j > start) {
            normalised += ex;
            i = j;
        }
    }
    return i;
}

double convert(const std::string& normalised) {
    double v = 0.0;
    auto [ptr, ec] = std::from_chars(normalised.data(), normalised.data() + normalised.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Beyond the range of a double: huge exponents overflow, tiny ones underflow.
        size_t e = normalised.find('e');
        bool tiny = e != std::string::npos && normalised.size() > e + 1 && normalised[e + 1] == '-';
        bool neg = !normalised.empty() && normalised[0] == '-';
        if (tiny) return neg ? -0.0 : 0.0;
        return neg ? -HUGE_VAL : HUGE_VAL;
    }
    (void)ptr;
    return v;
}

} // namespace

std::string format(double value, std::string_view pattern) {
    std::string out;
    formatTo(out, value, pattern);
    return out;
}

namespace {
void formatParsed(std::string& out, double value, const Pattern& p) {
    if (!std::isfinite(value)) {
        out += p.prefix;
        out += plainDecimal(value);
        out += p.suffix;
    } else if (p.scientific) {
        appendScientific(out, value, p);
    } else {
        out += formatFixed(value, p);
    }
}
} // namespace

void formatTo(std::string& out, double value, std::string_view pattern) {
    formatParsed(out, value, parsePattern(pattern));
}

NumberPattern::NumberPattern(std::string_view pattern) : text_(pattern) {
    const Pattern p = parsePattern(text_);
    prefixBytes_ = p.prefix.size();
    suffixAt_ = static_cast<size_t>(p.suffix.data() - text_.data());
    intZeros_ = p.intZeros;
    decimals_ = p.decimals;
    expDigits_ = p.expDigits;
    scientific_ = p.scientific;
}

void NumberPattern::appendTo(std::string& out, double value) const {
    const std::string_view t(text_);
    formatParsed(
        out, value,
        {t.substr(0, prefixBytes_), intZeros_, decimals_, scientific_, expDigits_, t.substr(suffixAt_)});
}

void NumberPattern::appendRow(std::string& out, const double* values, size_t count, char separator) const {
    const std::string_view t(text_);
    const Pattern p{t.substr(0, prefixBytes_), intZeros_, decimals_, scientific_, expDigits_,
                    t.substr(suffixAt_)};
    bool finite = true;
    for (size_t i = 0; i < count; ++i)
        finite &= std::isfinite(values[i]);
    if (!scientific_ || !finite) {
        for (size_t i = 0; i < count; ++i) {
            if (i > 0) out += separator;
            formatParsed(out, values[i], p);
        }
        return;
    }
    // Written into a buffer of this frame, a stretch at a time, and appended
    // once per stretch: room made in the string itself would be zeroed first.
    const size_t most = 1 + p.prefix.size() + p.suffix.size() + kMaxMantissa + 16;
    char buffer[8192];
    const size_t perStretch = std::max<size_t>(1, sizeof buffer / most);
    for (size_t first = 0; first < count; first += perStretch) {
        char* w = buffer;
        if (most > sizeof buffer) {
            // a pattern of kilobytes: one value at a time
            if (first > 0) out += separator;
            appendScientific(out, values[first], p);
            continue;
        }
        for (size_t i = first; i < std::min(count, first + perStretch); ++i) {
            if (i > 0) *w++ = separator;
            w = std::copy(p.prefix.begin(), p.prefix.end(), w);
            w = putScientific(w, values[i], p);
            w = std::copy(p.suffix.begin(), p.suffix.end(), w);
        }
        out.append(buffer, static_cast<size_t>(w - buffer));
    }
}

std::string plainDecimal(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    if (value == 0.0) return "0";
    std::array<char, 64> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 15);
    std::string s(buf.data(), res.ptr);
    for (char& c : s)
        if (c == 'e') c = 'E';
    return s;
}

double parseNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string normalised;
    if (scanNumber(text.substr(i), normalised) == 0) return 0.0;
    return convert(normalised);
}

bool parseNumberStrict(std::string_view text, double& out) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    // Fast path: most fields are plain numbers that from_chars takes whole.
    const char* b = text.data();
    const char* e = b + text.size();
    const char* f = (b != e && *b == '-') ? b + 1 : b; // from_chars would take "inf" and "nan"
    if (f != e && ((*f >= '0' && *f <= '9') || *f == '.')) {
        if (parsePlainDecimal(b, e, out) == e) return true;
        auto [ptr, ec] = std::from_chars(b, e, out);
        if (ec == std::errc() && ptr == e) return true;
    }
    std::string normalised;
    size_t n = scanNumber(text, normalised);
    if (n == 0 || n != text.size()) return false;
    out = convert(normalised);
    return true;
}

const char* parsePlainDecimal(const char* p, const char* e, double& out) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    bool negative = p != e && *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    int significant = 0, digits = 0, exp10 = 0;
    for (; p != e && *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (mantissa == 0 && *p == '0') continue;
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        ++significant;
    }
    if (p != e && *p == '.') {
        for (++p; p != e && *p >= '0' && *p <= '9'; ++p, ++digits, --exp10) {
            if (mantissa == 0 && *p == '0') continue;
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
            ++significant;
        }
    }
    if (digits == 0 || significant > 15) return nullptr;
    if (p != e && (*p == 'E' || *p == 'e')) {
        ++p;
        bool expNegative = p != e && *p == '-';
        if (p != e && (*p == '-' || *p == '+')) ++p;
        if (p == e || *p < '0' || *p > '9') return nullptr;
        int x = 0;
        for (; p != e && *p >= '0' && *p <= '9'; ++p)
            if ((x = x * 10 + (*p - '0')) > 1000) return nullptr;
        exp10 += expNegative ? -x : x;
    }
    double v = static_cast<double>(mantissa); // exact: at most 15 digits
    if (mantissa != 0) {
        if (exp10 < -22 || exp10 > 22) return nullptr;
        v = exp10 < 0 ? v / kPow10[-exp10] : v * kPow10[exp10];
    }
    out = negative ? -v : v;
    return p;
}

} // namespace kv
