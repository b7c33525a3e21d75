#pragma once
// Form2, the results screen: the list of result files, the header preview,
// the load, the Y-Z dose map with its read-out and pick, and the buttons to
// the plane screens and the depth-dose screen. It owns the shown model (its
// session) and the depth-dose screen Form5; the plane screens are reached
// through PlaneViews, set by whoever creates them.
#include "kv/gui/form.h"
#include "kv/results/depth_dose_screen.h"
#include "kv/results/load_steps.h"
#include "kv/results/plane_views.h"
#include "kv/results/results_session.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv::results {

// The map's user scale: 1 unit per pixel, 40 units per cm, Y to the left.
inline constexpr double kMapLeft = -607, kMapTop = -7, kMapWidth = 605, kMapHeight = 245;

// Paints the total dose of the X = 0 plane of `m` into a canvas with the map's scale.
void PaintYZPlane(gui::Canvas& map, const DoseModel& m);

class ResultsScreen : public gui::Form, private LoadView {
    Q_OBJECT
  public:
    // `workDir` is where the result files are listed and read.
    explicit ResultsScreen(const QString& workDir, QWidget* parent = nullptr);
    ~ResultsScreen() override;

    ResultsSession& session() { return session_; }
    DepthDoseScreen& depthDoseScreen() { return *form5_; }
    void setPlaneViews(PlaneViews* views) { planes_ = views; }

    // Screens outside the results area that "Clear" (the calculation-method
    // screen) and the back button (the air-kerma screen) hide; may be empty.
    std::function<void()> hideMethodScreen;
    std::function<void()> hideAirKermaScreen;

    // What the menu does each time it opens this screen: the model, the
    // fields, the map and the preview are emptied and the file list re-read.
    void openFromMenu();

    // The map's mouse handlers, in map units.
    void readOut(double x, double y);
    void pick(double x, double y);

    // The Y-Z map of the shown model, markers at their load-time places.
    void DrawYZPlane() override;

    // The AGD field from the typed air kerma: empty without a load or a Ka; a
    // Ka that is not a number of 0 or more empties it and, when `complain`,
    // gets a message. False for a refused Ka.
    bool showAgd(bool complain);
    // The preview's tool tip for the pointer at y (twips) over the preview box.
    void pointPreviewLine(double y);

  private:
    void airKermaEntered();
    void preview();
    void load();
    void reset();
    void clear();
    void back();
    void showXZ();
    void showXY();
    void showDepthDose();
    void setResultControlsEnabled(bool on);
    void emptyReadOut();

    // LoadView
    void ShowMessage(std::string_view message) override;
    void ProcessPendingEvents() override;
    void ShowNumberFields(const DoseFields& fields) override;
    void EnableResultControls() override;
    void DrawDepthDoseGraph() override;

    QString workDir_;
    ResultsSession session_;
    std::unique_ptr<DepthDoseScreen> form5_;
    PlaneViews* planes_ = nullptr;
    std::string loadingName_;
    std::vector<QString> previewLines_;
};

} // namespace kv::results
