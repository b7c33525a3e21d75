#pragma once
#include "kv/gui/form.h"

namespace kv::launcher {

// Form7: offers the two editions of the dose workbench, starts the chosen one
// and ends.
class LauncherScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit LauncherScreen(QWidget* parent = nullptr);

  private:
    void startWorkbench(const char* program);
};

// The pink ribbon of the title, drawn into a picture of 72 x 92 pixels.
void drawRibbon(QPainter& p, const QRectF& area);

} // namespace kv::launcher
