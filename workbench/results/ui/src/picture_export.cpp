#include "kv/workbench/results/ui/picture_export.h"

#include "kv/common/records.h"
#include "kv/gui/platform.h"
#include "kv/gui/qtext.h"
#include "kv/texts/results_extras.h"
#include "kv/workbench/results/model/dose_tables.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QSaveFile>

namespace kv::results {

using gui::qs;

namespace {

// Why `path` could not be written, in the edition's words (the system's own
// error text is neither translated nor meant for a user).
QString whyNotWritten(const QString& path) {
    const auto& t = texts::resultsExtrasTexts();
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir()) return qs(t.reasonNoFolder);
    if (!folder.isWritable()) return qs(t.reasonFolderProtected);
    if (file.exists() && !file.isWritable()) return qs(t.reasonFileProtected);
    return qs(t.reasonRefused);
}

} // namespace

PictureExport::PictureExport(gui::Canvas& picture, const ResultsSession& session, QString what, Rows rows)
    : QObject(&picture), picture_(picture), session_(session), what_(std::move(what)),
      rows_(std::move(rows)) {
    const auto& t = texts::resultsExtrasTexts();
    menu_ = new QMenu(&picture);
    save_ = menu_->addAction(qs(t.savePicture), this, [this] { savePicture(); });
    copy_ = menu_->addAction(qs(t.copyPicture), this, [this] { copyPicture(); });
    export_ = menu_->addAction(qs(t.exportValues), this, [this] { exportValues(); });
    picture.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&picture, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // Nothing loaded: nothing to take away.
        const bool on = session_.loaded;
        for (QAction* a : {save_, copy_, export_})
            a->setEnabled(on);
        menu_->popup(picture_.mapToGlobal(at));
    });
}

QImage PictureExport::picture() const {
    return picture_.grab().toImage();
}

QString PictureExport::suggestedPath(const QString& suffix) const {
    const QString stem = session_.fileName.empty()
                             ? QStringLiteral("result")
                             : QFileInfo(QString::fromStdString(session_.fileName)).completeBaseName();
    const QDir dir(session_.workDir.empty() ? QDir::currentPath() : QString::fromStdString(session_.workDir));
    return dir.filePath(stem + QLatin1Char('.') + what_ + suffix);
}

QString PictureExport::chooseTarget(const QString& suffix, const QString& filter) const {
    const auto& t = texts::resultsExtrasTexts();
    QString path = gui::messages().chooseSaveFile(suggestedPath(suffix), filter);
    if (path.isEmpty()) return {};
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) {
        if (!info.isFile()) {
            gui::showMessage(qs(t.notAFile).arg(path));
            return {};
        }
        if (!gui::messages().ask(qs(t.replaceQuestion).arg(path))) return {};
    }
    return path;
}

bool PictureExport::savePicture() {
    const auto& t = texts::resultsExtrasTexts();
    const QString path = chooseTarget(QStringLiteral(".png"), qs(t.pngFilter));
    if (path.isEmpty()) return false;
    // Written beside the target and renamed over it only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture().save(&file, "PNG") || !file.commit()) {
        gui::showMessage(qs(t.cannotWrite).arg(path), gui::MessageIcon::Warning, whyNotWritten(path));
        return false;
    }
    return true;
}

void PictureExport::copyPicture() {
    QGuiApplication::clipboard()->setImage(picture());
}

bool PictureExport::exportValues() {
    const auto& t = texts::resultsExtrasTexts();
    const QString path = chooseTarget(QStringLiteral(".csv"), qs(t.csvFilter));
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    try {
        writeCsvFile(info.absolutePath().toStdString(), info.fileName().toStdString(), rows_());
    } catch (const RecordError&) {
        gui::showMessage(qs(t.cannotWrite).arg(path), gui::MessageIcon::Warning, whyNotWritten(path));
        return false;
    }
    return true;
}

} // namespace kv::results
