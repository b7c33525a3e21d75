#pragma once
#include "kv/gui/form.h"
#include "kv/launcher/work_folder.h"

namespace kv::launcher {

// Form7: offers the two editions of the dose workbench, starts the chosen one
// in the working folder shown below them and ends.
class LauncherScreen : public gui::Form {
    Q_OBJECT
  public:
    explicit LauncherScreen(QWidget* parent = nullptr, Places places = defaultPlaces());

    const std::filesystem::path& workFolder() const { return workFolder_; }

  private:
    void startWorkbench(const char* program);
    void chooseWorkFolder();
    void showWorkFolder();

    Places places_;
    std::filesystem::path workFolder_; // for this session
    struct Controls {
        QLabel* notice;           // Label3, the version line
        QLabel* build;            // LabelBuild, beside it
        QLabel* workFolder;       // LabelWorkFolder
        QPushButton* otherFolder; // CommandWorkFolder
        QPushButton* japanese;    // Command1
        QPushButton* english;     // Command2
        gui::Canvas* ribbon;      // Picture1
    };
    Controls bind() const;
    const Controls c_;
};

// The pink ribbon of the title, drawn into a picture of 72 x 92 pixels.
void drawRibbon(QPainter& p, const QRectF& area);

} // namespace kv::launcher
