#include "kv/common/program_start.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/spectrum/ui/spectrum_screen.h"
#include "kv/texts/lumira.h"
#include "kv/texts/program.h"
#include "kv/texts/text.h"

#include <filesystem>

int main(int argc, char** argv) {
    if (auto end = kv::beginProgram(argc, argv, kv::texts::programTexts().lumiraUsage, kv::Needs::Display))
        return *end;
    const QString name = QStringLiteral("lumira_") + QString::fromLatin1(kv::texts::editionSuffix());
    kv::gui::Program program(argc, argv, name, kv::gui::qs(kv::texts::lumiraTexts().title));
    kv::spectrum::ui::SpectrumScreen screen(std::filesystem::current_path());
    if (!screen.start()) return 1;
    QObject::connect(&screen, &kv::spectrum::ui::SpectrumScreen::ended, &program.app(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    return program.run(screen);
}
