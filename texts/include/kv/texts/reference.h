#pragma once
// The workbench's reference screens: the air-kerma geometry (Form10), the
// calculation method (Form9, Form8 in the Japanese edition), and the labels of
// their drawings. The phantom sketch is shared with the phantom screen.
#include "kv/texts/text.h"

#include <span>

namespace kv::texts {

struct PhantomSketchTexts {
    Text focus;
    Text phantom;
    Text fid;
    Text xEdge;
    Text yEdge;
    Text zAxis;
    Text noteLine1;
    Text noteLine2; // followed by a small raised noteRaised, then noteLine2Tail
    Text noteRaised;
    Text noteLine2Tail;
    Text noteLine3;
};

// The labels of the mammography geometry, drawn on both screens.
struct GeometryLabels {
    Text focus;
    Text focusTo; // "Focus to" / "Chamber" / "Distance" in three lines
    Text chamber;
    Text distance;
    Text compression;
    Text paddle;
    Text sixCm;
    Text imagingDevice;
};

struct AirKermaTexts {
    Text caption;
    Text headingName;
    Text heading;
    Given<int> headingLeft;  // twips
    Given<int> headingWidth; // twips; the heading's font is made smaller to fit
    Text noteName;
    Text note;
    Text close;
    // The drawing.
    GeometryLabels geometry;
    Text keepDistance;
    Text fromChamber;
    Text chestWallEdge; // under geometry.sixCm
    Text rotationAxis;
    Text chestWallSide;
};

enum class MethodLineKind { Heading, Step, Body, Formula };

struct MethodLine {
    MethodLineKind kind;
    Text text;
};

struct MethodTexts {
    Text formName;
    Text caption;
    std::span<const MethodLine> lines;
    // The English formula leaves a gap after this text for a drawn times sign;
    // empty when the formula writes the sign as text.
    Text formulaBeforeSign;
    Text close;
    // Picture2, the small air-kerma geometry.
    GeometryLabels geometry;
    // Picture3, plan and side view of the phantom.
    Text chestWallSide;
    Text width15;
    Text regionWidth;
    Text regionLength;
    Text depth;
    Text oneMm;
    Text interval;
    // Picture4, the percentage depth dose.
    Text pddAxis;
    Text percent;
    Text depthAxis;
    Text meanPdd;
    Text meanPddIs;
    Text pddOfI;
};

const AirKermaTexts& airKermaTexts();
const MethodTexts& methodTexts();
const PhantomSketchTexts& phantomSketchTexts();

} // namespace kv::texts
