#pragma once
#include "kv/gui/form.h"

namespace kv::shell {

// Form10: how the air kerma is measured at the focus-to-chamber distance.
class AirKermaScreen : public gui::Form {
    Q_OBJECT
  public:
    AirKermaScreen();

  private:
    struct Controls {
        gui::Canvas* geometry; // Picture2
        QPushButton* close;    // Command1
    };
    Controls bind() const;
    const Controls c_;
};

// Form9 (Form8 in the Japanese edition): how the AGD is calculated.
class MethodScreen : public gui::Form {
    Q_OBJECT
  public:
    MethodScreen();

  private:
    struct Controls {
        gui::Canvas* geometry;   // Picture2
        gui::Canvas* sketch;     // Picture1, the phantom from the side
        gui::Canvas* plan;       // Picture3, the phantom from above
        gui::Canvas* depthCurve; // Picture4
        QPushButton* close;      // Command1
    };
    Controls bind() const;
    const Controls c_;
};

} // namespace kv::shell
