#pragma once
// The one reading of a number a person typed, on a screen or on a command
// line: the whole text must be a number, or it is refused with the reason,
// so that a message can name the field, the text and what to type instead.
// Full-width digits, points and signs (as a Japanese input method gives them)
// are read as what they spell.
#include "kv/texts/typed_number.h"

#include <cmath>
#include <span>
#include <string>
#include <string_view>

namespace kv {

enum class TypedNumberFault {
    None,
    Empty,              // nothing but blanks where a number is needed
    NotANumber,         // "abc", "-", "."
    TrailingText,       // a number followed by something else: "4.5abc", "12 cm", "1.2.3"
    DecimalComma,       // "7,5"
    ThousandsSeparator, // "1,000,000", "1 000", "1'000"
    NotFinite,          // "nan", "inf", "1e999"
    OutOfRange,         // a number outside the range the field takes
    NotWhole,           // "1.5" where a count is wanted
};

// The values a field takes, both ends included unless `aboveMin`.
struct NumberRange {
    double min = -HUGE_VAL;
    double max = HUGE_VAL;
    bool aboveMin = false; // min itself is refused (a thickness that must be more than 0)
    bool whole = false;    // a count: only whole numbers
    bool contains(double v) const { return (aboveMin ? v > min : v >= min) && v <= max; }
};

struct TypedNumber {
    TypedNumberFault fault = TypedNumberFault::Empty;
    double value = 0;
    // The number as ASCII, trimmed: "５．２" gives "5.2". What a file that
    // keeps the typed text gets. Empty unless ok().
    std::string text;
    // The typed text, trimmed, in a form a message can show: valid UTF-8,
    // control characters as U+FFFD, and at most 40 characters.
    std::string shown;
    NumberRange range; // the range it was checked against
    bool ok() const { return fault == TypedNumberFault::None; }
};

// Reads the whole of `typed` (UTF-8) after trimming blanks. The grammar is
// that of the files: sign, digits with at most one point, an optional
// exponent (E or D); the point is the only decimal separator.
TypedNumber readTypedNumber(std::string_view typed, NumberRange range = {});

// True when `typed` holds nothing but blanks: an optional field left empty.
bool isBlankTyped(std::string_view typed);

// The edition's message for a refused number: "{field}" names the field as
// the user sees it, `unit` follows the range's numbers after a blank ("kV",
// "cm"; empty for none). Empty when `n` is ok.
std::string typedNumberMessage(const TypedNumber& n, std::string_view field, std::string_view unit,
                               const texts::TypedNumberTexts& t);

// Every text a message quotes from a file, a name or the command line goes
// through here: valid UTF-8, control characters (C0, DEL, C1: so no terminal
// escape sequence) and marks that reorder or break the line as U+FFFD (a NUL
// cuts nothing), and at most kShownCharacters characters, then "…".
inline constexpr size_t kShownCharacters = 40;
std::string shownText(std::string_view text);

// Every "{key}" of `text` replaced by its value, in one pass, so that braces
// in a value stay as they are; the messages of every module are filled in
// this way.
std::string fillIn(std::string text,
                   std::initializer_list<std::pair<std::string_view, std::string_view>> keys);
std::string fillIn(std::string text, std::span<const std::pair<std::string_view, std::string_view>> keys);
// The same for numbered places: "%1" .. "%9" take args[0] .. args[8].
std::string fillNumbered(std::string_view pattern, std::initializer_list<std::string> args);

} // namespace kv
