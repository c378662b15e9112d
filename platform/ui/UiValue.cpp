// Control values: program-set values (kept exactly, never raising events),
// user input (coerced to range and length, raising events by mode), ring
// items, text-box lines and the numeric colour ramp.
#include "platform/ui/UiModel.h"

#include <QPlainTextEdit>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/BoundedText.h"
#include "platform/CLocale.h"

namespace cz::ui {

namespace {

bool IsNumericKind(int kind)
{
    return kind == CTRL_NUMERIC || kind == CTRL_NUMERIC_HSLIDE;
}

bool IsBoolKind(int kind)
{
    return kind == CTRL_CHECK_BOX || kind == CTRL_RADIO_BUTTON || kind == CTRL_TOGGLE_BUTTON ||
           kind == CTRL_LED || kind == CTRL_COMMAND_BUTTON || kind == CTRL_PICTURE_BUTTON;
}

bool IsTextKind(int kind)
{
    return kind == CTRL_STRING || kind == CTRL_TEXT_MSG || kind == CTRL_TEXT_BOX;
}

int RingFindNum(const Ctrl& c, double v)
{
    for (size_t i = 0; i < c.items.size(); ++i)
        if (c.items[i].num == v) return int(i);
    return -1;
}

int RingFindText(const Ctrl& c, const char* v)
{
    for (size_t i = 0; i < c.items.size(); ++i)
        if (c.items[i].text == v) return int(i);
    return -1;
}

void SplitLines(const std::string& text, std::vector<std::string>* out)
{
    size_t start = 0;
    while (true) {
        size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out->push_back(line);
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
}

void AppendTextBoxLine(Ctrl& c, const std::string& line)
{
    c.lines.push_back(line);
    if (!c.textBoxReset) {
        if (c.pendingAppendLines > 0) c.pendingAppend += QLatin1Char('\n');
        c.pendingAppend += QStr(line);
        ++c.pendingAppendLines;
    }
    MarkDirty(c);
}

void ResetTextBoxModel(Ctrl& c, const std::string& text)
{
    c.lines.clear();
    if (!text.empty()) SplitLines(text, &c.lines);
    c.firstVisibleLine = 0;
    c.textBoxReset = true;
    c.pendingAppend.clear();
    c.pendingAppendLines = 0;
    MarkDirty(c);
}

std::string JoinLines(const Ctrl& c)
{
    std::string all;
    for (size_t i = 0; i < c.lines.size(); ++i) {
        if (i) all += '\n';
        all += c.lines[i];
    }
    return all;
}

} // namespace

std::string CutToLength(const std::string& s, int maxLen)
{
    if (maxLen < 0 || int(s.size()) <= maxLen) return s;
    return s.substr(0, cz::Utf8CharsPrefixLength(s, size_t(maxLen)));
}

int SetValueNum(Ctrl& c, double v)
{
    if (IsNumericKind(c.kind)) {
        c.num = IsIntegerType(c.dataType) ? CoerceToType(v, c.dataType) : v;
    } else if (IsBoolKind(c.kind)) {
        c.num = v != 0.0 ? 1.0 : 0.0;
    } else if (c.kind == CTRL_RING) {
        if (c.dataType == VAL_STRING) return UI_ERR_BAD_TYPE;
        int i = RingFindNum(c, v);
        if (i < 0) return UI_ERR_BAD_VALUE;
        c.index = i;
    } else if (c.kind == CTRL_TREE) {
        for (size_t i = 0; i < c.tree.items.size(); ++i)
            if (c.tree.items[i].value == v) {
                c.tree.active = int(i);
                MarkDirty(c);
                return 0;
            }
        return UI_ERR_BAD_VALUE;
    } else if (c.kind == CTRL_TAB) {
        int i = int(v);
        if (i < 0 || i >= int(c.tab.pages.size())) return UI_ERR_BAD_INDEX;
        c.tab.active = i;
        if (Panel* p = FindPanel(c.panel)) RefreshTabWidget(*p, c);
        return 0;
    } else {
        return UI_ERR_BAD_TYPE;
    }
    ApplyValue(c);
    return 0;
}

int SetValueText(Ctrl& c, const char* v)
{
    if (!v) return UI_ERR_BAD_VALUE;
    if (c.kind == CTRL_TEXT_BOX) {
        // Setting a text box appends; ResetTextBox replaces.
        std::vector<std::string> lines;
        SplitLines(v, &lines);
        for (const std::string& l : lines) AppendTextBoxLine(c, l);
        return 0;
    }
    if (c.kind == CTRL_STRING || c.kind == CTRL_TEXT_MSG) {
        c.text = v;
        ApplyValue(c);
        return 0;
    }
    if (c.kind == CTRL_RING) {
        int i = c.dataType == VAL_STRING ? RingFindText(c, v) : -1;
        if (i < 0) return c.dataType == VAL_STRING ? UI_ERR_BAD_VALUE : UI_ERR_BAD_TYPE;
        c.index = i;
        ApplyValue(c);
        return 0;
    }
    if (IsNumericKind(c.kind)) {
        char* end = nullptr;
        double d = cz::StrtodC(v, &end);
        if (end == v) return UI_ERR_BAD_VALUE;
        return SetValueNum(c, d);
    }
    return UI_ERR_BAD_TYPE;
}

int SetDefaultNum(Ctrl& c, double v)
{
    if (IsTextKind(c.kind)) return UI_ERR_BAD_TYPE;
    c.dfltNum = IsNumericKind(c.kind) && IsIntegerType(c.dataType) ? CoerceToType(v, c.dataType) : v;
    return 0;
}

int SetDefaultText(Ctrl& c, const char* v)
{
    if (!v) return UI_ERR_BAD_VALUE;
    if (IsTextKind(c.kind) || (c.kind == CTRL_RING && c.dataType == VAL_STRING)) {
        c.dfltText = v;
        return 0;
    }
    if (IsNumericKind(c.kind)) {
        char* end = nullptr;
        double d = cz::StrtodC(v, &end);
        if (end == v) return UI_ERR_BAD_VALUE;
        c.dfltNum = d;
        return 0;
    }
    return UI_ERR_BAD_TYPE;
}

int DefaultCtrlImpl(Ctrl& c)
{
    switch (c.kind) {
    case CTRL_TEXT_BOX: ResetTextBoxModel(c, c.dfltText); return 0;
    case CTRL_STRING: case CTRL_TEXT_MSG: c.text = c.dfltText; break;
    case CTRL_RING: {
        int i = c.dataType == VAL_STRING ? RingFindText(c, c.dfltText.c_str()) : RingFindNum(c, c.dfltNum);
        c.index = i >= 0 ? i : (c.items.empty() ? -1 : 0);
        break;
    }
    default:
        if (IsNumericKind(c.kind) || IsBoolKind(c.kind)) c.num = c.dfltNum;
        else return 0;
    }
    ApplyValue(c);
    return 0;
}

int GetValue(Ctrl& c, AttrValue* out, bool wantText)
{
    *out = AttrValue{};
    if (c.kind == CTRL_TEXT_BOX) {
        out->isText = true;
        out->text = JoinLines(c);
        return 0;
    }
    if (c.kind == CTRL_STRING || c.kind == CTRL_TEXT_MSG) {
        out->isText = true;
        out->text = c.text;
        return 0;
    }
    if (c.kind == CTRL_RING) {
        if (c.index < 0 || c.index >= int(c.items.size())) return UI_ERR_BAD_INDEX;
        const ListItem& it = c.items[size_t(c.index)];
        if (c.dataType == VAL_STRING) {
            out->isText = true;
            out->text = it.text;
        } else {
            out->num = it.num;
        }
        return 0;
    }
    if (IsNumericKind(c.kind)) {
        if (wantText) {
            out->isText = true;
            out->text = FormatNumber(c.num, c.dataType, c.precision, c.format);
        } else {
            out->num = c.num;
        }
        return 0;
    }
    if (IsBoolKind(c.kind)) {
        out->num = c.num;
        return 0;
    }
    if (c.kind == CTRL_TREE) {
        if (c.tree.active < 0 || c.tree.active >= int(c.tree.items.size())) return UI_ERR_BAD_INDEX;
        out->num = c.tree.items[size_t(c.tree.active)].value;
        return 0;
    }
    if (c.kind == CTRL_TAB) {
        out->num = c.tab.active;
        return 0;
    }
    return UI_ERR_BAD_TYPE;
}

bool UserCanOperate(const Ctrl& c)
{
    if (c.mode == VAL_INDICATOR || c.dimmed || !c.visible) return false;
    const Panel* p = FindPanel(c.panel);
    return p && !p->dimmed;
}

// Raises value-changed and commit for a user change, by the control's mode:
// normal controls raise nothing (the program reads them when it needs to).
static void RaiseUserChange(const Ctrl& c)
{
    if (c.mode != VAL_HOT && c.mode != VAL_VALIDATE) return;
    const int panel = c.panel, id = c.id;
    RaiseCtrlEvent(panel, id, EVENT_VAL_CHANGED, 0, 0);
    RaiseCtrlEvent(panel, id, EVENT_COMMIT, 0, 0);
}

int UserSetNumeric(Ctrl& c, double value, bool commit)
{
    if (!UserCanOperate(c)) {
        ApplyValue(c);
        return 0;
    }
    if (IsNumericKind(c.kind)) {
        if (IsIntegerType(c.dataType)) value = CoerceToType(value, c.dataType);
        const bool outside = value < c.minV || value > c.maxV;
        if (outside && (c.mode == VAL_VALIDATE || c.checkRange)) {
            ApplyValue(c); // refused: the widget shows the old value again
            return 0;
        }
        // "nan", "inf" and numbers beyond the double range are no value a
        // control holds: refused, never clamped to the range's end.
        if (!std::isfinite(value)) {
            ApplyValue(c);
            return 0;
        }
        if (c.minV <= c.maxV) value = std::clamp(value, c.minV, c.maxV);
    } else {
        value = value != 0.0 ? 1.0 : 0.0;
    }
    c.num = value;
    ApplyValue(c);
    if (commit) RaiseUserChange(c);
    return 1;
}

int UserSetText(Ctrl& c, const std::string& text, bool commit)
{
    if (!UserCanOperate(c)) {
        ApplyValue(c);
        return 0;
    }
    if (IsNumericKind(c.kind)) {
        // Typed numbers use the C locale; text that is no number is refused.
        char* end = nullptr;
        const double v = cz::StrtodC(text.c_str(), &end);
        while (end && (*end == ' ' || *end == '\t')) ++end;
        if (end == text.c_str() || !end || *end != 0) {
            ApplyValue(c);
            return 0;
        }
        return UserSetNumeric(c, v, commit);
    }
    if (c.kind == CTRL_RING) {
        const int i = c.dataType == VAL_STRING ? RingFindText(c, text.c_str()) : -1;
        return i < 0 ? 0 : UserChooseIndex(c, i);
    }
    if (!IsTextKind(c.kind)) return 0;
    std::string t = CutToLength(text, c.maxLen);
    if (c.kind == CTRL_TEXT_BOX) {
        c.lines.clear();
        SplitLines(t, &c.lines);
        // The widget shows the model (a cut text, or a value entered by the
        // test driver) unless it already holds exactly that.
        auto* edit = qobject_cast<QPlainTextEdit*>(c.widget.data());
        if (!edit || StdStr(edit->toPlainText()) != JoinLines(c)) {
            c.textBoxReset = true;
            MarkDirty(c);
        }
    } else {
        c.text = t;
        ApplyValue(c);
    }
    if (commit) RaiseUserChange(c);
    return 1;
}

int UserChooseIndex(Ctrl& c, int index)
{
    if (!UserCanOperate(c) || index < 0 || index >= int(c.items.size())) {
        ApplyValue(c);
        return 0;
    }
    c.index = index;
    ApplyValue(c);
    RaiseUserChange(c);
    return 1;
}

} // namespace cz::ui

using namespace cz::ui;

// ---------------------------------------------------------------------------
// Values

int SetCtrlVal(int panel, int control, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    return c ? SetValueNum(*c, value) : st;
}

int SetCtrlVal(int panel, int control, double value)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    return c ? SetValueNum(*c, value) : st;
}

int SetCtrlVal(int panel, int control, const char* value)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    return c ? SetValueText(*c, value) : st;
}

int GetCtrlVal(int panel, int control, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    AttrValue v;
    if ((st = GetValue(*c, &v, false)) < 0) return st;
    if (v.isText) return UI_ERR_BAD_TYPE;
    *value = int(std::trunc(v.num));
    return 0;
}

int GetCtrlVal(int panel, int control, double* value)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    AttrValue v;
    if ((st = GetValue(*c, &v, false)) < 0) return st;
    if (v.isText) return UI_ERR_BAD_TYPE;
    *value = v.num;
    return 0;
}

int GetCtrlVal(int panel, int control, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    AttrValue v;
    if ((st = GetValue(*c, &v, true)) < 0) return st;
    if (!v.isText) return UI_ERR_BAD_TYPE;
    return CopyOut(buffer, bufferSize, v.text);
}

// ---------------------------------------------------------------------------
// Ring items

namespace {

int InsertItem(int panel, int control, int index, const char* label, const ListItem& value)
{
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_RING) return UI_ERR_WRONG_KIND;
    if (index < -1 || index > int(c->items.size())) return UI_ERR_BAD_INDEX;
    ListItem it = value;
    it.label = label ? label : "";
    int at = index < 0 ? int(c->items.size()) : index;
    c->items.insert(c->items.begin() + at, it);
    if (c->index < 0) c->index = 0;
    else if (at <= c->index && c->items.size() > 1) ++c->index;
    ApplyValue(*c);
    return at;
}

Ctrl* Ring(int panel, int control, int* st)
{
    Ctrl* c = FindCtrl(panel, control, st);
    if (c && c->kind != CTRL_RING) {
        *st = UI_ERR_WRONG_KIND;
        return nullptr;
    }
    return c;
}

} // namespace

int InsertListItem(int panel, int control, int index, const char* label, int value)
{
    UI_CALL();
    return InsertItem(panel, control, index, label, ListItem{"", double(value), {}});
}

int InsertListItem(int panel, int control, int index, const char* label, double value)
{
    UI_CALL();
    return InsertItem(panel, control, index, label, ListItem{"", value, {}});
}

int InsertListItem(int panel, int control, int index, const char* label, const char* value)
{
    UI_CALL();
    return InsertItem(panel, control, index, label, ListItem{"", 0.0, value ? value : ""});
}

int ReplaceListItem(int panel, int control, int index, const char* label, int value)
{
    UI_CALL();
    int st;
    Ctrl* c = Ring(panel, control, &st);
    if (!c) return st;
    if (index < 0 || index >= int(c->items.size())) return UI_ERR_BAD_INDEX;
    c->items[size_t(index)] = ListItem{label ? label : "", double(value), {}};
    ApplyValue(*c);
    return 0;
}

int DeleteListItem(int panel, int control, int index, int count)
{
    UI_CALL();
    int st;
    Ctrl* c = Ring(panel, control, &st);
    if (!c) return st;
    int n = int(c->items.size());
    if (index < 0 || index >= n) return UI_ERR_BAD_INDEX;
    int last = count < 0 ? n : std::min(n, index + count);
    c->items.erase(c->items.begin() + index, c->items.begin() + last);
    if (c->index >= last) c->index -= last - index;
    else if (c->index >= index) c->index = c->items.empty() ? -1 : std::min(index, int(c->items.size()) - 1);
    ApplyValue(*c);
    return 0;
}

int ClearListCtrl(int panel, int control)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (c->kind == CTRL_TREE) {
        c->tree.items.clear();
        c->tree.tags.clear();
        c->tree.active = -1;
        MarkDirty(*c);
        return 0;
    }
    if (c->kind != CTRL_RING) return UI_ERR_WRONG_KIND;
    c->items.clear();
    c->index = -1;
    ApplyValue(*c);
    return 0;
}

int GetNumListItems(int panel, int control, int* count)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (!count) return UI_ERR_BAD_VALUE;
    if (c->kind == CTRL_TREE) *count = int(c->tree.items.size());
    else if (c->kind == CTRL_RING) *count = int(c->items.size());
    else return UI_ERR_WRONG_KIND;
    return 0;
}

int GetCtrlIndex(int panel, int control, int* index)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (!index) return UI_ERR_BAD_VALUE;
    if (c->kind == CTRL_TREE) *index = c->tree.active;
    else if (c->kind == CTRL_RING) *index = c->index;
    else return UI_ERR_WRONG_KIND;
    return 0;
}

int SetCtrlIndex(int panel, int control, int index)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (c->kind == CTRL_TREE) {
        if (index < -1 || index >= int(c->tree.items.size())) return UI_ERR_BAD_INDEX;
        c->tree.active = index;
        MarkDirty(*c);
        return 0;
    }
    if (c->kind != CTRL_RING) return UI_ERR_WRONG_KIND;
    if (index < 0 || index >= int(c->items.size())) return UI_ERR_BAD_INDEX;
    c->index = index;
    ApplyValue(*c);
    return 0;
}

int GetIndexFromValue(int panel, int control, int* index, int value)
{
    return GetIndexFromValue(panel, control, index, double(value));
}

int GetIndexFromValue(int panel, int control, int* index, double value)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (!index) return UI_ERR_BAD_VALUE;
    if (c->kind == CTRL_TREE) {
        *index = -1;
        for (size_t i = 0; i < c->tree.items.size(); ++i)
            if (c->tree.items[i].value == value) {
                *index = int(i);
                break;
            }
    } else if (c->kind == CTRL_RING) {
        *index = RingFindNum(*c, value);
    } else {
        return UI_ERR_WRONG_KIND;
    }
    return *index < 0 ? UI_ERR_BAD_VALUE : 0;
}

int GetIndexFromValue(int panel, int control, int* index, const char* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Ring(panel, control, &st);
    if (!c) return st;
    if (!index || !value) return UI_ERR_BAD_VALUE;
    *index = RingFindText(*c, value);
    return *index < 0 ? UI_ERR_BAD_VALUE : 0;
}

int GetIndexFromLabel(int panel, int control, int* index, const char* label)
{
    UI_CALL();
    int st;
    Ctrl* c = Ring(panel, control, &st);
    if (!c) return st;
    if (!index || !label) return UI_ERR_BAD_VALUE;
    *index = -1;
    for (size_t i = 0; i < c->items.size(); ++i)
        if (c->items[i].label == label) {
            *index = int(i);
            break;
        }
    return *index < 0 ? UI_ERR_BAD_VALUE : 0;
}

int GetValueFromIndex(int panel, int control, int index, int* value)
{
    double d = 0;
    int s = GetValueFromIndex(panel, control, index, &d);
    if (s >= 0 && value) *value = int(std::trunc(d));
    return s;
}

int GetValueFromIndex(int panel, int control, int index, double* value)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (!value) return UI_ERR_BAD_VALUE;
    if (c->kind == CTRL_TREE) {
        if (index < 0 || index >= int(c->tree.items.size())) return UI_ERR_BAD_ITEM;
        *value = c->tree.items[size_t(index)].value;
        return 0;
    }
    if (c->kind != CTRL_RING) return UI_ERR_WRONG_KIND;
    if (index < 0 || index >= int(c->items.size())) return UI_ERR_BAD_INDEX;
    if (c->dataType == VAL_STRING) return UI_ERR_BAD_TYPE;
    *value = c->items[size_t(index)].num;
    return 0;
}

int GetValueFromIndex(int panel, int control, int index, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = Ring(panel, control, &st);
    if (!c) return st;
    if (index < 0 || index >= int(c->items.size())) return UI_ERR_BAD_INDEX;
    if (c->dataType != VAL_STRING) return UI_ERR_BAD_TYPE;
    return CopyOut(buffer, bufferSize, c->items[size_t(index)].text);
}

int GetLabelFromIndex(int panel, int control, int index, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (c->kind == CTRL_TREE) {
        if (index < 0 || index >= int(c->tree.items.size())) return UI_ERR_BAD_ITEM;
        const auto& cells = c->tree.items[size_t(index)].cellText;
        return CopyOut(buffer, bufferSize, cells.empty() ? std::string() : cells[0]);
    }
    if (c->kind != CTRL_RING) return UI_ERR_WRONG_KIND;
    if (index < 0 || index >= int(c->items.size())) return UI_ERR_BAD_INDEX;
    return CopyOut(buffer, bufferSize, c->items[size_t(index)].label);
}

// ---------------------------------------------------------------------------
// Text box

namespace {
Ctrl* TextBox(int panel, int control, int* st)
{
    Ctrl* c = FindCtrl(panel, control, st);
    if (c && c->kind != CTRL_TEXT_BOX) {
        *st = UI_ERR_WRONG_KIND;
        return nullptr;
    }
    return c;
}
} // namespace

int InsertTextBoxLine(int panel, int control, int index, const char* text)
{
    UI_CALL();
    int st;
    Ctrl* c = TextBox(panel, control, &st);
    if (!c) return st;
    if (!text) return UI_ERR_BAD_VALUE;
    if (index < -1 || index > int(c->lines.size())) return UI_ERR_BAD_INDEX;
    if (index < 0 || index == int(c->lines.size())) {
        AppendTextBoxLine(*c, text);
        return int(c->lines.size()) - 1;
    }
    const int before = int(c->lines.size());
    TextBoxBeforeLineChange(*c);
    c->lines.insert(c->lines.begin() + index, text);
    TextBoxLineInserted(*c, index, text, before);
    return index;
}

int ReplaceTextBoxLine(int panel, int control, int index, const char* text)
{
    UI_CALL();
    int st;
    Ctrl* c = TextBox(panel, control, &st);
    if (!c) return st;
    if (!text) return UI_ERR_BAD_VALUE;
    if (index < 0 || index >= int(c->lines.size())) return UI_ERR_BAD_INDEX;
    c->lines[size_t(index)] = text;
    c->textBoxReset = true;
    MarkDirty(*c);
    return 0;
}

int DeleteTextBoxLines(int panel, int control, int first, int count)
{
    UI_CALL();
    int st;
    Ctrl* c = TextBox(panel, control, &st);
    if (!c) return st;
    int n = int(c->lines.size());
    if (first < 0 || first >= n) return UI_ERR_BAD_INDEX;
    int last = count < 0 ? n : std::min(n, first + count);
    if (last <= first) return 0;
    TextBoxBeforeLineChange(*c);
    c->lines.erase(c->lines.begin() + first, c->lines.begin() + last);
    TextBoxLinesDeleted(*c, first, last - first, n);
    return 0;
}

int ResetTextBox(int panel, int control, const char* text)
{
    UI_CALL();
    int st;
    Ctrl* c = TextBox(panel, control, &st);
    if (!c) return st;
    ResetTextBoxModel(*c, text ? text : "");
    return 0;
}

int GetNumTextBoxLines(int panel, int control, int* count)
{
    UI_CALL();
    int st;
    Ctrl* c = TextBox(panel, control, &st);
    if (!c) return st;
    if (!count) return UI_ERR_BAD_VALUE;
    *count = int(c->lines.size());
    return 0;
}

int GetTextBoxLine(int panel, int control, int index, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = TextBox(panel, control, &st);
    if (!c) return st;
    if (index < 0 || index >= int(c->lines.size())) return UI_ERR_BAD_INDEX;
    return CopyOut(buffer, bufferSize, c->lines[size_t(index)]);
}

int SetNumericColorRamp(int panel, int control, const ColorMapEntry* entries, int hiColor, int numEntries)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_NUMERIC_HSLIDE && c->kind != CTRL_NUMERIC) return UI_ERR_WRONG_KIND;
    if (numEntries < 0 || (numEntries > 0 && !entries)) return UI_ERR_BAD_VALUE;
    c->ramp.entries.assign(entries, entries + numEntries);
    c->ramp.hiColor = hiColor;
    c->ramp.set = true;
    if (c->widget) c->widget->update();
    return 0;
}
