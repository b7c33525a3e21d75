#pragma once
// What every program's main and every screen test does first.
#include <QApplication>
#include <QString>

class QWidget;

namespace kv::gui {

// Font substitutions, a fixed widget style, the default font, and the title
// that message boxes carry. The edition is the one the program was linked with.
void setUpApplication(const QString& title);
// What message boxes are titled with; window captions stay as the screens give them.
QString programTitle();

class Program {
  public:
    // `name` is the program's file name (e.g. "dorvel_en"), `title` what its
    // message boxes are titled with.
    Program(int& argc, char** argv, const QString& name, const QString& title);
    // Shows the first screen in front with the focus and runs until the end.
    int run(QWidget& first);
    QApplication& app() { return app_; }

  private:
    // Stands while the application is made: a display that is named but
    // cannot be opened ends the program with one line instead of an abort.
    struct PlatformFailureGuard {
        explicit PlatformFailureGuard(const QString& name);
    };
    PlatformFailureGuard guard_;
    QApplication app_;
};

// Shows a window in front of the others with the focus.
void showInFront(QWidget& w);

} // namespace kv::gui
