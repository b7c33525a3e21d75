#pragma once
// A phantom composition file (BR12-50.dat and its siblings): a title, then
// "Glandular fraction (%) = ", "Density (g/cm3) = ", "Elements = " and one
// "<symbol> = <mass fraction>" line per element.
#include "kv/formats/file_error.h"
#include "kv/photon/material.h"

#include <filesystem>
#include <string>

namespace kv::formats {

// The densities a phantom material can have, g/cm3.
inline constexpr double kMinDensity = 0.01, kMaxDensity = 25.0;

struct Composition {
    double glandularFraction = 0.0; // percent
    photon::Material material;
};

// Throws FileError naming the file and, in its message, the line.
Composition readCompositionFile(const std::filesystem::path& workDir, const std::string& name);

} // namespace kv::formats
