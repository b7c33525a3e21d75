#pragma once
// The fixed pictures of the results screen, drawn by us.
#include <QIcon>
#include <QString>
#include <array>
#include <string_view>

namespace kv::gui {
class Canvas;
}

namespace kv::results {

// The geometry of the Y-Z plane: the focus above a box phantom, the beam
// edges, the axes and the plane at X = 0, with their words.
void drawGeometrySketch(gui::Canvas& c, std::string_view focus, std::string_view plane,
                        const std::array<std::string_view, 3>& axes);
// A mouse pointer over a click mark, beside the hint to click on the map.
void drawPointerIcon(gui::Canvas& c);
// Back to the menu: a list sheet with an arrow pointing to it.
QIcon backToMenuIcon();

} // namespace kv::results
