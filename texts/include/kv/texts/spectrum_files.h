#pragma once
// Texts of the spectrum files and of the spectrum model's messages.
//
// The header labels of P_SPCTL.dat are part of the file: a reader has to
// recognise a file written by either edition, and the batch tool writes the
// edition asked for, so both editions' texts are reachable from every program
// (`spectrumFileTextsOf`). `spectrumFileTexts()` is the edition linked in.
// Messages may hold "{file}" and "{line}", filled in by the spectrum model.
#include "kv/texts/text.h"

namespace kv::texts {

struct SpectrumFileLabels {
    Text molybdenumTarget; // line 1 of P_SPCTL.dat
    Text tungstenTarget;
    Text rhodiumTarget;
    Text tubeVoltage; // lines 2..10: label before the formatted field
    Text targetAngle;
    Text tubeTiltAngle;
    Text beryllium;
    Text aluminum;
    Text molybdenum;
    Text rhodium;
    Text silver;
    Text airLayer;
};

struct SpectrumFileTexts {
    SpectrumFileLabels labels;
    // Refusals of "Draw spectrum", in the order they are checked.
    Text tubeVoltageTooHigh;
    Text angleCannotCoverField;
    Text tubeTiltOutOfRange;
    Text targetAngleOutOfRange;
    // The units after a field's range in a refusal.
    Text unitKv;
    Text unitDegree;
    Text unitMm;
    Text unitCm;
    Text spectrumEmpty; // a computed spectrum without photons
    // Faults of the data, equipment and spectrum files.
    Text fileMissing;
    Text fileEndsEarly;
    Text fileNotANumber;
    Text fileBadValue;
    Text fileBadLayout;
    Text fileCannotWrite;
    Text fileWriteProtected;
    // The batch tool.
    Text toolUsage;
    Text toolFirstHvl;
    Text toolSecondHvl;
    Text toolMeanEnergy;
    // Whether the HVLs and mean energy above were taken through the paddle.
    Text toolWithPaddle;
    Text toolWithoutPaddle;
    Text toolWritten;
    Text toolAluminium;
    Text toolNeedsOut; // no --out given
    // Refusals of matching a measured first HVL; {hvl}: mm Al.
    Text matchBelowUnfiltered;
    Text matchBeyondReach;
    Text matchNoBeam;
    // Faults of a measured spectrum; {file}, {line}, {value}: the text at fault.
    Text measuredNotANumber;
    Text measuredDecimalComma;
    Text measuredNotFinite;
    Text measuredWrongShape; // {value}: how many columns
    Text measuredEnergyNotPositive;
    Text measuredEnergyNotRising;
    Text measuredNegativeFluence;
    Text measuredNoBins;
    Text measuredNothingBelowTubeVoltage; // {value}: kV
    Text toolMeasuredNeedsKv;             // {file}
};

inline constexpr SpectrumFileTexts englishSpectrumFileTexts{
    .labels =
        {
            .molybdenumTarget = "Molybdenum target",
            .tungstenTarget = "Tungsten target",
            .rhodiumTarget = "Rhodium target",
            .tubeVoltage = "Tube voltage =",
            .targetAngle = "Target angle =",
            .tubeTiltAngle = "Tube tilt angle =",
            .beryllium = "Beryllium =",
            .aluminum = "Aluminum =",
            .molybdenum = "Molybdenum =",
            .rhodium = "Rhodium =",
            .silver = "Silver =",
            .airLayer = "Air layer =",
        },
    .tubeVoltageTooHigh = "The tube voltage exceeds the maximum value",
    .angleCannotCoverField = "This angle setting cannot cover the field size",
    .tubeTiltOutOfRange = "The tube tilt angle is out of range",
    .targetAngleOutOfRange = "The target angle is out of range",
    .unitKv = "kV",
    .unitDegree = "deg",
    .unitMm = "mm",
    .unitCm = "cm",
    .spectrumEmpty = "This spectrum holds no photons: raise the tube voltage or reduce the filtration",
    .fileMissing = "The file {file} is missing or cannot be read",
    .fileEndsEarly = "The file {file} ends too early (line {line})",
    .fileNotANumber = "The file {file} holds something other than a number in line {line}",
    .fileBadValue = "The file {file} holds a value that cannot be used in line {line}",
    .fileBadLayout = "The file {file} is not laid out as expected in line {line}",
    .fileCannotWrite = "The file {file} cannot be written",
    .fileWriteProtected = "The file {file} is write-protected and was left as it is",
    .toolUsage =
        "usage: kv-spectrum [--target Mo|W|Rh] [--kv TEXT] [--target-angle TEXT] [--tilt TEXT]\n"
        "                   [--be TEXT] [--al TEXT] [--mo TEXT] [--rh TEXT] [--ag TEXT] [--air TEXT]\n"
        "                   [--edition en|ja] [--data DIR] --out FILE\n"
        "                   [--match-hvl MM_AL | --measured FILE]\n"
        "                   [--hvl-with-paddle | --hvl-without-paddle] [--help]\n"
        "Writes the spectrum file FILE (P_SPCTL.dat for the engines) as the spectrum screen's \"Determine\"\n"
        "writes it, with the exact values beside it in FILE's .exact.dat (P_SPCTL.exact.dat).\n"
        "Field texts are read as the spectrum screen reads them; omitted fields take the screen's\n"
        "start values for the target (angles from equipment.dat in the data folder).\n"
        "The data folder is --data, else the current folder when it holds equipment.dat, else the data\n"
        "shipped with the programs (a line says so).\n"
        "--measured takes the spectrum from FILE instead of the model: two columns, the energy at the\n"
        "top of each bin (keV) and the fluence per keV, '#' before a comment. It is moved onto the\n"
        "0.2 keV bins with its photons kept, cut at the tube voltage (--kv, else the \"tube voltage\"\n"
        "a comment states), filtered only by the filters and air named (they start at 0: the file\n"
        "holds its tube's own window) and given to every ray alike, without a heel effect; --target\n"
        "names the target for the file's first line.\n"
        "The HVLs and the mean energy printed are those of the central ray with the compression paddle\n"
        "of Geometry.dat in the data folder in the beam (1.5 mm polycarbonate without that file), as\n"
        "the HVL is measured; --hvl-without-paddle gives them without the paddle.\n"
        "--match-hvl sets the aluminium filter (to 0.001 mm) so that the first HVL, so defined, is the\n"
        "measured one within 0.001 mm Al, and prints it as \"Aluminium (mm)\"; exit status 3 when no\n"
        "thickness from 0 to 10 mm can give it.\n"
        "Options may stand in any order, as --opt VALUE or --opt=VALUE.",
    .toolFirstHvl = "First HVL (mm Al)",
    .toolSecondHvl = "Second HVL (mm Al)",
    .toolMeanEnergy = "Mean energy (keV)",
    .toolWithPaddle = "Measured: with the compression paddle in the beam",
    .toolWithoutPaddle = "Measured: without the compression paddle",
    .toolWritten = "Written",
    .toolAluminium = "Aluminium (mm)",
    .toolNeedsOut = "kv-spectrum: --out FILE is needed (the spectrum file to write)",
    .matchBelowUnfiltered =
        "No aluminium filter can give this HVL: without aluminium the first HVL is already "
        "{hvl} mm Al",
    .matchBeyondReach =
        "No aluminium filter from 0 to 10 mm gives this HVL: the nearest first HVL is {hvl} mm Al",
    .matchNoBeam = "The spectrum holds no photons, so no HVL can be matched",
    .measuredNotANumber =
        "The measured spectrum {file} holds \"{value}\" in line {line}, which is not a number",
    .measuredDecimalComma =
        "The measured spectrum {file} holds \"{value}\" in line {line}: write the decimal "
        "point as \".\", not as a comma",
    .measuredNotFinite =
        "The measured spectrum {file} holds \"{value}\" in line {line}, a number too large to use",
    .measuredWrongShape =
        "The measured spectrum {file} holds {value} columns in line {line}: two belong there, "
        "the energy (keV) and the fluence per keV",
    .measuredEnergyNotPositive =
        "The measured spectrum {file} holds the energy {value} keV in line {line}, which is not above 0",
    .measuredEnergyNotRising =
        "The measured spectrum {file} holds the energy {value} keV in line {line}, which "
        "does not rise above the energy of the line before",
    .measuredNegativeFluence =
        "The measured spectrum {file} holds the negative fluence {value} in line {line}",
    .measuredNoBins = "The measured spectrum {file} holds no line of energy and fluence",
    .measuredNothingBelowTubeVoltage =
        "The measured spectrum {file} holds no fluence below the tube voltage of {value} kV",
    .toolMeasuredNeedsKv =
        "kv-spectrum: the measured spectrum {file} states no tube voltage: give it with --kv",
};

inline constexpr SpectrumFileTexts japaneseSpectrumFileTexts{
    .labels =
        {
            .molybdenumTarget = "ターゲット：モリブデン",
            .tungstenTarget = "タングステンターゲット",
            .rhodiumTarget = "ロジウムターゲット",
            .tubeVoltage = "管電圧 =",
            .targetAngle = "ターゲット角度 =",
            .tubeTiltAngle = "管球傾斜角度 =",
            .beryllium = "ベリリウム =",
            .aluminum = "アルミニウム =",
            .molybdenum = "モリブデン =",
            .rhodium = "ロジウム =",
            .silver = "銀 =",
            .airLayer = "空気層 =",
        },
    .tubeVoltageTooHigh = "管電圧が最大値を超えています",
    .angleCannotCoverField = "この角度設定では照射野をカバーできません",
    .tubeTiltOutOfRange = "管球傾斜角度が範囲外です",
    .targetAngleOutOfRange = "ターゲット角度が範囲外です",
    .unitKv = "kV",
    .unitDegree = "度",
    .unitMm = "mm",
    .unitCm = "cm",
    .spectrumEmpty = "このスペクトルには光子がありません。管電圧を上げるかフィルタを減らしてください",
    .fileMissing = "ファイル {file} が見つからないか読めません",
    .fileEndsEarly = "ファイル {file} が途中で終わっています（{line} 行目）",
    .fileNotANumber = "ファイル {file} の {line} 行目に数値でないものがあります",
    .fileBadValue = "ファイル {file} の {line} 行目に使えない値があります",
    .fileBadLayout = "ファイル {file} の {line} 行目の書式が違います",
    .fileCannotWrite = "ファイル {file} に書き込めません",
    .fileWriteProtected = "ファイル {file} は書き込み禁止のため、変更していません",
    .toolUsage =
        "使い方: kv-spectrum [--target Mo|W|Rh] [--kv 文字列] [--target-angle 文字列] [--tilt 文字列]\n"
        "                   [--be 文字列] [--al 文字列] [--mo 文字列] [--rh 文字列] [--ag 文字列] [--air "
        "文字列]\n"
        "                   [--edition en|ja] [--data フォルダ] --out ファイル\n"
        "                   [--match-hvl mmAl | --measured ファイル]\n"
        "                   [--hvl-with-paddle | --hvl-without-paddle] [--help]\n"
        "スペクトル画面の「決定」と同じ内容でスペクトルファイル ファイル（エンジン用は "
        "P_SPCTL.dat）を書き、\n"
        "正確な値をその .exact.dat（P_SPCTL.exact.dat）に書きます。\n"
        "各欄の文字列はスペクトル画面と同じ規則で読みます。省略した欄はターゲットに応じた画面の初期値\n"
        "（角度はデータフォルダの equipment.dat）になります。\n"
        "データフォルダは --data、無ければ equipment.dat のある現在のフォルダ、それも無ければ\n"
        "プログラムと共に配布されたデータです（その旨を表示します）。\n"
        "--measured はモデルの代わりにファイルのスペクトルを使います。2 列で、各ビンの上端のエネルギー\n"
        "(keV) と keV あたりのフルエンス、「#」以降はコメントです。光子数を保ったまま 0.2 keV のビンに\n"
        "移し、管電圧（--kv、なければコメントにある「tube voltage」）で切り、指定したフィルタと空気層\n"
        "だけを通し（ファイルには管球自身の窓が含まれるので初期値は 0）、ヒール効果なしで全ての線に\n"
        "同じスペクトルを与えます。--target はファイル1行目のターゲット名になります。\n"
        "表示する半価層と平均エネルギーは中心線のもので、半価層の測定と同じくデータフォルダの\n"
        "Geometry.dat の圧迫板を通した線束の値です（ファイルがなければ 1.5 mm のポリカーボネート）。\n"
        "--hvl-without-paddle で圧迫板なしの値になります。\n"
        "--match-hvl は第1半価層がこの定義で測定値と 0.001 mm Al 以内で一致するようにアルミニウム\n"
        "フィルタ（0.001 mm 単位）を決め、「アルミニウム (mm)」として表示します。0～10 mm のどの厚さでも\n"
        "一致しないときは終了コード 3 で終わります。\n"
        "オプションの順序は自由で、--opt 値 または --opt=値 と書けます。",
    .toolFirstHvl = "第1半価層 (mm Al)",
    .toolSecondHvl = "第2半価層 (mm Al)",
    .toolMeanEnergy = "平均エネルギー (keV)",
    .toolWithPaddle = "測定条件: 圧迫板をビームに入れた値",
    .toolWithoutPaddle = "測定条件: 圧迫板なしの値",
    .toolWritten = "書き込みました",
    .toolAluminium = "アルミニウム (mm)",
    .toolNeedsOut = "kv-spectrum: --out ファイル を指定してください（書き込むスペクトルファイル）",
    .matchBelowUnfiltered =
        "この半価層になるアルミニウムフィルタはありません。アルミニウムなしでも第1半価層は "
        "{hvl} mm Al です",
    .matchBeyondReach = "0～10 mm のアルミニウムフィルタではこの半価層になりません。最も近い第1半価層は "
                        "{hvl} mm Al です",
    .matchNoBeam = "スペクトルに光子がないため、半価層を合わせられません",
    .measuredNotANumber = "測定スペクトル {file} の {line} 行目の「{value}」は数値ではありません",
    .measuredDecimalComma = "測定スペクトル {file} の {line} 行目の「{value}」は小数点がコンマです。小数点は"
                            "「.」で書いてください",
    .measuredNotFinite = "測定スペクトル {file} の {line} 行目の「{value}」は大きすぎて使えません",
    .measuredWrongShape = "測定スペクトル {file} の {line} 行目には {value} 列あります。エネルギー (keV) と "
                          "keV あたりのフルエンスの 2 列が必要です",
    .measuredEnergyNotPositive =
        "測定スペクトル {file} の {line} 行目のエネルギー {value} keV は 0 より大きくありません",
    .measuredEnergyNotRising = "測定スペクトル {file} の {line} 行目のエネルギー {value} keV "
                               "は前の行のエネルギーより大きくありません",
    .measuredNegativeFluence = "測定スペクトル {file} の {line} 行目のフルエンス {value} が負です",
    .measuredNoBins = "測定スペクトル {file} にはエネルギーとフルエンスの行がありません",
    .measuredNothingBelowTubeVoltage =
        "測定スペクトル {file} には管電圧 {value} kV 未満のフルエンスがありません",
    .toolMeasuredNeedsKv =
        "kv-spectrum: 測定スペクトル {file} には管電圧の記載がありません。--kv で指定してください",
};

constexpr const SpectrumFileTexts& spectrumFileTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseSpectrumFileTexts : englishSpectrumFileTexts;
}

// The edition this program was linked with.
const SpectrumFileTexts& spectrumFileTexts();

} // namespace kv::texts
