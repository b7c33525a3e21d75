#include "kv/texts/xz_plane.h"

namespace kv::texts {

namespace {
constexpr PlacedText xzNote[] = {
    {"Label47", "This 100% dose is", 12720, 5760},
    {"Label35", "Air kerma in free space", 12840, 6240},
    {"Label22", "at FCD =", 12960, 6720},
    {"Label21", "cm as 1 mGy", 15360, 6720},
};
} // namespace

const XZPlaneTexts& xzPlaneTexts() {
    static constexpr XZPlaneTexts t{
        .caption = "Dose distribution on X-Z plane",
        .title = "Dose distribution on the X-Z plane",
        .titleFamily = "Times New Roman",
        .primary = "Primary dose",
        .scatter = "Scattered dose",
        .both = "Primary  dose + Scattered dose",
        .depthScale = {"0", "2", "4", "6", "Z", "cm"},
        .xScale = {"5", "X-coordinate", "0", "5 cm"},
        .panelDrop = 0,
        .legendDrop = 0,
        .note = xzNote,
        .fcdLeft = 14160,
        .fcdTop = 6720,
    };
    return t;
}

} // namespace kv::texts
