#include "kv/gui/platform.h"

#include "kv/common/installation.h"
#include "kv/gui/program.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

namespace kv::gui {
namespace {

class ModalMessages : public MessageSink {
  public:
    void show(const QString& text, MessageIcon icon, const QString& detail) override {
        QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                        programTitle(), text, QMessageBox::Ok, QApplication::activeWindow());
        // Shown under the text, not behind a button: it is what the user acts on.
        if (!detail.isEmpty()) box.setInformativeText(detail);
        box.exec();
    }
    bool ask(const QString& text) override {
        QMessageBox box(QMessageBox::Question, programTitle(), text, QMessageBox::Yes | QMessageBox::No,
                        QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    QString chooseSaveFile(const QString& suggested, const QString& filter) override {
        // The overwrite question is ours, asked after the choice.
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), programTitle(), suggested, filter,
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    }
    QString chooseOpenFile(const QString& dir, const QString& filter) override {
        return QFileDialog::getOpenFileName(QApplication::activeWindow(), programTitle(), dir, filter);
    }
    QString chooseFolder(const QString& dir) override {
        return QFileDialog::getExistingDirectory(QApplication::activeWindow(), programTitle(), dir);
    }
};

class DetachedStarter : public ProgramStarter {
  public:
    bool start(const QString& name) override {
        // The programs lie side by side, wherever that is; the working folder is the shared one.
        const QString beside = QString::fromStdString((programDir() / name.toStdString()).string());
        return QProcess::startDetached(beside, {}, QDir::currentPath());
    }
};

ModalMessages modalMessages;
DetachedStarter detachedStarter;
MessageSink* currentSink = &modalMessages;
ProgramStarter* currentStarter = &detachedStarter;
BeepRecorder* currentBeeps = nullptr;

} // namespace

MessageSink& messages() {
    return *currentSink;
}
ProgramStarter& programs() {
    return *currentStarter;
}

MessageRecorder::MessageRecorder() : previous_(currentSink) {
    currentSink = this;
}
MessageRecorder::~MessageRecorder() {
    currentSink = previous_;
}

StartRecorder::StartRecorder() : previous_(currentStarter) {
    currentStarter = this;
}
StartRecorder::~StartRecorder() {
    currentStarter = previous_;
}

BeepRecorder::BeepRecorder() : previous_(currentBeeps) {
    currentBeeps = this;
}
BeepRecorder::~BeepRecorder() {
    currentBeeps = previous_;
}

void beep() {
    if (currentBeeps)
        ++currentBeeps->count;
    else
        QApplication::beep();
}

} // namespace kv::gui
