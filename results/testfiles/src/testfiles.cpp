#include "kv/results/testfiles/testfiles.h"

namespace fs = std::filesystem;

namespace kv::results::testfiles {

void setKind(ResultFileContent& r, const std::string& kindLine) {
    r.kindLine = kindLine;
    r.description.clear();
    int n = descriptionLineCount(kindLine);
    for (int i = 1; i <= n; ++i)
        r.description.push_back("   description line " + std::to_string(i) + " of " + std::to_string(n));
}

ResultFileContent makeResult(int countX, int countY, int countZ, const DoseFunction& dose, double airKerma,
                             double fcd) {
    ResultFileContent r;
    setKind(r, std::string(kMammographyKind));
    r.histories = 1e8;
    r.historyNote = "   Phantom size (X, Y, Z in cm) and glandular fraction (%)";
    r.phantom = {15.0, 15.0, countZ / 10.0, 50.0};
    r.phantomNote = "   Air kerma, FCD (cm), cells X, Y, Z; then primary and scatter dose";
    r.airKerma = airKerma;
    r.fcd = fcd;
    r.countX = countX;
    r.countY = countY;
    r.countZ = countZ;
    // Plain decimals keep every digit, so tests can compare exact values.
    r.valuePattern = "0.00000000000000E+00";
    for (int c : {Primary, Scatter}) {
        std::vector<double>& block = c == Primary ? r.primary : r.scatter;
        block.reserve(static_cast<size_t>(kValuesPerRow) * countY * countZ);
        for (int iz = 1; iz <= countZ; ++iz)
            for (int iy = 1; iy <= countY; ++iy)
                for (int ix = 1; ix <= kValuesPerRow; ++ix)
                    block.push_back(dose(c, ix, iy, iz));
    }
    return r;
}

ResultFileContent uniformResult(int countX, int countY, int countZ, double d, double airKerma) {
    return makeResult(
        countX, countY, countZ, [d](int, int, int, int) { return d; }, airKerma);
}

std::string resultText(const ResultFileContent& r) {
    RecordWriter w(fs::path("."), "unused.vesk");
    formats::writeResultFile(w, r);
    return w.content();
}

void writeResult(const fs::path& dir, const std::string& name, const ResultFileContent& r) {
    formats::writeResultFile(dir, name, r);
}

} // namespace kv::results::testfiles
