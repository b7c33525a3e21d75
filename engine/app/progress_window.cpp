#include "progress_window.h"

#include "engine_cluster.h"
#include "kv/common/format.h"
#include "kv/texts/engine.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kv::engine {

namespace {
QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
QString percent(double rel) {
    return q(format(rel * 100.0, "0.00")) + " %";
}
} // namespace

QString durationText(double seconds) {
    const texts::EngineTexts& t = texts::engineTexts();
    long s = std::lround(std::max(0.0, seconds));
    if (s >= 3600) return q(t.hoursMinutes).arg(s / 3600).arg((s % 3600) / 60, 2, 10, QChar('0'));
    if (s >= 60) return q(t.minutesSeconds).arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
    return q(t.seconds).arg(s);
}

SessionOutcome sessionOutcome(const EngineSession& s) {
    const texts::EngineTexts& t = texts::engineTexts();
    const RunInputs& in = s.inputs();
    const QString file = q(in.control.resultFile);
    const uint64_t saved = s.savedHistories();
    SessionOutcome o;
    if (s.state() == SessionState::Cancelled) {
        o.text = q(t.cancelled);
        return o;
    }
    if (s.fault() == SessionFault::RunFailed) {
        const uint64_t done = s.state() == SessionState::Saved ? saved : s.progress().done;
        o.text = q(t.runFault).arg(done).arg(in.histories).arg(q(s.runFault())) + "\n";
    }
    if (s.state() == SessionState::Saved) {
        if (s.fault() == SessionFault::RunFailed) {
            o.text += q(t.savedAfterFault).arg(file).arg(saved);
            return o;
        }
        o.success = true;
        o.text = QString::fromStdString(savedText(s));
        return o;
    }
    if (s.fault() == SessionFault::WriteFailed) {
        o.text += q(t.writeFailed).arg(q(s.failure()));
        return o;
    }
    std::string_view why = t.reasonUnreadable;
    switch (s.resultFault()) {
    case ResultFault::NoHistories:
        why = t.reasonNoHistories;
        break;
    case ResultFault::NotFinite:
        why = t.reasonNotFinite;
        break;
    case ResultFault::NoAirKerma:
        why = t.reasonNoAirKerma;
        break;
    case ResultFault::NoReferenceDose:
        why = t.reasonNoReferenceDose;
        break;
    default:
        break;
    }
    o.text += q(t.notSaved).arg(q(why));
    return o;
}

ProgressWindow::ProgressWindow(EngineSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    const texts::EngineTexts& t = texts::engineTexts();
    const bool tomo = session.inputs().kind == ExposureKind::Tomosynthesis;
    setObjectName("EngineWindow");
    setWindowTitle(q(tomo ? t.captionTomosynthesis : t.captionMammography));
    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(q(t.heading).arg(q(session.inputs().control.resultFile)));
    heading_->setObjectName("Heading");
    QFont f = heading_->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    f.setBold(true);
    heading_->setFont(f);
    layout->addWidget(heading_);
    bar_ = new QProgressBar;
    bar_->setObjectName("ProgressBar");
    bar_->setRange(0, 1000);
    layout->addWidget(bar_);
    auto* grid = new QGridLayout;
    auto row = [&](int r, std::string_view label, const char* name) {
        grid->addWidget(new QLabel(q(label)), r, 0);
        auto* v = new QLabel;
        v->setObjectName(name);
        grid->addWidget(v, r, 1);
        return v;
    };
    histories_ = row(0, t.histories, "Histories");
    rate_ = row(1, t.rate, "Rate");
    elapsed_ = row(2, t.elapsed, "Elapsed");
    remaining_ = row(3, t.remaining, "Remaining");
    refSigma_ = row(4, t.uncertaintyReference, "ReferenceUncertainty");
    sagdSigma_ = row(5, t.uncertaintySagd, "SagdUncertainty");
    layout->addLayout(grid);
    status_ = new QLabel(q(t.running));
    status_->setObjectName("Status");
    status_->setWordWrap(true);
    layout->addWidget(status_);
    auto* buttons = new QHBoxLayout;
    stop_ = new QPushButton(q(t.stopAndSave));
    stop_->setObjectName("StopAndSave");
    cancel_ = new QPushButton(q(t.cancel));
    cancel_->setObjectName("Cancel");
    buttons->addStretch();
    buttons->addWidget(stop_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    connect(stop_, &QPushButton::clicked, this, &ProgressWindow::stopAndSave);
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::cancelOrClose);
    connect(&timer_, &QTimer::timeout, this, &ProgressWindow::refresh);
    timer_.start(250);
    setMinimumWidth(520);
    refresh();
}

void ProgressWindow::refresh() {
    // The result is saved: a signal now ends the program, as it would a console run, rather than
    // leave a process that SIGTERM cannot end until someone clicks Close. The signal that stopped
    // the run leaves the window open, to show what was saved.
    if (done_) {
        if (interruptCount() != interruptsAtDone_) close();
        return;
    }
    const texts::EngineTexts& t = texts::engineTexts();
    SessionProgress p = session_.progress();
    double fraction = p.total ? static_cast<double>(p.done) / static_cast<double>(p.total) : 0.0;
    bar_->setValue(static_cast<int>(std::lround(1000.0 * std::min(1.0, fraction))));
    histories_->setText(q(t.historiesValue).arg(p.done).arg(p.total));
    rate_->setText(q(t.rateValue).arg(q(format(p.rate, "0.00E+00"))));
    elapsed_->setText(durationText(p.elapsed));
    remaining_->setText(session_.finished() ? durationText(0) : durationText(p.remaining));
    refSigma_->setText(percent(p.referenceRelSigma));
    sagdSigma_->setText(percent(p.sagdRelSigma));
    if (!done_ && stop_->isEnabled() && interruptRequested()) stopAndSave();
    if (done_ || !session_.finished()) return;
    done_ = true;
    interruptsAtDone_ = interruptCount();
    const SessionOutcome outcome = sessionOutcome(session_);
    status_->setText(outcome.text);
    // The heading and the title say the run is over, also for a window left in the task bar.
    const QString file = q(session_.inputs().control.resultFile);
    heading_->setText(q(outcome.success ? t.headingDone : t.headingEnded).arg(file));
    setWindowTitle(windowTitle() + " - " + q(t.titleDone));
    if (session_.state() == SessionState::Cancelled) {
        close(); // nothing to look at: the program ends
        return;
    }
    stop_->setEnabled(false);
    cancel_->setEnabled(true);
    cancel_->setText(q(t.close));
}

void ProgressWindow::placeInside(const QRect& available) {
    // What a window manager's frame and title bar take, at most.
    const QSize frame(12, 40);
    const QSize outer = sizeHint().expandedTo(minimumSizeHint()) + frame;
    QPoint topLeft = available.center() - QPoint(outer.width() / 2, outer.height() / 2);
    topLeft.setX(std::clamp(topLeft.x(), available.left(),
                            std::max(available.left(), available.right() + 1 - outer.width())));
    topLeft.setY(std::clamp(topLeft.y(), available.top(),
                            std::max(available.top(), available.bottom() + 1 - outer.height())));
    move(topLeft);
}

void ProgressWindow::stopAndSave() {
    session_.stopAndSave();
    stop_->setEnabled(false);
}

void ProgressWindow::cancelOrClose() {
    if (done_) {
        close();
        return;
    }
    session_.cancel();
    stop_->setEnabled(false);
    cancel_->setEnabled(false);
}

void ProgressWindow::closeEvent(QCloseEvent* e) {
    if (done_) {
        e->accept();
        return;
    }
    // Closing the window must not lose a long run by accident.
    status_->setText(q(texts::engineTexts().useButtons));
    e->ignore();
}

} // namespace kv::engine
