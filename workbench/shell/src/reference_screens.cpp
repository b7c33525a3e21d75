#include "kv/workbench/shell/reference_screens.h"

#include "kv/gui/qtext.h"
#include "kv/texts/reference.h"
#include "kv/workbench/shell/drawings.h"

#include <QFontMetrics>
#include <QPainter>
#include <deque>
#include <string>

namespace kv::shell {

using namespace gui;

namespace {

std::vector<Control> airKermaTable() {
    const auto& t = texts::airKermaTexts();
    return {
        {.name = t.headingName,
         .kind = Kind::Label,
         .rect = {t.headingLeft, 240, t.headingWidth, 405},
         .text = t.heading,
         .font = {18},
         .fore = colours::blue,
         .fit = true},
        {.name = "Picture2",
         .kind = Kind::Picture,
         .rect = {480, 840, 9645, 6600},
         .back = colours::white,
         .border = true},
        {.name = t.noteName,
         .kind = Kind::Label,
         .rect = {360, 7680},
         .text = t.note,
         .font = {15.75},
         .fore = colours::blue},
        {.name = "Command1",
         .kind = Kind::Button,
         .rect = {4560, 8280, 1335, 495},
         .text = t.close,
         .font = {14.25},
         .back = colours::buttonYellow},
    };
}

// Names made up at run time must outlive the forms that keep views of them.
std::string_view keptName(const std::string& name) {
    static std::deque<std::string> names;
    for (const auto& n : names)
        if (n == name) return n;
    return names.emplace_back(name);
}

// The text column of the method screen: one label per line, a square marker
// beside each step heading, and in the English formula a drawn times sign.
std::vector<Control> methodTable() {
    const auto& t = texts::methodTexts();
    std::vector<Control> rows;
    const Style body{14.25};
    // Lines end short of the drawings at 8280; a longer one gets a smaller font.
    // The labels are taller than the line step so that no glyph is cut off.
    const int textLeft = 600, textWidth = 7560, lineStep = 315, stepGap = 105;
    int y = 240, label = 0, shape = 0;
    for (const auto& line : t.lines) {
        const std::string name = "Label" + std::to_string(++label);
        switch (line.kind) {
        case texts::MethodLineKind::Heading:
            rows.push_back({.name = keptName(name),
                            .kind = Kind::Label,
                            .rect = {360, y},
                            .text = line.text,
                            .font = {15.75},
                            .fore = colours::blue});
            y += 450;
            break;
        case texts::MethodLineKind::Step:
            y += stepGap;
            rows.push_back({.name = keptName("Shape" + std::to_string(++shape)),
                            .kind = Kind::Shape,
                            .rect = {360, y + 90, 135, 135},
                            .fore = colours::blue,
                            .back = colours::blue});
            rows.push_back({.name = keptName(name),
                            .kind = Kind::Label,
                            .rect = {textLeft, y, textWidth, 420},
                            .text = line.text,
                            .font = body,
                            .fit = true});
            y += lineStep;
            break;
        case texts::MethodLineKind::Body:
            rows.push_back({.name = keptName(name),
                            .kind = Kind::Label,
                            .rect = {textLeft, y, textWidth, 420},
                            .text = line.text,
                            .font = body,
                            .fit = true});
            y += lineStep;
            break;
        case texts::MethodLineKind::Formula: {
            const int left = textLeft + 1440;
            rows.push_back({.name = keptName(name),
                            .kind = Kind::Label,
                            .rect = {left, y + 60},
                            .text = line.text,
                            .font = {14.25, false, true},
                            .fore = colours::blue});
            const std::string_view before = t.formulaBeforeSign;
            if (!before.empty()) {
                // The sign sits in the middle of the blanks after "AGD = Ka".
                const QFontMetrics fm(fontPt(14.25, false, true));
                const QString all = qs(line.text);
                const QString lead = qs(before);
                int gapEnd = static_cast<int>(lead.size());
                while (gapEnd < all.size() && all[gapEnd] == QLatin1Char(' '))
                    ++gapEnd;
                const double cx =
                    left + pixelsToTwips(
                               (fm.horizontalAdvance(lead) + fm.horizontalAdvance(all.left(gapEnd))) / 2.0);
                const double cy = y + 60 + pixelsToTwips(fm.ascent() - fm.xHeight() / 2.0);
                const int h = 60;
                const int x = static_cast<int>(cx), yc = static_cast<int>(cy);
                rows.push_back({.name = "Line1",
                                .kind = Kind::Line,
                                .rect = {x - h, yc - h, x + h, yc + h},
                                .fore = colours::blue,
                                .lineWidth = 2});
                rows.push_back({.name = "Line2",
                                .kind = Kind::Line,
                                .rect = {x - h, yc + h, x + h, yc - h},
                                .fore = colours::blue,
                                .lineWidth = 2});
            }
            y += lineStep + 60;
            break;
        }
        }
    }
    for (const Control& picture : {
             Control{.name = "Picture2", .kind = Kind::Picture, .rect = {8280, 360, 3495, 4695}},
             Control{.name = "Picture1", .kind = Kind::Picture, .rect = {12000, 360, 4695, 4695}},
             Control{.name = "Picture3", .kind = Kind::Picture, .rect = {8280, 5400, 3570, 5040}},
             Control{.name = "Picture4", .kind = Kind::Picture, .rect = {11880, 5400, 4935, 4815}},
         }) {
        Control c = picture;
        c.back = colours::white;
        c.border = true;
        rows.push_back(c);
    }
    rows.push_back({.name = "Command1",
                    .kind = Kind::Button,
                    .rect = {15240, 10560, 1335, 615},
                    .text = t.close,
                    .font = {14.25},
                    .back = colours::buttonYellow});
    return rows;
}

void paintPicture(Canvas* c, void (*draw)(QPainter&, const QRectF&)) {
    c->paintWith([c, draw](QPainter& p) { draw(p, QRectF(QPointF(0, 0), QSizeF(c->innerRect().size()))); });
}

} // namespace

AirKermaScreen::AirKermaScreen()
    : Form({.name = "Form10",
            .caption = texts::airKermaTexts().caption,
            .width = 10395,
            .height = 9090,
            .placement = Placement::AtClientPosition,
            .left = 150,
            .top = 495},
           airKermaTable()),
      c_(bind()) {
    paintPicture(c_.geometry, drawAirKermaGeometry);
    onClick(c_.close, [this] { hide(); });
}

AirKermaScreen::Controls AirKermaScreen::bind() const {
    return {.geometry = picture("Picture2"), .close = button("Command1")};
}

MethodScreen::MethodScreen()
    : Form({.name = texts::methodTexts().formName,
            .caption = texts::methodTexts().caption,
            .width = 17130,
            .height = 11775},
           methodTable()),
      c_(bind()) {
    paintPicture(c_.geometry, drawSmallGeometry);
    paintPicture(c_.sketch, drawPhantomSketch);
    paintPicture(c_.plan, drawPhantomPlan);
    paintPicture(c_.depthCurve, drawPddCurve);
    onClick(c_.close, [this] { hide(); });
}

MethodScreen::Controls MethodScreen::bind() const {
    return {.geometry = picture("Picture2"),
            .sketch = picture("Picture1"),
            .plan = picture("Picture3"),
            .depthCurve = picture("Picture4"),
            .close = button("Command1")};
}

} // namespace kv::shell
