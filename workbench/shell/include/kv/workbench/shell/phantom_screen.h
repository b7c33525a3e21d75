#pragma once
#include "kv/gui/form.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kv::shell {

class Workbench;

// Form1: thickness and glandular fraction of the phantom; "OK" writes
// Phantom.dat and opens the spectrum step on the menu.
class PhantomScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit PhantomScreen(Workbench& wb);

    // What the menu does before every showing: thickness 5 cm, fraction 50 %.
    void reset();
    // The text of the selected fraction entry ("10" .. "90").
    QString fraction() const;

  private:
    struct Controls {
        QLineEdit* thickness;     // Text31, cm
        QListWidget* fraction;    // List2, the glandular fraction
        gui::Canvas* sketch;      // Picture1
        QPushButton* composition; // Command1
        QPushButton* ok;          // Command3
        QPushButton* cancel;      // Command7
    };
    Controls bind() const;
    void accept();
    Workbench& wb_;
    const Controls c_;
};

} // namespace kv::shell
