#pragma once
// A screen built from one geometry table: each row names a control (its
// objectName), its kind, its rectangle in twips, font, colours and text. The
// form's objectName is its form name, so tests find everything by name.
#include "kv/gui/canvas.h"
#include "kv/gui/decorations.h"
#include "kv/gui/qtext.h"
#include "kv/gui/twips.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace kv::gui {

class FileListBox;

enum class Kind {
    Label,
    Button,
    TextBox,
    Option,
    Check,
    Frame,
    ListBox,
    ComboBox,
    FileList,
    Picture, // a Canvas
    Line,    // a LineItem on the form: rect holds x1, y1, x2, y2
    Shape,   // a ShapeItem on the form
};

enum class Align { Left, Centre, Right };

struct Style {
    double pt = 0; // 0: the form's font size
    bool italic = false;
    bool bold = false;
    std::string_view family{}; // empty: the form's family
};

struct Control {
    std::string_view name;
    Kind kind = Kind::Label;
    Twips rect{}; // a Label of width 0 takes the size of its caption
    std::string_view text{};
    Style font{};
    std::optional<Colour> fore{}; // text, line or shape border colour
    std::optional<Colour> back{}; // face, background or shape fill
    Align align = Align::Left;
    std::string_view parent{}; // a Frame or Picture holding this control; rect is then inside it
    std::string_view tip{};
    int lineWidth = 1; // lines, shape borders
    ShapeKind shape = ShapeKind::Rectangle;
    bool border = false; // labels: single border; pictures: sunken border
    bool fit = false;    // labels, buttons: a caption wider than the rectangle gets a smaller font
};

enum class Placement { Centred, AtClientPosition };

struct Window {
    std::string_view name; // the form name
    std::string_view caption;
    int width = 0; // client area, twips
    int height = 0;
    Style font{9.75};
    Placement placement = Placement::Centred;
    int left = 0; // client position in twips for AtClientPosition
    int top = 0;
    std::optional<Colour> back{};
};

class Form : public QWidget, public DecorationHost {
    Q_OBJECT
  public:
    Form(const Window& window, std::span<const Control> controls, QWidget* parent = nullptr);

    // The control of that name; throws std::logic_error when it is missing or
    // of another type, which is a fault of the screen's code.
    template <class W = QWidget> W* find(std::string_view name) const {
        auto* w = findChild<W*>(qs(name));
        if (!w)
            throw std::logic_error("no control " + std::string(name) + " on " + objectName().toStdString());
        return w;
    }
    QLabel* label(std::string_view name) const;
    QPushButton* button(std::string_view name) const;
    QLineEdit* textBox(std::string_view name) const;
    QRadioButton* option(std::string_view name) const;
    QCheckBox* check(std::string_view name) const;
    QGroupBox* frame(std::string_view name) const;
    QListWidget* listBox(std::string_view name) const;
    QComboBox* comboBox(std::string_view name) const;
    FileListBox* fileList(std::string_view name) const;
    Canvas* picture(std::string_view name) const;
    LineItem* line(std::string_view name) const;
    ShapeItem* shape(std::string_view name) const;

    // The text of a label, button, text box, option, check box or frame, in
    // UTF-8 as the model and the texts hold it.
    void setText(std::string_view control, std::string_view utf8);
    std::string text(std::string_view control) const;

    // Runs `action` on a Click of the button.
    void onClick(std::string_view button, std::function<void()> action);
    void onClick(QPushButton* button, std::function<void()> action);

    const std::vector<Control>& controls() const { return table_; }
    // Puts the window where its placement says (centred or at its position)
    // and fits it to the desktop.
    void place();
    // Makes the window no larger than `available` (a desktop's free area):
    // the client area keeps its controls where they are and scrolls inside a
    // smaller window. A form that fits keeps its own size and no scroll bars.
    void fitInto(QSize available);
    // The client area as the screen's geometry gives it, in pixels.
    QSize clientSize() const;
    QScrollArea* scroller() const { return scroller_; }

    // The caption with `addition` after it (empty: the caption alone).
    void setCaptionAddition(const QString& addition);
    QString caption() const;

    QPointF unitsToPixels(QPointF twips) const override;
    // Controls, lines and shapes of the form lie on this client area.
    QWidget* surface() override { return client_; }

  private:
    void build(const Control& c);
    QWidget* buildLabel(const Control& c);
    QWidget* buildButton(const Control& c);
    QWidget* buildTextBox(const Control& c);
    QWidget* buildOption(const Control& c);
    QWidget* buildFrame(const Control& c);
    QWidget* buildFileList(const Control& c);
    QWidget* buildPicture(const Control& c);
    void buildDecoration(const Control& c);
    // Font, tip and rectangle, the same for every kind of widget.
    void finish(QWidget* w, const Control& c);
    QWidget* parentOf(const Control& c);

    Window window_;
    std::vector<Control> table_;
    QScrollArea* scroller_ = nullptr;
    QWidget* client_ = nullptr;
};

// The font a control of the table gets on a form with `formFont`.
QFont fontOf(const Style& control, const Style& formFont);
// The font, made smaller as far as needed for the text to fit the width.
QFont fontToFit(QFont font, const QString& text, int width);

} // namespace kv::gui
