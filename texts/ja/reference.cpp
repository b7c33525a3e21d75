#include "kv/texts/reference.h"

namespace kv::texts {

const AirKermaTexts& airKermaTexts() {
    static constexpr AirKermaTexts t{
        .caption = "Air kerma",
        .headingName = "Label3",
        .heading = "焦点-検出器間距離 FCD における空気カーマ (Ka) 測定の幾何学的配置図",
        .headingLeft = 360,
        .headingWidth = 9900,
        .noteName = "Label1",
        .note = "圧迫板および画像検出器をできるだけ線量計から離しておくこと",
        .close = "閉じる",
        .geometry = {.focus = "X線焦点",
                     .focusTo = "焦点-",
                     .chamber = "線量計",
                     .distance = "間距離",
                     .compression = "圧迫板",
                     .paddle = "",
                     .sixCm = "胸壁端から",
                     .imagingDevice = "画像検出器"},
        .keepDistance = "線量計から",
        .fromChamber = "離しておく",
        .chestWallEdge = "6 cm",
        .rotationAxis = "回転軸",
        .chestWallSide = "胸壁側",
    };
    return t;
}

namespace {
using K = MethodLineKind;
constexpr MethodLine methodLines[] = {
    {K::Heading, "Kelvane-Vesk の平均乳腺線量 (AGD) 計算方法"},
    {K::Step, "空気カーマの測定"},
    {K::Body, "本プログラムは空気カーマを 1 mGy として計算します。"},
    {K::Body, "X線焦点から X cm，胸壁端から 6 cm の位置の空気中で"},
    {K::Body, "空気カーマ (Ka) を測定してください。"},
    {K::Body, "（圧迫板はできるだけ線量計から離しておくこと）"},
    {K::Step, "ステップ１：Ｘ線スペクトルの近似計算"},
    {K::Body, "照射条件（ターゲット，フィルタ，管電圧など）から"},
    {K::Body, "入射Ｘ線スペクトルを近似計算します。"},
    {K::Body, "（ヒール効果を考慮して照射角度 1 度ごとに計算）"},
    {K::Step, "ステップ２：被写体の設定"},
    {K::Body, "被写体ファントムの厚さと乳腺含有率を設定します。"},
    {K::Body, "（乳腺含有率 10～100% を 10% 間隔で"},
    {K::Body, "　等価ファントムを指定します）"},
    {K::Step, "ステップ３：モンテカルロシミュレーション"},
    {K::Body, "ステップ１で計算したスペクトルのＸ線を"},
    {K::Body, "ステップ２で設定したファントムに入射させたときの"},
    {K::Body, "ファントム内の線量分布と自由空間中の空気カーマ (Ks) を"},
    {K::Body, "モンテカルロシミュレーションにより求めます。"},
    {K::Step, "ステップ４：単位空気カーマ当たりの平均乳腺線量 (sAGD) の算出"},
    {K::Body, "ステップ３で得たファントム内の線量分布から，"},
    {K::Body, "ファントム中心領域の深さ方向の線量分布（深部線量百分率）"},
    {K::Body, "を求め，入射面から射出面までの PDD の平均値 (sAGD) を"},
    {K::Body, "算出します。"},
    {K::Step, "ステップ5：平均乳腺線量 (AGD) の算出"},
    {K::Body, "実測した空気カーマ Ka (mGy) にステップ４で得た sAGD を"},
    {K::Body, "掛けることにより，実際の AGD を算出できます。"},
    {K::Formula, "AGD = Ka × sAGD (mGy)"},
};
} // namespace

const MethodTexts& methodTexts() {
    static constexpr MethodTexts t{
        .formName = "Form8",
        .caption = "Kelvane-Vesk の計算方法",
        .lines = methodLines,
        .formulaBeforeSign = "",
        .close = "閉じる",
        .geometry = {.focus = "焦点",
                     .focusTo = "焦点-",
                     .chamber = "線量計",
                     .distance = "間距離",
                     .compression = "圧迫板",
                     .paddle = "",
                     .sixCm = "6 cm",
                     .imagingDevice = "画像検出器"},
        .chestWallSide = "胸壁側",
        .width15 = "15 cm",
        .regionWidth = "4 cm",
        .regionLength = "10 cm",
        .depth = "深さ",
        .oneMm = "1 mm",
        .interval = "間隔",
        .pddAxis = "深部線量百分率",
        .percent = "\xEF\xBC\x85",
        .depthAxis = "ファントム内の深さ (mm)",
        .meanPdd = "平均 PDD",
        .meanPddIs = "平均 PDD =",
        .pddOfI = "PDD(i)",
    };
    return t;
}

const PhantomSketchTexts& phantomSketchTexts() {
    static constexpr PhantomSketchTexts t{
        .focus = "X線焦点",
        .phantom = "ファントム",
        .fid = "FID",
        .xEdge = "15 cm",
        .yEdge = "15 cm",
        .zAxis = "Z",
        .noteLine1 = "ファントム上の",
        .noteLine2 = "厚さ 1.5 mm の圧迫板",
        .noteRaised = "",
        .noteLine2Tail = "",
        .noteLine3 = "（ポリカーボネート製）",
    };
    return t;
}

} // namespace kv::texts
