#pragma once
// The simulation set-up screen (Form4) and the start of the engines.
#include "kv/texts/text.h"

namespace kv::texts {

// Where a control stands across the screen, in twips, where the editions differ.
struct Span {
    int left;
    int width;
    double pt; // font size
};

struct SetUpTexts {
    Text caption;
    Text heading;        // Label1
    Text equipmentName;  // Label6
    Text exposureMethod; // Frame1
    Text mammography;    // Option1
    Text tomosynthesis;  // Option2
    Text fid;            // Label12
    Given<int> fidLeft;  // twips: the labels end before the boxes
    Text fad;            // Label5
    Given<int> fadLeft;
    Text angularRange; // Label13
    Given<int> angularRangeLeft;
    Text cm;                  // Label2, Label10, Label17
    Text deg;                 // Label14
    Text fieldSize;           // Label3
    Text fifteen;             // Label15, Label16
    Text times;               // Label8
    Text cmConstant;          // Label9
    Text constant;            // Label18; empty when cmConstant says it all
    Text histories;           // Label4
    Given<Span> historiesBox; // Text11
    Text photons;             // Label11
    Given<int> photonsLeft;
    Text fcdFrame;      // Frame2
    Text fcdFad;        // Option4
    Text otherDistance; // Option5
    Text geometry;      // Command1
    Given<Span> geometryButton;
    Text fileNameLabel;    // Label25
    Text withoutExtension; // Label7
    Text ok;               // Command5
    Given<Span> okButton;
    Text start; // Command6
    Given<Span> startButton;
    Text cancel; // Command4
    Given<Span> cancelButton;
    Text sagdTarget; // the target uncertainty field, beside the file name
    Text sagdTargetTip;
    Text mapTarget; // the voxels' target uncertainty, beside the sAGD's
    Text mapTargetTip;
    Text percent;
    // Messages.
    Text missingInput;
    Text notAFileName; // %1: the name as typed
    Text cannotWrite;  // %1: the file name
    Text cannotStart;  // %1: the engine's file name
    Text continueNext;
    Text badSagdTarget;    // %1: the text as typed
    Text badMapTarget;     // %1: the text as typed
    Text cannotUseOptions; // %1: the run-options file and what is wrong with it
    Text nothingWritten;   // after a refused number: no file was touched
    Text nothingTyped;     // {field}: the field left empty
    Text fieldHistories;   // the fields as refusals name them
    Text fieldFileName;
    Text fieldFid;
    Text fieldFad;
    Text fieldAngularRange;
    Text fieldFcd;
    Text engineRefuses;  // %1: the engine's own words, in this edition
    Text changedSinceOk; // Start pressed with fields edited after OK
    Text replaceResult;  // %1: the result file of that name, already there
    // The paddle-and-support dialog (Geometry.dat), from Form4's context menu.
    Text plates; // the menu entry and the dialog caption
    Text platesHeading;
    Text paddle;
    Text support;
    Text plateMm;
    Text polycarbonate;
    Text pmma;
    Text platesOk;
    Text platesCancel;
    Text plateOutOfRange; // %1: the plate's caption
    // Under the angular range with tomosynthesis chosen: the scan Geometry.dat
    // describes ({n}, {angle}, {axis}, {loading}), or why the file cannot be read.
    Text scanContinuous;
    Text scanSteps;
    Text scanSingle;
    Text scanAxisAtFad;
    Text scanAxisAbove; // {cm}
    Text scanLoadingEqual;
    Text scanLoadingGiven;
    Text scanTip;
};

const SetUpTexts& setUpTexts();

} // namespace kv::texts
