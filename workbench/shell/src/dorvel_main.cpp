// The dose workbench: the menu and every screen it opens.
#include "kv/gui/program.h"
#include "kv/shell/menu_screen.h"
#include "kv/shell/task_screens.h"
#include "kv/shell/workbench.h"
#include "kv/texts/menu.h"
#include "kv/texts/text.h"

#include <QDir>

int main(int argc, char** argv) {
    kv::gui::Program program(argc, argv, QStringLiteral("dorvel_") + QString::fromLatin1(kv::texts::editionSuffix()),
                             QString::fromUtf8(kv::texts::menuTexts().workbenchTitle.c_str()));
    kv::shell::Workbench workbench(QDir::currentPath());
    kv::shell::registerTaskScreens(workbench);
    return program.run(workbench.menu());
}
