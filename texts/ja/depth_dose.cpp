#include "kv/texts/depth_dose.h"

namespace kv::texts {

const DepthDoseTexts& depthDoseTexts() {
    static constexpr DepthDoseTexts t{
        .caption = " Percentage depth dose",
        .family = "Meiryo",
        .title = "ファントム内の (平均的) 深部線量百分率",
        .titlePt = 15.75,
        .panelPt = 12.0,
        .referenceDose = "100% 線量 = ",
        .mGy = "mGy",
        .sagd = "平均乳腺線量 (sAGD) = ",
        .percent = "%",
        .noteLine = "自由空間中における空気カーマを 1 mGy とした値です",
        .noteLineTop = 11880,
        .fcdBefore = "100% 線量および sAGD は、焦点から",
        .fcdUnit = "cm",
        .fcdTail = "の",
        .fcdRowTop = 11400,
        .fcdBeforeLeft = 600,
        .fcdBoxLeft = 4620,
        .referenceDoseLeft = 1920,
        .sagdLeft = 1080,
        .depth = "深さ =",
        .mm = "mm",
        .columns = "合計    \u3000一次線\u3000   散乱線",
        .close = "閉じる",
        .meanLine = "Average Glandular Dose",
        .depthTicks = {"0", "1", "2", "3", "4", "5 cm"},
        .depthAxis = "depth",
        .percentTicks = {"100", "10", "1", "0.1"},
        .pddAxis = "PDD",
        .percentAxis = "%",
        .curves = {"Primary + Scatter", "Primary dose", "Scattered dose"},
    };
    return t;
}

} // namespace kv::texts
