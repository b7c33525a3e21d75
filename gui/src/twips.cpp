#include "kv/gui/twips.h"

#include "kv/gui/qtext.h"

#include <QString>
#include <QWidget>
#include <cmath>

namespace kv::gui {

int twipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

double pixelsToTwips(double pixels) {
    return pixels * kTwipsPerPixel;
}

QRect toPixels(const Twips& t) {
    return QRect(twipsToPixels(t.left), twipsToPixels(t.top), twipsToPixels(t.width),
                 twipsToPixels(t.height));
}

QPoint toPixels(int xTwips, int yTwips) {
    return QPoint(twipsToPixels(xTwips), twipsToPixels(yTwips));
}

int pointsToPixels(double points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

QFont fontPt(double points, bool italic, bool bold, std::string_view family) {
    QFont f(qs(family));
    f.setPixelSize(pointsToPixels(points));
    f.setItalic(italic);
    f.setBold(bold);
    return f;
}

void placeTwips(QWidget* w, const Twips& t) {
    w->setGeometry(toPixels(t));
}

} // namespace kv::gui
