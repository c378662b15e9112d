// Widgets of the simple control kinds and how the model is handed to them:
// geometry, look (colours, fonts, frames), value and mode. User input from
// the widgets enters through the User* functions of UiCtrl.cpp.
#include "platform/ui/UiModel.h"
#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "platform/CLocale.h"

namespace cz::ui {

namespace {

// Numeric entry: shows the model's value with its precision and format;
// the range is enforced by the run-time, not by the widget.
class NumericSpin : public QDoubleSpinBox {
public:
    NumericSpin(int panel, int control, QWidget* parent)
        : QDoubleSpinBox(parent), panel_(panel), control_(control)
    {
        setLocale(QLocale::c());
        setDecimals(15);
        setRange(-1.0e300, 1.0e300);
        setKeyboardTracking(false);
        setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    }
    QString textFromValue(double v) const override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c) return QString::number(v);
        return QStr(FormatShownNumber(*c, v));
    }
    double valueFromText(const QString& text) const override
    {
        return cz::StrtodC(text.trimmed().toLatin1().constData(), nullptr);
    }
    QValidator::State validate(QString& text, int&) const override
    {
        QByteArray b = text.trimmed().toLatin1();
        if (b.isEmpty() || b == "-" || b == "+" || b == "." || b.endsWith('e') || b.endsWith('E'))
            return QValidator::Intermediate;
        char* end = nullptr;
        const double v = cz::StrtodC(b.constData(), &end);
        return end && *end == 0 && std::isfinite(v) ? QValidator::Acceptable : QValidator::Invalid;
    }

private:
    int panel_, control_;
};

// Text box that reports the user's edit when it loses the focus. Tab and
// Shift+Tab move the focus on, as in every other field; no box of the
// program takes tab characters.
class TextBoxEdit : public QPlainTextEdit {
public:
    TextBoxEdit(int panel, int control, QWidget* parent)
        : QPlainTextEdit(parent), panel_(panel), control_(control)
    {
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setTabChangesFocus(true);
    }
    bool userEdited = false;

protected:
    void focusOutEvent(QFocusEvent* e) override
    {
        QPlainTextEdit::focusOutEvent(e);
        if (!userEdited) return;
        userEdited = false;
        if (Ctrl* c = FindCtrl(panel_, control_)) UserSetText(*c, StdStr(toPlainText()), true);
    }

private:
    int panel_, control_;
};

int DefaultHeight(int kind)
{
    switch (kind) {
    case CTRL_TEXT_BOX: return 80;
    case CTRL_TREE: case CTRL_TABLE: return 150;
    case CTRL_GRAPH: case CTRL_TAB: return 200;
    case CTRL_CANVAS: case CTRL_PICTURE: case CTRL_DECORATION: return 100;
    case CTRL_COMMAND_BUTTON: case CTRL_PICTURE_BUTTON: case CTRL_TOGGLE_BUTTON: return 24;
    case CTRL_CHECK_BOX: case CTRL_RADIO_BUTTON: case CTRL_LED: return 16;
    case CTRL_NUMERIC_HSLIDE: return 20;
    default: return 20;
    }
}

int DefaultWidth(int kind)
{
    switch (kind) {
    case CTRL_NUMERIC: return 80;
    case CTRL_TEXT_BOX: case CTRL_TREE: return 200;
    case CTRL_TABLE: case CTRL_GRAPH: case CTRL_TAB: return 300;
    case CTRL_CANVAS: case CTRL_PICTURE: case CTRL_DECORATION: return 100;
    case CTRL_COMMAND_BUTTON: case CTRL_TOGGLE_BUTTON: return 80;
    case CTRL_PICTURE_BUTTON: return 26;
    case CTRL_LED: return 16;
    case CTRL_NUMERIC_HSLIDE: return 150;
    default: return 120;
    }
}

bool LabelInside(int kind)
{
    return kind == CTRL_COMMAND_BUTTON || kind == CTRL_CHECK_BOX || kind == CTRL_RADIO_BUTTON ||
           kind == CTRL_TEXT_MSG || kind == CTRL_PICTURE_BUTTON || kind == CTRL_TOGGLE_BUTTON;
}

QFont MakeFont(const AttrMap& look, int fontAttr, int sizeAttr, int boldAttr, int italicAttr,
               int underlineAttr, int strikeAttr, const std::string& defaultFont)
{
    QFont f = RuntimeFont(LookText(look, fontAttr, defaultFont), LookInt(look, sizeAttr, 13));
    f.setBold(LookInt(look, boldAttr, 0) != 0);
    if (italicAttr) f.setItalic(LookInt(look, italicAttr, 0) != 0);
    if (underlineAttr) f.setUnderline(LookInt(look, underlineAttr, 0) != 0);
    if (strikeAttr) f.setStrikeOut(LookInt(look, strikeAttr, 0) != 0);
    return f;
}

Qt::Alignment Justify(int j)
{
    switch (j) {
    case VAL_RIGHT_JUSTIFIED: return Qt::AlignRight | Qt::AlignVCenter;
    case VAL_CENTER_JUSTIFIED: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// The colours the platform draws a disabled control with: its text and,
// for the entry kinds (string, numeric, text box, ring), its field.
QString DisabledTextCss(QPalette::ColorRole role)
{
    return QApplication::palette().color(QPalette::Disabled, role).name();
}

// The rule that a dimmed control (or one on a dimmed panel) follows: a
// widget's own colours would otherwise hide that it takes no input.
QString DimmedRule(const char* selector, QPalette::ColorRole text, bool field)
{
    QString rule = QStringLiteral("%1:disabled{color:%2;").arg(QLatin1String(selector), DisabledTextCss(text));
    if (field) rule += QStringLiteral("background-color:%1;").arg(DisabledTextCss(QPalette::Base));
    return rule + QLatin1Char('}');
}

// A command button's caption colour (label colour, else text colour) and its
// face in ATTR_BACKCOLOR: a raised face a shade lighter at the top, darker
// while pressed; a transparent face shows only the caption or picture. A
// dimmed button keeps its face and greys its caption.
QString ButtonCss(const AttrMap& look)
{
    QString rule;
    if (look.count(ATTR_LABEL_COLOR)) rule += QStringLiteral("color:%1;").arg(ColorCss(LookInt(look, ATTR_LABEL_COLOR, 0)));
    else if (look.count(ATTR_TEXT_COLOR)) rule += QStringLiteral("color:%1;").arg(ColorCss(LookInt(look, ATTR_TEXT_COLOR, 0)));
    const QString dimmed = DimmedRule("QPushButton", QPalette::ButtonText, false);
    if (!look.count(ATTR_BACKCOLOR)) return rule.isEmpty() ? rule : QStringLiteral("QPushButton{%1}%2").arg(rule, dimmed);
    const int face = LookInt(look, ATTR_BACKCOLOR, 0xC0C0C0);
    if (face & VAL_TRANSPARENT)
        return QStringLiteral("QPushButton{%1background-color:transparent;border:none;}"
                              "QPushButton:pressed{border:1px solid #808080;}%2")
            .arg(rule, dimmed);
    const QColor base = QColor::fromRgb(QRgb(face & 0xFFFFFF));
    const QString light = base.lighter(115).name(), dark = base.darker(150).name(), down = base.darker(115).name();
    return QStringLiteral("QPushButton{%1background-color:qlineargradient(x1:0,y1:0,x2:0,y2:1,stop:0 %2,stop:1 %3);"
                          "border:1px solid %4;border-radius:2px;padding:1px 4px;}"
                          "QPushButton:pressed{background-color:%5;}%6")
        .arg(rule, light, base.name(), dark, down, dimmed);
}

} // namespace

void CreateCtrlWidget(Panel& p, Ctrl& c)
{
    QWidget* host = p.client;
    const int ph = p.handle, id = c.id;
    QWidget* w = nullptr;
    switch (c.kind) {
    case CTRL_STRING: {
        auto* e = new QLineEdit(host);
        QObject::connect(e, &QLineEdit::editingFinished, e, [ph, id, e] {
            Ctrl* k = FindCtrl(ph, id);
            if (k && StdStr(e->text()) != k->text) UserSetText(*k, StdStr(e->text()), true);
        });
        w = e;
        break;
    }
    case CTRL_NUMERIC: {
        auto* s = new NumericSpin(ph, id, host);
        QObject::connect(s, &QDoubleSpinBox::valueChanged, s, [ph, id, s](double v) {
            Ctrl* k = FindCtrl(ph, id);
            if (!k) return;
            // Confirming the shown text unchanged keeps the full value: the
            // display rounds to the precision, the model does not.
            const std::string shown = FormatShownNumber(*k, k->num);
            if (s->cleanText().trimmed() == QStr(shown).trimmed() && FormatShownNumber(*k, v) == shown) {
                ApplyValue(*k);
                return;
            }
            UserSetNumeric(*k, v, true);
        });
        w = s;
        break;
    }
    case CTRL_NUMERIC_HSLIDE: w = NewSlideWidget(ph, id, host); break;
    case CTRL_LED: w = NewLedWidget(ph, id, host); break;
    case CTRL_RING: {
        auto* cb = new QComboBox(host);
        QObject::connect(cb, &QComboBox::activated, cb, [ph, id](int index) {
            if (Ctrl* k = FindCtrl(ph, id)) UserChooseIndex(*k, index);
        });
        w = cb;
        break;
    }
    case CTRL_TEXT_BOX: {
        auto* t = new TextBoxEdit(ph, id, host);
        QObject::connect(t, &QPlainTextEdit::textChanged, t, [t] {
            if (t->hasFocus()) t->userEdited = true;
        });
        w = t;
        break;
    }
    case CTRL_TEXT_MSG: w = new QLabel(host); break;
    case CTRL_DECORATION: {
        auto* f = new QFrame(host);
        f->setFrameShape(QFrame::Box);
        w = f;
        break;
    }
    case CTRL_PICTURE: w = new QLabel(host); break;
    case CTRL_COMMAND_BUTTON:
    case CTRL_PICTURE_BUTTON:
    case CTRL_TOGGLE_BUTTON: {
        auto* b = new QPushButton(host);
        b->setCheckable(c.kind == CTRL_TOGGLE_BUTTON);
        QObject::connect(b, &QPushButton::clicked, b, [ph, id](bool checked) {
            const int data1 = RT().pressData;
            Ctrl* k = FindCtrl(ph, id);
            if (!k) return;
            if (k->kind == CTRL_TOGGLE_BUTTON) {
                UserSetNumeric(*k, checked ? 1.0 : 0.0, true);
                return;
            }
            if (!UserCanOperate(*k)) return;
            // A command works on what the tables hold: a cell still being
            // typed in is committed first, as before a menu command (a press
            // by its shortcut key takes no focus from the cell). The commit's
            // callback may dim or discard the button. While a callback runs
            // (a build polling Stop) the press only waits in the queue.
            if (RT().callbackDepth == 0) SubmitOpenTableEditors();
            k = FindCtrl(ph, id);
            if (k && UserCanOperate(*k)) RaiseCtrlEvent(ph, id, EVENT_COMMIT, data1, 0);
        });
        w = b;
        break;
    }
    case CTRL_CHECK_BOX:
    case CTRL_RADIO_BUTTON: {
        QAbstractButton* b = c.kind == CTRL_CHECK_BOX ? static_cast<QAbstractButton*>(new QCheckBox(host))
                                                      : new QRadioButton(host);
        b->setAutoExclusive(false);
        QObject::connect(b, &QAbstractButton::clicked, b, [ph, id](bool checked) {
            if (Ctrl* k = FindCtrl(ph, id)) UserSetNumeric(*k, checked ? 1.0 : 0.0, true);
        });
        w = b;
        break;
    }
    case CTRL_TREE: w = NewTreeWidget(ph, id, host); break;
    case CTRL_TABLE: w = NewTableWidget(ph, id, host); break;
    case CTRL_GRAPH: w = NewGraphWidget(ph, id, host); break;
    case CTRL_CANVAS: w = NewCanvasWidget(ph, id, host); break;
    case CTRL_TAB: {
        auto* t = new QTabWidget(host);
        QObject::connect(t, &QTabWidget::tabBarClicked, t, [ph, id](int index) {
            Ctrl* k = FindCtrl(ph, id);
            if (!k || index < 0 || !UserCanOperate(*k) || index == k->tab.active) return;
            int old = k->tab.active;
            k->tab.active = index;
            RaiseCtrlEvent(ph, id, EVENT_ACTIVE_TAB_CHANGE, old, index);
        });
        w = t;
        break;
    }
    default: w = new QWidget(host); break;
    }
    c.widget = w;
    if (c.height <= 0) c.height = DefaultHeight(c.kind);
    if (c.width <= 0) c.width = DefaultWidth(c.kind);
    if (!LabelInside(c.kind)) c.labelWidget = new QLabel(host);
    ApplyLook(c);
    ApplyValue(c);
    ApplyMode(c);
    // A control copied hidden (a tab page made from a panel) stays hidden:
    // ApplyGeometry hid it explicitly, so showing its panel leaves it so.
    ApplyGeometry(c);
}

void DestroyCtrlWidget(Ctrl& c)
{
    FocusQuiet quiet;
    if (c.widget) {
        c.widget->hide();
        c.widget->deleteLater();
    }
    if (c.labelWidget) {
        c.labelWidget->hide();
        c.labelWidget->deleteLater();
    }
}

void PlaceLabel(Ctrl& c)
{
    if (!c.labelWidget) return;
    QLabel* l = c.labelWidget;
    l->setText(MnemonicLabel(c.label));
    if (c.widget && l->buddy() != c.widget) l->setBuddy(c.widget);
    l->adjustSize();
    int lt = c.labelTop != INT_MIN ? c.labelTop : c.top - l->height() - 1;
    int ll = c.labelLeft != INT_MIN ? c.labelLeft : c.left;
    l->move(ll, lt);
    l->setVisible(c.visible && !c.label.empty() && LookInt(c.look, ATTR_LABEL_VISIBLE, 1));
}

void ApplyGeometry(Ctrl& c)
{
    if (!c.widget) return;
    FocusQuiet quiet; // hiding the focused control hands the focus on
    int width = std::max(0, c.width);
    // A check box's or radio button's label runs as far as its text.
    if (c.kind == CTRL_CHECK_BOX || c.kind == CTRL_RADIO_BUTTON) width = std::max(width, c.widget->sizeHint().width());
    c.widget->setGeometry(c.left, c.top, width, std::max(0, c.height));
    // A control hidden while it holds the focus (a table that a redraw
    // hides while its rows are rewritten) takes it back when it is shown
    // again, unless the focus has gone elsewhere on purpose meanwhile.
    if (!c.visible) {
        QWidget* focus = QApplication::focusWidget();
        const bool holds = focus && (focus == c.widget || c.widget->isAncestorOf(focus));
        c.widget->setVisible(false);
        if (holds) {
            c.refocusWhenShown = true;
            c.focusWhenShown = QApplication::focusWidget();
        }
    } else {
        const bool takeBack = c.refocusWhenShown && QApplication::focusWidget() == c.focusWhenShown.data();
        c.refocusWhenShown = false;
        c.focusWhenShown = nullptr;
        c.widget->setVisible(true);
        if (takeBack) c.widget->setFocus(Qt::OtherFocusReason);
    }
    PlaceLabel(c);
}

void ApplyLook(Ctrl& c)
{
    QWidget* w = c.widget;
    if (!w) return;
    const AttrMap& look = c.look;
    QFont tf = MakeFont(look, ATTR_TEXT_FONT, ATTR_TEXT_POINT_SIZE, ATTR_TEXT_BOLD, ATTR_TEXT_ITALIC,
                        ATTR_TEXT_UNDERLINE, ATTR_TEXT_STRIKEOUT, "NIDialog");
    w->setFont(tf);
    const bool isText = c.kind == CTRL_TEXT_MSG || c.kind == CTRL_DECORATION || c.kind == CTRL_PICTURE;
    int textColor = LookInt(look, ATTR_TEXT_COLOR, 0x000000);
    int bg = LookInt(look, ATTR_TEXT_BGCOLOR, isText ? VAL_TRANSPARENT : 0xFFFFFF);
    int frame = LookInt(look, ATTR_FRAME_COLOR, 0xA0A0A0);
    QString css;
    switch (c.kind) {
    case CTRL_STRING: case CTRL_NUMERIC: case CTRL_TEXT_BOX: case CTRL_RING:
        css = QStringLiteral("*{color:%1;background-color:%2;border:%3;}")
                  .arg(ColorCss(textColor), ColorCss(bg),
                       (frame & VAL_TRANSPARENT) ? QStringLiteral("none")
                                                 : QStringLiteral("1px solid ") + ColorCss(frame)) +
              DimmedRule("*", QPalette::Text, true);
        break;
    case CTRL_TEXT_MSG:
        css = QStringLiteral("*{color:%1;background-color:%2;}").arg(ColorCss(textColor), ColorCss(bg)) +
              DimmedRule("*", QPalette::WindowText, false);
        static_cast<QLabel*>(w)->setAlignment(Justify(LookInt(look, ATTR_TEXT_JUSTIFY, 0)));
        break;
    case CTRL_DECORATION:
        css = QStringLiteral("QFrame{background-color:%1;border:1px solid %2;}")
                  .arg(ColorCss(LookInt(look, ATTR_BACKCOLOR, VAL_TRANSPARENT)), ColorCss(frame));
        break;
    case CTRL_CHECK_BOX: case CTRL_RADIO_BUTTON:
        css = QStringLiteral("*{color:%1;}").arg(ColorCss(LookInt(look, ATTR_LABEL_COLOR, 0))) +
              DimmedRule("*", QPalette::WindowText, false);
        w->setFont(MakeFont(look, ATTR_LABEL_FONT, ATTR_LABEL_POINT_SIZE, ATTR_LABEL_BOLD,
                            ATTR_LABEL_ITALIC, 0, 0, "NIDialog"));
        ApplyGeometry(c); // the label follows its font
        break;
    case CTRL_TOGGLE_BUTTON: {
        // A dimmed toggle shows neither its on nor its off colour.
        int col = c.num != 0 ? LookInt(look, ATTR_ON_COLOR, 0x00C000) : LookInt(look, ATTR_OFF_COLOR, 0xC0C0C0);
        css = QStringLiteral("QPushButton{color:%1;background-color:%2;border:1px solid #808080;}"
                             "QPushButton:disabled{color:%3;background-color:%4;}")
                  .arg(ColorCss(textColor), ColorCss(col), DisabledTextCss(QPalette::ButtonText),
                       DisabledTextCss(QPalette::Button));
        break;
    }
    case CTRL_COMMAND_BUTTON: case CTRL_PICTURE_BUTTON: css = ButtonCss(look); break;
    default:
        break;
    }
    if ((c.kind == CTRL_COMMAND_BUTTON || c.kind == CTRL_PICTURE_BUTTON) &&
        (look.count(ATTR_LABEL_FONT) || look.count(ATTR_LABEL_POINT_SIZE) || look.count(ATTR_LABEL_BOLD) ||
         look.count(ATTR_LABEL_ITALIC)))
        w->setFont(MakeFont(look, ATTR_LABEL_FONT, ATTR_LABEL_POINT_SIZE, ATTR_LABEL_BOLD, ATTR_LABEL_ITALIC, 0, 0,
                            "NIDialog")); // a button's caption is its label
    if (w->styleSheet() != css) w->setStyleSheet(css);
    if (c.labelWidget) {
        QLabel* l = c.labelWidget;
        l->setFont(MakeFont(look, ATTR_LABEL_FONT, ATTR_LABEL_POINT_SIZE, ATTR_LABEL_BOLD,
                            ATTR_LABEL_ITALIC, 0, 0, "NIDialog"));
        l->setStyleSheet(QStringLiteral("*{color:%1;background-color:%2;}")
                             .arg(ColorCss(LookInt(look, ATTR_LABEL_COLOR, 0x000000)),
                                  ColorCss(LookInt(look, ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT))) +
                         DimmedRule("*", QPalette::WindowText, false));
        PlaceLabel(c);
    }
    std::string tip = LookText(look, ATTR_TOOLTIP_TEXT, "");
    w->setToolTip(LookInt(look, ATTR_DISABLE_TOOLTIP, 0) ? QString() : QStr(tip));
    if (c.kind == CTRL_GRAPH || c.kind == CTRL_CANVAS || c.kind == CTRL_LED ||
        c.kind == CTRL_NUMERIC_HSLIDE)
        w->update();
}

// Each pixel's grey level mapped from the disabled text colour (black) to
// the disabled face (white), its transparency kept: a dimmed picture is as
// faint as a dimmed caption, whatever its own colours.
QPixmap DimmedPixmap(const QPixmap& picture)
{
    if (picture.isNull()) return picture;
    const QPalette p = QApplication::palette();
    const QColor ink = p.color(QPalette::Disabled, QPalette::ButtonText);
    const QColor face = p.color(QPalette::Disabled, QPalette::Button);
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int g = qGray(line[x]);
            const auto mix = [g](int dark, int light) { return dark + (light - dark) * g / 255; };
            line[x] = qRgba(mix(ink.red(), face.red()), mix(ink.green(), face.green()), mix(ink.blue(), face.blue()),
                            qAlpha(line[x]));
        }
    }
    return QPixmap::fromImage(image);
}

QIcon PictureIcon(const QPixmap& picture)
{
    QIcon icon(picture);
    if (!picture.isNull()) icon.addPixmap(DimmedPixmap(picture), QIcon::Disabled);
    return icon;
}

void RefreshRingWidget(Ctrl& c)
{
    auto* cb = qobject_cast<QComboBox*>(c.widget.data());
    if (!cb) return;
    QSignalBlocker block(cb);
    cb->clear();
    for (const ListItem& it : c.items) cb->addItem(QStr(it.label));
    cb->setCurrentIndex(c.index);
}

void ApplyValue(Ctrl& c)
{
    QWidget* w = c.widget;
    if (!w) return;
    QSignalBlocker block(w);
    switch (c.kind) {
    case CTRL_STRING: {
        auto* e = static_cast<QLineEdit*>(w);
        // What the user may type; a longer text set by the program is shown whole.
        const int shown = int(QStr(c.text).size());
        e->setMaxLength(c.maxLen >= 0 ? std::max({1, c.maxLen, shown}) : 32767);
        e->setText(QStr(c.text));
        break;
    }
    case CTRL_NUMERIC: {
        auto* s = static_cast<QDoubleSpinBox*>(w);
        s->setSingleStep(c.incr);
        s->setValue(c.num);
        break;
    }
    case CTRL_TEXT_MSG: {
        auto* l = static_cast<QLabel*>(w);
        l->setText(QStr(c.text));
        if (LookInt(c.look, ATTR_SIZE_TO_TEXT, 0)) {
            l->adjustSize();
            c.width = l->width();
            c.height = l->height();
        }
        break;
    }
    case CTRL_PICTURE: static_cast<QLabel*>(w)->setPixmap(c.pixmap); break;
    case CTRL_COMMAND_BUTTON: static_cast<QPushButton*>(w)->setText(MnemonicLabel(c.label)); break;
    case CTRL_PICTURE_BUTTON: {
        auto* b = static_cast<QPushButton*>(w);
        b->setIcon(PictureIcon(c.pixmap));
        b->setIconSize(QSize(std::max(1, c.width - 6), std::max(1, c.height - 6)));
        b->setText(c.pixmap.isNull() ? MnemonicLabel(c.label) : QString());
        break;
    }
    case CTRL_TOGGLE_BUTTON: {
        auto* b = static_cast<QPushButton*>(w);
        b->setChecked(c.num != 0);
        std::string t = c.num != 0 ? LookText(c.look, ATTR_ON_TEXT, "On") : LookText(c.look, ATTR_OFF_TEXT, "Off");
        b->setText(QStr(t));
        ApplyLook(c);
        break;
    }
    case CTRL_CHECK_BOX:
    case CTRL_RADIO_BUTTON: {
        auto* b = static_cast<QAbstractButton*>(w);
        b->setChecked(c.num != 0);
        if (b->text() != MnemonicLabel(c.label)) {
            b->setText(MnemonicLabel(c.label));
            ApplyGeometry(c);
        }
        break;
    }
    case CTRL_RING: RefreshRingWidget(c); break;
    case CTRL_TEXT_BOX: MarkDirty(c); break;
    default: w->update(); break;
    }
}

void ApplyMode(Ctrl& c)
{
    QWidget* w = c.widget;
    if (!w) return;
    FocusQuiet quiet; // dimming the focused control hands the focus on
    const bool indicator = c.mode == VAL_INDICATOR;
    switch (c.kind) {
    case CTRL_STRING: static_cast<QLineEdit*>(w)->setReadOnly(indicator); break;
    case CTRL_NUMERIC: {
        auto* s = static_cast<QDoubleSpinBox*>(w);
        s->setReadOnly(indicator);
        s->setButtonSymbols(indicator ? QAbstractSpinBox::NoButtons : QAbstractSpinBox::UpDownArrows);
        break;
    }
    case CTRL_TEXT_BOX: static_cast<QPlainTextEdit*>(w)->setReadOnly(indicator); break;
    default:
        w->setAttribute(Qt::WA_TransparentForMouseEvents, indicator && c.kind != CTRL_TREE &&
                                                              c.kind != CTRL_TABLE && c.kind != CTRL_TAB);
        break;
    }
    w->setEnabled(!c.dimmed);
    if (c.labelWidget) c.labelWidget->setEnabled(!c.dimmed);
}

void ApplyZOrder(Panel& p)
{
    // zOrder is front-most first: raise from the back to the front.
    for (auto it = p.zOrder.rbegin(); it != p.zOrder.rend(); ++it) {
        auto c = p.ctrls.find(*it);
        if (c == p.ctrls.end()) continue;
        if (c->second.widget) c->second.widget->raise();
        if (c->second.labelWidget) c->second.labelWidget->raise();
    }
}

void ApplyTabOrder(Panel& p)
{
    QWidget* prev = nullptr;
    for (int id : p.tabOrder) {
        auto c = p.ctrls.find(id);
        if (c == p.ctrls.end() || !c->second.widget) continue;
        if (prev) QWidget::setTabOrder(prev, c->second.widget);
        prev = c->second.widget;
    }
}

namespace {

// The program's changes of a text box are no edits the user could undo:
// with undo off while they are made the document keeps no history of them
// and gives back the room of the lines it drops (a log window that keeps
// its newest lines stays bounded in memory). The user's own undo history
// ends with a change made by the program.
struct ProgramEdit {
    QTextDocument* document;
    bool undo;
    explicit ProgramEdit(QPlainTextEdit* t) : document(t->document()), undo(document->isUndoRedoEnabled())
    {
        document->setUndoRedoEnabled(false);
    }
    ~ProgramEdit() { document->setUndoRedoEnabled(undo); }
};

// The widget's blocks stand for the model's lines (an empty model is one
// empty block).
QPlainTextEdit* InStep(Ctrl& c, int linesBefore)
{
    auto* t = qobject_cast<QPlainTextEdit*>(c.widget.data());
    if (!t) return nullptr;
    if (c.textBoxReset || c.pendingAppendLines > 0 || t->document()->blockCount() != std::max(1, linesBefore)) {
        c.textBoxReset = true;
        c.pendingAppend.clear();
        c.pendingAppendLines = 0;
        MarkDirty(c);
        return nullptr;
    }
    return t;
}

} // namespace

void TextBoxBeforeLineChange(Ctrl& c)
{
    // Appends and a reset still waiting reach the widget first, so that
    // the change meets the lines it is made on.
    if (c.textBoxReset || c.pendingAppendLines > 0) FlushTextBox(c);
}

void TextBoxLinesDeleted(Ctrl& c, int first, int count, int linesBefore)
{
    QPlainTextEdit* t = InStep(c, linesBefore);
    if (!t || count <= 0) return;
    QSignalBlocker block(t);
    const ProgramEdit edit(t);
    QTextDocument* doc = t->document();
    QTextCursor cursor(doc);
    if (first + count < linesBefore) {
        // The deleted lines with the line break after each.
        cursor.setPosition(doc->findBlockByNumber(first).position());
        cursor.setPosition(doc->findBlockByNumber(first + count).position(), QTextCursor::KeepAnchor);
    } else if (first > 0) {
        // The last lines, with the line break before them.
        const QTextBlock before = doc->findBlockByNumber(first - 1);
        cursor.setPosition(before.position() + before.length() - 1);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    } else {
        cursor.select(QTextCursor::Document);
    }
    cursor.removeSelectedText();
    if (QScrollBar* sb = t->verticalScrollBar()) sb->setValue(c.firstVisibleLine);
}

void TextBoxLineInserted(Ctrl& c, int index, const std::string& line, int linesBefore)
{
    QPlainTextEdit* t = InStep(c, linesBefore);
    if (!t) return;
    QSignalBlocker block(t);
    const ProgramEdit edit(t);
    QTextDocument* doc = t->document();
    if (index < linesBefore) {
        QTextCursor cursor(doc->findBlockByNumber(index));
        cursor.insertText(QStr(line) + QLatin1Char('\n'));
    } else {
        QTextCursor cursor(doc);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(linesBefore > 0 ? QLatin1Char('\n') + QStr(line) : QStr(line));
    }
    if (QScrollBar* sb = t->verticalScrollBar()) sb->setValue(c.firstVisibleLine);
}

void FlushTextBox(Ctrl& c)
{
    auto* t = qobject_cast<QPlainTextEdit*>(c.widget.data());
    if (!t) return;
    QSignalBlocker block(t);
    const ProgramEdit edit(t);
    if (c.textBoxReset) {
        QStringList all;
        all.reserve(int(c.lines.size()));
        for (const std::string& l : c.lines) all << QStr(l);
        t->setPlainText(all.join(QLatin1Char('\n')));
        c.textBoxReset = false;
        c.pendingAppend.clear();
        c.pendingAppendLines = 0;
    } else if (c.pendingAppendLines > 0) {
        // One insertion for all lines appended since the last flush; after
        // lines already shown it starts on a line of its own (a box of no
        // lines and a box of one empty line both show one empty block).
        const int before = int(c.lines.size()) - c.pendingAppendLines;
        QTextCursor cursor(t->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(before > 0 ? QLatin1Char('\n') + c.pendingAppend : c.pendingAppend);
        c.pendingAppend.clear();
        c.pendingAppendLines = 0;
    }
    if (QScrollBar* sb = t->verticalScrollBar()) sb->setValue(c.firstVisibleLine);
}

} // namespace cz::ui
