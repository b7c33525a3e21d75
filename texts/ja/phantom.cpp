#include "kv/texts/phantom.h"

namespace kv::texts {

const PhantomTexts& phantomTexts() {
    static constexpr PhantomTexts t{
        .caption = "  Phantom model",
        .heading = "ファントムの設定",
        .composition = "組成表",
        .sizeHeading = "ファントムのサイズ",
        .xIs = "X =",
        .yIs = "Y =",
        .zIs = "Z =",
        .fifteen = "15",
        .cmConstant = "cm",
        .constant = "一定",
        .constantLeft = 3480,
        .cm = "cm",
        .upTo6 = "最大 6 cm まで",
        .fractionHeading = "ファントムの乳腺割合",
        .percent = "%",
        .ok = "OK",
        .cancel = "キャンセル",
        .cannotWrite = "ファイル %1 に書き込めませんでした。",
        .thicknessField = "ファントムの厚さ Z",
    };
    return t;
}

const CompositionTexts& compositionTexts() {
    static constexpr CompositionTexts t{
        .caption = "Phantom conposition table",
        .heading1Name = "Label2",
        .heading1 = "Kelvane-Vesk のシミュレーションで用いた",
        .heading1Left = 1680,
        .heading1Top = 120,
        .heading2Name = "Label3",
        .heading2 = "乳房等価均質ファントムの組成 (重量比) および密度",
        .heading2Left = 1680,
        .heading2Top = 540,
        .fractionHead = "Glandular\nfraction (%)",
        .densityHead = "Density\n( g/cm\xC2\xB3 )",
        .massFractionHead = "Mass fraction",
        .hydrogen = "Hydrogen",
        .carbon = "Carbon",
        .nitrogen = "Nitrogen",
        .oxygen = "Oxygen",
        .phosphorus = "Phosphorus",
        .reference = "データ出典",
        .source1Authors = "Hammerstein GR, Miller DW, White DR, et al.",
        .source1Title = "Absorbed radiation Dose in Mammography.",
        .source1Journal = "Radiology 1979; 130:485-491.",
        .source2AuthorsAndTitle = "Boone JM. Glandular Breast Dose for Monoenergetic",
        .source2Title = "and High-Energy X-ray Beams ; Monte Carlo Assessment.",
        .source2Journal = "Med Phys 1999; 213: 23-37. ",
        .close = "閉じる",
    };
    return t;
}

} // namespace kv::texts
