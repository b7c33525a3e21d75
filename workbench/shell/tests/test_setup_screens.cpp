// The phantom screen, the composition table and the set-up screen, driven
// through the menu in a temporary working directory.
#include "kv/common/typed_number.h"
#include "kv/formats/spectrum_file.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/texts/phantom.h"
#include "kv/texts/setup.h"
#include "kv/texts/spectrum_files.h"
#include "kv/texts/typed_number.h"
#include "kv/workbench/shell/composition_screen.h"
#include "kv/workbench/shell/menu_screen.h"
#include "kv/workbench/shell/phantom_screen.h"
#include "kv/workbench/shell/plates_dialog.h"
#include "kv/workbench/shell/reference_screens.h"
#include "kv/workbench/shell/setup_screen.h"
#include "kv/workbench/shell/workbench.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <unistd.h>

using namespace kv::shell;
using kv::gui::MessageIcon;

namespace {

QString q(kv::texts::Text t) {
    return QString::fromUtf8(t.c_str());
}
bool japanese() {
    return kv::texts::edition() == kv::texts::Edition::Japanese;
}

const QByteArray kRecord = "Unit A\r\n65\r\n60\r\n7.5\r\n10.26\r\n5\r\n";

// One workbench in its own working directory, with every desktop edge recorded.
struct Bench {
    QTemporaryDir dir;
    kv::gui::MessageRecorder messages;
    kv::gui::StartRecorder starts;
    kv::gui::BeepRecorder beeps;
    std::unique_ptr<Workbench> wb;

    Bench() {
        wb = std::make_unique<Workbench>(dir.path());
        wb->endProgram = [] {};
        wb->menu().show();
    }
    ~Bench() { wb.reset(); }

    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool exists(const QString& name) const { return QFile::exists(path(name)); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }
    QByteArrayList lines(const QString& name) const {
        QByteArrayList l = read(name).split('\n');
        if (!l.isEmpty() && l.back().isEmpty()) l.pop_back();
        for (auto& s : l)
            s.chop(s.endsWith('\r') ? 1 : 0);
        return l;
    }

    MenuScreen& menu() { return wb->menu(); }
    PhantomScreen& phantom() { return wb->phantom(); }
    SetUpScreen& setUp() { return wb->setUp(); }
    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    static void type(QLineEdit* e, const QString& text) {
        e->clear();
        // QTest types ASCII keys only; an input method hands over whole text.
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            QTest::keyClicks(e, text);
        else
            e->insert(text);
    }
    void chooseFraction(const QString& entry, Qt::KeyboardModifiers mods = {}) {
        QListWidget* list = phantom().listBox("List2");
        QListWidgetItem* item = list->findItems(entry, Qt::MatchExactly).front();
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, list->visualItemRect(item).center());
    }
    // Phantom accepted and the spectrum tool asked for: the set-up button is open.
    void readyToSimulate() {
        click(menu().button("Command1"));
        click(phantom().button("Command3"));
        click(menu().button("Command2"));
    }
    // What an engine reads besides the files the menu's screens write: the
    // spectrum (each ray a flat 10 to 28 keV, `share` per bin) and the
    // composition tables.
    void completeRunFolder(double share = 1e-3) const {
        kv::formats::SpectrumTable table{};
        for (int k = 1; k < kv::formats::kColumns; ++k)
            for (int i = 50; i <= 140; ++i)
                table[k][i] = share;
        kv::formats::writeSpectrumFile(dir.path().toStdString(), kv::formats::TargetMaterial::Molybdenum, {},
                                       table, kv::texts::englishSpectrumFileTexts.labels);
        for (int f = 10; f <= 90; f += 10) {
            const QString name = QStringLiteral("BR12-%1.dat").arg(f);
            QFile::remove(path(name));
            QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + name, path(name));
        }
    }
    // The set-up screen opened over `record` (none when empty), in a folder
    // that an engine would run in.
    SetUpScreen& openSetUp(const QByteArray& record = kRecord) {
        completeRunFolder();
        if (!record.isEmpty()) write(QStringLiteral("equipment.dat"), record);
        readyToSimulate();
        click(menu().button("Command5"));
        return setUp();
    }
    static void accept(SetUpScreen& s) {
        type(s.textBox("Text12"), QStringLiteral("case1"));
        click(s.button("Command5"));
    }
};

} // namespace

class SetUpScreensTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk")); }

    // --- Form1 -------------------------------------------------------------

    void phantomOkWritesTheFile_data() {
        QTest::addColumn<QString>("thickness"); // null: left as the menu set it
        QTest::addColumn<QString>("fraction");  // null: left as the menu set it
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no change") << QString() << QString()
                                   << QByteArray("50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n");
        QTest::newRow("4.26 -> 4.3") << "4.26" << QString()
                                     << QByteArray("50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n4.3\r\n");
        QTest::newRow("3 -> 3.0") << "3" << QString()
                                  << QByteArray("50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n3.0\r\n");
        QTest::newRow("full width \uFF14\uFF0E\uFF15 -> 4.5")
            << QStringLiteral("\uFF14\uFF0E\uFF15") << QString()
            << QByteArray("50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n4.5\r\n");
        QTest::newRow("blanks around")
            << " 6 " << QString() << QByteArray("50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n6.0\r\n");
        QTest::newRow("fraction 10") << QString() << "10"
                                     << QByteArray("10\r\nBR12-10.dat\r\n15.0\r\n15.0\r\n5.0\r\n");
        QTest::newRow("fraction 90, 4.45")
            << "4.45"
            << "90" << QByteArray("90\r\nBR12-90.dat\r\n15.0\r\n15.0\r\n4.5\r\n");
    }
    void phantomOkWritesTheFile() {
        QFETCH(QString, thickness);
        QFETCH(QString, fraction);
        QFETCH(QByteArray, bytes);
        Bench b;
        Bench::click(b.menu().button("Command1"));
        QVERIFY(b.phantom().isVisible());
        QVERIFY(!b.menu().isVisible());
        if (!thickness.isNull()) Bench::type(b.phantom().textBox("Text31"), thickness);
        if (!fraction.isNull()) b.chooseFraction(fraction);
        Bench::click(b.phantom().button("Command3"));
        QCOMPARE(b.read("Phantom.dat"), bytes);
        QVERIFY(!b.phantom().isVisible());
        QVERIFY(b.menu().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::AwaitingSpectrum);
        QVERIFY(b.messages.entries.empty());
    }

    // What is not entirely a number, or no breast can be, is refused and nothing is written.
    void phantomRefusesWhatIsNotAThickness_data() {
        QTest::addColumn<QString>("thickness");
        QTest::addColumn<QString>("shown"); // the text as the message quotes it
        for (const char* t :
             {"4,5", "abc", "4.5abc", "12abc", "nan", "inf", "-1", "0", "0.05", "6.1", "1e999"})
            QTest::newRow(t) << t << t;
        QTest::newRow("empty") << ""
                               << "";
    }
    void phantomRefusesWhatIsNotAThickness() {
        QFETCH(QString, thickness);
        QFETCH(QString, shown);
        Bench b;
        b.write("Phantom.dat", "earlier\r\n");
        Bench::click(b.menu().button("Command1"));
        Bench::type(b.phantom().textBox("Text31"), thickness);
        Bench::click(b.phantom().button("Command3"));
        QCOMPARE(b.messages.entries.size(), size_t{1});
        const QString m = b.messages.entries[0].text;
        QVERIFY2(m.startsWith(q(kv::texts::phantomTexts().thicknessField)), qPrintable(m));
        if (!shown.isEmpty()) QVERIFY2(m.contains(shown), qPrintable(m));
        QCOMPARE(b.read("Phantom.dat"), QByteArray("earlier\r\n"));
        QVERIFY(b.phantom().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::AwaitingPhantom);
    }

    void phantomOpensWithFiveAndFifty() {
        Bench b;
        Bench::click(b.menu().button("Command1"));
        QCOMPARE(b.phantom().textBox("Text31")->text(), QStringLiteral("5"));
        QCOMPARE(b.phantom().fraction(), QStringLiteral("50"));
        QCOMPARE(b.phantom().listBox("List2")->count(), 9);
        // What was entered before is gone at the next showing, after OK and after Cancel.
        for (const char* leave : {"Command3", "Command7"}) {
            Bench::type(b.phantom().textBox("Text31"), QStringLiteral("3.5"));
            b.chooseFraction(QStringLiteral("80"));
            Bench::click(b.phantom().button(leave));
            Bench::click(b.menu().button("Command1"));
            QCOMPARE(b.phantom().textBox("Text31")->text(), QStringLiteral("5"));
            QCOMPARE(b.phantom().fraction(), QStringLiteral("50"));
            QCOMPARE(b.phantom().listBox("List2")->selectedItems().size(), 1);
        }
    }

    void phantomFractionCannotBeCleared() {
        Bench b;
        Bench::click(b.menu().button("Command1"));
        b.chooseFraction(QStringLiteral("30"));
        b.chooseFraction(QStringLiteral("30"), Qt::ControlModifier); // would deselect
        QCOMPARE(b.phantom().listBox("List2")->selectedItems().size(), 1);
        Bench::click(b.phantom().button("Command3"));
        QVERIFY(b.read("Phantom.dat").startsWith("30\r\nBR12-30.dat\r\n"));
    }

    void phantomCancelWritesNothing() {
        Bench b;
        const QByteArray old("70\r\nBR12-70.dat\r\n15.0\r\n15.0\r\n4.0\r\n");
        b.write(QStringLiteral("Phantom.dat"), old);
        Bench::click(b.menu().button("Command1"));
        Bench::type(b.phantom().textBox("Text31"), QStringLiteral("2"));
        Bench::click(b.phantom().button("Command7"));
        QCOMPARE(b.read("Phantom.dat"), old);
        QVERIFY(!b.phantom().isVisible());
        QVERIFY(b.menu().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::AwaitingPhantom);
        QVERIFY(!b.menu().button("Command2")->isEnabled());
    }

    void phantomOkKeepsLaterSteps() {
        Bench b;
        b.readyToSimulate();
        Bench::click(b.menu().button("Command1"));
        Bench::type(b.phantom().textBox("Text31"), QStringLiteral("6"));
        Bench::click(b.phantom().button("Command3"));
        QCOMPARE(b.wb->state(), WorkflowState::ReadyToSimulate);
        QCOMPARE(b.lines(QStringLiteral("Phantom.dat")).back(), QByteArray("6.0"));
    }

    void phantomWriteFailureKeepsEverything() {
        Bench b;
        QVERIFY(QDir(b.dir.path()).mkdir(QStringLiteral("Phantom.dat"))); // cannot be replaced by a file
        Bench::click(b.menu().button("Command1"));
        Bench::click(b.phantom().button("Command3"));
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(b.messages.entries[0].text.contains(QStringLiteral("Phantom.dat")));
        QVERIFY(b.phantom().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::AwaitingPhantom);
        QCOMPARE(QDir(b.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // --- Form11 ------------------------------------------------------------

    void compositionOpensBesideAndCloses() {
        Bench b;
        Bench::click(b.menu().button("Command1"));
        Bench::click(b.phantom().button("Command1"));
        auto& table = b.wb->composition();
        QVERIFY(table.isVisible());
        QVERIFY(b.phantom().isVisible());
        QCOMPARE(table.objectName(), QStringLiteral("Form11"));
        // The table is drawn: rules and figures darken the white picture.
        const QImage& img = table.picture("Picture1")->image();
        int dark = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                dark += qGray(img.pixel(x, y)) < 100;
        QVERIFY2(dark > 2000, qPrintable(QString::number(dark)));
        Bench::click(table.button("Command1"));
        QVERIFY(!table.isVisible());
        QVERIFY(b.phantom().isVisible());
        QVERIFY(!b.menu().isVisible());
    }

    void compositionTableIsConsistent() {
        // Mass fractions add up to one, and glandular tissue is denser than fat.
        double lastDensity = 0;
        int percent = 0;
        for (const PhantomMaterial& m : phantomMaterials()) {
            QCOMPARE(m.glandularPercent, percent);
            percent += 10;
            const double sum = m.hydrogen + m.carbon + m.nitrogen + m.oxygen + m.phosphorus;
            QVERIFY2(std::abs(sum - 1.0) <= 0.0015, qPrintable(QString::number(m.glandularPercent)));
            QVERIFY(m.density > lastDensity);
            lastDensity = m.density;
        }
    }

    // --- Form4: opening ----------------------------------------------------

    void setUpOpensFromTheRecord() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        QVERIFY(s.isVisible());
        QVERIFY(!b.menu().isVisible());
        QCOMPARE(s.textBox("Text3")->text(), QStringLiteral("65.0"));
        QCOMPARE(s.textBox("Text4")->text(), QStringLiteral("60.0"));
        QCOMPARE(s.textBox("Text1")->text(), QStringLiteral("60.0"));
        QCOMPARE(s.textBox("Text5")->text(), QStringLiteral("07.5"));
        QCOMPARE(s.textBox("Text6")->text(), QStringLiteral("Unit A"));
        QCOMPARE(s.textBox("Text11")->text(), QStringLiteral("1000000000"));
        QCOMPARE(s.textBox("Text12")->text(), QString());
        QVERIFY(s.option("Option1")->isChecked());
        QVERIFY(s.option("Option4")->isChecked());
        QVERIFY(!s.button("Command6")->isEnabled());
        QVERIFY(b.messages.entries.empty());
    }

    void setUpResetsAtEveryOpening() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::click(s.option("Option2"));
        Bench::click(s.option("Option5"));
        for (const char* box : {"Text1", "Text3", "Text4", "Text5", "Text6", "Text11", "Text12"})
            Bench::type(s.textBox(box), QStringLiteral("9"));
        Bench::click(s.button("Command5"));
        QVERIFY(s.button("Command6")->isEnabled());
        Bench::click(s.button("Command4"));
        // The record now holds what OK wrote; the next opening starts from it.
        b.readyToSimulate();
        Bench::click(b.menu().button("Command5"));
        QCOMPARE(s.textBox("Text3")->text(), QStringLiteral("09.0"));
        QCOMPARE(s.textBox("Text1")->text(), QStringLiteral("09.0"));
        QCOMPARE(s.textBox("Text6")->text(), QStringLiteral("9"));
        QCOMPARE(s.textBox("Text11")->text(), QStringLiteral("1000000000"));
        QCOMPARE(s.textBox("Text12")->text(), QString());
        QVERIFY(s.option("Option1")->isChecked());
        QVERIFY(s.option("Option4")->isChecked());
        QVERIFY(!s.button("Command6")->isEnabled());
    }

    void setUpRefusesAnUnusableRecord_data() {
        QTest::addColumn<QByteArray>("record"); // empty: no file
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("three lines") << QByteArray("Unit A\r\n65\r\n60\r\n");
        QTest::newRow("not a number") << QByteArray("Unit A\r\nsixty-five\r\n60\r\n7.5\r\n10\r\n0\r\n");
    }
    void setUpRefusesAnUnusableRecord() {
        QFETCH(QByteArray, record);
        Bench b;
        b.openSetUp(record);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(b.messages.entries[0].text.contains(QStringLiteral("equipment.dat")));
        QVERIFY(!b.setUp().isVisible());
        QVERIFY(b.menu().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::ReadyToSimulate);
        QCOMPARE(b.read("equipment.dat"), record);
    }

    void setUpOptionsFillTheOtherDistance() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::click(s.option("Option5"));
        QCOMPARE(s.textBox("Text1")->text(), QString());
        Bench::type(s.textBox("Text4"), QStringLiteral("62.5"));
        Bench::click(s.option("Option4"));
        QCOMPARE(s.textBox("Text1")->text(), QStringLiteral("62.5"));
    }

    // --- Form4: "OK" --------------------------------------------------------

    void setUpOkRefusesMissingInput_data() {
        QTest::addColumn<QString>("histories");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("missing"); // false: the name is no file name
        QTest::newRow("history 0") << "0"
                                   << "case1" << true;
        QTest::newRow("history -5") << "-5"
                                    << "case1" << true;
        QTest::newRow("history abc") << "abc"
                                     << "case1" << true;
        QTest::newRow("history empty") << ""
                                       << "case1" << true;
        QTest::newRow("history beyond any number") << "1E999"
                                                   << "case1" << true;
        QTest::newRow("history 1,000,000") << "1,000,000"
                                           << "case1" << true;
        QTest::newRow("history 1e9abc") << "1e9abc"
                                        << "case1" << true;
        QTest::newRow("history below one") << "0.5"
                                           << "case1" << true;
        // Written as "1.5E+00", the engine would refuse it only at Start.
        QTest::newRow("history 1.5") << "1.5"
                                     << "case1" << true;
        QTest::newRow("history 10.5") << "10.5"
                                      << "case1" << true;
        QTest::newRow("name empty") << "1000000000"
                                    << "" << true;
        QTest::newRow("name with a folder") << "1000000000"
                                            << "runs/case1" << false;
        QTest::newRow("name with a backslash") << "1000000000"
                                               << "a\\b" << false;
        QTest::newRow("name with a tab") << "1000000000"
                                         << "a\tb" << false;
        QTest::newRow("name too long") << "1000000000" << QString(300, QLatin1Char('n')) << false;
    }
    void setUpOkRefusesMissingInput() {
        QFETCH(QString, histories);
        QFETCH(QString, name);
        QFETCH(bool, missing);
        Bench b;
        SetUpScreen& s = b.openSetUp();
        s.textBox("Text11")->setText(histories);
        s.textBox("Text12")->setText(name);
        Bench::click(s.button("Command5"));
        QCOMPARE(b.messages.entries.size(), size_t(1));
        const auto& t = kv::texts::setUpTexts();
        if (missing) {
            // The screen's own message, with the field and the text below it.
            QCOMPARE(b.messages.entries[0].text, q(t.missingInput));
            const QString& detail = b.messages.entries[0].detail;
            QVERIFY2(detail.startsWith(q(name.isEmpty() ? t.fieldFileName : t.fieldHistories)),
                     qPrintable(detail));
            if (!name.isEmpty()) QVERIFY2(detail.contains(histories.trimmed()), qPrintable(detail));
        } else
            QCOMPARE(b.messages.entries[0].text, q(t.notAFileName).arg(name));
        QCOMPARE(b.messages.entries[0].icon, MessageIcon::Warning);
        QVERIFY(!b.exists(QStringLiteral("MC.dat")));
        QCOMPARE(b.read("equipment.dat"), kRecord);
        QVERIFY(!s.button("Command6")->isEnabled());
        QVERIFY(s.isVisible());
        QCOMPARE(s.textBox("Text12")->text(), name); // kept for correction
    }

    void setUpOkWritesBothFiles() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::accept(s);
        QVERIFY(b.messages.entries.empty());
        QCOMPARE(
            b.read("MC.dat"),
            QByteArray(
                "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n1.0E+09\r\ncase1.vesk\r\nUnit A\r\n"));
        QCOMPARE(b.read("equipment.dat"),
                 japanese() ? QByteArray("Unit A\r\n65.0\r\n60.0\r\n07.5\r\n10.3\r\n5.0\r\n")
                            : QByteArray("Unit A\r\n65.0\r\n60.0\r\n07.5\r\n10.3\r\n 5.0\r\n"));
        QVERIFY(s.button("Command6")->isEnabled());
        QVERIFY(s.isVisible()); // stays open to show what was accepted
    }

    // The engine replaces a result of the same name; "OK" asks before it lets that happen.
    void setUpOkAsksBeforeAResultIsReplaced_data() {
        QTest::addColumn<bool>("resultThere");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("written");
        QTest::newRow("new name: no question") << false << false << true;
        QTest::newRow("name in use, Yes") << true << true << true;
        QTest::newRow("name in use, No") << true << false << false;
    }
    void setUpOkAsksBeforeAResultIsReplaced() {
        QFETCH(bool, resultThere);
        QFETCH(bool, answer);
        QFETCH(bool, written);
        Bench b;
        SetUpScreen& s = b.openSetUp();
        if (resultThere) b.write(QStringLiteral("case1.vesk"), "old result\r\n");
        b.messages.answer = answer;
        Bench::accept(s);
        QCOMPARE(b.messages.questions.size(), size_t(resultThere ? 1 : 0));
        if (resultThere)
            QCOMPARE(b.messages.questions[0], q(kv::texts::setUpTexts().replaceResult).arg("case1.vesk"));
        QVERIFY(b.messages.entries.empty());
        QCOMPARE(b.exists(QStringLiteral("MC.dat")), written);
        QCOMPARE(s.button("Command6")->isEnabled(), written);
        if (resultThere)
            QCOMPARE(b.read("case1.vesk"), QByteArray("old result\r\n")); // the engine's to replace
        QCOMPARE(s.textBox("Text12")->text(), QStringLiteral("case1"));
    }
    void setUpOkAsksOnlyForAnAcceptableEntry() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        b.write(QStringLiteral("case1.vesk"), "old result\r\n");
        b.messages.answer = true;
        s.textBox("Text11")->setText(QStringLiteral("1.5"));
        Bench::accept(s);
        QVERIFY(b.messages.questions.empty());
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(!b.exists(QStringLiteral("MC.dat")));
    }

    void setUpOkWritesEachLine_data() {
        QTest::addColumn<QByteArray>("tilt");   // line 6 of the record read at opening
        QTest::addColumn<QByteArray>("target"); // line 5
        QTest::addColumn<QString>("box");       // the box typed into ("" for none)
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("other"); // FCD from "Other distances"
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("english");
        QTest::addColumn<QByteArray>("japanese");
        const QString mc = QStringLiteral("MC.dat"), eq = QStringLiteral("equipment.dat");
        auto row = [](const char* name) -> QTestData& {
            return QTest::newRow(name) << QByteArray("5") << QByteArray("10.26");
        };
        row("history 1000000000") << "Text11"
                                  << "1000000000" << false << mc << 7 << QByteArray("1.0E+09")
                                  << QByteArray("1.0E+09");
        row("history 123456") << "Text11"
                              << "123456" << false << mc << 7 << QByteArray("1.2E+05")
                              << QByteArray("1.2E+05");
        row("FID 65 in MC.dat") << "Text3"
                                << "65" << false << mc << 3 << QByteArray("065.0") << QByteArray("065.0");
        row("FID 65 in the record") << "Text3"
                                    << "65" << false << eq << 2 << QByteArray("65") << QByteArray("65");
        row("FAD 55.5 in MC.dat") << "Text4"
                                  << "55.5" << false << mc << 4 << QByteArray("055.5") << QByteArray("055.5");
        row("FAD 55.5 in the record")
            << "Text4"
            << "55.5" << false << eq << 3 << QByteArray("55.5") << QByteArray("55.5");
        row("FID with blanks in the record")
            << "Text3"
            << " 66 " << false << eq << 2 << QByteArray("66") << QByteArray("66");
        row("FCD is the FAD") << ""
                              << "" << false << mc << 5 << QByteArray("060.0") << QByteArray("060.0");
        row("other distance 45.5") << "Text1"
                                   << "45.5" << true << mc << 5 << QByteArray("045.5") << QByteArray("045.5");
        row("range 15 in MC.dat") << "Text5"
                                  << "15" << false << mc << 6 << QByteArray("015.0") << QByteArray("015.0");
        row("name of one blank") << "Text12"
                                 << " " << false << mc << 8 << QByteArray(" .vesk") << QByteArray(" .vesk");
        row("equipment name in MC.dat")
            << "Text6"
            << "Room 2" << false << mc << 9 << QByteArray("Room 2") << QByteArray("Room 2");
        row("equipment name in the record")
            << "Text6"
            << "Room 2" << false << eq << 1 << QByteArray("Room 2") << QByteArray("Room 2");
        row("target 10.26 -> 10.3") << ""
                                    << "" << false << eq << 5 << QByteArray("10.3") << QByteArray("10.3");
        row("tilt 5") << ""
                      << "" << false << eq << 6 << QByteArray(" 5.0") << QByteArray("5.0");
        QTest::newRow("tilt -2.5") << QByteArray("-2.5") << QByteArray("10") << ""
                                   << "" << false << eq << 6 << QByteArray(" -2.5") << QByteArray("-2.5");
        QTest::newRow("tilt 0") << QByteArray("0") << QByteArray("10") << ""
                                << "" << false << eq << 6 << QByteArray(" 0.0") << QByteArray("0.0");
    }
    void setUpOkWritesEachLine() {
        QFETCH(QByteArray, tilt);
        QFETCH(QByteArray, target);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(bool, other);
        QFETCH(QString, file);
        QFETCH(int, line);
        QFETCH(QByteArray, english);
        QFETCH(QByteArray, japanese);
        Bench b;
        SetUpScreen& s = b.openSetUp("Unit A\r\n65\r\n60\r\n7.5\r\n" + target + "\r\n" + tilt + "\r\n");
        Bench::type(s.textBox("Text12"), QStringLiteral("case1"));
        if (other) Bench::click(s.option("Option5"));
        if (!box.isEmpty()) Bench::type(s.textBox(box.toStdString()), typed);
        Bench::click(s.button("Command5"));
        QVERIFY(b.messages.entries.empty());
        const QByteArrayList lines = b.lines(file);
        QCOMPARE(lines.size(), file == QStringLiteral("MC.dat") ? 9 : 6);
        QCOMPARE(lines[line - 1], ::japanese() ? japanese : english);
    }

    void setUpOkRefusesWhatIsNoNumber_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("other"); // FCD from "Other distances"
        QTest::addColumn<bool>("comma"); // the hint for a decimal point
        QTest::newRow("FID abc") << "Text3"
                                 << "abc" << false << false;
        QTest::newRow("FID empty") << "Text3"
                                   << "" << false << false;
        QTest::newRow("FID 65cm") << "Text3"
                                  << "65cm" << false << false;
        QTest::newRow("FID beyond any number") << "Text3"
                                               << "1E999" << false << false;
        QTest::newRow("FAD 60,5") << "Text4"
                                  << "60,5" << false << true;
        QTest::newRow("FAD blank") << "Text4"
                                   << " " << false << false;
        QTest::newRow("range 7,5") << "Text5"
                                   << "7,5" << false << true;
        QTest::newRow("range empty") << "Text5"
                                     << "" << false << false;
        QTest::newRow("other distance abc") << "Text1"
                                            << "abc" << true << false;
        QTest::newRow("other distance empty") << "Text1"
                                              << "" << true << false;
        QTest::newRow("other distance 45,5") << "Text1"
                                             << "45,5" << true << true;
        QTest::newRow("FID 0") << "Text3"
                               << "0" << false << false;
        QTest::newRow("FID 600 cm") << "Text3"
                                    << "600" << false << false;
        QTest::newRow("FAD negative") << "Text4"
                                      << "-60" << false << false;
        QTest::newRow("range 61") << "Text5"
                                  << "61" << false << false;
        QTest::newRow("range nan") << "Text5"
                                   << "nan" << false << false;
    }
    void setUpOkRefusesWhatIsNoNumber() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(bool, other);
        QFETCH(bool, comma);
        Bench b;
        SetUpScreen& s = b.openSetUp();
        if (other) Bench::click(s.option("Option5"));
        s.textBox(box.toStdString())->setText(typed);
        Bench::accept(s);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        const auto& t = kv::texts::setUpTexts();
        const QString& text = b.messages.entries[0].text;
        const std::map<QString, kv::texts::Text> fields{{QStringLiteral("Text3"), t.fieldFid},
                                                        {QStringLiteral("Text4"), t.fieldFad},
                                                        {QStringLiteral("Text5"), t.fieldAngularRange},
                                                        {QStringLiteral("Text1"), t.fieldFcd}};
        QVERIFY2(text.startsWith(q(fields.at(box))), qPrintable(text));
        QVERIFY(text.contains(QLatin1Char('"') + typed.trimmed() + QLatin1Char('"')) ||
                text.contains(QStringLiteral("「") + typed.trimmed() + QStringLiteral("」")) ||
                typed.trimmed().isEmpty());
        const QString commaWords =
            q(kv::texts::typedNumberTexts().decimalComma).section(QStringLiteral("{text}"), 1);
        QCOMPARE(text.contains(commaWords), comma);
        QVERIFY2(text.endsWith(q(t.nothingWritten)), qPrintable(text));
        QCOMPARE(b.messages.entries[0].icon, MessageIcon::Warning);
        QVERIFY(!b.exists(QStringLiteral("MC.dat")));
        QCOMPARE(b.read("equipment.dat"), kRecord);
        QVERIFY(!s.button("Command6")->isEnabled());
        QCOMPARE(s.textBox(box.toStdString())->text(), typed); // kept for correction
    }

    // Full-width digits (an input method's) are read as what they spell, and the
    // files get them as ASCII.
    void setUpReadsFullWidthDigits() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        s.textBox("Text3")->setText(QStringLiteral("\uFF16\uFF15"));
        s.textBox("Text5")->setText(QStringLiteral("\uFF17\uFF0E\uFF15"));
        s.textBox("Text11")->setText(QStringLiteral("\uFF11\uFF25\uFF18"));
        Bench::accept(s);
        QVERIFY(b.messages.entries.empty());
        const QByteArrayList mc = b.lines(QStringLiteral("MC.dat"));
        QCOMPARE(mc[2], QByteArray("065.0"));
        QCOMPARE(mc[5], QByteArray("007.5"));
        QCOMPARE(mc[6], QByteArray("1.0E+08"));
        const QByteArrayList equipment = b.lines(QStringLiteral("equipment.dat"));
        QCOMPARE(equipment[1], QByteArray("65"));
        QCOMPARE(equipment[3], QByteArray("7.5"));
    }

    void setUpCommand6KeepsItsState() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::accept(s);
        const QByteArray written = b.read("MC.dat");
        // Edits reach the files only through another accepted OK.
        Bench::type(s.textBox("Text3"), QStringLiteral("70"));
        s.textBox("Text12")->clear();
        Bench::click(s.button("Command5"));
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(s.button("Command6")->isEnabled());
        QCOMPARE(b.read("MC.dat"), written);
    }

    void setUpWriteFailureIsReported() {
        Bench b;
        QVERIFY(QDir(b.dir.path()).mkdir(QStringLiteral("MC.dat")));
        SetUpScreen& s = b.openSetUp();
        Bench::accept(s);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(b.messages.entries[0].text.contains(QStringLiteral("MC.dat")));
        QVERIFY(!s.button("Command6")->isEnabled());
        QCOMPARE(b.read("equipment.dat"), kRecord);
    }

    // --- Form4: the target uncertainty ----------------------------------------

    void setUpTargetGoesToTheRunOptions() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        QVERIFY(s.textBox("TextSagd")->text().isEmpty());
        Bench::accept(s);
        QVERIFY(!b.exists(QStringLiteral("RunOptions.dat"))); // no target, no file: nothing changes
        Bench::type(s.textBox("TextSagd"), QStringLiteral(" 0.50 "));
        Bench::accept(s);
        QVERIFY(b.messages.entries.empty());
        QCOMPARE(b.read("RunOptions.dat"), QByteArray("sagd_sigma_percent = 0.5\r\n"));
        // A seed written by hand stays; the target shows again at the next opening.
        b.write(QStringLiteral("RunOptions.dat"), "seed = 42\r\nsagd_sigma_percent = 2\r\n");
        s.hide();
        SetUpScreen& again = b.openSetUp();
        QCOMPARE(again.textBox("TextSagd")->text(), QStringLiteral("2"));
        again.textBox("TextSagd")->clear();
        Bench::accept(again);
        QCOMPARE(b.read("RunOptions.dat"), QByteArray("seed = 42\r\n"));
        QVERIFY(again.button("Command6")->isEnabled());
    }

    // The map's target box beside the sAGD's: empty by default, its own line,
    // both kept together, and the other lines of the file as they were.
    void setUpMapTargetGoesToTheRunOptions() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        QVERIFY(s.textBox("TextMapSigma")->text().isEmpty());
        QVERIFY(!s.textBox("TextMapSigma")->toolTip().isEmpty());
        Bench::type(s.textBox("TextMapSigma"), QStringLiteral("1"));
        Bench::accept(s);
        QVERIFY(b.messages.entries.empty());
        QCOMPARE(b.read("RunOptions.dat"), QByteArray("map_sigma_percent = 1\r\n"));
        Bench::type(s.textBox("TextSagd"), QStringLiteral("0.25"));
        Bench::accept(s);
        QCOMPARE(b.read("RunOptions.dat"),
                 QByteArray("sagd_sigma_percent = 0.25\r\nmap_sigma_percent = 1\r\n"));
        b.write(QStringLiteral("RunOptions.dat"), "maps = no\r\nmap_sigma_percent = 2.5\r\n");
        s.hide();
        SetUpScreen& again = b.openSetUp();
        QCOMPARE(again.textBox("TextMapSigma")->text(), QStringLiteral("2.5"));
        QVERIFY(again.textBox("TextSagd")->text().isEmpty());
        again.textBox("TextMapSigma")->clear();
        Bench::accept(again);
        QCOMPARE(b.read("RunOptions.dat"), QByteArray("maps = no\r\n"));
    }

    void setUpTargetRefusesWhatIsNoPercentage_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        for (const char* box : {"TextSagd", "TextMapSigma"})
            for (const char* t : {"abc", "0", "-1", "150", "inf", "1e999", "0.5%"})
                QTest::newRow(qPrintable(QString::fromLatin1(box) + " " + QString::fromLatin1(t)))
                    << QString::fromLatin1(box) << QString::fromLatin1(t);
    }
    void setUpTargetRefusesWhatIsNoPercentage() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::type(s.textBox(box.toStdString()), typed);
        Bench::accept(s);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(b.messages.entries[0].text.contains(typed));
        QVERIFY(!b.exists(QStringLiteral("MC.dat")));
        QVERIFY(!b.exists(QStringLiteral("RunOptions.dat")));
        QVERIFY(!s.button("Command6")->isEnabled());
    }

    void setUpUnusableRunOptionsWriteNothing_data() {
        QTest::addColumn<QByteArray>("content"); // empty: a folder in the file's place
        QTest::newRow("folder") << QByteArray();
        QTest::newRow("no name = value") << QByteArray("just words\r\n");
    }
    void setUpUnusableRunOptionsWriteNothing() {
        QFETCH(QByteArray, content);
        Bench b;
        if (content.isEmpty())
            QVERIFY(QDir(b.dir.path()).mkdir(QStringLiteral("RunOptions.dat")));
        else
            b.write(QStringLiteral("RunOptions.dat"), content);
        SetUpScreen& s = b.openSetUp();
        Bench::type(s.textBox("TextSagd"), QStringLiteral("1"));
        Bench::accept(s);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(b.messages.entries[0].text.contains(QStringLiteral("RunOptions.dat")));
        QVERIFY(!b.exists(QStringLiteral("MC.dat")));
        QCOMPARE(b.read("equipment.dat"), kRecord);
        if (!content.isEmpty()) QCOMPARE(b.read("RunOptions.dat"), content);
    }

    // --- Form4: the paddle and support of Geometry.dat ------------------------

    void platesDialogRoundTripsGeometryDat() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        auto* action = s.findChild<QAction*>(QStringLiteral("PlatesAction"));
        QVERIFY(action);
        QCOMPARE(s.contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(action->text(), q(kv::texts::setUpTexts().plates));
        action->trigger();
        auto* d = qobject_cast<PlatesDialog*>(s.platesDialog());
        QVERIFY(d && d->isVisible());
        // No file yet: the usual plates.
        QCOMPARE(d->textBox("Text1")->text(), QStringLiteral("1.5"));
        QCOMPARE(d->comboBox("Combo1")->currentIndex(), 0);
        QCOMPARE(d->textBox("Text2")->text(), QStringLiteral("2"));
        QCOMPARE(d->comboBox("Combo2")->currentIndex(), 1);
        d->textBox("Text1")->setText(QStringLiteral("3"));
        d->comboBox("Combo1")->setCurrentIndex(1);
        d->textBox("Text2")->setText(QStringLiteral(" 0 "));
        d->comboBox("Combo2")->setCurrentIndex(0);
        QTest::mouseClick(d->button("Command1"), Qt::LeftButton);
        QVERIFY(b.messages.entries.empty());
        QVERIFY(!d->isVisible());
        QCOMPARE(b.read("Geometry.dat"),
                 QByteArray("paddle_mm = 3\r\npaddle_material = pmma\r\nsupport_mm = 0\r\nsupport_material = "
                            "polycarbonate\r\n"));
        // Opened again it shows what the file says.
        action->trigger();
        QCOMPARE(d->textBox("Text1")->text(), QStringLiteral("3"));
        QCOMPARE(d->comboBox("Combo1")->currentIndex(), 1);
        QCOMPARE(d->textBox("Text2")->text(), QStringLiteral("0"));
        QCOMPARE(d->comboBox("Combo2")->currentIndex(), 0);
    }

    // With tomosynthesis chosen, the row under the angular range names the scan of
    // Geometry.dat as it is then; with mammography it is empty; a file that cannot be
    // read says so there, and no message box interrupts the choice.
    void setUpShowsTheScanOfGeometryDat() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        const auto& t = kv::texts::setUpTexts();
        QLabel* scan = s.label("LabelScan");
        QCOMPARE(scan->text(), QString());
        const struct {
            const char* geometry; // empty: no file
            std::string expected;
        } rows[] = {
            {"", kv::fillIn(t.scanContinuous.str(), {{"{axis}", t.scanAxisAtFad.view()}})},
            {"projections = 15\r\nrotation_axis_cm = 0\r\n",
             kv::fillIn(t.scanSteps.str(),
                        {{"{n}", "15"},
                         {"{loading}", t.scanLoadingEqual.view()},
                         {"{axis}", kv::fillIn(t.scanAxisAbove.str(), {{"{cm}", "0.0"}})}})},
            {"projection_angle = 20\r\n",
             kv::fillIn(t.scanSingle.str(), {{"{angle}", "20.0"}, {"{axis}", t.scanAxisAtFad.view()}})},
        };
        for (const auto& row : rows) {
            if (*row.geometry) b.write("Geometry.dat", row.geometry);
            s.option("Option1")->click();
            QCOMPARE(scan->text(), QString());
            s.option("Option2")->click();
            QCOMPARE(scan->toolTip().section(QLatin1Char('\n'), 0, 0), QString::fromStdString(row.expected));
            QVERIFY(scan->fontMetrics().horizontalAdvance(scan->text()) <= scan->width());
        }
        b.write("Geometry.dat", "projections = 1\r\n");
        s.option("Option1")->click();
        s.option("Option2")->click();
        QVERIFY(scan->toolTip().contains(QStringLiteral("Geometry.dat")));
        QVERIFY(scan->toolTip().contains(QStringLiteral("projections")));
        QVERIFY(b.messages.entries.empty());
    }

    // Our additions to Form4 show their words whole in either edition: the sAGD target's label
    // keeps clear of the file-name note, and each material name fits its box.
    void additionsShowTheirTextsWhole() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        const QLabel* target = s.label("LabelSagd");
        const QLabel* note = s.label("Label7");
        QVERIFY2(target->x() >= note->x() + note->width() + 4,
                 qPrintable(QStringLiteral("%1 vs %2").arg(target->x()).arg(note->x() + note->width())));
        QVERIFY(target->width() >= target->fontMetrics().horizontalAdvance(target->text()));
        QVERIFY(target->x() + target->width() <= s.clientSize().width());
        s.findChild<QAction*>(QStringLiteral("PlatesAction"))->trigger();
        auto* d = qobject_cast<PlatesDialog*>(s.platesDialog());
        QVERIFY(d);
        for (const char* name : {"Combo1", "Combo2"}) {
            const QComboBox* combo = d->comboBox(name);
            // A box that takes its width from its items: the width each of them needs.
            QComboBox probe;
            probe.setFont(combo->font());
            for (int i = 0; i < combo->count(); ++i)
                probe.addItem(combo->itemText(i));
            probe.setSizeAdjustPolicy(QComboBox::AdjustToContents);
            QVERIFY2(combo->width() >= probe.sizeHint().width(),
                     qPrintable(QStringLiteral("%1 < %2").arg(combo->width()).arg(probe.sizeHint().width())));
            QVERIFY(combo->x() + combo->width() <= d->clientSize().width());
        }
    }

    void targetsKeepClearOfTheScreensOwnControls() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        // What a control takes on the form: a label its text, anything else its box.
        auto takes = [](const QWidget* w) {
            QRect r = w->geometry();
            if (auto* l = qobject_cast<const QLabel*>(w))
                r.setWidth(std::min(r.width(), l->fontMetrics().horizontalAdvance(l->text())));
            return r;
        };
        const QStringList ours = {QStringLiteral("LabelMapSigma"),
                                  QStringLiteral("TextMapSigma"),
                                  QStringLiteral("LabelMapSigmaPercent"),
                                  QStringLiteral("LabelSagd"),
                                  QStringLiteral("TextSagd"),
                                  QStringLiteral("LabelSagdPercent")};
        QWidget* client = s.label("Label25")->parentWidget();
        for (const QString& name : ours) {
            const auto* mine = client->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
            QVERIFY2(mine, qPrintable(name));
            QVERIFY(mine->x() + mine->width() <= s.clientSize().width());
            for (const QWidget* other : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (other->objectName().isEmpty() || ours.contains(other->objectName()) || other->isHidden())
                    continue;
                const QRect a = takes(mine), o = takes(other);
                QVERIFY2(!a.adjusted(-4, -1, 4, 1).intersects(o),
                         qPrintable(QStringLiteral("%1 (%2,%3 %4x%5) runs into %6 (%7,%8 %9x%10)")
                                        .arg(name)
                                        .arg(a.x())
                                        .arg(a.y())
                                        .arg(a.width())
                                        .arg(a.height())
                                        .arg(other->objectName())
                                        .arg(o.x())
                                        .arg(o.y())
                                        .arg(o.width())
                                        .arg(o.height())));
            }
        }
    }

    void platesDialogRefusals() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        // A refused file is told with its line; the usual plates are offered instead.
        b.write("Geometry.dat", "paddle_mm = 2\r\nlid_mm = 1\r\n");
        s.findChild<QAction*>(QStringLiteral("PlatesAction"))->trigger();
        auto* d = qobject_cast<PlatesDialog*>(s.platesDialog());
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(b.messages.entries[0].text.contains(QStringLiteral("Geometry.dat")));
        QVERIFY(b.messages.entries[0].text.contains(QStringLiteral("2")));
        QCOMPARE(d->textBox("Text1")->text(), QStringLiteral("1.5"));
        // Thicknesses outside 0..10 mm or not numbers write nothing.
        for (const char* bad : {"10.5", "-1", "thick", "", "inf", "nan", "1,5", "1.5mm"}) {
            b.messages.entries.clear();
            d->textBox("Text1")->setText(QString::fromLatin1(bad));
            QTest::mouseClick(d->button("Command1"), Qt::LeftButton);
            QCOMPARE(b.messages.entries.size(), size_t(1));
            QVERIFY(b.messages.entries[0].detail.contains(QString::fromLatin1(bad)));
            QVERIFY(d->isVisible());
            QCOMPARE(b.read("Geometry.dat"), QByteArray("paddle_mm = 2\r\nlid_mm = 1\r\n"));
        }
        // A folder where the file belongs cannot be written: told, and the folder stays.
        QVERIFY(QFile::remove(b.dir.filePath(QStringLiteral("Geometry.dat"))));
        QVERIFY(QDir(b.dir.path()).mkdir(QStringLiteral("Geometry.dat")));
        b.messages.entries.clear();
        d->textBox("Text1")->setText(QStringLiteral("2"));
        QTest::mouseClick(d->button("Command1"), Qt::LeftButton);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(b.messages.entries[0].text.contains(QStringLiteral("Geometry.dat")));
        QVERIFY(QFileInfo(b.dir.filePath(QStringLiteral("Geometry.dat"))).isDir());
        // Cancel writes nothing.
        QTest::mouseClick(d->button("Command2"), Qt::LeftButton);
        QVERIFY(!d->isVisible());
    }

    // --- Form4: leaving -----------------------------------------------------

    void setUpStartsTheEngine_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("engine");
        QTest::newRow("mammography") << "Option1"
                                     << "halvex";
        QTest::newRow("tomosynthesis") << "Option2"
                                       << "tiravex";
    }
    void setUpStartsTheEngine() {
        QFETCH(QString, method);
        QFETCH(QString, engine);
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::click(s.option(method.toStdString()));
        Bench::accept(s);
        const size_t spectrumStarts = b.starts.started.size();
        const auto all = QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot;
        QStringList files = QDir(b.dir.path()).entryList(all);
        Bench::click(s.button("Command6"));
        // The folder's write probe leaves nothing; the engine learns the edition from Edition.dat.
        files << QStringLiteral("Edition.dat");
        files.sort(Qt::CaseInsensitive);
        QCOMPARE(QDir(b.dir.path()).entryList(all), files);
        QCOMPARE(b.read(QStringLiteral("Edition.dat")),
                 ::japanese() ? QByteArray("edition = ja\r\n") : QByteArray("edition = en\r\n"));
        QCOMPARE(b.starts.started.size(), spectrumStarts + 1);
        QCOMPARE(b.starts.started.back(), engine);
        QCOMPARE(b.beeps.count, 1);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QCOMPARE(b.messages.entries[0].text, q(kv::texts::setUpTexts().continueNext));
        QCOMPARE(b.messages.entries[0].icon, MessageIcon::None);
        QVERIFY(!s.isVisible());
        QVERIFY(b.menu().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::AwaitingPhantom);
        QVERIFY(!b.menu().button("Command2")->isEnabled());
        QVERIFY(!b.menu().button("Command5")->isEnabled());
        QVERIFY(b.exists(QStringLiteral("MC.dat")));
    }

    void setUpStartsOnlyOnce() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::accept(s);
        const size_t before = b.starts.started.size();
        Bench::click(s.button("Command6"));
        s.show(); // a second press queued behind the first
        Bench::click(s.button("Command6"));
        QCOMPARE(b.starts.started.size(), before + 1);
        QCOMPARE(b.messages.entries.size(), size_t(1));
    }

    void setUpStartRefusesFieldsChangedAfterOk_data() {
        QTest::addColumn<QString>("box"); // "" : the exposure method
        QTest::newRow("FID") << "Text3";
        QTest::newRow("histories") << "Text11";
        QTest::newRow("file name") << "Text12";
        QTest::newRow("method") << "";
    }
    void setUpStartRefusesFieldsChangedAfterOk() {
        QFETCH(QString, box);
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::accept(s);
        const QByteArray mc = b.read("MC.dat");
        if (box.isEmpty())
            Bench::click(s.option("Option2"));
        else
            Bench::type(s.textBox(box.toStdString()), QStringLiteral("77"));
        const size_t before = b.starts.started.size();
        Bench::click(s.button("Command6"));
        QCOMPARE(b.starts.started.size(), before);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QCOMPARE(b.messages.entries[0].text, q(kv::texts::setUpTexts().changedSinceOk));
        QVERIFY(s.isVisible());
        QCOMPARE(b.read("MC.dat"), mc);
        // A new OK takes the edit, and then Start goes.
        Bench::click(s.button("Command5"));
        Bench::click(s.button("Command6"));
        QCOMPARE(b.starts.started.size(), before + 1);
    }

    void setUpEngineThatCannotStart() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::accept(s);
        const QByteArray mc = b.read("MC.dat");
        b.starts.succeeds = false;
        Bench::click(s.button("Command6"));
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY(b.messages.entries[0].text.contains(QStringLiteral("halvex")));
        QCOMPARE(b.beeps.count, 0);
        QVERIFY(s.isVisible());
        QVERIFY(s.button("Command6")->isEnabled());
        QVERIFY(!b.menu().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::ReadyToSimulate);
        QCOMPARE(b.read("MC.dat"), mc);
    }

    // Start runs the engine's own check on the files OK wrote and shows its
    // words; once the fault is mended, the same screen starts the engine.
    void setUpStartRefusesWhatTheEngineRefuses_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("words"); // in the engine's message, in the edition's words
        const bool ja = ::japanese();
        QTest::newRow("no spectrum file") << "no spectrum" << QStringList{"P_SPCTL.dat"};
        QTest::newRow("shares sum to zero")
            << "zero shares"
            << QStringList{"P_SPCTL.dat", ja ? "1 keV を超える光子がありません" : "no photons above 1 keV"};
        QTest::newRow("negative share")
            << "negative share" << QStringList{"P_SPCTL.dat", ja ? "使えない値" : "negative"};
        QTest::newRow("phantom too small")
            << "small phantom"
            << QStringList{"Phantom.dat", "4 x 4 cm", ja ? "基準領域" : "reference region"};
        QTest::newRow("composition missing") << "no composition" << QStringList{"BR12-50.dat"};
        // A distance OK takes as a number that leaves no room for the breast.
        QTest::newRow("FID too short") << "FID 8" << QStringList{"MC.dat", ja ? "FID 8 cm" : "FID of 8"};
        QTest::newRow("FAD beyond the FID")
            << "FAD 70" << QStringList{"MC.dat", ja ? "FAD 70 cm" : "FAD of 70 cm"};
        // An MC.dat not written by "OK": a count that is not whole.
        QTest::newRow("histories not whole")
            << "histories 1.5" << QStringList{"MC.dat", ja ? "整数ではありません" : "whole number"};
    }
    void setUpStartRefusesWhatTheEngineRefuses() {
        QFETCH(QString, fault);
        QFETCH(QStringList, words);
        Bench b;
        SetUpScreen& s = b.openSetUp();
        const QString good = QString::fromLatin1(b.read(QStringLiteral("Phantom.dat")));
        QString box, typed;
        QByteArray control; // an MC.dat put in place after "OK"
        if (fault == "no spectrum")
            QFile::remove(b.path(QStringLiteral("P_SPCTL.dat")));
        else if (fault == "zero shares")
            b.completeRunFolder(0.0);
        else if (fault == "negative share")
            b.completeRunFolder(-1e-3);
        else if (fault == "small phantom")
            b.write(QStringLiteral("Phantom.dat"), "50\r\nBR12-50.dat\r\n4.0\r\n4.0\r\n5.0\r\n");
        else if (fault == "no composition")
            QFile::remove(b.path(QStringLiteral("BR12-50.dat")));
        else if (fault == "FID 8")
            box = "Text3", typed = "8";
        else if (fault == "FAD 70")
            box = "Text4", typed = "70";
        else if (fault == "histories 1.5")
            control =
                "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n1.5E+00\r\ncase1.vesk\r\nUnit A\r\n";
        else
            QFAIL("unknown fault");
        const QString before = box.isEmpty() ? QString() : s.textBox(box.toStdString())->text();
        if (!box.isEmpty()) Bench::type(s.textBox(box.toStdString()), typed);
        Bench::accept(s);
        QVERIFY(s.button("Command6")->isEnabled()); // OK took the numbers
        if (!control.isEmpty()) b.write(QStringLiteral("MC.dat"), control);
        const size_t starts = b.starts.started.size();
        Bench::click(s.button("Command6"));
        QCOMPARE(b.starts.started.size(), starts);
        QCOMPARE(b.beeps.count, 0);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        const QString message = b.messages.entries[0].text;
        QVERIFY2(
            message.startsWith(q(kv::texts::setUpTexts().engineRefuses).section(QStringLiteral("%1"), 0, 0)),
            qPrintable(message));
        for (const QString& w : words)
            QVERIFY2(message.contains(w), qPrintable(message));
        QVERIFY(s.isVisible());
        QVERIFY(!b.menu().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::ReadyToSimulate);
        QVERIFY(s.button("Command6")->isEnabled());

        // Mended, Start goes: the check reads the files as they are now.
        b.completeRunFolder();
        b.write(QStringLiteral("Phantom.dat"), good.toLatin1());
        if (!box.isEmpty()) Bench::type(s.textBox(box.toStdString()), before);
        if (!box.isEmpty() || !control.isEmpty()) Bench::click(s.button("Command5"));
        Bench::click(s.button("Command6"));
        QCOMPARE(b.starts.started.size(), starts + 1);
        QCOMPARE(b.messages.entries.size(), size_t(2));
        QCOMPARE(b.messages.entries[1].text, q(kv::texts::setUpTexts().continueNext));
    }

    // The engine would refuse at once a folder it cannot write its result in.
    void setUpStartRefusesAFolderThatCannotBeWritten() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::accept(s);
        // The superuser writes through permissions: the folder is made immutable instead.
        const QByteArray p = "'" + QFile::encodeName(b.dir.path()) + "'";
        const bool root = ::geteuid() == 0;
        const QByteArray lock = root ? "chattr +i " + p + " 2>/dev/null" : "chmod 555 " + p;
        const QByteArray unlock = root ? "chattr -i " + p + " 2>/dev/null" : "chmod 755 " + p;
        if (std::system(lock.constData()) != 0) QSKIP("this file system cannot lock a folder");
        struct Unlock {
            QByteArray command;
            ~Unlock() { (void)std::system(command.constData()); }
        } unlocked{unlock};
        const size_t starts = b.starts.started.size();
        Bench::click(s.button("Command6"));
        QCOMPARE(b.starts.started.size(), starts);
        QCOMPARE(b.messages.entries.size(), size_t(1));
        QVERIFY2(b.messages.entries[0].text.contains(::japanese()
                                                         ? QStringLiteral("case1.vesk：作業フォルダ")
                                                         : QStringLiteral("case1.vesk: cannot be written")),
                 qPrintable(b.messages.entries[0].text));
        QVERIFY(s.isVisible());
        QVERIFY(s.button("Command6")->isEnabled());
    }

    void setUpCancelAndGeometry() {
        Bench b;
        SetUpScreen& s = b.openSetUp();
        Bench::click(s.button("Command1"));
        auto& geometry = b.wb->airKerma();
        QVERIFY(geometry.isVisible());
        QVERIFY(s.isVisible());
        Bench::type(s.textBox("Text12"), QStringLiteral("case1"));
        Bench::click(s.button("Command4"));
        QVERIFY(!s.isVisible());
        QVERIFY(b.menu().isVisible());
        QCOMPARE(b.wb->state(), WorkflowState::ReadyToSimulate);
        QVERIFY(!b.exists(QStringLiteral("MC.dat")));
        QCOMPARE(b.read("equipment.dat"), kRecord);
        QVERIFY(b.starts.started.size() == 1); // the spectrum tool only
    }
};

QTEST_MAIN(SetUpScreensTest)
#include "test_setup_screens.moc"
