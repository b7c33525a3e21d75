// A composition file (BR12-*.dat) as the engines read it: a file error, or
// elements whose mass fractions add up to 1.
#include "kv/formats/composition_file.h"

#include "fuzz_input.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = kv::fuzz::putFile("BR12-50.dat", data, size);
    try {
        kv::formats::Composition c = kv::formats::readCompositionFile(dir, "BR12-50.dat");
        double sum = 0;
        for (const kv::photon::ElementShare& e : c.material.elements)
            sum += e.massFraction;
        if (c.material.elements.empty() || !(std::fabs(sum - 1) <= 0.01) || !(c.material.density > 0))
            kv::fuzz::fail("a composition was read that no material can have");
    } catch (const kv::formats::FileError&) {
    }
    return 0;
}
