#include "kv/gui/program.h"

#include "kv/gui/fonts.h"
#include "kv/gui/twips.h"
#include "kv/texts/text.h"

#include <QLocale>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

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
