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

inline constexpr EngineTexts englishEngineTexts{
    .captionMammography = "halvex - Mammography Monte Carlo",
    .captionTomosynthesis = "tiravex - Tomosynthesis Monte Carlo",
    .heading = "Simulating %1",
    .histories = "Histories",
    .historiesValue = "%1 of %2",
    .rate = "Rate",
    .rateValue = "%1 histories/s",
    .elapsed = "Elapsed",
    .remaining = "Remaining",
    .uncertaintyReference = "Relative uncertainty of the 100 % dose",
    .uncertaintySagd = "Relative uncertainty of the sAGD",
    .stopAndSave = "Stop and save",
    .cancel = "Cancel",
    .close = "Close",
    .running = "Running",
    .useButtons = "The simulation is running: use \"Stop and save\" or \"Cancel\".",
    .saved = "Saved %1 with %2 histories.",
    .stoppedAndSaved = "Stopped: saved %1 with %2 of %3 histories.",
    .cancelled = "Cancelled: no result file was written.",
    .writeFailed = "The result could not be written: %1",
    .cannotStart = "The simulation cannot start. %1",
    .consoleStart = "Simulating %1: %2 histories on %3 threads.",
    .consoleProgress = "%1 %  %2 of %3 histories  %4 /s  elapsed %5  remaining %6  "
                       "uncertainty: 100 % dose %7, sAGD %8",
    .consoleHint = "Ctrl+C stops the run and saves the histories done so far.",
};

const EngineTexts& engineTexts();

} // namespace kv::texts
