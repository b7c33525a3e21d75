#pragma once
#include "kv/formats/equipment_file.h"
#include "kv/gui/form.h"

#include <QStringList>
#include <memory>
#include <string>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kv::shell {

class Workbench;

// Form4: the data of one Monte Carlo run. Filled from the equipment record at
// every opening; "OK" writes MC.dat and the record; "Simulation Start" starts
// the engine of the exposure method and sends the menu back to the phantom.
class SetUpScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit SetUpScreen(Workbench& wb);

    // Reads the equipment record and resets every input. False, after a
    // message naming the file, when the record is missing or unusable; the
    // screen then stays as it was.
    bool fill();
    // The engine the selected exposure method needs.
    QString engine() const;
    // The paddle-and-support dialog once opened from the context menu, else null.
    QWidget* platesDialog() const { return plates_.get(); }

  private:
    struct Controls {
        QRadioButton* mammography;   // Option1
        QRadioButton* tomosynthesis; // Option2
        QLineEdit* equipmentName;    // Text6
        QLineEdit* fid;              // Text3, cm
        QLineEdit* fad;              // Text4, cm
        QLineEdit* angularRange;     // Text5, deg
        QLineEdit* histories;        // Text11
        QRadioButton* fcdEqualsFad;  // Option4
        QRadioButton* otherFcd;      // Option5
        QLineEdit* fcd;              // Text1, cm
        QLineEdit* resultName;       // Text12, without ".vesk"
        QLineEdit* sagdTarget;       // TextSagd, %
        QLineEdit* mapTarget;        // TextMapSigma, %
        QPushButton* geometry;       // Command1
        QPushButton* ok;             // Command5
        QPushButton* start;          // Command6
        QPushButton* cancel;         // Command4
        QLabel* sagdTargetLabel;     // LabelSagd
        QLabel* sagdTargetPercent;   // LabelSagdPercent
        QLabel* resultNameNote;      // Label7, "without extension"
        QLabel* scan;                // LabelScan, the scan of Geometry.dat
    };
    Controls bind() const;
    void accept();
    void startEngine();
    // What the inputs show, to tell whether they changed after "OK".
    QStringList shown() const;
    void showPlates();
    // With tomosynthesis chosen, the scan Geometry.dat describes; empty otherwise.
    void showScan();
    Workbench& wb_;
    const Controls c_;
    QStringList accepted_;
    std::unique_ptr<QWidget> plates_; // the paddle-and-support dialog, made at first use
    // The angles of the record: not shown, carried from reading to writing.
    formats::EquipmentRecord asRead_;
};

} // namespace kv::shell
