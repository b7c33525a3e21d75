#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/launcher/launcher_screen.h"
#include "kv/texts/launcher.h"

int main(int argc, char** argv) {
    kv::gui::Program program(argc, argv, QStringLiteral("Kelvane-Vesk"),
                             kv::gui::qs(kv::texts::launcherTexts().title));
    kv::launcher::LauncherScreen screen;
    return program.run(screen);
}
