#include "kv/workbench/results/ui/plane_screens.h"

#include "kv/gui/program.h"
#include "kv/workbench/results/ui/xy_plane_screen.h"
#include "kv/workbench/results/ui/xz_plane_screen.h"

#include <QCoreApplication>
#include <QLineEdit>

namespace kv::results {

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
    xy().showNumbers(f.referenceDose, f.fcd);
    xz().showNumbers(f.referenceDose, f.fcd);
    xz().showSliceY(f.selectedY);
    xy().showDepth(f.selectedZ);
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
    s.prepareToShow(doseText);
    s.chooseSeparate();
    QCoreApplication::processEvents();
    gui::showInFront(s);
}

void PlaneScreens::picked(std::string_view yText, std::string_view zText) {
    sliceY_ = yText;
    xz().showSliceY(yText);
    xz().DrawXZPlaneSeparate(sliceY_);
    xz().DrawXZPlaneTotal();
    xy().showDepth(zText);
    xy().chooseSeparate();
}

void PlaneScreens::hideAll() {
    if (xy_) xy_->hide();
    if (xz_) xz_->hide();
}

} // namespace kv::results
