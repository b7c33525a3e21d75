// MC.dat as the engines read it: a file error or nine items.
#include "kv/formats/control_file.h"

#include "fuzz_input.h"
#include "kv/common/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = kv::fuzz::putFile(kv::formats::kControlFileName, data, size);
    try {
        kv::formats::readControlFile(dir);
    } catch (const kv::formats::FileError&) {
    }
    return 0;
}
