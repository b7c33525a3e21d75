#include "kv/results/dose_model.h"

#include <gtest/gtest.h>

namespace {

using namespace kv::results;

TEST(DoseModel, ClearDoseGridZeroesEveryCellAndKeepsTheQuantities) {
    DoseModel m;
    m.DoseGrid(0, 0, 0, 0) = 1;
    m.DoseGrid(2, 76, 151, 61) = 2;
    m.DoseGrid(1, 10, 80, 3) = 3;
    m.ReferenceDose = 4;
    m.SagdValue = 0.5;
    m.DepthDose[Total][1] = 100;
    m.ClearDoseGrid();
    EXPECT_EQ(m.DoseGrid(0, 0, 0, 0), 0.0);
    EXPECT_EQ(m.DoseGrid(2, 76, 151, 61), 0.0);
    EXPECT_EQ(m.DoseGrid(1, 10, 80, 3), 0.0);
    EXPECT_EQ(m.ReferenceDose, 4.0);
    EXPECT_EQ(m.SagdValue, 0.5);
    EXPECT_EQ(m.DepthDose[Total][1], 100.0);
}

TEST(DoseModel, NumberFieldTexts) {
    struct Case {
        double reference, airKerma, fcd, sagd, mean;
        const char *referenceText, *fcdText, *sagdText, *meanText;
    } cases[] = {
        {1.0, 2.0, 65, 0.4567, 100, " 0.500", "65.0", "0.457", " 100.0"},
        {3e-4, 1e-4, 7.5, 1.23449, 5, " 3.000", "07.5", "1.234", " 05.0"},
        {0.1, 1, 60.04, 0.0005, 52.25, " 0.100", "60.0", "0.001", " 52.3"},
    };
    for (const Case& c : cases) {
        DoseModel m;
        m.ReferenceDose = c.reference;
        m.AirKerma = c.airKerma;
        m.FcdValue = c.fcd;
        m.SagdValue = c.sagd;
        m.MeanGlandDose = c.mean;
        DoseFields f = m.fields();
        EXPECT_EQ(f.referenceDose, c.referenceText);
        EXPECT_EQ(f.fcd, c.fcdText);
        EXPECT_EQ(f.sagd, c.sagdText);
        EXPECT_EQ(f.meanGlandDose, c.meanText);
    }
}

// Filled by hand: a grid of 10 X cells whose rows also hold values beyond the
// count (as every row of a file does), which must not enter any curve.
TEST(DoseQuantities, CellsBeyondGridCountXNeverEnterTheCurves) {
    DoseModel m;
    m.GridCountX = 10;
    m.GridCountY = 130;
    m.GridCountZ = 3;
    m.AirKerma = 0.5;
    for (int iz = 1; iz <= 3; ++iz)
        for (int iy = 1; iy <= 130; ++iy)
            for (int ix = 1; ix <= kValuesPerRow; ++ix) {
                m.DoseGrid(Primary, ix, iy, iz) = 3.0 / iz;
                m.DoseGrid(Scatter, ix, iy, iz) = 1.0;
            }
    ASSERT_EQ(computeDoseQuantities(m), QuantityFailure::None);
    EXPECT_DOUBLE_EQ(m.ReferenceDose, 4.0 * 1000 / 2000);
    for (int iz = 1; iz <= 3; ++iz) {
        EXPECT_NEAR(m.DepthDose[Primary][iz] + m.DepthDose[Scatter][iz], m.DepthDose[Total][iz], 1e-12);
        EXPECT_NEAR(m.DepthDose[Scatter][iz], 1000 * (100.0 / 2.0) / 2000, 1e-12);
    }
    EXPECT_NEAR(m.DepthDose[Total][1], 100.0, 1e-12);
    EXPECT_NEAR(m.MeanGlandDose, (100.0 + 62.5 + 50.0) / 3, 1e-9); // layers at 25 x (3/iz + 1)
    EXPECT_NEAR(m.SagdValue, (m.ReferenceDose / m.AirKerma) * 0.01 * m.MeanGlandDose, 1e-15);
    EXPECT_EQ(m.DoseGrid(Primary, 11, 60, 1), 3.0); // read, never rescaled
}

TEST(DoseQuantities, RefusesWhatCannotBeDividedBy) {
    DoseModel m;
    m.GridCountX = 75;
    m.GridCountY = 150;
    m.GridCountZ = 2;
    m.AirKerma = 0;
    m.DoseGrid(Primary, 5, 50, 1) = 1;
    EXPECT_EQ(computeDoseQuantities(m), QuantityFailure::AirKerma);
    m.AirKerma = 1;
    m.DoseGrid(Primary, 5, 50, 1) = 0;
    m.DoseGrid(Primary, 21, 50, 1) = 1; // outside the region
    m.DoseGrid(Primary, 5, 50, 2) = 1;  // below the entrance layer
    EXPECT_EQ(computeDoseQuantities(m), QuantityFailure::EmptyReferenceRegion);
}

} // namespace
