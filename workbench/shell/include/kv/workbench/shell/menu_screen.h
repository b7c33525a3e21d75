#pragma once
#include "kv/gui/form.h"

namespace kv::shell {

class Workbench;

// Form3, the menu: the hub every task screen returns to.
class MenuScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit MenuScreen(Workbench& wb);

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    Workbench& wb_;
};

} // namespace kv::shell
