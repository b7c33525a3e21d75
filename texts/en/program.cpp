#include "kv/texts/program.h"

namespace kv::texts {

const ProgramTexts& programTexts() {
    static constexpr ProgramTexts t{
        .versionLine = "{program} (Kelvane-Vesk) {version}",
        .noDisplay = "{program} is a desktop program and needs a display, and none was found (DISPLAY or "
                     "WAYLAND_DISPLAY): start it on the desktop.",
        .launcherUsage =
            "usage: Kelvane-Vesk [--help] [--version] [FILE.vesk]\n"
            "Starts the dose workbench of Kelvane-Vesk in English (dorvel_en) or Japanese (dorvel_ja).\n"
            "Installed, the workbench works in the folder the launcher shows: ~/Kelvane-Vesk unless\n"
            "another is chosen for the session, made and given a starting equipment.dat when it has\n"
            "none. Run from the build, it works in the run folder. A file named (a result file the\n"
            "desktop opens with Kelvane-Vesk FILE.vesk) makes its folder the working folder instead.",
        .workbenchUsage =
            "usage: dorvel_en [--help] [--version]\n"
            "The dose workbench of Kelvane-Vesk: phantom, X-ray spectrum, Monte Carlo simulation and\n"
            "results. It works in the current folder (equipment.dat, the run files, the result files\n"
            "*.vesk); the launcher Kelvane-Vesk starts it in the working folder it shows.",
        .lumiraUsage = "usage: lumira_en [--help] [--version]\n"
                       "The X-ray spectrum tool of Kelvane-Vesk, started from the workbench's menu. It\n"
                       "reads equipment.dat in the current folder and writes P_SPCTL.dat and\n"
                       "equipment.dat there on \"Determine\"; MUs12.dat and Mo-STP.dat come from the\n"
                       "current folder when it holds them, else from the data installed with it.",
    };
    return t;
}

} // namespace kv::texts
