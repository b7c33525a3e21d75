#include "kv/texts/launcher.h"

namespace kv::texts {

const LauncherTexts& launcherTexts() {
    static constexpr LauncherTexts t{
        .caption = " Kelvane-Vesk  (Kelvane Voxel Estimator of Glandular Dose) ",
        .title = "Kelvane-Vesk",
        .purposeLine = "Calculation  of dose distributions and average glandular dose(AGD)",
        .modalityLine = "for Mammography and Digital Breast Tomosynthesis",
        .english = "English edition",
        .japanese = "Japanese edition",
        .notice = "\xC2\xA9 The Kelvane-Vesk developers",
        .cannotStart = "The dose workbench \"%1\" could not be started.",
    };
    return t;
}

} // namespace kv::texts
