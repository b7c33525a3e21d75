#include "kv/common/typed_number.h"

#include "kv/common/codepage.h"
#include "kv/common/format.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace kv {
namespace {

// One code point of UTF-8 at `at`, valid as validUtf8 has it. What is not
// valid gives U+FFFD: an overlong, surrogate or too large form whole (so
// that it shows as one character), any other byte alone.
char32_t nextCodePoint(std::string_view s, size_t& at) {
    const auto b = static_cast<unsigned char>(s[at]);
    if (const size_t n = utf8SequenceLength(s, at)) {
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k)
            c = (c << 6) | (static_cast<unsigned char>(s[at + k]) & 0x3F);
        at += n;
        return c;
    }
    const size_t extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
    size_t whole = extra > 0 && at + extra < s.size() ? extra + 1 : 1;
    for (size_t k = 1; k < whole; ++k)
        if ((static_cast<unsigned char>(s[at + k]) & 0xC0) != 0x80) whole = 1;
    at += whole;
    return 0xFFFD;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// What a terminal or a message box shows as itself: no C0 or C1 control (an
// escape sequence starts with either), no mark that turns the text's
// direction or breaks its line, no surrogate or value beyond Unicode.
bool safeToPrint(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
    if (c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069))
        return false;
    return !(c >= 0xD800 && c <= 0xDFFF) && c <= 0x10FFFF;
}

bool isBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == 0x3000 || c == 0x00A0;
}

// What a full-width or typographic character spells; 0 for one that is no
// part of a number.
char asciiOf(char32_t c) {
    if (c < 0x80) return static_cast<char>(c);
    if (c >= 0xFF10 && c <= 0xFF19) return static_cast<char>('0' + (c - 0xFF10));
    switch (c) {
    case 0xFF0E: // full-width full stop
    case 0x3002: // ideographic full stop
        return '.';
    case 0xFF0B:
        return '+';
    case 0xFF0D: // full-width hyphen-minus
    case 0x2212: // minus sign
        return '-';
    case 0xFF25:
        return 'E';
    case 0xFF45:
        return 'e';
    case 0xFF0C: // full-width comma
    case 0x3001: // ideographic comma
        return ',';
    case 0x2009: // thin space, narrow no-break space: thousands separators
    case 0x202F:
        return ' ';
    default:
        return 0;
    }
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "1,000,000", "12 345.5", "1'000", "1.000.000": groups of three digits after
// a first group of one to three.
bool hasThousandsGroups(std::string_view s) {
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    size_t i = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    if (i == 0 || i > 3 || i == s.size()) return false;
    const char sep = s[i];
    if (sep != ',' && sep != ' ' && sep != '\'' && sep != '_' && sep != '.') return false;
    int groups = 0;
    while (i < s.size() && s[i] == sep) {
        size_t j = i + 1;
        while (j < s.size() && isDigit(s[j]))
            ++j;
        if (j - i - 1 != 3) return false;
        ++groups;
        i = j;
    }
    // "1.000" is a plain number; a point separates thousands only when repeated.
    if (sep == '.' && groups < 2) return false;
    if (i == s.size()) return true;
    const char decimal = sep == '.' ? ',' : '.';
    if (s[i] != decimal) return false;
    for (++i; i < s.size(); ++i)
        if (!isDigit(s[i])) return false;
    return true;
}

// "7,5", "-0,25", ",5": one comma where the point belongs.
bool hasDecimalComma(std::string_view s) {
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    const size_t comma = s.find(',');
    if (comma == std::string_view::npos || s.find(',', comma + 1) != std::string_view::npos) return false;
    std::string asPoint(s);
    asPoint[comma] = '.';
    double v = 0;
    return asPoint.find_first_not_of("0123456789.eEdD+-") == std::string::npos &&
           parseNumberStrict(asPoint, v);
}

// "4.5abc", "12 cm", ".5x": a number before something else.
bool startsWithNumber(std::string_view s) {
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    return !s.empty() && (isDigit(s[0]) || (s[0] == '.' && s.size() > 1 && isDigit(s[1])));
}

bool spellsNotFinite(std::string_view s) {
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
    std::string lower(s);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "nan" || lower == "inf" || lower == "infinity" || lower.rfind("nan(", 0) == 0;
}

} // namespace

bool isBlankTyped(std::string_view typed) {
    for (size_t at = 0; at < typed.size();)
        if (!isBlank(nextCodePoint(typed, at))) return false;
    return true;
}

TypedNumber readTypedNumber(std::string_view typed, NumberRange range) {
    TypedNumber n;
    n.range = range;
    std::vector<char32_t> points;
    for (size_t at = 0; at < typed.size();)
        points.push_back(nextCodePoint(typed, at));
    auto first = std::find_if_not(points.begin(), points.end(), isBlank);
    auto last = std::find_if_not(points.rbegin(), std::make_reverse_iterator(first), isBlank).base();
    std::string ascii, trimmed;
    bool allSpell = true;
    for (auto p = first; p != last; ++p) {
        const char32_t c = *p;
        appendUtf8(trimmed, c);
        const char a = asciiOf(c);
        if (a == 0 || a < 0x20 || a == 0x7F) allSpell = false;
        ascii += a == 0 ? '?' : a;
    }
    n.shown = shownText(trimmed);
    if (first == last) return n; // Empty
    double v = 0;
    if (allSpell && parseNumberStrict(ascii, v)) {
        n.value = v;
        n.fault = !std::isfinite(v)                   ? TypedNumberFault::NotFinite
                  : !range.contains(v)                ? TypedNumberFault::OutOfRange
                  : range.whole && v != std::floor(v) ? TypedNumberFault::NotWhole
                                                      : TypedNumberFault::None;
        if (n.ok()) n.text = ascii;
        return n;
    }
    if (spellsNotFinite(ascii))
        n.fault = TypedNumberFault::NotFinite;
    else if (hasThousandsGroups(ascii))
        n.fault = TypedNumberFault::ThousandsSeparator;
    else if (hasDecimalComma(ascii))
        n.fault = TypedNumberFault::DecimalComma;
    else if (startsWithNumber(ascii))
        n.fault = TypedNumberFault::TrailingText;
    else
        n.fault = TypedNumberFault::NotANumber;
    return n;
}

std::string shownText(std::string_view text) {
    std::string shown;
    size_t count = 0;
    for (size_t at = 0; at < text.size(); ++count) {
        const char32_t c = nextCodePoint(text, at);
        if (count == kShownCharacters) {
            shown += "\u2026";
            break;
        }
        appendUtf8(shown, safeToPrint(c) ? c : char32_t{0xFFFD});
    }
    return shown;
}

std::string fillIn(std::string text,
                   std::initializer_list<std::pair<std::string_view, std::string_view>> keys) {
    return fillIn(std::move(text), std::span(keys.begin(), keys.size()));
}

std::string fillIn(std::string text, std::span<const std::pair<std::string_view, std::string_view>> keys) {
    // One pass, so that a value holding a key ("{text}" typed) stays as it is.
    std::string out;
    for (size_t i = 0; i < text.size();) {
        auto k = std::find_if(keys.begin(), keys.end(), [&](const auto& key) {
            return text.compare(i, key.first.size(), key.first) == 0;
        });
        if (k == keys.end()) {
            out += text[i++];
        } else {
            out += k->second;
            i += k->first.size();
        }
    }
    return out;
}

std::string fillNumbered(std::string_view pattern, std::initializer_list<std::string> args) {
    static constexpr std::string_view kPlaces[] = {"%1", "%2", "%3", "%4", "%5", "%6", "%7", "%8", "%9"};
    std::vector<std::pair<std::string_view, std::string_view>> keys;
    for (const std::string& a : args) {
        if (keys.size() == std::size(kPlaces)) throw std::logic_error("more than nine numbered places");
        keys.emplace_back(kPlaces[keys.size()], a);
    }
    return fillIn(std::string(pattern), keys);
}

std::string typedNumberMessage(const TypedNumber& n, std::string_view field, std::string_view unit,
                               const texts::TypedNumberTexts& t) {
    std::string_view s;
    switch (n.fault) {
    case TypedNumberFault::None:
        return {};
    case TypedNumberFault::Empty:
        s = t.empty;
        break;
    case TypedNumberFault::NotANumber:
        s = t.notANumber;
        break;
    case TypedNumberFault::TrailingText:
        s = t.trailingText;
        break;
    case TypedNumberFault::DecimalComma:
        s = t.decimalComma;
        break;
    case TypedNumberFault::ThousandsSeparator:
        s = t.thousandsSeparator;
        break;
    case TypedNumberFault::NotFinite:
        s = t.notFinite;
        break;
    case TypedNumberFault::OutOfRange:
        if (std::isinf(n.range.max))
            s = n.range.aboveMin ? t.moreThan : t.atLeast;
        else if (std::isinf(n.range.min))
            s = t.atMost;
        else
            s = n.range.aboveMin ? t.outOfRangeAbove : t.outOfRange;
        break;
    case TypedNumberFault::NotWhole:
        s = t.notWhole;
        break;
    }
    std::string message =
        fillIn(std::string(s), {{"{field}", field},
                                {"{min}", plainDecimal(n.range.min)},
                                {"{max}", plainDecimal(n.range.max)},
                                {"{unit}", unit.empty() ? std::string() : std::string(" ").append(unit)},
                                {"{text}", n.shown}});
    if (n.fault != TypedNumberFault::OutOfRange && n.fault != TypedNumberFault::NotWhole)
        message.append("\n").append(t.hint.view());
    return message;
}

} // namespace kv
