#pragma once
// Texts of what the result screens and kv-report offer beyond their fixed
// layout: the AGD panel, uncertainties, tool tips, the export and overlay
// menus, and the export and comparison modes of kv-report.
#include "kv/texts/text.h"

namespace kv::texts {

struct ResultsExtrasTexts {
    // The AGD panel of the results screen.
    Text kaLabel; // before the air-kerma field
    Text kaTip;
    Text agdLabel; // before the AGD field
    Text agdTip;
    Text kaRefused;      // a Ka that is not a number of 0 or more
    Text kaField;        // the Ka field, as a refusal names it
    Text sagdUnitTip;    // on every sAGD field and its unit
    Text uncertaintyTip; // on the "± x %" beside the 100 % dose and the sAGD
    Text voxelSigmaTip;  // on the "± x %" beside the read-out of a voxel's total dose
    // The voxel a read-out's dose belongs to: {a}, {b} the two axes of the map,
    // {a0}..{a1}, {b0}..{b1} its span on each in cm; the tip's {ix}, {iy}, {iz} its indices.
    Text voxelSpan;
    Text voxelTip;
    Text previewTip; // the header preview box when the pointer is on no line
    // A pick on the Y-Z map beyond the phantom; {depth}, {length}: its size in cm.
    Text pickBelowPhantom;
    Text pickBeyondPhantom;
    // Where Ka was measured: the panel's context menu, its note (%1: the ratio) and kv-report.
    Text kaAtFcd;
    Text kaAtFcdPaddle;
    Text kaAtSurface;
    Text kaNoteFcd;
    Text kaNoteFcdPaddle; // %1
    Text kaNoteSurface;   // %1, {mm}: the distance from the chest wall
    // Where on the surface, the menu's second group: on the midline, 60 or 40 mm from the chest wall, or at
    // it.
    Text surfaceAt60mm;
    Text surfaceAt40mm;
    Text surfaceAtEdge;
    Text kaPointTip;
    // kv-report's air_kerma rows of the surface points: which of them, on the midline.
    Text kaAtSurfaceEdge;
    Text kaAtSurface60mm;
    Text kaAtSurface40mm;
    // The same for a tomosynthesis result: each Ka is the tube's at 0 deg for the
    // scan's whole tube loading, and the AGD is the whole scan's.
    Text kaAtFcdScan;
    Text kaAtFcdPaddleScan;
    Text kaAtSurfaceScan;
    Text agdLabelScan;
    Text agdScanTip;
    Text trailerDamaged; // kv-report: the trailer is there but cut or spoilt
    // The same with why: {reason} one of the trailerWhy texts, {line} the file's line.
    Text trailerDamagedBecause;
    Text reasonAtLine; // {reason}, {line}: a reason and the file's line it was seen at
    Text trailerWhyCutShort;
    Text trailerWhyNotNameValue;
    Text trailerWhyNameTwice;
    Text trailerWhyTextBefore;
    Text trailerWhyTextAfter;
    Text trailerWhyHashNotLast;
    Text trailerWhyHashMismatch;
    Text trailerWhyDisagrees; // {key}: the trailer's key whose value is not the header's
    Text trailerUnverified;   // kv-report: a trailer written before the hash, shown unverified
    Text thickerThanScreens;  // kv-report: a protocol breast over 6 cm, read from the trailer
    // Context menus.
    Text savePicture;
    Text copyPicture;
    Text exportValues;
    Text overlayPdd;
    Text removeOverlay;
    Text pngFilter;
    Text csvFilter;
    Text resultFilter;
    // The saved picture's title and axes; {file}, {y}, {z}: the file and the plane's position in cm.
    Text pictureYZ;
    Text pictureXZ;
    Text pictureXY;
    Text pictureDepthDose;
    Text pictureSeparate; // {plane}: the map shows primary left, scatter right
    Text pictureTotal;    // {plane}: the map shows the total dose
    Text axisX;
    Text axisY;
    Text axisZ;
    Text legendHeading; // above the colour legend
    // Messages; "%1" stands for the file name.
    Text replaceQuestion;
    Text cannotWrite;
    Text notAFile;
    Text overlayCannotRead;
    // Why an export could not be written: the detail under cannotWrite.
    Text reasonNoFolder;
    Text reasonFolderProtected;
    Text reasonFileProtected;
    Text reasonRefused;
    // kv-report's modes.
    Text exportUsage;
    Text compareUsage;
    Text exportCannotWrite; // then the file name
    Text exportSameName;    // {first}, {second}: two files; {table}: the name both would take
};

const ResultsExtrasTexts& resultsExtrasTexts();

} // namespace kv::texts
