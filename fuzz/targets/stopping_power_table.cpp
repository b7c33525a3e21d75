// Mo-STP.dat as the spectrum tool reads it.
#include "data_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kv::fuzz::loadTablesWith(kv::spectrum::kStoppingPowerFileName, kv::spectrum::kAttenuationFileName, data,
                             size);
    return 0;
}
