#include "kv/texts/xz_plane.h"

namespace kv::texts {

namespace {
// Four lines where the English note has three; the FCD box moves to the second.
constexpr PlacedText xzNote[] = {
    {"Label47", "この 100% 線量は", 12600, 6300},
    {"Label22", "焦点から", 12600, 6690},
    {"Label21", "cm の距離の", 15000, 6690},
    {"Label35", "自由空間中における空気カーマを", 12600, 7110},
    {"Label54", "1 mGy とした値です", 12600, 7500},
};
} // namespace

const XZPlaneTexts& xzPlaneTexts() {
    static constexpr XZPlaneTexts t{
        .caption = "Dose distribution on X-Z plane",
        .title = "X-Z 平面における線量分布",
        .titleFamily = "Meiryo",
        .primary = "一次線線量",
        .scatter = "散乱線線量",
        .both = "一次線線量 + 散乱線線量",
        .depthScale = {"0", "2", "4", "6", "Z", "cm"},
        .xScale = {"5", "X 座標", "0", "5 cm"},
        .panelDrop = 720,
        .legendDrop = 600,
        .note = xzNote,
        .fcdLeft = 13800,
        .fcdTop = 6690,
    };
    return t;
}

} // namespace kv::texts
