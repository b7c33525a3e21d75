#pragma once
// Form6: the dose of one layer (the X-Y plane at the depth picked on the
// results screen), either primary | scatter or total | total about the
// central axis, with a read-out of all three components under the pointer.
#include "kv/gui/form.h"
#include "kv/workbench/results/ui/results_session.h"

#include <memory>
#include <string_view>

class QRadioButton;

namespace kv::results {

namespace planes {
struct ReadOut;
struct NumberBoxes;
} // namespace planes

class XYPlaneScreen : public gui::Form {
    Q_OBJECT
  public:
    // The session outlives the screen; the screen only reads it.
    explicit XYPlaneScreen(const ResultsSession& session);
    ~XYPlaneScreen() override;

    // Clear Picture3 and paint layer SelectedZIndex of the shown model.
    void DrawXYPlaneSeparate();
    void DrawXYPlaneTotal();

    // Option1 chosen as its Click would: separate headings and map.
    void chooseSeparate();
    // Option2 chosen as its Click would: total heading and map.
    void chooseTotal();
    // Another model was loaded: the map again in the display chosen, without
    // the read-out and cross-hairs of the old one.
    void redrawForNewModel();
    // The loaded file's 100 % dose and FCD, and the depth picked on the results screen.
    void showNumbers(std::string_view referenceDose, std::string_view fcd);
    void showDepth(std::string_view depth);
    // Before it is shown: the 100 % dose as the results screen shows it, no read-out, no cross-hairs.
    void prepareToShow(std::string_view referenceDose);

  private:
    struct Controls {
        gui::Canvas* map;                // Picture3
        gui::Canvas* legend;             // Picture7
        QRadioButton* separate;          // Option1: primary | scatter
        QRadioButton* total;             // Option2: total | total
        QLabel* primaryHeading;          // Label25
        QLabel* scatterHeading;          // Label26
        QLabel* totalHeading;            // Label27
        QLineEdit* depth;                // Text4, the layer shown
        gui::Canvas* icon;               // Picture8
        QPushButton* close;              // Command4
        gui::LineItem* row = nullptr;    // Line46, made with the map's grid
        gui::LineItem* mirror = nullptr; // Line49
        gui::LineItem* column = nullptr; // Line50
    };
    Controls bind() const;
    void pointerMoved(double x, double y);
    void offMap();

    const ResultsSession& session_;
    Controls c_;
    std::unique_ptr<planes::ReadOut> readOut_;
    std::unique_ptr<planes::NumberBoxes> numbers_;
};

} // namespace kv::results
