#pragma once
// Texts of the percentage-depth-dose screen (Form5) and of its graph.
#include "kv/texts/text.h"

#include <array>

namespace kv::texts {

struct DepthDoseTexts {
    Text caption;
    Text family; // of the captions around the graph
    Text title;  // Label1
    Given<double> titlePt;
    Given<double> panelPt; // the lower panels' labels
    Text referenceDose;    // Label3
    Text mGy;              // Label4, Label11
    Text sagd;             // Label2
    Text percent;          // Label5, Label9
    // The note panel: one line of text and the FCD row (text, Text8, unit, tail).
    Text noteLine; // Label47
    Given<int> noteLineTop;
    Text fcdBefore;       // Label36
    Text fcdUnit;         // Label32
    Text fcdTail;         // Label33
    Given<int> fcdRowTop; // twips of Text8
    Given<int> fcdBeforeLeft;
    Given<int> fcdBoxLeft;        // Text8
    Given<int> referenceDoseLeft; // Label3
    Given<int> sagdLeft;          // Label2
    Text depth;                   // Label7
    Text mm;                      // Label8
    Text columns;                 // Label6
    Text close;                   // Command4

    // The graph (the same in both editions).
    Text meanLine;
    std::array<Text, 6> depthTicks; // "0" .. "5 cm"
    Text depthAxis;
    std::array<Text, 4> percentTicks; // "100", "10", "1", "0.1"
    Text pddAxis;
    Text percentAxis;
    std::array<Text, 3> curves; // total, primary, scatter
};

const DepthDoseTexts& depthDoseTexts();

} // namespace kv::texts
