#pragma once
// The hub of the dose workbench: the menu and every screen it opens (each
// created on first use and only hidden afterwards), and the working order
// phantom -> spectrum -> simulation held in the enabled state of two menu
// buttons.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

namespace kv::results {
class ResultsScreen;
}

namespace kv::shell {

enum class WorkflowState { AwaitingPhantom, AwaitingSpectrum, ReadyToSimulate };

class AirKermaScreen;
class CompositionScreen;
class MenuScreen;
class MethodScreen;
class PhantomScreen;
class SetUpScreen;

class Workbench : public QObject {
    Q_OBJECT
  public:
    // workDir: the shared working directory (the current one in the programs).
    explicit Workbench(const QString& workDir);
    ~Workbench() override;

    const QString& workDir() const { return workDir_; }

    // The screens, each made at its first use; they live as long as the workbench.
    MenuScreen& menu();                // Form3
    PhantomScreen& phantom();          // Form1
    SetUpScreen& setUp();              // Form4
    results::ResultsScreen& results(); // Form2 with Form5, Form6 and Form7
    CompositionScreen& composition();  // Form11
    AirKermaScreen& airKerma();        // Form10
    MethodScreen& method();            // Form9 (Form8 in the Japanese edition)

    // The menu's task buttons: each resets or fills its screen as the menu
    // does, shows it and hides the menu until the screen is left.
    void openPhantom();
    void openSetUp(); // nothing but the message when the equipment record is unusable
    void openResults();
    // Reference screens open beside the screen that asked for them.
    void showComposition();
    void showAirKerma();
    void showMethod();

    WorkflowState state() const;
    // "OK" on the phantom screen has written the phantom file.
    void phantomAccepted();
    // "Simulation Start" on the set-up screen has started an engine.
    void simulationStarted();
    // The menu's spectrum button: starts the spectrum tool of this edition.
    void startSpectrumTool();

    void showMenu();

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
    // The task screen replaces the menu until it is hidden.
    void replaceMenuWith(QWidget& task);

    QString workDir_;
    std::unique_ptr<MenuScreen> menu_;
    std::unique_ptr<PhantomScreen> phantom_;
    std::unique_ptr<SetUpScreen> setUp_;
    std::unique_ptr<results::ResultsScreen> results_;
    std::unique_ptr<CompositionScreen> composition_;
    std::unique_ptr<AirKermaScreen> airKerma_;
    std::unique_ptr<MethodScreen> method_;
    std::vector<QWidget*> tasks_; // the task screens opened so far, watched for leaving
    bool ending_ = false;
    QElapsedTimer spectrumStarted_;
};

} // namespace kv::shell
