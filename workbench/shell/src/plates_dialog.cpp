#include "kv/workbench/shell/plates_dialog.h"

#include "kv/gui/platform.h"
#include "kv/gui/qtext.h"
#include "kv/texts/setup.h"
#include "kv/workbench/shell/model/run_entries.h"

#include <QComboBox>
#include <QLineEdit>
#include <optional>
#include <string>

namespace kv::shell {

using namespace gui;

namespace {

// Wide enough for the longest material name of either edition ("PMMA（アクリル）").
constexpr int kComboWidth = 2760;

std::vector<Control> table() {
    const auto& t = texts::setUpTexts();
    auto label = [](const char* name, int left, int top, texts::Text text) {
        return Control{
            .name = name, .kind = Kind::Label, .rect = {left, top}, .text = text, .fore = colours::blue};
    };
    return {
        {.name = "Label1",
         .kind = Kind::Label,
         .rect = {240, 180, 5520, 330},
         .text = t.platesHeading,
         .fore = colours::blue,
         .fit = true},
        label("Label2", 240, 780, t.paddle),
        {.name = "Text1", .kind = Kind::TextBox, .rect = {2400, 720, 855, 375}},
        label("Label3", 3330, 780, t.plateMm),
        {.name = "Combo1", .kind = Kind::ComboBox, .rect = {3840, 720, kComboWidth, 375}},
        label("Label4", 240, 1380, t.support),
        {.name = "Text2", .kind = Kind::TextBox, .rect = {2400, 1320, 855, 375}},
        label("Label5", 3330, 1380, t.plateMm),
        {.name = "Combo2", .kind = Kind::ComboBox, .rect = {3840, 1320, kComboWidth, 375}},
        {.name = "Command1",
         .kind = Kind::Button,
         .rect = {3240, 2040, 1560, 495},
         .text = t.platesOk,
         .back = colours::buttonYellow},
        {.name = "Command2",
         .kind = Kind::Button,
         .rect = {5040, 2040, 1560, 495},
         .text = t.platesCancel,
         .back = colours::buttonYellow},
    };
}

} // namespace

PlatesDialog::PlatesDialog(std::filesystem::path workDir, QWidget* parent)
    : Form({.name = "FormPlates", .caption = texts::setUpTexts().plates, .width = 6840, .height = 2760},
           table(), parent),
      workDir_(std::move(workDir)), c_(bind()) {
    const auto& t = texts::setUpTexts();
    for (QComboBox* combo : {c_.paddleMaterial, c_.supportMaterial}) {
        combo->addItem(qs(t.polycarbonate));
        combo->addItem(qs(t.pmma));
    }
    onClick(c_.ok, [this] { accept(); });
    onClick(c_.cancel, [this] { hide(); });
}

PlatesDialog::Controls PlatesDialog::bind() const {
    return {.paddleMm = textBox("Text1"),
            .paddleMaterial = comboBox("Combo1"),
            .supportMm = textBox("Text2"),
            .supportMaterial = comboBox("Combo2"),
            .ok = button("Command1"),
            .cancel = button("Command2")};
}

void PlatesDialog::fill() {
    std::optional<std::string> fault;
    const PlateEntries e = openingPlates(workDir_, &fault, texts::settingsFileTextsOf(texts::edition()));
    if (fault) showMessage(qs(*fault));
    c_.paddleMm->setText(qs(e.paddleMm));
    c_.supportMm->setText(qs(e.supportMm));
    c_.paddleMaterial->setCurrentIndex(e.paddlePmma ? 1 : 0);
    c_.supportMaterial->setCurrentIndex(e.supportPmma ? 1 : 0);
}

void PlatesDialog::accept() {
    const auto& t = texts::setUpTexts();
    const PlateWords words{.paddle = t.paddle,
                           .support = t.support,
                           .mm = t.plateMm,
                           .outOfRange = t.plateOutOfRange,
                           .numbers = texts::typedNumberTexts(),
                           .files = texts::settingsFileTextsOf(texts::edition())};
    // The combo boxes list polycarbonate, then PMMA.
    const PlateEntries e{.paddleMm = c_.paddleMm->text().toStdString(),
                         .paddlePmma = c_.paddleMaterial->currentIndex() == 1,
                         .supportMm = c_.supportMm->text().toStdString(),
                         .supportPmma = c_.supportMaterial->currentIndex() == 1};
    if (const auto refused = acceptPlates(workDir_, e, words)) {
        showMessage(qs(refused->text), MessageIcon::Warning, qs(refused->detail));
        return;
    }
    hide();
}

} // namespace kv::shell
