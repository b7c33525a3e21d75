#pragma once
// kv-sweep, the table of conversion factors from the command line. One
// program for both editions: `--edition ja` chooses the Japanese texts.
#include "kv/texts/text.h"

namespace kv::texts {

struct SweepTexts {
    Text usage;
    Text noGrid;
    Text noOut;
    Text outNotFolder;  // %1: the folder
    Text mergeNoFolder; // %1: the folder
    Text otherGrid;     // %1: the folder, %2: the grid it holds, %3: its record
    Text rowClaimed;    // %1 line, %2 the process, %3 its claim
    Text cannotStart;   // %1: the file and the problem
    Text gridFault;     // %1: the file, %2: the problem
    Text badRow;        // %1: line, %2: the problem
    Text rowStart;      // %1 row number, %2 rows, %3 line, %4 the row in short
    Text rowsStart;     // %1 first row, %2 last row, %3 rows, %4 processes, %5 process 0's line, %6 its row
    Text
        rowProgress; // %1 line, %2 percent, %3 histories asked, %4 sAGD sigma, %5 restEstimate or after first
    Text restEstimate; // %1 the rest of the sweep, %2 rows done
    Text restAfterFirstRow;
    Text rowDone;        // %1 line, %2 file, %3 sAGD, %4 sigma, %5 seconds
    Text rowKept;        // %1 line, %2 file
    Text rowMissing;     // %1 line
    Text tableWritten;   // %1 the table, %2 rows
    Text plotWritten;    // %1 the plot
    Text plotNotWritten; // %1 why
    Text rowsRefused;    // %1 count
    Text interrupted;
    Text withoutMpi; // kv-sweep started by mpirun
    Text plotTitle;
    Text plotThickness;
    Text plotSagd;
    Text mammography;
    Text tomosynthesis;
    Text rowRedone; // %1 line, %2 why the stored result no longer fits
    Text staleInputs;
    Text stalePhysics;
    Text staleResult;
    Text gPlotTitle;
    Text gPlotHvl;
    Text gPlotG;
    Text tPlotTitle;
    Text tPlotAngle;
    Text tPlotT;
    // The grid's faults: a header or file fault follows "%1: " with the grid's
    // name, a row's fault follows badRow. Column names and values as typed.
    Text gridNoHeader;
    Text gridUnknownColumn; // %1 line, %2 the column
    Text gridColumnTwice;   // %1 line, %2 the column
    Text gridLacksColumn;   // %1 the column
    Text gridNotReadable;
    Text gridTooLarge;
    Text gridCannotBeRead;
    Text rowCellCount;           // %1 values, %2 columns
    Text cellNotNumber;          // %1 column, %2 value
    Text cellOutside;            // %1 column, %2 value, %3 lowest, %4 highest
    Text cellEmpty;              // %1 column
    Text modelNeither;           // %1 value
    Text noInnerRegion;          // %1 adipose_mm, %2 thickness in cm
    Text platesNeither;          // %1 value
    Text onlyProtocol;           // %1 column
    Text noComposition;          // %1 glandular_percent
    Text targetNeither;          // %1 value
    Text methodNeither;          // %1 value
    Text seedNotWhole;           // %1 value
    Text onlyTomosynthesis;      // %1 column
    Text projectionsNotScan;     // %1 value
    Text loadingNotShares;       // %1 value, %2 projections
    Text angleBesideProjections; // %1 value
    Text axisAtFocus;            // %1 value, %2 fid_cm
    // A row that fails while it runs.
    Text rowNoPhotons;
    Text rowResultRefused;
    Text rowResultUnreadable; // %1 the result file
    // What stands where a row's note, figures or result belong and is no file
    // the sweep can read: the row is refused, nothing written over it.
    Text noteRefused;   // %1 the name, %2 one of the kinds below, %3 the row's result file
    Text resultRefused; // %1 the name, %2 one of the kinds below
    Text kindFolder;
    Text kindSpecial;
    Text kindDanglingLink;
    Text kindUnreadable;
    Text claimRefused;      // %1 line, %2 the claim, %3 one of the kinds above
    Text rowMissingBecause; // %1 line, %2 why
    // A stored result whose own checks fail: run again, and why.
    Text staleDamaged; // %1 one of the damage texts, or atLine of one
    Text damageCutShort;
    Text damageNotNameValue;
    Text damageNameTwice;
    Text damageTextBefore;
    Text damageTextAfter;
    Text damageHashNotLast;
    Text damageHashMismatch;
    Text damageDisagrees; // %1 the trailer's name
    Text damageValues;
    Text atLine; // %1 the damage, %2 the line
    // Rows that give neither histories nor sagd_sigma_percent, said once before the first row.
    Text defaultHistories; // %1 rows, %2 histories, %3 time per row, %4 threads, %5 time of them all
    Text gridTooManyRows;  // %1 the limit
};

inline constexpr SweepTexts englishSweepTexts{
    .usage =
        "usage: kv-sweep GRID.csv --out DIR [--data DIR] [--threads N] [--shard I/N] [--merge] [--factors]\n"
        "                [--edition en|ja]\n"
        "  Runs one simulation per row of GRID.csv and writes DIR/table.csv and DIR/sagd.png.\n"
        "  GRID.csv: a header row, then one row per run; columns in any order. Required: thickness_cm,\n"
        "  glandular_percent (10, 20 .. 90), target (Mo, W or Rh), kv. Optional: method (mammography or\n"
        "  tomosynthesis), be_mm, al_mm, mo_mm, rh_mm, ag_mm, air_cm, target_angle, tilt, fid_cm, fcd_cm,\n"
        "  fad_cm, angular_range, histories, sagd_sigma_percent, seed, model (workbench or protocol),\n"
        "  adipose_mm (protocol, default 5), adipose_rim_mm (protocol: adipose round the curved edge too,\n"
        "  default 0), plates (protocol: absorbing, the default, or full),\n"
        "  spectrum_file (a measured spectrum in place of the model, found beside GRID.csv; its filters and\n"
        "  air start at 0, kv may come from the file). An empty or missing value takes the workbench's\n"
        "  default (equipment.dat, the spectrum screen's start values); naming mo_mm, rh_mm or ag_mm\n"
        "  replaces the target's own filter. The protocol breast takes any glandular_percent 0 .. 100 and\n"
        "  thickness_cm 2 .. 11.\n"
        "  Table: hvl1_mm_al is without the paddle, hvl1_mm_al_paddle with it; mgd is the mean glandular\n"
        "  dose of the whole breast per incident air kerma at its upper surface (mGy per mGy).\n"
        "  --data DIR    the working folder with equipment.dat, the BR12 files and the spectrum data\n"
        "                (default: the current folder); its Geometry.dat is used when present\n"
        "  --threads N   threads of each run (default: the cores, shared among the processes of a machine)\n"
        "  --shard I/N   run only rows I, I+N, I+2N ... (1 <= I <= N), for a job array; no table is written\n"
        "  --merge       build the table and the plot from the results already in DIR\n"
        "  --factors     also write DIR/factors.csv (g, c, s of the protocol rows) and DIR/g.png\n"
        "  A row whose result exists in DIR is not run again while its inputs, the files its run reads\n"
        "  (Geometry.dat and RunOptions.dat included), the engine's physics and the result file itself are\n"
        "  unchanged. A grid holds at most 10,000 rows and 16 MB. kv-sweep-mpi (package\n"
        "  kelvane-vesk-mpi) takes the same options and shares the rows over the processes of mpirun.",
    .noGrid = "No grid file given: kv-sweep GRID.csv --out DIR.",
    .noOut = "No --out folder given: kv-sweep GRID.csv --out DIR.",
    .outNotFolder = "%1: not a folder that can be made or used",
    .mergeNoFolder =
        "%1: no such folder; --merge reads what an earlier sweep wrote there and makes no folder",
    .otherGrid = "%1 holds the sweep of another grid (%2), and a different grid needs a folder of its own: "
                 "choose another --out folder, or delete %3 to add this grid's rows to that sweep",
    .rowClaimed =
        "  line %1: left to %2, which is running it; if no sweep runs there any more, delete %3 and "
        "run again",
    .cannotStart = "The sweep cannot start: %1",
    .gridFault = "%1: %2",
    .badRow = "Line %1 of the grid is not run: %2",
    .rowStart = "Row %1 of %2 (line %3): %4",
    .rowsStart = "Rows %1 to %2 of %3, one on each of %4 processes; process 0 runs line %5: %6",
    .rowProgress = "  line %1: %2 % of %3 histories, sAGD sigma %4; %5",
    .restEstimate = "the rest of the sweep about %1 (at the pace of the %2 rows done)",
    .restAfterFirstRow = "the rest of the sweep is estimated once a row is done",
    .rowDone = "  line %1: %2, sAGD %3 +- %4 %, %5 s",
    .rowKept = "  line %1: %2 already holds this row's result",
    .rowMissing = "Line %1 has no result in the output folder yet.",
    .tableWritten = "Wrote %1 (%2 rows).",
    .plotWritten = "Wrote %1.",
    .plotNotWritten = "The plot was not written: %1",
    .rowsRefused = "%1 rows of the grid have no result.",
    .interrupted = "Interrupted: the row under way was not saved; run the same command again to go on.",
    .withoutMpi =
        "kv-sweep runs in one process: under mpirun use kv-sweep-mpi, or share the rows with --shard I/N.",
    .plotTitle = "sAGD against phantom thickness",
    .plotThickness = "Phantom thickness (cm)",
    .plotSagd = "sAGD (mGy per mGy air kerma)",
    .mammography = "mammography",
    .tomosynthesis = "tomosynthesis",
    .rowRedone = "  line %1: the stored result no longer fits (%2); running it again",
    .staleInputs = "the files its run reads have changed",
    .stalePhysics = "it was made by another physics revision of the engine",
    .staleResult = "the result file is not the one stored",
    .gPlotTitle = "g-factor against HVL (50 % glandular, Mo/Mo)",
    .gPlotHvl = "First HVL with the paddle (mm Al)",
    .gPlotG = "g (mGy per mGy incident air kerma)",
    .tPlotTitle = "t-factor against the projection angle (per thickness)",
    .tPlotAngle = "Projection angle (degrees)",
    .tPlotT = "t (dose per loading over the 0 deg projection's)",
    .gridNoHeader = "holds no header row",
    .gridUnknownColumn = "line %1 names an unknown column \"%2\"",
    .gridColumnTwice = "line %1 names the column %2 twice",
    .gridLacksColumn = "the header row lacks the column %1",
    .gridNotReadable = "is not a readable file",
    .gridTooLarge = "is larger than 16 MB (16,777,216 bytes), the largest grid kv-sweep reads",
    .gridCannotBeRead = "cannot be read",
    .rowCellCount = "holds %1 values for %2 columns",
    .cellNotNumber = "%1 \"%2\" is not a number",
    .cellOutside = "%1 %2 lies outside %3 to %4",
    .cellEmpty = "%1 is empty",
    .modelNeither = "model \"%1\" is neither workbench nor protocol",
    .noInnerRegion = "adipose_mm %1 top and bottom leave no inner region in %2 cm",
    .platesNeither = "plates \"%1\" is neither absorbing nor full",
    .onlyProtocol = "%1 belongs to model protocol",
    .noComposition = "glandular_percent %1 has no composition file: use 10, 20 .. 90 (or model protocol)",
    .targetNeither = "target \"%1\" is not Mo, W or Rh",
    .methodNeither = "method \"%1\" is neither mammography nor tomosynthesis",
    .seedNotWhole = "seed \"%1\" is not a whole number 0 .. 18446744073709551615",
    .onlyTomosynthesis = "%1 belongs to method tomosynthesis",
    .projectionsNotScan = "projections %1 is neither 0 (a continuous sweep) nor a whole number from 2 to 40",
    .loadingNotShares =
        "projection_loading \"%1\" is not one share of 0 or more for each of the %2 projections, "
        "adding up to more than 0",
    .angleBesideProjections = "projection_angle %1 is a single projection: leave projections empty or 0",
    .axisAtFocus = "rotation_axis_cm %1 lies at or above the focus (fid_cm %2)",
    .rowNoPhotons = "the spectrum holds no photons",
    .rowResultRefused = "the result was refused",
    .rowResultUnreadable = "%1: the result cannot be read back",
    .noteRefused = "%1 is %2, not a note kv-sweep can read: the row is not run and %3 is left as it is; "
                   "move %1 away to run the row again",
    .resultRefused =
        "%1 is %2 where the row's result belongs: the row is not run; move it away to run the row",
    .kindFolder = "a folder",
    .kindSpecial = "a pipe, device or socket",
    .kindDanglingLink = "a symbolic link to nothing",
    .kindUnreadable = "a file that cannot be read",
    .claimRefused = "Line %1 of the grid is not run: its claim %2 is %3; move it away to run the row",
    .rowMissingBecause = "Line %1 has no result in the output folder: %2",
    .staleDamaged = "the stored result is damaged: %1",
    .damageCutShort = "its trailer is cut short before its end line",
    .damageNotNameValue = "its trailer holds a line that is no \"name = value\"",
    .damageNameTwice = "its trailer gives a name twice",
    .damageTextBefore = "text stands between its dose values and its trailer",
    .damageTextAfter = "text follows its trailer's end line",
    .damageHashNotLast = "its content hash is not the trailer's last line or not 64 hex digits",
    .damageHashMismatch = "its content hash does not match: its dose values or trailer were changed",
    .damageDisagrees = "its trailer's %1 is not what its header states",
    .damageValues = "its header or dose values cannot be read",
    .atLine = "%1 (line %2)",
    .defaultHistories =
        "Rows that give neither histories nor sagd_sigma_percent run the set-up screen's %2 "
        "histories each (%1 rows here): about %3 per row with %4 threads, about %5 for all of "
        "them (less for rows already stored); give histories or sagd_sigma_percent for shorter "
        "rows",
    .gridTooManyRows =
        "holds more than %1 rows: split it into grids of at most %1 rows, each with its own --out "
        "folder",
};

inline constexpr SweepTexts japaneseSweepTexts{
    .usage =
        "使い方: kv-sweep GRID.csv --out DIR [--data DIR] [--threads N] [--shard I/N] [--merge] [--factors]\n"
        "                [--edition en|ja]\n"
        "  GRID.csv の行ごとにシミュレーションを 1 回行い、DIR/table.csv と DIR/sagd.png を書きます。\n"
        "  GRID.csv: 見出し行のあと 1 行に 1 回分。列の順序は自由。必須: thickness_cm, glandular_percent\n"
        "  (10, 20 .. 90), target (Mo、W または Rh), kv。省略可: method (mammography または tomosynthesis),\n"
        "  be_mm, al_mm, mo_mm, rh_mm, ag_mm, air_cm, target_angle, tilt, fid_cm, fcd_cm, fad_cm,\n"
        "  angular_range, histories, sagd_sigma_percent, seed, model (workbench または protocol),\n"
        "  adipose_mm (protocol、既定 5), adipose_rim_mm (protocol: 曲面の縁も囲む脂肪層、既定 0),\n"
        "  plates (protocol: absorbing (既定) または full),\n"
        "  spectrum_file (モデルの代わりに使う実測スペクトル。GRID.csv "
        "と同じフォルダから探します。フィルタと\n"
        "  空気層は 0 から始まり、kv はファイルから取れます)。空欄や省略した値は\n"
        "  ワークベンチの既定値 (equipment.dat、スペクトル画面の初期値) になります。mo_mm, rh_mm, ag_mm を\n"
        "  指定するとターゲット既定のフィルタは使いません。プロトコル乳房では glandular_percent は 0 .. "
        "100、\n"
        "  thickness_cm は 2 .. 11 です。\n"
        "  表: hvl1_mm_al は圧迫板なし、hvl1_mm_al_paddle は圧迫板ありの第 1 半価層。mgd は乳房上面の入射\n"
        "  空気カーマ 1 mGy あたりの乳房全体の平均乳腺線量 (mGy) です。\n"
        "  --data DIR    equipment.dat、BR12 ファイル、スペクトルのデータがある作業フォルダ (既定: 現在の\n"
        "                フォルダ)。Geometry.dat があれば使います\n"
        "  --threads N   1 回の計算のスレッド数 (既定: コア数を同じ計算機のプロセスで分けた数)\n"
        "  --shard I/N   I, I+N, I+2N ... 行目だけを計算します (1 <= I <= N、ジョブ配列用)。表は書きません\n"
        "  --merge       DIR にある結果から表と図を作ります\n"
        "  --factors     DIR/factors.csv (プロトコル行の g, c, s) と DIR/g.png も書きます\n"
        "  DIR にある結果は、入力、計算が読むファイル (Geometry.dat と RunOptions.dat を含む)、エンジンの\n"
        "  物理、結果ファイルそのものが変わっていない限り計算し直しません。グリッドは 10,000 行、16 MB\n"
        "  までです。kv-sweep-mpi (パッケージ kelvane-vesk-mpi) は同じオプションで、mpirun のプロセスに\n"
        "  行を分けて計算します。",
    .noGrid = "グリッドファイルが指定されていません (kv-sweep GRID.csv --out DIR)。",
    .noOut = "--out のフォルダが指定されていません (kv-sweep GRID.csv --out DIR)。",
    .outNotFolder = "%1: 作成または使用できるフォルダではありません",
    .mergeNoFolder =
        "%1: フォルダがありません。--merge は以前のスイープが書いたものを読むだけで、フォルダは作りません",
    .otherGrid = "%1 には別のグリッド (%2) のスイープがあり、別のグリッドには別のフォルダが必要です。--out "
                 "に別のフォルダを指定するか、このグリッドの行をそのスイープに加えるなら %3 を削除して下さい",
    .rowClaimed = "  %1 行目: %2 が計算中のため任せます。そのスイープがもう動いていなければ %3 を削除して"
                  "再実行して下さい",
    .cannotStart = "スイープを開始できません: %1",
    .gridFault = "%1: %2",
    .badRow = "グリッドの %1 行目は計算しません: %2",
    .rowStart = "%2 行中 %1 行目 (%3 行目): %4",
    .rowsStart = "%3 行中 %1 行目から %2 行目 (%4 プロセスで 1 行ずつ)。プロセス 0 は %5 行目: %6",
    .rowProgress = "  %1 行目: ヒストリー %3 の %2 %、sAGD の不確かさ %4、%5",
    .restEstimate = "スイープの残り 約 %1 (終わった %2 行の速さから)",
    .restAfterFirstRow = "スイープの残りは 1 行終わってから見積もります",
    .rowDone = "  %1 行目: %2、sAGD %3 +- %4 %、%5 秒",
    .rowKept = "  %1 行目: %2 にこの行の結果があります",
    .rowMissing = "%1 行目の結果は出力フォルダにまだありません。",
    .tableWritten = "%1 を書きました (%2 行)。",
    .plotWritten = "%1 を書きました。",
    .plotNotWritten = "図を書けませんでした: %1",
    .rowsRefused = "グリッドの %1 行に結果がありません。",
    .interrupted =
        "中断しました: 計算中の行は保存していません。同じコマンドをもう一度実行すると続きから計算します。",
    .withoutMpi = "kv-sweep は 1 プロセスで動きます。mpirun では kv-sweep-mpi を使うか、--shard I/N "
                  "で行を分けて下さい。",
    .plotTitle = "ファントム厚に対する sAGD",
    .plotThickness = "ファントム厚 (cm)",
    .plotSagd = "sAGD (空気カーマ 1 mGy あたりの mGy)",
    .mammography = "マンモグラフィ",
    .tomosynthesis = "トモシンセシス",
    .rowRedone = "  %1 行目: 保存された結果は使えません (%2)。計算し直します",
    .staleInputs = "計算が読むファイルが変わりました",
    .stalePhysics = "エンジンの別の物理版で計算されたものです",
    .staleResult = "結果ファイルが保存時のものではありません",
    .gPlotTitle = "半価層に対する g 係数 (乳腺 50 %、Mo/Mo)",
    .gPlotHvl = "圧迫板ありの第 1 半価層 (mm Al)",
    .gPlotG = "g (入射空気カーマ 1 mGy あたりの mGy)",
    .tPlotTitle = "投影角度に対する t 係数 (乳房厚ごと)",
    .tPlotAngle = "投影角度 (度)",
    .tPlotT = "t (0 度の投影に対する同じ負荷あたりの線量の比)",
    .gridNoHeader = "見出し行がありません",
    .gridUnknownColumn = "%1 行目に未知の列名 \"%2\" があります",
    .gridColumnTwice = "%1 行目に列 %2 が 2 回あります",
    .gridLacksColumn = "見出し行に列 %1 がありません",
    .gridNotReadable = "読み込めるファイルではありません",
    .gridTooLarge = "kv-sweep が読めるグリッドの上限 16 MB (16,777,216 バイト) を超えています",
    .gridCannotBeRead = "読み込めません",
    .rowCellCount = "列は %2 個ですが、値が %1 個あります",
    .cellNotNumber = "%1 の \"%2\" は数値ではありません",
    .cellOutside = "%1 の %2 は %3 から %4 の範囲外です",
    .cellEmpty = "%1 が空欄です",
    .modelNeither = "model の \"%1\" は workbench でも protocol でもありません",
    .noInnerRegion = "adipose_mm %1 を上下に取ると、厚さ %2 cm の乳房に内部の領域が残りません",
    .platesNeither = "plates の \"%1\" は absorbing でも full でもありません",
    .onlyProtocol = "%1 は model が protocol の行でだけ使えます",
    .noComposition = "glandular_percent %1 の組成ファイルはありません。10, 20 .. 90 を使うか、model を "
                     "protocol にして下さい",
    .targetNeither = "target の \"%1\" は Mo、W、Rh のいずれでもありません",
    .methodNeither = "method の \"%1\" は mammography でも tomosynthesis でもありません",
    .seedNotWhole = "seed の \"%1\" は 0 .. 18446744073709551615 の整数ではありません",
    .onlyTomosynthesis = "%1 は method が tomosynthesis の行でだけ使えます",
    .projectionsNotScan = "projections の %1 は 0 (連続スキャン) でも 2～40 の整数でもありません",
    .loadingNotShares =
        "projection_loading の \"%1\" は %2 個の投影それぞれに 0 以上の配分を一つずつ与え、合計が 0 "
        "より大きいものではありません",
    .angleBesideProjections = "projection_angle の %1 は単一投影です。projections は空欄か 0 にして下さい",
    .axisAtFocus = "rotation_axis_cm の %1 は焦点 (fid_cm %2) の位置かそれより上です",
    .rowNoPhotons = "スペクトルに光子がありません",
    .rowResultRefused = "結果が受け付けられませんでした",
    .rowResultUnreadable = "%1: 結果を読み戻せません",
    .noteRefused = "%1 は%2で、kv-sweep が読めるメモではありません。この行は計算せず、%3 もそのままにします。"
                   "計算し直すには %1 を移動して下さい",
    .resultRefused = "行の結果を置く場所 %1 が%2です。この行は計算しません。計算するには移動して下さい",
    .kindFolder = "フォルダ",
    .kindSpecial = "パイプ、デバイスまたはソケット",
    .kindDanglingLink = "リンク先のないシンボリックリンク",
    .kindUnreadable = "読み込めないファイル",
    .claimRefused = "グリッドの %1 行目は計算しません: 予約 %2 が%3です。計算するには移動して下さい",
    .rowMissingBecause = "%1 行目の結果は出力フォルダにありません: %2",
    .staleDamaged = "保存された結果が壊れています: %1",
    .damageCutShort = "追加情報が終わりの行の前で切れています",
    .damageNotNameValue = "追加情報に「名前 = 値」でない行があります",
    .damageNameTwice = "追加情報に同じ名前が二度あります",
    .damageTextBefore = "線量値と追加情報の間に別の文字があります",
    .damageTextAfter = "追加情報の終わりの行のあとに文字があります",
    .damageHashNotLast = "内容のハッシュが追加情報の最後の行でないか、16 進 64 桁ではありません",
    .damageHashMismatch = "内容のハッシュが一致しません。線量値か追加情報が変更されています",
    .damageDisagrees = "追加情報の %1 がヘッダーの値と一致しません",
    .damageValues = "ヘッダーか線量値を読み込めません",
    .atLine = "%1 (%2 行目)",
    .defaultHistories = "%1 行は histories も sagd_sigma_percent も指定がなく、設定画面の既定の %2 "
                        "ヒストリーで計算します。%4 スレッドで 1 行あたり約 %3、全部で約 %5 "
                        "(保存済みの行はこれより短くなります)。短くするには histories か sagd_sigma_percent "
                        "を指定して下さい",
    .gridTooManyRows =
        "%1 行を超えています。%1 行以下のグリッドに分け、それぞれ別の --out フォルダで計算して下さい",
};

constexpr const SweepTexts& sweepTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseSweepTexts : englishSweepTexts;
}

} // namespace kv::texts
