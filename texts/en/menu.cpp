#include "kv/texts/menu.h"

namespace kv::texts {

const MenuTexts& menuTexts() {
    static constexpr MenuTexts t{
        .caption = " Kelvane-Vesk",
        .title = "Kelvane-Vesk",
        .noteLine1Name = "Label4",
        .noteLine1 = "To obtain Average Glandular Dose (ADG),",
        .noteLine2Name = "Label3",
        .noteLine2 = "the Air kerma measured in free space are required. ",
        .geometry = "Geometry",
        .menuHeading = "Menu",
        .procedureHeading = "Procedure",
        .step1 = "(1)",
        .step2 = "(2)",
        .step3 = "(3)",
        .phantom = "Phantom model setting",
        .spectrum = "X-ray Spectrrum",
        .simulation = "Monte Carlo simulation",
        .results = "Simulation results",
        .method = "Calculation method",
        .exit = "Exit",
        .byeTip = "   --- bye ---   ",
        .notice = "\xC2\xA9 The Kelvane-Vesk developers",
        .workbenchTitle = "Kelvane-Vesk",
        .cannotStartSpectrum = "The spectrum tool \"%1\" could not be started.",
    };
    return t;
}

} // namespace kv::texts
