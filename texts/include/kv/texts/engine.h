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
    Text historiesValue; // %1 done of %2
    Text rate;
    Text rateValue; // %1 histories per second
    Text elapsed;
    Text remaining;
    Text uncertaintyReference;
    Text uncertaintySagd;
    Text stopAndSave;
    Text cancel;
    Text close;
    Text running;
    Text useButtons;
    Text saved;           // %1 file, %2 histories
    Text stoppedAndSaved; // %1 file, %2 done, %3 asked
    Text cancelled;
    Text writeFailed;     // %1: why
    Text runFault;        // %1 done, %2 asked, %3 what happened
    Text savedAfterFault; // %1 file, %2 histories
    Text notSaved;        // %1: why (one of the reasons below)
    Text reasonNoHistories;
    Text reasonNotFinite;
    Text reasonNoAirKerma;
    Text reasonNoReferenceDose;
    Text reasonUnreadable;
    Text cannotStart;     // %1: the file and the problem
    Text consoleStart;    // %1 file, %2 histories, %3 threads
    Text consoleProgress; // %1 percent, %2 done, %3 asked, %4 rate, %5 elapsed, %6 remaining, %7 and %8
                          // uncertainties
    Text consoleHint;
    Text targetReached;      // %1 file, %2 histories, %3 the sAGD's uncertainty
    Text usage;              // the command-line options
    Text badOption;          // %1: what is wrong
    Text consoleStartShared; // %1 file, %2 histories, %3 processes, %4 threads each
    Text builtWithoutMpi;
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
    .runFault = "The run broke off after %1 of %2 histories: %3",
    .savedAfterFault = "Saved %1 with the %2 histories done before that.",
    .notSaved = "The result was not saved: %1.",
    .reasonNoHistories = "no history was run",
    .reasonNotFinite = "a dose or the air kerma is not a finite number",
    .reasonNoAirKerma = "the air kerma is zero or negative",
    .reasonNoReferenceDose = "the reference region holds no dose, so there is no 100 % dose",
    .reasonUnreadable = "the workbench could not read it back",
    .cannotStart = "The simulation cannot start. %1",
    .consoleStart = "Simulating %1: %2 histories on %3 threads.",
    .consoleProgress = "%1 %  %2 of %3 histories  %4 /s  elapsed %5  remaining %6  "
                       "uncertainty: 100 % dose %7, sAGD %8",
    .consoleHint = "Ctrl+C stops the run and saves the histories done so far.",
    .targetReached = "Target uncertainty reached: saved %1 with %2 histories (sAGD %3).",
    .usage = "usage: halvex|tiravex [--sagd-sigma P] [--seed S] [--threads N]\n"
             "  --sagd-sigma P  stop at the end of a batch once the sAGD's relative 1-sigma is at most\n"
             "                  P % (0 < P <= 100); the history count of MC.dat stays the upper limit\n"
             "  --seed S        random seed, decimal 0 .. 18446744073709551615; the same seed gives the\n"
             "                  same dose on any number of threads or processes\n"
             "  --threads N     threads of each process (default: the machine's cores, shared among\n"
             "                  the processes started on it)\n"
             "Options may be written --opt VALUE or --opt=VALUE. Options given here override\n"
             "RunOptions.dat of the working directory\n"
             "(lines sagd_sigma_percent = P and seed = S).\n"
             "halvex-mpi and tiravex-mpi (package kelvane-vesk-mpi) share the batches over the\n"
             "processes of mpirun; process 0 shows the progress, takes Ctrl+C and writes the result file.",
    .badOption = "The simulation cannot start: %1.",
    .consoleStartShared = "Simulating %1: %2 histories on %3 processes of %4 threads.",
    .builtWithoutMpi =
        "This engine runs in one process and cannot share a run over processes: start it without "
        "mpirun, or use halvex-mpi or tiravex-mpi (package kelvane-vesk-mpi) under mpirun.",
};

const EngineTexts& engineTexts();

} // namespace kv::texts
