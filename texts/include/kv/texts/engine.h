#pragma once
// The engines halvex and tiravex are single programs for both editions: they
// hold both editions' texts and take the one named by Edition.dat, which the
// workbench writes at "Simulation Start" (English without it).
#include "kv/texts/text.h"

namespace kv::texts {

// Why an engine refuses its inputs, each the problem of one file; `refusal`
// puts the file's name before it. Keys in braces are filled in by the engine.
struct EngineInputTexts {
    Text refusal;               // {file}, {problem}
    Text historiesTooFew;       // {value}
    Text historiesTooMany;      // {value}, {max}
    Text historiesNotWhole;     // {value}
    Text resultNameNotInFolder; // {name}
    Text resultNameExtension;   // {name}, {ext}
    Text fieldSize;             // {x}, {y}, {min}, {max}
    Text fidRange;              // {value}, {min}, {max}
    Text fcdRange;              // {value}, {min}, {max}
    Text fadRange;              // {value}, {min}, {fid}
    Text rotationAxisAtFocus;   // {value}, {fid}: Geometry.dat's rotation_axis_cm
    Text angularRange;          // {value}, {max}
    Text equipmentControl;
    Text fractionControl;
    Text protocolThickness;    // {value}
    Text adiposeLayers;        // {adipose}, {value}
    Text thickness;            // {value}
    Text phantomSizeGrid;      // {x}, {y}
    Text phantomSizeReference; // {x}, {y}, {rx}, {ry}
    Text compositionName;      // {name}
    Text compositionFraction;  // {value}, {phantom}, {asked}
    Text noRoom;               // {value}, {thickness}
    Text spectrumHeaderNotFinite;
    Text spectrumShare; // {ray}, {energy}
    Text spectrumNoPhotons;
    Text folderProtected;
    Text folderFull;
    Text folderRefuses;
    // What would keep a finished run from being saved.
    Text resultNameTooLong; // {name}, {bytes}, {most}
    Text folderInTheWay;    // {name}
    Text pipeInTheWay;      // {name}
    Text olderProtected;    // {name}
    Text equipmentName;     // where a header text stands, for notInCodePage
    Text glandularFraction;
    Text compositionFile;
    Text notInCodePage;       // {where}, {text}
    Text headerNotInCodePage; // {line}
    Text tubeVoltage;         // the spectrum file's settings, for settingOutside
    Text targetAngle;
    Text tubeTilt;
    Text beryllium;
    Text aluminium;
    Text molybdenum;
    Text rhodium;
    Text silver;
    Text airLayer;
    Text settingOutside;    // {line}, {what}, {value}, {min}, {max}, {unit}
    Text shareAboveOne;     // {line}, {value}, {ray}, {energy}
    Text aboveTubeVoltage;  // {line}, {ray}, {energy}, {kv}
    Text noChamberPhotons;  // {y}, {fcd}
    Text fewChamberPhotons; // {y}, {fcd}
    Text paddleStops;       // {mm}, {share}
};

struct EngineTexts {
    Text captionMammography;   // window title of halvex
    Text captionTomosynthesis; // window title of tiravex
    Text heading;              // %1: the result file
    Text headingDone;          // %1: the result file, saved
    Text headingEnded;         // %1: the result file, the run over without it
    Text titleDone;            // after the window title once the run is over
    Text histories;
    Text historiesValue; // %1 done of %2
    Text rate;
    Text rateValue; // %1 histories per second
    Text elapsed;
    Text remaining;
    Text uncertaintyReference;
    Text uncertaintySagd;
    Text stopAndSave;
    Text cancel;
    Text close;
    Text running;
    Text useButtons;
    Text saved;           // %1 file, %2 histories
    Text stoppedAndSaved; // %1 file, %2 done, %3 asked
    Text cancelled;
    Text writeFailed;     // %1: why
    Text runFault;        // %1 done, %2 asked, %3 what happened
    Text savedAfterFault; // %1 file, %2 histories
    Text notSaved;        // %1: why (one of the reasons below)
    Text reasonNoHistories;
    Text reasonNotFinite;
    Text reasonNoAirKerma;
    Text reasonNoReferenceDose;
    Text reasonUnreadable;
    Text cannotStart;     // %1: the file and the problem
    Text consoleStart;    // %1 file, %2 histories, %3 threads
    Text consoleProgress; // %1 percent, %2 done, %3 asked, %4 rate, %5 elapsed, %6 remaining, %7 and %8
                          // uncertainties
    Text consoleHint;
    Text targetReached;      // %1 file, %2 histories, %3 the sAGD's uncertainty
    Text mapTargetReached;   // the same with a map target: %4 the voxels' median uncertainty
    Text usage;              // the command-line options
    Text badOption;          // %1: what is wrong
    Text consoleStartShared; // %1 file, %2 histories, %3 processes, %4 threads each
    Text builtWithoutMpi;
    // Durations on the progress window and the console.
    Text hoursMinutes;   // %1 h, %2 min
    Text minutesSeconds; // %1 min, %2 s
    Text seconds;        // %1 s
    EngineInputTexts inputs;
};

inline constexpr EngineTexts englishEngineTexts{
    .captionMammography = "halvex - Mammography Monte Carlo",
    .captionTomosynthesis = "tiravex - Tomosynthesis Monte Carlo",
    .heading = "Simulating %1",
    .headingDone = "Done: %1",
    .headingEnded = "Ended: %1",
    .titleDone = "done",
    .histories = "Histories",
    .historiesValue = "%1 of %2",
    .rate = "Rate",
    .rateValue = "%1 histories/s",
    .elapsed = "Elapsed",
    .remaining = "Remaining",
    .uncertaintyReference = "Relative uncertainty of the 100 % dose",
    .uncertaintySagd = "Relative uncertainty of the sAGD",
    .stopAndSave = "Stop and save",
    .cancel = "Cancel",
    .close = "Close",
    .running = "Running",
    .useButtons = "The simulation is running: use \"Stop and save\" or \"Cancel\".",
    .saved = "Saved %1 with %2 histories.",
    .stoppedAndSaved = "Stopped: saved %1 with %2 of %3 histories.",
    .cancelled = "Cancelled: no result file was written.",
    .writeFailed = "The result could not be written: %1",
    .runFault = "The run broke off after %1 of %2 histories: %3",
    .savedAfterFault = "Saved %1 with the %2 histories done before that.",
    .notSaved = "The result was not saved: %1.",
    .reasonNoHistories = "no history was run",
    .reasonNotFinite = "a dose or the air kerma is not a finite number",
    .reasonNoAirKerma = "the air kerma is zero or negative",
    .reasonNoReferenceDose =
        "the reference region holds no dose, so there is no 100 % dose; more photon histories "
        "(MC.dat, line 7) are needed",
    .reasonUnreadable = "the workbench could not read it back",
    .cannotStart = "The simulation cannot start. %1",
    .consoleStart = "Simulating %1: %2 histories on %3 threads.",
    .consoleProgress = "%1 %  %2 of %3 histories  %4 /s  elapsed %5  remaining %6  "
                       "uncertainty: 100 % dose %7, sAGD %8",
    .consoleHint = "Ctrl+C stops the run and saves the histories done so far.",
    .targetReached = "Target uncertainty reached: saved %1 with %2 histories (sAGD %3).",
    .mapTargetReached =
        "Target uncertainties reached: saved %1 with %2 histories (sAGD %3, median of the voxels %4).",
    .usage = "usage: halvex|tiravex [--sagd-sigma P] [--map-sigma P] [--no-maps] [--seed S] [--threads N]\n"
             "  --sagd-sigma P  stop at the end of a batch once the sAGD's relative 1-sigma is at most\n"
             "                  P % (0 < P <= 100); the history count of MC.dat stays the upper limit\n"
             "  --map-sigma P   stop, from the 8th batch on, once the median relative 1-sigma of the\n"
             "                  total dose over the reference region's voxels is at most P %; with\n"
             "                  --sagd-sigma too, once both are met\n"
             "  --no-maps       a run for the sAGD and the 100 % dose alone: the voxels outside the\n"
             "                  reference column are scored where the photons interact, which is\n"
             "                  much faster and leaves them noisier\n"
             "  --seed S        random seed, decimal 0 .. 18446744073709551615; the same seed gives the\n"
             "                  same dose on any number of threads or processes\n"
             "  --threads N     threads of each process (default: the machine's cores, shared among\n"
             "                  the processes started on it)\n"
             "Options may be written --opt VALUE or --opt=VALUE. Options given here override\n"
             "RunOptions.dat of the working directory\n"
             "(lines sagd_sigma_percent = P, map_sigma_percent = P, maps = no and seed = S).\n"
             "halvex-mpi and tiravex-mpi (package kelvane-vesk-mpi) share the batches over the\n"
             "processes of mpirun; process 0 shows the progress, takes Ctrl+C and writes the result file.",
    .badOption = "The simulation cannot start: %1",
    .consoleStartShared = "Simulating %1: %2 histories on %3 processes of %4 threads.",
    .builtWithoutMpi =
        "This engine runs in one process and cannot share a run over processes: start it without "
        "mpirun, or use halvex-mpi or tiravex-mpi (package kelvane-vesk-mpi) under mpirun.",
    .hoursMinutes = "%1 h %2 min",
    .minutesSeconds = "%1 min %2 s",
    .seconds = "%1 s",
    .inputs =
        {
            .refusal = "{file}: {problem}",
            .historiesTooFew = "line 7 asks for {value} photon histories; at least 1 is needed",
            .historiesTooMany = "line 7 asks for {value} photon histories; at most {max} can be run at once",
            .historiesNotWhole = "line 7 asks for {value} photon histories; a whole number is needed",
            .resultNameNotInFolder =
                "line 8, the result file name \"{name}\", is not a name in the working directory",
            .resultNameExtension = "line 8, the result file name \"{name}\", does not end in {ext}",
            .fieldSize = "the field size {x} x {y} cm (lines 1 and 2) cannot be used: each side must be "
                         "{min} to {max} cm",
            .fidRange = "the FID of {value} cm (line 3) must lie between {min} and {max} cm",
            .fcdRange = "the FCD of {value} cm (line 5) must lie between {min} and {max} cm",
            .fadRange = "the FAD of {value} cm (line 4) must lie between {min} cm and the FID of {fid} cm",
            .rotationAxisAtFocus = "rotation_axis_cm = {value} puts the rotation axis at or above the focus "
                                   "(the FID of MC.dat is {fid} cm)",
            .angularRange = "the angular range of {value} deg (line 6) exceeds {max} deg",
            .equipmentControl =
                "line 9, the equipment name, holds a control character (a line end inside the line?)",
            .fractionControl =
                "line 1, the glandular fraction, holds a control character (a line end inside the line?)",
            .protocolThickness =
                "the breast thickness of {value} cm (line 5) lies outside 2 to 11 cm, the protocol breast "
                "model's range",
            .adiposeLayers = "the adipose layers of {adipose} mm top and bottom leave no inner region in a "
                             "{value} cm breast",
            .thickness = "the phantom thickness of {value} cm (line 5) lies outside 0.1 to 6.0 cm",
            .phantomSizeGrid =
                "the phantom size {x} x {y} cm (lines 3 and 4) exceeds the 15 x 15 cm voxel grid",
            .phantomSizeReference =
                "the phantom size {x} x {y} cm (lines 3 and 4) does not hold the reference "
                "region of the dose, {rx} x {ry} cm from the chest-wall edge",
            .compositionName = "line 2 names \"{name}\", which is not a file of the working directory",
            .compositionFraction = "holds the glandular fraction {value} %, but {phantom} asks for {asked} %",
            .noRoom =
                "the FID of {value} cm (line 3) leaves no room for the support, the {thickness} cm phantom "
                "and the paddle",
            .spectrumHeaderNotFinite = "its header holds a value that is not a finite number",
            .spectrumShare = "the share of ray {ray} at {energy} keV is not a finite number of 0 or more",
            .spectrumNoPhotons = "the spectrum holds no photons above 1 keV",
            .folderProtected = "cannot be written in the working folder, which is write-protected",
            .folderFull = "cannot be written in the working folder, which has less than 32 MB free",
            .folderRefuses = "cannot be written in the working folder",
            .resultNameTooLong =
                "line 8 names the result file \"{name}\", {bytes} bytes long; the working folder "
                "takes names of at most {most} bytes: choose a shorter name",
            .folderInTheWay =
                "line 8 names the result file \"{name}\", but a folder of that name stands in the "
                "working folder, and a result cannot replace it: choose another name",
            .pipeInTheWay =
                "line 8 names the result file \"{name}\", but a pipe or device of that name stands in "
                "the working folder, and a result cannot replace it: choose another name",
            .olderProtected =
                "line 8 names the result file \"{name}\", but the older result of that name is "
                "write-protected, so the new one could not replace it: remove the protection or "
                "choose another name",
            .equipmentName = "line 9, the equipment name",
            .glandularFraction = "line 1, the glandular fraction",
            .compositionFile = "line 2, the composition file",
            .notInCodePage =
                "{where} \"{text}\", holds characters that the result file's code page (CP932) "
                "cannot hold (shown as \xEF\xBF\xBD where the bytes were no CP932 text): type it "
                "again in letters, digits, kana or kanji",
            .headerNotInCodePage = "its header line \"{line}\" holds characters that CP932 cannot hold",
            .tubeVoltage = "the tube voltage",
            .targetAngle = "the target angle",
            .tubeTilt = "the tube tilt angle",
            .beryllium = "the beryllium filter",
            .aluminium = "the aluminium filter",
            .molybdenum = "the molybdenum filter",
            .rhodium = "the rhodium filter",
            .silver = "the silver filter",
            .airLayer = "the air layer",
            .settingOutside = "line {line}, {what} of {value} {unit}, lies outside {min} to {max} {unit}",
            .shareAboveOne =
                "line {line}: the share {value} of ray {ray} at {energy} keV is more than 1; the "
                "shares of all rays add up to 1",
            .aboveTubeVoltage =
                "line {line}: ray {ray} holds photons at {energy} keV, above the tube voltage of "
                "{kv} kV (line 2)",
            .noChamberPhotons =
                "the rays hold no photons toward the point where the air kerma is taken (on the "
                "central line, {y} cm from the chest-wall edge, at the FCD of {fcd} cm), so the "
                "doses per air kerma would mean nothing",
            .fewChamberPhotons =
                "the rays hold almost no photons toward the point where the air kerma is taken "
                "(on the central line, {y} cm from the chest-wall edge, at the FCD of {fcd} cm), "
                "so the doses per air kerma would mean nothing",
            .paddleStops =
                "hardly any of the spectrum's photons cross the {mm} mm compression paddle (a share "
                "of {share}), so the run could give no dose: the spectrum needs photons of more than "
                "a few keV",
        },
};

inline constexpr EngineTexts japaneseEngineTexts{
    .captionMammography = "halvex - マンモグラフィ モンテカルロ計算",
    .captionTomosynthesis = "tiravex - トモシンセシス モンテカルロ計算",
    .heading = "%1 を計算中",
    .headingDone = "%1 の計算が終了しました",
    .headingEnded = "%1 の計算は終了しました（保存されていません）",
    .titleDone = "終了",
    .histories = "ヒストリー数",
    .historiesValue = "%2 個中 %1 個",
    .rate = "速度",
    .rateValue = "%1 ヒストリー/秒",
    .elapsed = "経過時間",
    .remaining = "残り時間",
    .uncertaintyReference = "100% 線量の相対不確かさ",
    .uncertaintySagd = "sAGD の相対不確かさ",
    .stopAndSave = "中止して保存",
    .cancel = "キャンセル",
    .close = "閉じる",
    .running = "計算中",
    .useButtons = "シミュレーションの実行中です：「中止して保存」または「キャンセル」を使って下さい。",
    .saved = "%1 を %2 ヒストリーで保存しました。",
    .stoppedAndSaved = "中止しました：%1 を %3 ヒストリー中 %2 ヒストリーで保存しました。",
    .cancelled = "キャンセルしました：結果ファイルは書き込んでいません。",
    .writeFailed = "結果を書き込めませんでした：%1",
    .runFault = "%2 ヒストリー中 %1 ヒストリーで計算が中断しました：%3",
    .savedAfterFault = "それまでの %2 ヒストリーで %1 を保存しました。",
    .notSaved = "結果は保存していません：%1。",
    .reasonNoHistories = "ヒストリーを一つも計算していません",
    .reasonNotFinite = "線量または空気カーマが有限の数値ではありません",
    .reasonNoAirKerma = "空気カーマが 0 以下です",
    .reasonNoReferenceDose =
        "基準領域に線量がなく、100% 線量が求められません。MC.dat の 7 行目のヒストリー数を増やしてください",
    .reasonUnreadable = "ワークベンチが読み戻せませんでした",
    .cannotStart = "シミュレーションを開始できません。%1",
    .consoleStart = "%1 を計算します：%2 ヒストリー、%3 スレッド。",
    .consoleProgress = "%1 %  %3 ヒストリー中 %2  %4 /秒  経過 %5  残り %6  "
                       "不確かさ：100% 線量 %7、sAGD %8",
    .consoleHint = "Ctrl+C で計算を止め、それまでのヒストリーを保存します。",
    .targetReached = "目標の不確かさに達しました：%1 を %2 ヒストリーで保存しました (sAGD %3)。",
    .mapTargetReached = "目標の不確かさに達しました：%1 を %2 ヒストリーで保存しました "
                        "(sAGD %3、ボクセルの中央値 %4)。",
    .usage = "使い方: halvex|tiravex [--sagd-sigma P] [--map-sigma P] [--no-maps] [--seed S] [--threads N]\n"
             "  --sagd-sigma P  バッチの終わりで sAGD の相対 1σ が P % 以下 (0 < P <= 100) になったら\n"
             "                  止めます。MC.dat のヒストリー数が上限です\n"
             "  --map-sigma P   8 バッチ目以降、参照領域のボクセルの全線量の相対 1σ の中央値が P % 以下に\n"
             "                  なったら止めます。--sagd-sigma もあれば、両方を満たしたときに止めます\n"
             "  --no-maps       sAGD と 100% 線量のための計算: 基準列の外のボクセルは光子が相互作用した\n"
             "                  場所で数えます。ずっと速く、そのボクセルの雑音は大きくなります\n"
             "  --seed S        乱数の種 (10 進数 0 .. 18446744073709551615)。同じ種からは、スレッド数や\n"
             "                  プロセス数によらず同じ線量が得られます\n"
             "  --threads N     各プロセスのスレッド数 (既定: この計算機のコア数を、その上で起動した\n"
             "                  プロセスで分け合います)\n"
             "オプションは --opt 値 とも --opt=値 とも書けます。ここで指定したオプションは作業フォルダの\n"
             "RunOptions.dat (sagd_sigma_percent = P、map_sigma_percent = P、maps = no、seed = S の行) より\n"
             "優先します。\n"
             "halvex-mpi と tiravex-mpi (パッケージ kelvane-vesk-mpi) は mpirun のプロセスでバッチを\n"
             "分け合います。プロセス 0 が進み具合を表示し、Ctrl+C を受け、結果ファイルを書き込みます。",
    .badOption = "シミュレーションを開始できません：%1。",
    .consoleStartShared = "%1 を計算します：%2 ヒストリー、%3 プロセス × 各 %4 スレッド。",
    .builtWithoutMpi =
        "このエンジンは 1 プロセスで動作し、計算をプロセス間で分け合えません。mpirun を使わずに"
        "起動するか、mpirun では halvex-mpi または tiravex-mpi (パッケージ kelvane-vesk-mpi) "
        "を使って下さい。",
    .hoursMinutes = "%1 時間 %2 分",
    .minutesSeconds = "%1 分 %2 秒",
    .seconds = "%1 秒",
    .inputs =
        {
            .refusal = "{file}：{problem}",
            .historiesTooFew = "7 行目のヒストリー数 {value} では計算できません。1 以上が必要です",
            .historiesTooMany =
                "7 行目のヒストリー数 {value} は多すぎます。一度に計算できるのは {max} までです",
            .historiesNotWhole = "7 行目のヒストリー数 {value} は整数ではありません",
            .resultNameNotInFolder = "8 行目の結果ファイル名「{name}」は作業フォルダ内の名前ではありません",
            .resultNameExtension = "8 行目の結果ファイル名「{name}」が {ext} で終わっていません",
            .fieldSize = "照射野 {x} x {y} cm (1、2 行目) は使えません。各辺は {min}～{max} cm です",
            .fidRange = "FID {value} cm (3 行目) は {min} cm 以上 {max} cm 以下でなければなりません",
            .fcdRange = "FCD {value} cm (5 行目) は {min} cm 以上 {max} cm 以下でなければなりません",
            .fadRange = "FAD {value} cm (4 行目) は {min} cm 以上 FID {fid} cm 以下でなければなりません",
            .rotationAxisAtFocus = "rotation_axis_cm = {value} では回転軸が焦点の位置かそれより上になります "
                                   "(MC.dat の FID は {fid} cm)",
            .angularRange = "角度範囲 {value} 度 (6 行目) が {max} 度を超えています",
            .equipmentControl = "9 行目の装置名に制御文字があります (行の途中に改行?)",
            .fractionControl = "1 行目の乳腺割合に制御文字があります (行の途中に改行?)",
            .protocolThickness =
                "乳房の厚さ {value} cm (5 行目) がプロトコル乳房モデルの範囲 2～11 cm の外です",
            .adiposeLayers = "上下 {adipose} mm の脂肪層では厚さ {value} cm の乳房に内部領域が残りません",
            .thickness = "ファントムの厚さ {value} cm (5 行目) が 0.1～6.0 cm の範囲外です",
            .phantomSizeGrid =
                "ファントムサイズ {x} x {y} cm (3、4 行目) が 15 x 15 cm のボクセル格子を超えています",
            .phantomSizeReference =
                "ファントムサイズ {x} x {y} cm (3、4 行目) には、線量の基準領域 (胸壁端から "
                "{rx} x {ry} cm) が入りません",
            .compositionName = "2 行目の「{name}」は作業フォルダのファイル名ではありません",
            .compositionFraction = "乳腺割合は {value} % ですが、{phantom} は {asked} % を指定しています",
            .noRoom = "FID {value} cm (3 行目) では、支持台、厚さ {thickness} cm "
                      "のファントムと圧迫板が収まりません",
            .spectrumHeaderNotFinite = "見出しに有限の数値でない値があります",
            .spectrumShare = "光線 {ray} の {energy} keV の割合が 0 以上の有限の数値ではありません",
            .spectrumNoPhotons = "スペクトルに 1 keV を超える光子がありません",
            .folderProtected = "作業フォルダが書き込み禁止のため書き込めません",
            .folderFull = "作業フォルダの空きが 32 MB 未満のため書き込めません",
            .folderRefuses = "作業フォルダに書き込めません",
            .resultNameTooLong =
                "8 行目の結果ファイル名「{name}」は {bytes} バイトですが、作業フォルダに置ける名前は "
                "{most} バイトまでです。短い名前にして下さい",
            .folderInTheWay =
                "8 行目の結果ファイル名「{name}」と同じ名前のフォルダが作業フォルダにあり、結果で"
                "置き換えられません。別の名前にして下さい",
            .pipeInTheWay =
                "8 行目の結果ファイル名「{name}」と同じ名前のパイプまたはデバイスが作業フォルダにあり、"
                "結果で置き換えられません。別の名前にして下さい",
            .olderProtected =
                "8 行目の結果ファイル名「{name}」の以前の結果は書き込み禁止のため、新しい結果で置き"
                "換えられません。書き込み禁止を解除するか、別の名前にして下さい",
            .equipmentName = "9 行目の装置名",
            .glandularFraction = "1 行目の乳腺含有率",
            .compositionFile = "2 行目の組成ファイル名",
            .notInCodePage =
                "{where}「{text}」に、結果ファイルの文字コード (CP932) で書けない文字があります "
                "(CP932 の文字でないバイトは \xEF\xBF\xBD と表示)。英数字、かな、漢字で入力し直して"
                "下さい",
            .headerNotInCodePage = "ヘッダーの行「{line}」に CP932 で書けない文字があります",
            .tubeVoltage = "管電圧",
            .targetAngle = "ターゲット角度",
            .tubeTilt = "管球傾斜角",
            .beryllium = "ベリリウムフィルタ",
            .aluminium = "アルミニウムフィルタ",
            .molybdenum = "モリブデンフィルタ",
            .rhodium = "ロジウムフィルタ",
            .silver = "銀フィルタ",
            .airLayer = "空気層",
            .settingOutside = "{line} 行目の{what} {value} {unit} は {min} ～ {max} {unit} の範囲外です",
            .shareAboveOne =
                "{line} 行目: 光線 {ray} の {energy} keV の割合 {value} が 1 を超えています。全光線の"
                "割合の合計は 1 です",
            .aboveTubeVoltage =
                "{line} 行目: 光線 {ray} に、管電圧 {kv} kV (2 行目) を超える {energy} keV の光子"
                "があります",
            .noChamberPhotons =
                "空気カーマを求める点 (中心線上、胸壁端から {y} cm、FCD {fcd} cm) へ向かう光子が"
                "光線にないため、空気カーマあたりの線量が意味を持ちません",
            .fewChamberPhotons =
                "空気カーマを求める点 (中心線上、胸壁端から {y} cm、FCD {fcd} cm) へ向かう光子が"
                "光線にほとんどないため、空気カーマあたりの線量が意味を持ちません",
            .paddleStops = "スペクトルの光子は {mm} mm の圧迫板をほとんど透過しない (透過割合 {share}) ため、"
                           "線量が得られません。数 keV を超える光子が必要です",
        },
};

constexpr const EngineTexts& engineTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseEngineTexts : englishEngineTexts;
}

// The edition the engine runs in, chosen once at its start (English until then).
inline Edition& engineEdition() {
    static Edition e = Edition::English;
    return e;
}
inline const EngineTexts& engineTexts() {
    return engineTextsOf(engineEdition());
}

} // namespace kv::texts
