#pragma once
// Form5, the percentage-depth-dose screen: the graph of the mean dose of the
// reference region against depth (log percentage axis) and a read-out of the
// layer under the pointer. It only reads the shown model; the results screen
// fills its number fields after a load and repaints it.
#include "kv/gui/form.h"
#include "kv/results/dose_model.h"
#include "kv/workbench/results/ui/results_session.h"

#include <QColor>
#include <QString>
#include <array>
#include <optional>

namespace kv::results {

// The graph's user scale: x 100 units per mm of depth, y = 1000 ln(10 p).
inline constexpr double kGraphLeft = -900, kGraphTop = 7000, kGraphWidth = 7000, kGraphHeight = -7500;
inline constexpr double kPlotRight = 6000, kPlotTop = 6908;

// y of a percentage on the graph; false when p has no logarithm.
bool percentToGraphY(double p, double& y);

// Paints the whole graph of `m` into a canvas with Form5's graph scale.
void paintDepthDoseGraph(gui::Canvas& graph, const DoseModel& m);

// The total depth dose of a second result, drawn over the graph in its own
// colour with a legend entry naming it.
struct DepthDoseOverlay {
    QString name;
    int layers = 0;
    std::array<double, kDepthDoseExtent> total{};
};
inline const QColor kOverlayColour{255, 128, 0};
void paintDepthDoseOverlay(gui::Canvas& graph, const DepthDoseOverlay& overlay);

class PictureExport;

class DepthDoseScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit DepthDoseScreen(const ResultsSession& session, QWidget* parent = nullptr);

    // Repaints the graph from the shown model and empties the read-out.
    void DrawDepthDoseGraph();
    // Text1, Text8, Text7 and Text2 after a load.
    void showNumberFields(const DoseFields& f);
    // The read-out for the pointer at (x, y) in graph units.
    void readOut(double x, double y);
    // "± x %" beside the 100 % dose; the sAGD's in its tool tip.
    void showUncertainty(const StatedUncertainty& u);

    // Overlays the depth dose of the result file at `path` and repaints;
    // a file that cannot be loaded gets a message and changes nothing.
    bool overlayResultFile(const QString& path);
    void removeOverlay();
    const std::optional<DepthDoseOverlay>& overlay() const { return overlay_; }
    PictureExport& exporter() { return *export_; }

  private:
    struct Controls {
        gui::Canvas* graph;                    // Picture1
        QLineEdit* referenceDose;              // Text1
        QLineEdit* meanGlandDose;              // Text2
        std::array<QLineEdit*, 3> values;      // Text3, Text4, Text5: total, primary, scatter
        QLineEdit* layer;                      // Text6, the layer under the pointer
        QLineEdit* sagd;                       // Text7
        QLineEdit* fcd;                        // Text8
        QLabel* referenceSigma;                // Label13
        gui::LineItem* cursor;                 // Line1, the pointer's depth
        std::array<gui::LineItem*, 3> markers; // Line2, Line3, Line4 on the three curves
        QLabel* sagdUnit;                      // Label11
        QLabel* fcdUnit;                       // Label32
        QLabel* fcdTail;                       // Label33
        QPushButton* close;                    // Command4
    };
    Controls bind() const;
    void clearReadOut();
    void chooseOverlay();

    const ResultsSession& session_;
    const Controls c_;
    std::optional<DepthDoseOverlay> overlay_;
    PictureExport* export_ = nullptr;
};

} // namespace kv::results
