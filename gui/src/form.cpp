#include "kv/gui/form.h"

#include "kv/gui/file_list.h"
#include "kv/gui/qtext.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

namespace kv::gui {
namespace {

Qt::Alignment alignmentOf(Align a) {
    switch (a) {
    case Align::Left:
        return Qt::AlignLeft | Qt::AlignTop;
    case Align::Centre:
        return Qt::AlignHCenter | Qt::AlignTop;
    case Align::Right:
        return Qt::AlignRight | Qt::AlignTop;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

void setColour(QWidget* w, QPalette::ColorRole role, const std::optional<Colour>& c) {
    if (!c) return;
    QPalette pal = w->palette();
    pal.setColor(role, c->qt());
    w->setPalette(pal);
}

// The client area of a form: its controls, and its lines and shapes below them.
class ClientArea : public QWidget {
  public:
    ClientArea(DecorationHost& host, QWidget* parent) : QWidget(parent), host_(host) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        host_.paintDecorations(p);
    }

  private:
    DecorationHost& host_;
};

// A label never clips its caption: a font taller or wider than the label's
// rectangle (a Japanese font's strokes below the line) makes it grow, about
// the point its alignment keeps, so the text itself stays where it was.
void growToText(QLabel* l, Align align) {
    const QSize need =
        QFontMetrics(l->font()).size(0, l->text()) + QSize(2 * l->frameWidth(), 2 * l->frameWidth());
    QRect r = l->geometry();
    if (need.height() > r.height()) r.setHeight(need.height());
    const int extra = need.width() - r.width();
    if (extra > 0) {
        if (align == Align::Centre)
            r.adjust(-extra / 2, 0, extra - extra / 2, 0);
        else if (align == Align::Right)
            r.adjust(-extra, 0, 0, 0);
        else
            r.adjust(0, 0, extra, 0);
    }
    l->setGeometry(r);
}

// What a window manager's frame and title bar take, at most, on a desktop.
constexpr QSize kFrameAllowance(12, 40);

} // namespace

QFont fontToFit(QFont font, const QString& text, int width) {
    while (font.pixelSize() > 6 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

QFont fontOf(const Style& control, const Style& formFont) {
    const double pt = control.pt > 0 ? control.pt : formFont.pt;
    const std::string_view family = !control.family.empty()    ? control.family
                                    : !formFont.family.empty() ? formFont.family
                                                               : kSerif;
    return fontPt(pt, control.italic, control.bold, family);
}

Form::Form(const Window& window, std::span<const Control> controls, QWidget* parent)
    : QWidget(parent), window_(window), table_(controls.begin(), controls.end()) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setObjectName(qs(window.name));
    setWindowTitle(qs(window.caption));
    setFont(fontOf({}, window.font));
    if (window.back) {
        setColour(this, QPalette::Window, window.back);
        setAutoFillBackground(true);
    }
    // The controls sit on a client area of the form's own size; it scrolls
    // only when a desktop is too small for the whole form.
    scroller_ = new QScrollArea(this);
    scroller_->setObjectName(QStringLiteral("FormScroller"));
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(false);
    client_ = new ClientArea(*this, nullptr);
    client_->setObjectName(QStringLiteral("FormClient"));
    client_->setFixedSize(clientSize());
    scroller_->setWidget(client_);
    scroller_->viewport()->setAutoFillBackground(false);
    client_->setAutoFillBackground(false);
    fitInto(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    // Two controls of one name would leave a look-up to pick either: one
    // handler would then write into the other's control.
    for (auto c = table_.begin(); c != table_.end(); ++c)
        if (std::any_of(table_.begin(), c, [&](const Control& d) { return d.name == c->name; }))
            throw std::logic_error("two controls " + std::string(c->name) + " on " +
                                   std::string(window.name));
    for (const Control& c : table_)
        build(c);
    place();
}

QSize Form::clientSize() const {
    return {twipsToPixels(window_.width), twipsToPixels(window_.height)};
}

void Form::fitInto(QSize available) {
    const QSize client = clientSize();
    QSize room = available;
    if (available.width() < QWIDGETSIZE_MAX) room -= kFrameAllowance;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller_);
    QSize size = client;
    bool scrollX = client.width() > room.width();
    bool scrollY = client.height() > room.height();
    // A scroll bar in one direction takes room from the other.
    if (scrollX && client.height() + bar > room.height()) scrollY = true;
    if (scrollY && client.width() + bar > room.width()) scrollX = true;
    if (scrollX)
        size.setWidth(room.width());
    else if (scrollY)
        size.setWidth(client.width() + bar);
    if (scrollY)
        size.setHeight(room.height());
    else if (scrollX)
        size.setHeight(client.height() + bar);
    scroller_->setHorizontalScrollBarPolicy(scrollX ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    scroller_->setVerticalScrollBarPolicy(scrollY ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setFixedSize(size);
    scroller_->setGeometry(QRect(QPoint(0, 0), size));
}

void Form::place() {
    // The offscreen platform has no desktop, only a nominal screen: there the
    // form keeps its own size, as the screen tests measure it.
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && QGuiApplication::platformName() != QStringLiteral("offscreen"))
        fitInto(screen->availableGeometry().size());
    const QSize size = this->size();
    if (window_.placement == Placement::AtClientPosition) {
        setGeometry(QRect(toPixels(window_.left, window_.top), size));
        return;
    }
    if (screen) {
        const QRect avail = screen->availableGeometry();
        QPoint topLeft = avail.center() - QPoint(size.width() / 2, size.height() / 2);
        topLeft.setX(std::max(topLeft.x(), avail.left()));
        topLeft.setY(std::max(topLeft.y(), avail.top()));
        setGeometry(QRect(topLeft, size));
    }
}

void Form::setCaptionAddition(const QString& addition) {
    setWindowTitle(addition.isEmpty() ? qs(window_.caption)
                                      : qs(window_.caption) + QStringLiteral(" - ") + addition);
}

QString Form::caption() const {
    return qs(window_.caption);
}

QWidget* Form::parentOf(const Control& c) {
    return c.parent.empty() ? client_ : find<QWidget>(c.parent);
}

void Form::build(const Control& c) {
    QWidget* w = nullptr;
    switch (c.kind) {
    case Kind::Label:
        w = buildLabel(c);
        break;
    case Kind::Button:
        w = buildButton(c);
        break;
    case Kind::TextBox:
        w = buildTextBox(c);
        break;
    case Kind::Option:
    case Kind::Check:
        w = buildOption(c);
        break;
    case Kind::Frame:
        w = buildFrame(c);
        break;
    case Kind::ListBox:
        w = new QListWidget(parentOf(c));
        break;
    case Kind::ComboBox:
        w = new QComboBox(parentOf(c));
        break;
    case Kind::FileList:
        w = buildFileList(c);
        break;
    case Kind::Picture:
        w = buildPicture(c);
        break;
    case Kind::Line:
    case Kind::Shape:
        buildDecoration(c);
        return;
    }
    finish(w, c);
}

QWidget* Form::buildLabel(const Control& c) {
    auto* l = new QLabel(qs(c.text), parentOf(c));
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(alignmentOf(c.align));
    setColour(l, QPalette::WindowText, c.fore);
    if (c.back) {
        setColour(l, QPalette::Window, c.back);
        l->setAutoFillBackground(true);
    }
    if (c.border) {
        l->setFrameShape(QFrame::Box);
        l->setLineWidth(1);
        // A framed value sits in the middle of its box, clear of both edges.
        l->setAlignment((alignmentOf(c.align) & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    }
    return l;
}

QWidget* Form::buildButton(const Control& c) {
    auto* b = new QPushButton(qs(c.text), parentOf(c));
    setColour(b, QPalette::Button, c.back);
    setColour(b, QPalette::ButtonText, c.fore);
    b->setAutoDefault(false);
    return b;
}

QWidget* Form::buildTextBox(const Control& c) {
    auto* e = new QLineEdit(qs(c.text), parentOf(c));
    e->setAlignment(alignmentOf(c.align) & Qt::AlignHorizontal_Mask);
    setColour(e, QPalette::Base, c.back);
    setColour(e, QPalette::Text, c.fore);
    return e;
}

QWidget* Form::buildOption(const Control& c) {
    QWidget* o = c.kind == Kind::Option ? static_cast<QWidget*>(new QRadioButton(qs(c.text), parentOf(c)))
                                        : static_cast<QWidget*>(new QCheckBox(qs(c.text), parentOf(c)));
    setColour(o, QPalette::WindowText, c.fore);
    if (c.back) {
        setColour(o, QPalette::Window, c.back);
        o->setAutoFillBackground(true);
    }
    return o;
}

QWidget* Form::buildFrame(const Control& c) {
    auto* g = new QGroupBox(qs(c.text), parentOf(c));
    setColour(g, QPalette::WindowText, c.fore);
    if (c.back) {
        setColour(g, QPalette::Window, c.back);
        g->setAutoFillBackground(true);
    }
    return g;
}

QWidget* Form::buildFileList(const Control& c) {
    auto* f = new FileListBox(parentOf(c));
    if (!c.text.empty()) f->setPattern(qs(c.text));
    return f;
}

QWidget* Form::buildPicture(const Control& c) {
    auto* p = new Canvas(parentOf(c));
    p->setSunkenBorder(c.border);
    p->setGeometry(toPixels(c.rect));
    p->setBackground(c.back ? c.back->qt() : palette().color(QPalette::Window));
    if (c.fore) p->setForeground(c.fore->qt());
    return p;
}

void Form::buildDecoration(const Control& c) {
    DecorationHost* host = this;
    if (!c.parent.empty()) host = picture(c.parent);
    const QColor colour = c.fore ? c.fore->qt() : QColor(Qt::black);
    if (c.kind == Kind::Line) {
        auto* l = new LineItem(*host, qs(c.name));
        l->setEnds(c.rect.left, c.rect.top, c.rect.width, c.rect.height);
        l->setColour(colour);
        l->setWidth(c.lineWidth);
    } else {
        auto* s = new ShapeItem(*host, qs(c.name));
        s->setKind(c.shape);
        s->setBounds(c.rect.left, c.rect.top, c.rect.width, c.rect.height);
        s->setColour(colour);
        s->setWidth(c.lineWidth);
        if (c.back) s->setFill(c.back->qt());
    }
}

void Form::finish(QWidget* w, const Control& c) {
    const QFont font = fontOf(c.font, window_.font);
    w->setObjectName(qs(c.name));
    w->setFont(font);
    if (!c.tip.empty()) w->setToolTip(qs(c.tip));
    if (c.fit && c.rect.width > 0) {
        const int margin = c.kind == Kind::Button ? 10 : 0; // the button's frame and padding
        w->setFont(fontToFit(font, qs(c.text), twipsToPixels(c.rect.width) - margin));
    }
    if (c.kind == Kind::Label && c.rect.width == 0) {
        w->move(toPixels(c.rect.left, c.rect.top));
        w->adjustSize();
    } else {
        placeTwips(w, c.rect);
        if (c.kind == Kind::Label && !c.text.empty()) growToText(static_cast<QLabel*>(w), c.align);
    }
}

void Form::setText(std::string_view control, std::string_view utf8) {
    QWidget* w = find<QWidget>(control);
    const QString t = qs(utf8);
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(t);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(t);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(t);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(t);
    else
        throw std::logic_error(std::string(control) + " on " + objectName().toStdString() + " holds no text");
}

std::string Form::text(std::string_view control) const {
    QWidget* w = find<QWidget>(control);
    QString t;
    if (auto* l = qobject_cast<QLabel*>(w))
        t = l->text();
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        t = e->text();
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        t = b->text();
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        t = g->title();
    else
        throw std::logic_error(std::string(control) + " on " + objectName().toStdString() + " holds no text");
    return t.toStdString();
}

QLabel* Form::label(std::string_view name) const {
    return find<QLabel>(name);
}
QPushButton* Form::button(std::string_view name) const {
    return find<QPushButton>(name);
}
QLineEdit* Form::textBox(std::string_view name) const {
    return find<QLineEdit>(name);
}
QRadioButton* Form::option(std::string_view name) const {
    return find<QRadioButton>(name);
}
QCheckBox* Form::check(std::string_view name) const {
    return find<QCheckBox>(name);
}
QGroupBox* Form::frame(std::string_view name) const {
    return find<QGroupBox>(name);
}
QListWidget* Form::listBox(std::string_view name) const {
    return find<QListWidget>(name);
}
QComboBox* Form::comboBox(std::string_view name) const {
    return find<QComboBox>(name);
}
FileListBox* Form::fileList(std::string_view name) const {
    return find<FileListBox>(name);
}
Canvas* Form::picture(std::string_view name) const {
    return find<Canvas>(name);
}
LineItem* Form::line(std::string_view name) const {
    return find<LineItem>(name);
}
ShapeItem* Form::shape(std::string_view name) const {
    return find<ShapeItem>(name);
}

void Form::onClick(std::string_view name, std::function<void()> action) {
    onClick(button(name), std::move(action));
}

void Form::onClick(QPushButton* b, std::function<void()> action) {
    connect(b, &QPushButton::clicked, this, [a = std::move(action)] { a(); });
}

QPointF Form::unitsToPixels(QPointF twips) const {
    return twips / kTwipsPerPixel;
}

} // namespace kv::gui
