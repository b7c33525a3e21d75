#pragma once
// The small text helpers every reader shares: blanks around a text and the
// letter case of ASCII words (names of columns, options and keys).
//
//   trimmed("  Mo \t")              -> "Mo"
//   trimmed("Mo\r", kLineBlanks)     -> "Mo"
//   lowered("Thickness_CM")          -> "thickness_cm"
#include <string>
#include <string_view>

namespace kv {

// Blanks inside a line of a file: space and tab.
inline constexpr std::string_view kBlanks = " \t";
// The same and a CR left by a CR LF line end read as LF.
inline constexpr std::string_view kLineBlanks = " \t\r";
// Every ASCII white space, line breaks included.
inline constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

// `s` without the characters of `blanks` at either end.
std::string_view trimmed(std::string_view s, std::string_view blanks = kBlanks);
// ASCII letters in lower or upper case, every other byte as it is (UTF-8 stays whole).
std::string lowered(std::string_view s);
std::string uppered(std::string_view s);
// Whether the two are the same but for the case of ASCII letters.
bool sameIgnoringCase(std::string_view a, std::string_view b);

} // namespace kv
