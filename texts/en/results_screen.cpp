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
        .family = "Times New Roman",
        .selectFile = "Select File",
        .headingRaise = 0,
        .property = "Property of this data",
        .ok = "OK",
        .clear = "Clear",
        .mapTitle = "Dose distribution on the Y-Z plane (X=0)",
        .depthTicks = {"0", "2", "4", "6"},
        .zAxis = "Z",
        .yTicks = {"10", "5", "0"},
        .yAxis = "Y",
        .chestWall = {"Chest", "wall", "side"},
        .readoutY = "Y=",
        .readoutZ = "Z=",
        .cm = "cm",
        .percent = "%",
        .presentPosition = "Present position",
        .positionY = "Y",
        .positionZ = "Z",
        .hint = {"Click on the Y-Z plane", "to show dose distributions", "on the X-Y plane or the X-Z plane",
                 ""},
        .xzButton = "Dose distribution (X-Z)",
        .xyButton = "Dose distribution (X-Y)",
        .pddButton = "Percentage depth dose",
        .backTip = "Back to the menu",
        .hundredDose = "100 %  dose =",
        .mGy = "mGy",
        .agdHeading = "Average Glandular Dose",
        .sagd = "sAGD =",
        .noteAbove = {"This 100% dose and sAGD are", "Air kerma in free space"},
        .fcdBefore = "at FCD =",
        .fcdUnit = "cm as 1 mGy",
        .fcdTail = "",
        .noteBelow = {"", ""},
        .fcdRowTop = 9720,
        .fcdBoxLeft = 16320,
        .sketchFocus = "X-ray focus",
        .sketchPlane = "Y-Z plane",
        .sketchAxes = {"X", "Y", "Z"},
    };
    return t;
}

} // namespace kv::texts
