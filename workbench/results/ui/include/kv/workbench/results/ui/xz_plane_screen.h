#pragma once
// Form7: the dose of one slice parallel to the chest wall (the X-Z plane at
// the Y picked on the results screen): primary | scatter above, total below,
// with a read-out under the pointer and cross-hairs linked across both maps.
#include "kv/gui/form.h"
#include "kv/workbench/results/ui/results_session.h"

#include <memory>
#include <string_view>

namespace kv::results {

namespace planes {
struct ReadOut;
struct NumberBoxes;
} // namespace planes

class XZPlaneScreen : public gui::Form {
    Q_OBJECT
  public:
    // The session outlives the screen; the screen only reads it.
    explicit XZPlaneScreen(const ResultsSession& session);
    ~XZPlaneScreen() override;

    // Paints Picture3 from row SelectedYIndex of the shown model, then shows
    // `sliceY` (the results screen's Y text) in Text3 and empties the rest of
    // the read-out.
    void DrawXZPlaneSeparate(std::string_view sliceY);
    // Paints Picture4.
    void DrawXZPlaneTotal();
    // Another model was loaded: both maps again, without the old cross-hairs.
    void redrawForNewModel(std::string_view sliceY);
    // The loaded file's 100 % dose and FCD, and the Y picked on the results screen.
    void showNumbers(std::string_view referenceDose, std::string_view fcd);
    void showSliceY(std::string_view sliceY);

  private:
    struct Controls {
        gui::Canvas* separate; // Picture3: primary | scatter
        gui::Canvas* total;    // Picture4: total | total
        gui::Canvas* legend;   // Picture7
        QLineEdit* sliceY;     // Text3, the slice shown
        gui::Canvas* icon;     // Picture8
        QPushButton* close;    // Command1
        // Made with the maps' grids: the depth on both maps, the pointer's
        // column and its mirror above, the column below.
        gui::LineItem* upperRow = nullptr;    // Line46
        gui::LineItem* upperColumn = nullptr; // Line50
        gui::LineItem* upperMirror = nullptr; // Line49
        gui::LineItem* lowerRow = nullptr;    // Line47
        gui::LineItem* lowerColumn = nullptr; // Line48
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
