#include "kv/common/version.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/launcher/launcher_screen.h"
#include "kv/test_support/work_dir.h"

#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <unistd.h>

using namespace kv::gui;
using kv::launcher::LauncherScreen;
using kv::launcher::Places;
using kv::test_support::TempDir;
namespace fs = std::filesystem;

namespace {

// HOME set to a scratch folder for one test, and the working folder given back.
class ScratchHome {
  public:
    ScratchHome() : before_(QDir::currentPath()) {
        if (const char* h = std::getenv("HOME")) old_ = h;
        setenv("HOME", home_.path().c_str(), 1);
    }
    ~ScratchHome() {
        setenv("HOME", old_.c_str(), 1);
        QDir::setCurrent(before_);
    }
    const TempDir& dir() const { return home_; }
    // As installed: ~/Kelvane-Vesk, seeded from the shipped data of the source tree.
    Places installed() const {
        Places p = kv::launcher::defaultPlaces(true);
        p.shippedData = kv::test_support::shippedDataDir();
        return p;
    }

  private:
    TempDir home_{"kv-home"};
    std::string old_;
    QString before_;
};

std::string shippedEquipment() {
    return kv::test_support::readFile(kv::test_support::shippedDataDir() / "equipment.dat");
}

} // namespace

class LauncherTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { setUpApplication(QStringLiteral("Kelvane-Vesk")); }

    void windowIsTheChooser() {
        LauncherScreen s;
        QCOMPARE(s.objectName(), QStringLiteral("Form7"));
        QCOMPARE(s.windowTitle(),
                 QStringLiteral(" Kelvane-Vesk  (Kelvane Voxel Estimator of Glandular Dose) "));
        QCOMPARE(s.size(), QSize(648, 375));
        QVERIFY(!(s.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(s.windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<QColor>("colour"); // text colour, or the face of a button
        auto row = [](const char* n, QRect r, const char* t, double pt, bool it, QColor c) {
            QTest::newRow(n) << QString(n) << r << QString::fromUtf8(t) << pt << it << c;
        };
        // 0 pt: up to 36 pt, as large as the rectangle allows the title.
        row("Label10", {3580, 700, 3105, 825}, "Kelvane-Vesk", 0, true, QColor(255, 0, 0));
        row("Label5", {3615, 720, 3105, 825}, "Kelvane-Vesk", 0, true, QColor(255, 255, 0));
        row("Label2", {360, 2400, 8820, 345},
            "Calculation  of dose distributions and average glandular dose(AGD)", 15.75, true,
            QColor(0, 0, 0));
        row("Label1", {1200, 2880, 6825, 345}, "for Mammography and Digital Breast Tomosynthesis", 15.75,
            true, QColor(0, 0, 0));
        row("Command2", {1920, 3720, 2655, 855}, "English edition", 15.75, true, QColor(255, 255, 192));
        row("Command1", {5400, 3720, 2655, 855}, "Japanese edition", 15.75, true, QColor(255, 255, 192));
        row("Label3", {2760, 5160, 4365, 255}, "", 11.25, false, QColor(64, 64, 64));
        row("LabelWorkFolder", {360, 4725, 6960, 285}, "", 11.25, false, QColor(0, 0, 0));
        row("CommandWorkFolder", {7440, 4680, 1920, 375}, "Another folder...", 11.25, false,
            QColor(255, 255, 192));
    }

    // The working-folder row is ours: it must keep clear of every given control.
    void theWorkFolderRowLiesInFreeSpace() {
        LauncherScreen s;
        for (const char* ours : {"LabelWorkFolder", "CommandWorkFolder"}) {
            const QRect mine = s.find(ours)->geometry();
            QVERIFY(QRect(QPoint(0, 0), s.size()).contains(mine));
            for (const char* given :
                 {"Picture1", "Label10", "Label5", "Label2", "Label1", "Command2", "Command1", "Label3"})
                QVERIFY2(!mine.intersects(s.find(given)->geometry()), given);
        }
        QVERIFY(!s.find("LabelWorkFolder")->geometry().intersects(s.find("CommandWorkFolder")->geometry()));
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QString, text);
        QFETCH(double, points);
        QFETCH(bool, italic);
        QFETCH(QColor, colour);
        LauncherScreen s;
        QWidget* w = s.find(name.toStdString());
        const QRect placed = toPixels(Twips{twips.x(), twips.y(), twips.width(), twips.height()});
        // A label grows downwards to the height of its font rather than clip it.
        QCOMPARE(w->geometry().topLeft(), placed.topLeft());
        QCOMPARE(w->width(), placed.width());
        if (qobject_cast<QLabel*>(w))
            QVERIFY(w->height() >= placed.height() && w->height() >= QFontMetrics(w->font()).height());
        else
            QCOMPARE(w->height(), placed.height());
        if (points > 0) {
            QCOMPARE(w->font().pixelSize(), pointsToPixels(points));
        } else {
            QVERIFY(w->font().pixelSize() <= pointsToPixels(36));
            QVERIFY(w->font().pixelSize() >= pointsToPixels(26));
            QVERIFY(QFontMetrics(w->font()).horizontalAdvance(text) <= w->width());
        }
        QCOMPARE(w->font().italic(), italic);
        QCOMPARE(w->font().family(), QStringLiteral("Times New Roman"));
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            QCOMPARE(b->text(), text);
            QCOMPARE(b->palette().color(QPalette::Button), colour);
        } else {
            auto* l = qobject_cast<QLabel*>(w);
            QVERIFY(l);
            if (!text.isEmpty())
                QCOMPARE(l->text(), text);
            else
                QVERIFY(!l->text().isEmpty()); // the notice line
            QCOMPARE(l->palette().color(QPalette::WindowText), colour);
        }
    }

    void titleFrameLines_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QLineF>("ends");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("Line2 top") << "Line2" << QLineF(3240, 600, 7080, 600) << QColor(255, 255, 255);
        QTest::newRow("Line3 left") << "Line3" << QLineF(3240, 1680, 3240, 600) << QColor(255, 255, 255);
        QTest::newRow("Line1 bottom") << "Line1" << QLineF(3240, 1680, 7080, 1680) << QColor(192, 192, 192);
        QTest::newRow("Line4 right") << "Line4" << QLineF(7080, 1680, 7080, 600) << QColor(192, 192, 192);
    }
    void titleFrameLines() {
        QFETCH(QString, name);
        QFETCH(QLineF, ends);
        QFETCH(QColor, colour);
        LauncherScreen s;
        LineItem* l = s.line(name.toStdString());
        QCOMPARE(QLineF(l->x1(), l->y1(), l->x2(), l->y2()), ends);
        QCOMPARE(l->colour(), colour);
        QCOMPARE(l->width(), 3);
    }

    void ribbonIsPink() {
        LauncherScreen s;
        Canvas* c = s.picture("Picture1");
        QCOMPARE(c->innerRect().size(), QSize(72, 92));
        int pink = 0;
        const QImage img = c->image();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor p = img.pixelColor(x, y);
                pink += p.red() > 190 && p.green() < 200 && p.blue() > 90 && p.red() > p.green() + 40;
            }
        QVERIFY2(pink > 300, qPrintable(QString::number(pink)));
    }

    void eachButtonStartsOneWorkbenchAndCloses_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("program");
        QTest::newRow("English edition") << "Command2"
                                         << "dorvel_en";
        QTest::newRow("Japanese edition") << "Command1"
                                          << "dorvel_ja";
    }
    void eachButtonStartsOneWorkbenchAndCloses() {
        QFETCH(QString, button);
        QFETCH(QString, program);
        StartRecorder starts;
        MessageRecorder messages;
        LauncherScreen s;
        s.show();
        QTest::mouseClick(s.button(button.toStdString()), Qt::LeftButton);
        QCOMPARE(starts.started, std::vector<QString>{program});
        QVERIFY(!s.isVisible());
        QVERIFY(messages.entries.empty());
    }

    void aWorkbenchThatCannotStartIsNamedBeforeTheEnd() {
        StartRecorder starts;
        starts.succeeds = false;
        MessageRecorder messages;
        LauncherScreen s;
        s.show();
        QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(messages.entries[0].text.contains(QStringLiteral("dorvel_ja")));
        QVERIFY(messages.entries[0].icon == MessageIcon::Warning);
        QVERIFY(!s.isVisible());
    }

    void anInstalledLauncherMakesAndSeedsTheUsersFolder() {
        ScratchHome home;
        const fs::path folder = home.dir().path() / "Kelvane-Vesk";
        QCOMPARE(kv::launcher::defaultPlaces(true).workFolder, folder);
        StartRecorder starts;
        MessageRecorder messages;
        LauncherScreen s(nullptr, home.installed());
        s.show();
        QVERIFY(s.label("LabelWorkFolder")->toolTip().endsWith(QString::fromStdString(folder.string())));
        QVERIFY(!fs::exists(folder)); // nothing is made before a start is asked for
        QTest::mouseClick(s.button("Command2"), Qt::LeftButton);
        QCOMPARE(starts.started, std::vector<QString>{"dorvel_en"});
        QVERIFY(messages.entries.empty());
        QCOMPARE(kv::test_support::readFile(folder / "equipment.dat"), shippedEquipment());
        QCOMPARE(fs::path(QDir::currentPath().toStdString()), folder);
        QVERIFY(!s.isVisible());
    }

    void aUsersOwnEquipmentFileIsKept() {
        ScratchHome home;
        fs::create_directory(home.dir().file("Kelvane-Vesk"));
        home.dir().write("Kelvane-Vesk/equipment.dat", "Room 3\r\n");
        StartRecorder starts;
        LauncherScreen s(nullptr, home.installed());
        QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
        QCOMPARE(starts.started, std::vector<QString>{"dorvel_ja"});
        QCOMPARE(home.dir().read("Kelvane-Vesk/equipment.dat"), std::string("Room 3\r\n"));
    }

    void anotherFolderServesThisSessionOnly() {
        ScratchHome home;
        TempDir other("kv-other");
        StartRecorder starts;
        MessageRecorder messages;
        {
            LauncherScreen s(nullptr, home.installed());
            messages.chosenFile.clear(); // a cancelled dialog changes nothing
            QTest::mouseClick(s.button("CommandWorkFolder"), Qt::LeftButton);
            QCOMPARE(s.workFolder(), home.dir().path() / "Kelvane-Vesk");
            messages.chosenFile = QString::fromStdString((other.path() / "case 7").string());
            QTest::mouseClick(s.button("CommandWorkFolder"), Qt::LeftButton);
            // The dialog opens at the folder chosen so far.
            QCOMPARE(messages.suggestions.back(),
                     QString::fromStdString((home.dir().path() / "Kelvane-Vesk").string()));
            QVERIFY(s.label("LabelWorkFolder")->toolTip().endsWith(QStringLiteral("case 7")));
            QTest::mouseClick(s.button("Command2"), Qt::LeftButton);
        }
        QCOMPARE(starts.started.size(), size_t{1});
        QCOMPARE(kv::test_support::readFile(other.path() / "case 7" / "equipment.dat"), shippedEquipment());
        QVERIFY(!fs::exists(home.dir().path() / "Kelvane-Vesk"));
        LauncherScreen next(nullptr, home.installed());
        QCOMPARE(next.workFolder(), home.dir().path() / "Kelvane-Vesk");
    }

    void aFolderThatCannotServeIsNamedAndNothingStarts_data() {
        QTest::addColumn<QString>("folder"); // under the scratch home
        QTest::addColumn<QString>("why");
        QTest::addColumn<bool>("readOnly"); // made read-only first
        QTest::newRow("a file in its place") << "Kelvane-Vesk"
                                             << "a file stands under its name" << false;
        QTest::newRow("under a file") << "Kelvane-Vesk/inner"
                                      << "it could not be made" << false;
        QTest::newRow("read-only") << "ro"
                                   << "it is read-only" << true;
    }
    void aFolderThatCannotServeIsNamedAndNothingStarts() {
        QFETCH(QString, folder);
        QFETCH(QString, why);
        QFETCH(bool, readOnly);
        ScratchHome home;
        if (readOnly) {
            if (geteuid() == 0) QSKIP("root writes into a read-only folder");
            fs::create_directory(home.dir().path() / "ro");
            fs::permissions(home.dir().path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        } else {
            home.dir().write("Kelvane-Vesk", "not a folder");
        }
        Places places = home.installed();
        places.workFolder = home.dir().path() / folder.toStdString();
        StartRecorder starts;
        MessageRecorder messages;
        LauncherScreen s(nullptr, places);
        s.show();
        QTest::mouseClick(s.button("Command2"), Qt::LeftButton);
        QVERIFY(starts.started.empty());
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY2(messages.entries[0].text.contains(why), qPrintable(messages.entries[0].text));
        QVERIFY(messages.entries[0].text.contains(QString::fromStdString(places.workFolder.string())));
        QVERIFY(s.isVisible()); // to choose another
        QCOMPARE(home.dir().read("Kelvane-Vesk"), std::string(readOnly ? "" : "not a folder"));
    }

    void theNoticeLineStatesTheVersion() {
        LauncherScreen s;
        const QString full = QString::fromUtf8(kv::version().data(), qsizetype(kv::version().size()));
        QVERIFY(s.label("Label3")->text().startsWith("Version " + full.section('+', 0, 0) + " "));
        QVERIFY(s.label("Label3")->toolTip().contains(full));
    }

    // The version line stays where it stands; the build id follows it in the free corner.
    void theBottomLineShowsTheWholeVersion() {
        LauncherScreen s;
        const QString full = QString::fromUtf8(kv::version().data(), qsizetype(kv::version().size()));
        const QLabel* build = s.label("LabelBuild");
        const QLabel* notice = s.label("Label3");
        QCOMPARE(build->text(), full.contains('+') ? full.mid(full.indexOf('+')) : QString());
        QCOMPARE(notice->text().section(' ', 1, 1) + build->text(), full);
        QVERIFY(build->geometry().left() > notice->geometry().right());
        QVERIFY(build->geometry().right() < s.width());
        QVERIFY(build->geometry().bottom() < s.height());
        QVERIFY2(QFontMetrics(build->font()).horizontalAdvance(build->text()) <= build->width(),
                 qPrintable(build->text()));
    }

    // A result opened from the desktop: its folder serves the session, nothing else does.
    void anOpenedFilesFolderIsTheWorkFolder() {
        TempDir d("kv-open");
        d.write("first.vesk", "x");
        const std::string file = (d.path() / "first.vesk").string();
        struct Case {
            std::vector<std::string> args;
            std::optional<std::filesystem::path> folder;
        };
        for (const Case& c : {Case{{file}, d.path()}, Case{{"--", file}, d.path()},
                              Case{{(d.path() / "none.vesk").string()}, std::nullopt},
                              Case{{d.path().string()}, std::nullopt}, Case{{}, std::nullopt}})
            QCOMPARE(kv::launcher::folderOfOpenedFile(c.args), c.folder);
        const QString here = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(d.path().string())));
        QCOMPARE(kv::launcher::folderOfOpenedFile({"first.vesk"}), std::optional(d.path()));
        QDir::setCurrent(here);
    }

    void closingStartsNothing() {
        StartRecorder starts;
        LauncherScreen s;
        s.show();
        QVERIFY(s.close());
        QVERIFY(starts.started.empty());
    }
};

QTEST_MAIN(LauncherTest)
#include "test_launcher.moc"
