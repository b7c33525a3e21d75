#include "kv/shell/workbench.h"

#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/shell/menu_screen.h"
#include "kv/texts/menu.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QPushButton>

namespace kv::shell {

Workbench::Workbench(const QString& workDir) : workDir_(workDir), menu_(std::make_unique<MenuScreen>(*this)) {
    endProgram = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->hide();
        QCoreApplication::exit(0);
    };
}

Workbench::~Workbench() {
    ending_ = true;
    for (auto& [type, w] : screens_)
        delete w;
}

MenuScreen& Workbench::menu() {
    return *menu_;
}

const std::vector<QString>& Workbench::perRunFiles() {
    static const std::vector<QString> files{QStringLiteral("MC.dat"), QStringLiteral("Phantom.dat"),
                                            QStringLiteral("P_SPCTL.dat")};
    return files;
}

WorkflowState Workbench::state() const {
    const MenuScreen& m = *menu_;
    if (m.button("Command5")->isEnabled()) return WorkflowState::ReadyToSimulate;
    if (m.button("Command2")->isEnabled()) return WorkflowState::AwaitingSpectrum;
    return WorkflowState::AwaitingPhantom;
}

void Workbench::phantomAccepted() {
    menu().button("Command2")->setEnabled(true);
}

void Workbench::simulationStarted() {
    menu().button("Command2")->setEnabled(false);
    menu().button("Command5")->setEnabled(false);
}

void Workbench::startSpectrumTool() {
    // The second click of a double click is no request for a second tool.
    if (spectrumStarted_.isValid() && spectrumStarted_.elapsed() < QApplication::doubleClickInterval())
        return;
    const QString name = QStringLiteral("lumira_") + QString::fromLatin1(texts::editionSuffix());
    if (!gui::programs().start(name)) {
        gui::showMessage(QString::fromUtf8(texts::menuTexts().cannotStartSpectrum.c_str()).arg(name));
        return;
    }
    spectrumStarted_.start();
    menu().button("Command5")->setEnabled(true);
}

void Workbench::openTask(const OpenTaskScreen& open) {
    if (!open) {
        gui::beep();
        return;
    }
    QWidget* w = open(*this);
    if (!w) return;
    bool known = false;
    for (const auto& p : watched_)
        known = known || p == w;
    if (!known) {
        watched_.emplace_back(w);
        w->installEventFilter(this);
    }
    menu().hide();
}

void Workbench::showMenu() {
    if (!ending_) gui::showInFront(menu());
}

void Workbench::showBeside(QWidget& w) {
    gui::showInFront(w);
}

bool Workbench::eventFilter(QObject* watched, QEvent* event) {
    // A task screen that is left (hidden or closed, not minimised) brings the
    // menu back, unless another task screen is still up.
    if (event->type() == QEvent::Hide && !event->spontaneous() && !ending_) {
        bool anotherUp = false;
        for (const auto& p : watched_)
            anotherUp = anotherUp || (p && p != watched && p->isVisible());
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
