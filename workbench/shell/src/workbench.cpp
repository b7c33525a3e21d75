#include "kv/workbench/shell/workbench.h"

#include "kv/formats/edition_file.h"
#include "kv/formats/spectrum_file.h"
#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/texts/menu.h"
#include "kv/workbench/results/ui/results_screen.h"
#include "kv/workbench/shell/composition_screen.h"
#include "kv/workbench/shell/menu_screen.h"
#include "kv/workbench/shell/phantom_screen.h"
#include "kv/workbench/shell/reference_screens.h"
#include "kv/workbench/shell/setup_screen.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QPushButton>
#include <algorithm>

namespace kv::shell {

Workbench::Workbench(const QString& workDir) : workDir_(workDir), menu_(std::make_unique<MenuScreen>(*this)) {
    endProgram = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->hide();
        QCoreApplication::exit(0);
    };
}

Workbench::~Workbench() {
    // Screens going now must not bring the menu back.
    ending_ = true;
    results_.reset();
    setUp_.reset();
    phantom_.reset();
}

MenuScreen& Workbench::menu() {
    return *menu_;
}

PhantomScreen& Workbench::phantom() {
    if (!phantom_) phantom_ = std::make_unique<PhantomScreen>(*this);
    return *phantom_;
}

SetUpScreen& Workbench::setUp() {
    if (!setUp_) setUp_ = std::make_unique<SetUpScreen>(*this);
    return *setUp_;
}

results::ResultsScreen& Workbench::results() {
    if (!results_) {
        results_ = std::make_unique<results::ResultsScreen>(workDir_);
        // "Clear" hides the calculation-method screen, the back button the air-kerma screen.
        results_->hideMethodScreen = [this] {
            if (method_) method_->hide();
        };
        results_->hideAirKermaScreen = [this] {
            if (airKerma_) airKerma_->hide();
        };
    }
    return *results_;
}

CompositionScreen& Workbench::composition() {
    if (!composition_) composition_ = std::make_unique<CompositionScreen>();
    return *composition_;
}

AirKermaScreen& Workbench::airKerma() {
    if (!airKerma_) airKerma_ = std::make_unique<AirKermaScreen>();
    return *airKerma_;
}

MethodScreen& Workbench::method() {
    if (!method_) method_ = std::make_unique<MethodScreen>();
    return *method_;
}

void Workbench::openPhantom() {
    PhantomScreen& s = phantom();
    s.reset();
    gui::showInFront(s);
    replaceMenuWith(s);
}

void Workbench::openSetUp() {
    SetUpScreen& s = setUp();
    if (!s.fill()) return;
    gui::showInFront(s);
    replaceMenuWith(s);
}

void Workbench::openResults() {
    results::ResultsScreen& s = results();
    s.openFromMenu();
    replaceMenuWith(s);
}

void Workbench::showComposition() {
    gui::showInFront(composition());
}

void Workbench::showAirKerma() {
    gui::showInFront(airKerma());
}

void Workbench::showMethod() {
    gui::showInFront(method());
}

const std::vector<QString>& Workbench::perRunFiles() {
    static const std::vector<QString> files{
        QStringLiteral("MC.dat"), QStringLiteral("Phantom.dat"), QStringLiteral("P_SPCTL.dat"),
        QString::fromLatin1(formats::kSpectrumExactFileName), QString::fromLatin1(formats::kEditionFileName)};
    return files;
}

WorkflowState Workbench::state() const {
    const MenuScreen& m = *menu_;
    if (m.setUpStepOpen()) return WorkflowState::ReadyToSimulate;
    if (m.spectrumStepOpen()) return WorkflowState::AwaitingSpectrum;
    return WorkflowState::AwaitingPhantom;
}

void Workbench::phantomAccepted() {
    menu().setSpectrumStepOpen(true);
}

void Workbench::simulationStarted() {
    menu().setSpectrumStepOpen(false);
    menu().setSetUpStepOpen(false);
}

void Workbench::startSpectrumTool() {
    // The second click of a double click is no request for a second tool.
    if (spectrumStarted_.isValid() && spectrumStarted_.elapsed() < QApplication::doubleClickInterval())
        return;
    const QString name = QStringLiteral("lumira_") + QString::fromLatin1(texts::editionSuffix());
    if (!gui::programs().start(name)) {
        gui::showMessage(gui::qs(texts::menuTexts().cannotStartSpectrum).arg(name));
        return;
    }
    spectrumStarted_.start();
    menu().setSetUpStepOpen(true);
}

void Workbench::replaceMenuWith(QWidget& task) {
    if (std::find(tasks_.begin(), tasks_.end(), &task) == tasks_.end()) {
        tasks_.push_back(&task);
        task.installEventFilter(this);
    }
    menu().hide();
}

void Workbench::showMenu() {
    if (!ending_) gui::showInFront(menu());
}

bool Workbench::eventFilter(QObject* watched, QEvent* event) {
    // A task screen that is left (hidden or closed, not minimised) brings the
    // menu back, unless another task screen is still up.
    if (event->type() == QEvent::Hide && !event->spontaneous() && !ending_) {
        bool anotherUp = false;
        for (const QWidget* t : tasks_)
            anotherUp = anotherUp || (t != watched && t->isVisible());
        if (!anotherUp) showMenu();
    }
    return QObject::eventFilter(watched, event);
}

void Workbench::end() {
    if (ending_) return;
    ending_ = true;
    const QDir dir(workDir_);
    for (const QString& f : perRunFiles())
        QFile::remove(dir.filePath(f)); // a missing or locked file is passed over
    if (endProgram) endProgram();
}

} // namespace kv::shell
