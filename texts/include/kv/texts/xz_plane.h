#pragma once
// Texts of the X-Z plane screen (Form7). Its read-out and 100 % dose panels
// say what the X-Y screen's say (planePanelTexts()).
#include "kv/texts/text.h"
#include "kv/texts/xy_plane.h"

#include <array>
#include <span>

namespace kv::texts {

struct XZPlaneTexts {
    Text caption;
    Text title;       // Label34
    Text titleFamily; // font family of the title
    Text primary;     // Label3, over the upper map's left half
    Text scatter;     // Label4, over its right half
    Text both;        // Label5, over the lower map
    // Depth scale of each map: "0", "2", "4", "6", "Z", "cm".
    std::array<Text, 6> depthScale;
    std::array<Text, 4> xScale; // Label6 "5", Label7, Label1 "0", Label2 "5 cm"
    // The Japanese edition sets the right-hand panels and the legend lower.
    Given<int> panelDrop;  // twips
    Given<int> legendDrop; // twips
    // The note of the 100 % dose panel, as placed in the edition (panelDrop
    // included); Text8 (the FCD) stands within it.
    std::span<const PlacedText> note;
    Given<int> fcdLeft;
    Given<int> fcdTop;
};

const XZPlaneTexts& xzPlaneTexts();

} // namespace kv::texts
