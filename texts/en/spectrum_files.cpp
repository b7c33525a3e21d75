#include "kv/texts/spectrum_files.h"

namespace kv::texts {
const SpectrumFileTexts& spectrumFileTexts() {
    return englishSpectrumFileTexts;
}
} // namespace kv::texts
