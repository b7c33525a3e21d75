#include "kv/texts/menu.h"

namespace kv::texts {

const MenuTexts& menuTexts() {
    static constexpr MenuTexts t{
        .caption = " Kelvane-Vesk",
        .title = "Kelvane-Vesk",
        .noteLine1Name = "Label11",
        .noteLine1 = "平均乳腺線量 (AGD) を求めるためには",
        .noteLine2Name = "Label4",
        .noteLine2 = "自由空間中で実測した空気カーマが必要です",
        .geometry = "幾何学的配置",
        .menuHeading = "メニュー",
        .procedureHeading = "計算手順",
        .step1 = "(1)",
        .step2 = "(2)",
        .step3 = "(3)",
        .phantom = "ファントムの設定",
        .spectrum = "入射Ｘ線スペクトル",
        .simulation = "モンテカルロシミュレーション",
        .results = "シミュレーション結果",
        .method = "計算方法の解説",
        .exit = "終　了",
        .byeTip = "   --- bye ---   ",
        .notice = "\xC2\xA9 The Kelvane-Vesk developers",
        .workbenchTitle = "Kelvane-Vesk",
        .cannotStartSpectrum = "スペクトル計算プログラム \"%1\" を起動できませんでした。",
    };
    return t;
}

} // namespace kv::texts
