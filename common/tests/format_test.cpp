#include "kv/common/format.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

struct Case {
    double value;
    const char* pattern;
    const char* expected;
};

class FormatTest : public ::testing::TestWithParam<Case> {};

TEST_P(FormatTest, ShowsValueThroughPattern) {
    const Case& c = GetParam();
    EXPECT_EQ(kv::format(c.value, c.pattern), c.expected) << c.value << " with \"" << c.pattern << "\"";
}

const Case kCases[] = {
    // fixed point, padding and '#'
    {7.25, "000.0", "007.3"},
    {7.25, "#0.0", "7.3"},
    {0.5, "##0.00", "0.50"},
    {0.0, "#0", "0"},
    {0.5, "#0", "1"},
    {1.5, "#0", "2"},
    {2.5, "#0", "3"},
    {-0.5, "#0", "-1"},
    {9.96, "00.0", "10.0"},
    {99.96, "00.0", "100.0"},
    {0.0, "0.0", "0.0"},
    {0.0, "0.000", "0.000"},
    {12.3456, " 0.000", " 12.346"},
    {5.0, "00.0", "05.0"},
    {5.0, " #00.0", " 05.0"},
    {-5.0, " #00.0", " -05.0"},
    {65.0, "000.0", "065.0"},
    {1234.56, "0000.0", "1234.6"},
    {12345.0, "0000.0", "12345.0"},
    {0.04, "0.0", "0.0"},
    {0.05, "0.0", "0.1"},
    {-0.04, "0.0", "0.0"},
    // halves as a person reads them, not as the binary double holds them
    {2.675, "0.00", "2.68"},
    {10.25, "00.0", "10.3"},
    {1.005, "0.00", "1.01"},
    {0.125, "0.00", "0.13"},
    {-2.675, "0.00", "-2.68"},
    // prefixes, suffixes and the sign after the prefix
    {-2.5, " #0.0", " -2.5"},
    {5.0, " #0.0", " 5.0"},
    {-1.0, " #0.0 deg", " -1.0 deg"},
    {30.0, " 00.0 kV", " 30.0 kV"},
    {0.025, " #0.000 mm", " 0.025 mm"},
    {0.03, " #0.00 mm", " 0.03 mm"},
    {60.0, " ##0.0 cm", " 60.0 cm"},
    {12.0, " ##0.00", " 12.00"},
    {100.0, " ##0.00", " 100.00"},
    // scientific
    {1234567.0, "0.00E+00", "1.23E+06"},
    {0.00042, "0.00E+00", "4.20E-04"},
    {1e9, "0.0E+00", "1.0E+09"},
    {9.96e8, "0.0E+00", "1.0E+09"},
    {0.0, "0.000E+00", "0.000E+00"},
    {0.0, "0.0E+00", "0.0E+00"},
    {1.23456e-5, "0.000E+00", "1.235E-05"},
    {1.2345e-5, "0.000E+00", "1.235E-05"},
    {123456.0, "0.0E+00", "1.2E+05"},
    {1e8, "0.00E+00", "1.00E+08"},
    {-3.5e-7, "0.00E+00", "-3.50E-07"},
    {1.5e200, "0.0E+00", "1.5E+200"},
    {2.5e-300, "0.0E+00", "2.5E-300"},
    {9.9999e-1, "0.000E+00", "1.000E+00"},
    {1.0, "0.000E+00", "1.000E+00"},
    // the result files' pattern: carries, halves of the 15-digit form, the extremes
    {9.99995, "0.0000E+00", "1.0000E+01"},
    {-9.99995e-3, "0.0000E+00", "-1.0000E-02"},
    {1.00005, "0.0000E+00", "1.0001E+00"},
    {1.000049999, "0.0000E+00", "1.0000E+00"},
    {-0.0, "0.0000E+00", "0.0000E+00"},
    {4.9406564584124654e-324, "0.0000E+00", "4.9407E-324"},
    {1.7976931348623157e308, "0.0000E+00", "1.7977E+308"},
    {0.1, "0.0000000000000000E+00", "1.0000000000000000E-01"},
    {2.5e-3, " 0.0E+0 s", " 2.5E-3 s"},
};

INSTANTIATE_TEST_SUITE_P(Patterns, FormatTest, ::testing::ValuesIn(kCases));

TEST(FormatTo, AppendsWhatFormatGives) {
    std::string out = "x,", once = "x,";
    for (const Case& c : kCases) {
        kv::formatTo(out, c.value, c.pattern);
        kv::NumberPattern(c.pattern).appendTo(once, c.value);
    }
    std::string expected = "x,";
    for (const Case& c : kCases)
        expected += c.expected;
    EXPECT_EQ(out, expected);
    EXPECT_EQ(once, expected) << "a pattern read once";
}

// The rule written out a second way: the 15-digit form from printf, then
// halves away from zero at the last digit kept.
std::string scientificByPrintf(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
    std::string digits;
    const char* e = std::strchr(buf, 'e');
    for (const char* c = buf; c < e; ++c)
        if (*c != '.') digits += *c;
    int exp = std::atoi(e + 1);
    std::string mant = digits.substr(0, static_cast<size_t>(decimals) + 1);
    if (digits[mant.size()] >= '5') {
        size_t i = mant.size();
        while (i > 0 && mant[i - 1] == '9')
            mant[--i] = '0';
        if (i > 0)
            ++mant[i - 1];
        else
            mant[0] = '1', ++exp;
    }
    char out[64];
    std::snprintf(out, sizeof out, "%s%c%s%sE%c%02d", std::signbit(v) ? "-" : "", mant[0],
                  decimals > 0 ? "." : "", mant.c_str() + 1, exp < 0 ? '-' : '+', std::abs(exp));
    return out;
}

// Random values, and values a few ulps from the halves where the roads part.
TEST(FormatScientific, AgreesWithTheFifteenDigitRuleEverywhere) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-40, 40), decimals(0, 12), ulps(-4, 4);
    for (int i = 0; i < 200000; ++i) {
        const int dec = decimals(rng);
        double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        if (i % 2) {
            // a half at the last digit kept, then nudged
            const double unit = std::pow(10.0, exponent(rng) - dec);
            const long long first = std::llround(std::pow(10.0, dec));
            std::uniform_int_distribution<long long> kept(first, 10 * first - 1);
            v = (static_cast<double>(kept(rng)) + 0.5) * unit;
            for (int k = ulps(rng); k != 0; k += k > 0 ? -1 : 1)
                v = std::nextafter(v, k > 0 ? HUGE_VAL : 0.0);
        }
        if (i % 3 == 0) v = -v;
        const std::string pattern = "0." + std::string(static_cast<size_t>(dec), '0') + "E+00";
        ASSERT_EQ(kv::format(v, pattern), scientificByPrintf(v, dec)) << v << " with " << pattern;
        std::string once;
        kv::NumberPattern(pattern).appendTo(once, v);
        ASSERT_EQ(once, scientificByPrintf(v, dec)) << v << " with " << pattern << " read once";
    }
}

// A row is its values' texts joined: in every pattern, with the values that
// leave the fast road (zero, subnormal, the largest, not finite) among them.
TEST(NumberPatternRow, JoinsWhatAppendToGives) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-310, 308);
    const char* patterns[] = {"0.0000E+00", "0.00E+000", "0E+0", "x 0.0000000000E+00 y", "0.000", "#0.0 deg"};
    const double special[] = {0.0,
                              -0.0,
                              4.9e-324,
                              2.2250738585072014e-308,
                              1.7976931348623157e308,
                              9.99995e-5,
                              -9.99995,
                              1e100,
                              HUGE_VAL,
                              -HUGE_VAL,
                              std::nan("")};
    for (const char* text : patterns) {
        SCOPED_TRACE(text);
        const kv::NumberPattern pattern(text);
        for (bool withSpecial : {false, true}) {
            std::vector<double> row;
            for (int i = 0; i < 75; ++i)
                row.push_back((i % 2 ? -1 : 1) * mantissa(rng) * std::pow(10.0, exponent(rng)));
            if (withSpecial) std::copy(std::begin(special), std::end(special), row.begin() + 3);
            std::string expected = "head;", joined = "head;";
            for (size_t i = 0; i < row.size(); ++i) {
                if (i > 0) expected += ',';
                pattern.appendTo(expected, row[i]);
            }
            pattern.appendRow(joined, row.data(), row.size(), ',');
            EXPECT_EQ(joined, expected);
        }
        std::string empty = "x";
        pattern.appendRow(empty, nullptr, 0, ',');
        EXPECT_EQ(empty, "x");
    }
}

TEST(PlainDecimal, ShortestFormUpToFifteenDigits) {
    const std::pair<double, const char*> cases[] = {
        {12.0, "12"},
        {7.5, "7.5"},
        {-2.0, "-2"},
        {0.0, "0"},
        {-0.0, "0"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.333333333333333"},
        {100000000.0, "100000000"},
        {15.0, "15"},
        {0.025, "0.025"},
        {1e20, "1E+20"},
    };
    for (auto [v, s] : cases)
        EXPECT_EQ(kv::plainDecimal(v), s) << v;
}

TEST(ParseNumber, LenientRule) {
    const std::pair<const char*, double> cases[] = {
        {"12abc", 12.0}, {"  3.5e1", 35.0}, {"1D2", 100.0},      {"1d-2", 0.01},  {"-.5", -0.5},
        {"abc", 0.0},    {"", 0.0},         {"   ", 0.0},        {"+7", 7.0},     {"4.26", 4.26},
        {"1.2.3", 1.2},  {"5e", 5.0},       {"5e+", 5.0},        {"-", 0.0},      {".", 0.0},
        {"1,5", 1.0},    {"\t8", 8.0},      {"1e400", HUGE_VAL}, {"1e-400", 0.0}, {"007", 7.0},
        {"10.", 10.0},
    };
    for (auto [t, v] : cases)
        EXPECT_EQ(kv::parseNumber(t), v) << '"' << t << '"';
}

TEST(ParseNumber, StrictFormRejectsTrailingText) {
    double v = 0;
    EXPECT_TRUE(kv::parseNumberStrict("1.5E-03", v));
    EXPECT_DOUBLE_EQ(v, 1.5e-3);
    EXPECT_TRUE(kv::parseNumberStrict(" 2D1 ", v));
    EXPECT_DOUBLE_EQ(v, 20.0);
    for (const char* bad : {"12abc", "abc", "inf", "-nan", "1e", "--1", ""})
        EXPECT_FALSE(kv::parseNumberStrict(bad, v)) << bad;
}

TEST(ParseNumber, IgnoresTheCLocale) {
    // Qt sets the C locale from the environment; a comma locale must not change parsing.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_EQ(kv::parseNumber("3.25"), 3.25);
        EXPECT_EQ(kv::format(3.25, "0.00"), "3.25");
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// The fast road must give from_chars' value bit for bit, or step aside.
TEST(ParseNumber, PlainDecimalsMatchTheGeneralConversion) {
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "65",
                                      "7.5",
                                      "-2.5",
                                      "1.23456E-04",
                                      "1e22",
                                      "1e-22",
                                      "9e-23",
                                      "1.5E+23",
                                      ".5",
                                      "10.",
                                      "0.000",
                                      "123456789012345",
                                      "1234567890123456",
                                      "0.1000000000000000001",
                                      "4.9406564584124654E-324",
                                      "1.7976931348623157E+308",
                                      "00012.5e-1"};
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30), digits(1, 17);
    char buf[64];
    for (int i = 0; i < 20000; ++i) {
        std::snprintf(buf, sizeof buf, "%.*E", digits(rng) - 1,
                      mantissa(rng) * std::pow(10.0, exponent(rng)));
        texts.push_back(buf);
    }
    for (const std::string& t : texts) {
        double fast = -1, general = -2;
        const char* end = kv::parsePlainDecimal(t.data(), t.data() + t.size(), fast);
        auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), general);
        ASSERT_EQ(ec, std::errc()) << t;
        if (end == nullptr) continue; // left to the general road
        EXPECT_EQ(end, ptr) << t;
        EXPECT_EQ(std::memcmp(&fast, &general, sizeof fast), 0) << t << ": " << fast << " vs " << general;
    }
    double v = 0;
    for (const char* notPlain : {"", "-", ".", "+7", "abc", "1e", "1e+", "e5", "\"1\""})
        EXPECT_EQ(kv::parsePlainDecimal(notPlain, notPlain + std::strlen(notPlain), v), nullptr) << notPlain;
    const char* stop = "12.5abc";
    EXPECT_EQ(kv::parsePlainDecimal(stop, stop + 7, v), stop + 4);
    EXPECT_EQ(v, 12.5);
}

} // namespace
