#include "kv/texts/reference.h"

namespace kv::texts {

const AirKermaTexts& airKermaTexts() {
    static constexpr AirKermaTexts t{
        .caption = "Air kerma",
        .headingName = "Label1",
        .heading = "Geometry of Air kerma (Ka) measurement at FCD",
        .headingLeft = 1440,
        .headingWidth = 8700,
        .noteName = "Label2",
        .note = "Keep the compression paddle and the imaging device away from the chamber",
        .close = "Close",
        .geometry = {.focus = "X-ray focus",
                     .focusTo = "Focus to",
                     .chamber = "Chamber",
                     .distance = "Distance",
                     .compression = "Compression",
                     .paddle = "paddle",
                     .sixCm = "6 cm from",
                     .imagingDevice = "Imaging device "},
        .keepDistance = "Keep a distance",
        .fromChamber = "from the chamber ",
        .chestWallEdge = "chest wall edge",
        .rotationAxis = "Rotation axis",
        .chestWallSide = "Chest wall side",
    };
    return t;
}

namespace {
using K = MethodLineKind;
constexpr MethodLine methodLines[] = {
    {K::Heading, "Calculation method of AGD in Kelvane-Vesk"},
    {K::Step, "Measurement of air kerma"},
    {K::Body, "This program calculates the air kerma as 1 mGy."},
    {K::Body, "Measure the air kerma (Ka) in the air X cm from the X-ray focus "},
    {K::Body, "and 6 cm from the chest wall side.  (keep the compression"},
    {K::Body, "paddle as far away from the chamber as possible)."},
    {K::Step, "Step 1 : Calculation of X-ray spectrum"},
    {K::Body, "Approximately calculate the incident X-ray spectrum based on"},
    {K::Body, "the irradiation conditions (target, filter, tube voltage, etc.) "},
    {K::Body, "(Calculate for each radiation angle of 1 degree in consideration"},
    {K::Body, "of the heel effect) "},
    {K::Step, "Step 2 : Phantom setting"},
    {K::Body, "Set the thickness and the fraction of mammary gland"},
    {K::Body, " of the subject phantom"},
    {K::Body, "(Specify an equivalent phantom with a 10% interval from "},
    {K::Body, "a mammary gland fraction of 10 to 100%) "},
    {K::Step, "Step 3 : Monte Carlo simulation"},
    {K::Body, "The dose distribution in the phantom and the air kerma (Ks) in the"},
    {K::Body, "free space when the X-ray beam having the spectrum calculated"},
    {K::Body, "in step 1 is incident on the phantom set in step 3 are obtained"},
    {K::Body, "by Monte Carlo simulation. "},
    {K::Step, "Step 4 : Calculation of Average Glandular Dose / Ks  (sAGD)"},
    {K::Body, "From the dose distribution in the phantom obtained in step 3,"},
    {K::Body, "the dose profile (percentage depth dose) in the depth direction"},
    {K::Body, "on the central area of the phantom is obtained, and the average"},
    {K::Body, "value of PDDs (sAGD) from the entrance surface to the exit"},
    {K::Body, "surface is calculated. "},
    {K::Step, "Step 5 : Calculation of Average Glandular Dose (AGD)"},
    {K::Body, "The actual AGD can be calculated by multiplying the measured"},
    {K::Body, "air kerma, Ka (mGy), by the sAGD obtained in step 4."},
    {K::Formula, "AGD = Ka    sAGD (mGy)"},
};
} // namespace

const MethodTexts& methodTexts() {
    static constexpr MethodTexts t{
        .formName = "Form9",
        .caption = "Calculation method of AGD in Kelvane-Vesk",
        .lines = methodLines,
        .formulaBeforeSign = "AGD = Ka",
        .close = "Close",
        .geometry = {.focus = "Focus",
                     .focusTo = "Focus to",
                     .chamber = "Chamber",
                     .distance = "Distance",
                     .compression = "Compression",
                     .paddle = "    paddle",
                     .sixCm = "6 cm",
                     .imagingDevice = "Imaging device "},
        .chestWallSide = "Chest wall side",
        .width15 = "15 cm",
        .regionWidth = "4 cm",
        .regionLength = "10 cm",
        .depth = "depth",
        .oneMm = "1 mm",
        .interval = "interval",
        .pddAxis = "Percentage Depth Dose",
        .percent = "\xEF\xBC\x85",
        .depthAxis = "Depth in phantom,   mm",
        .meanPdd = "Mean PDD",
        .meanPddIs = "Mean PDD =",
        .pddOfI = "PDD(i)",
    };
    return t;
}

const PhantomSketchTexts& phantomSketchTexts() {
    static constexpr PhantomSketchTexts t{
        .focus = "X-ray focus",
        .phantom = "Phantom",
        .fid = "FID",
        .xEdge = "X",
        .yEdge = "Y",
        .zAxis = "Z",
        .noteLine1 = "Compression paddle",
        .noteLine2 = "1.5 mm",
        .noteRaised = "t",
        .noteLine2Tail = " of polycarbonate",
        .noteLine3 = " on the phantom",
    };
    return t;
}

} // namespace kv::texts
