#include "kv/gui/fonts.h"

#include <QFont>
#include <QStringList>

namespace kv::gui {

void registerFontSubstitutions() {
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               QStringList{"Liberation Serif", "Noto Serif CJK JP"});
    QFont::insertSubstitutions(QStringLiteral("Meiryo"), QStringList{"Noto Sans CJK JP", "Liberation Sans"});
    QFont::insertSubstitutions(QStringLiteral("MS UI Gothic"), QStringList{"Noto Sans CJK JP"});
}

} // namespace kv::gui
