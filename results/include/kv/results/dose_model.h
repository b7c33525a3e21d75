#pragma once
// The dose data model of the workbench and the quantities derived from it.
//
//   DoseModel m;                       // all 0, like the program at start
//   m.DoseGrid(c, ix, iy, iz)          // c 0 total, 1 primary, 2 scatter; ix 0..76, iy 0..151, iz 0..61
//   m.GridCountX / GridCountY / GridCountZ, AirKerma, FcdValue, ReferenceDose,
//   m.LayerDoseSum[c][iz] (iz 0..61), m.DepthDose[c][iz] (iz 0..60),
//   m.MeanGlandDose, m.SagdValue, m.SelectedYIndex, m.SelectedZIndex
//   m.ClearDoseGrid()                  // zeroes DoseGrid only ("Clear" on the results screen)
//   DoseFields f = m.fields();         // the number-field texts the screens show
//
// A model is filled only by LoadResultFile (result_file.h), which builds a
// fresh one and hands it over whole; the screens read it and write only the
// two selected indices. After a load every voxel inside the counts holds
// percent of ReferenceDose, and DepthDose is already filled. Components 1 and
// 2 of ix GridCountX+1..75 keep the file's raw values (every row holds 75):
// no view and no quantity reads them.
#include "kv/formats/result_file.h"

#include <array>
#include <cassert>
#include <functional>
#include <string>
#include <vector>

namespace kv::results {

// Array extents: every index runs from 0 to extent - 1; index 0 is never filled.
inline constexpr int kComponents = 3;
inline constexpr int kExtentX = 77;
inline constexpr int kExtentY = 152;
inline constexpr int kExtentZ = 62;
inline constexpr int kDepthDoseExtent = 61; // DepthDose holds iz 0..60

// Counts a result file may give (the grid must hold them, DepthDose too) and
// the values in each of its rows whatever GridCountX says.
using formats::kMaxCountX;
using formats::kMaxCountY;
using formats::kMaxCountZ;
using formats::kValuesPerRow;

// The reference region of the 100 % dose, the depth dose and the sAGD.
inline constexpr int kRegionFirstX = 1;
inline constexpr int kRegionLastX = 20;
inline constexpr int kRegionFirstY = formats::kFirstReferenceRow;
inline constexpr int kRegionLastY = 125;
inline constexpr double kRegionVoxels = kReferenceVoxels;

enum Component { Total = 0, Primary = 1, Scatter = 2 };

// The 4-dimensional dose table, 3 x 77 x 152 x 62 doubles on the heap, so a
// model moves in constant time. ix is the fastest index, as in the file.
class DoseTable {
  public:
    DoseTable() : cells_(static_cast<size_t>(kComponents) * kExtentZ * kExtentY * kExtentX, 0.0) {}

    double& operator()(int c, int ix, int iy, int iz) { return cells_[offset(c, ix, iy, iz)]; }
    double operator()(int c, int ix, int iy, int iz) const { return cells_[offset(c, ix, iy, iz)]; }

    // The 75 (or more) cells of one row from ix onwards, contiguous.
    double* row(int c, int iy, int iz) { return &cells_[offset(c, 0, iy, iz)]; }
    const double* row(int c, int iy, int iz) const { return &cells_[offset(c, 0, iy, iz)]; }

    void clear();

  private:
    static size_t offset(int c, int ix, int iy, int iz) {
        assert(c >= 0 && c < kComponents && ix >= 0 && ix < kExtentX && iy >= 0 && iy < kExtentY && iz >= 0 &&
               iz < kExtentZ);
        return ((static_cast<size_t>(c) * kExtentZ + static_cast<size_t>(iz)) * kExtentY +
                static_cast<size_t>(iy)) *
                   kExtentX +
               static_cast<size_t>(ix);
    }
    std::vector<double> cells_;
};

// The texts of the number fields after a load, exactly as the text boxes show
// them. Form5/6/7 copy these texts, not the numbers.
struct DoseFields {
    std::string referenceDose; // Text1 of Form2: ReferenceDose / AirKerma, " 0.000" (mGy per 1 mGy)
    std::string fcd;           // Text7 of Form2: FcdValue, "00.0" (cm)
    std::string sagd;          // Text8 of Form2: SagdValue, "0.000" (mGy per 1 mGy)
    std::string meanGlandDose; // Text2 of Form5: MeanGlandDose, " #00.0" (%)
    std::string selectedY;     // Text3 of Form2 and Form7 after a load: "8.0"
    std::string selectedZ;     // Text4 of Form2 and Form6 after a load: "0"
};

// The fields' texts from their numbers: the 100 % dose per Ka, the FCD, the sAGD, the mean percentage.
DoseFields doseFields(double referencePerKerma, double fcd, double sagd, double meanGlandDose);

// Where the selection stands right after a load.
inline constexpr int kLoadedYIndex = 80;
inline constexpr int kLoadedZIndex = 1;

struct DoseModel {
    DoseTable DoseGrid;
    int GridCountX = 0;
    int GridCountY = 0;
    int GridCountZ = 0;
    double AirKerma = 0;
    double FcdValue = 0;
    double ReferenceDose = 0;
    std::array<std::array<double, kExtentZ>, kComponents> LayerDoseSum{};
    std::array<std::array<double, kDepthDoseExtent>, kComponents> DepthDose{};
    double MeanGlandDose = 0;
    double SagdValue = 0;
    int SelectedYIndex = 0;
    int SelectedZIndex = 0;

    void ClearDoseGrid() { DoseGrid.clear(); }
    DoseFields fields() const;
};

// Why the quantities of a read grid cannot be formed.
enum class QuantityFailure { None, EmptyReferenceRegion, AirKerma };

// The quantities of a freshly read model, in the loader's order: the total,
// the 100 % dose, the rescaling to percent, the layer sums, MeanGlandDose,
// SagdValue and DepthDose. `pendingEvents` (may be empty) runs before and
// after the rescaling. On failure the model is part-computed: throw it away.
QuantityFailure computeDoseQuantities(DoseModel& m, const std::function<void()>& pendingEvents = {});

// Mean of the total dose of layer 1 over the reference region, in file units.
double computeReferenceDose(const DoseModel& m);

} // namespace kv::results
