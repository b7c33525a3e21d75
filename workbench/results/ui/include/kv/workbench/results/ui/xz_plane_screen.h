#pragma once
// Form7: the dose of one slice parallel to the chest wall (the X-Z plane at
// the Y picked on the results screen): primary | scatter above, total below,
// with a read-out under the pointer and cross-hairs linked across both maps.
#include "kv/gui/form.h"
#include "kv/workbench/results/ui/results_session.h"

#include <string_view>

namespace kv::results {

class XZPlaneScreen : public gui::Form {
    Q_OBJECT
  public:
    // The session outlives the screen; the screen only reads it.
    explicit XZPlaneScreen(const ResultsSession& session);

    // Paints Picture3 from row SelectedYIndex of the shown model, then shows
    // `sliceY` (the results screen's Y text) in Text3 and empties the rest of
    // the read-out.
    void DrawXZPlaneSeparate(std::string_view sliceY);
    // Paints Picture4.
    void DrawXZPlaneTotal();
    // Another model was loaded: both maps again, without the old cross-hairs.
    void redrawForNewModel(std::string_view sliceY);

  private:
    void pointerMoved(double x, double y);
    void offMap();

    const ResultsSession& session_;
};

} // namespace kv::results
