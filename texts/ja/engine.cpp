#include "kv/texts/engine.h"

namespace kv::texts {

const EngineTexts& engineTexts() {
    static constexpr EngineTexts t{
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
    return t;
}

} // namespace kv::texts
