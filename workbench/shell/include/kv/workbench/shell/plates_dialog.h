#pragma once
#include "kv/gui/form.h"

#include <filesystem>

namespace kv::shell {

// The compression paddle and the breast support of the unit, kept in
// Geometry.dat of the working folder; reached from Form4's context menu.
// "OK" checks both thicknesses and replaces the file whole.
class PlatesDialog : public gui::Form {
    Q_OBJECT
  public:
    explicit PlatesDialog(std::filesystem::path workDir, QWidget* parent = nullptr);
    // Fills the fields from Geometry.dat; a refused file is told and the
    // usual plates are shown instead (OK then replaces the file).
    void fill();

  private:
    struct Controls {
        QLineEdit* paddleMm;        // Text1
        QComboBox* paddleMaterial;  // Combo1: polycarbonate, PMMA
        QLineEdit* supportMm;       // Text2
        QComboBox* supportMaterial; // Combo2
        QPushButton* ok;            // Command1
        QPushButton* cancel;        // Command2
    };
    Controls bind() const;
    void accept();
    std::filesystem::path workDir_;
    const Controls c_;
};

} // namespace kv::shell
