#include "kv/texts/xy_plane.h"

namespace kv::texts {

const PlanePanelTexts& planePanelTexts() {
    static constexpr PlanePanelTexts t{
        .presentPoint = "Present mouse cursor point",
        .axes = "X           Y            Z",
        .cm = "cm",
        .components = "Primary      Scatter       Total",
        .percent = "%",
        .hundredDose = "100 %  dose",
        .equals = "=",
        .mGy = "mGy",
        .close = "Close",
        .componentsInset = 0,
        .componentsWidth = 0,
        .componentsPt = 14.25,
    };
    return t;
}

namespace {
constexpr PlacedText xyNote[] = {
    {"Label47", "This 100% dose is", 12360, 8280},
    {"Label35", "Air kerma in free space", 12360, 8760},
    {"Label6", "at FCD =", 12360, 9240},
    {"Label44", "cm as 1 mGy", 14760, 9240},
};
} // namespace

const XYPlaneTexts& xyPlaneTexts() {
    static constexpr XYPlaneTexts t{
        .caption = " Dose distribution on the X-Y plane",
        .title = "Dose distribution on the X-Y plane",
        .titleFamily = "Times New Roman",
        .primary = "Primary dose",
        .scatter = "Scattered dose",
        .total = "Total dose",
        .chestWall = "Chest wall side",
        .headingFamily = "Times New Roman",
        .headingPt = 15.75,
        .yScale = {"0", "5", "10", "15", "Y", "cm"},
        .xScale = {"5", "X", "0", "5 cm"},
        .displayForm = " Display form ",
        .separate = "Separate Primary dose and Scatter dose",
        .totalOption = "Total dose (Primary + Scatter)",
        .optionPt = 14.25,
        .note = xyNote,
        .fcdLeft = 13560,
        .fcdTop = 9240,
    };
    return t;
}

} // namespace kv::texts
