#pragma once
// The engine's window: progress bar, histories, rate, elapsed and remaining
// time, the current uncertainties, "Stop and save" and "Cancel".
#include "kv/engine/engine_session.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace kv::engine {

class ProgressWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ProgressWindow(EngineSession& session, QWidget* parent = nullptr);
    // Reads the session's progress; called by the timer.
    void refresh();
    QString statusText() const { return status_->text(); }
    QString headingText() const { return heading_->text(); }
    // Centres the window on `available` (a desktop's free area), its frame
    // and title bar included, and never past an edge of it.
    void placeInside(const QRect& available);

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void stopAndSave();
    void cancelOrClose();
    EngineSession& session_;
    QProgressBar* bar_;
    QLabel* heading_;
    QLabel *histories_, *rate_, *elapsed_, *remaining_, *refSigma_, *sagdSigma_, *status_;
    QPushButton *stop_, *cancel_;
    QTimer timer_;
    bool done_ = false;
    unsigned interruptsAtDone_ = 0;
};

// How a finished session ended, in words; `success` only when the whole
// run (or what "Stop and save" or the target kept) is saved.
struct SessionOutcome {
    QString text;
    bool success = false;
};
SessionOutcome sessionOutcome(const EngineSession& s);

// "1 h 02 min", "3 min 05 s", "42 s"
QString durationText(double seconds);

// The whole program; `kind` tells halvex from tiravex.
int runEngine(int argc, char** argv, ExposureKind kind);

} // namespace kv::engine
