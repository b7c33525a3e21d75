#include "kv/texts/setup.h"

namespace kv::texts {

const SetUpTexts& setUpTexts() {
    static constexpr SetUpTexts t{
        .caption = "Monte Carlo simulation",
        .heading = "モンテカルロシミュレーションで用いるデータ",
        .equipmentName = "装置名称",
        .exposureMethod = " 撮影方式",
        .mammography = "Mammography",
        .tomosynthesis = "Breast Tomosynthesis",
        .fid = "FID (焦点 - 画像検出器間距離) =",
        .fidLeft = 360,
        .fad = "FAD (焦点 - 回転勇信間距離) =",
        .fadLeft = 360,
        .angularRange = "トモシンセシスの管球振れ角度 =",
        .angularRangeLeft = 360,
        .cm = "cm",
        .deg = "deg.",
        .fieldSize = "FID での照射野 =",
        .fifteen = "15",
        .times = "X",
        .cmConstant = "cm",
        .constant = "一定",
        .histories = "入射光子数 (ヒストリー) =",
        .historiesBox = Span{4080, 1815, 14.25},
        .photons = "個",
        .photonsLeft = 6000,
        .fcdFrame = "空気アーマ Ka を測定した距離 (FCD)",
        .fcdFad = "FAD",
        .otherDistance = "その他の距離  ==>",
        .geometry = "幾何学的配置図",
        .geometryButton = Span{5160, 1815, 11.25},
        .fileNameLabel = "シミュレーション結果を保存するファイル名",
        .withoutExtension = "( 拡張子なしで入力して下さい )",
        .ok = "OK",
        .okButton = Span{360, 1335, 15.75},
        .start = "シミュレーション開始",
        .startButton = Span{1800, 3375, 14.25},
        .cancel = "キャンセル",
        .cancelButton = Span{5280, 1815, 14.25},
        .sagdTarget = "sAGD 1σ ≦",
        .sagdTargetTip =
            "省略可: sAGD の相対不確かさ (1σ) がこの値 (%) 以下になったバッチの終わりで計算を止めて"
            "保存します。空欄のときは上の入射光子数をすべて計算します。",
        .mapTarget = "線量分布 1σ ≦",
        .mapTargetTip =
            "省略可: 8 バッチ目以降、参照領域の各ボクセルの全線量の相対不確かさ (1σ) の中央値が"
            "この値 (%) 以下になったバッチの終わりで計算を止めて保存します。sAGD の目標もあるときは"
            "両方を満たしたときに止めます。空欄のときはこの目標はありません。",
        .percent = "%",
        .missingInput = "  入射光子数 または 保存ファイル名が未入力です'  ",
        .notAFileName = "「%1」はファイル名に使えません。\n"
                        "「/」「\\」や制御文字を含まない名前を入力して下さい。",
        .cannotWrite = "ファイル %1 に書き込めませんでした。",
        .cannotStart = "シミュレーションプログラム \"%1\" を起動できませんでした。",
        .continueNext = "***  続けて新たなシミュレーションが行なえます  ***",
        .badSagdTarget = "「%1」は sAGD の目標に使えません。\n"
                         "0 より大きく 100 以下の百分率を入力するか、空欄にして下さい。",
        .badMapTarget = "「%1」は線量分布の目標に使えません。\n"
                        "0 より大きく 100 以下の百分率を入力するか、空欄にして下さい。",
        .cannotUseOptions = "実行オプションを保存できませんでした: %1",
        .nothingWritten = "何も書き込んでいません。",
        .nothingTyped = "{field}：何も入力されていません。",
        .fieldHistories = "入射光子数",
        .fieldFileName = "保存ファイル名",
        .fieldFid = "FID",
        .fieldFad = "FAD",
        .fieldAngularRange = "トモシンセシスの管球振れ角度",
        .fieldFcd = "空気カーマを測定した距離 (FCD)",
        .engineRefuses = "このデータではシミュレーションを開始できません:\n%1",
        .changedSinceOk = "「OK」の後でデータが変更されました。\n「OK」を押してから「シミュレーション開始」を"
                          "押して下さい。",
        .replaceResult =
            "結果ファイル %1 は既にあります。\nシミュレーションで置き換えられます。この名前を使いますか？",
        .plates = "圧迫板と乳房支持台...",
        .platesHeading = "この装置の圧迫板と支持台（Geometry.dat）",
        .paddle = "圧迫板",
        .support = "乳房支持台",
        .plateMm = "mm",
        .polycarbonate = "ポリカーボネート",
        .pmma = "PMMA（アクリル）",
        .platesOk = "OK",
        .platesCancel = "キャンセル",
        .plateOutOfRange = "%1：厚さは 0～10 mm で入力してください。",
        .scanContinuous = "スキャン (Geometry.dat): 振れ角度全体を連続、回転軸{axis}",
        .scanSteps = "スキャン (Geometry.dat): 投影 {n} 回、負荷は{loading}、回転軸{axis}",
        .scanSingle = "スキャン (Geometry.dat): {angle}° で投影 1 回、回転軸{axis}",
        .scanAxisAtFad = "は FAD の位置",
        .scanAxisAbove = "は検出器の {cm} cm 上",
        .scanLoadingEqual = "均等",
        .scanLoadingGiven = "不均等",
        .scanTip = "tiravex が実行する管球のスキャンです。作業フォルダの Geometry.dat の記述どおりで、"
                   "投影の数、各投影の管電流時間積、回転軸の高さを示します。",
    };
    return t;
}

} // namespace kv::texts
