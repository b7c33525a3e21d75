// Phantom.dat as the engines read it: a file error or five items.
#include "kv/formats/phantom_file.h"

#include "fuzz_input.h"
#include "kv/common/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = kv::fuzz::putFile(kv::formats::kPhantomFileName, data, size);
    try {
        kv::formats::readPhantomFile(dir);
    } catch (const kv::formats::FileError&) {
    }
    return 0;
}
