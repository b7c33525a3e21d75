#pragma once
// The spectrum tool's parameter screen (Form2) and its plot (Picture3).
// Captions, labels and the plot's texts of each edition, with the few
// positions that move so that the Japanese labels fit.
#include "kv/texts/text.h"

#include <span>

namespace kv::texts {

// A position in twips on the form, or in user units on the plot.
struct At {
    int left = 0;
    int top = 0;
};

struct PlotLabel {
    Text text;
    At at;
};

struct LumiraTexts {
    Text caption;      // window caption
    Text title;        // what the tool's message boxes are titled with
    Text productLabel; // blue label on the yellow panel
    Text labelFamily;  // font family of captions and labels; empty: the form's
    // Buttons.
    Text drawSpectrum; // Command1
    Text determine;    // Command7
    Text clear;        // Command3
    Text cancel;       // Command4
    Text angleDiagram; // Command2
    // Target.
    Text targetMaterial; // Frame1
    Text molybdenum;     // Option1
    Text tungsten;       // Option2
    Text rhodiumTarget;  // Option3, beside the two
    // Tube voltage group.
    Text tubeVoltage;
    Text upTo50;
    Given<At> upTo50At;
    Text kiloVolt;
    Text rectification;      // first line
    Text rectificationValue; // second line; empty when the first says it all
    // Angle group.
    Text targetAngle;
    Given<At> targetAngleAt;
    Text tubeTiltAngle;
    Given<At> tubeTiltAngleAt;
    Text apparentLine1;
    Given<At> apparentLine1At;
    Text apparentLine2;
    Given<At> apparentLine2At;
    Text degree;
    // Filtration group.
    Text totalFiltration;
    Text noPaddle;
    Text beryllium;
    Text aluminum;
    Text molybdenumFilter;
    Text rhodium;
    Text silver;
    Text airLayer;
    Text millimetre;
    Text centimetre;
    // Right-hand caption, four lines in one size.
    Given<double> sideCaptionPt;
    Text sideCaption1;
    Text sideCaption2;
    Text sideCaption3;
    Text sideCaption4;
    // Plot (user units of Picture3).
    Text energyAxis;
    std::span<const PlotLabel> fluenceAxis; // the vertical axis title, one entry per line
    Text curveLine1;
    Text curveLine2;
    // Beam quality of the central ray after a draw (right of the plot).
    Text qualityWithPaddle; // heading: the paddle of Geometry.dat in the beam
    Text qualityNoPaddle;   // heading: the beam as drawn
    Text firstHvl;
    Text secondHvl;
    Text homogeneity;
    Text meanEnergy;
    Text mmAl;
    Text keV;
    // Matching a measured first HVL (below the groups).
    Text measuredHvl;
    Text hvlWithPaddle; // check box, on at start
    Text matchHvl;      // button
    Text matchHvlTip;
};

const LumiraTexts& lumiraTexts();

} // namespace kv::texts
