#include "kv/gui/program.h"
#include "kv/launcher/launcher_screen.h"
#include "kv/texts/launcher.h"

int main(int argc, char** argv) {
    kv::gui::Program program(argc, argv, QStringLiteral("Kelvane-Vesk"),
                             QString::fromUtf8(kv::texts::launcherTexts().title.c_str()));
    kv::launcher::LauncherScreen screen;
    return program.run(screen);
}
