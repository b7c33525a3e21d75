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
    Text badAdiposeRim; // "{key}" and "{value}" as the file gives them
    Text rimWithoutProtocol;
    Text badModel;
    Text badPlates;
    Text protocolOnly;
    // Geometry.dat's tomosynthesis scan: "{key}" and "{value}" as the file gives them
    Text badProjections;
    Text badProjectionLoading;
    Text badProjectionAngle;
    Text angleBesideScan;
    Text badRotationAxis;
    Text badDetector;
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
    .badAdiposeRim = "The file {file} gives {key} = {value} in line {line}: the adipose rim round the curved "
                     "edge is a number of mm from 0 to 20",
    .rimWithoutProtocol =
        "The file {file} gives {key} = {value} in line {line} without \"model = protocol\": the "
        "adipose rim belongs to the protocol breast model",
    .badModel = "The file {file} names a breast model other than workbench or protocol in line {line}",
    .badPlates = "The file {file} names plates other than absorbing or full in line {line}",
    .protocolOnly = "The file {file} gives a setting of the protocol breast model in line {line} without "
                    "\"model = protocol\"",
    .badProjections =
        "The file {file} gives {key} = {value} in line {line}: the projections are 0 (a continuous "
        "sweep) or a whole number from 2 to 40",
    .badProjectionLoading =
        "The file {file} gives {key} = {value} in line {line}: the loading is one share of 0 or "
        "more per projection (as many as \"projections\" gives), adding up to more than 0",
    .badProjectionAngle =
        "The file {file} gives {key} = {value} in line {line}: the angle lies from -60 to 60 "
        "degrees",
    .angleBesideScan =
        "The file {file} gives {key} = {value} in line {line} beside \"projections\": a scan is "
        "either one projection or several",
    .badRotationAxis =
        "The file {file} gives {key} = {value} in line {line}: the rotation axis lies from 0 cm (the "
        "detector) up to below the focus",
    .badDetector =
        "The file {file} gives {key} = {value} in line {line}: the detector is two sizes in cm, the width "
        "along the chest wall and the depth from it, each from 1 to 100",
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
    .badAdiposeRim =
        "ファイル {file} の {line} 行目の {key} = {value} は使えません: 曲面の縁を囲む脂肪層の厚さは "
        "0～20 mm の数値です",
    .rimWithoutProtocol =
        "ファイル {file} の {line} 行目の {key} = {value} はプロトコル乳房モデルの設定ですが、"
        "「model = protocol」がありません",
    .badModel = "ファイル {file} の {line} 行目の乳房モデルが workbench でも protocol でもありません",
    .badPlates = "ファイル {file} の {line} 行目の plates が absorbing でも full でもありません",
    .protocolOnly =
        "ファイル {file} の {line} 行目はプロトコル乳房モデルの設定ですが、「model = protocol」がありません",
    .badProjections =
        "ファイル {file} の {line} 行目の {key} = {value} は使えません: 投影数は 0 (連続スキャン) または "
        "2～40 の整数です",
    .badProjectionLoading =
        "ファイル {file} の {line} 行目の {key} = {value} は使えません: 管電流時間積の配分は投影ごとに "
        "0 以上の値を一つずつ (projections の数だけ) 与え、合計が 0 より大きくなければなりません",
    .badProjectionAngle =
        "ファイル {file} の {line} 行目の {key} = {value} は使えません: 角度は -60～60 度です",
    .angleBesideScan =
        "ファイル {file} の {line} 行目の {key} = {value} は projections と同時には使えません: "
        "スキャンは一つの投影か複数の投影のどちらかです",
    .badRotationAxis =
        "ファイル {file} の {line} 行目の {key} = {value} は使えません: 回転軸の高さは 0 cm (検出器) "
        "から焦点の下までです",
    .badDetector =
        "ファイル {file} の {line} 行目の {key} = {value} は使えません: 検出器は幅 (胸壁に沿って) と奥行き "
        "(胸壁から) の二つの寸法 (cm) で、それぞれ 1～100 です",
};

constexpr const SettingsFileTexts& settingsFileTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseSettingsFileTexts : englishSettingsFileTexts;
}

} // namespace kv::texts
