#include "kv/texts/lumira.h"

namespace kv::texts {
namespace {
constexpr PlotLabel fluenceAxis[] = {
    {"相対光子", {200, 650}},
    {"フルエンス", {200, 800}},
};
} // namespace

const LumiraTexts& lumiraTexts() {
    static constexpr LumiraTexts t{
        .caption = " Tarnell-Vesk-J",
        .title = "Tarnell-Vesk-J",
        .productLabel = "Tarnell-Vesk-J",
        .labelFamily = "Meiryo",
        .drawSpectrum = "スペクトル描画",
        .determine = "これで決定",
        .clear = "リセット",
        .cancel = "キャンセル",
        .angleDiagram = "角度 θ, φ の関係図",
        .targetMaterial = "ターゲット材質",
        .molybdenum = "モリブデン",
        .tungsten = "タングステン",
        .rhodiumTarget = "Rh",
        .tubeVoltage = "管電圧",
        .upTo50 = "( 最大 50 kV )",
        .upTo50At = At{11400, 8475},
        .kiloVolt = "kV",
        .rectification = "整流方式 ： 定電圧 ",
        .rectificationValue = "",
        .targetAngle = "ターゲット角度(θ)",
        .targetAngleAt = At{840, 8220},
        .tubeTiltAngle = "管球傾斜角度(φ)",
        .tubeTiltAngleAt = At{1080, 8700},
        .apparentLine1 = "見かけ上の",
        .apparentLine1At = At{1320, 9210},
        .apparentLine2 = "ターゲット角度",
        .apparentLine2At = At{1080, 9480},
        .degree = "度",
        .totalFiltration = "総ろ過",
        .noPaddle = "（ここには圧迫板は含めない）",
        .beryllium = "ベリリウム",
        .aluminum = "アルミニウム",
        .molybdenumFilter = "モリブデン",
        .rhodium = "ロジウム",
        .silver = "銀",
        .airLayer = "空気層",
        .millimetre = "mm",
        .centimetre = "cm",
        .sideCaptionPt = 9.75,
        .sideCaption1 = "モンテカルロ",
        .sideCaption2 = "シミュレーションで",
        .sideCaption3 = "用いるＸ線スペクトル",
        .sideCaption4 = "の近似計算",
        .energyAxis = "Photon energy in keV",
        .fluenceAxis = fluenceAxis,
        .curveLine1 = "垂直方向の",
        .curveLine2 = "Ｘ線スペクトル",
        .qualityWithPaddle = "中心線（圧迫板あり）",
        .qualityNoPaddle = "中心線（圧迫板なし）",
        .firstHvl = "第1半価層",
        .secondHvl = "第2半価層",
        .homogeneity = "均等度",
        .meanEnergy = "平均エネルギー",
        .mmAl = "mm Al",
        .keV = "keV",
        .measuredHvl = "測定した第1半価層",
        .hvlWithPaddle = "圧迫板を線束に入れて測定した",
        .matchHvl = "半価層に合わせる",
        .matchHvlTip =
            "中心線の第1半価層が測定値になるようにアルミニウムフィルタ（0.001 mm 単位）を決めて描画します",
    };
    return t;
}

} // namespace kv::texts
