// The engine window driven by its buttons, on real runs in a working directory.
#include "engine_cluster.h"
#include "kv/results/result_file.h"
#include "progress_window.h"
#include "run_dir.h"

#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <csignal>
#include <filesystem>

namespace fs = std::filesystem;
using namespace kv::engine;
using test_support::RunDir;

class ProgressWindowTest : public QObject {
    Q_OBJECT

    static std::unique_ptr<EngineSession> session(const RunDir& dir,
                                                  ExposureKind kind = ExposureKind::Mammography) {
        return prepareSession(dir.path(), kind, 2, 77);
    }
    static QPushButton* button(ProgressWindow& w, const char* name) {
        return w.findChild<QPushButton*>(name);
    }

  private slots:
    void stopAndSaveWritesTheHistoriesDone() {
        RunDir dir({.histories = "1e9", .resultName = "stopped"});
        auto s = session(dir);
        ProgressWindow w(*s);
        w.show();
        s->start();
        QTRY_VERIFY_WITH_TIMEOUT(s->progress().done > 0, 20000);
        QTest::mouseClick(button(w, "StopAndSave"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(s->finished(), 60000);
        w.refresh();
        QCOMPARE(s->state(), SessionState::Saved);
        QVERIFY(s->savedHistories() > 0 && s->savedHistories() < 1'000'000'000u);
        QVERIFY(w.statusText().startsWith("Stopped: saved stopped.vesk with "));
        QCOMPARE(w.headingText(), QString("Done: stopped.vesk"));
        QCOMPARE(button(w, "Cancel")->text(), QString("Close"));
        QVERIFY(!button(w, "StopAndSave")->isEnabled());
        auto loaded = kv::results::LoadResultFile(dir.path(), "stopped.vesk");
        QVERIFY(loaded.model.has_value());
    }

    void cancelWritesNothingAndCloses() {
        RunDir dir({.histories = "1e9", .resultName = "cancelled"});
        auto s = session(dir, ExposureKind::Tomosynthesis);
        ProgressWindow w(*s);
        QCOMPARE(w.windowTitle(), QString("tiravex - Tomosynthesis Monte Carlo"));
        w.show();
        s->start();
        QTest::mouseClick(button(w, "Cancel"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(s->finished(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
        QCOMPARE(s->state(), SessionState::Cancelled);
        QVERIFY(!fs::exists(dir.path() / "cancelled.vesk"));
        for (const auto& e : fs::directory_iterator(dir.path()))
            QVERIFY2(e.path().filename().string().find("cancelled") == std::string::npos,
                     "temporary file left");
    }

    void closingDuringTheRunIsRefused() {
        RunDir dir({.histories = "1e9", .resultName = "running"});
        auto s = session(dir);
        ProgressWindow w(*s);
        w.show();
        s->start();
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(w.statusText().contains("Stop and save"));
        s->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(s->finished(), 60000);
    }

    void aShortRunFinishesByItself() {
        RunDir dir({.histories = "7e4", .resultName = "short"});
        auto s = session(dir);
        ProgressWindow w(*s);
        w.show();
        QCOMPARE(w.headingText(), QString("Simulating short.vesk"));
        s->start();
        QTRY_VERIFY_WITH_TIMEOUT(s->finished(), 60000);
        w.refresh();
        QCOMPARE(w.statusText(), QString("Saved short.vesk with 70000 histories."));
        // The run is over: the heading and the title say so, not "Simulating".
        QCOMPARE(w.headingText(), QString("Done: short.vesk"));
        QCOMPARE(w.windowTitle(), QString("halvex - Mammography Monte Carlo - done"));
        w.refresh();
        QCOMPARE(w.windowTitle(), QString("halvex - Mammography Monte Carlo - done")); // said once
        QCOMPARE(w.findChild<QLabel*>("Histories")->text(), QString("70000 of 70000"));
        QTest::mouseClick(button(w, "Cancel"), Qt::LeftButton);
        QVERIFY(!w.isVisible());
    }

    // The window with its frame lies inside the desktop's free area, centred where there is room.
    void theWindowStaysOnTheDesktop_data() {
        QTest::addColumn<QRect>("available");
        QTest::newRow("1280 x 1024") << QRect(0, 0, 1280, 1024);
        QTest::newRow("a panel on top") << QRect(0, 28, 1280, 996);
        QTest::newRow("second screen") << QRect(1280, 0, 1024, 768);
        QTest::newRow("just room") << QRect(0, 0, 620, 340);
    }
    void theWindowStaysOnTheDesktop() {
        QFETCH(QRect, available);
        RunDir dir({.histories = "7e4", .resultName = "placed"});
        auto s = session(dir);
        ProgressWindow w(*s);
        w.placeInside(available);
        const QRect outer(w.pos(), w.sizeHint().expandedTo(w.minimumSizeHint()) + QSize(12, 40));
        QVERIFY2(available.contains(outer), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                           .arg(outer.x())
                                                           .arg(outer.y())
                                                           .arg(outer.width())
                                                           .arg(outer.height())));
        QVERIFY(std::abs(outer.center().x() - available.center().x()) <= 1);
    }

    void durationsReadAsAPersonSaysThem() {
        QCOMPARE(durationText(42.4), QString("42 s"));
        QCOMPARE(durationText(185), QString("3 min 05 s"));
        QCOMPARE(durationText(3720), QString("1 h 02 min"));
        QCOMPARE(durationText(-3), QString("0 s"));
    }

    // Last: the signal is remembered for the rest of the process, as in the program.
    void aSignalStopsAndSavesLikeTheButton() {
        RunDir dir({.histories = "1e9", .resultName = "hangup"});
        auto s = session(dir);
        ProgressWindow w(*s);
        w.show();
        catchInterrupts();
        s->start();
        QTRY_VERIFY_WITH_TIMEOUT(s->progress().done > 0, 20000);
        ::raise(SIGHUP);
        QTRY_VERIFY_WITH_TIMEOUT(s->finished(), 60000);
        w.refresh();
        QCOMPARE(s->state(), SessionState::Saved);
        QVERIFY(w.statusText().startsWith("Stopped: saved hangup.vesk with "));
        QVERIFY(kv::results::LoadResultFile(dir.path(), "hangup.vesk").model.has_value());
    }

    // After the test above: a window left open once its run is saved ends on the next signal, not only on
    // "Close"; the signal that stopped the run (still remembered here) leaves it open.
    void aSignalAfterTheRunEndsClosesTheWindow() {
        RunDir dir({.histories = "7e4", .resultName = "after"});
        auto s = session(dir);
        ProgressWindow w(*s);
        w.show();
        catchInterrupts();
        s->start();
        QTRY_VERIFY_WITH_TIMEOUT(s->finished(), 60000);
        w.refresh();
        QVERIFY(w.windowTitle().endsWith(" - done"));
        QTest::qWait(600); // a few refreshes of the timer
        QVERIFY(w.isVisible());
        ::raise(SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
    }
};

QTEST_MAIN(ProgressWindowTest)
#include "progress_window_test.moc"
