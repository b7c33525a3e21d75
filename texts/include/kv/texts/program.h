#pragma once
// What every program says before it starts: its version, its usage when it
// has no usage of its own, and that a desktop program needs a display.
#include "kv/texts/text.h"

namespace kv::texts {

struct ProgramTexts {
    Text versionLine;    // {program}: the program's file name, {version}
    Text noDisplay;      // {program}
    Text launcherUsage;  // Kelvane-Vesk
    Text workbenchUsage; // dorvel_en, dorvel_ja
    Text lumiraUsage;    // lumira_en, lumira_ja
};

const ProgramTexts& programTexts();

} // namespace kv::texts
