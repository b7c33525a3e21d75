#pragma once
#include "kv/gui/form.h"

#include <array>

class QPainter;

namespace kv::shell {

// The tissue-equivalent materials the glandular fractions stand for: density
// and mass fractions of the elements.
struct PhantomMaterial {
    int glandularPercent;
    double density; // g/cm^3
    double hydrogen, carbon, nitrogen, oxygen, phosphorus;
};

const std::array<PhantomMaterial, 11>& phantomMaterials();

// Draws the composition table into `area` (pixels).
void drawCompositionTable(QPainter& p, const QRectF& area);

// Form11: the composition table, opened beside the phantom screen.
class CompositionScreen : public gui::Form {
    Q_OBJECT
  public:
    CompositionScreen();

  private:
    struct Controls {
        gui::Canvas* table; // Picture1
        QPushButton* close; // Command1
    };
    Controls bind() const;
    const Controls c_;
};

} // namespace kv::shell
