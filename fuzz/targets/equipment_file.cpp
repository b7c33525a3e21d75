// equipment.dat as the set-up screen, the spectrum tool and the engines read
// it: a FileError or the six items.
#include "kv/formats/equipment_file.h"

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = kv::fuzz::putFile(kv::formats::kEquipmentFileName, data, size);
    try {
        kv::formats::readEquipment(dir);
    } catch (const kv::formats::FileError& e) {
        // Every message the screens show is built from it.
        describe(e, kv::texts::englishSpectrumFileTexts);
    }
    return 0;
}
