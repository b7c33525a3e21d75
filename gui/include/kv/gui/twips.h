#pragma once
// Screens are laid out in twips (1/1440 inch): 15 twips are one pixel at 96
// dpi. Qt's high-DPI scaling works on top of these logical pixels.
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <string_view>

class QWidget;

namespace kv::gui {

inline constexpr int kTwipsPerPixel = 15;

// left, top, width, height in twips
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Colour {
    int r = 0;
    int g = 0;
    int b = 0;
    QColor qt() const { return QColor(r, g, b); }
    friend constexpr bool operator==(const Colour&, const Colour&) = default;
};

// The colours every screen shares.
namespace colours {
inline constexpr Colour black{0, 0, 0};
inline constexpr Colour white{255, 255, 255};
inline constexpr Colour red{255, 0, 0};
inline constexpr Colour yellow{255, 255, 0};
inline constexpr Colour blue{0, 0, 255};
inline constexpr Colour grey{128, 128, 128};
inline constexpr Colour darkGrey{64, 64, 64};
inline constexpr Colour lightGrey{192, 192, 192};
inline constexpr Colour mapGrey{224, 224, 224};
inline constexpr Colour buttonYellow{255, 255, 192}; // command buttons, read-out fields
inline constexpr Colour buttonCyan{192, 255, 255};   // buttons that open a reference picture
} // namespace colours

int twipsToPixels(double twips);
double pixelsToTwips(double pixels);
QRect toPixels(const Twips& t);
QPoint toPixels(int xTwips, int yTwips);

inline constexpr std::string_view kSerif = "Times New Roman";

// A font by point size, as the screens give it. The size is fixed in logical
// pixels (pt * 96 / 72) so that a layout in twips holds whatever DPI the
// window system reports.
QFont fontPt(double points, bool italic = false, bool bold = false, std::string_view family = kSerif);
int pointsToPixels(double points);

void placeTwips(QWidget* w, const Twips& t);

} // namespace kv::gui
