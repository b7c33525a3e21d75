#include "kv/texts/angle_diagram.h"

namespace kv::texts {

const AngleDiagramTexts& angleDiagramTexts() {
    static constexpr AngleDiagramTexts t{
        .caption = "Definition of Angles",
        .close = "Close",
        .labelFamily = "Times New Roman",
        .target = "Target",
        .electron = "Electron",
        .horizontal = "Horizontal",
        .verticalLine = "Vertical line",
        .verticalLineStacked = false,
        .theta = "θ",
        .phi = "φ",
        .apparentLine1 = "Apparent",
        .apparentLine2 = "target angle",
        .legendTheta = "θ: Target angle",
        .legendPhi = "φ: Tube tilt angle",
    };
    return t;
}

} // namespace kv::texts
