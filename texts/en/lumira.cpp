#include "kv/texts/lumira.h"

namespace kv::texts {
namespace {
constexpr PlotLabel fluenceAxis[] = {
    {"Relative", {280, 500}},
    {"Photon", {280, 700}},
    {"Fluence", {280, 900}},
};
} // namespace

const LumiraTexts& lumiraTexts() {
    static constexpr LumiraTexts t{
        .caption = " Tarnell-Vesk-E",
        .title = "Tarnell-Vesk-E",
        .productLabel = "Tarnell-Vesk-E",
        .labelFamily = "",
        .drawSpectrum = "Draw spectrum",
        .determine = "Determine",
        .clear = "Clear",
        .cancel = "Cancel",
        .angleDiagram = "Angle relation diagram",
        .targetMaterial = "Target material",
        .molybdenum = "Molybdenum",
        .tungsten = "Tungsten",
        .rhodiumTarget = "Rh",
        .tubeVoltage = "Tube voltage",
        .upTo50 = "( Up to 50 )",
        .upTo50At = At{11520, 8475},
        .kiloVolt = "kV",
        .rectification = "Rectification method",
        .rectificationValue = "= Constant potential",
        .targetAngle = "Target angle",
        .targetAngleAt = At{1080, 8220},
        .tubeTiltAngle = "Tube tilt angle",
        .tubeTiltAngleAt = At{840, 8700},
        .apparentLine1 = "Apparent",
        .apparentLine1At = At{720, 9210},
        .apparentLine2 = "target angle",
        .apparentLine2At = At{1080, 9480},
        .degree = "degree",
        .totalFiltration = "Total Filtration",
        .noPaddle = "( Do not include compression paddle )",
        .beryllium = "Beryllium",
        .aluminum = "Aluminum",
        .molybdenumFilter = "Molybdenum",
        .rhodium = "Rhodium",
        .silver = "Silver",
        .airLayer = "Air layer",
        .millimetre = "mm",
        .centimetre = "cm",
        .sideCaptionPt = 12.0,
        .sideCaption1 = "X-ray spectrum",
        .sideCaption2 = "used in",
        .sideCaption3 = "Monte Carlo",
        .sideCaption4 = "simulation",
        .energyAxis = "Photon energy in keV",
        .fluenceAxis = fluenceAxis,
        .curveLine1 = "Spectrum",
        .curveLine2 = "on the vertical line",
        .qualityWithPaddle = "Central ray, paddle in beam",
        .qualityNoPaddle = "Central ray, no paddle",
        .firstHvl = "First HVL",
        .secondHvl = "Second HVL",
        .homogeneity = "Homogeneity coefficient",
        .meanEnergy = "Mean energy",
        .mmAl = "mm Al",
        .keV = "keV",
        .measuredHvl = "Measured first HVL",
        .hvlWithPaddle = "measured with the compression paddle in the beam",
        .matchHvl = "Match HVL",
        .matchHvlTip =
            "Sets the aluminium filter (to 0.001 mm) so that the first HVL of the central ray is the "
            "measured one, then draws",
    };
    return t;
}

} // namespace kv::texts
