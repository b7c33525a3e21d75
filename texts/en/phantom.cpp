#include "kv/texts/phantom.h"

namespace kv::texts {

const PhantomTexts& phantomTexts() {
    static constexpr PhantomTexts t{
        .caption = "  Phantom model",
        .heading = "Phantom model setting",
        .composition = "Composition",
        .sizeHeading = "Phantom size",
        .xIs = "X =",
        .yIs = "Y =",
        .zIs = "Z =",
        .fifteen = "15",
        .cmConstant = "cm constant",
        .constant = "",
        .constantLeft = 0,
        .cm = "cm",
        .upTo6 = "up to 6 cm",
        .fractionHeading = "Glandular fraction of the phantom",
        .percent = "%",
        .ok = "OK",
        .cancel = "Cancel",
        .cannotWrite = "The file %1 could not be written.",
        .thicknessField = "Thickness Z",
    };
    return t;
}

const CompositionTexts& compositionTexts() {
    static constexpr CompositionTexts t{
        .caption = "Phantom conposition table",
        .heading1Name = "Label10",
        .heading1 = "Composition and density of breast equivalent phantoms",
        .heading1Left = 960,
        .heading1Top = 120,
        .heading2Name = "Label2",
        .heading2 = "used in this Monte Carlo simulation ",
        .heading2Left = 2160,
        .heading2Top = 600,
        .fractionHead = "Glandular\nfraction (%)",
        .densityHead = "Density\n( g/cm\xC2\xB3 )",
        .massFractionHead = "Mass fraction",
        .hydrogen = "Hydrogen",
        .carbon = "Carbon",
        .nitrogen = "Nitrogen",
        .oxygen = "Oxygen",
        .phosphorus = "Phosphorus",
        .reference = "Reference",
        .source1Authors = "Hammerstein GR, Miller DW, White DR, et al.",
        .source1Title = "Absorbed radiation Dose in Mammography.",
        .source1Journal = "Radiology 1979; 130:485-491.",
        .source2AuthorsAndTitle = "Boone JM. Glandular Breast Dose for Monoenergetic",
        .source2Title = "and High-Energy X-ray Beams ; Monte Carlo Assessment.",
        .source2Journal = "Med Phys 1999; 213: 23-37. ",
        .close = "Close",
    };
    return t;
}

} // namespace kv::texts
