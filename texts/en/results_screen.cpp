#include "kv/texts/results_screen.h"

namespace kv::texts {

const DoseLegendTexts& doseLegendTexts() {
    static constexpr DoseLegendTexts t{
        .levels = {"over 90", "80 - 90", "70 - 80", "60 - 70", "50 - 60", "40 - 50", "30 - 40", "20 - 30",
                   "10 - 20", "5 - 10", "0 -  5"},
        .percent = "%",
    };
    return t;
}

} // namespace kv::texts
