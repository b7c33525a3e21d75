#include "kv/texts/spectrum_files.h"

namespace kv::texts {
const SpectrumFileTexts& spectrumFileTexts() {
    return japaneseSpectrumFileTexts;
}
} // namespace kv::texts
