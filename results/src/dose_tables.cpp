#include "kv/results/dose_tables.h"

#include "kv/common/csv.h"
#include "kv/common/records.h"
#include "kv/results/voxel_uncertainty.h"

#include <charconv>
#include <cmath>

namespace kv::results {

std::string exactNumber(double v) {
    if (!std::isfinite(v)) return {};
    if (v == 0) return "0"; // also -0
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string();
}

namespace {
// The centre of voxel `index` along an axis, in cm.
std::string centreCm(int index) {
    return exactNumber((index - 0.5) / 10.0);
}
} // namespace

std::vector<std::string> depthDoseRows(const DoseModel& m) {
    std::vector<std::string> rows{std::string(kDepthDoseHeader)};
    const int layers = std::min(m.GridCountZ, kDepthDoseExtent - 1);
    for (int iz = 1; iz <= layers; ++iz)
        rows.push_back(csvLine({std::to_string(iz), exactNumber(m.DepthDose[Total][iz]),
                                exactNumber(m.DepthDose[Primary][iz]), exactNumber(m.DepthDose[Scatter][iz]),
                                centreCm(iz)}));
    return rows;
}

std::vector<std::string> voxelRows(const DoseModel& m, VoxelSet set,
                                   const std::optional<formats::VoxelSigma>& sigma) {
    std::vector<std::string> rows{std::string(kVoxelHeader) +
                                  (sigma ? "," + std::string(kVoxelSigmaColumn) : "")};
    const int countX = std::min(m.GridCountX, kExtentX - 1);
    const int countY = std::min(m.GridCountY, kExtentY - 1);
    const int countZ = std::min(m.GridCountZ, kExtentZ - 1);
    // A fixed index outside the counts selects nothing: last < first.
    auto range = [](int fixed, int count, int& first, int& last) {
        if (fixed == VoxelSet::kEvery) {
            first = 1;
            last = count;
        } else {
            first = fixed;
            last = fixed >= 1 && fixed <= count ? fixed : fixed - 1;
        }
    };
    int x0, x1, y0, y1, z0, z1;
    range(set.ix, countX, x0, x1);
    range(set.iy, countY, y0, y1);
    range(set.iz, countZ, z0, z1);
    for (int iz = z0; iz <= z1; ++iz)
        for (int iy = y0; iy <= y1; ++iy)
            for (int ix = x0; ix <= x1; ++ix) {
                std::vector<std::string> cells{std::to_string(ix),
                                               std::to_string(iy),
                                               std::to_string(iz),
                                               exactNumber(m.DoseGrid(Total, ix, iy, iz)),
                                               exactNumber(m.DoseGrid(Primary, ix, iy, iz)),
                                               exactNumber(m.DoseGrid(Scatter, ix, iy, iz)),
                                               centreCm(ix),
                                               centreCm(iy),
                                               centreCm(iz)};
                if (sigma) {
                    const std::optional<double> rel = voxelRelativeSigma(sigma, ix, iy, iz);
                    cells.push_back(rel ? exactNumber(100.0 * *rel) : std::string());
                }
                rows.push_back(csvLine(cells));
            }
    return rows;
}

void writeCsvFile(const std::filesystem::path& dir, const std::string& name,
                  const std::vector<std::string>& rows) {
    RecordWriter out(dir, name);
    for (const std::string& r : rows)
        out.line(r);
    out.commit();
}

} // namespace kv::results
