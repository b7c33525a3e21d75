#include "kv/workbench/shell/plates_dialog.h"

#include "kv/common/format.h"
#include "kv/common/typed_number.h"
#include "kv/formats/geometry_file.h"
#include "kv/gui/platform.h"
#include "kv/gui/qtext.h"
#include "kv/texts/setup.h"

#include <QComboBox>
#include <QLineEdit>
#include <cmath>

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

// The combo boxes list the materials in this order.
constexpr formats::PlateMaterial kMaterials[] = {formats::PlateMaterial::Polycarbonate,
                                                 formats::PlateMaterial::Pmma};

} // namespace

PlatesDialog::PlatesDialog(std::filesystem::path workDir, QWidget* parent)
    : Form({.name = "FormPlates", .caption = texts::setUpTexts().plates, .width = 6840, .height = 2760},
           table(), parent),
      workDir_(std::move(workDir)) {
    const auto& t = texts::setUpTexts();
    for (const char* combo : {"Combo1", "Combo2"}) {
        comboBox(combo)->addItem(qs(t.polycarbonate));
        comboBox(combo)->addItem(qs(t.pmma));
    }
    onClick("Command1", [this] { accept(); });
    onClick("Command2", [this] { hide(); });
}

void PlatesDialog::fill() {
    formats::Geometry g;
    try {
        g = formats::readGeometry(workDir_);
    } catch (const RecordError& e) {
        showMessage(qs(formats::describe(e, texts::settingsFileTextsOf(texts::edition()))));
    }
    setText("Text1", plainDecimal(g.paddleMm));
    setText("Text2", plainDecimal(g.supportMm));
    comboBox("Combo1")->setCurrentIndex(g.paddleMaterial == kMaterials[0] ? 0 : 1);
    comboBox("Combo2")->setCurrentIndex(g.supportMaterial == kMaterials[0] ? 0 : 1);
}

void PlatesDialog::accept() {
    const auto& t = texts::setUpTexts();
    formats::Geometry g;
    struct Plate {
        const char* field;
        texts::Text caption;
        double* mm;
    };
    for (const Plate& p : {Plate{"Text1", t.paddle, &g.paddleMm}, Plate{"Text2", t.support, &g.supportMm}}) {
        const TypedNumber v = readTypedNumber(text(p.field), NumberRange{0, formats::kMaxPlateMm});
        if (!v.ok()) {
            showMessage(qs(t.plateOutOfRange).arg(qs(p.caption)), MessageIcon::Warning,
                        qs(typedNumberMessage(v, p.caption, t.plateMm, texts::typedNumberTexts())));
            return;
        }
        *p.mm = v.value;
    }
    g.paddleMaterial = kMaterials[comboBox("Combo1")->currentIndex() == 1 ? 1 : 0];
    g.supportMaterial = kMaterials[comboBox("Combo2")->currentIndex() == 1 ? 1 : 0];
    try {
        formats::writeGeometry(workDir_, g);
    } catch (const RecordError& e) {
        showMessage(qs(formats::describe(e, texts::settingsFileTextsOf(texts::edition()))));
        return;
    }
    hide();
}

} // namespace kv::shell
