// kv-case and the screens given the same entries write the same files, byte
// for byte, in the edition the test is built in.
#include "case_tool.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/workbench/shell/menu_screen.h"
#include "kv/workbench/shell/phantom_screen.h"
#include "kv/workbench/shell/plates_dialog.h"
#include "kv/workbench/shell/setup_screen.h"
#include "kv/workbench/shell/workbench.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <sstream>

using namespace kv::shell;

namespace {

struct Entries {
    QString thickness = "5", fraction = "50";
    QString histories = "1000000000", name = "case1";
    QString equipment, fid, fad, range; // empty: as the screen opens
    QString otherFcd;                   // empty: the FAD
    QString sagdTarget, mapTarget;      // empty: as the screen opens
    QString paddleMm;                   // empty: the plates dialog is not used
    bool paddlePmma = false;
};

const QByteArray kRecord = "Unit A\r\n65\r\n60\r\n7.5\r\n10.26\r\n-2.5\r\n";
const QByteArray kRunOptions = "seed = 7\r\nmap_sigma_percent = 2\r\n";
const QByteArray kGeometry = "model = protocol\r\nadipose_mm = 4\r\n";
const char* const kFiles[] = {"Phantom.dat", "MC.dat", "equipment.dat", "RunOptions.dat", "Geometry.dat"};

void prepare(const QString& dir) {
    for (auto [name, bytes] : {std::pair{"equipment.dat", kRecord}, std::pair{"RunOptions.dat", kRunOptions},
                               std::pair{"Geometry.dat", kGeometry}}) {
        QFile f(QDir(dir).filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
}

QByteArray read(const QString& dir, const char* name) {
    QFile f(QDir(dir).filePath(QString::fromLatin1(name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

QString said(const kv::gui::MessageRecorder& m) {
    return m.entries.empty() ? QString() : m.entries.front().text + "\n" + m.entries.front().detail;
}

void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

// The entries typed into the phantom screen, the set-up screen and (when
// given) the plates dialog, each closed with its "OK".
void throughTheScreens(const QString& dir, const Entries& e) {
    kv::gui::MessageRecorder messages;
    kv::gui::StartRecorder starts;
    Workbench wb(dir);
    wb.endProgram = [] {};
    wb.menu().show();
    click(wb.menu().button("Command1"));
    PhantomScreen& p = wb.phantom();
    p.textBox("Text31")->setText(e.thickness);
    QListWidget* list = p.listBox("List2");
    list->setCurrentItem(list->findItems(e.fraction, Qt::MatchExactly).front());
    click(p.button("Command3"));
    click(wb.menu().button("Command2"));
    click(wb.menu().button("Command5"));
    SetUpScreen& s = wb.setUp();
    auto set = [&s](const char* box, const QString& v) {
        if (!v.isNull()) s.textBox(box)->setText(v);
    };
    set("Text6", e.equipment);
    set("Text3", e.fid);
    set("Text4", e.fad);
    set("Text5", e.range);
    if (!e.otherFcd.isNull()) {
        s.option("Option5")->setChecked(true);
        s.textBox("Text1")->setText(e.otherFcd);
    }
    set("Text11", e.histories);
    set("Text12", e.name);
    set("TextSagd", e.sagdTarget);
    set("TextMapSigma", e.mapTarget);
    click(s.button("Command5"));
    QVERIFY2(messages.entries.empty(), qPrintable(said(messages)));
    if (e.paddleMm.isNull()) return;
    for (QAction* a : s.actions())
        if (a->objectName() == QStringLiteral("PlatesAction")) a->trigger();
    auto* plates = static_cast<PlatesDialog*>(s.platesDialog());
    plates->textBox("Text1")->setText(e.paddleMm);
    plates->comboBox("Combo1")->setCurrentIndex(e.paddlePmma ? 1 : 0);
    click(plates->button("Command1"));
    QVERIFY2(messages.entries.empty(), qPrintable(said(messages)));
}

std::vector<std::string> options(const QString& dir, const Entries& e) {
    std::vector<std::string> args = {
        "--dir",       dir.toStdString(),         "--edition",   kv::texts::editionSuffix(),
        "--thickness", e.thickness.toStdString(), "--glandular", e.fraction.toStdString()};
    auto add = [&args](const char* option, const QString& v) {
        if (!v.isNull()) args.insert(args.end(), {option, v.toStdString()});
    };
    add("--histories", e.histories);
    add("--name", e.name);
    add("--equipment", e.equipment);
    add("--fid", e.fid);
    add("--fad", e.fad);
    add("--angular-range", e.range);
    add("--fcd", e.otherFcd);
    add("--sagd-sigma", e.sagdTarget);
    add("--map-sigma", e.mapTarget);
    add("--paddle-mm", e.paddleMm);
    if (!e.paddleMm.isNull())
        args.insert(args.end(), {"--paddle-material", e.paddlePmma ? "pmma" : "polycarbonate"});
    return args;
}

} // namespace

Q_DECLARE_METATYPE(Entries)

class CaseMatchesScreensTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk")); }

    void sameEntriesSameFiles_data() {
        QTest::addColumn<Entries>("entries");
        QTest::newRow("the opening entries and a name") << Entries{};
        QTest::newRow("4.26 cm of 20 %, 123456 histories")
            << Entries{.thickness = "4.26", .fraction = "20", .histories = "123456"};
        QTest::newRow("full-width thickness, blanks around the count")
            << Entries{.thickness = "\uFF14\uFF0E\uFF15", .histories = " 2000000 "};
        QTest::newRow("distances as typed, another FCD")
            << Entries{.fid = "66", .fad = "61.50", .range = "25", .otherFcd = "45.5"};
        QTest::newRow("a Japanese equipment name")
            << Entries{.equipment = QString::fromUtf8("乳房撮影装置 ＭＡ－１")};
        QTest::newRow("a name of one blank") << Entries{.name = " "};
        QTest::newRow("targets set and cleared") << Entries{.sagdTarget = "0.50", .mapTarget = ""};
        QTest::newRow("plates of PMMA") << Entries{.paddleMm = "2.5", .paddlePmma = true};
        QTest::newRow("plates, polycarbonate 0 mm") << Entries{.paddleMm = "0"};
    }
    void sameEntriesSameFiles() {
        QFETCH(Entries, entries);
        QTemporaryDir screens, tool;
        prepare(screens.path());
        prepare(tool.path());
        throughTheScreens(screens.path(), entries);
        std::ostringstream out, err;
        QCOMPARE(kv::runcase::runCaseTool(options(tool.path(), entries), out, err), 0);
        for (const char* file : kFiles)
            QVERIFY2(
                read(screens.path(), file) == read(tool.path(), file),
                qPrintable(QStringLiteral("%1 differs:\n%2\n%3")
                               .arg(QString::fromLatin1(file), QString::fromUtf8(read(screens.path(), file)),
                                    QString::fromUtf8(read(tool.path(), file)))));
    }
};

QTEST_MAIN(CaseMatchesScreensTest)
#include "test_case_matches_screens.moc"
