// Numeric, string, ring, button and text-box controls: what the program sets
// is kept exactly, what a user enters (through the driver or the widget
// itself) is coerced, cut or refused, and the widgets show the model.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <random>
#include <string>
#include <vector>

#include "tests/platform/ui/UiEvents.h"

namespace {

using cz::test::CountOf;
using cz::test::Recorded;

class ControlsTest : public cz::test::UiPanelTest {};

void PressReturn(QWidget* w)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

TEST_F(ControlsTest, NumericKeepsProgramValuesAndCoercesUserInput)
{
    const int num = Make(CTRL_NUMERIC);
    ASSERT_EQ(0, SetCtrlAttribute(panel, num, ATTR_MIN_VALUE, 0.0));
    ASSERT_EQ(0, SetCtrlAttribute(panel, num, ATTR_MAX_VALUE, 1.0));
    ASSERT_EQ(0, SetCtrlAttribute(panel, num, ATTR_PRECISION, 3));

    // Outside the range and finer than the precision: kept as set.
    ASSERT_EQ(0, SetCtrlVal(panel, num, 5.123456789012345));
    double d = 0;
    ASSERT_EQ(0, GetCtrlVal(panel, num, &d));
    EXPECT_EQ(5.123456789012345, d);
    char shown[32];
    ASSERT_EQ(0, GetCtrlVal(panel, num, shown, sizeof shown));
    EXPECT_STREQ("5.123", shown);
    EXPECT_EQ(0u, Recorded().size());

    // The user's entry is clamped to the range and commits.
    EXPECT_EQ(1, UiTest_EnterValue(panel, num, 7.0));
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(1.0, d);
    EXPECT_EQ(1, UiTest_EnterValue(panel, num, -3.0));
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(0.0, d);
    EXPECT_EQ(2, CountOf(EVENT_COMMIT));

    // With range checking on, input outside is refused and the value stays.
    ASSERT_EQ(0, SetCtrlAttribute(panel, num, ATTR_CHECK_RANGE, 1));
    EXPECT_EQ(0, UiTest_EnterValue(panel, num, 2.0));
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(0.0, d);
    EXPECT_EQ(2, CountOf(EVENT_COMMIT));

    // Typed text is a C-locale number, anything else is refused.
    ASSERT_EQ(0, SetCtrlAttribute(panel, num, ATTR_CHECK_RANGE, 0));
    EXPECT_EQ(1, UiTest_EnterValue(panel, num, "0.25"));
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(0.25, d);
    EXPECT_EQ(0, UiTest_EnterValue(panel, num, "0,5"));
    EXPECT_EQ(0, UiTest_EnterValue(panel, num, "abc"));
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(0.25, d);
    // Numbers no value can be are refused, not clamped to the range.
    for (const char* text : {"nan", "inf", "-inf", "1e999"}) EXPECT_EQ(0, UiTest_EnterValue(panel, num, text)) << text;
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(0.25, d);
}

TEST_F(ControlsTest, IntegerTypesTruncateAndStayInTheirOwnRange)
{
    const int num = Make(CTRL_NUMERIC);
    ASSERT_EQ(0, SetCtrlAttribute(panel, num, ATTR_DATA_TYPE, VAL_UNSIGNED_SHORT_INTEGER));
    double lo = 1, hi = 0;
    GetCtrlAttribute(panel, num, ATTR_MIN_VALUE, &lo);
    GetCtrlAttribute(panel, num, ATTR_MAX_VALUE, &hi);
    EXPECT_EQ(0.0, lo);
    EXPECT_EQ(65535.0, hi);
    ASSERT_EQ(0, SetCtrlVal(panel, num, 12.9));
    int v = 0;
    GetCtrlVal(panel, num, &v);
    EXPECT_EQ(12, v);
    EXPECT_EQ(1, UiTest_EnterValue(panel, num, 70000));
    GetCtrlVal(panel, num, &v);
    EXPECT_EQ(65535, v);
    char shown[32];
    GetCtrlVal(panel, num, shown, sizeof shown);
    EXPECT_STREQ("65535", shown);
    // A double set in a double numeric of precision 3 reads back unchanged.
    ASSERT_EQ(0, SetCtrlAttribute(panel, num, ATTR_DATA_TYPE, VAL_DOUBLE));
    ASSERT_EQ(0, SetCtrlVal(panel, num, 1.23456789012e-7));
    double d = 0;
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(1.23456789012e-7, d);
}

TEST_F(ControlsTest, ConfirmingTheShownNumberKeepsTheFullValue)
{
    const int num = Make(CTRL_NUMERIC);
    ASSERT_EQ(0, SetCtrlAttribute(panel, num, ATTR_PRECISION, 3));
    ASSERT_EQ(0, SetCtrlVal(panel, num, 1.23456789012e-7));
    auto* spin = qobject_cast<QDoubleSpinBox*>(UiTest_Widget(panel, num));
    ASSERT_NE(nullptr, spin);
    EXPECT_EQ(QStringLiteral("0.000"), spin->text());
    // Return on the unchanged text "0.000" must not store 0.
    PressReturn(spin);
    double d = 0;
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(1.23456789012e-7, d);
    EXPECT_EQ(0, CountOf(EVENT_COMMIT));
    // A typed number is taken and commits.
    auto* edit = spin->findChild<QLineEdit*>();
    ASSERT_NE(nullptr, edit);
    edit->setText(QStringLiteral("2.5"));
    PressReturn(spin);
    GetCtrlVal(panel, num, &d);
    EXPECT_EQ(2.5, d);
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
}

TEST_F(ControlsTest, StringInputIsCutToTheMaximumLengthInCharacters)
{
    const int str = Make(CTRL_STRING);
    ASSERT_EQ(0, SetCtrlAttribute(panel, str, ATTR_MAX_ENTRY_LENGTH, 3));
    // "a", "é" (two bytes), "b", "c": the length counts characters, as typed.
    EXPECT_EQ(1, UiTest_EnterValue(panel, str, "a\xC3\xA9" "bc"));
    char buf[16];
    GetCtrlVal(panel, str, buf, sizeof buf);
    EXPECT_STREQ("a\xC3\xA9" "b", buf);
    ASSERT_EQ(0, SetCtrlAttribute(panel, str, ATTR_MAX_ENTRY_LENGTH, 2));
    UiTest_EnterValue(panel, str, "a\xC3\xA9" "b");
    GetCtrlVal(panel, str, buf, sizeof buf);
    EXPECT_STREQ("a\xC3\xA9", buf);
    // The program's text is never cut.
    ASSERT_EQ(0, SetCtrlVal(panel, str, "longer"));
    GetCtrlVal(panel, str, buf, sizeof buf);
    EXPECT_STREQ("longer", buf);
    auto* edit = qobject_cast<QLineEdit*>(UiTest_Widget(panel, str));
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(QStringLiteral("longer"), edit->text());
    // Typing in the field itself is limited and commits on finishing.
    ASSERT_EQ(0, SetCtrlVal(panel, str, ""));
    EXPECT_EQ(2, edit->maxLength());
    edit->setText(QStringLiteral("xy"));
    Q_EMIT edit->editingFinished();
    GetCtrlVal(panel, str, buf, sizeof buf);
    EXPECT_STREQ("xy", buf);
    EXPECT_EQ(3, CountOf(EVENT_COMMIT));
    // A buffer too small gets a cut, terminated text.
    char small[2];
    EXPECT_EQ(0, GetCtrlVal(panel, str, small, sizeof small));
    EXPECT_STREQ("x", small);
}

TEST_F(ControlsTest, RingItemsKeepTheirValuesAsItemsMove)
{
    const int ring = Make(CTRL_RING);
    ASSERT_EQ(0, InsertListItem(panel, ring, -1, "Off", 10));
    ASSERT_EQ(1, InsertListItem(panel, ring, -1, "On", 20));
    ASSERT_EQ(0, SetCtrlVal(panel, ring, 20));
    int index = -1, value = 0;
    GetCtrlIndex(panel, ring, &index);
    EXPECT_EQ(1, index);
    // An item inserted in front keeps "On" active.
    ASSERT_EQ(0, InsertListItem(panel, ring, 0, "Auto", 30));
    GetCtrlIndex(panel, ring, &index);
    GetCtrlVal(panel, ring, &value);
    EXPECT_EQ(2, index);
    EXPECT_EQ(20, value);
    // A value no item carries is refused and changes nothing.
    EXPECT_EQ(UI_ERR_BAD_VALUE, SetCtrlVal(panel, ring, 99));
    GetCtrlVal(panel, ring, &value);
    EXPECT_EQ(20, value);
    EXPECT_EQ(0, GetIndexFromValue(panel, ring, &index, 10));
    EXPECT_EQ(1, index);
    char label[16];
    ASSERT_EQ(0, GetLabelFromIndex(panel, ring, 0, label, sizeof label));
    EXPECT_STREQ("Auto", label);
    EXPECT_EQ(UI_ERR_BAD_INDEX, GetLabelFromIndex(panel, ring, 3, label, sizeof label));
    // Deleting the active item moves to the one now at its place.
    ASSERT_EQ(0, DeleteListItem(panel, ring, 2, 1));
    GetCtrlIndex(panel, ring, &index);
    EXPECT_EQ(1, index);
    EXPECT_EQ(0u, Recorded().size());
    // The user's pick in the drop-down commits the item's value.
    auto* combo = qobject_cast<QComboBox*>(UiTest_Widget(panel, ring));
    ASSERT_NE(nullptr, combo);
    ASSERT_EQ(2, combo->count());
    Q_EMIT combo->activated(0);
    GetCtrlVal(panel, ring, &value);
    EXPECT_EQ(30, value);
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
}

TEST_F(ControlsTest, StringRingsChooseByText)
{
    const int ring = Make(CTRL_RING);
    ASSERT_EQ(0, SetCtrlAttribute(panel, ring, ATTR_DATA_TYPE, VAL_STRING));
    InsertListItem(panel, ring, -1, "Linear", "lin");
    InsertListItem(panel, ring, -1, "Raised cosine", "rcos");
    ASSERT_EQ(0, SetCtrlVal(panel, ring, "rcos"));
    char buf[16];
    GetCtrlVal(panel, ring, buf, sizeof buf);
    EXPECT_STREQ("rcos", buf);
    EXPECT_EQ(UI_ERR_BAD_VALUE, SetCtrlVal(panel, ring, "Linear")); // a label is no value
    EXPECT_EQ(UI_ERR_BAD_TYPE, SetCtrlVal(panel, ring, 1));
    EXPECT_EQ(1, UiTest_EnterValue(panel, ring, "lin"));
    GetCtrlVal(panel, ring, buf, sizeof buf);
    EXPECT_STREQ("lin", buf);
    EXPECT_EQ(0, UiTest_EnterValue(panel, ring, "none"));
}

TEST_F(ControlsTest, LabelsShowTheirMnemonicAndKeepLiteralAmpersands)
{
    const int check = Make(CTRL_CHECK_BOX, "__Activate");
    const int button = Make(CTRL_COMMAND_BUTTON, "R&D");
    const int str = Make(CTRL_STRING, "__Name");
    ProcessDrawEvents();
    auto* box = qobject_cast<QCheckBox*>(UiTest_Widget(panel, check));
    auto* push = qobject_cast<QPushButton*>(UiTest_Widget(panel, button));
    ASSERT_NE(nullptr, box);
    ASSERT_NE(nullptr, push);
    EXPECT_EQ(QStringLiteral("&Activate"), box->text());
    EXPECT_EQ(QStringLiteral("R&&D"), push->text());
    // The run-time keeps the label as the program gave it.
    char label[32];
    GetCtrlAttribute(panel, check, ATTR_LABEL_TEXT, label, sizeof label);
    EXPECT_STREQ("__Activate", label);
    bool found = false;
    for (QLabel* l : UiTest_Widget(panel, 0)->findChildren<QLabel*>())
        if (l->text() == QStringLiteral("&Name")) found = l->buddy() == UiTest_Widget(panel, str);
    EXPECT_TRUE(found);
}

TEST_F(ControlsTest, TogglesAndChecksAreUserBooleans)
{
    const int toggle = Make(CTRL_TOGGLE_BUTTON);
    SetCtrlAttribute(panel, toggle, ATTR_ON_TEXT, "Mkr ON");
    SetCtrlAttribute(panel, toggle, ATTR_OFF_TEXT, "Mkr OFF");
    ASSERT_EQ(0, SetCtrlVal(panel, toggle, 5)); // any non-zero is on
    int v = 0;
    GetCtrlVal(panel, toggle, &v);
    EXPECT_EQ(1, v);
    auto* push = qobject_cast<QPushButton*>(UiTest_Widget(panel, toggle));
    ASSERT_NE(nullptr, push);
    EXPECT_EQ(QStringLiteral("Mkr ON"), push->text());
    EXPECT_EQ(1, UiTest_ClickCtrl(panel, toggle));
    GetCtrlVal(panel, toggle, &v);
    EXPECT_EQ(0, v);
    EXPECT_EQ(QStringLiteral("Mkr OFF"), push->text());
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
    // A radio button is independent: two can be on together.
    const int r1 = Make(CTRL_RADIO_BUTTON, "a", 40), r2 = Make(CTRL_RADIO_BUTTON, "b", 60);
    UiTest_ClickCtrl(panel, r1);
    UiTest_ClickCtrl(panel, r2);
    int a = 0, b = 0;
    GetCtrlVal(panel, r1, &a);
    GetCtrlVal(panel, r2, &b);
    EXPECT_EQ(1, a);
    EXPECT_EQ(1, b);
}

TEST_F(ControlsTest, TextBoxLinesAppendInsertAndReset)
{
    const int box = Make(CTRL_TEXT_BOX);
    ASSERT_EQ(0, SetCtrlVal(panel, box, "one\ntwo"));
    ASSERT_EQ(0, SetCtrlVal(panel, box, "three"));
    int lines = 0;
    GetNumTextBoxLines(panel, box, &lines);
    EXPECT_EQ(3, lines);
    ASSERT_EQ(1, InsertTextBoxLine(panel, box, 1, "one and a half"));
    ASSERT_EQ(0, ReplaceTextBoxLine(panel, box, 3, "THREE"));
    ASSERT_EQ(0, DeleteTextBoxLines(panel, box, 0, 1));
    char buf[64];
    ASSERT_EQ(0, GetCtrlVal(panel, box, buf, sizeof buf));
    EXPECT_STREQ("one and a half\ntwo\nTHREE", buf);
    GetCtrlAttribute(panel, box, ATTR_TOTAL_LINES, &lines);
    EXPECT_EQ(3, lines);
    EXPECT_EQ(UI_ERR_BAD_INDEX, GetTextBoxLine(panel, box, 3, buf, sizeof buf));
    EXPECT_EQ(UI_ERR_BAD_INDEX, InsertTextBoxLine(panel, box, 5, "x"));
    // The widget shows the model once drawn.
    ProcessDrawEvents();
    auto* edit = qobject_cast<QPlainTextEdit*>(UiTest_Widget(panel, box));
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(QStringLiteral("one and a half\ntwo\nTHREE"), edit->toPlainText());
    for (int i = 0; i < 200; ++i) SetCtrlVal(panel, box, "line");
    ASSERT_EQ(0, SetCtrlAttribute(panel, box, ATTR_FIRST_VISIBLE_LINE, 150));
    int first = 0;
    GetCtrlAttribute(panel, box, ATTR_FIRST_VISIBLE_LINE, &first);
    EXPECT_EQ(150, first);
    ASSERT_EQ(0, ResetTextBox(panel, box, "fresh"));
    GetNumTextBoxLines(panel, box, &lines);
    EXPECT_EQ(1, lines);
    GetCtrlAttribute(panel, box, ATTR_FIRST_VISIBLE_LINE, &first);
    EXPECT_EQ(0, first);
    ProcessDrawEvents();
    EXPECT_EQ(QStringLiteral("fresh"), edit->toPlainText());
    ASSERT_EQ(0, ResetTextBox(panel, box, ""));
    GetNumTextBoxLines(panel, box, &lines);
    EXPECT_EQ(0, lines);
    EXPECT_EQ(0u, Recorded().size());
}

// Lines appended, inserted, replaced and deleted anywhere in any order,
// drawn now and then: the widget always shows the model's lines (deletions
// and insertions reach a drawn box in place, after the appends before them).
TEST_F(ControlsTest, TextBoxWidgetFollowsEveryLineChange)
{
    const int box = Make(CTRL_TEXT_BOX);
    auto* edit = qobject_cast<QPlainTextEdit*>(UiTest_Widget(panel, box));
    ASSERT_NE(nullptr, edit);
    std::mt19937 gen(3);
    std::vector<std::string> model;
    const auto shown = [&] {
        std::string all;
        for (size_t i = 0; i < model.size(); ++i) all += (i ? "\n" : "") + model[i];
        return QString::fromStdString(all);
    };
    for (int step = 0; step < 3000; ++step) {
        const int n = int(model.size());
        const std::string text = (gen() % 5 == 0) ? std::string() : "line " + std::to_string(step);
        switch (gen() % 6) {
        case 0: case 1:
            ASSERT_EQ(n, InsertTextBoxLine(panel, box, -1, text.c_str()));
            model.push_back(text);
            break;
        case 2: {
            const int at = int(gen() % unsigned(n + 1));
            ASSERT_EQ(at, InsertTextBoxLine(panel, box, at, text.c_str()));
            model.insert(model.begin() + at, text);
            break;
        }
        case 3: {
            if (n == 0) break;
            const int first = int(gen() % unsigned(n)), count = int(gen() % 4) - 1;  // -1: to the end
            ASSERT_EQ(0, DeleteTextBoxLines(panel, box, first, count));
            model.erase(model.begin() + first, count < 0 ? model.end() : model.begin() + std::min(n, first + count));
            break;
        }
        case 4:
            if (n == 0) break;
            ASSERT_EQ(0, ReplaceTextBoxLine(panel, box, n / 2, text.c_str()));
            model[size_t(n / 2)] = text;
            break;
        default:
            ProcessDrawEvents();
            ASSERT_EQ(shown().toStdString(), edit->toPlainText().toStdString()) << "step " << step;
            break;
        }
        if (model.size() > 60) {
            ASSERT_EQ(0, DeleteTextBoxLines(panel, box, 0, 30));
            model.erase(model.begin(), model.begin() + 30);
        }
    }
    ProcessDrawEvents();
    EXPECT_EQ(shown(), edit->toPlainText());
}

TEST_F(ControlsTest, TextBoxUserEditIsCutAndShownCut)
{
    const int box = Make(CTRL_TEXT_BOX);
    ASSERT_EQ(0, SetCtrlAttribute(panel, box, ATTR_MAX_ENTRY_LENGTH, 7));
    EXPECT_EQ(1, UiTest_EnterValue(panel, box, "abc\ndefgh"));
    char buf[32];
    GetCtrlVal(panel, box, buf, sizeof buf);
    EXPECT_STREQ("abc\ndef", buf);
    int lines = 0;
    GetNumTextBoxLines(panel, box, &lines);
    EXPECT_EQ(2, lines);
    ProcessDrawEvents();
    auto* edit = qobject_cast<QPlainTextEdit*>(UiTest_Widget(panel, box));
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(QStringLiteral("abc\ndef"), edit->toPlainText());
    EXPECT_EQ(1, CountOf(EVENT_COMMIT));
}

TEST_F(ControlsTest, DefaultCtrlRestoresTheDefaultOfEachKind)
{
    const int num = Make(CTRL_NUMERIC), str = Make(CTRL_STRING, "", 40), box = Make(CTRL_TEXT_BOX, "", 80);
    SetCtrlAttribute(panel, num, ATTR_DFLT_VALUE, 50.0);
    SetCtrlAttribute(panel, str, ATTR_DFLT_VALUE, "dflt");
    SetCtrlAttribute(panel, box, ATTR_DFLT_VALUE, "a\nb");
    SetCtrlVal(panel, num, 3.0);
    SetCtrlVal(panel, str, "x");
    SetCtrlVal(panel, box, "x\ny\nz");
    ASSERT_EQ(0, DefaultPanel(panel));
    double d = 0;
    char buf[16];
    int lines = 0;
    GetCtrlVal(panel, num, &d);
    GetCtrlVal(panel, str, buf, sizeof buf);
    GetNumTextBoxLines(panel, box, &lines);
    EXPECT_EQ(50.0, d);
    EXPECT_STREQ("dflt", buf);
    EXPECT_EQ(2, lines);
    EXPECT_EQ(0u, Recorded().size());
}

} // namespace
