#pragma once
#include "kv/gui/form.h"

class QPushButton;

namespace kv::shell {

class Workbench;

// Form3, the menu: the hub every task screen returns to.
class MenuScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit MenuScreen(Workbench& wb);

    // The workflow state is held in these two buttons' enabled state.
    bool spectrumStepOpen() const;
    bool setUpStepOpen() const;
    void setSpectrumStepOpen(bool open);
    void setSetUpStepOpen(bool open);

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    struct Controls {
        QPushButton* phantom;  // Command1
        QPushButton* spectrum; // Command2
        QPushButton* results;  // Command3
        QPushButton* airKerma; // Command4
        QPushButton* setUp;    // Command5
        QPushButton* exit;     // Command6
        QPushButton* method;   // Command7
    };
    Controls bind() const;
    Workbench& wb_;
    const Controls c_;
};

} // namespace kv::shell
