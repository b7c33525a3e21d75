#pragma once
// Form2, the spectrum tool's main window: tube parameters, the plot of the
// ray on the vertical line, "Draw spectrum", "Clear", "Determine" (writes
// P_SPCTL.dat and the equipment record, then the tool ends) and "Cancel"
// (deletes P_SPCTL.dat, then the tool ends).
//
//   SpectrumScreen screen(workDir);
//   if (!screen.start()) return 1;   // a data file or the record is unusable; the user was told
//   connect(&screen, &SpectrumScreen::ended, ...quit...);
#include "kv/formats/equipment_file.h"
#include "kv/formats/spectrum_file.h"
#include "kv/gui/form.h"
#include "kv/spectrum/model/beam_quality.h"
#include "kv/spectrum/model/physical_data.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

namespace kv::spectrum::ui {

class AngleDiagramScreen;

class SpectrumScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit SpectrumScreen(std::filesystem::path workDir, QWidget* parent = nullptr);
    ~SpectrumScreen() override;

    // Reads the data tables, draws the axes, reads the equipment record and
    // sets the start values. False, after a message naming the file, when a
    // file cannot be used; the tool then ends.
    bool start();

    TargetMaterial targetMaterial() const { return target_; }
    // The table of the last completed computation (what "Determine" writes).
    const SpectrumTable& spectrumTable() const { return table_; }
    // Null until "Angle relation diagram" first shows it.
    AngleDiagramScreen* angleDiagram() const { return diagram_.get(); }

  signals:
    // The tool has finished ("Determine", "Cancel" or the window closed).
    void ended();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void selectTarget(TargetMaterial target);
    void updateApparentAngle();
    bool drawSpectrum(); // false when refused or empty
    // Says why the typed fields cannot be drawn; false when they can.
    bool refuses(const SpectrumFields& typed) const;
    // The beam-quality labels for the table drawn last (blank without one);
    // after a draw a fault of Geometry.dat is told.
    void showBeamQuality(bool afterDraw);
    void matchHvl();
    // The paddle of Geometry.dat when Check1 is on; false for a fault of the
    // file, told when `tell`.
    bool paddle(std::optional<Transmission>& through, bool tell) const;
    void clearPlot();
    void determine();
    void cancel();
    void showAngleDiagram();
    void end();
    SpectrumFields fields() const;
    static std::string fieldText(const QLineEdit* field);

    struct Controls {
        QLineEdit* tubeVoltage;         // Text1
        QLineEdit* targetAngle;         // Text5
        QLineEdit* tubeTiltAngle;       // Text3
        QLineEdit* apparentAngle;       // Text6
        QLineEdit* beryllium;           // Text8
        QLineEdit* aluminum;            // Text2
        QLineEdit* molybdenum;          // Text10
        QLineEdit* rhodium;             // Text11
        QLineEdit* silver;              // Text9
        QLineEdit* airLayer;            // Text4
        QLineEdit* measuredHvl;         // Text12
        QRadioButton* molybdenumTarget; // Option1
        QRadioButton* tungstenTarget;   // Option2
        QRadioButton* rhodiumTarget;    // Option3
        QCheckBox* withPaddle;          // Check1
        QPushButton* draw;              // Command1
        QPushButton* clear;             // Command3
        QPushButton* determine;         // Command7
        QPushButton* cancel;            // Command4
        QPushButton* angleDiagram;      // Command2
        QPushButton* matchHvl;          // Command8
        gui::Canvas* plot;              // Picture3
        gui::Canvas* tubeIcon;          // Picture2
        gui::Canvas* spectrumIcon;      // Picture4
        QLabel* qualityHeading;         // Label37
        QLabel* firstHvl;               // Label42
        QLabel* secondHvl;              // Label43
        QLabel* homogeneity;            // Label44
        QLabel* meanEnergy;             // Label45
    };
    Controls bind() const;

    std::filesystem::path workDir_;
    const Controls c_;
    PhysicalData data_;
    formats::EquipmentRecord equipment_;
    SpectrumTable table_{};
    TargetMaterial target_ = TargetMaterial::Molybdenum;
    // What table_ was computed from (read as numbers), and the fields as they
    // stood then: "Determine" draws again first when the screen shows others.
    SpectrumFields drawnFields_;
    SpectrumFields drawnTyped_;
    TargetMaterial drawnTarget_ = TargetMaterial::Molybdenum;
    std::array<QLineEdit*, 2> angleFields_{}; // Text5, Text3: Enter and focus loss update Text6
    std::unique_ptr<AngleDiagramScreen> diagram_;
    bool ended_ = false;
};

} // namespace kv::spectrum::ui
