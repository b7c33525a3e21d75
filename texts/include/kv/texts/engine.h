#pragma once
// The engines halvex and tiravex are single programs: their texts are
// English in both texts libraries.
#include "kv/texts/text.h"

namespace kv::texts {

struct EngineTexts {
    Text captionMammography;   // window title of halvex
    Text captionTomosynthesis; // window title of tiravex
    Text heading;              // %1: the result file
    Text histories;
    Text historiesValue;       // %1 done of %2
    Text rate;
    Text rateValue;            // %1 histories per second
    Text elapsed;
    Text remaining;
    Text uncertaintyReference;
    Text uncertaintySagd;
    Text stopAndSave;
    Text cancel;
    Text close;
    Text running;
    Text useButtons;
    Text saved;                // %1 file, %2 histories
    Text stoppedAndSaved;      // %1 file, %2 done, %3 asked
    Text cancelled;
    Text writeFailed;          // %1: why
    Text cannotStart;          // %1: the file and the problem
    Text consoleStart;         // %1 file, %2 histories, %3 threads
    Text consoleProgress;      // %1 percent, %2 done, %3 asked, %4 rate, %5 elapsed, %6 remaining, %7 and %8 uncertainties
    Text consoleHint;
};

const EngineTexts& engineTexts();

} // namespace kv::texts
