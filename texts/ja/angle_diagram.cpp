#include "kv/texts/angle_diagram.h"

namespace kv::texts {

const AngleDiagramTexts& angleDiagramTexts() {
    static constexpr AngleDiagramTexts t{
        .caption = "Definition of Angles",
        .close = "閉じる",
        .labelFamily = "Meiryo",
        .target = "ターゲット",
        .electron = "電子",
        .horizontal = "水平面",
        .verticalLine = "垂直線",
        .verticalLineStacked = true,
        .theta = "θ",
        .phi = "φ",
        .apparentLine1 = "見かけ上の",
        .apparentLine2 = "ターゲット角",
        .legendTheta = "θ: ターゲット角",
        .legendPhi = "φ: 管球傾斜角",
    };
    return t;
}

} // namespace kv::texts
