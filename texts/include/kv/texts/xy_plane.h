#pragma once
// Texts of the X-Y plane screen (Form6), and of the read-out and 100 % dose
// panels it shares with the X-Z plane screen (Form7).
#include "kv/texts/text.h"

#include <array>
#include <span>

namespace kv::texts {

// A label whose wording and place differ between the editions; left and top
// in twips of the form.
struct PlacedText {
    Text name;
    Text text;
    Given<int> left;
    Given<int> top;
};

struct PlanePanelTexts {
    Text presentPoint; // Label48
    Text axes;         // Label37, over the X, Y and Z boxes
    Text cm;           // after the Z box
    Text components;   // Label38, over the three dose boxes
    Text percent;      // after the total dose box
    Text hundredDose;  // Label30
    Text equals;       // Label36
    Text mGy;          // Label31
    Text close;
    // Label38: the Japanese words are set smaller and spread over the boxes.
    Given<int> componentsInset; // twips from the panel's left edge; 0: as laid out
    Given<int> componentsWidth; // 0: as laid out
    Given<double> componentsPt;
};

const PlanePanelTexts& planePanelTexts();

struct XYPlaneTexts {
    Text caption;
    Text title;         // Label53
    Text titleFamily;   // font family of the title
    Text primary;       // Label25
    Text scatter;       // Label26
    Text total;         // Label27
    Text chestWall;     // Label34
    Text headingFamily; // Label25, Label26, Label27, Label34, Label30
    Given<double> headingPt;
    std::array<Text, 6> yScale; // Label42, Label1, Label2, Label3 ("0" .. "15"), Label28 "Y", Label8 "cm"
    std::array<Text, 4> xScale; // Label4 "5", Label23 "X", Label5 "0", Label29 "5 cm"
    Text displayForm;           // Frame1
    Text separate;              // Option1
    Text totalOption;           // Option2
    Given<double> optionPt;
    // The note of the 100 % dose panel; Text8 (the FCD) stands within it.
    std::span<const PlacedText> note;
    Given<int> fcdLeft;
    Given<int> fcdTop;
};

const XYPlaneTexts& xyPlaneTexts();

} // namespace kv::texts
