#include "kv/texts/setup.h"

namespace kv::texts {

const SetUpTexts& setUpTexts() {
    static constexpr SetUpTexts t{
        .caption = "Monte Carlo simulation",
        .heading = "Data used in Monte Carlo simulation",
        .equipmentName = "Equipment name",
        .exposureMethod = " Exposure method",
        .mammography = "Mammography",
        .tomosynthesis = "Breast Tomosynthesis",
        .fid = "FID (Focus to Imaging detector Distance) =",
        .fidLeft = 360,
        .fad = "FAD (Focus to rotation Axis Distance) =",
        .fadLeft = 720,
        .angularRange = "Angular range in Tomosynthesis =",
        .angularRangeLeft = 1110,
        .cm = "cm",
        .deg = "deg.",
        .fieldSize = "Field size at FID =",
        .fifteen = "15",
        .times = "X",
        .cmConstant = "cm constant",
        .constant = "",
        .histories = "Number of history =",
        .historiesBox = Span{3000, 2295, 14.25},
        .photons = "photons",
        .photonsLeft = 5520,
        .fcdFrame = "Distance measured for Air kerma (FCD)",
        .fcdFad = "FAD",
        .otherDistance = " Other distances  ==>",
        .geometry = "Geometry",
        .geometryButton = Span{5400, 1455, 14.25},
        .fileNameLabel = "File name to save simulation result",
        .withoutExtension = "( input without extension )",
        .ok = "OK",
        .okButton = Span{360, 1935, 15.75},
        .start = "Simulation Start",
        .startButton = Span{2520, 2895, 15.75},
        .cancel = "Cancel",
        .cancelButton = Span{5880, 1215, 14.25},
        .sagdTarget = "sAGD 1σ ≤",
        .sagdTargetTip = "Optional: the run stops and saves at the end of a batch once the relative "
                         "uncertainty (1 sigma) of the sAGD is at most this percentage. Empty: all the "
                         "histories above are run.",
        .mapTarget = "Map 1σ ≤",
        .mapTargetTip = "Optional: from the 8th batch on, the run stops and saves at the end of a batch once "
                        "the median relative uncertainty (1 sigma) of the total dose over the reference "
                        "region's voxels is at most this percentage; with an sAGD target too, once both are "
                        "met. Empty: no such target.",
        .percent = "%",
        .missingInput = "  Input 'Photon history' or 'File name'  ",
        .notAFileName = "\"%1\" cannot be used as a file name.\n"
                        "Type a name without \"/\", \"\\\" or control characters.",
        .cannotWrite = "The file %1 could not be written.",
        .cannotStart = "The simulation program \"%1\" could not be started.",
        .continueNext = "***  You can continue with the next simulation  ***",
        .badSagdTarget = "\"%1\" cannot be used as the sAGD target.\n"
                         "Type a percentage above 0 and at most 100, or leave the box empty.",
        .badMapTarget = "\"%1\" cannot be used as the map target.\n"
                        "Type a percentage above 0 and at most 100, or leave the box empty.",
        .cannotUseOptions = "The run options could not be kept: %1",
        .nothingWritten = "Nothing was written.",
        .nothingTyped = "{field}: nothing was typed.",
        .fieldHistories = "Number of history",
        .fieldFileName = "File name to save simulation result",
        .fieldFid = "FID",
        .fieldFad = "FAD",
        .fieldAngularRange = "Angular range in Tomosynthesis",
        .fieldFcd = "Distance measured for Air kerma (FCD)",
        .engineRefuses = "The simulation cannot start with these data:\n%1",
        .changedSinceOk =
            "The data were changed after \"OK\".\nPress \"OK\" to use them, then \"Simulation Start\".",
        .replaceResult = "The result file %1 already exists.\nThe simulation will replace it. Use this name?",
        .plates = "Compression paddle and breast support...",
        .platesHeading = "Paddle and support of this unit (Geometry.dat)",
        .paddle = "Compression paddle",
        .support = "Breast support",
        .plateMm = "mm",
        .polycarbonate = "Polycarbonate",
        .pmma = "PMMA",
        .platesOk = "OK",
        .platesCancel = "Cancel",
        .plateOutOfRange = "%1: enter a thickness from 0 to 10 mm.",
        .scanContinuous = "Scan (Geometry.dat): continuous sweep over the range, axis {axis}",
        .scanSteps = "Scan (Geometry.dat): {n} projections over the range, {loading} loading, axis {axis}",
        .scanSingle = "Scan (Geometry.dat): one projection at {angle}\u00b0, axis {axis}",
        .scanAxisAtFad = "at the FAD",
        .scanAxisAbove = "{cm} cm above the detector",
        .scanLoadingEqual = "equal",
        .scanLoadingGiven = "unequal",
        .scanTip = "The tube's scan that tiravex will run, as Geometry.dat (in the working folder) describes "
                   "it: its projections, their tube loading and the height of the rotation axis.",
    };
    return t;
}

} // namespace kv::texts
