// Phantom.dat as the engines read it: a record error or five items.
#include "kv/workbench/phantom_file.h"

#include "fuzz_input.h"
#include "kv/common/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = kv::fuzz::putFile(kv::workbench::kPhantomFileName, data, size);
    try {
        kv::workbench::readPhantomFile(dir);
    } catch (const kv::RecordError&) {
    }
    return 0;
}
