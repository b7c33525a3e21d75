#pragma once
// Messages about the `name = value` settings files (Geometry.dat), in both
// editions: the batch tool picks the edition at run time. "{file}" and
// "{line}" are filled in by the reader's caller.
#include "kv/texts/text.h"

namespace kv::texts {

struct SettingsFileTexts {
    Text notAFile;
    Text unreadable;
    Text tooLarge;
    Text badLine;
    Text repeated;
    Text unknownName;
    Text notANumber;
    Text outOfRange; // values in mm: 0 to 10
    Text badChoice;
    Text cannotWrite;
    // Geometry.dat's breast model
    Text glandularOutOfRange;
    Text adiposeOutOfRange;
    Text badModel;
    Text badPlates;
    Text protocolOnly;
};

inline constexpr SettingsFileTexts englishSettingsFileTexts{
    .notAFile = "{file} is not a file that can be read",
    .unreadable = "The file {file} cannot be read",
    .tooLarge = "The file {file} is too large to be a settings file",
    .badLine = "The file {file} holds no \"name = value\" in line {line}",
    .repeated = "The file {file} names a setting a second time in line {line}",
    .unknownName = "The file {file} names an unknown setting in line {line}",
    .notANumber = "The file {file} holds something other than a number in line {line}",
    .outOfRange = "The file {file} holds a thickness outside 0 to 10 mm in line {line}",
    .badChoice = "The file {file} names a material other than polycarbonate or pmma in line {line}",
    .cannotWrite = "The file {file} cannot be written",
    .glandularOutOfRange = "The file {file} holds a glandular percentage outside 0 to 100 in line {line}",
    .adiposeOutOfRange = "The file {file} holds an adipose layer outside 0 to 20 mm in line {line}",
    .badModel = "The file {file} names a breast model other than workbench or protocol in line {line}",
    .badPlates = "The file {file} names plates other than absorbing or full in line {line}",
    .protocolOnly = "The file {file} gives a setting of the protocol breast model in line {line} without "
                    "\"model = protocol\"",
};

inline constexpr SettingsFileTexts japaneseSettingsFileTexts{
    .notAFile = "{file} は読み込めるファイルではありません",
    .unreadable = "ファイル {file} を読めません",
    .tooLarge = "ファイル {file} は設定ファイルとしては大きすぎます",
    .badLine = "ファイル {file} の {line} 行目が「名前 = 値」の形になっていません",
    .repeated = "ファイル {file} の {line} 行目で同じ設定が二度指定されています",
    .unknownName = "ファイル {file} の {line} 行目に未知の設定名があります",
    .notANumber = "ファイル {file} の {line} 行目に数値でないものがあります",
    .outOfRange = "ファイル {file} の {line} 行目の厚さが 0～10 mm の範囲外です",
    .badChoice = "ファイル {file} の {line} 行目の材質が polycarbonate でも pmma でもありません",
    .cannotWrite = "ファイル {file} に書き込めません",
    .glandularOutOfRange = "ファイル {file} の {line} 行目の乳腺含有率が 0～100 % の範囲外です",
    .adiposeOutOfRange = "ファイル {file} の {line} 行目の脂肪層の厚さが 0～20 mm の範囲外です",
    .badModel = "ファイル {file} の {line} 行目の乳房モデルが workbench でも protocol でもありません",
    .badPlates = "ファイル {file} の {line} 行目の plates が absorbing でも full でもありません",
    .protocolOnly =
        "ファイル {file} の {line} 行目はプロトコル乳房モデルの設定ですが、「model = protocol」がありません",
};

constexpr const SettingsFileTexts& settingsFileTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseSettingsFileTexts : englishSettingsFileTexts;
}

} // namespace kv::texts
