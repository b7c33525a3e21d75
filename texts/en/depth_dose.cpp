#include "kv/texts/depth_dose.h"

namespace kv::texts {

const DepthDoseTexts& depthDoseTexts() {
    static constexpr DepthDoseTexts t{
        .caption = " Percentage depth dose",
        .family = "Times New Roman",
        .title = "Percentage Depth Dose  (average in the phantom)",
        .titlePt = 18.0,
        .panelPt = 14.25,
        .referenceDose = "100% Dose of this PDD = ",
        .mGy = "mGy",
        .sagd = "sAGD = ",
        .percent = "%",
        .noteLine = "This 100% dose and sAGD are Air kerma in free space",
        .noteLineTop = 11400,
        .fcdBefore = "at FCD =",
        .fcdUnit = "cm as 1 mGy",
        .fcdTail = "",
        .fcdRowTop = 11880,
        .fcdBeforeLeft = 1680,
        .fcdBoxLeft = 2880,
        .referenceDoseLeft = 720,
        .sagdLeft = 2640,
        .depth = "Depth =",
        .mm = "mm",
        .columns = "Total      Primary     Scatter",
        .close = "Close",
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
