#include "kv/texts/xy_plane.h"

namespace kv::texts {

const PlanePanelTexts& planePanelTexts() {
    static constexpr PlanePanelTexts t{
        .presentPoint = "現在のマウスカーソル位置",
        .axes = "X           Y            Z",
        .cm = "cm",
        .components = "一次線線量　散乱線線量　合計線量",
        .percent = "%",
        .hundredDose = "100 %  線量",
        .equals = "=",
        .mGy = "mGy",
        .close = "閉じる",
        .componentsInset = 375,
        .componentsWidth = 3825,
        .componentsPt = 11,
    };
    return t;
}

namespace {
// Four lines where the English note has three; the FCD box moves to the second.
constexpr PlacedText xyNote[] = {
    {"Label47", "この 100% 線量は", 12120, 8220},
    {"Label6", "焦点から", 12120, 8610},
    {"Label44", "cm の距離の", 14520, 8610},
    {"Label35", "自由空間中における空気カーマを", 12120, 9030},
    {"Label50", "1 mGy とした値です", 12120, 9420},
};
} // namespace

const XYPlaneTexts& xyPlaneTexts() {
    static constexpr XYPlaneTexts t{
        .caption = " Dose distribution on the X-Y plane",
        .title = "X-Y 平面における線量分布",
        .titleFamily = "Meiryo",
        .primary = "一次線線量",
        .scatter = "散乱線線量",
        .total = "総 線 量",
        .chestWall = "胸壁側",
        .headingFamily = "Meiryo",
        .headingPt = 14.25,
        .yScale = {"0", "5", "10", "15", "Y", "cm"},
        .xScale = {"5", "X", "0", "5 cm"},
        .displayForm = " 表示形式",
        .separate = "一次線線量と散乱線線量を分けて表示",
        .totalOption = " 一次線と散乱線の合計線量で表示",
        .optionPt = 12,
        .note = xyNote,
        .fcdLeft = 13320,
        .fcdTop = 8610,
    };
    return t;
}

} // namespace kv::texts
