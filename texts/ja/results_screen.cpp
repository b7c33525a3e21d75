#include "kv/texts/results_screen.h"

namespace kv::texts {

const DoseLegendTexts& doseLegendTexts() {
    static constexpr DoseLegendTexts t{
        .levels = {"over 90", "80 - 90", "70 - 80", "60 - 70", "50 - 60", "40 - 50", "30 - 40", "20 - 30",
                   "10 - 20", "5 - 10", "0 -  5"},
        .percent = "%",
    };
    return t;
}

const ResultsScreenTexts& resultsScreenTexts() {
    static constexpr ResultsScreenTexts t{
        .caption = "  Dose distribution ",
        .family = "Meiryo",
        .selectFile = "ファイルを選択して下さい",
        .headingRaise = 120,
        .property = "このデータの内容",
        .ok = "OK",
        .clear = "クリア",
        .mapTitle = "Y-Ｚ面上の線量分布 (X=0)",
        .depthTicks = {"0", "2", "4", "6"},
        .zAxis = "Z",
        .yTicks = {"10", "5", "0"},
        .yAxis = "Y",
        .chestWall = {"胸壁側", "", ""},
        .readoutY = "Y=",
        .readoutZ = "Z=",
        .cm = "cm",
        .percent = "%",
        .presentPosition = "現在のカーソル位置",
        .positionY = "Y",
        .positionZ = "Z",
        .hint = {"Y-Z面上でクリックすると", "その座標に対応する", "X-Y面，X-Z面の線量分布を",
                 "見ることができます"},
        .xzButton = "X-Z面上の線量分布",
        .xyButton = "X-Y面上の線量分布",
        .pddButton = "(平均) 深部線量百分率",
        .backTip = "メニューに戻る",
        .hundredDose = "100%  線量 =",
        .mGy = "mGy",
        .agdHeading = "平均乳腺線量",
        .sagd = "sAGD =",
        .noteAbove = {"この 100%線量 および sAGD は", ""},
        .fcdBefore = "X線焦点から",
        .fcdUnit = "cm",
        .fcdTail = "の",
        .noteBelow = {"自由空間中における空気カーマを", "1 mGy とした時の値である"},
        .fcdRowTop = 9000,
        .fcdBoxLeft = 16680,
        .sketchFocus = "X線焦点",
        .sketchPlane = "Y-Z面",
        .sketchAxes = {"X", "Y", "Z"},
    };
    return t;
}

} // namespace kv::texts
