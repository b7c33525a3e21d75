#include "kv/common/typed_number.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace {

using kv::NumberRange;
using kv::readTypedNumber;
using Fault = kv::TypedNumberFault;

TEST(TypedNumber, ReadsWhatTheTextSpells) {
    const struct {
        const char* row;
        const char* typed;
        double value;
        const char* text;
    } cases[] = {
        {"plain", "4.5", 4.5, "4.5"},
        {"blanks trimmed", "  28 \t", 28, "28"},
        {"exponent", "1E9", 1e9, "1E9"},
        {"Fortran exponent", "1D-2", 0.01, "1D-2"},
        {"leading point", ".5", 0.5, ".5"},
        {"trailing point", "10.", 10, "10."},
        {"plus sign", "+7", 7, "+7"},
        {"negative", "-2.5", -2.5, "-2.5"},
        {"full-width digits and point", "\uFF15\uFF0E\uFF12", 5.2, "5.2"},
        {"ideographic full stop", "\uFF14\u3002\uFF15", 4.5, "4.5"},
        {"full-width minus", "\uFF0D\uFF12", -2, "-2"},
        {"minus sign", "\u22121.5", -1.5, "-1.5"},
        {"full-width plus", "\uFF0B\uFF13", 3, "+3"},
        {"ideographic blanks trimmed", "\u3000\uFF16\u3000", 6, "6"},
        {"full-width exponent", "\uFF11\uFF25\uFF19", 1e9, "1E9"},
        {"underflow is zero", "1e-400", 0, "1e-400"},
    };
    for (const auto& c : cases) {
        const kv::TypedNumber n = readTypedNumber(c.typed);
        EXPECT_TRUE(n.ok()) << c.row;
        EXPECT_DOUBLE_EQ(n.value, c.value) << c.row;
        EXPECT_EQ(n.text, c.text) << c.row;
    }
}

TEST(TypedNumber, RefusesWhatIsNotEntirelyANumber) {
    const struct {
        const char* row;
        std::string typed;
        Fault fault;
    } cases[] = {
        {"empty", "", Fault::Empty},
        {"blanks only", "   ", Fault::Empty},
        {"ideographic blank only", "\u3000", Fault::Empty},
        {"word", "abc", Fault::NotANumber},
        {"sign alone", "-", Fault::NotANumber},
        {"point alone", ".", Fault::NotANumber},
        {"letters before digits", "x5", Fault::NotANumber},
        {"text after the number", "4.5abc", Fault::TrailingText},
        {"unit typed", "12 cm", Fault::TrailingText},
        {"two points", "1.2.3", Fault::TrailingText},
        {"exponent without digits", "5e", Fault::TrailingText},
        {"NUL inside",
         std::string("4\0"
                     "5",
                     3),
         Fault::TrailingText},
        {"bytes that are not UTF-8", "4\xff", Fault::TrailingText},
        {"an overlong \"1\" (C0 B1)", "\xc0\xb1", Fault::NotANumber},
        {"an overlong \"5\" after a digit", "4\xc0\xb5", Fault::TrailingText},
        {"a surrogate's bytes", "4\xed\xa0\x80", Fault::TrailingText},
        {"decimal comma", "7,5", Fault::DecimalComma},
        {"decimal comma before digits", "0,8", Fault::DecimalComma},
        {"full-width decimal comma", "\uFF17\uFF0C\uFF15", Fault::DecimalComma},
        {"thousands by commas", "1,000,000", Fault::ThousandsSeparator},
        {"one thousands comma", "1,000", Fault::ThousandsSeparator},
        {"thousands with decimals", "12,345.5", Fault::ThousandsSeparator},
        {"thousands by blanks", "1 000 000", Fault::ThousandsSeparator},
        {"thousands by apostrophes", "1'000", Fault::ThousandsSeparator},
        {"thousands by thin spaces", "1\u2009000", Fault::ThousandsSeparator},
        {"thousands by points", "1.000.000", Fault::ThousandsSeparator},
        {"nan", "nan", Fault::NotFinite},
        {"NaN with sign", "-NaN", Fault::NotFinite},
        {"inf", "inf", Fault::NotFinite},
        {"Infinity", "+Infinity", Fault::NotFinite},
        {"overflow", "1e999", Fault::NotFinite},
        {"hexadecimal", "0x10", Fault::TrailingText},
    };
    for (const auto& c : cases) {
        const kv::TypedNumber n = readTypedNumber(c.typed);
        EXPECT_EQ(n.fault, c.fault) << c.row;
        EXPECT_FALSE(n.ok()) << c.row;
        EXPECT_TRUE(n.text.empty()) << c.row;
    }
}

TEST(TypedNumber, ChecksTheRangeAtBothEnds) {
    const NumberRange voltage{15, 50};
    const NumberRange thickness{0, 6, true};
    const struct {
        const char* row;
        const char* typed;
        NumberRange range;
        bool ok;
    } cases[] = {
        {"lowest voltage", "15", voltage, true},
        {"highest voltage", "50", voltage, true},
        {"just above", "50.1", voltage, false},
        {"just below", "14.99", voltage, false},
        {"zero thickness", "0", thickness, false},
        {"thin phantom", "0.1", thickness, true},
        {"6 cm", "6", thickness, true},
        {"negative", "-1", thickness, false},
    };
    for (const auto& c : cases) {
        const kv::TypedNumber n = readTypedNumber(c.typed, c.range);
        EXPECT_EQ(n.fault, c.ok ? Fault::None : Fault::OutOfRange) << c.row;
    }
}

TEST(TypedNumber, CountsAreWholeNumbers) {
    const NumberRange count{1, 1e11, false, true};
    const struct {
        const char* row;
        const char* typed;
        Fault fault;
    } cases[] = {
        {"whole", "1000000", Fault::None},
        {"exponent that is whole", "2.5E6", Fault::None},
        {"a fraction", "1.5", Fault::NotWhole},
        {"above ten with a fraction", "10.5", Fault::NotWhole},
        {"below the range wins", "0.5", Fault::OutOfRange},
        {"a plain decimal point", "12.", Fault::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readTypedNumber(c.typed, count).fault, c.fault) << c.row;
    // Where no count is wanted a fraction stays a number.
    EXPECT_TRUE(readTypedNumber("1.5", NumberRange{1, 10}).ok());
    const std::string m = kv::typedNumberMessage(readTypedNumber("1.5", count), "Number of history", "",
                                                 kv::texts::englishTypedNumberTexts);
    EXPECT_EQ(m, "Number of history: \"1.5\" is not a whole number.");
}

TEST(TypedNumber, MessageNamesFieldTextAndWhatToType) {
    const auto& en = kv::texts::englishTypedNumberTexts;
    const std::string comma = kv::typedNumberMessage(readTypedNumber(" 7,5 "), "Tube voltage", "kV", en);
    EXPECT_NE(comma.find("Tube voltage"), std::string::npos) << comma;
    EXPECT_NE(comma.find("\"7,5\""), std::string::npos) << comma;
    EXPECT_NE(comma.find(en.hint.view()), std::string::npos) << comma;

    const std::string range =
        kv::typedNumberMessage(readTypedNumber("60", NumberRange{15, 50}), "Tube voltage", "kV", en);
    EXPECT_NE(range.find("15 to 50 kV"), std::string::npos) << range;
    EXPECT_EQ(range.find(en.hint.view()), std::string::npos) << range;

    const auto& ja = kv::texts::japaneseTypedNumberTexts;
    const std::string empty = kv::typedNumberMessage(readTypedNumber(""), "管電圧", "", ja);
    EXPECT_EQ(empty.rfind("管電圧", 0), 0u) << empty;

    EXPECT_TRUE(kv::typedNumberMessage(readTypedNumber("5"), "X", "", en).empty());
}

// A range open at one end names only the end it has: never "0 to Inf mGy".
TEST(TypedNumber, OpenRangeNamesItsOneEnd) {
    const struct {
        const char* row;
        const char* typed;
        NumberRange range;
        kv::texts::Edition edition;
        const char* message;
    } cases[] = {
        {"air kerma below 0", "-1", NumberRange{0, HUGE_VAL}, kv::texts::Edition::English,
         "Ka: \"-1\" must be at least 0 mGy."},
        {"zero refused", "0", NumberRange{0, HUGE_VAL, true}, kv::texts::Edition::English,
         "Ka: \"0\" must be more than 0 mGy."},
        {"no lower end", "7", NumberRange{-HUGE_VAL, 5}, kv::texts::Edition::English,
         "Ka: \"7\" must be at most 5 mGy."},
        {"Japanese, below 0", "-1", NumberRange{0, HUGE_VAL}, kv::texts::Edition::Japanese,
         "Ka：「-1」は 0 mGy 以上で入力して下さい。"},
        {"Japanese, zero refused", "0", NumberRange{0, HUGE_VAL, true}, kv::texts::Edition::Japanese,
         "Ka：「0」は 0 mGy より大きい値を入力して下さい。"},
        {"Japanese, no lower end", "7", NumberRange{-HUGE_VAL, 5}, kv::texts::Edition::Japanese,
         "Ka：「7」は 5 mGy 以下で入力して下さい。"},
        {"both ends keep their wording", "7", NumberRange{0, 5}, kv::texts::Edition::English,
         "Ka: \"7\" is outside the range 0 to 5 mGy."},
    };
    for (const auto& c : cases) {
        const std::string m = kv::typedNumberMessage(readTypedNumber(c.typed, c.range), "Ka", "mGy",
                                                     kv::texts::typedNumberTextsOf(c.edition));
        EXPECT_EQ(m, c.message) << c.row;
        EXPECT_EQ(m.find("Inf"), std::string::npos) << c.row;
    }
}

TEST(TypedNumber, ShownTextIsWholeSafeAndShort) {
    // A NUL must not cut the message; control characters and broken bytes
    // must not reach a message box; a pasted page must not fill the screen.
    const kv::TypedNumber nul = readTypedNumber(std::string("4\0abc", 5));
    EXPECT_EQ(nul.shown, "4\uFFFDabc");
    EXPECT_EQ(readTypedNumber("1\xff").shown, "1\uFFFD");
    const kv::TypedNumber longText = readTypedNumber(std::string(1000, '9') + "x");
    EXPECT_EQ(longText.shown, std::string(40, '9') + "\u2026");
    const std::string braces =
        kv::typedNumberMessage(readTypedNumber("{min}"), "F", "", kv::texts::englishTypedNumberTexts);
    EXPECT_NE(braces.find("\"{min}\""), std::string::npos) << braces;
}

// What a user typed goes into a message as it stands, even when it looks like a place.
TEST(FillNumbered, ValuesThatLookLikePlacesStay) {
    struct Row {
        const char* pattern;
        std::initializer_list<std::string> args;
        const char* filled;
    };
    const Row rows[] = {
        {"row %1: \"%2\" is no number", {"%2", "x"}, "row %2: \"x\" is no number"},
        {"%2 then %1", {"a%1", "b"}, "b then a%1"},
        {"%1%1 and {file}", {"%1"}, "%1%1 and {file}"},
        {"no places", {"a"}, "no places"},
        {"100 % done: %1", {"yes"}, "100 % done: yes"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(kv::fillNumbered(r.pattern, r.args), r.filled) << r.pattern;
    EXPECT_THROW(kv::fillNumbered("%1", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}),
                 std::logic_error);
}

TEST(TypedNumber, BlankTextIsTold) {
    EXPECT_TRUE(kv::isBlankTyped(""));
    EXPECT_TRUE(kv::isBlankTyped(" \t\u3000"));
    EXPECT_FALSE(kv::isBlankTyped(" 0 "));
}

// What a hostile file or name puts into a message: nothing of it may steer
// the terminal or the message box, and no quote runs longer than the limit.
TEST(ShownText, LeavesNothingThatSteersTheTerminal) {
    const std::string r = "\uFFFD";
    const struct {
        const char* row;
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain", "65.0", "65.0"},
        {"Japanese stays", "乳腺", "乳腺"},
        {"CSI colour sequence", "\x1b[31m65\x1b[0m", r + "[31m65" + r + "[0m"},
        {"title-setting OSC with BEL", "\x1b]0;owned\x07", r + "]0;owned" + r},
        {"8-bit CSI as UTF-8",
         "\xc2\x9b"
         "2J",
         r + "2J"},
        {"8-bit CSI as a lone byte",
         "\x9b"
         "2J",
         r + "2J"},
        {"NUL cuts nothing", std::string("a\0b", 3), "a" + r + "b"},
        {"CR and LF", "a\rb\nc", "a" + r + "b" + r + "c"},
        {"DEL", "a\x7f", "a" + r},
        {"right-to-left override", "a\u202Eb", "a" + r + "b"},
        {"isolate", "a\u2066b\u2069", "a" + r + "b" + r},
        {"line separator", "a\u2028b", "a" + r + "b"},
        {"encoded surrogate", "a\xed\xa0\x80", "a" + r},
        {"overlong ESC", "\xc0\x9b[2J", r + "[2J"},
        {"cut UTF-8 at the end", "ab\xe4\xb9", "ab" + r + r},
        {"exactly the limit", std::string(kv::kShownCharacters, 'x'), std::string(kv::kShownCharacters, 'x')},
        {"one past the limit", std::string(kv::kShownCharacters + 1, 'x'),
         std::string(kv::kShownCharacters, 'x') + "\u2026"},
        {"100 KB line", std::string(100 * 1024, 'M'), std::string(kv::kShownCharacters, 'M') + "\u2026"},
        {"the limit counts characters, not bytes", std::string(30, 'x') + std::string(20, '\x1b'),
         std::string(30, 'x') +
             [&] {
                 std::string t;
                 for (size_t i = 30; i < kv::kShownCharacters; ++i)
                     t += r;
                 return t;
             }() +
             "\u2026"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        const std::string shown = kv::shownText(c.text);
        EXPECT_EQ(shown, c.shown);
        for (unsigned char b : shown)
            EXPECT_TRUE(b >= 0x20 && b != 0x7f) << "control byte " << int(b);
    }
}

} // namespace
