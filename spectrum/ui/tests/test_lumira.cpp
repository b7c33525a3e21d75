// Form2 driven through its controls, in a scratch working directory with the
// shipped data tables.
#include "kv/common/codepage.h"
#include "kv/common/format.h"
#include "kv/formats/spectrum_file.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/spectrum/ui/angle_diagram.h"
#include "kv/spectrum/ui/spectrum_screen.h"
#include "kv/test_support/work_dir.h"
#include "kv/texts/lumira.h"
#include "kv/texts/spectrum_files.h"
#include "kv/texts/text.h"
#include "kv/texts/typed_number.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace kv::gui;
using namespace kv::spectrum;
using namespace kv::formats;
using kv::spectrum::ui::SpectrumScreen;

namespace {

bool japanese() {
    return kv::texts::edition() == kv::texts::Edition::Japanese;
}
const auto& fileTexts() {
    return kv::texts::spectrumFileTexts();
}

const QColor red(255, 0, 0);

// A working directory with the shipped data tables and an equipment record.
class WorkDir {
  public:
    explicit WorkDir(const QByteArray& equipment = "Mammography unit\r\n65\r\n60\r\n7.5\r\n16\r\n6\r\n") {
        for (const char* name : {"MUs12.dat", "Mo-STP.dat"})
            dir_.copyShipped(name);
        if (!equipment.isNull()) write("equipment.dat", equipment);
    }
    const std::filesystem::path& path() const { return dir_.path(); }
    QString file(const char* name) const { return QString::fromStdString(dir_.file(name).string()); }
    void write(const char* name, const QByteArray& bytes) const { dir_.write(name, bytes.toStdString()); }
    void remove(const char* name) const { QFile::remove(file(name)); }
    void copyShipped(const char* name) const { dir_.copyShipped(name); }
    QStringList lines(const char* name) const {
        if (!std::filesystem::exists(dir_.file(name))) return {};
        const std::string text = kv::fromCp932(dir_.read(name));
        QStringList out = qs(text).split(QStringLiteral("\r\n"));
        if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
        return out;
    }

  private:
    kv::test_support::TempDir dir_{"kv-lumira"};
};

struct Started {
    explicit Started(const WorkDir& dir) : screen(std::make_unique<SpectrumScreen>(dir.path())) {
        ok = screen->start();
    }
    std::unique_ptr<SpectrumScreen> screen;
    bool ok = false;
    SpectrumScreen& operator*() { return *screen; }
    SpectrumScreen* operator->() { return screen.get(); }
};

SpectrumFields fields(const char* kv, const char* theta, const char* phi) {
    SpectrumFields f;
    f.tubeVoltage = kv;
    f.targetAngle = theta;
    f.tubeTiltAngle = phi;
    return f;
}

// The screen's words for the first field of `f` it refuses (the model's
// tests check the wording itself).
QString fieldMessage(const SpectrumFields& f) {
    const auto r = refusedField(f);
    return r ? qs(fieldRefusalMessage(*r, fieldName(r->field, fileTexts()), fileTexts(),
                                      kv::texts::typedNumberTexts())
                      .text)
             : QString();
}

void setText(SpectrumScreen& s, const char* field, const QString& text) {
    s.textBox(field)->setText(text);
}
void click(SpectrumScreen& s, const char* name) {
    QTest::mouseClick(s.find<QWidget>(name), Qt::LeftButton);
}

bool anyRed(Canvas& c) {
    const QImage& img = c.image();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == red) return true;
    return false;
}

// Red pixels strictly above the bottom line, in the user-unit band [x1, x2].
bool redAboveBottomLine(Canvas& c, double x1, double x2) {
    for (double x = x1; x <= x2; x += 4)
        for (double y = 100; y <= 2080; y += 2)
            if (c.pixelAt(x, y) == red) return true;
    return false;
}

} // namespace

class LumiraTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { setUpApplication(qs(kv::texts::lumiraTexts().title)); }

    void windowAndStartValues() {
        MessageRecorder messages;
        WorkDir dir("X-ray room 3\r\n65\r\n60\r\n7.5\r\n12\r\n0.5\r\n");
        Started s(dir);
        QVERIFY(s.ok);
        QCOMPARE(s->objectName(), QStringLiteral("Form2"));
        QCOMPARE(s->windowTitle(),
                 japanese() ? QStringLiteral(" Tarnell-Vesk-J") : QStringLiteral(" Tarnell-Vesk-E"));
        QCOMPARE(s->size(), QSize(918, 755));
        const std::pair<const char*, const char*> start[] = {
            {"Text1", "30"}, {"Text5", "12.0"},  {"Text3", "0.5"}, {"Text6", "12.5"}, {"Text8", "0.8"},
            {"Text2", "0"},  {"Text10", "0.03"}, {"Text11", "0"},  {"Text9", "0"},    {"Text4", "60"},
        };
        for (const auto& [field, text] : start)
            QCOMPARE(s->textBox(field)->text(), QString::fromLatin1(text));
        QVERIFY(!s->button("Command7")->isEnabled());
        QVERIFY(s->option("Option1")->isChecked());
        QVERIFY(!s->option("Option2")->isChecked());
        QCOMPARE(s->targetMaterial(), TargetMaterial::Molybdenum);
        QVERIFY(messages.entries.empty());
        // The axes are there before anything is computed: the frame's left edge and a grey grid line.
        Canvas& plot = *s->picture("Picture3");
        QCOMPARE(plot.pixelAt(1000, 1500), QColor(0, 0, 0));
        QCOMPARE(plot.pixelAt(1200, 1500), QColor(128, 128, 128));
        QVERIFY(!anyRed(plot));
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips"); // width 0: only the position is fixed
        QTest::addColumn<QColor>("back"); // invalid: not checked
        auto row = [](const char* n, QRect r, QColor c = {}) { QTest::newRow(n) << QString(n) << r << c; };
        const QColor cyan(192, 255, 255), yellow(255, 255, 192), white(255, 255, 255);
        row("Picture3", {120, 240, 10935, 6375}, white);
        row("Label20", {240, 6840, 4335, 3735}, cyan);
        row("Label21", {4680, 6840, 5055, 3735}, cyan);
        row("Label22", {9840, 6840, 3495, 2055}, cyan);
        row("Label23", {11280, 1920, 2175, 1695}, cyan);
        row("Label24", {11160, 840, 2415, 615}, yellow);
        row("Text1", {11640, 8040, 0, 0});
        row("Text5", {2640, 8160, 0, 0});
        row("Text3", {2640, 8640, 0, 0});
        row("Text6", {2640, 9360, 0, 0});
        row("Text8", {7920, 6960, 0, 0});
        row("Text2", {7920, 7440, 0, 0});
        row("Text10", {7920, 7920, 0, 0});
        row("Text11", {7920, 8520, 0, 0});
        row("Text9", {7920, 9120, 0, 0});
        row("Text4", {7920, 9720, 0, 0});
        row("Frame1", {480, 7080, 0, 0});
        row("Label1", {11520, 960, 0, 0});
        row("Label18", {4800, 6960, 0, 0});
        row("Label19", {5040, 10200, 0, 0});
        row("Label6", {10080, 7080, 0, 0});
        row("Label8", {10080, 8160, 0, 0});
        row("Command1", {9960, 9000, 0, 0}, yellow);
        row("Command7", {9960, 9720, 0, 0}, yellow);
        row("Command3", {9960, 10560, 0, 0}, yellow);
        row("Command4", {11880, 10560, 0, 0}, yellow);
        row("Command2", {1080, 9960, 0, 0}, yellow);
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QColor, back);
        WorkDir dir;
        Started s(dir);
        QWidget* w = s->find<QWidget>(name.toStdString());
        if (twips.width() > 0)
            QCOMPARE(w->geometry(), toPixels(Twips{twips.x(), twips.y(), twips.width(), twips.height()}));
        else
            QCOMPARE(w->pos(), toPixels(twips.x(), twips.y()));
        // Every control lies inside the client area.
        QVERIFY(s->rect().contains(QRect(w->mapTo(s.screen.get(), QPoint(0, 0)), w->size())));
        if (back.isValid()) {
            if (auto* c = qobject_cast<Canvas*>(w))
                QCOMPARE(c->background(), back);
            else
                QCOMPARE(
                    w->palette().color(qobject_cast<QPushButton*>(w) ? QPalette::Button : QPalette::Window),
                    back);
        }
    }

    void captionsOfTheEdition() {
        WorkDir dir;
        Started s(dir);
        const bool ja = japanese();
        auto text = [&](const char* name) -> QString {
            QWidget* w = s->find<QWidget>(name);
            if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
            if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
            return s->frame(name)->title();
        };
        QCOMPARE(text("Command1"), ja ? QStringLiteral("スペクトル描画") : QStringLiteral("Draw spectrum"));
        QCOMPARE(text("Command7"), ja ? QStringLiteral("これで決定") : QStringLiteral("Determine"));
        QCOMPARE(text("Command3"), ja ? QStringLiteral("リセット") : QStringLiteral("Clear"));
        QCOMPARE(text("Command4"), ja ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
        QCOMPARE(text("Command2"),
                 ja ? QStringLiteral("角度 θ, φ の関係図") : QStringLiteral("Angle relation diagram"));
        QCOMPARE(text("Frame1"), ja ? QStringLiteral("ターゲット材質") : QStringLiteral("Target material"));
        QCOMPARE(text("Option2"), ja ? QStringLiteral("タングステン") : QStringLiteral("Tungsten"));
        QCOMPARE(text("Label11"), ja ? QStringLiteral("ターゲット角度(θ)") : QStringLiteral("Target angle"));
        QCOMPARE(text("Label19"), ja ? QStringLiteral("（ここには圧迫板は含めない）")
                                     : QStringLiteral("( Do not include compression paddle )"));
        QCOMPARE(text("Label1"), ja ? QStringLiteral("Tarnell-Vesk-J") : QStringLiteral("Tarnell-Vesk-E"));
        QCOMPARE(s->label("Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        // Labels of the angle group end before their fields.
        for (const char* l : {"Label11", "Label13", "Label15", "Label16"}) {
            QLabel* label = s->label(l);
            QVERIFY2(label->x() + label->fontMetrics().horizontalAdvance(label->text()) <
                         s->textBox("Text5")->x(),
                     l);
        }
    }

    void beamQualityAfterEachDraw() {
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        const auto& t = kv::texts::lumiraTexts();
        const PhysicalData data = LoadPhysicalData(dir.path());
        QVERIFY(s->check("Check1")->isChecked());
        QCOMPARE(s->label("Label42")->text(), QStringLiteral("-"));
        auto expectFigures = [&](const std::optional<Transmission>& through) {
            const BeamQuality q = *beamQuality(s->spectrumTable()[0], data.aluminum, through);
            QCOMPARE(s->label("Label42")->text(), qs(kv::format(q.firstHvl, "0.000") + " mm Al"));
            QCOMPARE(s->label("Label43")->text(), qs(kv::format(q.secondHvl, "0.000") + " mm Al"));
            QCOMPARE(s->label("Label44")->text(), qs(kv::format(q.firstHvl / q.secondHvl, "0.000") + " "));
            QCOMPARE(s->label("Label45")->text(), qs(kv::format(q.meanEnergy, "0.00") + " keV"));
        };
        click(*s, "Command1");
        expectFigures(plateTransmission(PlateMaterial::Polycarbonate, 1.5));
        QCOMPARE(s->label("Label37")->text(), qs(t.qualityWithPaddle));
        const QString first = s->label("Label42")->text();
        // Without the paddle the same spectrum is softer.
        s->check("Check1")->setChecked(false);
        expectFigures(std::nullopt);
        QCOMPARE(s->label("Label37")->text(), qs(t.qualityNoPaddle));
        QVERIFY(kv::parseNumber(s->label("Label42")->text().toStdString()) <
                kv::parseNumber(first.toStdString()));
        // A second draw updates them; Clear blanks them.
        setText(*s, "Text1", QStringLiteral("35"));
        click(*s, "Command1");
        expectFigures(std::nullopt);
        click(*s, "Command3");
        for (const char* l : {"Label42", "Label43", "Label44", "Label45"})
            QCOMPARE(s->label(l)->text(), QStringLiteral("-"));
        // Geometry.dat of the working folder sets the paddle; a fault in it is told at a draw.
        s->check("Check1")->setChecked(true);
        dir.write("Geometry.dat", "paddle_mm = 3\r\npaddle_material = pmma\r\n");
        click(*s, "Command1");
        expectFigures(plateTransmission(PlateMaterial::Pmma, 3));
        QVERIFY(messages.entries.empty());
        dir.write("Geometry.dat", "paddle_mm = 3\r\npaddle_mm = 4\r\n");
        click(*s, "Command1");
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY2(messages.entries[0].text.contains(QStringLiteral("Geometry.dat")),
                 qPrintable(messages.entries[0].text));
        QVERIFY2(messages.entries[0].text.contains(QStringLiteral("2")),
                 qPrintable(messages.entries[0].text));
        QCOMPARE(s->label("Label42")->text(), QStringLiteral("-"));
        QVERIFY(anyRed(*s->picture("Picture3"))); // the spectrum itself is drawn
    }

    void matchingAMeasuredHvl() {
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        setText(*s, "Text1", QStringLiteral("28"));
        setText(*s, "Text12", QStringLiteral("0.36"));
        QString withPaddle;
        for (bool paddle : {true, false}) {
            s->check("Check1")->setChecked(paddle);
            setText(*s, "Text2", QStringLiteral("0"));
            click(*s, "Command8");
            QVERIFY(messages.entries.empty());
            const QString al = s->textBox("Text2")->text();
            QCOMPARE(al.size(), 5); // thousandths of a mm
            QVERIFY(s->button("Command7")->isEnabled());
            QVERIFY(anyRed(*s->picture("Picture3")));
            QVERIFY(std::fabs(kv::parseNumber(s->label("Label42")->text().toStdString()) - 0.36) <= 0.0015);
            if (paddle)
                withPaddle = al;
            else
                QVERIFY(kv::parseNumber(al.toStdString()) > kv::parseNumber(withPaddle.toStdString()));
        }
        // Refusals change nothing.
        click(*s, "Command3");
        s->check("Check1")->setChecked(true);
        setText(*s, "Text2", QStringLiteral("0.1"));
        for (const char* measured : {"0.2", "40", "thick", "-1"}) {
            messages.entries.clear();
            setText(*s, "Text12", QString::fromLatin1(measured));
            click(*s, "Command8");
            QCOMPARE(messages.entries.size(), size_t{1});
            QCOMPARE(s->textBox("Text2")->text(), QStringLiteral("0.1"));
            QVERIFY(!s->button("Command7")->isEnabled());
            QVERIFY(!anyRed(*s->picture("Picture3")));
        }
        setText(*s, "Text12", QStringLiteral("0.2"));
        click(*s, "Command8");
        const std::string below(fileTexts().matchBelowUnfiltered.view());
        QVERIFY(messages.entries.back().text.startsWith(qs(below.substr(0, below.find("{hvl}")))));
    }

    void unusableFileEndsTheTool_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content"); // null: the file is removed
        QTest::newRow("no MUs12.dat") << "MUs12.dat" << QByteArray();
        QTest::newRow("short MUs12.dat") << "MUs12.dat" << QByteArray("heading\r\n0.2, 1, 2, 3\r\n");
        QTest::newRow("no Mo-STP.dat") << "Mo-STP.dat" << QByteArray();
        QTest::newRow("no equipment.dat") << "equipment.dat" << QByteArray();
        QTest::newRow("equipment.dat without angles")
            << "equipment.dat" << QByteArray("Unit\r\n65\r\n60\r\n7.5\r\n");
    }
    void unusableFileEndsTheTool() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        MessageRecorder messages;
        WorkDir dir;
        if (content.isNull())
            dir.remove(file.toLatin1().constData());
        else
            dir.write(file.toLatin1().constData(), content);
        Started s(dir);
        QVERIFY(!s.ok);
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY2(messages.entries[0].text.contains(file), qPrintable(messages.entries[0].text));
        QCOMPARE(messages.entries[0].icon, MessageIcon::Warning);
    }

    void optionsResetTheFilters() {
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        for (const char* f : {"Text8", "Text2", "Text10", "Text11", "Text9"})
            setText(*s, f, QStringLiteral("0.01"));
        setText(*s, "Text4", QStringLiteral("7"));
        setText(*s, "Text1", QStringLiteral("28"));
        click(*s, "Command1"); // 28 kV Mo: accepted
        QVERIFY(messages.entries.empty());
        QVERIFY(s->button("Command7")->isEnabled());

        click(*s, "Option2");
        QCOMPARE(s->targetMaterial(), TargetMaterial::Tungsten);
        const std::pair<const char*, const char*> tungsten[] = {
            {"Text8", "0.8"},  {"Text2", "0"}, {"Text10", "0"}, {"Text11", "0.025"},
            {"Text9", "0.01"}, {"Text4", "7"}, {"Text1", "28"}};
        for (const auto& [f, t] : tungsten)
            QCOMPARE(s->textBox(f)->text(), QString::fromLatin1(t));
        QVERIFY(s->button("Command7")->isEnabled());

        click(*s, "Option1");
        QCOMPARE(s->targetMaterial(), TargetMaterial::Molybdenum);
        const std::pair<const char*, const char*> molybdenum[] = {
            {"Text8", "0.8"}, {"Text2", "0"}, {"Text10", "0.03"}, {"Text11", "0"}, {"Text9", "0.01"}};
        for (const auto& [f, t] : molybdenum)
            QCOMPARE(s->textBox(f)->text(), QString::fromLatin1(t));
        QVERIFY(s->button("Command7")->isEnabled());
    }

    void rhodiumOptionBesideTheTwo() {
        MessageRecorder messages;
        WorkDir dir;
        dir.copyShipped(kRhodiumStoppingPowerFileName);
        Started s(dir);
        QRadioButton* rh = s->option("Option3");
        QCOMPARE(rh->text(), QStringLiteral("Rh"));
        // In the frame's free space: inside it, right of the two the screen had, over neither.
        QCOMPARE(rh->parentWidget(), s->find<QWidget>("Frame1"));
        QVERIFY(rh->parentWidget()->rect().contains(rh->geometry()));
        for (const char* other : {"Option1", "Option2"}) {
            QVERIFY(!s->option(other)->geometry().intersects(rh->geometry()));
            QVERIFY(s->option(other)->sizeHint().width() <= s->option(other)->width());
        }
        QVERIFY(rh->sizeHint().width() <= rh->width());
        QVERIFY(!rh->isChecked());

        setText(*s, "Text9", QStringLiteral("0.01"));
        setText(*s, "Text4", QStringLiteral("65"));
        setText(*s, "Text1", QStringLiteral("28"));
        click(*s, "Option3");
        QCOMPARE(s->targetMaterial(), TargetMaterial::Rhodium);
        QVERIFY(!s->option("Option1")->isChecked());
        QVERIFY(!s->option("Option2")->isChecked());
        const std::pair<const char*, const char*> rhodium[] = {{"Text8", "0"},    {"Text2", "0"},
                                                               {"Text10", "0"},   {"Text11", "0.025"},
                                                               {"Text9", "0.01"}, {"Text4", "65"}};
        for (const auto& [f, t] : rhodium)
            QCOMPARE(s->textBox(f)->text(), QString::fromLatin1(t));

        click(*s, "Command1");
        QVERIFY(messages.entries.empty());
        QVERIFY(anyRed(*s->picture("Picture3")));
        SpectrumFields shown{"28", "16.0", "6.0", "0", "0", "0", "0.025", "0.01", "65"};
        QVERIFY(s->spectrumTable() ==
                computeSpectrum(TargetMaterial::Rhodium, LoadPhysicalData(dir.path()), shown).table);
        click(*s, "Command7");
        const QStringList spectrum = dir.lines("P_SPCTL.dat");
        QCOMPARE(spectrum.size(), 260);
        QCOMPARE(spectrum[0],
                 japanese() ? QStringLiteral("ロジウムターゲット") : QStringLiteral("Rhodium target"));
        QCOMPARE(readSpectrumFile(dir.path()).target, TargetMaterial::Rhodium);
    }

    void rhodiumWithoutItsDataLeavesTheOthersDrawing() {
        MessageRecorder messages;
        WorkDir dir; // MUs12.dat and Mo-STP.dat only
        Started s(dir);
        QVERIFY(s.ok);
        click(*s, "Option3");
        click(*s, "Command1");
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(messages.entries[0].text.contains(QLatin1String(kRhodiumStoppingPowerFileName)));
        QVERIFY(!s->button("Command7")->isEnabled());
        QVERIFY(!anyRed(*s->picture("Picture3")));
        click(*s, "Option2");
        click(*s, "Command1");
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(s->button("Command7")->isEnabled());
    }

    void apparentAngle_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("then"); // a key, 0: the focus leaves, -1: nothing more
        QTest::addColumn<QString>("text6");
        QTest::newRow("Enter in Text5") << "Text5"
                                        << "16.5" << int(Qt::Key_Return) << "22.5";
        QTest::newRow("keypad Enter in Text3") << "Text3"
                                               << "4" << int(Qt::Key_Enter) << "20";
        QTest::newRow("focus leaves Text5") << "Text5"
                                            << "10" << 0 << "16";
        QTest::newRow("focus leaves Text3") << "Text3"
                                            << "0.25" << 0 << "16.25";
        QTest::newRow("not a number gives no sum") << "Text5"
                                                   << "abc" << int(Qt::Key_Return) << "";
        QTest::newRow("a decimal comma gives no sum") << "Text3"
                                                      << "4,5" << 0 << "";
        QTest::newRow("full-width digits are read") << "Text5"
                                                    << "\uFF11\uFF16\uFF0E\uFF15" << 0 << "22.5";
        QTest::newRow("typing alone leaves it") << "Text5"
                                                << "20 " << -1 << "22.0";
    }
    void apparentAngle() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, then);
        QFETCH(QString, text6);
        WorkDir dir; // 16 and 6
        Started s(dir);
        s->show();
        QVERIFY(QTest::qWaitForWindowActive(s.screen.get()));
        QLineEdit* edit = s->textBox(field.toStdString());
        edit->setFocus();
        edit->selectAll();
        // QTest types ASCII keys only; an input method hands over whole text.
        bool ascii = true;
        for (QChar c : typed)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            QTest::keyClicks(edit, typed);
        else
            edit->insert(typed);
        if (then > 0) {
            QTest::keyClick(edit, Qt::Key(then));
            QCOMPARE(edit->text(), typed); // the key goes on to the field, which keeps its text
        } else if (then == 0) {
            s->textBox("Text4")->setFocus();
        }
        QCOMPARE(s->textBox("Text6")->text(), text6);
    }

    void typingThenDrawUpdatesText6() {
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        s->show();
        QVERIFY(QTest::qWaitForWindowActive(s.screen.get()));
        QLineEdit* t5 = s->textBox("Text5");
        t5->setFocus();
        t5->selectAll();
        QTest::keyClicks(t5, QStringLiteral("18"));
        QCOMPARE(s->textBox("Text6")->text(), QStringLiteral("22.0"));
        click(*s, "Command1");
        QCOMPARE(s->textBox("Text6")->text(), QStringLiteral("24"));
        QVERIFY(messages.entries.empty());
        QVERIFY(s->button("Command7")->isEnabled());
    }

    void drawChecks_data() {
        QTest::addColumn<bool>("tungsten");
        QTest::addColumn<QString>("voltage");
        QTest::addColumn<QString>("targetAngle");
        QTest::addColumn<QString>("tilt");
        QTest::addColumn<QString>("message"); // empty: accepted
        const QString tooHigh = qs(fileTexts().tubeVoltageTooHigh);
        const QString cannotCover = qs(fileTexts().angleCannotCoverField);
        QTest::newRow("Mo 50 kV") << false << "50"
                                  << "16"
                                  << "6"
                                  << "";
        QTest::newRow("Mo 50.1 kV") << false << "50.1"
                                    << "16"
                                    << "6" << tooHigh;
        QTest::newRow("W 50 kV") << true << "50"
                                 << "16"
                                 << "6"
                                 << "";
        QTest::newRow("W 50.1 kV") << true << "50.1"
                                   << "16"
                                   << "6" << tooHigh;
        // Tungsten below the model's range is drawn at 15 kV (tungstenBelow15kVDrawsAt15); at 0 it is
        // refused.
        QTest::newRow("W 15 kV") << true << "15"
                                 << "16"
                                 << "6"
                                 << "";
        QTest::newRow("W 0 kV") << true << "0"
                                << "16"
                                << "6" << fieldMessage(fields("0", "16", "6"));
        QTest::newRow("Mo 14.9 kV") << false << "14.9"
                                    << "16"
                                    << "6" << fieldMessage(fields("14.9", "16", "6"));
        QTest::newRow("voltage checked before angles") << false << "60"
                                                       << "10"
                                                       << "0" << tooHigh;
        QTest::newRow("θ + φ = 20.3") << false << "30"
                                      << "14.3"
                                      << "6" << cannotCover;
        QTest::newRow("θ + φ = 20.31") << false << "30"
                                       << "14.31"
                                       << "6"
                                       << "";
        QTest::newRow("W θ + φ = 20.3") << true << "30"
                                        << "20.3"
                                        << "0" << cannotCover;
        QTest::newRow("tilt out of range") << false << "30"
                                           << "16"
                                           << "50" << fieldMessage(fields("30", "16", "50"));
        QTest::newRow("target angle 90") << false << "30"
                                         << "90"
                                         << "6" << fieldMessage(fields("30", "90", "6"));
        QTest::newRow("Mo 1 kV") << false << "1"
                                 << "16"
                                 << "6" << fieldMessage(fields("1", "16", "6"));
        QTest::newRow("kV with a decimal comma") << true << "28,5"
                                                 << "16"
                                                 << "6" << fieldMessage(fields("28,5", "16", "6"));
    }
    void drawChecks() {
        QFETCH(bool, tungsten);
        QFETCH(QString, voltage);
        QFETCH(QString, targetAngle);
        QFETCH(QString, tilt);
        QFETCH(QString, message);
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        if (tungsten) click(*s, "Option2");
        setText(*s, "Text1", voltage);
        setText(*s, "Text5", targetAngle);
        setText(*s, "Text3", tilt);
        click(*s, "Command1");
        if (message.isEmpty()) {
            QVERIFY(messages.entries.empty());
            QVERIFY(s->button("Command7")->isEnabled());
            QVERIFY(anyRed(*s->picture("Picture3")));
        } else {
            QCOMPARE(messages.entries.size(), size_t{1});
            QCOMPARE(messages.entries[0].text, message);
            QCOMPARE(messages.entries[0].icon, MessageIcon::Warning);
            QVERIFY(!s->button("Command7")->isEnabled());
            QVERIFY(!anyRed(*s->picture("Picture3")));
        }
    }

    void refusalKeepsAnEarlierResult() {
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        click(*s, "Command1");
        QVERIFY(s->button("Command7")->isEnabled());
        const SpectrumTable before = s->spectrumTable();
        setText(*s, "Text1", QStringLiteral("55"));
        click(*s, "Command1");
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(s->button("Command7")->isEnabled());
        QVERIFY(s->spectrumTable() == before);
        QVERIFY(anyRed(*s->picture("Picture3"))); // the earlier curve stays
    }

    void tungstenBelow15kVDrawsAt15() {
        for (const QString typed : {QStringLiteral("10"), QStringLiteral("14.9"), QStringLiteral("１０")}) {
            MessageRecorder messages;
            WorkDir dir;
            Started s(dir);
            click(*s, "Option2");
            setText(*s, "Text1", typed);
            click(*s, "Command1");
            QVERIFY2(messages.entries.empty(), qPrintable(typed));
            QCOMPARE(s->textBox("Text1")->text(), QStringLiteral("15"));
            QVERIFY(s->button("Command7")->isEnabled());
            // 15 kV: bins up to 75 (15 keV, x 2510) carry photons, 10 kV would stop at x 2010.
            Canvas& plot = *s->picture("Picture3");
            QVERIFY(redAboveBottomLine(plot, 2100, 2490));
            QVERIFY(!redAboveBottomLine(plot, 2530, 5990));
        }
    }

    void molybdenumCurveOnTheCanvas() {
        WorkDir dir;
        Started s(dir);
        click(*s, "Command1"); // Mo, 30 kV, Mo filter: the K line in bin 87 is the maximum
        Canvas& plot = *s->picture("Picture3");
        for (double x = 2730; x <= 2750; x += 5)
            QCOMPARE(plot.pixelAt(x, 100), red);
        // Only that bin reaches the top: its neighbours lie lower, and the frame is black there.
        QCOMPARE(plot.pixelAt(2690, 100), QColor(0, 0, 0));
        QCOMPARE(plot.pixelAt(2790, 100), QColor(0, 0, 0));
        // Bins above 30 kV lie on the bottom line, which is black again.
        QCOMPARE(plot.pixelAt(4500, 2100), QColor(0, 0, 0));
        QVERIFY(!redAboveBottomLine(plot, 4030, 5990)); // 30 keV is at x 4000
    }

    void curveOf25kVEndsOnTheBottomLine() {
        WorkDir dir;
        Started s(dir);
        setText(*s, "Text1", QStringLiteral("25"));
        click(*s, "Command1");
        Canvas& plot = *s->picture("Picture3");
        QVERIFY(redAboveBottomLine(plot, 2400, 3000));
        QVERIFY(!redAboveBottomLine(plot, 3530, 5990));
        for (double x = 3600; x <= 5900; x += 100)
            QCOMPARE(plot.pixelAt(x, 2100), QColor(0, 0, 0));
    }

    void secondDrawKeepsTheFirstCurve() {
        WorkDir dir;
        Started s(dir);
        click(*s, "Command1"); // Mo
        click(*s, "Option2");
        click(*s, "Command1"); // W on top
        const QImage both = s->picture("Picture3")->image().copy();

        WorkDir dir2;
        Started w(dir2);
        click(*w, "Option2");
        click(*w, "Command1"); // W alone
        const QImage alone = w->picture("Picture3")->image().copy();

        QCOMPARE(both.size(), alone.size());
        int onlyInBoth = 0;
        for (int y = 0; y < both.height(); ++y)
            for (int x = 0; x < both.width(); ++x) {
                const bool r1 = both.pixelColor(x, y) == red, r2 = alone.pixelColor(x, y) == red;
                QVERIFY(!r2 || r1); // the W curve is complete on top
                if (r1 && !r2) ++onlyInBoth;
            }
        QVERIFY2(onlyInBoth > 200, qPrintable(QString::number(onlyInBoth)));
        // The Mo line's stroke below the frame is still there.
        QCOMPARE(s->picture("Picture3")->pixelAt(2730, 1000), red);
    }

    void clearErasesAndDisablesDetermine() {
        WorkDir dir;
        Started s(dir);
        click(*s, "Command1");
        const SpectrumTable table = s->spectrumTable();
        click(*s, "Command3");
        Canvas& plot = *s->picture("Picture3");
        QVERIFY(!anyRed(plot));
        QCOMPARE(plot.pixelAt(1000, 1500), QColor(0, 0, 0));
        QCOMPARE(plot.pixelAt(1200, 1500), QColor(128, 128, 128));
        QVERIFY(!s->button("Command7")->isEnabled());
        QVERIFY(s->spectrumTable() == table); // the table is kept
    }

    void determineDrawsAgainWhatTheScreenShows() {
        MessageRecorder messages;
        WorkDir dir("Room 3 unit\r\n65\r\n60\r\n7.5\r\n16\r\n6\r\n");
        Started s(dir);
        click(*s, "Command1"); // Mo, 30 kV
        const SpectrumTable first = s->spectrumTable();
        // Edits after the draw: the file must describe them, not the earlier table.
        setText(*s, "Text1", QStringLiteral("\uFF13\uFF12")); // 32, typed full width
        click(*s, "Option2");
        setText(*s, "Text4", QStringLiteral("65.5"));
        QSignalSpy ended(s.screen.get(), &SpectrumScreen::ended);
        click(*s, "Command7");
        QCOMPARE(ended.count(), 1);
        QVERIFY(messages.entries.empty());

        const auto& l = fileTexts().labels;
        const QStringList spectrum = dir.lines("P_SPCTL.dat");
        QCOMPARE(spectrum.size(), 260);
        QCOMPARE(spectrum[0], qs(l.tungstenTarget));
        QCOMPARE(spectrum[1], qs(l.tubeVoltage) + " 32.0 kV");
        QCOMPARE(spectrum[7], qs(l.rhodium) + " 0.025 mm");
        QCOMPARE(spectrum[9], qs(l.airLayer) + " 65.5 cm");
        SpectrumFields shown;
        shown.tubeVoltage = "32";
        shown.molybdenum = "0";
        shown.rhodium = "0.025";
        shown.airLayer = "65.5";
        const SpectrumTable expected =
            computeSpectrum(TargetMaterial::Tungsten, LoadPhysicalData(dir.path()), shown).table;
        QVERIFY(s->spectrumTable() == expected);
        QVERIFY(!(expected == first));
        const SpectrumFileContents read = readSpectrumFile(dir.path());
        for (int k = 1; k < kColumns; ++k)
            for (int i = 1; i < kBins; ++i)
                QVERIFY(std::abs(read.table[k][i] - expected[k][i]) <= 6e-4 * expected[k][i]);
        QCOMPARE(dir.lines("equipment.dat"),
                 (QStringList{"Room 3 unit", "65.0", "60.0", "07.5", "16.0", "6.0"}));
    }

    // The curve and HVL that "Determine" draws for edited fields are painted
    // on the window before it ends, not only drawn into its picture.
    void determineShowsWhatItWritesBeforeTheToolEnds() {
        MessageRecorder messages;
        WorkDir dir("Room 3 unit\r\n65\r\n60\r\n7.5\r\n16\r\n6\r\n");
        Started s(dir);
        s->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.screen.get()));
        click(*s, "Command1"); // Mo, 30 kV
        const QString firstHvl = s->label("Label42")->text();
        setText(*s, "Text1", QStringLiteral("34"));
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++paints;
                return false;
            }
        } plot, hvl;
        s->picture("Picture3")->installEventFilter(&plot);
        s->label("Label42")->installEventFilter(&hvl);
        int plotPaints = -1, hvlPaints = -1;
        QString hvlShown;
        connect(s.screen.get(), &SpectrumScreen::ended, this, [&] {
            plotPaints = plot.paints;
            hvlPaints = hvl.paints;
            hvlShown = s->label("Label42")->text();
        });
        // A look at the window half-way through the moment the new curve stays in view:
        // it is there, with the new HVL (a tool that ended at once is gone by then).
        bool seen = false;
        QTimer::singleShot(400, this,
                           [&] { seen = s->isVisible() && s->label("Label42")->text() != firstHvl; });
        click(*s, "Command7");
        QVERIFY2(seen, "the tool ended before the new curve could be seen");
        QVERIFY(messages.entries.empty());
        QVERIFY2(plotPaints > 0, "the new curve was never painted");
        QVERIFY2(hvlPaints > 0, "the new HVL was never painted");
        QVERIFY(hvlShown != firstHvl);
        QCOMPARE(dir.lines("P_SPCTL.dat").value(1), qs(fileTexts().labels.tubeVoltage) + " 34.0 kV");
    }

    void determineWithFieldsThatCannotBeDrawnWritesNothing() {
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        click(*s, "Command1");
        setText(*s, "Text5", QStringLiteral("12"));
        setText(*s, "Text3", QStringLiteral("0"));
        QSignalSpy ended(s.screen.get(), &SpectrumScreen::ended);
        click(*s, "Command7");
        QCOMPARE(ended.count(), 0);
        QCOMPARE(messages.entries.size(), size_t{1});
        QCOMPARE(messages.entries[0].text, qs(fileTexts().angleCannotCoverField));
        QVERIFY(!QFile::exists(dir.file("P_SPCTL.dat")));
        QCOMPARE(dir.lines("equipment.dat").value(4), QStringLiteral("16"));
    }

    void determineAfterMatchingKeepsTheExactAluminium() {
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        setText(*s, "Text1", QStringLiteral("28"));
        setText(*s, "Text12", QStringLiteral("0.36"));
        click(*s, "Command8");
        const QString al = s->textBox("Text2")->text(); // thousandths of a mm
        QSignalSpy ended(s.screen.get(), &SpectrumScreen::ended);
        click(*s, "Command7");
        QCOMPARE(ended.count(), 1);
        QVERIFY(messages.entries.empty());
        QCOMPARE(dir.lines("P_SPCTL.dat")[5], qs(fileTexts().labels.aluminum) + " " +
                                                  qs(kv::format(kv::parseNumber(al.toStdString()), "0.00")) +
                                                  " mm");
        SpectrumFileContents c = readSpectrumFile(dir.path());
        QVERIFY(applySpectrumExactFile(dir.path(), c));
        QCOMPARE(c.aluminum, kv::parseNumber(al.toStdString()));
        QCOMPARE(c.tubeVoltage, 28.0);
    }

    void fieldRefusalsAndEmptySpectraAreSaid_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        SpectrumFields f;
        f.aluminum = "-0.5";
        QTest::newRow("negative aluminium") << "Text2"
                                            << "-0.5" << fieldMessage(f);
        f.aluminum = "1e999";
        QTest::newRow("infinite aluminium") << "Text2"
                                            << "1e999" << fieldMessage(f);
        f.aluminum = "1000";
        QTest::newRow("a metre of aluminium") << "Text2"
                                              << "1000" << fieldMessage(f);
        f = SpectrumFields();
        f.airLayer = "-60";
        QTest::newRow("negative air") << "Text4"
                                      << "-60" << fieldMessage(f);
        f = SpectrumFields();
        f.molybdenum = "7,5";
        QTest::newRow("Mo 7,5") << "Text10"
                                << "7,5" << fieldMessage(f);
        f = SpectrumFields();
        f.beryllium = "";
        QTest::newRow("no beryllium typed") << "Text8"
                                            << "" << fieldMessage(f);
    }
    void fieldRefusalsAndEmptySpectraAreSaid() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QVERIFY(!message.isEmpty());
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        click(*s, "Command1");
        QVERIFY(s->button("Command7")->isEnabled());
        setText(*s, field.toLatin1().constData(), text);
        click(*s, "Command1");
        QCOMPARE(messages.entries.size(), size_t{1});
        QCOMPARE(messages.entries[0].text, message);
        // "Determine" draws the fields first, and they are refused again: nothing is written.
        click(*s, "Command7");
        QVERIFY(!QFile::exists(dir.file("P_SPCTL.dat")));
        QCOMPARE(messages.entries.size(), size_t{2});
    }

    void aSpectrumWithoutPhotonsIsSaidAndNotWritten() {
        MessageRecorder messages;
        WorkDir dir;
        Started s(dir);
        click(*s, "Command1");
        setText(*s, "Text1", QStringLiteral("15")); // 15 kV through 20 mm of silver
        setText(*s, "Text9", QStringLiteral("20"));
        click(*s, "Command1");
        QCOMPARE(messages.entries.size(), size_t{1});
        QCOMPARE(messages.entries[0].text, qs(fileTexts().spectrumEmpty));
        QVERIFY(!s->button("Command7")->isEnabled());
    }

    void determineThatCannotWriteKeepsTheTool() {
        MessageRecorder messages;
        WorkDir dir;
        QVERIFY(QDir(QString::fromStdString(dir.path().string()))
                    .mkdir(QStringLiteral("P_SPCTL.dat"))); // in the way
        Started s(dir);
        click(*s, "Command1");
        QSignalSpy ended(s.screen.get(), &SpectrumScreen::ended);
        click(*s, "Command7");
        QCOMPARE(ended.count(), 0);
        QCOMPARE(messages.entries.size(), size_t{1});
        QVERIFY(messages.entries[0].text.contains(QStringLiteral("P_SPCTL.dat")));
        QCOMPARE(dir.lines("equipment.dat").value(4), QStringLiteral("16")); // untouched
        QVERIFY(s->button("Command7")->isEnabled());
    }

    void cancel_data() {
        QTest::addColumn<bool>("present");
        QTest::newRow("P_SPCTL.dat present") << true;
        QTest::newRow("P_SPCTL.dat missing") << false;
    }
    void cancel() {
        QFETCH(bool, present);
        MessageRecorder messages;
        WorkDir dir;
        if (present) dir.write("P_SPCTL.dat", "old spectrum\r\n");
        if (present) dir.write("P_SPCTL.exact.dat", "spectrum_sha256 = 0\r\n");
        const QByteArray equipmentBefore = [&] {
            QFile f(dir.file("equipment.dat"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        Started s(dir);
        QSignalSpy ended(s.screen.get(), &SpectrumScreen::ended);
        click(*s, "Command4");
        QCOMPARE(ended.count(), 1);
        QVERIFY(!QFile::exists(dir.file("P_SPCTL.dat")));
        QVERIFY(!QFile::exists(dir.file("P_SPCTL.exact.dat")));
        QVERIFY(messages.entries.empty());
        QFile f(dir.file("equipment.dat"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), equipmentBefore);
    }

    void angleDiagramButton() {
        WorkDir dir;
        Started s(dir);
        s->show();
        QVERIFY(s->angleDiagram() == nullptr);
        click(*s, "Command2");
        auto* d = s->angleDiagram();
        QVERIFY(d);
        QVERIFY(d->isVisible());
        QCOMPARE(d->objectName(), QStringLiteral("Form1"));
        QVERIFY(s->isVisible()); // modeless: Form2 stays usable
        QVERIFY(!d->isModal());
        QTest::mouseClick(d->button("Command1"), Qt::LeftButton);
        QVERIFY(!d->isVisible());
        click(*s, "Command2");
        QCOMPARE(s->angleDiagram(), d); // created once, shown again
        QVERIFY(d->isVisible());
    }

    void closingTheWindowEndsTheTool() {
        WorkDir dir;
        Started s(dir);
        s->show();
        click(*s, "Command2");
        QSignalSpy ended(s.screen.get(), &SpectrumScreen::ended);
        s->close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!s->angleDiagram()->isVisible());
        QVERIFY(QFile::exists(dir.file("equipment.dat")));
    }
};

QTEST_MAIN(LumiraTest)
#include "test_lumira.moc"
