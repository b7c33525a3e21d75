#include "kv/common/program_start.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/launcher/launcher_screen.h"
#include "kv/launcher/work_folder.h"
#include "kv/texts/launcher.h"
#include "kv/texts/program.h"

int main(int argc, char** argv) {
    if (auto end = kv::beginProgram(argc, argv, kv::texts::programTexts().launcherUsage, kv::Needs::Display))
        return *end;
    kv::gui::Program program(argc, argv, QStringLiteral("Kelvane-Vesk"),
                             kv::gui::qs(kv::texts::launcherTexts().title));
    kv::launcher::Places places = kv::launcher::defaultPlaces();
    if (auto folder = kv::launcher::folderOfOpenedFile(std::vector<std::string>(argv + 1, argv + argc)))
        places.workFolder = *folder;
    kv::launcher::LauncherScreen screen(nullptr, places);
    return program.run(screen);
}
