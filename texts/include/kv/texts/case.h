#pragma once
// kv-case, the run files of one simulation from the command line. One program
// for both editions: `--edition ja` chooses the Japanese texts. The entries
// are named by their options in every refusal.
#include "kv/texts/text.h"

namespace kv::texts {

struct CaseTexts {
    Text usage;
    Text missingInput;     // the history count or the name refused; the reason follows
    Text nothingTyped;     // {field}: an option given empty
    Text notAFileName;     // %1: the name as given
    Text nothingWritten;   // after any refusal
    Text badSagdTarget;    // %1: the text as given
    Text badMapTarget;     // %1: the text as given
    Text cannotUseOptions; // %1: the run-options file and its fault
    Text cannotWrite;      // %1: the file name
    Text notAFraction;     // %1: the value as given
    Text plateOutOfRange;  // %1: the option
    Text notAFolder;       // %1: the folder
    Text written;          // %1: the file
    Text next;             // %1: the folder, %2: the result file
};

inline constexpr CaseTexts englishCaseTexts{
    .usage =
        "usage: kv-case --name NAME [--dir DIR] [--edition en|ja]\n"
        "               [--thickness CM] [--glandular PERCENT]\n"
        "               [--histories N] [--equipment TEXT] [--fid CM] [--fad CM] [--angular-range DEG]\n"
        "               [--fcd CM] [--sagd-sigma PERCENT] [--map-sigma PERCENT]\n"
        "               [--paddle-mm MM] [--paddle-material polycarbonate|pmma]\n"
        "               [--support-mm MM] [--support-material polycarbonate|pmma]\n"
        "               [--edition-file] [--help]\n"
        "Writes the run files of one simulation into DIR (default: the current folder) exactly as the\n"
        "phantom screen's and the set-up screen's \"OK\" write them for the same entries, and refuses\n"
        "what those screens refuse; nothing is written when any entry is refused.\n"
        "  Phantom.dat    --thickness (cm, 0.1 to 6; default 5) and --glandular (10, 20 .. 90;\n"
        "                 default 50), which names the composition file BR12-<glandular>.dat.\n"
        "  MC.dat         --name (required: the result file NAME.vesk), --histories (a whole number,\n"
        "                 default 1000000000), --fid, --fad and --angular-range (default: equipment.dat),\n"
        "                 --fcd (the distance at which the air kerma is measured; default the FAD),\n"
        "                 --equipment (the equipment name; default: equipment.dat).\n"
        "  equipment.dat  lines 1 to 4 from the entries above, the angles kept. When DIR holds none,\n"
        "                 the starting record shipped with the programs is read, and the message says so.\n"
        "  RunOptions.dat --sagd-sigma and --map-sigma: the run stops once the sAGD's relative 1-sigma,\n"
        "                 or the median voxel's, is at most this percentage (an empty value: no target;\n"
        "                 default: as RunOptions.dat has them). The file's other settings stay.\n"
        "  Geometry.dat   only with a --paddle-* or --support-* option: the plates of the unit\n"
        "                 (0 to 10 mm each), the file's other settings kept.\n"
        "  Edition.dat    only with --edition-file: the engines then speak the edition of --edition.\n"
        "Exit status: 0 written, 1 an entry refused or a file fault (nothing written), 2 bad options.\n"
        "Then start the engine in DIR: halvex (mammography) or tiravex (tomosynthesis).",
    .missingInput = "The run needs a history count (--histories) and a result name (--name).",
    .nothingTyped = "{field}: nothing was given.",
    .notAFileName = "--name: \"%1\" cannot be used as a file name.\n"
                    "Give a name without \"/\", \"\\\" or control characters.",
    .nothingWritten = "Nothing was written.",
    .badSagdTarget = "--sagd-sigma: \"%1\" cannot be used as the sAGD target.\n"
                     "Give a percentage above 0 and at most 100, or an empty value for none.",
    .badMapTarget = "--map-sigma: \"%1\" cannot be used as the map target.\n"
                    "Give a percentage above 0 and at most 100, or an empty value for none.",
    .cannotUseOptions = "The run options could not be kept: %1",
    .cannotWrite = "The file %1 could not be written.",
    .notAFraction = "--glandular: \"%1\" is none of 10, 20, 30, 40, 50, 60, 70, 80, 90 "
                    "(the composition files BR12-10.dat .. BR12-90.dat).",
    .plateOutOfRange = "%1: give a thickness from 0 to 10 mm.",
    .notAFolder = "%1 is not a folder.",
    .written = "Written: %1",
    .next = "Next: halvex (mammography) or tiravex (tomosynthesis) in %1 writes %2.",
};

inline constexpr CaseTexts japaneseCaseTexts{
    .usage =
        "使い方: kv-case --name NAME [--dir DIR] [--edition en|ja]\n"
        "               [--thickness CM] [--glandular PERCENT]\n"
        "               [--histories N] [--equipment TEXT] [--fid CM] [--fad CM] [--angular-range DEG]\n"
        "               [--fcd CM] [--sagd-sigma PERCENT] [--map-sigma PERCENT]\n"
        "               [--paddle-mm MM] [--paddle-material polycarbonate|pmma]\n"
        "               [--support-mm MM] [--support-material polycarbonate|pmma]\n"
        "               [--edition-file] [--help]\n"
        "1 回のシミュレーションの入力ファイルを DIR（既定: 現在のフォルダ）に、同じ入力に対して\n"
        "ファントム設定画面と設定画面の「OK」が書くのと同じ内容で書きます。画面が受け付けない入力は\n"
        "同じく受け付けず、そのときはどのファイルも書きません。\n"
        "  Phantom.dat    --thickness（cm、0.1 ～ 6、既定 5）と --glandular（10, 20 .. 90、既定 50）。\n"
        "                 組成ファイル BR12-<glandular>.dat を指定します。\n"
        "  MC.dat         --name（必須: 結果ファイル NAME.vesk）、--histories（整数、既定 1000000000）、\n"
        "                 --fid, --fad, --angular-range（既定: equipment.dat の値）、\n"
        "                 --fcd（空気カーマを測定した距離、既定 FAD）、--equipment（装置名、既定: "
        "equipment.dat）。\n"
        "  equipment.dat  1 ～ 4 行目を上の入力から書き、角度はそのまま残します。DIR に無いときは\n"
        "                 プログラムと共に配布された初期ファイルを読み、その旨を表示します。\n"
        "  RunOptions.dat --sagd-sigma と --map-sigma: sAGD の相対 1σ、またはボクセルの中央値がこの %\n"
        "                 以下になった時点で計算を終えます（空の値で目標なし。既定: RunOptions.dat の値）。\n"
        "                 ファイルのほかの設定はそのまま残します。\n"
        "  Geometry.dat   --paddle-* または --support-* を指定したときだけ: 装置の圧迫板と支持台\n"
        "                 （それぞれ 0 ～ 10 mm）。ファイルのほかの設定はそのまま残します。\n"
        "  Edition.dat    --edition-file を指定したときだけ: エンジンは --edition の版の言葉で表示します。\n"
        "終了コード: 0 書き込み完了、1 入力を受け付けないかファイルの不具合（何も書きません）、2 "
        "オプションの誤り。\n"
        "続けて DIR でエンジンを起動します: halvex（マンモグラフィ）または tiravex（トモシンセシス）。",
    .missingInput = "入射光子数 (--histories) と結果ファイル名 (--name) が必要です。",
    .nothingTyped = "{field}：値が空です。",
    .notAFileName = "--name：「%1」はファイル名に使えません。\n"
                    "「/」「\\」や制御文字を含まない名前を指定して下さい。",
    .nothingWritten = "何も書き込んでいません。",
    .badSagdTarget = "--sagd-sigma：「%1」は sAGD の目標に使えません。\n"
                     "0 より大きく 100 以下の % を指定するか、目標なしには空の値を指定して下さい。",
    .badMapTarget = "--map-sigma：「%1」は線量分布の目標に使えません。\n"
                    "0 より大きく 100 以下の % を指定するか、目標なしには空の値を指定して下さい。",
    .cannotUseOptions = "実行オプションを保存できませんでした: %1",
    .cannotWrite = "ファイル %1 に書き込めませんでした。",
    .notAFraction = "--glandular：「%1」は 10, 20, 30, 40, 50, 60, 70, 80, 90 のいずれでもありません"
                    "（組成ファイル BR12-10.dat .. BR12-90.dat）。",
    .plateOutOfRange = "%1：0 ～ 10 mm の厚さを指定して下さい。",
    .notAFolder = "%1 はフォルダではありません。",
    .written = "書き込み: %1",
    .next = "次に %1 で halvex（マンモグラフィ）または tiravex（トモシンセシス）を起動すると %2 を書きます。",
};

constexpr const CaseTexts& caseTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseCaseTexts : englishCaseTexts;
}

} // namespace kv::texts
