// Table control: typed cells, ranges, row/column/cell attributes and ring
// cell items in the run-time's model (the view is in UiTableView.cpp).
#include "platform/ui/UiModel.h"

#include <QTableView>

#include <algorithm>
#include <cmath>

#include "platform/BoundedText.h"
#include "platform/CLocale.h"

namespace cz::ui {

namespace {

Ctrl* Table(int panel, int control, int* st)
{
    Ctrl* c = FindCtrl(panel, control, st);
    if (c && c->kind != CTRL_TABLE) {
        *st = UI_ERR_WRONG_KIND;
        return nullptr;
    }
    return c;
}

TableCell* CellAt(Ctrl* c, Point p, int* st)
{
    if (p.y < 1 || p.y > c->table.rows || p.x < 1 || p.x > c->table.cols) {
        *st = UI_ERR_BAD_CELL;
        return nullptr;
    }
    return &c->table.at(p.y, p.x);
}

bool RangeOk(const Ctrl* c, Rect& r)
{
    if (r.height < 0) r.height = c->table.rows - r.top + 1;
    if (r.width < 0) r.width = c->table.cols - r.left + 1;
    return r.top >= 1 && r.left >= 1 && r.height >= 0 && r.width >= 0 && r.top + r.height - 1 <= c->table.rows &&
           r.left + r.width - 1 <= c->table.cols;
}

// A new cell of column c (1-based): the column's template for new rows of
// the master cell type, else a cell of cellType.
void MakeFresh(TableCell& dst, const TableData& t, int c, int cellType, bool newRow)
{
    if (cellType == VAL_USE_MASTER_CELL_TYPE && c - 1 < int(t.columnTemplate.size()) && newRow)
        dst = t.columnTemplate[size_t(c - 1)];
    else
        dst.type = cellType < 0 ? VAL_CELL_NUMERIC : cellType;
    if (dst.type == VAL_CELL_STRING || dst.type == VAL_CELL_RING || dst.type == VAL_CELL_BUTTON) dst.dataType = VAL_STRING;
}

// Rows added at the end or rows removed, the columns unchanged: the cells
// stay where they are and only the rows concerned are touched (a table of a
// million rows is filled and emptied in one pass). false for other changes.
bool ResizeRowsInPlace(TableData& t, int rows, int cols, int rowAt, int cellType)
{
    if (cols != t.cols || cols <= 0) return false;
    const size_t w = size_t(cols);
    if (rows > t.rows) {
        if (rowAt != t.rows + 1) return false;
        // Rows added piece by piece (a large table filled in parts) grow the
        // cells geometrically, not by a copy of the whole table per piece.
        const size_t need = size_t(rows) * w;
        if (t.cells.capacity() < need) t.cells.reserve(std::max(need, t.cells.capacity() + t.cells.capacity() / 2));
        for (int r = t.rows + 1; r <= rows; ++r)
            for (int c = 1; c <= cols; ++c) MakeFresh(t.cells.emplace_back(), t, c, cellType, true);
    } else if (rows < t.rows) {
        if (rowAt < 1 || rowAt + (t.rows - rows) - 1 > t.rows) return false;
        const auto first = t.cells.begin() + std::ptrdiff_t(size_t(rowAt - 1) * w);
        t.cells.erase(first, first + std::ptrdiff_t(size_t(t.rows - rows) * w));
        if (rows == 0) t.cells.shrink_to_fit();
    }
    t.rows = rows;
    t.rowAttrs.resize(size_t(rows));
    return true;
}

void Resize(TableData& t, int rows, int cols, int rowAt, int colAt, int cellType)
{
    if (ResizeRowsInPlace(t, rows, cols, rowAt, cellType)) return;
    std::vector<TableCell> cells(size_t(rows) * size_t(cols));
    const int addR = rows - t.rows, addC = cols - t.cols;
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= cols; ++c) {
            int srcR = r, srcC = c;
            bool fresh = false;
            if (addR > 0) { if (r >= rowAt && r < rowAt + addR) fresh = true; else if (r >= rowAt + addR) srcR = r - addR; }
            if (addC > 0) { if (c >= colAt && c < colAt + addC) fresh = true; else if (c >= colAt + addC) srcC = c - addC; }
            if (addR < 0 && r >= rowAt) srcR = r - addR;
            if (addC < 0 && c >= colAt) srcC = c - addC;
            TableCell& dst = cells[size_t(r - 1) * size_t(cols) + size_t(c - 1)];
            if (fresh) {
                MakeFresh(dst, t, c, cellType, addR > 0);
            } else {
                dst = std::move(t.cells[size_t(srcR - 1) * size_t(t.cols) + size_t(srcC - 1)]);
            }
        }
    }
    t.cells = std::move(cells);
    t.rows = rows;
    t.cols = cols;
    t.columnAttrs.resize(size_t(cols));
    t.rowAttrs.resize(size_t(rows));
    t.columnTemplate.resize(size_t(cols));
}

int SetCellValue(TableCell& cell, double num, const char* text)
{
    if (text) {
        if (cell.type == VAL_CELL_NUMERIC) return UI_ERR_BAD_TYPE;
        cell.text = text;
        if (cell.type == VAL_CELL_RING) {
            // A ring shows the first item of that label (none: no active item).
            auto it = std::find(cell.Ring().begin(), cell.Ring().end(), cell.text);
            cell.ringIndex = it == cell.Ring().end() ? -1 : int(it - cell.Ring().begin());
        }
    } else {
        if (cell.type != VAL_CELL_NUMERIC) return UI_ERR_BAD_TYPE;
        cell.num = IsIntegerType(cell.dataType) ? CoerceToType(num, cell.dataType) : num;
    }
    return 0;
}

int SetCellAttr(TableCell& cell, int attr, const AttrValue& v)
{
    // Only the integer attributes use iv; a real limit such as 1e23 (the
    // minimum and maximum keep v.num) must not be converted unchecked.
    const int iv = std::isfinite(v.num) && std::fabs(v.num) < 2147483648.0 ? int(v.num) : 0;
    switch (attr) {
    case ATTR_CELL_TYPE:
        cell.type = iv;
        if (iv != VAL_CELL_NUMERIC) cell.dataType = VAL_STRING;
        else if (cell.dataType == VAL_STRING) cell.dataType = VAL_DOUBLE;
        return 0;
    case ATTR_CELL_MODE: case ATTR_CTRL_MODE: cell.mode = iv; return 0;
    case ATTR_CELL_DIMMED: case ATTR_DIMMED: cell.dimmed = iv != 0; return 0;
    case ATTR_PRECISION: cell.precision = iv; return 0;
    case ATTR_TEXT_COLOR: cell.textColor = iv; return 0;
    case ATTR_TEXT_BGCOLOR: cell.bgColor = iv; return 0;
    case ATTR_DATA_TYPE: cell.dataType = iv; return 0;
    case ATTR_MIN_VALUE: cell.minV = v.num; return 0;
    case ATTR_MAX_VALUE: cell.maxV = v.num; return 0;
    case ATTR_CTRL_VAL: return v.isText ? SetCellValue(cell, 0, v.text.c_str()) : SetCellValue(cell, v.num, nullptr);
    case ATTR_CTRL_INDEX:
        // The active item of a ring cell by its position, so that items of one
        // label stay apart.
        if (cell.type != VAL_CELL_RING || v.isText) return UI_ERR_WRONG_KIND;
        if (iv < 0 || iv >= int(cell.Ring().size())) return UI_ERR_BAD_INDEX;
        cell.ringIndex = iv;
        cell.text = cell.Ring()[size_t(iv)];
        return 0;
    default: cell.EditAttrs()[attr] = v; return 0;
    }
}

int GetCellAttr(const TableCell& cell, int attr, AttrValue* v)
{
    *v = AttrValue{};
    switch (attr) {
    case ATTR_CELL_TYPE: v->num = cell.type; return 0;
    case ATTR_CELL_MODE: case ATTR_CTRL_MODE: v->num = cell.mode; return 0;
    case ATTR_CELL_DIMMED: case ATTR_DIMMED: v->num = cell.dimmed; return 0;
    case ATTR_PRECISION: v->num = cell.precision; return 0;
    case ATTR_TEXT_COLOR: v->num = cell.textColor; return 0;
    case ATTR_TEXT_BGCOLOR: v->num = cell.bgColor; return 0;
    case ATTR_DATA_TYPE: v->num = cell.dataType; return 0;
    case ATTR_MIN_VALUE: v->num = cell.minV; return 0;
    case ATTR_MAX_VALUE: v->num = cell.maxV; return 0;
    case ATTR_CTRL_INDEX:
        if (cell.type != VAL_CELL_RING) return UI_ERR_WRONG_KIND;
        v->num = cell.ringIndex;
        return 0;
    default: {
        const AttrMap& attrs = cell.Attrs();
        auto it = attrs.find(attr);
        if (it != attrs.end()) *v = it->second;
        return 0;
    }
    }
}

int CellAttr(int panel, int control, Point p, int attr, const AttrValue& v)
{
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableCell* cell = CellAt(c, p, &st);
    if (!cell) return st;
    st = SetCellAttr(*cell, attr, v);
    MarkDirty(*c);
    return st;
}

int RangeAttr(int panel, int control, Rect r, int attr, const AttrValue& v)
{
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (!RangeOk(c, r)) return UI_ERR_BAD_CELL;
    for (int row = r.top; row < r.top + r.height; ++row)
        for (int col = r.left; col < r.left + r.width; ++col)
            if ((st = SetCellAttr(c->table.at(row, col), attr, v)) < 0) return st;
    MarkDirty(*c);
    return 0;
}

int LineAttr(int panel, int control, int index, bool column, int attr, const AttrValue& v)
{
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableData& t = c->table;
    if (index < 1 || index > (column ? t.cols : t.rows)) return UI_ERR_BAD_CELL;
    AttrMap& m = column ? t.columnAttrs[size_t(index - 1)] : t.rowAttrs[size_t(index - 1)];
    if (attr == ATTR_LABEL_TEXT || attr == ATTR_COLUMN_LABEL_TEXT || attr == ATTR_ROW_LABEL_TEXT || attr == ATTR_COLUMN_WIDTH ||
        attr == ATTR_ROW_HEIGHT || attr == ATTR_COLUMN_VISIBLE || attr == ATTR_VISIBLE) {
        m[attr == ATTR_COLUMN_LABEL_TEXT || attr == ATTR_ROW_LABEL_TEXT ? ATTR_LABEL_TEXT : attr] = v;
    } else {
        // A column or row attribute applies to all its cells (and to new rows).
        m[attr] = v;
        if (column) SetCellAttr(t.columnTemplate[size_t(index - 1)], attr, v);
        int n = column ? t.rows : t.cols;
        for (int k = 1; k <= n; ++k)
            if ((st = SetCellAttr(column ? t.at(k, index) : t.at(index, k), attr, v)) < 0) return st;
    }
    MarkDirty(*c);
    return 0;
}

} // namespace

int TableCommitAsUser(int panel, int control, Point p, double num, const char* text, int ringIndex)
{
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_TABLE) return UI_ERR_BAD_CONTROL;
    int st;
    TableCell* cell = CellAt(c, p, &st);
    if (!cell) return st;
    if (!UserCanOperate(*c) || cell->dimmed || cell->mode == VAL_INDICATOR) return 0;
    // Editing a cell makes it the active one first; that callback may change
    // the table, so the cell is looked up again.
    if (c->table.active.x != p.x || c->table.active.y != p.y) {
        if (!TableUserActivate(panel, control, p)) return UI_ERR_BAD_CONTROL;
        c = FindCtrl(panel, control);
        cell = CellAt(c, p, &st);
        if (!cell) return st;
        if (!UserCanOperate(*c) || cell->dimmed || cell->mode == VAL_INDICATOR) return 0;
    }
    if (cell->type == VAL_CELL_NUMERIC) {
        if (!std::isfinite(num)) return 0;
        if (IsIntegerType(cell->dataType)) num = CoerceToType(num, cell->dataType);
        const bool outside = num < cell->minV || num > cell->maxV;
        if (outside && (cell->mode == VAL_VALIDATE || LookInt(cell->Attrs(), ATTR_CHECK_RANGE, 0))) return 0;
        if (cell->minV <= cell->maxV) num = std::clamp(num, cell->minV, cell->maxV);
        cell->num = num;
    } else if (cell->type == VAL_CELL_RING) {
        // A ring cell takes only one of its items.
        const int n = int(cell->Ring().size());
        if (ringIndex < 0 || ringIndex >= n || (text && cell->Ring()[size_t(ringIndex)] != text)) {
            const std::string chosen = text ? text : "";
            auto it = std::find(cell->Ring().begin(), cell->Ring().end(), chosen);
            if (it == cell->Ring().end()) return 0;
            ringIndex = int(it - cell->Ring().begin());
        }
        cell->ringIndex = ringIndex;
        cell->text = cell->Ring()[size_t(ringIndex)];
    } else if (cell->type != VAL_CELL_BUTTON) {
        cell->text = CutToLength(text ? text : "", LookInt(cell->Attrs(), ATTR_MAX_ENTRY_LENGTH, -1));
    }
    const int type = cell->type, mode = cell->mode;
    c->table.active = p;
    MarkDirty(*c);
    if (mode == VAL_HOT || mode == VAL_VALIDATE || type == VAL_CELL_BUTTON)
        RaiseCtrlEvent(panel, control, EVENT_COMMIT, p.y, p.x);
    return 1;
}

int TableCommitTextAsUser(int panel, int control, Point p, const char* text)
{
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_TABLE) return UI_ERR_BAD_CONTROL;
    int st;
    TableCell* cell = CellAt(c, p, &st);
    if (!cell) return st;
    if (!text) return UI_ERR_BAD_VALUE;
    if (cell->type != VAL_CELL_NUMERIC) return TableCommitAsUser(panel, control, p, 0.0, text);
    // Typed numbers use the C locale; text that is no number is refused.
    char* end = nullptr;
    const double num = cz::StrtodC(text, &end);
    while (end && (*end == ' ' || *end == '\t')) ++end;
    if (end == text || !end || *end != 0) return 0;
    return TableCommitAsUser(panel, control, p, num, nullptr);
}

int SetTableCtrlAttr(Ctrl& c, int attr, const AttrValue& v)
{
    if (attr == ATTR_TABLE_RUN_STATE) {
        c.table.runBusy = v.num != 0;
        MarkDirty(c);
        return 0;
    }
    return UI_ERR_BAD_ATTRIBUTE;
}

int GetTableCtrlAttr(Ctrl& c, int attr, AttrValue* v)
{
    switch (attr) {
    case ATTR_TABLE_RUN_STATE: v->num = c.table.runBusy; return 0;
    case ATTR_NUM_TABLE_ROWS: v->num = c.table.rows; return 0;
    case ATTR_NUM_TABLE_COLUMNS: v->num = c.table.cols; return 0;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
}

} // namespace cz::ui

using namespace cz::ui;

int InsertTableRows(int panel, int control, int index, int count, int cellType)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableData& t = c->table;
    if (count < 0 || index < -1 || index == 0 || index > t.rows + 1) return UI_ERR_BAD_VALUE;
    int at = index < 0 ? t.rows + 1 : index;
    Resize(t, t.rows + count, t.cols, at, 1, cellType);
    MarkDirty(*c);
    return at;
}

int ReserveTableRows(int panel, int control, int rows)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (rows < 0) return UI_ERR_BAD_VALUE;
    TableData& t = c->table;
    if (t.cols > 0) t.cells.reserve(size_t(rows) * size_t(t.cols));
    t.rowAttrs.reserve(size_t(rows));
    return 0;
}

int DeleteTableRows(int panel, int control, int index, int count)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableData& t = c->table;
    if (t.rows == 0 && count < 0) return 0;
    if (index < 1 || index > t.rows) return UI_ERR_BAD_CELL;
    int n = count < 0 ? t.rows - index + 1 : std::min(count, t.rows - index + 1);
    t.rowAttrs.erase(t.rowAttrs.begin() + (index - 1), t.rowAttrs.begin() + (index - 1 + n));
    auto rowAttrs = t.rowAttrs;
    Resize(t, t.rows - n, t.cols, index, 1, 0);
    t.rowAttrs = rowAttrs;
    if (t.active.y > t.rows) t.active = Point{0, 0};
    MarkDirty(*c);
    return 0;
}

int InsertTableColumns(int panel, int control, int index, int count, int cellType)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableData& t = c->table;
    if (count < 0 || index < -1 || index == 0 || index > t.cols + 1) return UI_ERR_BAD_VALUE;
    int at = index < 0 ? t.cols + 1 : index;
    std::vector<TableCell> tmpl = t.columnTemplate;
    std::vector<AttrMap> attrs = t.columnAttrs;
    TableCell fresh;
    fresh.type = cellType < 0 ? VAL_CELL_NUMERIC : cellType;
    if (fresh.type != VAL_CELL_NUMERIC) fresh.dataType = VAL_STRING;
    tmpl.insert(tmpl.begin() + (at - 1), size_t(count), fresh);
    attrs.insert(attrs.begin() + (at - 1), size_t(count), AttrMap{});
    Resize(t, t.rows, t.cols + count, 1, at, fresh.type);
    t.columnTemplate = tmpl;
    t.columnAttrs = attrs;
    MarkDirty(*c);
    return at;
}

int DeleteTableColumns(int panel, int control, int index, int count)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableData& t = c->table;
    if (index < 1 || index > t.cols) return UI_ERR_BAD_CELL;
    int n = count < 0 ? t.cols - index + 1 : std::min(count, t.cols - index + 1);
    std::vector<TableCell> tmpl = t.columnTemplate;
    std::vector<AttrMap> attrs = t.columnAttrs;
    tmpl.erase(tmpl.begin() + (index - 1), tmpl.begin() + (index - 1 + n));
    attrs.erase(attrs.begin() + (index - 1), attrs.begin() + (index - 1 + n));
    Resize(t, t.rows, t.cols - n, 1, index, 0);
    t.columnTemplate = tmpl;
    t.columnAttrs = attrs;
    MarkDirty(*c);
    return 0;
}

int GetNumTableRows(int panel, int control, int* rows)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (!rows) return UI_ERR_BAD_VALUE;
    *rows = c->table.rows;
    return 0;
}

int GetNumTableColumns(int panel, int control, int* columns)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (!columns) return UI_ERR_BAD_VALUE;
    *columns = c->table.cols;
    return 0;
}

static int SetCell(int panel, int control, Point p, double num, const char* text)
{
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableCell* cell = CellAt(c, p, &st);
    if (!cell) return st;
    if ((st = SetCellValue(*cell, num, text)) < 0) return st;
    MarkDirty(*c);
    return 0;
}

int SetTableCellVal(int panel, int control, Point cell, int value) { UI_CALL(); return SetCell(panel, control, cell, value, nullptr); }
int SetTableCellVal(int panel, int control, Point cell, double value) { UI_CALL(); return SetCell(panel, control, cell, value, nullptr); }
int SetTableCellVal(int panel, int control, Point cell, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return SetCell(panel, control, cell, 0.0, value);
}

static const TableCell* GetCell(int panel, int control, Point p, int* st)
{
    Ctrl* c = Table(panel, control, st);
    return c ? CellAt(c, p, st) : nullptr;
}

int GetTableCellVal(int panel, int control, Point cell, int* value)
{
    UI_CALL();
    int st;
    const TableCell* k = GetCell(panel, control, cell, &st);
    if (!k) return st;
    if (k->type != VAL_CELL_NUMERIC || !value) return UI_ERR_BAD_TYPE;
    *value = int(std::trunc(k->num));
    return 0;
}

int GetTableCellVal(int panel, int control, Point cell, double* value)
{
    UI_CALL();
    int st;
    const TableCell* k = GetCell(panel, control, cell, &st);
    if (!k) return st;
    if (k->type != VAL_CELL_NUMERIC || !value) return UI_ERR_BAD_TYPE;
    *value = k->num;
    return 0;
}

int GetTableCellVal(int panel, int control, Point cell, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    const TableCell* k = GetCell(panel, control, cell, &st);
    if (!k) return st;
    if (k->type == VAL_CELL_NUMERIC) return UI_ERR_BAD_TYPE;
    return CopyOut(buffer, bufferSize, k->text);
}

template <typename T>
static int SetRange(int panel, int control, Rect r, const T* values, int rowMajor)
{
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (!values || !RangeOk(c, r)) return UI_ERR_BAD_CELL;
    for (int i = 0; i < r.height; ++i)
        for (int j = 0; j < r.width; ++j) {
            size_t k = rowMajor ? size_t(i) * size_t(r.width) + size_t(j) : size_t(j) * size_t(r.height) + size_t(i);
            TableCell& cell = c->table.at(r.top + i, r.left + j);
            if constexpr (std::is_same_v<T, const char*>) st = SetCellValue(cell, 0.0, values[k] ? values[k] : "");
            else st = SetCellValue(cell, double(values[k]), nullptr);
            if (st < 0) return st;
        }
    MarkDirty(*c);
    return 0;
}

int SetTableCellRangeVals(int panel, int control, Rect range, const double* values, int rowMajor) { UI_CALL(); return SetRange(panel, control, range, values, rowMajor); }
int SetTableCellRangeVals(int panel, int control, Rect range, const int* values, int rowMajor) { UI_CALL(); return SetRange(panel, control, range, values, rowMajor); }
int SetTableCellRangeVals(int panel, int control, Rect range, const char* const* values, int rowMajor) { UI_CALL(); return SetRange(panel, control, range, values, rowMajor); }

int GetTableCellRangeVals(int panel, int control, Rect r, double* values, int rowMajor)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (!values || !RangeOk(c, r)) return UI_ERR_BAD_CELL;
    for (int i = 0; i < r.height; ++i)
        for (int j = 0; j < r.width; ++j) {
            const TableCell& cell = c->table.at(r.top + i, r.left + j);
            if (cell.type != VAL_CELL_NUMERIC) return UI_ERR_BAD_TYPE;
            values[rowMajor ? size_t(i) * size_t(r.width) + size_t(j) : size_t(j) * size_t(r.height) + size_t(i)] = cell.num;
        }
    return 0;
}

int FillTableCellRange(int panel, int control, Rect range, double value)
{
    UI_CALL();
    return RangeAttr(panel, control, range, ATTR_CTRL_VAL, AttrValue{false, value, {}});
}

int FillTableCellRange(int panel, int control, Rect range, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return RangeAttr(panel, control, range, ATTR_CTRL_VAL, AttrValue{true, 0.0, value});
}

int SetTableCellAttribute(int panel, int control, Point cell, int attr, int value) { UI_CALL(); return CellAttr(panel, control, cell, attr, AttrValue{false, double(value), {}}); }
int SetTableCellAttribute(int panel, int control, Point cell, int attr, double value) { UI_CALL(); return CellAttr(panel, control, cell, attr, AttrValue{false, value, {}}); }
int SetTableCellAttribute(int panel, int control, Point cell, int attr, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return CellAttr(panel, control, cell, attr, AttrValue{true, 0.0, value});
}

static int GetCellAttrOut(int panel, int control, Point p, int attr, AttrValue* v)
{
    int st;
    const TableCell* k = GetCell(panel, control, p, &st);
    return k ? GetCellAttr(*k, attr, v) : st;
}

int GetTableCellAttribute(int panel, int control, Point cell, int attr, int* value)
{
    UI_CALL();
    AttrValue v;
    int st = GetCellAttrOut(panel, control, cell, attr, &v);
    if (st < 0) return st;
    if (v.isText || !value) return UI_ERR_BAD_TYPE;
    *value = int(v.num);
    return 0;
}

int GetTableCellAttribute(int panel, int control, Point cell, int attr, double* value)
{
    UI_CALL();
    AttrValue v;
    int st = GetCellAttrOut(panel, control, cell, attr, &v);
    if (st < 0) return st;
    if (v.isText || !value) return UI_ERR_BAD_TYPE;
    *value = v.num;
    return 0;
}

int GetTableCellAttribute(int panel, int control, Point cell, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    AttrValue v;
    int st = GetCellAttrOut(panel, control, cell, attr, &v);
    if (st < 0) return st;
    return CopyOut(buffer, bufferSize, v.text);
}

int SetTableCellRangeAttribute(int panel, int control, Rect range, int attr, int value) { UI_CALL(); return RangeAttr(panel, control, range, attr, AttrValue{false, double(value), {}}); }
int SetTableCellRangeAttribute(int panel, int control, Rect range, int attr, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return RangeAttr(panel, control, range, attr, AttrValue{true, 0.0, value});
}

int SetTableColumnAttribute(int panel, int control, int column, int attr, int value) { UI_CALL(); return LineAttr(panel, control, column, true, attr, AttrValue{false, double(value), {}}); }
int SetTableColumnAttribute(int panel, int control, int column, int attr, double value) { UI_CALL(); return LineAttr(panel, control, column, true, attr, AttrValue{false, value, {}}); }
int SetTableColumnAttribute(int panel, int control, int column, int attr, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return LineAttr(panel, control, column, true, attr, AttrValue{true, 0.0, value});
}

int GetTableColumnAttribute(int panel, int control, int column, int attr, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (column < 1 || column > c->table.cols || !value) return UI_ERR_BAD_CELL;
    *value = LookInt(c->table.columnAttrs[size_t(column - 1)], attr, 0);
    return 0;
}

int GetTableColumnAttribute(int panel, int control, int column, int attr, char* buffer, int bufferSize)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (column < 1 || column > c->table.cols) return UI_ERR_BAD_CELL;
    if (attr == ATTR_COLUMN_LABEL_TEXT) attr = ATTR_LABEL_TEXT;
    return CopyOut(buffer, bufferSize, LookText(c->table.columnAttrs[size_t(column - 1)], attr, ""));
}

int SetTableRowAttribute(int panel, int control, int row, int attr, int value) { UI_CALL(); return LineAttr(panel, control, row, false, attr, AttrValue{false, double(value), {}}); }
int SetTableRowAttribute(int panel, int control, int row, int attr, const char* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    return LineAttr(panel, control, row, false, attr, AttrValue{true, 0.0, value});
}

int GetTableRowAttribute(int panel, int control, int row, int attr, int* value)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (row < 1 || row > c->table.rows || !value) return UI_ERR_BAD_CELL;
    *value = LookInt(c->table.rowAttrs[size_t(row - 1)], attr, 0);
    return 0;
}

int SetActiveTableCell(int panel, int control, Point cell)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (!CellAt(c, cell, &st)) return st;
    c->table.active = cell;
    MarkDirty(*c);
    return 0;
}

int SetTableCellBitmap(int panel, int control, Point cell, int bitmap)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableCell* k = CellAt(c, cell, &st);
    if (!k) return st;
    QPixmap picture;
    if (bitmap) {
        auto it = RT().bitmaps.find(bitmap);
        if (it == RT().bitmaps.end()) return UI_ERR_BAD_BITMAP;
        picture = QPixmap::fromImage(it->second);
    }
    if (!picture.isNull() || !k->Picture().isNull()) k->EditPicture() = picture;
    MarkDirty(*c);
    return 0;
}

int GetActiveTableCell(int panel, int control, Point* cell)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (!cell) return UI_ERR_BAD_VALUE;
    *cell = c->table.active;
    return 0;
}

int GetTableCellFromPoint(int panel, int control, Point point, Point* cell)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    if (!cell) return UI_ERR_BAD_VALUE;
    *cell = Point{0, 0};
    FlushTable(*c);
    auto* w = dynamic_cast<QTableView*>(c->widget.data());
    if (!w) return 0;
    QModelIndex mi = w->indexAt(w->viewport()->mapFrom(w, QPoint(point.x, point.y)));
    if (mi.isValid()) *cell = Point{mi.column() + 1, mi.row() + 1};
    return 0;
}

int InsertTableCellRingItem(int panel, int control, Point cell, int index, const char* label)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableCell* k = CellAt(c, cell, &st);
    if (!k) return st;
    if (k->type != VAL_CELL_RING) return UI_ERR_WRONG_KIND;
    if (!label || index < -1 || index > int(k->Ring().size())) return UI_ERR_BAD_INDEX;
    int at = index < 0 ? int(k->Ring().size()) : index;
    k->EditRing().insert(k->EditRing().begin() + at, label);
    if (k->ringIndex >= at) ++k->ringIndex;
    if (k->text.empty() && k->Ring().size() == 1) {
        k->text = label;
        k->ringIndex = 0;
    }
    MarkDirty(*c);
    return at;
}

int DeleteTableCellRingItems(int panel, int control, Point cell, int index, int count)
{
    UI_CALL();
    int st;
    Ctrl* c = Table(panel, control, &st);
    if (!c) return st;
    TableCell* k = CellAt(c, cell, &st);
    if (!k) return st;
    if (k->type != VAL_CELL_RING) return UI_ERR_WRONG_KIND;
    int n = int(k->Ring().size());
    if (n == 0) return 0;
    if (index < 0 || index >= n) return UI_ERR_BAD_INDEX;
    int last = count < 0 ? n : std::min(n, index + count);
    k->EditRing().erase(k->EditRing().begin() + index, k->EditRing().begin() + last);
    if (k->ringIndex >= last) k->ringIndex -= last - index;
    else if (k->ringIndex >= index) k->ringIndex = -1;
    MarkDirty(*c);
    return 0;
}

int GetNumTableCellRingItems(int panel, int control, Point cell, int* count)
{
    UI_CALL();
    int st;
    const TableCell* k = GetCell(panel, control, cell, &st);
    if (!k) return st;
    if (k->type != VAL_CELL_RING || !count) return UI_ERR_WRONG_KIND;
    *count = int(k->Ring().size());
    return 0;
}
