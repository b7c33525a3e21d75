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
#include <string>
#include <vector>

class QMenu;

namespace kv::results {

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
};

} // namespace kv::results
