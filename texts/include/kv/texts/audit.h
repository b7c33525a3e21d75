#pragma once
// kv-audit, the dose audit from the images' headers. One program for both
// editions: `--edition ja` chooses the Japanese texts. Marks: {name}.
#include "kv/texts/text.h"

namespace kv::texts {

struct AuditTexts {
    Text usage;
    Text needsOut;      // no --out
    Text needsPath;     // no PATH
    Text noFiles;       // the paths named hold no file
    Text noExposures;   // {files} read, {skipped} the table of why
    Text badNumber;     // {option} {text}
    Text badShard;      // {text}
    Text shardDone;     // {cache}
    Text notAPath;      // {path}
    Text cannotStart;   // {why}
    Text measuredFault; // {file} {line} {column} {value} {why}
    // The why of a measured table.
    Text measuredUnreadable, measuredUnknownColumn, measuredRepeatedColumn, measuredMissingColumn,
        measuredBadNumber, measuredBadTarget, measuredBadFilter, measuredNoHeader, measuredBadDbtKerma,
        measuredDbtKermaTwice, measuredBadModality, measuredBadBand;
    Text uncertaintyFault; // {file} {line} {value} {why}
    Text uncertaintyUnreadable, uncertaintyNoHeader, uncertaintyUnknownInput, uncertaintyBadNumber,
        uncertaintyRepeated;
    Text filesRead;     // {files} {exposures} {used} {skipped}
    Text factorsNeeded; // {count} {stored} {cache}
    Text factorStart;   // {n} {count} {label}
    Text factorDone;    // {id} {mgd} {sigma} {seconds}
    Text factorFailed;  // {label} {why}
    Text written;       // {file}
    Text notWritten;    // {file} {why}
    Text interrupted;
    // skipped.csv: the detail of each reason; {tag} {value}.
    Text skipNotAFile, skipNotDicom, skipUnreadable, skipNotMammography, skipSynthesized, skipTomosynthesis,
        skipAnode, skipFilter, skipMissing, skipBad, skipNoAirKerma, skipNoFactor;
    // A duplicate, by its rule; {value}: the exposure it is part of (an index, or indexEvent).
    Text skipSameInstance, skipSameEvent, skipOtherPresentation, skipSameScan;
    Text indexEvent;  // {index} {event}
    Text eventPrefix; // {event}: what concerns one event of a dose report
    // audit.csv's note: a value the dose went without; {tag} {value}.
    Text noteSetAside;
    Text noteNoScanFactor;       // a scan whose angles the header does not give, listed without its factor
    Text noteAsymmetricScan;     // {start} {end}: a scan off centre, listed without its factor
    Text noteScanAsSweep;        // a scan whose projections are not said, its factor a continuous sweep's
    Text noteLoadingNotUsed;     // {min} {max}: a step scan's unequal mAs, its factor's equal
    Text noteProjectionsUnknown; // a dose per projection, and no number of projections
    // The why of a factor that cannot be had; {value}.
    Text thicknessOutside, voltageOutside, hvlUnreachable;
    // audit.csv: what each row took.
    Text kFromOutput, kFromHeader, hvlMeasured, hvlHeader, hvlModel;
    Text noteHeaderHvlUnreachable; // {value}: the header's HVL, not reachable: the model's
    // Plots and the report.
    Text plotAgdTitle, plotThickness, plotAgd, plotOurs, plotUnit, plotRatioTitle, plotRatio, plotCount;
    Text plotTrendTitle, plotDays; // {date}: the first day of the axis
    Text reportQuarters, reportSteps, reportLevels;
    Text reportStepFound; // {device} {modality} {percent} {date} {t}
    // A unit's page: {device} {modality}; {count} {first} {last}; {k} {hvl}: counts by source; {band}.
    Text unitTitle, unitDates, unitSources, unitSmallBand, unitModelHvl, unitOutliers, unitNoOutliers,
        plotUnitTitle, plotUnitLine;
    Text reportTitle, reportVersion, reportMade, reportInputs, reportFactors, reportSummary, reportSkipped,
        reportMethod;
    Text reportMethodText;
};

inline constexpr AuditTexts englishAuditTexts{
    .usage =
        "usage: kv-audit PATH... --out DIR [--output OUTPUT.csv] [--hvl HVL.csv] [--data DIR] [--cache DIR]\n"
        "                [--threads N] [--histories N] [--shard I/N] [--paths] [--dbt-kerma "
        "scan|projection]\n"
        "                [--uncertainties FILE] [--reference-levels FILE] [--edition en|ja]\n"
        "  Reads the headers of the mammograms and tomosynthesis objects (never their pixels) and the\n"
        "  X-ray radiation dose reports in the files and folders named, counts each exposure once,\n"
        "  computes its average glandular dose with our own Monte Carlo factors and compares it with\n"
        "  the dose the unit reported. Writes DIR/audit.csv, skipped.csv, summary.csv,\n"
        "  summary_quarters.csv, dose_steps.csv, outliers.csv, agd_vs_thickness.png, ratio_hist.png,\n"
        "  median_agd_vs_date.png and report.pdf.\n"
        "  --output FILE   measured tube output (target,filter,kv,mgy_per_mas,distance_mm[,support_gap_mm]\n"
        "                  [,serial]), paddle in: the air kerma at the breast surface from mAs by inverse\n"
        "                  square; else the header's entrance dose\n"
        "  --hvl FILE      measured first HVLs (target,filter,kv,hvl_mm_al[,serial]), paddle in; else the\n"
        "                  header's, else the spectrum model's\n"
        "  --data DIR      the working folder with equipment.dat and the spectrum data (default: the "
        "current\n"
        "                  one when it holds equipment.dat, else the data shipped with the programs); its\n"
        "                  Geometry.dat gives the paddle and support\n"
        "  --cache DIR     where the factors' Monte Carlo runs are kept (default: DIR/factors); a run made\n"
        "                  once is used again, so a killed audit goes on where it stopped\n"
        "  --threads N     threads of each run (default: the cores)\n"
        "  --histories N   histories of each factor's run (default 1000000: about 0.11 % on the factor)\n"
        "  --shard I/N     compute only the factors I, I+N, I+2N ... into the cache, for a job array; a\n"
        "                  run without --shard then writes the audit from the cache\n"
        "  --paths         name the files in skipped.csv and audit.csv (they may hold patients' names)\n"
        "  --uncertainties FILE\n"
        "                  the 1-sigma uncertainty (per cent of the AGD) of K, HVL and glandularity by "
        "their\n"
        "                  source (input,sigma_percent: k_output, k_header, hvl_measured, hvl_header,\n"
        "                  hvl_model, glandularity); unnamed inputs keep their defaults\n"
        "  --reference-levels FILE\n"
        "                  levels to compare each unit's median AGD in a band with (level,modality,\n"
        "                  thickness_min_mm,thickness_max_mm,mgy[,view][,source]): reference_levels.csv\n"
        "  --dbt-kerma scan|projection\n"
        "                  whose dose a tomosynthesis object's entrance dose, mAs and organ dose are where\n"
        "                  the standard leaves it open: the whole scan's (the default) or one projection's;\n"
        "                  a unit's own rows of OUTPUT.csv may say it for that unit (column dbt_kerma)\n"
        "  No name, ID, date of birth, accession number, UID, institution or person's name is written;\n"
        "  each file has a number (index) in the order of its path instead.",
    .needsOut = "kv-audit: --out DIR is needed: the folder for the audit's files.",
    .needsPath = "kv-audit: name at least one file or folder of images.",
    .noFiles = "kv-audit: the paths named hold no file to read; nothing is written.",
    .noExposures =
        "kv-audit: none of the {files} files holds an exposure that can be used; {skipped} says why "
        "for each, and no audit or report is written.",
    .badNumber = "kv-audit: {option} wants a whole number of at least 1, not \"{text}\".",
    .badShard = "kv-audit: --shard wants I/N with 1 <= I <= N, not \"{text}\".",
    .shardDone = "This share's factors are in {cache}; run the audit without --shard to write it.",
    .notAPath = "kv-audit: {path}: no such file or folder; it is left out.",
    .cannotStart = "The audit cannot start: {why}",
    .measuredFault = "{file}, line {line}: {column} \"{value}\": {why}",
    .measuredUnreadable = "cannot be read",
    .measuredUnknownColumn = "unknown column",
    .measuredRepeatedColumn = "column given twice",
    .measuredMissingColumn = "required column missing",
    .measuredBadNumber = "not a number in the range the column takes",
    .measuredBadTarget = "takes Mo, W or Rh",
    .measuredBadFilter = "takes Mo, Rh, Ag or Al",
    .measuredNoHeader = "no header row",
    .measuredBadDbtKerma = "takes scan or projection",
    .measuredDbtKermaTwice = "another row gives this unit the other value",
    .measuredBadModality = "takes 2d or dbt",
    .measuredBadBand = "the band must end above its start",
    .uncertaintyFault = "{file}, line {line}: \"{value}\": {why}",
    .uncertaintyUnreadable = "cannot be read",
    .uncertaintyNoHeader = "the first line must be input,sigma_percent",
    .uncertaintyUnknownInput =
        "takes k_output, k_header, hvl_measured, hvl_header, hvl_model or glandularity",
    .uncertaintyBadNumber = "wants a per cent from 0 to 100",
    .uncertaintyRepeated = "this input is given twice",
    .filesRead = "Read {files} files: {exposures} exposures from {used} of them, {skipped} skipped.",
    .factorsNeeded = "{count} factors needed, {stored} of them already in {cache}.",
    .factorStart = "Factor {n} of {count}: {label}",
    .factorDone = "  {id}: mgd {mgd} +- {sigma} %, {seconds} s",
    .factorFailed = "  {label}: no factor: {why}",
    .written = "Wrote {file}.",
    .notWritten = "{file} was not written: {why}",
    .interrupted = "Interrupted: the factors made so far are kept; run the same command again to go on.",
    .skipNotAFile = "not a regular file",
    .skipNotDicom = "not a DICOM file",
    .skipUnreadable = "damaged or cut short before the pixel data ({value})",
    .skipNotMammography = "not a mammography image (modality \"{value}\")",
    .skipSynthesized = "synthesized 2D image: no exposure of its own",
    .skipTomosynthesis = "tomosynthesis: its factor is not built yet",
    .skipAnode = "anode \"{value}\": the spectrum model offers Mo and W",
    .skipFilter = "filter \"{value}\": the spectrum model offers Mo, Rh, Ag and Al",
    .skipMissing = "no value at {tag}",
    .skipBad = "{tag} \"{value}\" is not a usable value",
    .skipNoAirKerma = "no air kerma: no measured output for the beam and no entrance dose in the header",
    .skipNoFactor = "no factor: {value}",
    .skipSameInstance = "a copy of index {value} (the same instance)",
    .skipSameEvent = "the same irradiation event as index {value}",
    .skipOtherPresentation = "the other presentation intent of index {value}",
    .skipSameScan = "part of the tomosynthesis scan of index {value}",
    .indexEvent = "{index} (event {event})",
    .eventPrefix = "event {event}: ",
    .noteSetAside = "{tag} \"{value}\" is not a usable value: left out",
    .noteNoScanFactor = "tomosynthesis: the header gives no scan angles, so no factor",
    .noteAsymmetricScan =
        "tomosynthesis: the scan from {start} to {end} deg is not centred on 0 deg, so no factor",
    .noteScanAsSweep =
        "tomosynthesis: the projections are not said, so the factor is a continuous sweep's over "
        "the same angles",
    .noteLoadingNotUsed = "tomosynthesis: the header gives each projection's loading ({min} to {max} mAs), "
                          "but the factor weighs the projections equally",
    .noteProjectionsUnknown = "the unit's dose is one projection's (--dbt-kerma projection), but the number "
                              "of projections is not said",
    .thicknessOutside = "thickness {value} mm outside the breast model's 20-110 mm",
    .voltageOutside = "{value} kV outside the spectrum model's range",
    .hvlUnreachable = "the HVL {value} mm Al cannot be reached with this target, filter and voltage",
    .kFromOutput = "measured output",
    .kFromHeader = "header entrance dose",
    .hvlMeasured = "measured",
    .hvlHeader = "header",
    .hvlModel = "spectrum model",
    .noteHeaderHvlUnreachable =
        "the header's HVL {value} mm Al cannot be reached: the spectrum model's is used",
    .plotAgdTitle = "Average glandular dose against compressed thickness",
    .plotThickness = "Compressed breast thickness (mm)",
    .plotAgd = "AGD (mGy)",
    .plotOurs = "ours (Monte Carlo factor)",
    .plotUnit = "the unit's",
    .plotRatioTitle = "Our AGD over the unit's",
    .plotRatio = "ratio",
    .plotCount = "exposures",
    .plotTrendTitle = "Median AGD per week against date, per unit",
    .plotDays = "days from {date}",
    .reportQuarters = "Summary per unit and quarter",
    .reportSteps = "Change of each unit's dose over time",
    .reportLevels = "Against the reference levels",
    .reportStepFound = "{device} ({modality}): the dose changed by {percent} % from {date} on (t = {t}), "
                       "thickness allowed for.",
    .unitTitle = "{device}, {modality}",
    .unitDates = "{count} exposures with an AGD, from {first} to {last}.",
    .unitSources = "K from: {k}. HVL from: {hvl}.",
    .unitSmallBand = "Only {count} exposures in {band}: a median there says little.",
    .unitModelHvl = "{count} HVLs came from the spectrum model (none measured, none in the header): measure "
                    "this unit's HVL.",
    .unitOutliers = "Outliers: ln AGD about the unit's line in thickness, modified z above 3.5 in size",
    .unitNoOutliers = "No outliers (modified z of ln AGD about the unit's line in thickness within 3.5).",
    .plotUnitTitle = "{device} ({modality}): AGD against thickness",
    .plotUnitLine = "the unit's line in thickness",
    .reportTitle = "Dose audit from image headers",
    .reportVersion = "Software: Kelvane-Vesk {version}",
    .reportMade = "Made {date} from {files} files: {exposures} exposures, {skipped} skipped.",
    .reportInputs = "Air kerma and HVL",
    .reportFactors = "Factors used",
    .reportSummary = "Summary per unit and view",
    .reportSkipped = "Files skipped, by reason",
    .reportMethod = "Method",
    .reportMethodText =
        "AGD = K x f. K is the incident air kerma at the upper breast surface, behind the paddle and without "
        "backscatter: from the measured output (mGy/mAs at its distance, times mAs, by inverse square to the "
        "surface) or else the header's entrance dose. f is the mean glandular dose over the whole breast per "
        "that air kerma, computed by our Monte Carlo engine in the protocol breast model (half-cylinder, "
        "5 mm adipose layers top and bottom) for the exposure's spectrum (target, filter, kV, added "
        "aluminium "
        "matched to the HVL with the paddle), at the typical glandularity for the thickness and age (Dance "
        "et "
        "al. 2000, Phys. Med. Biol. 45 3225), and interpolated log-linearly between runs 5 mm apart. The "
        "ratio is our AGD over the unit's organ dose.",
};

inline constexpr AuditTexts japaneseAuditTexts{
    .usage =
        "使い方: kv-audit PATH... --out DIR [--output OUTPUT.csv] [--hvl HVL.csv] [--data DIR] [--cache "
        "DIR]\n"
        "                [--threads N] [--histories N] [--shard I/N] [--paths] [--dbt-kerma "
        "scan|projection]\n"
        "                [--uncertainties FILE] [--reference-levels FILE] [--edition en|ja]\n"
        "  指定したファイルとフォルダにあるマンモグラフィ画像とトモシンセシスのヘッダ (画素は読みません)\n"
        "  と X 線線量構造化レポートを読み、撮影を 1 回ずつ数えて、撮影ごとの平均乳腺線量を自前のモンテ\n"
        "  カルロ係数で計算し、装置が記録した線量と比べます。DIR に audit.csv、\n"
        "  skipped.csv、summary.csv、summary_quarters.csv、dose_steps.csv、outliers.csv、\n"
        "  agd_vs_thickness.png、ratio_hist.png、median_agd_vs_date.png、report.pdf を書きます。\n"
        "  --output FILE   実測の管出力 "
        "(target,filter,kv,mgy_per_mas,distance_mm[,support_gap_mm][,serial]、\n"
        "                  圧迫板あり)。mAs "
        "と逆二乗で乳房表面の空気カーマを求めます。ないときはヘッダの入射線量\n"
        "  --hvl FILE      実測の第 1 半価層 "
        "(target,filter,kv,hvl_mm_al[,serial]、圧迫板あり)。ないときはヘッダ\n"
        "                  の値、それもないときはスペクトルモデルの値\n"
        "  --data DIR      equipment.dat とスペクトルのデータがある作業フォルダ (既定: equipment.dat "
        "があれば\n"
        "                  現在のフォルダ、なければプログラムに付属のデータ)。Geometry.dat "
        "の圧迫板と支持台を使います\n"
        "  --cache DIR     係数のモンテカルロ計算を保存するフォルダ (既定: DIR/factors)。一度計算した係数は\n"
        "                  使い回すので、中断した監査は続きから計算します\n"
        "  --threads N     1 回の計算のスレッド数 (既定: コア数)\n"
        "  --histories N   係数 1 つあたりのヒストリー数 (既定 1000000: 係数の不確かさ約 0.11 %)\n"
        "  --shard I/N     係数の I, I+N, I+2N ... 番目だけをキャッシュに計算します "
        "(ジョブ配列用)。そのあと\n"
        "                  --shard なしで実行するとキャッシュから監査を書きます\n"
        "  --paths         skipped.csv と audit.csv にファイルのパスを書きます (患者名を含むことがあります)\n"
        "  --uncertainties FILE\n"
        "                  K、半価層、乳腺含有率の出どころごとの不確かさ (AGD に対する % 、1 シグマ。\n"
        "                  input,sigma_percent: k_output、k_header、hvl_measured、hvl_header、hvl_model、\n"
        "                  glandularity)。書かない入力は既定値のままです\n"
        "  --reference-levels FILE\n"
        "                  装置ごとの厚さの範囲の AGD 中央値と比べる参考レベル (level,modality,\n"
        "                  thickness_min_mm,thickness_max_mm,mgy[,view][,source])。reference_levels.csv "
        "を書きます\n"
        "  --dbt-kerma scan|projection\n"
        "                  規格が定めていないトモシンセシスの入射線量、mAs、臓器線量を、撮影全体の値 (既定)\n"
        "                  と 1 投影の値のどちらとするか。OUTPUT.csv の装置の行 (dbt_kerma 列) で装置ごとに\n"
        "                  指定することもできます\n"
        "  氏名、ID、生年月日、受付番号、UID、施設名、人名は書きません。代わりにパスの順に付けた番号 "
        "(index)\n"
        "  を書きます。",
    .needsOut = "kv-audit: --out DIR (監査の結果を書くフォルダ) を指定して下さい。",
    .needsPath = "kv-audit: 画像のファイルかフォルダを 1 つ以上指定して下さい。",
    .noFiles = "kv-audit: 指定したパスに読めるファイルがありません。何も書きません。",
    .noExposures =
        "kv-audit: {files} 個のファイルのどれにも使える撮影がありません。理由はファイルごとに {skipped} "
        "にあります。監査とレポートは書きません。",
    .badNumber = "kv-audit: {option} には 1 以上の整数を指定して下さい (「{text}」は使えません)。",
    .badShard = "kv-audit: --shard には 1 <= I <= N の I/N を指定して下さい (「{text}」は使えません)。",
    .shardDone = "この分担の係数は {cache} にあります。--shard なしで実行すると監査を書きます。",
    .notAPath = "kv-audit: {path}: ファイルもフォルダもありません。除外します。",
    .cannotStart = "監査を開始できません: {why}",
    .measuredFault = "{file} の {line} 行目: {column} 「{value}」: {why}",
    .measuredUnreadable = "読めません",
    .measuredUnknownColumn = "不明な列です",
    .measuredRepeatedColumn = "列が 2 回あります",
    .measuredMissingColumn = "必須の列がありません",
    .measuredBadNumber = "この列の範囲の数値ではありません",
    .measuredBadTarget = "Mo、W、Rh のいずれかを指定して下さい",
    .measuredBadFilter = "Mo、Rh、Ag、Al のいずれかを指定して下さい",
    .measuredNoHeader = "見出し行がありません",
    .measuredBadDbtKerma = "scan か projection を指定して下さい",
    .measuredDbtKermaTwice = "別の行がこの装置に別の値を指定しています",
    .measuredBadModality = "2d か dbt を指定して下さい",
    .measuredBadBand = "厚さの範囲の終わりは始まりより大きくして下さい",
    .uncertaintyFault = "{file} の {line} 行目: 「{value}」: {why}",
    .uncertaintyUnreadable = "読めません",
    .uncertaintyNoHeader = "1 行目は input,sigma_percent にして下さい",
    .uncertaintyUnknownInput =
        "k_output、k_header、hvl_measured、hvl_header、hvl_model、glandularity のいずれかを指定して下さい",
    .uncertaintyBadNumber = "0 から 100 までのパーセントを指定して下さい",
    .uncertaintyRepeated = "この入力が 2 回あります",
    .filesRead =
        "{files} 個のファイルを読みました: うち {used} 個から撮影 {exposures} 件、除外 {skipped} 個。",
    .factorsNeeded = "係数が {count} 個必要です。うち {stored} 個は {cache} にあります。",
    .factorStart = "係数 {n} / {count}: {label}",
    .factorDone = "  {id}: mgd {mgd} +- {sigma} %、{seconds} 秒",
    .factorFailed = "  {label}: 係数を求められません: {why}",
    .written = "{file} を書きました。",
    .notWritten = "{file} を書けませんでした: {why}",
    .interrupted =
        "中断しました: 計算済みの係数は保存しています。同じコマンドをもう一度実行すると続きから計算します。",
    .skipNotAFile = "通常のファイルではありません",
    .skipNotDicom = "DICOM ファイルではありません",
    .skipUnreadable = "画素データより前で壊れているか途切れています ({value})",
    .skipNotMammography = "マンモグラフィ画像ではありません (モダリティ「{value}」)",
    .skipSynthesized = "合成 2D 画像: 自身の曝射がありません",
    .skipTomosynthesis = "トモシンセシス: 係数はまだ用意していません",
    .skipAnode = "ターゲット「{value}」: スペクトルモデルは Mo と W のみです",
    .skipFilter = "フィルタ「{value}」: スペクトルモデルは Mo、Rh、Ag、Al のみです",
    .skipMissing = "{tag} に値がありません",
    .skipBad = "{tag} の「{value}」は使える値ではありません",
    .skipNoAirKerma = "空気カーマがありません: この線質の実測出力もヘッダの入射線量もありません",
    .skipNoFactor = "係数がありません: {value}",
    .skipSameInstance = "index {value} の複製です (同じインスタンス)",
    .skipSameEvent = "index {value} と同じ照射イベントです",
    .skipOtherPresentation = "index {value} のもう一方の提示目的です",
    .skipSameScan = "index {value} のトモシンセシス撮影の一部です",
    .indexEvent = "{index} (イベント {event})",
    .eventPrefix = "イベント {event}: ",
    .noteSetAside = "{tag} の「{value}」は使える値ではないため除きました",
    .noteNoScanFactor = "トモシンセシス: ヘッダに撮影角度がないため係数はありません",
    .noteAsymmetricScan =
        "トモシンセシス: {start} から {end} 度の撮影は 0 度を中心としないため係数はありません",
    .noteScanAsSweep = "トモシンセシス: 投影数がないため、係数は同じ角度範囲の連続スイープのものです",
    .noteLoadingNotUsed =
        "トモシンセシス: ヘッダには投影ごとの管電流時間積 ({min} から {max} mAs) がありますが、"
        "係数は各投影を等しい重みで扱います",
    .noteProjectionsUnknown = "装置の線量は 1 投影あたり (--dbt-kerma projection) ですが、投影数がありません",
    .thicknessOutside = "厚さ {value} mm は乳房モデルの 20-110 mm の外です",
    .voltageOutside = "{value} kV はスペクトルモデルの範囲外です",
    .hvlUnreachable = "このターゲット、フィルタ、管電圧では半価層 {value} mm Al になりません",
    .kFromOutput = "実測出力",
    .kFromHeader = "ヘッダの入射線量",
    .hvlMeasured = "実測",
    .hvlHeader = "ヘッダ",
    .hvlModel = "スペクトルモデル",
    .noteHeaderHvlUnreachable =
        "ヘッダの半価層 {value} mm Al にならないため、スペクトルモデルの値を使いました",
    .plotAgdTitle = "圧迫乳房厚に対する平均乳腺線量",
    .plotThickness = "圧迫乳房厚 (mm)",
    .plotAgd = "AGD (mGy)",
    .plotOurs = "本ツール (モンテカルロ係数)",
    .plotUnit = "装置の値",
    .plotRatioTitle = "本ツールの AGD / 装置の AGD",
    .plotRatio = "比",
    .plotCount = "撮影数",
    .plotTrendTitle = "装置ごとの週ごとの AGD 中央値の推移",
    .plotDays = "{date} からの日数",
    .reportQuarters = "装置と四半期ごとの集計",
    .reportSteps = "装置ごとの線量の経時変化",
    .reportLevels = "参考レベルとの比較",
    .reportStepFound = "{device} ({modality}): {date} から線量が {percent} % 変わりました (t = "
                       "{t}、厚さの影響は除いています)。",
    .unitTitle = "{device}、{modality}",
    .unitDates = "AGD のある撮影 {count} 件、{first} から {last} まで。",
    .unitSources = "K の出どころ: {k}。半価層の出どころ: {hvl}。",
    .unitSmallBand = "{band} の撮影は {count} 件だけです: その中央値はあまり確かではありません。",
    .unitModelHvl = "{count} 件の半価層はスペクトルモデルの値です (実測もヘッダの値もありません): "
                    "この装置の半価層を測って下さい。",
    .unitOutliers = "外れ値: 厚さに対する装置の直線からの ln AGD の修正 z が 3.5 を超えるもの",
    .unitNoOutliers = "外れ値はありません (厚さに対する装置の直線からの ln AGD の修正 z は 3.5 以内)。",
    .plotUnitTitle = "{device} ({modality}): 厚さに対する AGD",
    .plotUnitLine = "厚さに対する装置の直線",
    .reportTitle = "画像ヘッダによる線量監査",
    .reportVersion = "ソフトウェア: Kelvane-Vesk {version}",
    .reportMade = "{date} 作成。ファイル {files} 個: 撮影 {exposures} 件、除外 {skipped} 件。",
    .reportInputs = "空気カーマと半価層",
    .reportFactors = "使用した係数",
    .reportSummary = "装置と撮影方向ごとの集計",
    .reportSkipped = "除外したファイル (理由別)",
    .reportMethod = "方法",
    .reportMethodText =
        "AGD = K x f。K は乳房上面 (圧迫板の後ろ、後方散乱なし) の入射空気カーマで、実測出力 (その距離での "
        "mGy/mAs に mAs を掛け、逆二乗で乳房表面へ) から、ないときはヘッダの入射線量から求めます。f "
        "はその空気"
        "カーマあたりの乳房全体の平均乳腺線量で、プロトコル乳房モデル (半円柱、上下 5 mm の脂肪層) で、撮影の"
        "スペクトル (ターゲット、フィルタ、管電圧、圧迫板ありの半価層に合わせた追加アルミニウム) "
        "と、厚さと年齢"
        "に応じた典型的な乳腺含有率 (Dance et al. 2000, Phys. Med. Biol. 45 3225) "
        "について自前のモンテカルロ計算"
        "で求め、5 mm 間隔の計算の間を対数線形に補間します。比は本ツールの AGD "
        "を装置の臓器線量で割った値です。",
};

constexpr const AuditTexts& auditTextsOf(Edition e) {
    return e == Edition::Japanese ? japaneseAuditTexts : englishAuditTexts;
}

} // namespace kv::texts
