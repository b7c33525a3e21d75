#pragma once
// Form2, the results screen: the list of result files, the header preview,
// the load, the Y-Z dose map with its read-out and pick, and the buttons to
// the plane screens and the depth-dose screen. It owns the shown model (its
// session), the depth-dose screen Form5 and the plane screens Form6 and Form7,
// which it reaches through PlaneViews so tests can stand in for them.
#include "kv/gui/form.h"
#include "kv/results/load_steps.h"
#include "kv/workbench/results/ui/depth_dose_screen.h"
#include "kv/workbench/results/ui/plane_screens.h"
#include "kv/workbench/results/ui/plane_views.h"
#include "kv/workbench/results/ui/results_session.h"

#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;

namespace kv::results {

// The map's user scale: 1 unit per pixel, 40 units per cm, Y to the left.
inline constexpr double kMapLeft = -607, kMapTop = -7, kMapWidth = 605, kMapHeight = 245;

// Paints the total dose of the X = 0 plane of `m` into a canvas with the map's scale.
void paintYZPlane(gui::Canvas& map, const DoseModel& m);

class ResultsScreen : public gui::Form, private LoadView {
    Q_OBJECT
  public:
    // `workDir` is where the result files are listed and read.
    explicit ResultsScreen(const QString& workDir, QWidget* parent = nullptr);
    ~ResultsScreen() override;

    ResultsSession& session() { return session_; }
    // The lines of the header preview as printed.
    const std::vector<QString>& previewLines() const { return previewLines_; }
    DepthDoseScreen& depthDoseScreen() { return *form5_; }
    PlaneScreens& planes() { return planeScreens_; }
    // What Form2 drives instead of its own plane screens; null: its own.
    void setPlaneViews(PlaneViews* views) { planes_ = views ? views : &planeScreens_; }

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
    // Where Ka was measured (the AGD panel's context menu); a point the loaded
    // file gives no ratio for is not taken.
    void setKaPoint(KaPoint p);
    // Where on the breast's surface (mm from the chest wall on the midline,
    // one of kSurfaceDistancesMm); choosing it chooses the surface point. A
    // distance the loaded file gives no ratio for is not taken.
    void setSurfaceDistance(int mm);
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
    void showKaPoint();
    // The panel's words for the kind of result shown: a single exposure or a scan.
    void showKaWording();

    // LoadView
    void showWarning(std::string_view message, std::string_view detail) override;
    void processPendingEvents() override;
    void showNumberFields(const DoseFields& fields) override;
    void enableResultControls() override;
    void DrawDepthDoseGraph() override;

    struct Controls {
        gui::FileListBox* files;          // File1
        gui::Canvas* preview;             // Picture2, the header
        gui::Canvas* map;                 // Picture1, the Y-Z plane
        gui::Canvas* legend;              // Picture7
        gui::Canvas* sketch;              // Picture5
        gui::Canvas* hintIcon;            // Picture6
        QPushButton* ok;                  // Command6: load
        QPushButton* clear;               // Command2
        QPushButton* showXZ;              // Command1
        QPushButton* showXY;              // Command5
        QPushButton* showDepthDose;       // Command3
        QPushButton* back;                // Command4
        QLineEdit* pointerY;              // Text5
        QLineEdit* pointerZ;              // Text2
        QLineEdit* pointerDose;           // Text6
        QLineEdit* pickedY;               // Text3
        QLineEdit* pickedZ;               // Text4
        QLineEdit* referenceDose;         // Text1, the 100 % dose
        QLineEdit* fcd;                   // Text7
        QLineEdit* sagd;                  // Text8
        QLineEdit* airKerma;              // Text9, Ka typed
        QLineEdit* agd;                   // Text10
        QLabel* voxelSigma;               // Label63, under the pointer's dose
        QLabel* voxelSpan;                // Label66, the voxel of the read-out
        QLabel* pickNote;                 // Label65, a pick beyond the phantom
        QLabel* referenceSigma;           // Label61
        QLabel* sagdSigma;                // Label62
        QLabel* agdSigma;                 // Label60
        QLabel* kaPoint;                  // Label64, where Ka was measured
        QLabel* referenceDoseLabel;       // Label30
        QLabel* sagdLabel;                // Label48
        QLabel* sagdUnit;                 // Label49
        QLabel* fcdBefore;                // Label36
        QLabel* fcdUnit;                  // Label32
        QLabel* fcdTail;                  // Label50
        QLabel* agdPanel;                 // Label55, behind Ka and the AGD
        QLabel* kaLabel;                  // Label56
        QLabel* kaUnit;                   // Label57
        QLabel* agdLabel;                 // Label58
        QLabel* agdUnit;                  // Label59
        gui::LineItem* yMarker = nullptr; // Line45, the X-Z plane's Y
        gui::LineItem* zMarker = nullptr; // Line51, the X-Y plane's depth
    };
    Controls bind() const;
    void makeKaMenus();
    void drawMapOverlay();
    Controls c_;
    QString workDir_;
    ResultsSession session_;
    std::unique_ptr<DepthDoseScreen> form5_;
    PlaneScreens planeScreens_;
    PlaneViews* planes_ = &planeScreens_;
    std::string loadingName_;
    std::vector<QString> previewLines_;
    // The AGD panel's context menu: Ka at the FCD, behind the paddle, at the breast surface
    // (objectNames KaAtFcd, KaAtFcdPaddle, KaAtSurface).
    std::array<QAction*, 3> kaActions_{};
    // Its second group, where on the surface, in the order of kSurfaceDistancesMm
    // (objectNames SurfaceAt60mm, SurfaceAt40mm, SurfaceAtEdge).
    std::array<QAction*, kSurfaceDistancesMm.size()> surfaceActions_{};
    QAction* surfaceSeparator_ = nullptr;
    // The actions of both groups, as the menus list them.
    QList<QAction*> kaMenuActions() const;
    std::optional<double> shownKaRatio() const;
};

} // namespace kv::results
