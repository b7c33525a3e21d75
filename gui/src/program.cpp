#include "kv/gui/program.h"

#include "kv/common/typed_number.h"
#include "kv/gui/fonts.h"
#include "kv/gui/twips.h"
#include "kv/texts/program.h"
#include "kv/texts/text.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTranslator>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace kv::gui {
namespace {

QString title_;

// Command buttons with a flat face in their palette colour and a thin dark
// edge, instead of the base style's pale gradient.
class FlatButtonStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_PanelButtonCommand) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const bool sunken = option->state & (State_Sunken | State_On);
        const bool enabled = option->state & State_Enabled;
        QColor face = option->palette.color(QPalette::Button);
        if (sunken) face = face.darker(115);
        const QRect r = option->rect.adjusted(0, 0, -1, -1);
        painter->save();
        painter->setPen(enabled ? QColor(96, 96, 96) : QColor(160, 160, 160));
        painter->setBrush(face);
        painter->drawRect(r);
        if (option->state & State_HasFocus) {
            painter->setPen(QColor(0, 0, 0));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(r.adjusted(1, 1, -1, -1));
        }
        painter->restore();
    }
};

} // namespace

QString programTitle() {
    return title_;
}

void setUpApplication(const QString& title) {
    registerFontSubstitutions();
    // One look on every desktop, and the palette colours of the screens show.
    if (QStyle* s = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(new FlatButtonStyle(s));
    QApplication::setFont(fontPt(9.75));
    // Not the display name: the window system would append it to every caption.
    title_ = title;
    // Numbers are shown through our own patterns; the locale must not change
    // what Qt's own widgets show either.
    QLocale::setDefault(QLocale::c());
    QCoreApplication::setApplicationName(QStringLiteral("Kelvane-Vesk"));
    // Qt's own dialogs (a folder or file chooser) speak the edition's language.
    if (texts::edition() == texts::Edition::Japanese) {
        static QTranslator qtTexts;
        if (qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&qtTexts);
    }
}

namespace {

QtMessageHandler previousHandler = nullptr;
QString startingProgram;
std::vector<std::pair<QtMsgType, QString>> heldMessages;

// Qt's messages while the application is made are held back: when no
// platform plugin can open the display, Qt would abort after a few lines of
// its own; our one line says it instead.
void endWithoutDisplay(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        heldMessages.emplace_back(type, message);
        return;
    }
    const std::string line =
        fillIn(std::string(texts::programTexts().noDisplay), {{"{program}", startingProgram.toStdString()}});
    std::fprintf(stderr, "%s\n", line.c_str());
    std::_Exit(1);
}

} // namespace

Program::PlatformFailureGuard::PlatformFailureGuard(const QString& name) {
    startingProgram = name;
    previousHandler = qInstallMessageHandler(endWithoutDisplay);
}

Program::Program(int& argc, char** argv, const QString& name, const QString& title)
    : guard_(name), app_(argc, argv) {
    qInstallMessageHandler(previousHandler);
    for (const auto& [type, message] : heldMessages)
        if (previousHandler) previousHandler(type, QMessageLogContext(), message);
    heldMessages.clear();
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
