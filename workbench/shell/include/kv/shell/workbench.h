#pragma once
// The hub of the dose workbench: its screens (each created once, on first
// use, and only hidden afterwards), the menu, and the working order phantom ->
// spectrum -> simulation held in the enabled state of two menu buttons.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace kv::shell {

enum class WorkflowState { AwaitingPhantom, AwaitingSpectrum, ReadyToSimulate };

class MenuScreen;
class Workbench;

// Opens a task screen as the menu's button asks (creating it on first use,
// resetting what the menu resets, showing it) and returns it. The menu hides
// itself and shows again when that screen is hidden.
using OpenTaskScreen = std::function<QWidget*(Workbench&)>;

struct TaskScreens {
    OpenTaskScreen phantom; // Form1, "Phantom model setting"
    OpenTaskScreen setUp;   // Form4, "Monte Carlo simulation"
    OpenTaskScreen results; // Form2, "Simulation results"
};

class Workbench : public QObject {
    Q_OBJECT
  public:
    // workDir: the shared working directory (the current one in the programs).
    explicit Workbench(const QString& workDir);
    ~Workbench() override;

    const QString& workDir() const { return workDir_; }
    TaskScreens& taskScreens() { return tasks_; }
    MenuScreen& menu();

    WorkflowState state() const;
    // "OK" on the phantom screen has written the phantom file.
    void phantomAccepted();
    // "Simulation Start" on the set-up screen has started an engine.
    void simulationStarted();
    // The menu's spectrum button: starts the spectrum tool of this edition.
    void startSpectrumTool();

    void openTask(const OpenTaskScreen& open);
    void showMenu();

    // The one instance of a screen, created on first use with (Workbench&)
    // or without arguments. Screens live as long as the workbench.
    template <class S> S& screen() {
        auto& slot = screens_[std::type_index(typeid(S))];
        if (!slot) {
            if constexpr (std::is_constructible_v<S, Workbench&>)
                slot = new S(*this);
            else
                slot = new S();
        }
        return static_cast<S&>(*slot);
    }
    // Shows a reference screen beside the screen that asked for it.
    template <class S> S& showReference() {
        S& s = screen<S>();
        showBeside(s);
        return s;
    }

    // Deletes the per-run input files and ends the program; closing the menu
    // does the same.
    void end();
    bool ending() const { return ending_; }
    // How the program ends once the files are gone; tests record it instead.
    std::function<void()> endProgram;

    // The per-run input files, deleted in this order when the workbench ends.
    static const std::vector<QString>& perRunFiles();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showBeside(QWidget& w);

    QString workDir_;
    TaskScreens tasks_;
    std::unordered_map<std::type_index, QWidget*> screens_;
    std::unique_ptr<MenuScreen> menu_;
    std::vector<QPointer<QWidget>> watched_;
    bool ending_ = false;
    QElapsedTimer spectrumStarted_;
};

} // namespace kv::shell
