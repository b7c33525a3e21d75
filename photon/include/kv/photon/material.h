#pragma once
// Materials as element mass fractions and a density: the one material layer
// of the engine, the beam-quality figures and the data generator.
#include <string>
#include <string_view>
#include <vector>

namespace kv::photon {

struct ElementShare {
    int z = 0;
    double massFraction = 0.0;
};

struct Material {
    std::string name;
    double density = 0.0; // g/cm3
    std::vector<ElementShare> elements;
};

// A chemical formula ("C5H8O2") at a density, with xraylib's atomic weights.
// Throws std::invalid_argument for a formula xraylib cannot read.
Material materialFromFormula(std::string name, const std::string& formula, double density);
// One element at a density, named by its symbol. Throws std::runtime_error.
Material element(int z, double density);
// A compound of xraylib's NIST list, by its exact name; the density is given
// so that the data files state theirs explicitly. Throws std::runtime_error.
Material nistCompound(const std::string& nistName, double density);
// The atomic number of a chemical symbol ("Ca"), 0 when there is none.
int atomicNumber(const std::string& symbol);

namespace materials {
// The 0 % and 100 % rows of the phantom composition table.
Material adipose();
Material glandular();
// Adipose and glandular tissue mixed by weight, `glandularPercent` (0..100)
// glandular: element fractions and density both weighted by mass, as the
// published breast tissues are (AAPM TG-195's 20 % breast: 0.952 g/cm3).
// Throws std::invalid_argument outside 0..100.
Material breastTissue(double glandularPercent);
Material pmma();          // breast support, C5H8O2, 1.19 g/cm3
Material polycarbonate(); // compression paddle, C16H14O3, 1.20 g/cm3
// Dry air near sea level, 0.001205 g/cm3, for every air kerma and the air
// column of the data tables.
Material dryAir();
} // namespace materials

} // namespace kv::photon
