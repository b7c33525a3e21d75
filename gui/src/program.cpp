#include "kv/gui/program.h"

#include "kv/gui/fonts.h"
#include "kv/gui/twips.h"
#include "kv/texts/text.h"

#include <QLocale>
#include <QStyleFactory>
#include <QWidget>

namespace kv::gui {

void setUpApplication(const QString& title) {
    registerFontSubstitutions();
    // One look on every desktop, and the palette colours of the screens show.
    if (QStyle* s = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(s);
    QApplication::setFont(fontPt(9.75));
    QGuiApplication::setApplicationDisplayName(title);
    // Numbers are shown through our own patterns; the locale must not change
    // what Qt's own widgets show either.
    QLocale::setDefault(QLocale::c());
    QCoreApplication::setApplicationName(QStringLiteral("Kelvane-Vesk"));
}

Program::Program(int& argc, char** argv, const QString& name, const QString& title) : app_(argc, argv) {
    setUpApplication(title);
    QCoreApplication::setApplicationName(name);
}

int Program::run(QWidget& first) {
    showInFront(first);
    return app_.exec();
}

void showInFront(QWidget& w) {
    w.show();
    w.raise();
    w.activateWindow();
}

} // namespace kv::gui
