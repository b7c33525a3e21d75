#pragma once
// The spectrum tool's angle diagram (Form1): caption, button and the labels
// of the drawing.
#include "kv/texts/text.h"

namespace kv::texts {

struct AngleDiagramTexts {
    Text caption;
    Text close;       // Command1
    Text labelFamily; // font family of the drawing's labels
    Text target;
    Text electron;
    Text horizontal;
    Text verticalLine;
    // Along the line, read from below (rotated), or one character under the
    // other (upright, as vertical Japanese text is written).
    Given<bool> verticalLineStacked;
    Text theta;
    Text phi;
    Text apparentLine1;
    Text apparentLine2;
    Text legendTheta;
    Text legendPhi;
};

const AngleDiagramTexts& angleDiagramTexts();

} // namespace kv::texts
