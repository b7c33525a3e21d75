#pragma once
// Texts of the results screen (Form2) and of the dose legend every map shows.
#include "kv/texts/text.h"

#include <array>

namespace kv::texts {

struct DoseLegendTexts {
    std::array<Text, 11> levels; // "over 90" at the top down to "0 -  5"
    Text percent;                // the "%" under the legend
};

const DoseLegendTexts& doseLegendTexts();

} // namespace kv::texts
