#pragma once
// What the X-Y and X-Z plane screens have in common: a slice of the dose grid
// painted as two mirror halves about the central axis x = 0 (one voxel is 4
// map units), the fixed grid above it, and the voxel under the pointer.
#include "kv/formats/voxel_sigma_file.h"
#include "kv/gui/form.h"
#include "kv/results/dose_model.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QLineEdit;

namespace kv::results::planes {

// The user scale of every plane map: 15 twips per unit, origin on the axis.
inline constexpr double kMapLeft = -303;
inline constexpr double kMapTop = -7;
inline constexpr double kMapWidth = 605;
inline constexpr double kMapRight = kMapLeft + kMapWidth - 1;

// One plane of DoseGrid: columns ix 1..GridCountX out from the axis, rows
// 1..rows() down the map. The X-Y plane fixes the layer iz and its rows are
// iy; the X-Z plane fixes the row iy and its rows are the layers iz.
class Slice {
  public:
    static Slice layer(const DoseModel& m, int iz) { return {m, iz, true}; }
    static Slice row(const DoseModel& m, int iy) { return {m, iy, false}; }

    int columns() const { return m_->GridCountX; }
    int rows() const { return layer_ ? m_->GridCountY : m_->GridCountZ; }
    double dose(int component, int ix, int r) const {
        return layer_ ? m_->DoseGrid(component, ix, r, fixed_) : m_->DoseGrid(component, ix, fixed_, r);
    }
    bool isLayer() const { return layer_; }
    int rowIndex(int r) const { return layer_ ? r : fixed_; }   // iy of row r
    int layerIndex(int r) const { return layer_ ? fixed_ : r; } // iz of row r

  private:
    Slice(const DoseModel& m, int fixed, bool layer) : m_(&m), fixed_(fixed), layer_(layer) {}
    const DoseModel* m_;
    int fixed_;
    bool layer_;
};

// Where a voxel's cells lie, as offsets from 4·row and 4·ix. The left cell
// always spans x −(4ix − 3) .. −4ix; the right one 4ix + rightFrom .. 4ix + rightTo;
// both span y 4·row + rowFrom .. 4·row.
struct CellShape {
    int rowFrom;
    int rightFrom;
    int rightTo;
};
inline constexpr CellShape kXYSeparateCells{-4, -3, 0};
inline constexpr CellShape kXYTotalCells{-4, -3, 1}; // overlaps the next column by one unit
inline constexpr CellShape kXZSeparateCells{-3, -4, 0};
inline constexpr CellShape kXZTotalCells{-3, -4, 1};

// Clears the map and paints every voxel of the slice: the left cell in the
// level colour of `leftComponent`, then the right cell in that of
// `rightComponent`, row by row from the top, column by column outwards.
void paintMirrored(gui::Canvas& map, const Slice& slice, Component leftComponent, Component rightComponent,
                   CellShape shape);

// The voxel under the pointer at (x, y) in map units, either half of the
// map; none when the pointer is off the painted voxels.
struct Voxel {
    int ix;
    int row;
};
std::optional<Voxel> voxelAt(const Slice& slice, double x, double y);

// The fixed drawing above a map: grey centimetre grid, the black central axis
// and the light grey band along the top edge.
struct MapGrid {
    int lastHorizontal; // horizontal lines at y = 40, 80, .. this
    int verticalTop;    // vertical lines from here ..
    int bottom;         // .. to here; the axis from the top edge to here too
    int axisWidth;
};
void addFixedDrawing(gui::Canvas& map, const MapGrid& grid);

// A white cross-hair line, hidden until the pointer is over the map.
gui::LineItem* addCrossHair(gui::Canvas& map, const char* name, bool horizontal, int bottom);

// The small picture beside the 100 % dose panel; it does nothing.
void drawIcon(gui::Canvas& icon);

// The read-out panel of both screens (Label41 and what lies on it), laid
// out from the panel's top-left corner in twips; the screens differ only in
// where the heading and the component words sit, and in the name of "cm".
struct ReadOutPanel {
    int left;
    int top;
    int headingTop;      // Label48, below the panel's top
    int componentsInset; // Label38, from the panel's left edge
    int componentsWidth;
    std::string_view cmName;
};
void appendReadOutPanel(std::vector<gui::Control>& rows, const ReadOutPanel& panel);

// The read-out of a plane screen: X, the row's coordinate, the primary,
// scatter and total dose of a voxel, its uncertainty and which voxel it is.
struct ReadOut {
    QLineEdit* x;
    QLineEdit* row;
    QLineEdit* primary;
    QLineEdit* scatter;
    QLineEdit* total;
    QLabel* sigma;
    QLabel* voxel;
};
// The panel's controls on `form`, the row's coordinate in `rowBox`; bound once
// when the screen is made.
ReadOut bindReadOut(const gui::Form& form, std::string_view rowBox);
// The boxes every plane screen has beside its read-out: Text1, the 100 % dose, and Text8, the FCD.
struct NumberBoxes {
    QLineEdit* referenceDose;
    QLineEdit* fcd;
};
NumberBoxes bindNumberBoxes(const gui::Form& form);
// The text boxes only show; nothing typed into them means anything. `fixed`
// is the box of the slice's own coordinate.
void makeBoxesReadOnly(const ReadOut& r, const NumberBoxes& n, QLineEdit* fixed);
// With the voxel's own uncertainty beside the total, where `sigma` gives it.
void showReadOut(const ReadOut& boxes, const Slice& slice, Voxel v, double x, double y,
                 const std::optional<formats::VoxelSigma>& sigma);
void emptyReadOut(const ReadOut& boxes);

// The voxel a read-out's dose belongs to, on the two axes of its map ('X',
// 'Y' or 'Z', each with its 1-based index): "voxel Y 6.3–6.4, Z 1.5–1.6 cm".
// The position boxes round the pointer to 0.1 cm, so they alone cannot tell
// two neighbouring voxels apart.
struct VoxelAxis {
    char axis;
    int index;
};
std::string voxelSpanText(VoxelAxis a, VoxelAxis b);
// The tool tip beside it: the voxel's three indices.
std::string voxelTipText(int ix, int iy, int iz);
// Shows both on `label`.
void showVoxel(QLabel& label, VoxelAxis a, VoxelAxis b, int ix, int iy, int iz);

} // namespace kv::results::planes
