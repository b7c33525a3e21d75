#pragma once
// The eleven dose levels every dose map paints with, and the legend that
// shows them. Use on any map:
//
//   canvas->fillBox(x1, y1, x2, y2, DoseLevelColour(model.DoseGrid(0, ix, iy, iz)));
//
// and on a screen with a legend picture `Picture7` (1455 x 4095 twips, white,
// sunken border), once in the screen's constructor:
//
//   addDoseLegendLabels(*picture("Picture7"));                 // the eleven texts
//   addDoseLegendLabels(*picture("Picture7"), kXZLegendTops);  // X-Z screen: "40 - 50" at 1875
//   DrawDoseLegend(*picture("Picture7"));                      // scale 100 x 110 and the boxes
//
// The canvas keeps what is drawn, so the legend shows whenever the screen does.
#include <QColor>
#include <array>
#include <span>

namespace kv::gui {
class Canvas;
}

namespace kv::results {

inline constexpr int kDoseLevels = 11;

// The colour of a dose in percent of the 100 % dose. Tests are strict (90
// exactly is the second level); zero, negative and NaN get the last level.
QColor DoseLevelColour(double percent);

// The colour of level k, 0 ("over 90") to 10 ("0 -  5").
QColor doseLevelColourAt(int level);

// Sets the legend's user scale (0, 0, 100 wide, 110 high) and paints the
// eleven boxes, level k covering x 0..30 and y 10k..10(k+1).
void DrawDoseLegend(gui::Canvas& legend);

// Tops of the eleven legend texts in twips inside the legend picture.
inline constexpr std::array<int, kDoseLevels> kDoseLegendTops{0,    360,  720,  1080, 1500, 1920,
                                                              2280, 2640, 3000, 3360, 3720};
inline constexpr std::array<int, kDoseLevels> kXZLegendTops{0,    360,  720,  1080, 1500, 1875,
                                                            2280, 2640, 3000, 3360, 3720};

// Adds the eleven legend texts (Times New Roman 12 pt) as labels inside the
// legend picture, right of the boxes; named "Legend1" .. "Legend11".
void addDoseLegendLabels(gui::Canvas& legend, std::span<const int, kDoseLevels> tops = kDoseLegendTops);

} // namespace kv::results
