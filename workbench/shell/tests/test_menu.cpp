#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/texts/text.h"
#include "kv/workbench/shell/menu_screen.h"
#include "kv/workbench/shell/reference_screens.h"
#include "kv/workbench/shell/setup_screen.h"
#include "kv/workbench/shell/workbench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace kv::gui;
using namespace kv::shell;
using kv::texts::Edition;

Q_DECLARE_METATYPE(WorkflowState)

namespace {

bool japanese() {
    return kv::texts::edition() == Edition::Japanese;
}
QString spectrumTool() {
    return japanese() ? QStringLiteral("lumira_ja") : QStringLiteral("lumira_en");
}

void touch(const QString& dir, const QString& name) {
    QFile f(QDir(dir).filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x\r\n");
}

// A workbench in its own working directory whose end is only counted.
struct Bench {
    QTemporaryDir dir;
    Workbench wb{dir.path()};
    int ends = 0;
    Bench() {
        wb.endProgram = [this] { ++ends; };
    }
    MenuScreen& menu() { return wb.menu(); }
    void click(const char* button) { QTest::mouseClick(menu().button(button), Qt::LeftButton); }
    bool has(const QString& f) const { return QFile::exists(QDir(dir.path()).filePath(f)); }
};

} // namespace

class MenuTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { setUpApplication(QStringLiteral("Kelvane-Vesk")); }

    void freshStartOffersOnlyTheFiveOpenButtons() {
        Bench b;
        for (const QString& f : Workbench::perRunFiles())
            touch(b.dir.path(), f); // left over from an earlier run
        b.menu().show();
        for (const char* open : {"Command1", "Command3", "Command4", "Command7", "Command6"})
            QVERIFY2(b.menu().button(open)->isEnabled(), open);
        QVERIFY(!b.menu().button("Command2")->isEnabled());
        QVERIFY(!b.menu().button("Command5")->isEnabled());
        QCOMPARE(b.wb.state(), WorkflowState::AwaitingPhantom);
    }

    // P: "OK" on the phantom screen, S: the spectrum button, M: "Simulation Start",
    // W: a pause longer than a double click.
    void workflow_data() {
        QTest::addColumn<QString>("events");
        QTest::addColumn<WorkflowState>("state");
        QTest::addColumn<int>("toolsStarted");
        QTest::newRow("spectrum button disabled at first") << "S" << WorkflowState::AwaitingPhantom << 0;
        QTest::newRow("phantom OK") << "P" << WorkflowState::AwaitingSpectrum << 0;
        QTest::newRow("phantom OK twice") << "PP" << WorkflowState::AwaitingSpectrum << 0;
        QTest::newRow("spectrum started") << "PS" << WorkflowState::ReadyToSimulate << 1;
        QTest::newRow("double click starts one tool") << "PSS" << WorkflowState::ReadyToSimulate << 1;
        QTest::newRow("second spectrum press starts a second tool")
            << "PSWS" << WorkflowState::ReadyToSimulate << 2;
        QTest::newRow("phantom OK when ready keeps ready") << "PSP" << WorkflowState::ReadyToSimulate << 1;
        QTest::newRow("simulation start returns to the phantom")
            << "PSM" << WorkflowState::AwaitingPhantom << 1;
        QTest::newRow("next round") << "PSMP" << WorkflowState::AwaitingSpectrum << 1;
        QTest::newRow("spectrum disabled again after the start")
            << "PSMS" << WorkflowState::AwaitingPhantom << 1;
    }
    void workflow() {
        QFETCH(QString, events);
        QFETCH(WorkflowState, state);
        QFETCH(int, toolsStarted);
        StartRecorder starts;
        MessageRecorder messages;
        Bench b;
        b.menu().show();
        for (QChar e : events) {
            if (e == 'P')
                b.wb.phantomAccepted();
            else if (e == 'S')
                b.click("Command2");
            else if (e == 'W')
                QTest::qWait(QApplication::doubleClickInterval() + 50);
            else
                b.wb.simulationStarted();
        }
        QCOMPARE(b.wb.state(), state);
        QCOMPARE(starts.started, std::vector<QString>(static_cast<size_t>(toolsStarted), spectrumTool()));
        QVERIFY(b.menu().isVisible()); // the menu stays up beside the spectrum tool
        QVERIFY(messages.entries.empty());
    }

    void aSpectrumToolThatCannotStartLeavesTheState() {
        StartRecorder starts;
        starts.succeeds = false;
        MessageRecorder messages;
        Bench b;
        b.menu().show();
        b.wb.phantomAccepted();
        b.click("Command2");
        QCOMPARE(b.wb.state(), WorkflowState::AwaitingSpectrum);
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(messages.entries[0].text.contains(spectrumTool()));
        QVERIFY(messages.entries[0].icon == MessageIcon::Warning);
    }

    void exitDeletesExactlyThePerRunFiles_data() {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<bool>("closeBox");
        const QStringList all{"MC.dat", "Phantom.dat", "P_SPCTL.dat"};
        QTest::newRow("none, Exit") << QStringList{} << false;
        QTest::newRow("some, Exit") << QStringList{"Phantom.dat"} << false;
        QTest::newRow("all, Exit") << all << false;
        QTest::newRow("none, close box") << QStringList{} << true;
        QTest::newRow("some, close box") << QStringList{"MC.dat", "P_SPCTL.dat"} << true;
        QTest::newRow("all, close box") << all << true;
    }
    void exitDeletesExactlyThePerRunFiles() {
        QFETCH(QStringList, present);
        QFETCH(bool, closeBox);
        MessageRecorder messages;
        Bench b;
        for (const QString& f : present)
            touch(b.dir.path(), f);
        const QStringList kept{"equipment.dat", "run1.vesk", "mc.dat.bak"};
        for (const QString& f : kept)
            touch(b.dir.path(), f);
        b.menu().show();
        if (closeBox)
            QVERIFY(b.menu().close());
        else
            b.click("Command6");
        QCOMPARE(b.ends, 1);
        for (const QString& f : Workbench::perRunFiles())
            QVERIFY2(!b.has(f), qPrintable(f));
        for (const QString& f : kept)
            QVERIFY2(b.has(f), qPrintable(f));
        QVERIFY(messages.entries.empty());
    }

    // Each task button shows its own screen in place of the menu, the same
    // screen every time; leaving it brings the menu back.
    void taskScreensReplaceTheMenu_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("form");
        QTest::newRow("phantom") << QStringLiteral("Command1") << QStringLiteral("Form1");
        QTest::newRow("simulation set-up") << QStringLiteral("Command5") << QStringLiteral("Form4");
        QTest::newRow("results") << QStringLiteral("Command3") << QStringLiteral("Form2");
    }
    void taskScreensReplaceTheMenu() {
        QFETCH(QString, button);
        QFETCH(QString, form);
        MessageRecorder messages;
        StartRecorder starts;
        Bench b;
        QFile record(QDir(b.dir.path()).filePath(QStringLiteral("equipment.dat")));
        QVERIFY(record.open(QIODevice::WriteOnly));
        record.write("Unit A\r\n65\r\n60\r\n7.5\r\n10.26\r\n5\r\n");
        record.close();
        b.menu().show();
        b.wb.phantomAccepted();
        b.click("Command2"); // the spectrum step opens the set-up
        QWidget* first = nullptr;
        for (int round = 1; round <= 2; ++round) {
            b.click(qPrintable(button));
            QWidget* shown = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == form && w->isVisible()) shown = w;
            QVERIFY2(shown, qPrintable(form));
            if (round == 1) first = shown;
            QCOMPARE(shown, first);
            QVERIFY(!b.menu().isVisible());
            shown->close(); // left through its close box or a button
            QVERIFY(b.menu().isVisible());
        }
        QVERIFY(messages.entries.empty());
    }

    // Without a usable equipment record the set-up screen stays closed: the
    // message names the file and the menu stays where it is.
    void aSetUpWithoutItsRecordKeepsTheMenu() {
        MessageRecorder messages;
        StartRecorder starts;
        Bench b;
        b.menu().show();
        b.wb.phantomAccepted();
        b.click("Command2");
        b.click("Command5");
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(messages.entries[0].text.contains(QStringLiteral("equipment.dat")));
        QVERIFY(b.menu().isVisible());
        QVERIFY(!b.wb.setUp().isVisible());
    }

    void referenceScreensOpenBesideTheMenu() {
        Bench b;
        b.menu().show();
        b.click("Command4");
        b.click("Command7");
        auto& geometry = b.wb.airKerma();
        auto& method = b.wb.method();
        QCOMPARE(geometry.objectName(), QStringLiteral("Form10"));
        QCOMPARE(method.objectName(), japanese() ? QStringLiteral("Form8") : QStringLiteral("Form9"));
        QVERIFY(geometry.isVisible() && method.isVisible() && b.menu().isVisible());
        geometry.move(geometry.pos() + QPoint(7, 5));
        const QPoint where = geometry.pos();
        geometry.button("Command1")->click();
        QVERIFY(!geometry.isVisible());
        b.click("Command4");
        QCOMPARE(&b.wb.airKerma(), &geometry); // one screen, shown again where it was
        QVERIFY(geometry.isVisible());
        QCOMPARE(geometry.pos(), where);
        QVERIFY(b.menu().isVisible());
    }

    void window() {
        Bench b;
        QCOMPARE(b.menu().objectName(), QStringLiteral("Form3"));
        QCOMPARE(b.menu().windowTitle(), QStringLiteral(" Kelvane-Vesk"));
        QCOMPARE(b.menu().size(), QSize(454, 599));
        QVERIFY(!(b.menu().windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    }

    void buttons_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("japanese");
        QTest::addColumn<QColor>("face");
        const QColor yellow(255, 255, 192), cyan(192, 255, 255);
        auto row = [](const char* n, QRect r, const char* en, const char* ja, QColor c) {
            QTest::newRow(n) << QString(n) << r << QString::fromUtf8(en) << QString::fromUtf8(ja) << c;
        };
        row("Command4", {4920, 1800, 1455, 495}, "Geometry", "幾何学的配置", cyan);
        row("Command1", {1800, 3120, 3495, 615}, "Phantom model setting", "ファントムの設定", yellow);
        row("Command2", {1800, 3840, 3495, 615}, "X-ray Spectrrum", "入射Ｘ線スペクトル", yellow);
        row("Command5", {1800, 4560, 3495, 615}, "Monte Carlo simulation", "モンテカルロシミュレーション",
            yellow);
        row("Command3", {1440, 5640, 3855, 615}, "Simulation results", "シミュレーション結果", yellow);
        row("Command7", {1440, 6720, 3855, 615}, "Calculation method", "計算方法の解説", yellow);
        row("Command6", {1440, 7560, 3855, 615}, "Exit", "終　了", yellow);
    }
    void buttons() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QString, english);
        QFETCH(QString, japanese);
        QFETCH(QColor, face);
        Bench b;
        QPushButton* w = b.menu().button(name.toStdString());
        QCOMPARE(w->geometry(), toPixels(Twips{twips.x(), twips.y(), twips.width(), twips.height()}));
        QCOMPARE(w->text(), ::japanese() ? japanese : english);
        QCOMPARE(w->palette().color(QPalette::Button), face);
        if (::japanese()) {
            QVERIFY(w->font().pixelSize() <= pointsToPixels(14.25));
            QVERIFY(w->font().pixelSize() >= pointsToPixels(10.5));
        } else {
            QCOMPARE(w->font().pixelSize(), pointsToPixels(14.25));
        }
        QVERIFY(QFontMetrics(w->font()).horizontalAdvance(w->text()) <= w->width() - 10); // nothing cut off
        QCOMPARE(w->font().family(), QStringLiteral("Times New Roman"));
        if (name == "Command6" || name == "Command7")
            QCOMPARE(w->toolTip(), QStringLiteral("   --- bye ---   "));
    }

    void labels_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("twips");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<QColor>("colour");
        const bool ja = japanese();
        const QColor blue(0, 0, 255), black(0, 0, 0);
        auto row = [](const char* n, QPoint at, const char* text, double pt, bool it, QColor c) {
            QTest::newRow(n) << QString(n) << at << QString::fromUtf8(text) << pt << it << c;
        };
        row("Label10", {2265, 240}, "Kelvane-Vesk", 18, true, QColor(255, 0, 0));
        row("Label5", {2280, 240}, "Kelvane-Vesk", 18, true, QColor(255, 255, 0));
        if (ja) {
            row("Label11", {360, 960}, "平均乳腺線量 (AGD) を求めるためには", 15.75, false, black);
            row("Label4", {360, 1320}, "自由空間中で実測した空気カーマが必要です", 15.75, false, black);
        } else {
            row("Label4", {360, 960}, "To obtain Average Glandular Dose (ADG),", 15.75, false, black);
            row("Label3", {360, 1320}, "the Air kerma measured in free space are required. ", 15.75, false,
                black);
        }
        row("Label9", {2880, 2160}, ja ? "メニュー" : "Menu", 15.75, true, blue);
        row("Label1", {1200, 2760}, ja ? "計算手順" : "Procedure", 15.75, true, blue);
        row("Label6", {1200, 3240}, "(1)", 15.75, false, blue);
        row("Label7", {1200, 3960}, "(2)", 15.75, false, blue);
        row("Label8", {1200, 4680}, "(3)", 15.75, false, blue);
        row("Label2", {1320, 8640}, "", 9.75, false, QColor(128, 128, 128));
    }
    void labels() {
        QFETCH(QString, name);
        QFETCH(QPoint, twips);
        QFETCH(QString, text);
        QFETCH(double, points);
        QFETCH(bool, italic);
        QFETCH(QColor, colour);
        Bench b;
        QLabel* l = b.menu().label(name.toStdString());
        QCOMPARE(l->pos(), toPixels(twips.x(), twips.y()));
        if (text.isEmpty()) {
            QVERIFY(!l->text().isEmpty()); // the notice line
            QCOMPARE(l->geometry(), toPixels(Twips{1320, 8640, 3870, 225}));
        } else {
            QCOMPARE(l->text(), text);
            QVERIFY(l->width() >= QFontMetrics(l->font()).horizontalAdvance(text)); // nothing cut off
            QVERIFY(l->geometry().right() < b.menu().width());
        }
        QCOMPARE(l->font().pixelSize(), pointsToPixels(points));
        QCOMPARE(l->font().italic(), italic);
        QCOMPARE(l->palette().color(QPalette::WindowText), colour);
    }

    void separators_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("y");
        QTest::addColumn<QColor>("colour");
        const QColor white(255, 255, 255), grey(128, 128, 128);
        QTest::newRow("Line3") << "Line3" << 2610 << white;
        QTest::newRow("Line4") << "Line4" << 2655 << grey;
        QTest::newRow("Line2") << "Line2" << 5370 << white;
        QTest::newRow("Line1") << "Line1" << 5400 << grey;
        QTest::newRow("Line6") << "Line6" << 6480 << grey;
        QTest::newRow("Line5") << "Line5" << 7320 << white;
        QTest::newRow("Line7") << "Line7" << 8400 << grey;
    }
    void separators() {
        QFETCH(QString, name);
        QFETCH(int, y);
        QFETCH(QColor, colour);
        Bench b;
        LineItem* l = b.menu().line(name.toStdString());
        QCOMPARE(QLineF(l->x1(), l->y1(), l->x2(), l->y2()), QLineF(840, y, 5760, y));
        QCOMPARE(l->colour(), colour);
        QCOMPARE(l->width(), 2);
    }
};

QTEST_MAIN(MenuTest)
#include "test_menu.moc"
