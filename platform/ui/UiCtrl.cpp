// Controls: creation, discarding, attributes, focus, tooltips and walks.
// Every attribute lives in the control's model; Get returns exactly what
// Set stored.
#include "platform/ui/UiModel.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace cz::ui {
// Kind-specific attributes (UiGraph.cpp, UiTree.cpp, UiTable.cpp, UiTab.cpp);
// each returns UI_ERR_BAD_ATTRIBUTE for an attribute it does not own.
int SetGraphAttr(Ctrl& c, int attr, const AttrValue& v);
int GetGraphAttr(Ctrl& c, int attr, AttrValue* v);
int SetTreeCtrlAttr(Ctrl& c, int attr, const AttrValue& v);
int SetTableCtrlAttr(Ctrl& c, int attr, const AttrValue& v);
int GetTableCtrlAttr(Ctrl& c, int attr, AttrValue* v);
int SetTabCtrlAttr(Ctrl& c, int attr, const AttrValue& v);
int GetTabCtrlAttr(Ctrl& c, int attr, AttrValue* v);
int SetValueNum(Ctrl& c, double v);
int SetValueText(Ctrl& c, const char* v);
int SetDefaultNum(Ctrl& c, double v);
int SetDefaultText(Ctrl& c, const char* v);
int GetValue(Ctrl& c, AttrValue* v, bool wantText);
int DefaultCtrlImpl(Ctrl& c);
} // namespace cz::ui

using namespace cz::ui;

namespace {

bool IsTextAttr(int attr)
{
    switch (attr) {
    case ATTR_CONSTANT_NAME: case ATTR_LABEL_TEXT: case ATTR_TEXT_FONT: case ATTR_LABEL_FONT:
    case ATTR_TOOLTIP_TEXT: case ATTR_ON_TEXT: case ATTR_OFF_TEXT: case ATTR_XNAME: case ATTR_YNAME:
    case ATTR_HEADER_FONT: case ATTR_TITLE: case ATTR_ITEM_TAG:
        return true;
    default:
        return false;
    }
}

bool IsReadOnly(int attr)
{
    switch (attr) {
    case ATTR_CTRL_STYLE: case ATTR_NUM_LIST_ITEMS: case ATTR_TOTAL_LINES:
    case ATTR_TEXT_BOX_VISIBLE_LINES: case ATTR_NUM_TABLE_ROWS: case ATTR_NUM_TABLE_COLUMNS:
    case ATTR_NUM_PLOTS: case ATTR_NUM_TAB_PAGES: case ATTR_XAXIS_MIN: case ATTR_XAXIS_MAX:
    case ATTR_YAXIS_MIN: case ATTR_YAXIS_MAX:
        return true;
    default:
        return false;
    }
}

int LookDefault(const Ctrl& c, int attr)
{
    const bool isText = c.kind == CTRL_TEXT_MSG || c.kind == CTRL_DECORATION || c.kind == CTRL_PICTURE;
    switch (attr) {
    case ATTR_TEXT_BGCOLOR: return isText ? VAL_TRANSPARENT : 0xFFFFFF;
    case ATTR_LABEL_BGCOLOR: return VAL_TRANSPARENT;
    case ATTR_FRAME_COLOR: return 0xA0A0A0;
    case ATTR_TEXT_POINT_SIZE: case ATTR_LABEL_POINT_SIZE: return 13;
    case ATTR_LABEL_VISIBLE: return 1;
    case ATTR_ON_COLOR: return 0x00C000;
    case ATTR_OFF_COLOR: return c.kind == CTRL_LED ? 0x004000 : 0xC0C0C0;
    case ATTR_BACKCOLOR: return c.kind == CTRL_GRAPH ? 0xC0C0C0 : VAL_TRANSPARENT;
    case ATTR_PLOT_BGCOLOR: return 0x000000;
    default: return 0;
    }
}

void MoveInOrder(std::vector<int>& order, int id, int pos)
{
    order.erase(std::remove(order.begin(), order.end(), id), order.end());
    pos = std::clamp(pos, 0, int(order.size()));
    order.insert(order.begin() + pos, id);
}

int SetAttr(int panel, int control, int attr, const AttrValue& v)
{
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    Panel* p = FindPanel(panel);
    if (IsReadOnly(attr)) return UI_ERR_BAD_ATTRIBUTE;
    if (attr == ATTR_CTRL_VAL) return v.isText ? SetValueText(*c, v.text.c_str()) : SetValueNum(*c, v.num);
    if (attr == ATTR_DFLT_VALUE) return v.isText ? SetDefaultText(*c, v.text.c_str()) : SetDefaultNum(*c, v.num);
    if (IsTextAttr(attr) != v.isText) return UI_ERR_BAD_TYPE;
    const int iv = int(v.num);
    // Kind-specific attributes first.
    int r = UI_ERR_BAD_ATTRIBUTE;
    if (c->kind == CTRL_GRAPH || c->kind == CTRL_CANVAS) r = SetGraphAttr(*c, attr, v);
    else if (c->kind == CTRL_TREE) r = SetTreeCtrlAttr(*c, attr, v);
    else if (c->kind == CTRL_TABLE) r = SetTableCtrlAttr(*c, attr, v);
    else if (c->kind == CTRL_TAB) r = SetTabCtrlAttr(*c, attr, v);
    if (r != UI_ERR_BAD_ATTRIBUTE) return r;
    switch (attr) {
    case ATTR_CONSTANT_NAME: c->constName = v.text; return 0;
    case ATTR_LABEL_TEXT:
        if (c->kind == CTRL_TEXT_MSG) c->text = v.text;
        c->label = v.text;
        ApplyValue(*c);
        PlaceLabel(*c);
        return 0;
    case ATTR_VISIBLE: c->visible = iv != 0; ApplyGeometry(*c); return 0;
    case ATTR_DIMMED: c->dimmed = iv != 0; ApplyMode(*c); return 0;
    case ATTR_TOP: c->top = iv; ApplyGeometry(*c); return 0;
    case ATTR_LEFT: c->left = iv; ApplyGeometry(*c); return 0;
    case ATTR_HEIGHT:
        if (iv < 0) return UI_ERR_BAD_VALUE;
        c->height = iv;
        ApplyGeometry(*c);
        ApplyValue(*c);
        return 0;
    case ATTR_WIDTH:
        if (iv < 0) return UI_ERR_BAD_VALUE;
        c->width = iv;
        if (c->kind == CTRL_TEXT_MSG) c->look[ATTR_SIZE_TO_TEXT] = AttrValue{false, 0.0, {}};
        ApplyGeometry(*c);
        ApplyValue(*c);
        return 0;
    case ATTR_LABEL_TOP: c->labelTop = iv; PlaceLabel(*c); return 0;
    case ATTR_LABEL_LEFT: c->labelLeft = iv; PlaceLabel(*c); return 0;
    case ATTR_CTRL_MODE:
        if (iv < VAL_NORMAL || iv > VAL_VALIDATE) return UI_ERR_BAD_VALUE;
        c->mode = iv;
        ApplyMode(*c);
        return 0;
    case ATTR_DATA_TYPE:
        if (iv < VAL_INTEGER || iv > VAL_STRING) return UI_ERR_BAD_VALUE;
        if (c->kind == CTRL_NUMERIC || c->kind == CTRL_NUMERIC_HSLIDE) {
            if (iv == VAL_STRING) return UI_ERR_BAD_VALUE;
            DefaultRange(iv, &c->minV, &c->maxV);
            c->num = CoerceToType(c->num, iv);
            c->dfltNum = CoerceToType(c->dfltNum, iv);
        }
        c->dataType = iv;
        ApplyValue(*c);
        return 0;
    case ATTR_CTRL_INDEX: {
        if (c->kind != CTRL_RING) return UI_ERR_WRONG_KIND;
        if (iv < 0 || iv >= int(c->items.size())) return UI_ERR_BAD_INDEX;
        c->index = iv;
        ApplyValue(*c);
        return 0;
    }
    case ATTR_MIN_VALUE: c->minV = v.num; return 0;
    case ATTR_MAX_VALUE: c->maxV = v.num; return 0;
    case ATTR_INCR_VALUE: c->incr = v.num; ApplyValue(*c); return 0;
    case ATTR_PRECISION:
        if (iv < 0 || iv > 15) return UI_ERR_BAD_VALUE;
        c->precision = iv;
        ApplyValue(*c);
        return 0;
    case ATTR_FORMAT: c->format = iv; ApplyValue(*c); return 0;
    case ATTR_CHECK_RANGE: c->checkRange = iv; return 0;
    case ATTR_MAX_ENTRY_LENGTH:
        if (iv < -1) return UI_ERR_BAD_VALUE;
        c->maxLen = iv;
        ApplyValue(*c);
        return 0;
    case ATTR_ZPLANE_POSITION:
        MoveInOrder(p->zOrder, control, iv);
        ApplyZOrder(*p);
        return 0;
    case ATTR_CTRL_TAB_POSITION:
        MoveInOrder(p->tabOrder, control, iv);
        ApplyTabOrder(*p);
        return 0;
    case ATTR_FIRST_VISIBLE_LINE:
        if (c->kind != CTRL_TEXT_BOX) return UI_ERR_WRONG_KIND;
        c->firstVisibleLine = std::max(0, iv);
        MarkDirty(*c);
        return 0;
    default:
        if (attr <= 0 || attr >= 420) return UI_ERR_BAD_ATTRIBUTE;
        c->look[attr] = v;
        ApplyLook(*c);
        if (attr == ATTR_ON_TEXT || attr == ATTR_OFF_TEXT || attr == ATTR_SIZE_TO_TEXT ||
            attr == ATTR_TEXT_FONT || attr == ATTR_TEXT_POINT_SIZE || attr == ATTR_TEXT_BOLD ||
            attr == ATTR_TEXT_ITALIC)
            ApplyValue(*c);
        if (c->kind == CTRL_TEXT_BOX || c->kind == CTRL_TREE || c->kind == CTRL_TABLE) MarkDirty(*c);
        return 0;
    }
}

int GetAttr(int panel, int control, int attr, AttrValue* out, bool wantText)
{
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (attr == ATTR_CTRL_VAL) return GetValue(*c, out, wantText);
    *out = AttrValue{};
    int r = UI_ERR_BAD_ATTRIBUTE;
    if (c->kind == CTRL_GRAPH || c->kind == CTRL_CANVAS) r = GetGraphAttr(*c, attr, out);
    else if (c->kind == CTRL_TABLE) r = GetTableCtrlAttr(*c, attr, out);
    else if (c->kind == CTRL_TAB) r = GetTabCtrlAttr(*c, attr, out);
    if (r != UI_ERR_BAD_ATTRIBUTE) return r;
    auto num = [&](double d) { out->num = d; return 0; };
    auto txt = [&](const std::string& s) { out->isText = true; out->text = s; return 0; };
    switch (attr) {
    case ATTR_CONSTANT_NAME: return txt(c->constName);
    case ATTR_LABEL_TEXT: return txt(c->label);
    case ATTR_CTRL_STYLE: return num(c->kind);
    case ATTR_VISIBLE: return num(c->visible);
    case ATTR_DIMMED: return num(c->dimmed);
    case ATTR_TOP: return num(c->top);
    case ATTR_LEFT: return num(c->left);
    case ATTR_HEIGHT: return num(c->height);
    case ATTR_WIDTH: return num(c->width);
    case ATTR_LABEL_TOP:
        return num(c->labelTop != INT_MIN ? c->labelTop : c->labelWidget ? c->labelWidget->y() : c->top);
    case ATTR_LABEL_LEFT:
        return num(c->labelLeft != INT_MIN ? c->labelLeft : c->labelWidget ? c->labelWidget->x() : c->left);
    case ATTR_CTRL_MODE: return num(c->mode);
    case ATTR_DATA_TYPE: return num(c->dataType);
    case ATTR_CTRL_INDEX: return c->kind == CTRL_RING ? num(c->index) : UI_ERR_WRONG_KIND;
    case ATTR_DFLT_VALUE:
        if (c->kind == CTRL_STRING || c->kind == CTRL_TEXT_BOX || c->kind == CTRL_TEXT_MSG ||
            (c->kind == CTRL_RING && c->dataType == VAL_STRING))
            return txt(c->dfltText);
        return num(c->dfltNum);
    case ATTR_MIN_VALUE: return num(c->minV);
    case ATTR_MAX_VALUE: return num(c->maxV);
    case ATTR_INCR_VALUE: return num(c->incr);
    case ATTR_PRECISION: return num(c->precision);
    case ATTR_FORMAT: return num(c->format);
    case ATTR_CHECK_RANGE: return num(c->checkRange);
    case ATTR_MAX_ENTRY_LENGTH: return num(c->maxLen);
    case ATTR_NUM_LIST_ITEMS:
        return num(c->kind == CTRL_TREE ? double(c->tree.items.size()) : double(c->items.size()));
    case ATTR_TOTAL_LINES: return num(double(c->lines.size()));
    case ATTR_FIRST_VISIBLE_LINE: return num(c->firstVisibleLine);
    case ATTR_TEXT_BOX_VISIBLE_LINES: {
        int lineH = std::max(1, LookInt(c->look, ATTR_TEXT_POINT_SIZE, 13) + 3);
        return num(std::max(1, (c->height - 6) / lineH));
    }
    case ATTR_ZPLANE_POSITION: {
        Panel* p = FindPanel(panel);
        auto it = std::find(p->zOrder.begin(), p->zOrder.end(), control);
        return num(double(it - p->zOrder.begin()));
    }
    case ATTR_CTRL_TAB_POSITION: {
        Panel* p = FindPanel(panel);
        auto it = std::find(p->tabOrder.begin(), p->tabOrder.end(), control);
        return num(double(it - p->tabOrder.begin()));
    }
    default: {
        if (attr <= 0 || attr >= 420) return UI_ERR_BAD_ATTRIBUTE;
        auto it = c->look.find(attr);
        if (it != c->look.end()) {
            *out = it->second;
            return 0;
        }
        if (IsTextAttr(attr)) {
            std::string d = (attr == ATTR_TEXT_FONT || attr == ATTR_LABEL_FONT) ? "NIDialog"
                            : attr == ATTR_ON_TEXT ? "On" : attr == ATTR_OFF_TEXT ? "Off" : "";
            return txt(d);
        }
        return num(LookDefault(*c, attr));
    }
    }
}

int ToInt(const AttrValue& v, int* value)
{
    if (v.isText) return UI_ERR_BAD_TYPE;
    *value = int(std::trunc(v.num));
    return 0;
}

} // namespace

int NewCtrl(int panel, int kind, const char* label, int top, int left)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    if (kind < CTRL_STRING || kind >= CTRL_KIND_COUNT) return UI_ERR_BAD_VALUE;
    int id = p->nextCtrlId++;
    Ctrl& c = p->ctrls[id];
    c.id = id;
    c.kind = kind;
    c.panel = panel;
    c.label = label ? label : "";
    c.top = top;
    c.left = left;
    switch (kind) {
    case CTRL_STRING: case CTRL_TEXT_BOX: c.dataType = VAL_STRING; break;
    case CTRL_TEXT_MSG:
        c.dataType = VAL_STRING;
        c.text = c.label;
        c.dfltText = c.label;
        c.mode = VAL_INDICATOR;
        c.look[ATTR_SIZE_TO_TEXT] = AttrValue{false, 1.0, {}};
        break;
    case CTRL_RING: case CTRL_CHECK_BOX: case CTRL_RADIO_BUTTON: case CTRL_TOGGLE_BUTTON:
    case CTRL_LED: case CTRL_COMMAND_BUTTON: case CTRL_PICTURE_BUTTON: case CTRL_TREE:
        c.dataType = VAL_INTEGER;
        break;
    default: break;
    }
    if (kind == CTRL_LED || kind == CTRL_DECORATION || kind == CTRL_PICTURE) c.mode = VAL_INDICATOR;
    if (kind == CTRL_NUMERIC_HSLIDE) {
        c.minV = 0.0;
        c.maxV = 10.0;
    }
    if (kind == CTRL_GRAPH) {
        c.graph.axes[VAL_TOP_XAXIS].max = 10.0;
        c.graph.axes[VAL_RIGHT_YAXIS].max = 10.0;
    }
    p->zOrder.insert(p->zOrder.begin(), id);
    p->tabOrder.push_back(id);
    CreateCtrlWidget(*p, c);
    return id;
}

int DiscardCtrl(int panel, int control)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    Panel* p = FindPanel(panel);
    if (c->kind == CTRL_TAB) {
        for (int page : c->tab.pages) DiscardPanelTree(page);
    }
    DestroyCtrlWidget(*c);
    p->zOrder.erase(std::remove(p->zOrder.begin(), p->zOrder.end(), control), p->zOrder.end());
    p->tabOrder.erase(std::remove(p->tabOrder.begin(), p->tabOrder.end(), control), p->tabOrder.end());
    RT().dirty.erase({panel, control});
    p->ctrls.erase(control);
    return 0;
}

int SetCtrlAttribute(int panel, int control, int attr, int value)
{
    UI_CALL();
    return SetAttr(panel, control, attr, AttrValue{false, double(value), {}});
}

int SetCtrlAttribute(int panel, int control, int attr, double value)
{
    UI_CALL();
    return SetAttr(panel, control, attr, AttrValue{false, value, {}});
}

int SetCtrlAttribute(int panel, int control, int attr, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return SetAttr(panel, control, attr, AttrValue{true, 0.0, value});
}

int SetCtrlAttribute(int panel, int control, int attr, CtrlCallbackPtr callback)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (attr != ATTR_CALLBACK_FUNCTION_POINTER) return UI_ERR_BAD_TYPE;
    c->callback = callback;
    return 0;
}

int SetCtrlAttribute(int panel, int control, int attr, void* callbackData)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (attr != ATTR_CALLBACK_DATA) return UI_ERR_BAD_TYPE;
    c->callbackData = callbackData;
    return 0;
}

int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr callback, void* callbackData)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    c->callback = callback;
    c->callbackData = callbackData;
    return 0;
}

int GetCtrlAttribute(int panel, int control, int attr, int* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    AttrValue v;
    int s = GetAttr(panel, control, attr, &v, false);
    return s < 0 ? s : ToInt(v, value);
}

int GetCtrlAttribute(int panel, int control, int attr, double* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    AttrValue v;
    int s = GetAttr(panel, control, attr, &v, false);
    if (s < 0) return s;
    if (v.isText) return UI_ERR_BAD_TYPE;
    *value = v.num;
    return 0;
}

int GetCtrlAttribute(int panel, int control, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    AttrValue v;
    int s = GetAttr(panel, control, attr, &v, true);
    if (s < 0) return s;
    if (!v.isText) return UI_ERR_BAD_TYPE;
    return CopyOut(buffer, bufferSize, v.text);
}

int DefaultCtrl(int panel, int control)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    return DefaultCtrlImpl(*c);
}

int DefaultPanel(int panel)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    for (auto& [id, c] : p->ctrls) DefaultCtrlImpl(c);
    return 0;
}

int SetActiveCtrl(int panel, int control)
{
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    FindPanel(panel)->look[ATTR_ACTIVE] = AttrValue{false, double(control), {}};
    FocusQuiet quiet;
    RT().focusPanel = panel;
    RT().focusCtrl = control;
    if (c->widget) c->widget->setFocus(Qt::OtherFocusReason);
    return 0;
}

int GetActiveCtrl(int panel)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    for (auto& [id, c] : p->ctrls)
        if (c.widget && c.widget->hasFocus()) return id;
    int remembered = LookInt(p->look, ATTR_ACTIVE, 0);
    return p->ctrls.count(remembered) ? remembered : 0;
}

int SetCtrlToolTip(int panel, int control, const char* text)
{
    UI_CALL();
    if (!text) return UI_ERR_BAD_VALUE;
    int s = SetAttr(panel, control, ATTR_TOOLTIP_TEXT, AttrValue{true, 0.0, text});
    if (s < 0) return s;
    return SetAttr(panel, control, ATTR_DISABLE_TOOLTIP, AttrValue{false, 0.0, {}});
}

int GetNextCtrl(int panel, int previousControl)
{
    UI_CALL();
    Panel* p = FindPanel(panel);
    if (!p) return UI_ERR_BAD_PANEL;
    auto it = p->ctrls.upper_bound(previousControl);
    return it == p->ctrls.end() ? 0 : it->first;
}
