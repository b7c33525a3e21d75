#pragma once
#include "kv/gui/form.h"

namespace kv::shell {

// Form10: how the air kerma is measured at the focus-to-chamber distance.
class AirKermaScreen : public gui::Form {
    Q_OBJECT
  public:
    AirKermaScreen();
};

// Form9 (Form8 in the Japanese edition): how the AGD is calculated.
class MethodScreen : public gui::Form {
    Q_OBJECT
  public:
    MethodScreen();
};

} // namespace kv::shell
