// The dose workbench: the menu and every screen it opens.
#include "kv/common/program_start.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/texts/menu.h"
#include "kv/texts/program.h"
#include "kv/texts/text.h"
#include "kv/workbench/shell/menu_screen.h"
#include "kv/workbench/shell/workbench.h"

#include <QDir>

int main(int argc, char** argv) {
    if (auto end = kv::beginProgram(argc, argv, kv::texts::programTexts().workbenchUsage, kv::Needs::Display))
        return *end;
    kv::gui::Program program(argc, argv,
                             QStringLiteral("dorvel_") + QString::fromLatin1(kv::texts::editionSuffix()),
                             kv::gui::qs(kv::texts::menuTexts().workbenchTitle));
    kv::shell::Workbench workbench(QDir::currentPath());
    return program.run(workbench.menu());
}
