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
        .notice = "Version {version}  \xC2\xA9 The Kelvane-Vesk developers",
        .noticeTip = "Kelvane-Vesk {version}\nBSD 3-Clause licence. To cite it, see CITATION.cff;\n"
                     "to report a problem, see \"How to report a problem\" in README.md.",
        .cannotStart = "The dose workbench \"%1\" could not be started.",
        .workFolder = "Working folder: {folder}",
        .otherFolder = "Another folder...",
        .otherFolderTip =
            "Choose the working folder for this session only; the next start offers {folder} again.",
        .folderProblem =
            "The working folder {folder} cannot be used: {why}.\nChoose another with \"Another folder...\".",
        .cannotMake = "it could not be made ({detail})",
        .notAFolder = "a file stands under its name",
        .readOnly = "it is read-only",
        .cannotSeed = "the starting equipment.dat could not be put there ({detail})",
    };
    return t;
}

} // namespace kv::texts
