#include "kv/workbench/shell/phantom_screen.h"

#include "kv/gui/platform.h"
#include "kv/gui/program.h"
#include "kv/gui/qtext.h"
#include "kv/texts/phantom.h"
#include "kv/workbench/shell/composition_screen.h"
#include "kv/workbench/shell/drawings.h"
#include "kv/workbench/shell/model/run_entries.h"
#include "kv/workbench/shell/workbench.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <filesystem>

namespace kv::shell {

using namespace gui;

namespace {

std::vector<Control> table() {
    const auto& t = texts::phantomTexts();
    const Style label{15.75};
    const Style small{14.25};
    auto sizeRow = [&](const char* axis, const char* value, const char* unit, const char* extra,
                       texts::Text axisText, int y) {
        std::vector<Control> row{
            {.name = axis, .kind = Kind::Label, .rect = {1080, y}, .text = axisText, .font = label},
            {.name = value,
             .kind = Kind::Label,
             .rect = {1680, y - 120, 1095, 375},
             .text = t.fifteen,
             .font = label,
             .back = colours::white,
             .align = Align::Centre,
             .border = true},
            {.name = unit, .kind = Kind::Label, .rect = {2880, y}, .text = t.cmConstant, .font = label},
        };
        if (!t.constant.view().empty())
            row.push_back({.name = extra,
                           .kind = Kind::Label,
                           .rect = {t.constantLeft, y},
                           .text = t.constant,
                           .font = label});
        return row;
    };
    std::vector<Control> rows{
        {.name = "Label3",
         .kind = Kind::Label,
         .rect = {360, 240},
         .text = t.heading,
         .font = {20.25},
         .fore = colours::blue},
        {.name = "Command1",
         .kind = Kind::Button,
         .rect = {2520, 720, 1815, 435},
         .text = t.composition,
         .font = small,
         .back = colours::buttonYellow},
        {.name = "Label45",
         .kind = Kind::Label,
         .rect = {720, 1200},
         .text = t.sizeHeading,
         .font = label,
         .fore = colours::blue},
    };
    for (auto&& r : sizeRow("Label46", "Label6", "Label5", "Label1", t.xIs, 1800))
        rows.push_back(r);
    for (auto&& r : sizeRow("Label47", "Label7", "Label8", "Label2", t.yIs, 2400))
        rows.push_back(r);
    const std::vector<Control> rest{
        {.name = "Label48", .kind = Kind::Label, .rect = {1080, 3000}, .text = t.zIs, .font = label},
        {.name = "Text31", .kind = Kind::TextBox, .rect = {1680, 2880, 1095, 450}, .font = label},
        {.name = "Label49", .kind = Kind::Label, .rect = {2880, 3000}, .text = t.cm, .font = label},
        {.name = "Label15", .kind = Kind::Label, .rect = {1680, 3360}, .text = t.upTo6, .font = small},
        {.name = "Label9",
         .kind = Kind::Label,
         .rect = {240, 3960},
         .text = t.fractionHeading,
         .font = label,
         .fore = colours::blue},
        {.name = "List2", .kind = Kind::ListBox, .rect = {1680, 4440, 1215, 1635}, .font = small},
        {.name = "Label11", .kind = Kind::Label, .rect = {3120, 5760}, .text = t.percent, .font = label},
        {.name = "Command3",
         .kind = Kind::Button,
         .rect = {480, 6360, 1575, 615},
         .text = t.ok,
         .font = small,
         .back = colours::buttonYellow},
        {.name = "Command7",
         .kind = Kind::Button,
         .rect = {2400, 6360, 1575, 615},
         .text = t.cancel,
         .font = small,
         .back = colours::buttonYellow},
        {.name = "Picture1",
         .kind = Kind::Picture,
         .rect = {4680, 480, 6240, 6375},
         .back = colours::white,
         .border = true},
    };
    rows.insert(rows.end(), rest.begin(), rest.end());
    return rows;
}

} // namespace

PhantomScreen::PhantomScreen(Workbench& wb)
    : Form({.name = "Form1", .caption = texts::phantomTexts().caption, .width = 11340, .height = 7425},
           table()),
      wb_(wb), c_(bind()) {
    QListWidget* list = c_.fraction;
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const char* f : fractionEntries())
        list->addItem(QString::fromLatin1(f));
    // A fraction is always chosen: a click that would clear the selection
    // selects the current entry again.
    connect(list, &QListWidget::itemSelectionChanged, list, [list] {
        if (list->selectedItems().isEmpty() && list->currentItem()) list->currentItem()->setSelected(true);
    });
    Canvas* sketch = c_.sketch;
    sketch->paintWith(
        [sketch](QPainter& p) { drawPhantomSketch(p, QRectF(QPointF(0, 0), sketch->innerRect().size())); });
    reset();
    onClick(c_.composition, [this] { wb_.showComposition(); });
    onClick(c_.ok, [this] { accept(); });
    onClick(c_.cancel, [this] { hide(); }); // the menu comes back; nothing is written
}

PhantomScreen::Controls PhantomScreen::bind() const {
    return {.thickness = textBox("Text31"),
            .fraction = listBox("List2"),
            .sketch = picture("Picture1"),
            .composition = button("Command1"),
            .ok = button("Command3"),
            .cancel = button("Command7")};
}

void PhantomScreen::reset() {
    c_.thickness->setText(QString::fromLatin1(kStartThickness));
    QListWidget* list = c_.fraction;
    const auto found = list->findItems(QString::fromLatin1(kStartFraction), Qt::MatchExactly);
    list->setCurrentItem(found.front());
    list->scrollToItem(found.front(), QAbstractItemView::PositionAtCenter);
}

QString PhantomScreen::fraction() const {
    const QListWidgetItem* item = c_.fraction->currentItem();
    return item ? item->text() : QString::fromLatin1(kStartFraction);
}

void PhantomScreen::accept() {
    const auto& t = texts::phantomTexts();
    const PhantomWords words{.thickness = t.thicknessField,
                             .cm = t.cm,
                             .notAFraction = {}, // the list holds only the nine entries
                             .cannotWrite = t.cannotWrite,
                             .numbers = texts::typedNumberTexts()};
    if (const auto refused = acceptPhantom(
            std::filesystem::path(wb_.workDir().toStdString()),
            {.fraction = fraction().toStdString(), .thickness = c_.thickness->text().toStdString()}, words)) {
        showMessage(qs(refused->text));
        return;
    }
    hide();
    wb_.phantomAccepted();
    wb_.showMenu();
}

} // namespace kv::shell
