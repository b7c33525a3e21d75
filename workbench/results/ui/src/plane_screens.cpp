#include "kv/workbench/results/ui/plane_screens.h"

#include "kv/gui/program.h"
#include "kv/workbench/results/ui/xy_plane_screen.h"
#include "kv/workbench/results/ui/xz_plane_screen.h"

#include <QCoreApplication>
#include <QLineEdit>

namespace kv::results {

namespace {
void setText(gui::Form& form, std::string_view box, std::string_view text) {
    form.setText(box, text);
}
} // namespace

PlaneScreens::PlaneScreens(const ResultsSession& session) : session_(session) {}

PlaneScreens::~PlaneScreens() = default;

XYPlaneScreen& PlaneScreens::xy() {
    if (!xy_) {
        xy_ = std::make_unique<XYPlaneScreen>(session_);
        xy_->setCaptionAddition(QString::fromStdString(session_.fileName));
    }
    return *xy_;
}

XZPlaneScreen& PlaneScreens::xz() {
    if (!xz_) {
        xz_ = std::make_unique<XZPlaneScreen>(session_);
        xz_->setCaptionAddition(QString::fromStdString(session_.fileName));
    }
    return *xz_;
}

void PlaneScreens::modelLoaded() {
    // Each screen names the file whose numbers it shows.
    xy().setCaptionAddition(QString::fromStdString(session_.fileName));
    xz().setCaptionAddition(QString::fromStdString(session_.fileName));
    const DoseFields f = session_.shown.fields();
    sliceY_ = f.selectedY;
    for (gui::Form* form : {static_cast<gui::Form*>(&xy()), static_cast<gui::Form*>(&xz())}) {
        setText(*form, "Text1", f.referenceDose);
        setText(*form, "Text8", f.fcd);
    }
    setText(xz(), "Text3", f.selectedY);
    setText(xy(), "Text4", f.selectedZ);
    // An open screen must not go on showing the old file's map under the new numbers;
    // a hidden one is painted when it is shown.
    if (xy().isVisible()) xy().redrawForNewModel();
    if (xz().isVisible()) xz().redrawForNewModel(sliceY_);
}

void PlaneScreens::showXZ() {
    xz().DrawXZPlaneSeparate(sliceY_);
    xz().DrawXZPlaneTotal();
    gui::showInFront(xz());
}

void PlaneScreens::showXY(std::string_view doseText) {
    XYPlaneScreen& s = xy();
    setText(s, "Text1", doseText);
    for (std::string_view box : {"Text2", "Text3", "Text5", "Text6", "Text7"})
        s.textBox(box)->clear();
    for (std::string_view l : {"Line46", "Line49", "Line50"})
        s.line(l)->hide();
    s.chooseSeparate();
    QCoreApplication::processEvents();
    gui::showInFront(s);
}

void PlaneScreens::picked(std::string_view yText, std::string_view zText) {
    sliceY_ = yText;
    setText(xz(), "Text3", yText);
    xz().DrawXZPlaneSeparate(sliceY_);
    xz().DrawXZPlaneTotal();
    setText(xy(), "Text4", zText);
    xy().chooseSeparate();
}

void PlaneScreens::hideAll() {
    if (xy_) xy_->hide();
    if (xz_) xz_->hide();
}

} // namespace kv::results
