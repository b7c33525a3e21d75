#include "kv/texts/results_extras.h"

namespace kv::texts {

const ResultsExtrasTexts& resultsExtrasTexts() {
    static constexpr ResultsExtrasTexts t{
        .kaLabel = "Air kerma Ka =",
        .kaTip = "The air kerma you measured with your dosimeter at the FCD, in mGy",
        .agdLabel = "AGD = Ka x sAGD =",
        .agdTip = "Average glandular dose of the exposure in mGy; the uncertainty is the sAGD's alone "
                  "(add your dosimeter's)",
        .kaRefused = "Air kerma Ka must be a number of 0 mGy or more.",
        .kaField = "Air kerma Ka",
        .sagdUnitTip = "sAGD in mGy per mGy: glandular dose per 1 mGy of air kerma in free space at the FCD",
        .uncertaintyTip = "Relative statistical uncertainty (1 sigma) stated in the result file",
        .voxelSigmaTip = "Relative statistical uncertainty (1 sigma) of this voxel's total dose, from the "
                         "file the engine wrote beside the result",
        .voxelSpan = "voxel {a} {a0}\u2013{a1}, {b} {b0}\u2013{b1} cm",
        .voxelTip = "The 1 mm voxel whose dose is read out: ix {ix}, iy {iy}, iz {iz}. The position boxes "
                    "show the pointer, rounded to 0.1 cm.",
        .previewTip = "Point at a line to read it whole",
        .pickBelowPhantom = "Below the phantom ({depth} cm thick): the X-Y plane shows its deepest layer.",
        .pickBeyondPhantom =
            "Beyond the phantom's {length} cm from the chest wall: the X-Z plane shows its last row.",
        .kaAtFcd = "Ka measured at the FCD, without the paddle (the sAGD's own)",
        .kaAtFcdPaddle = "Ka measured at the FCD, with the compression paddle in the beam",
        .kaAtSurface = "Ka measured at the breast's upper surface, behind the paddle (as the protocols do)",
        .kaNoteFcd = "Ka: FCD, no paddle",
        .kaNoteFcdPaddle = "Ka: paddle, \u00f7%1",
        .kaNoteSurface = "Ka: surface {mm} mm \u00f7%1",
        .surfaceAt60mm =
            "    surface point: midline, 60 mm from the chest wall (UK, European, IAEA protocols)",
        .surfaceAt40mm = "    surface point: midline, 40 mm from the chest wall (ACR)",
        .surfaceAtEdge = "    surface point: midline, at the chest-wall edge",
        .kaPointTip =
            "Where the air kerma Ka was measured; right-click the panel to choose. Behind the paddle or "
            "at the breast surface, the AGD divides the sAGD by the number shown, that air kerma's ratio "
            "to the sAGD's own (the result file's; surface: free in air on the midline, the stated distance "
            "from the chest wall, 60 mm unless you choose another). A file without those ratios offers only "
            "the FCD without the paddle.",
        .kaAtSurfaceEdge =
            "Ka measured at the breast's upper surface behind the paddle, on the midline at the "
            "chest-wall edge",
        .kaAtSurface60mm =
            "Ka measured at the breast's upper surface behind the paddle, on the midline 60 mm "
            "from the chest wall (UK, European, IAEA protocols)",
        .kaAtSurface40mm =
            "Ka measured at the breast's upper surface behind the paddle, on the midline 40 mm "
            "from the chest wall (ACR)",
        .kaAtFcdScan =
            "Ka measured at the FCD without the paddle, tube at 0\u00b0, for the scan's whole tube "
            "loading (with FCD = FAD the point on the rotation axis; the sAGD's own)",
        .kaAtFcdPaddleScan = "Ka measured at the FCD with the paddle in the beam, tube at 0\u00b0, for the "
                             "scan's whole tube loading",
        .kaAtSurfaceScan =
            "Ka measured at the breast's upper surface behind the paddle, tube at 0\u00b0, for the "
            "scan's whole tube loading (as the tomosynthesis protocols do)",
        .agdLabelScan = "Scan AGD = Ka x sAGD =",
        .agdScanTip =
            "A tomosynthesis result: the average glandular dose of the whole scan, every projection "
            "together, in mGy. Ka is the air kerma with the tube at 0\u00b0 for the tube loading of the "
            "whole scan; the uncertainty is the sAGD's alone.",
        .trailerDamaged = "The additions after the dose values are cut short or damaged: they are not shown.",
        .trailerDamagedBecause =
            "The additions after the dose values are damaged ({reason}): they are not shown.",
        .reasonAtLine = "{reason}, line {line}",
        .trailerWhyCutShort = "cut short before their end line",
        .trailerWhyNotNameValue = "a line that is no \"name = value\"",
        .trailerWhyNameTwice = "a name given twice",
        .trailerWhyTextBefore = "text between the dose values and the additions",
        .trailerWhyTextAfter = "text after their end line",
        .trailerWhyHashNotLast = "the content hash is not their last line or not 64 hex digits",
        .trailerWhyHashMismatch = "the content hash does not match: the dose values or the additions were "
                                  "changed after the engine wrote them",
        .trailerWhyDisagrees = "their {key} is not what the header states",
        .trailerUnverified = "The additions after the dose values were written before they carried a content "
                             "hash: shown, not verified.",
        .thickerThanScreens =
            "The breast is thicker than the 6 cm the screens show: the fields come from the "
            "additions after the dose values, without the depth dose.",
        .savePicture = "Save picture as PNG...",
        .copyPicture = "Copy picture",
        .exportValues = "Export values as CSV...",
        .overlayPdd = "Overlay the depth dose of another result file...",
        .removeOverlay = "Remove the overlaid depth dose",
        .pngFilter = "PNG picture (*.png)",
        .csvFilter = "CSV table (*.csv)",
        .resultFilter = "Result files (*.vesk)",
        .pictureYZ = "{file}: Y-Z plane at X = 0 cm, total dose",
        .pictureXZ = "{file}: X-Z plane at Y = {y} cm",
        .pictureXY = "{file}: X-Y plane at Z = {z} cm",
        .pictureDepthDose = "{file}: percentage depth dose",
        .pictureSeparate = "{plane}, primary (left) and scatter (right)",
        .pictureTotal = "{plane}, total dose",
        .axisX = "X (cm)",
        .axisY = "Y, from the chest wall (cm)",
        .axisZ = "Z, depth (cm)",
        .legendHeading = "% of the 100 % dose",
        .replaceQuestion = "%1 already exists.\nDo you want to replace it?",
        .cannotWrite = "%1 cannot be written.",
        .notAFile = "%1 is not a file that can be replaced.",
        .overlayCannotRead = "%1 cannot be read as a result file.",
        .reasonNoFolder = "The folder does not exist.",
        .reasonFolderProtected = "The folder is write-protected.",
        .reasonFileProtected = "The file is write-protected.",
        .reasonRefused = "The disk is full or the file system refused the file.",
        .exportUsage =
            "usage: kv-report_en --export DIR RESULT_FILE...\n"
            "Writes DIR/S.depth-dose.csv (layer,total,primary,scatter,depth_cm) and DIR/S.dose.csv\n"
            "(ix,iy,iz,total,primary,scatter,x_cm,y_cm,z_cm) in percent of the 100 % dose for\n"
            "each readable result file S.vesk, and total_sigma_percent (each voxel's relative\n"
            "1 sigma, %) where the engine's file S.vesk.sigma stands beside it. The exit status is\n"
            "1 when a file cannot be read or written.",
        .compareUsage = "usage: kv-report_en [--json] --compare A.vesk B.vesk\n"
                        "Prints the 100 % dose, the sAGD, the mean percentage and every depth-dose layer of\n"
                        "A and B, their ratio B/A and the difference (B-A) in units of the combined sigma\n"
                        "where both files state their uncertainty.",
        .exportCannotWrite = "cannot write ",
        .exportSameName = "{first} and {second} would both be exported as {table}; nothing was written. "
                          "Export them into separate folders.",
    };
    return t;
}

} // namespace kv::texts
