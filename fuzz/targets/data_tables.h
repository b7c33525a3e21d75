#pragma once
// The two data tables are read together; each target fuzzes one and finds
// the shipped other beside it.
#include "fuzz_input.h"
#include "kv/spectrum/model/physical_data.h"

#include <fstream>
#include <iterator>
#include <string>

namespace kv::fuzz {

inline void loadTablesWith(const char* fuzzedName, const char* shippedName, const uint8_t* data,
                           size_t size) {
    static const bool shippedInPlace = [shippedName] {
        std::ifstream in(std::filesystem::path(KV_SOURCE_DIR) / "data" / shippedName, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.empty()) fail(std::string("the shipped ") + shippedName + " is missing");
        putFile(shippedName, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        return true;
    }();
    (void)shippedInPlace;
    const std::filesystem::path& dir = putFile(fuzzedName, data, size);
    try {
        kv::spectrum::LoadPhysicalData(dir);
    } catch (const formats::FileError& e) {
        describe(e, kv::texts::englishSpectrumFileTexts);
    }
}

} // namespace kv::fuzz
