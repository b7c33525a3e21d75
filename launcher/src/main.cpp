#include "kv/common/program_start.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/launcher/launcher_screen.h"
#include "kv/texts/launcher.h"
#include "kv/texts/program.h"

int main(int argc, char** argv) {
    if (auto end = kv::beginProgram(argc, argv, kv::texts::programTexts().launcherUsage, kv::Needs::Display))
        return *end;
    kv::gui::Program program(argc, argv, QStringLiteral("Kelvane-Vesk"),
                             kv::gui::qs(kv::texts::launcherTexts().title));
    kv::launcher::LauncherScreen screen;
    return program.run(screen);
}
