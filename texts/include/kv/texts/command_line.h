#pragma once
// Refusals of a command line, in both editions: the command-line tools pick
// the edition at run time. "{option}" is the option as typed, "{text}" the
// value in question, "{other}" the option it cannot go with.
#include "kv/texts/text.h"

namespace kv::texts {

struct CommandLineTexts {
    Text unknownOption;
    Text missingValue;
    Text unexpectedValue;
    Text repeated;
    Text conflict;
    Text operand;
    Text badChoice;   // {choices}: what the option takes
    Text wholeNumber; // {min}, {max}: the range
    Text seeHelp;     // on a line of its own after each refusal
    // The note of a tool run without --data in a folder without equipment.dat:
    // {dir} that folder, {shipped} the data read instead.
    Text shippedData;
};

inline constexpr CommandLineTexts englishCommandLineTexts{
    .unknownOption = "unknown option \"{option}\".",
    .missingValue = "{option} wants a value: {option} VALUE or {option}=VALUE.",
    .unexpectedValue = "{option} takes no value, but \"{text}\" was given.",
    .repeated = "{option} is given more than once (\"{text}\" the second time); give it once.",
    .conflict = "{option} and {other} cannot be given together.",
    .operand = "\"{option}\" is not an option, and no further file or folder is taken.",
    .badChoice = "{option} takes {choices}, not \"{text}\".",
    .wholeNumber = "{option}: \"{text}\" is not a whole number from {min} to {max}.",
    .seeHelp = "--help lists the options.",
    .shippedData = "No equipment.dat in {dir}: the data shipped with the programs in {shipped} are read "
                   "(--data names another folder).",
};

inline constexpr CommandLineTexts japaneseCommandLineTexts{
    .unknownOption = "「{option}」は不明なオプションです。",
    .missingValue = "{option} には値が必要です（{option} 値 または {option}=値）。",
    .unexpectedValue = "{option} は値をとりませんが「{text}」が指定されました。",
    .repeated = "{option} が複数回指定されています（2 回目は「{text}」）。1 回だけ指定して下さい。",
    .conflict = "{option} と {other} は同時に指定できません。",
    .operand = "「{option}」はオプションではありません。これ以上のファイルやフォルダは指定できません。",
    .badChoice = "{option} に指定できるのは {choices} で、「{text}」は指定できません。",
    .wholeNumber = "{option}：「{text}」は {min} ～ {max} の整数ではありません。",
    .seeHelp = "--help でオプションの一覧を表示します。",
    .shippedData =
        "{dir} に equipment.dat が無いため、プログラムと共に配布された {shipped} のデータを読みます"
        "（別のフォルダは --data で指定します）。",
};

constexpr const CommandLineTexts& commandLineTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseCommandLineTexts : englishCommandLineTexts;
}

} // namespace kv::texts
