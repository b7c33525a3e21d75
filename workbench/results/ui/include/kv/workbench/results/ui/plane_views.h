#pragma once
// What the results screen (Form2) asks of the X-Y and X-Z plane screens
// (Form6, Form7). Form2 holds a pointer to one of these; the plane screens
// read the shown dose model themselves.
#include <string_view>

namespace kv::results {

class PlaneViews {
  public:
    virtual ~PlaneViews() = default;
    // After a successful load: Form7's Y text "8.0", Form6's Z text "0", and
    // the copies of the 100 % dose and FCD texts.
    virtual void modelLoaded() = 0;
    // "Dose distribution (X-Z)": draw both X-Z maps, then show Form7.
    virtual void showXZ() = 0;
    // "Dose distribution (X-Y)": Form2's Text1 is copied into Form6.
    virtual void showXY(std::string_view doseText) = 0;
    // A pick on the Y-Z map: the new Y and Z texts; both screens repaint
    // whether shown or not, and Form6 goes back to the separate display.
    virtual void picked(std::string_view yText, std::string_view zText) = 0;
    // "Clear" and the back-to-menu button hide both screens.
    virtual void hideAll() = 0;
};

} // namespace kv::results
