#pragma once
// Texts of the results screen (Form2) and of the dose legend every map shows.
#include "kv/texts/text.h"

#include <array>

namespace kv::texts {

struct DoseLegendTexts {
    std::array<Text, 11> levels; // "over 90" at the top down to "0 -  5"
    Text percent;                // the "%" under the legend
};

const DoseLegendTexts& doseLegendTexts();

struct ResultsScreenTexts {
    Text caption;
    Text family;                    // of every caption of the screen
    Text selectFile;                // Label1
    Given<int> headingRaise;        // twips Label1 and Label2 sit higher, for a taller font
    Text property;                  // Label2
    Text ok;                        // Command6
    Text clear;                     // Command2
    Text mapTitle;                  // Label33
    std::array<Text, 4> depthTicks; // Label7, Label8, Label13, Label45
    Text zAxis;                     // Label43
    std::array<Text, 3> yTicks;     // Label39, Label38, Label6
    Text yAxis;                     // Label42
    std::array<Text, 3> chestWall;  // Label26..28, one word each; empty ones are left out
    Text readoutY;                  // Label29
    Text readoutZ;                  // Label21
    Text cm;                        // Label22, Label53
    Text percent;                   // Label34, Label24
    Text presentPosition;           // Label25
    Text positionY;                 // Label37
    Text positionZ;                 // Label16
    std::array<Text, 4> hint;       // Label4, Label5, Label23 (and Label54); empty ones are left out
    Text xzButton;                  // Command1
    Text xyButton;                  // Command5
    Text pddButton;                 // Command3
    Text backTip;                   // tool tip of Command4
    Text hundredDose;               // Label30
    Text mGy;                       // Label31, Label49
    Text agdHeading;                // Label46
    Text sagd;                      // Label48
    // The note under the dose box: lines above the FCD row, the row itself
    // (text, Text7, unit, tail) and lines below it; empty lines are left out.
    std::array<Text, 2> noteAbove; // Label47, Label35
    Text fcdBefore;                // Label36
    Text fcdUnit;                  // Label32
    Text fcdTail;                  // Label50
    std::array<Text, 2> noteBelow; // Label51, Label52
    Given<int> fcdRowTop;          // twips of Text7
    Given<int> fcdBoxLeft;         // Text7
    // The geometry sketch (Picture5).
    Text sketchFocus;
    Text sketchPlane;
    std::array<Text, 3> sketchAxes; // X, Y, Z
};

const ResultsScreenTexts& resultsScreenTexts();

} // namespace kv::texts
