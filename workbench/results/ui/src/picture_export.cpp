#include "kv/workbench/results/ui/picture_export.h"

#include "kv/common/records.h"
#include "kv/common/typed_number.h"
#include "kv/gui/decorations.h"
#include "kv/gui/platform.h"
#include "kv/gui/plot_frame.h"
#include "kv/gui/qtext.h"
#include "kv/results/dose_tables.h"
#include "kv/texts/results_extras.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <cmath>

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

std::vector<double> reportTicks(const ReportAxis& axis) {
    return gui::roundTicks(axis.fromCm, axis.toCm, 8);
}

QString pictureTitle(const ResultsSession& session, std::string_view pattern, std::string_view position,
                     std::optional<bool> separate) {
    const auto& t = texts::resultsExtrasTexts();
    std::string title =
        fillIn(std::string(pattern), {{"{file}", session.fileName}, {"{y}", position}, {"{z}", position}});
    if (separate)
        title = fillIn((*separate ? t.pictureSeparate : t.pictureTotal).str(), {{"{plane}", title}});
    return QString::fromStdString(title);
}

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

QImage PictureExport::reportPicture() const {
    if (!frame_) return picture();
    const ReportFrame& f = *frame_;
    // The cursor follows the pointer, not the dose: taken out, then put back.
    std::vector<gui::Decoration*> shown;
    for (gui::Decoration* d : f.cursor)
        if (d->isVisible()) {
            shown.push_back(d);
            d->hide();
        }
    const QImage map = picture();
    for (gui::Decoration* d : shown)
        d->show();
    const QImage legend = f.legend ? f.legend->grab().toImage() : QImage();

    QFont font = QApplication::font();
    font.setPointSizeF(10);
    QFont titleFont = font;
    titleFont.setPointSizeF(12);
    titleFont.setBold(true);
    const QFontMetrics fm(font), tm(titleFont);
    const int gap = 8, tick = 5, margin = 12;
    const QString title = f.title ? f.title() : QString();
    const auto& t = texts::resultsExtrasTexts();

    // Room for the vertical axis' numbers left of the map, and its name above them.
    int numbersWidth = 0;
    if (f.vertical)
        for (double v : reportTicks(*f.vertical))
            numbersWidth = std::max(numbersWidth, fm.horizontalAdvance(gui::tickLabel(v)));
    const int left = margin + (f.vertical ? numbersWidth + tick + gap : 0);
    const int top = margin + tm.height() + gap + (f.vertical ? fm.height() + gap : 0);
    const int below = f.horizontal ? tick + fm.height() + gap + fm.height() : 0;
    const int legendWidth =
        legend.isNull() ? 0 : gap * 3 + std::max(legend.width(), fm.horizontalAdvance(qs(t.legendHeading)));
    const int width =
        std::max(left + map.width() + legendWidth + margin, margin * 2 + tm.horizontalAdvance(title));
    const int height =
        std::max(top + map.height() + below, top + fm.height() + gap + legend.height()) + margin;

    QImage out(width, height, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.setPen(Qt::black);
    p.setFont(titleFont);
    p.drawText(QPoint(margin, margin + tm.ascent()), title);
    p.drawImage(left, top, map);
    p.setFont(font);
    // The map's user units to a pixel of the saved picture, through the canvas' own scale.
    const QPointF origin = picture_.unitsToPixels({0, 0}) + QPointF(left, top);
    const QPointF unit = picture_.unitsToPixels({1, 1}) - picture_.unitsToPixels({0, 0});
    if (const auto& a = f.horizontal) {
        const int y = top + map.height();
        for (double cm : reportTicks(*a)) {
            const int x =
                static_cast<int>(std::lround(origin.x() + (a->origin + cm * a->unitsPerCm) * unit.x()));
            p.drawLine(x, y, x, y + tick);
            const QString s = gui::tickLabel(cm);
            p.drawText(QPoint(x - fm.horizontalAdvance(s) / 2, y + tick + fm.ascent()), s);
        }
        p.drawText(QPoint(left + (map.width() - fm.horizontalAdvance(a->label)) / 2,
                          y + tick + fm.height() + gap + fm.ascent()),
                   a->label);
    }
    if (const auto& a = f.vertical) {
        for (double cm : reportTicks(*a)) {
            const int y =
                static_cast<int>(std::lround(origin.y() + (a->origin + cm * a->unitsPerCm) * unit.y()));
            p.drawLine(left - tick, y, left - 1, y);
            const QString s = gui::tickLabel(cm);
            p.drawText(QPoint(left - tick - 2 - fm.horizontalAdvance(s), y + fm.ascent() / 2), s);
        }
        p.drawText(QPoint(margin, top - gap - fm.descent()), a->label);
    }
    if (!legend.isNull()) {
        const int x = left + map.width() + gap * 3;
        p.drawText(QPoint(x, top + fm.ascent()), qs(t.legendHeading));
        p.drawImage(x, top + fm.height() + gap, legend);
    }
    return out;
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
    if (gui::savePng(reportPicture(), path.toStdString())) {
        gui::showMessage(qs(t.cannotWrite).arg(path), gui::MessageIcon::Warning, whyNotWritten(path));
        return false;
    }
    return true;
}

void PictureExport::copyPicture() {
    QGuiApplication::clipboard()->setImage(reportPicture());
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
