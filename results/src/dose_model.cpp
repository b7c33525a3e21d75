#include "kv/results/dose_model.h"

#include "kv/common/format.h"

#include <algorithm>
#include <cmath>

namespace kv::results {

void DoseTable::clear() {
    std::fill(cells_.begin(), cells_.end(), 0.0);
}

DoseFields doseFields(double referencePerKerma, double fcd, double sagd, double meanGlandDose) {
    return DoseFields{
        .referenceDose = format(referencePerKerma, " 0.000"),
        .fcd = format(fcd, "00.0"),
        .sagd = format(sagd, "0.000"),
        .meanGlandDose = format(meanGlandDose, " #00.0"),
        .selectedY = format(kLoadedYIndex / 10.0, "#0.0"),
        .selectedZ = "0",
    };
}

DoseFields DoseModel::fields() const {
    return doseFields(ReferenceDose / AirKerma, FcdValue, SagdValue, MeanGlandDose);
}

namespace {

// The reference region clipped to the cells the file counts: cells beyond the
// counts are not dose (components 1 and 2 may hold unscaled file values there).
struct Region {
    int lastX, lastY;
};
Region countedRegion(const DoseModel& m) {
    return {std::min(kRegionLastX, m.GridCountX), std::min(kRegionLastY, m.GridCountY)};
}

double regionSum(const DoseModel& m, int c, int iz) {
    Region r = countedRegion(m);
    double sum = 0;
    for (int iy = kRegionFirstY; iy <= r.lastY; ++iy) {
        const double* row = m.DoseGrid.row(c, iy, iz);
        for (int ix = kRegionFirstX; ix <= r.lastX; ++ix)
            sum += row[ix];
    }
    return sum;
}

void computeTotalDose(DoseModel& m) {
    for (int iz = 1; iz <= m.GridCountZ; ++iz)
        for (int iy = 1; iy <= m.GridCountY; ++iy) {
            double* total = m.DoseGrid.row(Total, iy, iz);
            const double* primary = m.DoseGrid.row(Primary, iy, iz);
            const double* scatter = m.DoseGrid.row(Scatter, iy, iz);
            for (int ix = 1; ix <= m.GridCountX; ++ix)
                total[ix] = scatter[ix] + primary[ix];
        }
}

void rescaleToPercent(DoseModel& m) {
    const double ref = m.ReferenceDose;
    for (int c = 0; c < kComponents; ++c)
        for (int iz = 1; iz <= m.GridCountZ; ++iz)
            for (int iy = 1; iy <= m.GridCountY; ++iy) {
                double* row = m.DoseGrid.row(c, iy, iz);
                for (int ix = 1; ix <= m.GridCountX; ++ix)
                    row[ix] = 100.0 * row[ix] / ref;
            }
}

void computeLayerSums(DoseModel& m) {
    for (auto& component : m.LayerDoseSum)
        std::fill(component.begin(), component.end(), 0.0);
    for (int c = 0; c < kComponents; ++c)
        for (int iz = 1; iz <= m.GridCountZ; ++iz)
            m.LayerDoseSum[c][iz] = regionSum(m, c, iz);
}

void computeMeanAndSagd(DoseModel& m) {
    double sum = 0;
    for (int iz = 1; iz <= m.GridCountZ; ++iz)
        sum += m.LayerDoseSum[Total][iz];
    m.MeanGlandDose = sum / m.GridCountZ / kRegionVoxels;
    m.SagdValue = (m.ReferenceDose / m.AirKerma) * 0.01 * m.MeanGlandDose;
}

void fillDepthDose(DoseModel& m) {
    for (auto& component : m.DepthDose)
        std::fill(component.begin(), component.end(), 0.0);
    for (int c = 0; c < kComponents; ++c)
        for (int iz = 1; iz <= m.GridCountZ; ++iz)
            m.DepthDose[c][iz] = m.LayerDoseSum[c][iz] / kRegionVoxels;
}

} // namespace

double computeReferenceDose(const DoseModel& m) {
    return regionSum(m, Total, 1) / kRegionVoxels;
}

QuantityFailure computeDoseQuantities(DoseModel& m, const std::function<void()>& pendingEvents) {
    assert(m.GridCountX >= 1 && m.GridCountX <= kMaxCountX && m.GridCountY >= 1 &&
           m.GridCountY <= kMaxCountY && m.GridCountZ >= 1 && m.GridCountZ <= kMaxCountZ);
    if (!(m.AirKerma > 0)) return QuantityFailure::AirKerma;
    computeTotalDose(m);
    m.ReferenceDose = computeReferenceDose(m);
    if (!(m.ReferenceDose > 0) || !std::isfinite(m.ReferenceDose))
        return QuantityFailure::EmptyReferenceRegion;
    if (pendingEvents) pendingEvents();
    rescaleToPercent(m);
    if (pendingEvents) pendingEvents();
    computeLayerSums(m);
    computeMeanAndSagd(m);
    fillDepthDose(m);
    return QuantityFailure::None;
}

} // namespace kv::results
