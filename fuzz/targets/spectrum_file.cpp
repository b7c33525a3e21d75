// P_SPCTL.dat as the engines read it: a FileError naming a line of
// the file, or the settings and a table of fluences that are not negative.
#include "kv/formats/spectrum_file.h"

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = kv::fuzz::putFile(kv::formats::kSpectrumFileName, data, size);
    try {
        kv::formats::SpectrumFileContents c = kv::formats::readSpectrumFile(dir);
        for (const auto& column : c.table)
            for (double v : column)
                if (v < 0) kv::fuzz::fail("a negative fluence was read");
    } catch (const kv::formats::FileError& e) {
        if (e.line < 0 || e.line > 262) kv::fuzz::fail("an error names a line the file cannot have");
        describe(e, kv::texts::englishSpectrumFileTexts);
    }
    return 0;
}
