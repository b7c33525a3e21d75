#include "kv/gui/canvas.h"
#include "kv/gui/drawing.h"
#include "kv/gui/file_list.h"
#include "kv/gui/form.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/texts/text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <numbers>

using namespace kv::gui;

namespace {

void touch(const QDir& d, const QString& name) {
    QFile f(d.filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
}

// A canvas of 100 x 50 inner pixels without a border, painted while hidden.
std::unique_ptr<Canvas> makeCanvas() {
    auto c = std::make_unique<Canvas>();
    c->resize(100, 50);
    c->setBackground(Qt::white);
    return c;
}

} // namespace

class GuiTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { setUpApplication(QStringLiteral("Kelvane-Vesk")); }

    // Qt's own buttons and dialogs speak the edition's language (Qt's translations are set up).
    void qtOwnTextsFollowTheEdition() {
        const QString yes = QCoreApplication::translate("QPlatformTheme", "&Yes");
        const QString fileName = QCoreApplication::translate("QFileDialog", "File &name:");
        if (kv::texts::edition() == kv::texts::Edition::Japanese) {
            QVERIFY2(yes != QStringLiteral("&Yes"), qPrintable(yes));
            QVERIFY2(fileName != QStringLiteral("File &name:"), qPrintable(fileName));
        } else {
            QCOMPARE(yes, QStringLiteral("&Yes"));
        }
    }

    void fontSizesArePixelExact_data() {
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("pixels");
        QTest::newRow("9.75 pt notice") << 9.75 << 13;
        QTest::newRow("14.25 pt buttons") << 14.25 << 19;
        QTest::newRow("15.75 pt headings") << 15.75 << 21;
        QTest::newRow("18 pt title") << 18.0 << 24;
        QTest::newRow("36 pt launcher title") << 36.0 << 48;
    }
    void fontSizesArePixelExact() {
        QFETCH(double, points);
        QFETCH(int, pixels);
        QCOMPARE(fontPt(points).pixelSize(), pixels);
        QCOMPARE(fontPt(points).family(), QStringLiteral("Times New Roman"));
    }

    void twipsRound() {
        QCOMPARE(toPixels(Twips{1800, 3120, 3495, 615}), QRect(120, 208, 233, 41));
        QCOMPARE(twipsToPixels(7), 0);
        QCOMPARE(twipsToPixels(8), 1);
    }

    void userScaleMapsBothDirections_data() {
        QTest::addColumn<QRectF>("scale"); // left, top, width, height
        QTest::addColumn<QPointF>("user");
        QTest::addColumn<QPoint>("pixel");
        QTest::newRow("twips by default") << QRectF() << QPointF(150, 300) << QPoint(10, 20);
        QTest::newRow("y down, shifted origin")
            << QRectF(-50, -10, 100, 50) << QPointF(0, 0) << QPoint(50, 10);
        QTest::newRow("y up: top edge") << QRectF(0, 100, 200, -100) << QPointF(0, 100) << QPoint(0, 0);
        QTest::newRow("y up: lower half") << QRectF(0, 100, 200, -100) << QPointF(100, 20) << QPoint(50, 40);
    }
    void userScaleMapsBothDirections() {
        QFETCH(QRectF, scale);
        QFETCH(QPointF, user);
        QFETCH(QPoint, pixel);
        auto c = makeCanvas();
        if (!scale.isNull()) c->setScale(scale.x(), scale.y(), scale.width(), scale.height());
        c->point(user.x(), user.y(), Qt::red);
        QCOMPARE(c->pixelAtPixel(pixel.x(), pixel.y()), QColor(Qt::red));
        QCOMPARE(c->toUser(QPointF(pixel)), user);
    }

    // Voxel boxes of 4 units share no pixel and leave no gap between them.
    void filledBoxesIncludeBothCorners() {
        auto c = makeCanvas();
        c->setScale(-99, 0, 100, 50); // one unit per pixel, x = 0 on the right edge
        c->fillBox(-1, 1, -4, 4, Qt::red);
        c->fillBox(-5, 1, -8, 4, Qt::blue);
        QCOMPARE(c->pixelAt(-1, 1), QColor(Qt::red));
        QCOMPARE(c->pixelAt(-4, 4), QColor(Qt::red));
        QCOMPARE(c->pixelAt(-5, 4), QColor(Qt::blue));
        QCOMPARE(c->pixelAt(-8, 1), QColor(Qt::blue));
        QCOMPARE(c->pixelAt(-9, 1), QColor(Qt::white));
        QCOMPARE(c->pixelAt(-1, 5), QColor(Qt::white));
        QCOMPARE(c->pixelAt(0, 1), QColor(Qt::white));
    }

    void linesContinueFromTheLastPoint() {
        auto c = makeCanvas();
        c->setScale(0, 0, 100, 50);
        c->line(10, 10, 20, 10, Qt::red);
        c->lineTo(20, 30, Qt::blue);
        QCOMPARE(c->currentX(), 20.0);
        QCOMPARE(c->currentY(), 30.0);
        QCOMPARE(c->pixelAt(15, 10), QColor(Qt::red));
        QCOMPARE(c->pixelAt(20, 25), QColor(Qt::blue));
        c->setPenWidth(3);
        c->box(40, 10, 60, 30);
        QCOMPARE(c->pixelAt(50, 11), QColor(Qt::black));
        QCOMPARE(c->pixelAt(50, 20), QColor(Qt::white));
    }

    void dashDotLeavesGaps() {
        auto c = makeCanvas();
        c->setScale(0, 0, 100, 50);
        c->setPenStyle(PenStyle::DashDot);
        c->line(0, 25, 99, 25);
        int inked = 0;
        for (int x = 0; x < 100; ++x)
            inked += c->pixelAtPixel(x, 25) == QColor(Qt::black);
        QVERIFY2(inked > 30 && inked < 90, qPrintable(QString::number(inked)));
        c->setPenStyle(PenStyle::Solid);
        c->line(0, 30, 99, 30);
        for (int x = 0; x < 100; ++x)
            QCOMPARE(c->pixelAtPixel(x, 30), QColor(Qt::black));
    }

    void printedTextStartsAtTheCurrentPoint() {
        auto c = makeCanvas();
        c->setFont(fontPt(12));
        c->setScale(0, 0, 100, 50);
        c->setCurrent(50, 0);
        c->print(QStringLiteral("MMMM"), false);
        QVERIFY(c->currentX() > 60);
        QCOMPARE(c->currentY(), 0.0);
        c->print(QStringLiteral(""), true);
        QCOMPARE(c->currentX(), 0.0);
        QVERIFY(c->currentY() >= 14);
        bool leftInk = false, rightInk = false;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 100; ++x)
                if (c->pixelAtPixel(x, y) != QColor(Qt::white)) (x < 50 ? leftInk : rightInk) = true;
        QVERIFY(rightInk);
        QVERIFY(!leftInk);
        c->clear();
        QCOMPARE(c->pixelAtPixel(55, 8), QColor(Qt::white));
        QCOMPARE(c->currentY(), 0.0);
    }

    void drawingSurvivesHidingAndShowing() {
        Canvas c;
        c.setSunkenBorder(true);
        c.resize(54, 54); // 50 x 50 inside the border
        c.setBackground(Qt::white);
        c.setScale(0, 0, 50, 50);
        c.fillBox(0, 0, 9, 9, Qt::green); // drawn before the first show
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        c.hide();
        c.show();
        const QImage shot = c.grab().toImage();
        QCOMPARE(shot.pixelColor(2, 2), QColor(Qt::green)); // inside the border
        QCOMPARE(shot.pixelColor(12, 12), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(0, 0), QColor(160, 160, 160)); // the border
    }

    void overlayLinesLieAboveTheContentAndMove() {
        Canvas c;
        c.resize(100, 50);
        c.setBackground(Qt::white);
        c.setScale(0, 0, 100, 50);
        c.fillBox(0, 0, 99, 49, Qt::blue);
        LineItem* marker = c.addLine(QStringLiteral("Line45"), 30, 0, 30, 49, Qt::white, 2);
        QCOMPARE(c.findChild<LineItem*>(QStringLiteral("Line45")), marker);
        auto columnIsWhite = [&](int x) { return c.grab().toImage().pixelColor(x, 25) == QColor(Qt::white); };
        QVERIFY(columnIsWhite(30));
        marker->setX(70);
        QVERIFY(!columnIsWhite(30));
        QVERIFY(columnIsWhite(70));
        marker->hide();
        QVERIFY(!columnIsWhite(70));
        QCOMPARE(c.pixelAt(70, 25), QColor(Qt::blue)); // the map itself never changed
    }

    void mouseIsReportedInUserUnits() {
        Canvas c;
        c.resize(100, 50);
        c.setScale(0, 100, 200, -100); // y up
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        QSignalSpy pressed(&c, &Canvas::mousePressed);
        QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(50, 40));
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(pressed.at(0).at(0).toDouble(), 100.0);
        QCOMPARE(pressed.at(0).at(1).toDouble(), 20.0);
        c.setEnabled(false);
        QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(pressed.count(), 1);
    }

    void formIsBuiltFromItsTable() {
        const Control table[] = {
            {.name = "Frame1",
             .kind = Kind::Frame,
             .rect = {1500, 1500, 3000, 1500},
             .text = "Display",
             .fore = colours::blue},
            {.name = "Option1",
             .kind = Kind::Option,
             .rect = {240, 480, 2000, 315},
             .text = "Separate",
             .parent = "Frame1"},
            {.name = "Label1",
             .kind = Kind::Label,
             .rect = {300, 150},
             .text = "Heading",
             .font = {15.75, true},
             .fore = colours::blue},
            {.name = "Command1",
             .kind = Kind::Button,
             .rect = {1800, 3120, 3495, 615},
             .text = "Go",
             .font = {14.25},
             .back = colours::buttonYellow,
             .tip = "press"},
            {.name = "Line3",
             .kind = Kind::Line,
             .rect = {840, 2610, 5760, 2610},
             .fore = colours::white,
             .lineWidth = 2},
        };
        Form f({.name = "Form3", .caption = " Test", .width = 6810, .height = 8985}, table);
        QCOMPARE(f.objectName(), QStringLiteral("Form3"));
        QCOMPARE(f.size(), QSize(454, 599));
        QCOMPARE(f.button("Command1")->geometry(), QRect(120, 208, 233, 41));
        QCOMPARE(f.button("Command1")->palette().color(QPalette::Button), QColor(255, 255, 192));
        QCOMPARE(f.button("Command1")->font().pixelSize(), 19);
        QCOMPARE(f.button("Command1")->toolTip(), QStringLiteral("press"));
        QLabel* l = f.label("Label1");
        QCOMPARE(l->pos(), QPoint(20, 10));
        QVERIFY(l->width() > 30); // sized to its caption
        QVERIFY(l->font().italic());
        QCOMPARE(l->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(f.option("Option1")->parentWidget(), f.frame("Frame1"));
        QCOMPARE(f.option("Option1")->geometry().topLeft(), QPoint(16, 32));
        QCOMPARE(f.line("Line3")->y1(), 2610.0);
        QCOMPARE(f.line("Line3")->width(), 2);
        QVERIFY_THROWS_EXCEPTION(std::logic_error, f.button("Command9"));
        QVERIFY_THROWS_EXCEPTION(std::logic_error, f.button("Label1")); // a label is no button
        int clicks = 0;
        f.onClick("Command1", [&] { ++clicks; });
        QTest::mouseClick(f.button("Command1"), Qt::LeftButton);
        QCOMPARE(clicks, 1);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.grab().toImage().pixelColor(100, 174), QColor(Qt::white)); // the line on the form
    }

    void aNameGivenTwiceIsRefused() {
        const Control twice[] = {
            {.name = "Label1", .kind = Kind::Label, .rect = {0, 0, 1500, 300}, .text = "a"},
            {.name = "Label2", .kind = Kind::Label, .rect = {0, 400, 1500, 300}, .text = "b"},
            {.name = "Label1", .kind = Kind::Label, .rect = {0, 800, 1500, 300}, .text = "c"},
        };
        QVERIFY_THROWS_EXCEPTION(
            std::logic_error, Form({.name = "Form2", .caption = "t", .width = 2000, .height = 1500}, twice));
    }

    // Screens pass UTF-8 both ways; every kind of control with a text takes it.
    void textsGoInAndOutAsUtf8() {
        const Control table[] = {
            {.name = "Label1", .kind = Kind::Label, .rect = {0, 0, 1500, 300}, .text = "a"},
            {.name = "Command1", .kind = Kind::Button, .rect = {0, 400, 1500, 400}, .text = "b"},
            {.name = "Text1", .kind = Kind::TextBox, .rect = {0, 900, 1500, 300}},
            {.name = "Option1", .kind = Kind::Option, .rect = {0, 1300, 1500, 300}},
            {.name = "Check1", .kind = Kind::Check, .rect = {0, 1700, 1500, 300}},
            {.name = "Frame1", .kind = Kind::Frame, .rect = {2000, 0, 1500, 1500}},
            {.name = "Picture1", .kind = Kind::Picture, .rect = {2000, 1600, 500, 500}},
        };
        Form f({.name = "Form3", .caption = "t", .width = 4000, .height = 2500}, table);
        const std::string japanese = "乳腺含有率 50 %";
        for (const char* name : {"Label1", "Command1", "Text1", "Option1", "Check1", "Frame1"}) {
            f.setText(name, japanese);
            QCOMPARE(f.text(name), japanese);
        }
        QCOMPARE(f.textBox("Text1")->text(), QStringLiteral("乳腺含有率 50 %"));
        QCOMPARE(f.frame("Frame1")->title(), QStringLiteral("乳腺含有率 50 %"));
        QVERIFY_THROWS_EXCEPTION(std::logic_error, f.setText("Picture1", "x"));
        QVERIFY_THROWS_EXCEPTION(std::logic_error, f.text("Picture1"));
        QVERIFY_THROWS_EXCEPTION(std::logic_error, f.text("Text9"));
    }

    void buttonFacesAreFlatAndCaptionsExact() {
        const Control table[] = {
            {.name = "Command1",
             .kind = Kind::Button,
             .rect = {300, 300, 3000, 615},
             .text = "",
             .back = colours::buttonYellow},
            {.name = "Command2",
             .kind = Kind::Button,
             .rect = {300, 1200, 3000, 615},
             .text = "",
             .back = colours::buttonCyan},
            {.name = "Label1",
             .kind = Kind::Label,
             .rect = {300, 2000, 300, 150},
             .text = "Grows",
             .font = {15.75},
             .align = Align::Centre},
        };
        Form f({.name = "Form9", .caption = " Definition of Angles", .width = 4000, .height = 3000}, table);
        QCOMPARE(f.windowTitle(), QStringLiteral(" Definition of Angles"));
        QCOMPARE(programTitle(), QStringLiteral("Kelvane-Vesk"));
        f.setCaptionAddition(QStringLiteral("run.vesk"));
        QCOMPARE(f.windowTitle(), QStringLiteral(" Definition of Angles - run.vesk"));
        f.setCaptionAddition({});
        QCOMPARE(f.windowTitle(), QStringLiteral(" Definition of Angles"));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        // One colour over the whole face, top to bottom: no gradient.
        for (const char* name : {"Command1", "Command2"}) {
            QPushButton* b = f.button(name);
            const QImage face = b->grab().toImage();
            const QColor want = b->palette().color(QPalette::Button);
            for (int y = 3; y < face.height() - 3; y += 4)
                QCOMPARE(face.pixelColor(face.width() / 2, y), want);
        }
        // A caption larger than its rectangle is not clipped; its centre stays.
        QLabel* l = f.label("Label1");
        QVERIFY(l->width() >= QFontMetrics(l->font()).horizontalAdvance(QStringLiteral("Grows")));
        QVERIFY(l->height() >= QFontMetrics(l->font()).height());
        QCOMPARE(l->geometry().center().x(), toPixels(Twips{300, 2000, 300, 150}).center().x());
    }

    void aFormLargerThanTheDesktopScrolls() {
        const Control table[] = {
            {.name = "Command1", .kind = Kind::Button, .rect = {18600, 10680, 615, 615}, .text = "x"},
        };
        Form f({.name = "Form2", .caption = "wide", .width = 19620, .height = 11670}, table);
        QCOMPARE(f.size(), QSize(1308, 778)); // fits as it is
        f.fitInto(QSize(1280, 1024));
        QVERIFY(f.width() <= 1280 && f.height() <= 1024);
        QCOMPARE(f.scroller()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(f.scroller()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(f.button("Command1")->pos(), QPoint(1240, 712));
        f.fitInto(QSize(800, 600));
        QCOMPARE(f.scroller()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(f.width() <= 800 && f.height() <= 600);
        f.fitInto(QSize(4000, 4000));
        QCOMPARE(f.size(), QSize(1308, 778));
        QCOMPARE(f.scroller()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    // Arrows are given tail first: the head sits at the tip, points away from
    // the tail and has the size it was given, whichever way the arrow runs.
    void arrowHeadsSitAtTheTip_data() {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("tip");
        QTest::newRow("to the right") << QPointF(10, 50) << QPointF(90, 50);
        QTest::newRow("to the left") << QPointF(90, 50) << QPointF(10, 50);
        QTest::newRow("downwards") << QPointF(50, 10) << QPointF(50, 90);
    }
    void arrowHeadsSitAtTheTip() {
        QFETCH(QPointF, from);
        QFETCH(QPointF, tip);
        QImage img(100, 100, QImage::Format_RGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            p.setPen(QPen(Qt::black, 1));
            drawArrowHead(p, from, tip, {20, 8});
        }
        const QPointF u = (tip - from) / QLineF(from, tip).length(), n(-u.y(), u.x());
        auto ink = [&](QPointF q) { return img.pixelColor(q.toPoint()) != QColor(Qt::white); };
        QVERIFY(ink(tip - u * 10 + n * 3));   // inside, half-way back
        QVERIFY(ink(tip - u * 18 - n * 6));   // near a barb
        QVERIFY(!ink(tip - u * 10 + n * 6));  // outside the sides
        QVERIFY(!ink(tip - u * 26));          // beyond the base: no shaft drawn
        QVERIFY(!ink(from + u * 10 + n * 3)); // nothing at the tail
        QCOMPARE(ArrowHead::sized(5).halfWidth, 2.0);
        QVERIFY(qAbs(ArrowHead::bySide(10, std::numbers::pi / 6).length - 10 * std::sqrt(3.0) / 2) < 1e-12);
    }

    void designsFitTheirArea() {
        QCOMPARE(uniformScale(QRectF(0, 0, 914, 417), 457, 417), 1.0);
        QCOMPARE(uniformScale(QRectF(5, 5, 200, 600), 100, 100), 2.0);
        QImage img(200, 100, QImage::Format_RGB32);
        QPainter p(&img);
        stretchDesign(p, QRectF(20, 10, 100, 50), 10, 10);
        QCOMPARE(p.transform().map(QPointF(10, 10)), QPointF(120, 60));
        QVERIFY(p.testRenderHint(QPainter::Antialiasing));
    }

    void fileListFollowsPatternAndRefresh() {
        QTemporaryDir tmp;
        QDir d(tmp.path());
        touch(d, QStringLiteral("b.vesk"));
        touch(d, QStringLiteral("A.VESK"));
        touch(d, QStringLiteral("c.dat"));
        FileListBox list;
        list.setDirectory(tmp.path());
        list.setPattern(QStringLiteral("*.vesk"));
        QCOMPARE(list.fileNames(), (QStringList{"A.VESK", "b.vesk"}));
        QVERIFY(list.selectFile(QStringLiteral("b.vesk")));
        QCOMPARE(list.selectedFile(), QStringLiteral("b.vesk"));
        touch(d, QStringLiteral("a2.vesk"));
        QCOMPARE(list.count(), 2); // only a refresh reads the folder again
        list.refresh();
        QCOMPARE(list.fileNames(), (QStringList{"A.VESK", "a2.vesk", "b.vesk"}));
        QCOMPARE(list.selectedFile(), QString());
        QVERIFY(!list.selectFile(QStringLiteral("c.dat")));
    }

    void recordersStandInAndStepBack() {
        {
            MessageRecorder outer;
            {
                MessageRecorder inner;
                showMessage(QStringLiteral("inner"));
                QCOMPARE(inner.entries.size(), size_t{1});
            }
            showMessage(QStringLiteral("outer"), MessageIcon::None);
            QCOMPARE(outer.entries.size(), size_t{1});
            QCOMPARE(outer.entries[0].text, QStringLiteral("outer"));
            QVERIFY(outer.entries[0].icon == MessageIcon::None);
        }
        StartRecorder starts;
        starts.succeeds = false;
        QVERIFY(!programs().start(QStringLiteral("lumira_en")));
        QCOMPARE(starts.started, (std::vector<QString>{"lumira_en"}));
        BeepRecorder beeps;
        beep();
        beep();
        QCOMPARE(beeps.count, 2);
    }

    // The real starter runs the program beside this one (not one of that name
    // in the working folder), in the working folder, without waiting.
    void realStarterRunsBesideThisProgramInTheWorkingFolder() {
        QTemporaryDir work;
        const QString before = QDir::currentPath();
        QDir::setCurrent(work.path());
        auto writeProbe = [](const QString& file, const char* body) {
            QFile script(file);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(body);
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        // Both editions of this test run at once: a probe name of this process's own.
        const QString name = QStringLiteral("kv-probe-%1").arg(QCoreApplication::applicationPid());
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
        writeProbe(beside, "#!/bin/sh\npwd > started.txt\n");
        writeProbe(QDir(work.path()).filePath(name + "-here"), "#!/bin/sh\ntouch wrong.txt\n");
        QVERIFY(programs().start(name));
        QVERIFY(!programs().start(name + "-here"));
        QVERIFY(!programs().start(QStringLiteral("no-such-program")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(work.path()).filePath(QStringLiteral("started.txt"))),
                                 5000);
        QFile::remove(beside);
        QVERIFY(!QFile::exists(QDir(work.path()).filePath(QStringLiteral("wrong.txt"))));
        QDir::setCurrent(before);
    }
};

QTEST_MAIN(GuiTest)
#include "test_gui.moc"
