#pragma once
// Refusals of a typed number, in both editions: the command-line tools pick
// the edition at run time. "{field}" is the field's name, "{text}" the text
// as typed, "{min}", "{max}" and "{unit}" the range the field takes.
#include "kv/texts/text.h"

namespace kv::texts {

struct TypedNumberTexts {
    Text empty;
    Text notANumber;
    Text trailingText;
    Text decimalComma;
    Text thousandsSeparator;
    Text notFinite;
    Text outOfRange;      // both ends allowed
    Text outOfRangeAbove; // the lower end itself refused
    // A range open at one end: no "Inf" in a message.
    Text atLeast;  // no upper end
    Text moreThan; // no upper end, the lower end itself refused
    Text atMost;   // no lower end
    Text notWhole; // a count with a fraction
    // Added on a line of its own to every refusal but a range: what to type.
    Text hint;
};

inline constexpr TypedNumberTexts englishTypedNumberTexts{
    .empty = "{field}: nothing was typed; a number is needed.",
    .notANumber = "{field}: \"{text}\" is not a number.",
    .trailingText = "{field}: \"{text}\" is not only a number.",
    .decimalComma = "{field}: \"{text}\" has a decimal comma.",
    .thousandsSeparator = "{field}: \"{text}\" has a thousands separator.",
    .notFinite = "{field}: \"{text}\" is not a finite number.",
    .outOfRange = "{field}: \"{text}\" is outside the range {min} to {max}{unit}.",
    .outOfRangeAbove = "{field}: \"{text}\" must be more than {min} and at most {max}{unit}.",
    .atLeast = "{field}: \"{text}\" must be at least {min}{unit}.",
    .moreThan = "{field}: \"{text}\" must be more than {min}{unit}.",
    .atMost = "{field}: \"{text}\" must be at most {max}{unit}.",
    .notWhole = "{field}: \"{text}\" is not a whole number.",
    .hint = "Type digits with a decimal point and nothing else: 7.5, not 7,5; 1000000, not 1,000,000.",
};

inline constexpr TypedNumberTexts japaneseTypedNumberTexts{
    .empty = "{field}：数値が入力されていません。",
    .notANumber = "{field}：「{text}」は数値ではありません。",
    .trailingText = "{field}：「{text}」には数値以外の文字が含まれています。",
    .decimalComma = "{field}：「{text}」は小数点にカンマを使っています。",
    .thousandsSeparator = "{field}：「{text}」には桁区切りが含まれています。",
    .notFinite = "{field}：「{text}」は有限の数値ではありません。",
    .outOfRange = "{field}：「{text}」は {min} ～ {max}{unit} の範囲外です。",
    .outOfRangeAbove = "{field}：「{text}」は {min} より大きく {max}{unit} 以下で入力して下さい。",
    .atLeast = "{field}：「{text}」は {min}{unit} 以上で入力して下さい。",
    .moreThan = "{field}：「{text}」は {min}{unit} より大きい値を入力して下さい。",
    .atMost = "{field}：「{text}」は {max}{unit} 以下で入力して下さい。",
    .notWhole = "{field}：「{text}」は整数ではありません。",
    .hint = "数字と小数点「.」だけで入力して下さい（例：7.5。7,5 や 1,000,000 は不可）。",
};

constexpr const TypedNumberTexts& typedNumberTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseTypedNumberTexts : englishTypedNumberTexts;
}

// The edition this program was linked with.
inline const TypedNumberTexts& typedNumberTexts() {
    return typedNumberTextsOf(edition());
}

} // namespace kv::texts
