#pragma once
// The right-click menu of a dose map or graph: save the picture as PNG, copy
// it, export its values as CSV. Files are written whole or not at all, and an
// existing file is replaced only when the user says so; the questions and the
// file choice go through the message sink, so tests answer them.
//
//   auto* e = new PictureExport(*picture("Picture1"), session, "yz-plane",
//                               [this] { return voxelRows(session_.shown, VoxelSet::yzPlane()); });
//   e->menu()->addAction(...);   // screen-specific entries go after the three
#include "kv/gui/canvas.h"
#include "kv/workbench/results/ui/results_session.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMenu;

namespace kv::gui {
class Decoration;
}

namespace kv::results {

// One axis of a saved map: where its centimetres lie in the map's units.
struct ReportAxis {
    QString label;
    double origin;       // map units at 0 cm
    double unitsPerCm;   // negative where the centimetres grow against the units
    double fromCm, toCm; // the span the ticks cover
};

// What "Save picture" and "Copy picture" add to the map for a report: a
// title, axes in cm, the colour legend; the cursor lines are left out.
struct ReportFrame {
    std::function<QString()> title;
    std::optional<ReportAxis> horizontal, vertical; // none: the picture draws its own
    gui::Canvas* legend = nullptr;
    std::vector<gui::Decoration*> cursor;
};

// The round centimetre values an axis is marked at, within its span.
std::vector<double> reportTicks(const ReportAxis& axis);

// The dose maps' scale: a voxel (1 mm) is 4 map units.
inline constexpr double kMapUnitsPerCm = 40;

// A saved picture's title: `pattern` with {file} the loaded file, {y} and
// {z} the plane's position; with `separate` set, the words for which half
// shows which component follow (false: the total dose), unless unset.
QString pictureTitle(const ResultsSession& session, std::string_view pattern, std::string_view position = {},
                     std::optional<bool> separate = std::nullopt);

class PictureExport : public QObject {
    Q_OBJECT
  public:
    using Rows = std::function<std::vector<std::string>()>;
    // `what` names the picture in the suggested file names: S.what.png, S.what.csv.
    PictureExport(gui::Canvas& picture, const ResultsSession& session, QString what, Rows rows);

    // The menu the right click opens (kept, so a screen may add entries).
    QMenu* menu() const { return menu_; }
    QAction* saveAction() const { return save_; }
    QAction* copyAction() const { return copy_; }
    QAction* exportAction() const { return export_; }

    // What the three entries do; false when nothing was written.
    bool savePicture();
    void copyPicture();
    bool exportValues();

    // The picture as the screen shows it, overlays included.
    QImage picture() const;
    // The picture as saved and copied: framed for a report once a frame is set.
    void setReportFrame(ReportFrame frame) { frame_ = std::move(frame); }
    QImage reportPicture() const;

  private:
    QString suggestedPath(const QString& suffix) const;
    // The chosen target, after the replace question; empty when nothing is to be written.
    QString chooseTarget(const QString& suffix, const QString& filter) const;

    gui::Canvas& picture_;
    const ResultsSession& session_;
    QString what_;
    Rows rows_;
    QMenu* menu_;
    QAction* save_;
    QAction* copy_;
    QAction* export_;
    std::optional<ReportFrame> frame_;
};

} // namespace kv::results
