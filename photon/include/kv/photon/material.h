#pragma once
// Materials as element mass fractions and a density.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::engine {

struct ElementShare {
    int z = 0;
    double massFraction = 0.0;
};

struct Material {
    std::string name;
    double density = 0.0; // g/cm3
    std::vector<ElementShare> elements;
};

// A chemical formula ("C5H8O2") at a density.
Material materialFromFormula(std::string name, const std::string& formula, double density);

namespace materials {
// The 0 % and 100 % rows of the phantom composition table.
Material adipose();
Material glandular();
Material pmma();                   // breast support, C5H8O2, 1.19 g/cm3
Material polycarbonate();          // compression paddle, C16H14O3, 1.20 g/cm3
Material dryAir();                 // for the air kerma
} // namespace materials

// A phantom composition file (BR12-50.dat and its siblings).
struct Composition {
    double glandularFraction = 0.0; // percent
    Material material;
};

struct CompositionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads the self-describing composition file; throws kv::RecordError
// (missing, too short) or CompositionError naming the file and the line.
Composition readCompositionFile(const std::filesystem::path& workDir, const std::string& name);

} // namespace kv::engine
