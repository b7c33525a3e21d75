#pragma once
// Number patterns: how every number is shown on a screen or written to a file.
#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// Formats `value` with a display pattern such as "000.0", " #0.0 deg" or "0.00E+00".
// Halves round away from zero on the value as a person reads it (its
// 15-significant-digit decimal form), so 2.675 shows as "2.68" with "0.00".
std::string format(double value, std::string_view pattern);
// The same text appended to `out`, for writers of many numbers.
void formatTo(std::string& out, double value, std::string_view pattern);

// A pattern read once, for writers of a million numbers in it: appendTo
// gives formatTo's text.
class NumberPattern {
  public:
    explicit NumberPattern(std::string_view pattern);
    void appendTo(std::string& out, double value) const;
    // count values joined by the separator, each appendTo's text.
    void appendRow(std::string& out, const double* values, size_t count, char separator) const;

  private:
    std::string text_;
    size_t prefixBytes_ = 0, suffixAt_ = 0;
    int intZeros_ = 0, decimals_ = 0, expDigits_ = 0;
    bool scientific_ = false;
};

// The plain decimal form joined to texts: up to 15 significant digits, no
// trailing zeros, nothing added (12, 7.5, -2).
std::string plainDecimal(double value);

// Lenient reading of a typed number: leading blanks skipped, then sign, digits
// with at most one point, optional exponent (E or D); the rest is ignored and
// text without a leading number gives 0. Independent of the C locale.
double parseNumber(std::string_view text);

// Strict form used by the record reader: the whole text must be a number in
// the same grammar. Returns false when it is not.
bool parseNumberStrict(std::string_view text, double& out);

// The fast exact road for the plain decimals that fill large files
// ("1.23456E-04", "65", "-0.5"): at most 15 significant digits and a power of
// ten within 1e22, where one multiplication or division of exact doubles is
// correctly rounded (the same value from_chars gives). Reads from p and
// returns the end of the number; nullptr when the text starts with no such
// number, and then only parseNumberStrict decides.
const char* parsePlainDecimal(const char* p, const char* e, double& out);

} // namespace kv
