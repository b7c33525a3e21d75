#pragma once
// The spectrum plot on Picture3: a fixed grid from 0 to 50 keV and the red
// step curve of the ray on the vertical line, scaled to its own maximum.
// User scale: x 0..6250 (energy E at 1000 + 100·E), y 0..2500 from the top
// (the curve's maximum at 100, zero at 2100).
#include "kv/formats/spectrum_file.h"

#include <QColor>
#include <array>

namespace kv::gui {
class Canvas;
}

namespace kv::spectrum::ui {

inline constexpr double kPlotWidth = 6250;
inline constexpr double kPlotHeight = 2500;

// The program's palette numbers 0, 8, 12 and 15.
namespace plot_colours {
inline const QColor black{0, 0, 0};
inline const QColor grey{128, 128, 128};
inline const QColor lightRed{255, 0, 0};
inline const QColor white{255, 255, 255};
} // namespace plot_colours

// Gives the picture its user scale; call once, before the first drawing.
void setPlotScale(gui::Canvas& plot);

// Grid, tick labels, axis titles and frame, drawn over what is there.
void DrawSpectrumAxes(gui::Canvas& plot);

// The step curve of `column` (raw values by bin, bins 2..250 drawn), scaled by
// `plotMaximum`, with its texts and the redrawn bottom line. Nothing is drawn
// when there is no scale (a maximum that is not positive).
void drawSpectrumCurve(gui::Canvas& plot, const std::array<double, formats::kBins>& column,
                       double plotMaximum);

} // namespace kv::spectrum::ui
