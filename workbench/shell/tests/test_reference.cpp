#include "kv/gui/program.h"
#include "kv/texts/text.h"
#include "kv/workbench/shell/reference_screens.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace kv::gui;
using namespace kv::shell;

namespace {

bool japanese() {
    return kv::texts::edition() == kv::texts::Edition::Japanese;
}

// Share of the picture's pixels that are not background: a drawing is there.
double inked(Canvas* c) {
    const QImage img = c->image();
    qint64 n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) != c->background();
    return double(n) / (img.width() * img.height());
}

QRect px(int l, int t, int w, int h) {
    return toPixels(Twips{l, t, w, h});
}

QList<QLabel*> textLines(const Form& f) {
    QList<QLabel*> lines;
    for (int i = 1;; ++i) {
        auto* l = f.findChild<QLabel*>(QStringLiteral("Label%1").arg(i));
        if (!l) return lines;
        lines << l;
    }
}

} // namespace

class ReferenceTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { setUpApplication(QStringLiteral("Kelvane-Vesk")); }

    void airKermaScreen() {
        AirKermaScreen s;
        QCOMPARE(s.objectName(), QStringLiteral("Form10"));
        QCOMPARE(s.windowTitle(), QStringLiteral("Air kerma"));
        QCOMPARE(s.geometry(), px(150, 495, 10395, 9090));
        QCOMPARE(s.picture("Picture2")->geometry(), px(480, 840, 9645, 6600));
        QLabel* heading = s.label(japanese() ? "Label3" : "Label1");
        QLabel* note = s.label(japanese() ? "Label1" : "Label2");
        QCOMPARE(heading->text(),
                 japanese()
                     ? QStringLiteral("焦点-検出器間距離 FCD における空気カーマ (Ka) 測定の幾何学的配置図")
                     : QStringLiteral("Geometry of Air kerma (Ka) measurement at FCD"));
        QCOMPARE(
            note->text(),
            japanese()
                ? QStringLiteral("圧迫板および画像検出器をできるだけ線量計から離しておくこと")
                : QStringLiteral("Keep the compression paddle and the imaging device away from the chamber"));
        if (!japanese()) QCOMPARE(heading->geometry().topLeft(), toPixels(1440, 240));
        QCOMPARE(note->pos(), toPixels(360, 7680));
        QCOMPARE(note->font().pixelSize(), pointsToPixels(15.75));
        for (QLabel* l : {heading, note}) {
            QCOMPARE(l->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            // Inside the window and not cut off.
            QVERIFY(QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width());
            QVERIFY(l->geometry().right() < s.width());
        }
        QVERIFY(heading->font().pixelSize() >= pointsToPixels(japanese() ? 12 : 18));
        QPushButton* close = s.button("Command1");
        QCOMPARE(close->pos(), toPixels(4560, 8280));
        QCOMPARE(close->text(), japanese() ? QStringLiteral("閉じる") : QStringLiteral("Close"));
        QVERIFY(inked(s.picture("Picture2")) > 0.02);
        s.show();
        close->click();
        QVERIFY(!s.isVisible());
    }

    void methodScreenWindowAndPictures() {
        MethodScreen s;
        QCOMPARE(s.objectName(), japanese() ? QStringLiteral("Form8") : QStringLiteral("Form9"));
        QCOMPARE(s.windowTitle(), japanese() ? QStringLiteral("Kelvane-Vesk の計算方法")
                                             : QStringLiteral("Calculation method of AGD in Kelvane-Vesk"));
        QCOMPARE(s.size(), QSize(1142, 785));
        const struct {
            const char* name;
            QRect at;
        } pictures[] = {{"Picture2", px(8280, 360, 3495, 4695)},
                        {"Picture1", px(12000, 360, 4695, 4695)},
                        {"Picture3", px(8280, 5400, 3570, 5040)},
                        {"Picture4", px(11880, 5400, 4935, 4815)}};
        for (const auto& p : pictures) {
            QCOMPARE(s.picture(p.name)->geometry(), p.at);
            QVERIFY2(inked(s.picture(p.name)) > 0.02, p.name);
        }
        QCOMPARE(s.button("Command1")->geometry(), px(15240, 10560, 1335, 615));
        s.show();
        s.button("Command1")->click();
        QVERIFY(!s.isVisible());
    }

    // The text column: a blue heading, the step markers at x 360, every line
    // readable, none running into the drawings or below the window.
    void methodScreenTextColumn() {
        MethodScreen s;
        const QList<QLabel*> lines = textLines(s);
        QCOMPARE(lines.size(), japanese() ? 28 : 31);
        QCOMPARE(lines.front()->text(), japanese()
                                            ? QStringLiteral("Kelvane-Vesk の平均乳腺線量 (AGD) 計算方法")
                                            : QStringLiteral("Calculation method of AGD in Kelvane-Vesk"));
        QCOMPARE(lines.front()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(lines.front()->font().pixelSize(), pointsToPixels(15.75));
        QCOMPARE(lines[1]->font().pixelSize(), pointsToPixels(14.25));
        const int drawings = s.picture("Picture2")->geometry().left();
        for (int i = 0; i < lines.size(); ++i) {
            QLabel* l = lines[i];
            QVERIFY2(l->geometry().right() < drawings,
                     qPrintable(l->text() + QString::number(l->geometry().right())));
            QVERIFY2(l->geometry().bottom() < s.height(), qPrintable(l->text()));
            if (i > 0)
                QVERIFY2(l->y() - lines[i - 1]->y() >= lines[i - 1]->font().pixelSize(),
                         qPrintable(l->text()));
        }
        for (int k = 1; k <= 6; ++k) {
            ShapeItem* marker = s.shape("Shape" + std::to_string(k));
            QCOMPARE(marker->bounds(), QRectF(360, marker->bounds().top(), 135, 135));
        }
        QVERIFY_THROWS_EXCEPTION(std::logic_error, s.shape("Shape7"));
        QLabel* formula = lines.back();
        if (japanese()) {
            QCOMPARE(formula->text(), QStringLiteral("AGD = Ka × sAGD (mGy)"));
            QVERIFY(!s.findChild<LineItem*>(QStringLiteral("Line1")));
        } else {
            QCOMPARE(formula->text(), QStringLiteral("AGD = Ka    sAGD (mGy)"));
            // The drawn times sign crosses in the blank between "Ka" and "sAGD".
            const QFontMetrics fm(formula->font());
            const double gapFrom = formula->x() + fm.horizontalAdvance(QStringLiteral("AGD = Ka"));
            const double gapTo = formula->x() + fm.horizontalAdvance(QStringLiteral("AGD = Ka    "));
            for (const char* name : {"Line1", "Line2"}) {
                LineItem* l = s.line(name);
                QCOMPARE(l->colour(), QColor(0, 0, 255));
                const double x1 = l->x1() / 15, x2 = l->x2() / 15;
                QVERIFY2(std::min(x1, x2) > gapFrom && std::max(x1, x2) < gapTo, name);
                const double ym = (l->y1() + l->y2()) / 30;
                QVERIFY(ym > formula->y() && ym < formula->geometry().bottom());
            }
        }
    }
};

QTEST_MAIN(ReferenceTest)
#include "test_reference.moc"
