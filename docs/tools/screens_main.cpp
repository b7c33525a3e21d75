// Drives the programs' own screens through a working session and saves a
// picture of each, for the user manual (docs/screenshots.sh runs it under a
// virtual display):
//
//   kv-screens_en RUNDIR OUTDIR setup     launcher, menu, phantom, spectrum
//                                         tool, set-up and reference screens;
//                                         leaves the engine's inputs in RUNDIR
//   kv-screens_en RUNDIR OUTDIR results   the result screens on RUNDIR/manual.vesk,
//                                         and the AGD panel with its context menu
//
// Each picture is OUTDIR/<name>-<edition>.png. Every screen is the class the
// programs show, opened by the same buttons; message boxes are recorded, not
// shown.
#include "kv/gui/canvas.h"
#include "kv/gui/file_list.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/launcher/launcher_screen.h"
#include "kv/spectrum/ui/angle_diagram.h"
#include "kv/spectrum/ui/spectrum_screen.h"
#include "kv/texts/text.h"
#include "kv/workbench/results/ui/results_screen.h"
#include "kv/workbench/results/ui/xy_plane_screen.h"
#include "kv/workbench/results/ui/xz_plane_screen.h"
#include "kv/workbench/shell/composition_screen.h"
#include "kv/workbench/shell/menu_screen.h"
#include "kv/workbench/shell/phantom_screen.h"
#include "kv/workbench/shell/reference_screens.h"
#include "kv/workbench/shell/setup_screen.h"
#include "kv/workbench/shell/workbench.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <cstdio>

namespace {

QString outDir;

void save(const QPixmap& picture, const QString& name) {
    const QString file =
        QDir(outDir).filePath(name + "-" + QString::fromLatin1(kv::texts::editionSuffix()) + ".png");
    if (!picture.save(file)) std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
}

// Lets the window system paint the window, then saves what it shows.
void shoot(QWidget& w, const QString& name) {
    kv::gui::showInFront(w);
    (void)QTest::qWaitForWindowExposed(&w);
    QTest::qWait(300);
    save(w.grab(), name);
    // KV_SCREENS_WAIT=ms keeps each screen up that long, for a picture of the whole display.
    if (const int ms = qEnvironmentVariableIntValue("KV_SCREENS_WAIT"); ms > 0) QTest::qWait(ms);
}

// The pointer over a map at (x, y) in its units, as the window system reports it.
void pointAt(kv::gui::Canvas* map, double x, double y) {
    const QPointF at = map->unitsToPixels({x, y}).toPoint();
    QMouseEvent e(QEvent::MouseMove, at, map->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(map, &e);
}

void click(kv::gui::Form& f, const char* button) {
    f.button(button)->click();
}

template <class S> S* shown() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<S*>(w); s && s->isVisible()) return s;
    return nullptr;
}

int setupScreens(const QString& runDir) {
    // As installed: the user's own working folder under the launcher's buttons.
    kv::launcher::LauncherScreen launcher(nullptr, kv::launcher::defaultPlaces(true));
    launcher.place();
    shoot(launcher, "launcher");
    launcher.hide();

    kv::shell::Workbench wb(runDir);
    wb.endProgram = [] {};
    kv::shell::MenuScreen& menu = wb.menu();
    shoot(menu, "menu");
    click(menu, "Command4");
    if (auto* s = shown<kv::shell::AirKermaScreen>()) {
        shoot(*s, "geometry");
        s->hide();
    }
    click(menu, "Command7");
    if (auto* s = shown<kv::shell::MethodScreen>()) {
        shoot(*s, "method");
        s->hide();
    }
    click(menu, "Command1");
    auto* phantom = shown<kv::shell::PhantomScreen>();
    if (!phantom) return 1;
    phantom->textBox("Text31")->setText(QStringLiteral("4.5"));
    shoot(*phantom, "phantom");
    click(*phantom, "Command1");
    if (auto* s = shown<kv::shell::CompositionScreen>()) {
        shoot(*s, "composition");
        s->hide();
    }
    click(*phantom, "Command3");
    shoot(menu, "menu-ready");

    kv::spectrum::ui::SpectrumScreen spectrum(runDir.toStdString());
    if (!spectrum.start()) return 1;
    spectrum.place();
    click(spectrum, "Command1");
    shoot(spectrum, "spectrum");
    click(spectrum, "Command2");
    if (auto* d = spectrum.angleDiagram()) {
        shoot(*d, "angles");
        d->hide();
    }
    click(spectrum, "Command7"); // writes P_SPCTL.dat and equipment.dat
    click(menu, "Command2");     // the menu's spectrum step (its start is recorded) opens the set-up
    click(menu, "Command5");
    auto* setUp = shown<kv::shell::SetUpScreen>();
    if (!setUp) return 1;
    setUp->textBox("Text11")->setText(QStringLiteral("1000000"));
    setUp->textBox("Text12")->setText(QStringLiteral("manual"));
    setUp->textBox("TextMapSigma")->setText(QStringLiteral("5"));
    shoot(*setUp, "setup");
    // Tomosynthesis chosen: the line under the angular range names the scan of Geometry.dat.
    setUp->option("Option2")->click();
    shoot(*setUp, "setup-scan");
    setUp->option("Option1")->click();
    // The paddle-and-support dialog of the set-up screen's context menu.
    if (auto* plates = setUp->findChild<QAction*>(QStringLiteral("PlatesAction"))) {
        plates->trigger();
        if (QWidget* d = setUp->platesDialog()) {
            shoot(*d, "plates");
            d->hide();
        }
    }
    click(*setUp, "Command5"); // writes MC.dat and equipment.dat
    return 0;
}

// The AGD panel scrolled into view with Ka at the breast surface, and below
// it the panel's context menu. The menu is a window of its own, so the picture
// is taken from the display.
void shootAgdPanel(kv::results::ResultsScreen& form2) {
    form2.setKaPoint(kv::results::KaPoint::BreastSurface);
    if (QScrollArea* s = form2.scroller())
        s->horizontalScrollBar()->setValue(s->horizontalScrollBar()->maximum());
    QMenu menu;
    for (const char* name :
         {"KaAtFcd", "KaAtFcdPaddle", "KaAtSurface", "", "SurfaceAt60mm", "SurfaceAt40mm", "SurfaceAtEdge"}) {
        if (!*name)
            menu.addSeparator();
        else if (auto* a = form2.findChild<QAction*>(QString::fromLatin1(name)))
            menu.addAction(a);
    }
    const QWidget* panel = form2.label("Label55");
    const QRect at(panel->mapToGlobal(QPoint(0, 0)), panel->size());
    QTest::qWait(300);
    menu.popup(at.bottomLeft() + QPoint(-160, 8)); // below the panel, which stays readable
    QTest::qWait(300);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = at.united(menu.geometry()).adjusted(-24, -24, 24, 24) & screen->geometry();
    save(screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()), QStringLiteral("agd-panel"));
    menu.close();
    if (QScrollArea* s = form2.scroller()) s->horizontalScrollBar()->setValue(0);
}

int resultScreens(const QString& runDir) {
    kv::results::ResultsScreen form2(runDir);
    form2.place();
    form2.openFromMenu();
    form2.fileList("File1")->selectFile(QStringLiteral("manual.vesk"));
    form2.button("Command6")->click();
    form2.textBox("Text9")->setText(QStringLiteral("5.2"));
    form2.showAgd(true);
    form2.pick(-320, 60);
    form2.readOut(-252, 61);
    shoot(form2, "results");
    shootAgdPanel(form2);
    form2.button("Command3")->click();
    form2.depthDoseScreen().readOut(1250, 3000);
    shoot(form2.depthDoseScreen(), "depth-dose");
    form2.depthDoseScreen().hide();
    form2.button("Command5")->click();
    pointAt(form2.planes().xy().picture("Picture3"), 42, 130);
    shoot(form2.planes().xy(), "xy-plane");
    form2.planes().xy().hide();
    form2.button("Command1")->click();
    pointAt(form2.planes().xz().picture("Picture4"), 42, 30);
    shoot(form2.planes().xz(), "xz-plane");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s RUNDIR OUTDIR setup|results\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    kv::gui::setUpApplication(QStringLiteral("Kelvane-Vesk"));
    kv::gui::MessageRecorder messages;
    kv::gui::StartRecorder starts;
    const QString runDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    outDir = QString::fromLocal8Bit(argv[2]);
    QDir::setCurrent(runDir);
    const QString what = QString::fromLocal8Bit(argv[3]);
    const int status = what == QStringLiteral("setup") ? setupScreens(runDir) : resultScreens(runDir);
    for (const auto& m : messages.entries)
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    return status;
}
