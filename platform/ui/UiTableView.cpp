// Table view: a model/view adapter over the run-time's cell model, so that
// thousands of rows fill and repaint fast, and the cell editors through
// which a user types into numeric and string cells or picks a ring cell's
// item from its drop-down. Every edit enters the model as a user commit.
#include "platform/ui/UiModel.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QApplication>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace cz::ui {

namespace {

// The cell (column, row from 0) an editor was opened on.
constexpr const char* kEditorCell = "czCell";

const TableCell* LiveCell(int panel, int control, const QModelIndex& index)
{
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_TABLE || !index.isValid()) return nullptr;
    if (index.row() >= c->table.rows || index.column() >= c->table.cols) return nullptr;
    return &c->table.at(index.row() + 1, index.column() + 1);
}

// The text a cell shows (and an editor starts with).
QString CellText(const TableCell& cell)
{
    if (cell.type == VAL_CELL_NUMERIC)
        return QStr(FormatNumber(cell.num, cell.dataType, cell.precision, LookInt(cell.Attrs(), ATTR_FORMAT, 0)));
    return QStr(cell.text);
}

bool Editable(const Ctrl& c, const TableCell& cell)
{
    return UserCanOperate(c) && !cell.dimmed && cell.mode != VAL_INDICATOR && cell.type != VAL_CELL_BUTTON &&
           cell.type != VAL_CELL_PICTURE;
}

// Tab from the cell (column, row from 0) of a table view: its current cell
// moves to the next (or previous) cell the user can edit, as in a
// spreadsheet, and after the last one the focus leaves the table.
void TabFromCell(QAbstractItemView* view, QPoint from, bool forward);

class CellModel : public QAbstractTableModel {
public:
    CellModel(int panel, int control, QObject* parent) : QAbstractTableModel(parent), panel_(panel), control_(control) {}
    int rowCount(const QModelIndex& = QModelIndex()) const override { return shownRows; }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return shownCols; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const TableCell* cell = LiveCell(panel_, control_, index);
        if (!cell) return {};
        switch (role) {
        case Qt::DisplayRole:
            if (cell->type == VAL_CELL_PICTURE) return {};
            return CellText(*cell);
        case Qt::EditRole: return CellText(*cell);
        case Qt::DecorationRole:
            // Button and picture cells draw their image themselves.
            if (cell->Picture().isNull() || cell->type == VAL_CELL_BUTTON || cell->type == VAL_CELL_PICTURE) return {};
            return cell->Picture();
        // A dimmed cell, or any cell of a dimmed table, in the platform's
        // disabled colours whatever its own.
        case Qt::ForegroundRole:
            if (Dimmed(*cell)) return QApplication::palette().color(QPalette::Disabled, QPalette::Text);
            return QColor::fromRgb(QRgb(cell->textColor & 0xFFFFFF));
        case Qt::BackgroundRole:
            if (Dimmed(*cell)) return QApplication::palette().color(QPalette::Disabled, QPalette::Base);
            return (cell->bgColor & VAL_TRANSPARENT) ? QVariant() : QVariant(QColor::fromRgb(QRgb(cell->bgColor)));
        case Qt::FontRole: {
            if (!cell->Attrs().count(ATTR_TEXT_FONT) && !cell->Attrs().count(ATTR_TEXT_POINT_SIZE) &&
                !cell->Attrs().count(ATTR_TEXT_BOLD))
                return {};
            QFont f = RuntimeFont(LookText(cell->Attrs(), ATTR_TEXT_FONT, "NIDialog"),
                                  LookInt(cell->Attrs(), ATTR_TEXT_POINT_SIZE, 13));
            f.setBold(LookInt(cell->Attrs(), ATTR_TEXT_BOLD, 0) != 0);
            return f;
        }
        case Qt::TextAlignmentRole: {
            const int dflt = cell->type == VAL_CELL_NUMERIC ? VAL_RIGHT_JUSTIFIED
                             : cell->type == VAL_CELL_BUTTON ? VAL_CENTER_JUSTIFIED
                                                             : VAL_LEFT_JUSTIFIED;
            const int j = LookInt(cell->Attrs(), ATTR_CELL_JUSTIFY, dflt);
            const Qt::Alignment h = j == VAL_RIGHT_JUSTIFIED ? Qt::AlignRight
                                    : j == VAL_CENTER_JUSTIFIED ? Qt::AlignHCenter
                                                                : Qt::AlignLeft;
            return int(h | Qt::AlignVCenter);
        }
        default: return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c) return {};
        const std::vector<AttrMap>& lines = o == Qt::Horizontal ? c->table.columnAttrs : c->table.rowAttrs;
        if (role == Qt::FontRole && section < int(lines.size()) && lines[size_t(section)].count(ATTR_LABEL_FONT)) {
            const AttrMap& line = lines[size_t(section)];
            QFont f = RuntimeFont(LookText(line, ATTR_LABEL_FONT, "NIDialog"), LookInt(line, ATTR_LABEL_POINT_SIZE, 13));
            f.setBold(LookInt(line, ATTR_LABEL_BOLD, 0) != 0);
            return f;
        }
        if (role != Qt::DisplayRole) return {};
        if (section < int(lines.size())) {
            // Trailing blanks of a label only pad it in the design; the
            // header centres the text that shows.
            QString label = QStr(LookText(lines[size_t(section)], ATTR_LABEL_TEXT, std::to_string(section + 1)));
            while (label.endsWith(QLatin1Char(' '))) label.chop(1);
            return label;
        }
        return section + 1;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Ctrl* c = FindCtrl(panel_, control_);
        const TableCell* cell = LiveCell(panel_, control_, index);
        if (!c || !cell) return Qt::NoItemFlags;
        if (cell->dimmed) return Qt::ItemIsSelectable;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (Editable(*c, *cell)) f |= Qt::ItemIsEditable;
        return f;
    }
    bool setData(const QModelIndex& index, const QVariant& v, int role) override
    {
        if (role != Qt::EditRole || !LiveCell(panel_, control_, index)) return false;
        const QByteArray text = v.toString().toUtf8();
        return TableCommitTextAsUser(panel_, control_, Point{index.column() + 1, index.row() + 1}, text.constData()) > 0;
    }
    bool Dimmed(const TableCell& cell) const
    {
        if (cell.dimmed) return true;
        const Ctrl* c = FindCtrl(panel_, control_);
        return c && c->widget && !c->widget->isEnabled();
    }
    // Rows added at the end or removed from it are told as such, so that a
    // large table filled in pieces costs the view only the rows of each
    // piece; other changes of the size reset the model.
    void Sync(int rows, int cols)
    {
        if (cols == shownCols && cols > 0 && rows > shownRows) {
            const int old = shownRows;
            beginInsertRows(QModelIndex(), old, rows - 1);
            shownRows = rows;
            endInsertRows();
            if (old > 0) Q_EMIT dataChanged(index(0, 0), index(old - 1, cols - 1));
        } else if (cols == shownCols && cols > 0 && rows < shownRows && rows > 0) {
            beginRemoveRows(QModelIndex(), rows, shownRows - 1);
            shownRows = rows;
            endRemoveRows();
            Q_EMIT dataChanged(index(0, 0), index(rows - 1, cols - 1));
        } else if (rows != shownRows || cols != shownCols) {
            beginResetModel();
            shownRows = rows;
            shownCols = cols;
            endResetModel();
        } else if (rows > 0 && cols > 0) {
            Q_EMIT dataChanged(index(0, 0), index(rows - 1, cols - 1));
            Q_EMIT headerDataChanged(Qt::Horizontal, 0, cols - 1);
        }
    }
    int shownRows = 0, shownCols = 0;

private:
    int panel_, control_;
};

// Editors: a combo box for ring cells (opened at once, choosing an item
// commits), a line edit for numeric and string cells. An edit that leaves
// the shown text unchanged commits nothing, so that confirming a numeric
// shown with fewer digits never replaces the full value.
class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(int panel, int control, QObject* parent) : QStyledItemDelegate(parent), panel_(panel), control_(control) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        const TableCell* cell = LiveCell(panel_, control_, index);
        if (!cell) return nullptr;
        if (cell->type == VAL_CELL_RING) {
            auto* combo = new QComboBox(parent);
            combo->setProperty(kEditorCell, QPoint(index.column(), index.row()));
            for (const std::string& item : cell->Ring()) combo->addItem(QStr(item));
            QObject::connect(combo, &QComboBox::activated, combo, [this, combo](int) {
                QPointer<CellDelegate> self = const_cast<CellDelegate*>(this);
                QPointer<QComboBox> open = combo;
                combo->setProperty("czChosen", true);
                Q_EMIT self->commitData(combo);
                // The commit's callback may have discarded the table with its editor.
                if (self && open) Q_EMIT self->closeEditor(combo);
            });
            QTimer::singleShot(0, combo, [combo] {
                if (combo->isVisible()) combo->showPopup();
            });
            return combo;
        }
        auto* edit = new QLineEdit(parent);
        edit->setProperty(kEditorCell, QPoint(index.column(), index.row()));
        edit->setFrame(false);
        const int maxLen = LookInt(cell->Attrs(), ATTR_MAX_ENTRY_LENGTH, -1);
        if (cell->type == VAL_CELL_STRING && maxLen >= 0) edit->setMaxLength(std::max(1, maxLen));
        return edit;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const TableCell* cell = LiveCell(panel_, control_, index);
        if (!cell) return;
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            QSignalBlocker block(combo);
            // The items may have been rebuilt while the drop-down is open.
            QStringList items;
            for (const std::string& item : cell->Ring()) items << QStr(item);
            QStringList shown;
            for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
            if (shown != items) {
                combo->clear();
                combo->addItems(items);
            }
            int at = cell->ringIndex;
            if (at < 0 || at >= int(cell->Ring().size()) || cell->Ring()[size_t(at)] != cell->text) {
                auto it = std::find(cell->Ring().begin(), cell->Ring().end(), cell->text);
                at = it == cell->Ring().end() ? -1 : int(it - cell->Ring().begin());
            }
            combo->setCurrentIndex(at);
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            if (edit->property("czStart").isValid()) return; // keep what the user is typing
            edit->setText(CellText(*cell));
            edit->setProperty("czStart", edit->text());
        }
    }
    // Tab and Shift+Tab in an editor commit it and move to the next or
    // previous editable cell; the commit's callback may rewrite the rows or
    // discard the table first.
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const auto* k = static_cast<const QKeyEvent*>(event);
            const bool tab = k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab;
            if (tab && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                const bool forward = k->key() == Qt::Key_Tab && !(k->modifiers() & Qt::ShiftModifier);
                const QVariant at = editor->property(kEditorCell);
                QPointer<QAbstractItemView> view = qobject_cast<QAbstractItemView*>(parent());
                QPointer<CellDelegate> self = this;
                QPointer<QWidget> open = editor;
                Q_EMIT commitData(editor);
                if (self && open) Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
                if (view && at.isValid()) TabFromCell(view, at.toPoint(), forward);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        if (!LiveCell(panel_, control_, index)) return;
        const Point cell{index.column() + 1, index.row() + 1};
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            if (!combo->property("czChosen").toBool() || combo->currentIndex() < 0) return;
            combo->setProperty("czChosen", false);
            TableCommitAsUser(panel_, control_, cell, 0.0, StdStr(combo->currentText()).c_str(), combo->currentIndex());
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            if (edit->text() == edit->property("czStart").toString()) return;
            edit->setProperty("czStart", edit->text());
            TableCommitTextAsUser(panel_, control_, cell, StdStr(edit->text()).c_str());
        }
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const TableCell* cell = LiveCell(panel_, control_, index);
        if (cell && cell->type == VAL_CELL_BUTTON) return PaintButton(painter, option, index, *cell);
        if (cell && cell->type == VAL_CELL_PICTURE) return PaintPicture(painter, option, *cell);
        QStyledItemDelegate::paint(painter, option, index);
        if (!cell || cell->type != VAL_CELL_RING || cell->dimmed || cell->mode == VAL_INDICATOR || TableDimmed()) return;
        // The drop-down arrow of an operable ring cell.
        const QRect r = option.rect;
        const int s = std::min(8, std::max(4, r.height() / 3));
        const QPoint c(r.right() - s - 2, r.center().y());
        const QPoint tri[3] = {QPoint(c.x() - s / 2, c.y() - s / 4), QPoint(c.x() + s / 2, c.y() - s / 4),
                               QPoint(c.x(), c.y() + s / 4 + 1)};
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0x40, 0x40, 0x40));
        painter->drawPolygon(tri, 3);
        painter->restore();
    }

private:
    bool TableDimmed() const
    {
        const Ctrl* c = FindCtrl(panel_, control_);
        return c && c->widget && !c->widget->isEnabled();
    }
    // A button cell is a raised push button over the cell (sunken while the
    // mouse holds it), with its label and image. A dimmed button cell, or
    // any of a dimmed table, is drawn in the platform's disabled colours
    // whatever its own face and text colours.
    void PaintButton(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                     const TableCell& cell) const
    {
        const Ctrl* c = FindCtrl(panel_, control_);
        const bool dimmed = cell.dimmed || TableDimmed();
        const bool operable = c && UserCanOperate(*c) && !cell.dimmed && cell.mode != VAL_INDICATOR;
        QStyleOptionButton b;
        b.rect = option.rect.adjusted(1, 1, -1, -1);
        b.text = CellText(cell);
        b.state = operable ? QStyle::State_Enabled : QStyle::State_None;
        const QVariant pressed = option.widget ? option.widget->property("czPressed") : QVariant();
        if (pressed.isValid() && pressed.toPoint() == QPoint(index.column(), index.row())) b.state |= QStyle::State_Sunken;
        else b.state |= QStyle::State_Raised;
        b.palette = option.palette;
        if (dimmed) {
            b.palette = QApplication::palette();
            b.palette.setCurrentColorGroup(QPalette::Disabled);
        } else {
            if (!(cell.bgColor & VAL_TRANSPARENT) && (cell.bgColor & 0xFFFFFF) != 0xFFFFFF)
                b.palette.setColor(QPalette::Button, QColor::fromRgb(QRgb(cell.bgColor & 0xFFFFFF)));
            b.palette.setColor(QPalette::ButtonText, QColor::fromRgb(QRgb(cell.textColor & 0xFFFFFF)));
        }
        if (!cell.Picture().isNull()) {
            b.icon = PictureIcon(cell.Picture());
            const int side = std::max(1, b.rect.height() - 4);
            b.iconSize = QSize(side, side);
        }
        QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_PushButton, &b, painter, option.widget);
    }
    // A picture cell shows its image scaled into the cell, keeping its shape.
    void PaintPicture(QPainter* painter, const QStyleOptionViewItem& option, const TableCell& cell) const
    {
        if (!(cell.bgColor & VAL_TRANSPARENT)) painter->fillRect(option.rect, QColor::fromRgb(QRgb(cell.bgColor & 0xFFFFFF)));
        if (cell.Picture().isNull()) return;
        const QSize fit = cell.Picture().size().scaled(option.rect.size() - QSize(2, 2), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), fit);
        target.moveCenter(option.rect.center());
        painter->drawPixmap(target, cell.Picture());
    }

    int panel_, control_;
};

class TableView : public QTableView {
public:
    TableView(int panel, int control, QWidget* parent) : QTableView(parent), panel_(panel), control_(control)
    {
        model = new CellModel(panel, control, this);
        setModel(model);
        setItemDelegate(new CellDelegate(panel, control, this));
        verticalHeader()->setDefaultSectionSize(18);
        setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::AnyKeyPressed);
    }
    CellModel* model;
    bool syncing = false; // the run-time moves the current cell: no event
    // The text editor open on the current cell, null when none.
    QLineEdit* OpenTextEditor() const
    {
        if (state() != QAbstractItemView::EditingState) return nullptr;
        return qobject_cast<QLineEdit*>(indexWidget(currentIndex()));
    }
    // Opens the editor of cell (1-based); a ring cell shows its items.
    bool OpenEditor(Point cell)
    {
        QModelIndex mi = model->index(cell.y - 1, cell.x - 1);
        if (!mi.isValid() || !(model->flags(mi) & Qt::ItemIsEditable)) return false;
        syncing = true;
        setCurrentIndex(mi);
        syncing = false;
        edit(mi);
        return indexWidget(mi) != nullptr;
    }

    // The editable cell after (or before) the cell at (column, row), in row
    // order, hidden rows and columns passed over; invalid when none.
    QModelIndex NextEditable(QPoint from, bool forward) const
    {
        const int rows = model->rowCount(), cols = model->columnCount();
        int r = from.y(), c = from.x();
        for (long n = 0; n < long(rows) * cols; ++n) {
            if (forward && ++c >= cols) c = 0, ++r;
            if (!forward && --c < 0) c = cols - 1, --r;
            if (r < 0 || r >= rows) return {};
            if (isRowHidden(r) || isColumnHidden(c)) continue;
            const QModelIndex mi = model->index(r, c);
            if (model->flags(mi) & Qt::ItemIsEditable) return mi;
        }
        return {};
    }
    bool MoveToEditable(QPoint from, bool forward)
    {
        const QModelIndex to = NextEditable(from, forward);
        if (!to.isValid()) return false;
        setCurrentIndex(to);
        scrollTo(to);
        return true;
    }
    void TabFrom(QPoint from, bool forward)
    {
        if (!MoveToEditable(from, forward)) {
            QWidget::focusNextPrevChild(forward);
            return;
        }
        // A commit's redraw may have taken the focus with the editor.
        if (!hasFocus()) setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }

protected:
    // Tab and Shift+Tab walk the cells the user can edit, then leave the
    // table for the next control.
    bool focusNextPrevChild(bool next) override
    {
        if (state() != QAbstractItemView::EditingState && tabKeyNavigation()) {
            const QModelIndex at = currentIndex();
            const QPoint from = at.isValid() ? QPoint(at.column(), at.row()) : QPoint(next ? -1 : model->columnCount(), next ? 0 : model->rowCount() - 1);
            if (MoveToEditable(from, next)) return true;
        }
        return QWidget::focusNextPrevChild(next);
    }
    // Delete and Backspace on a cell the user can edit clear it for typing
    // (confirmed as any edit, left unchanged when nothing is typed); they
    // never reach the panel, where Delete may remove the row.
    void keyPressEvent(QKeyEvent* e) override
    {
        const bool erase = e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace;
        const QModelIndex mi = currentIndex();
        if (erase && !(e->modifiers() & ~Qt::KeypadModifier) && state() != QAbstractItemView::EditingState &&
            mi.isValid() && (model->flags(mi) & Qt::ItemIsEditable)) {
            const TableCell* k = LiveCell(panel_, control_, mi);
            if (k && k->type != VAL_CELL_RING && OpenEditor(Point{mi.column() + 1, mi.row() + 1}))
                if (auto* edit = qobject_cast<QLineEdit*>(indexWidget(mi))) edit->clear();
            e->accept();
            return;
        }
        QTableView::keyPressEvent(e);
    }
    // The commit of an editor runs its cell's callback before the editor is
    // closed; a callback that hides the table, rewrites or removes its rows
    // or moves the focus has closed the editor already, and the close that
    // follows the commit then finds nothing of its own to close.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        if (const QVariant at = editor ? editor->property(kEditorCell) : QVariant(); at.isValid()) {
            const QModelIndex mi = model->index(at.toPoint().y(), at.toPoint().x());
            if (!mi.isValid() || indexWidget(mi) != editor) return;
        }
        QTableView::closeEditor(editor, hint);
    }
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override
    {
        QTableView::currentChanged(current, previous);
        if (syncing || !current.isValid()) return;
        TableUserActivate(panel_, control_, Point{current.column() + 1, current.row() + 1});
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QTableView::mouseReleaseEvent(e);
        if (property("czPressed").isValid()) {
            setProperty("czPressed", QVariant());
            viewport()->update();
        }
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        QTableView::mousePressEvent(e);
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c) return;
        QModelIndex mi = indexAt(e->position().toPoint());
        if (const TableCell* k = LiveCell(panel_, control_, mi); k && k->type == VAL_CELL_BUTTON && e->button() == Qt::LeftButton) {
            setProperty("czPressed", QPoint(mi.column(), mi.row()));
            viewport()->update();
        }
        QPoint p = viewport()->mapTo(this, e->position().toPoint());
        const Point cell = mi.isValid() ? Point{mi.column() + 1, mi.row() + 1} : Point{0, 0};
        TableUserClick(*c, cell, p.y(), p.x(), e->button() == Qt::RightButton);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        QTableView::mouseDoubleClickEvent(e);
        Ctrl* c = FindCtrl(panel_, control_);
        if (!c || !UserCanOperate(*c)) return;
        QPoint p = viewport()->mapTo(this, e->position().toPoint());
        RaiseCtrlEvent(panel_, control_, EVENT_LEFT_DOUBLE_CLICK, p.y(), p.x());
    }

private:
    int panel_, control_;
};

void TabFromCell(QAbstractItemView* view, QPoint from, bool forward)
{
    if (auto* table = dynamic_cast<TableView*>(view)) table->TabFrom(from, forward);
}

} // namespace

int TableUserClick(Ctrl& ctrl, Point cell, int y, int x, bool right)
{
    if (!UserCanOperate(ctrl)) return 0;
    const int panel = ctrl.panel, control = ctrl.id;
    const bool onCell = cell.y >= 1 && cell.y <= ctrl.table.rows && cell.x >= 1 && cell.x <= ctrl.table.cols;
    if (onCell && !TableUserActivate(panel, control, cell)) return 1;
    // A callback that returns non-zero swallows the click.
    if (RaiseCtrlEvent(panel, control, right ? EVENT_RIGHT_CLICK : EVENT_LEFT_CLICK, y, x) != 0) return 1;
    Ctrl* c = FindCtrl(panel, control);
    if (right || !onCell || !c || c->kind != CTRL_TABLE) return 1;
    const TableCell* k = cell.y <= c->table.rows && cell.x <= c->table.cols ? &c->table.at(cell.y, cell.x) : nullptr;
    if (!k || !UserCanOperate(*c) || k->dimmed || k->mode == VAL_INDICATOR) return 1;
    // The click callback may just have made this cell a ring: a click on an
    // operable ring cell opens its drop-down; a button cell commits.
    if (k->type == VAL_CELL_RING) OpenTableCellEditor(*c, cell);
    else if (k->type == VAL_CELL_BUTTON) TableCommitAsUser(panel, control, cell, 0.0, nullptr);
    return 1;
}

bool TableUserActivate(int panel, int control, Point cell)
{
    Ctrl* c = FindCtrl(panel, control);
    if (!c || c->kind != CTRL_TABLE) return false;
    if (cell.y < 1 || cell.y > c->table.rows || cell.x < 1 || cell.x > c->table.cols) return true;
    if (c->table.active.x == cell.x && c->table.active.y == cell.y) return true;
    c->table.active = cell;
    if (UserCanOperate(*c)) RaiseCtrlEvent(panel, control, EVENT_ACTIVE_CELL_CHANGE, cell.y, cell.x);
    c = FindCtrl(panel, control);
    return c && c->kind == CTRL_TABLE;
}

QWidget* NewTableWidget(int panel, int control, QWidget* parent) { return new TableView(panel, control, parent); }

} // namespace cz::ui

int GetTableColumnWidthForText(int panel, int control, int column, const char* text, int* width)
{
    using namespace cz::ui;
    UI_CALL();
    int st;
    Ctrl* c = FindCtrl(panel, control, &st);
    if (!c) return st;
    if (c->kind != CTRL_TABLE) return UI_ERR_WRONG_KIND;
    if (column < 1 || column > c->table.cols) return UI_ERR_BAD_CELL;
    if (!text || !width) return UI_ERR_BAD_VALUE;
    // The font as the cells draw it (see the model's font role).
    const AttrMap& m = c->table.columnAttrs[size_t(column - 1)];
    QWidget* w = c->widget.data();
    QFont font = w ? w->font() : QApplication::font();
    if (m.count(ATTR_TEXT_FONT) || m.count(ATTR_TEXT_POINT_SIZE) || m.count(ATTR_TEXT_BOLD)) {
        font = RuntimeFont(LookText(m, ATTR_TEXT_FONT, "NIDialog"), LookInt(m, ATTR_TEXT_POINT_SIZE, 13));
        font.setBold(LookInt(m, ATTR_TEXT_BOLD, 0) != 0);
    }
    // An item view draws a text inside a margin on either side; the grid
    // line takes one pixel of the column.
    QStyle* style = w ? w->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, w) + 1;
    const double advance = QFontMetricsF(font).horizontalAdvance(QStr(text));
    *width = int(std::ceil(advance)) + 2 * margin + 1;
    return 0;
}

namespace cz::ui {

void FlushTable(Ctrl& c)
{
    auto* w = dynamic_cast<TableView*>(c.widget.data());
    if (!w || c.table.runBusy) return;
    struct Syncing {
        TableView* view;
        explicit Syncing(TableView* v) : view(v) { view->syncing = true; }
        ~Syncing() { view->syncing = false; }
    } syncing(w);
    w->model->Sync(c.table.rows, c.table.cols);
    for (int col = 0; col < c.table.cols; ++col) {
        const AttrMap& m = c.table.columnAttrs[size_t(col)];
        int width = LookInt(m, ATTR_COLUMN_WIDTH, 0);
        if (width > 0 && w->columnWidth(col) != width) w->setColumnWidth(col, width);
        w->setColumnHidden(col, LookInt(m, ATTR_COLUMN_VISIBLE, 1) == 0 || LookInt(m, ATTR_VISIBLE, 1) == 0);
    }
    for (int row = 0; row < c.table.rows; ++row) {
        const AttrMap& m = c.table.rowAttrs[size_t(row)];
        if (m.empty()) continue;
        int height = LookInt(m, ATTR_ROW_HEIGHT, 0);
        if (height > 0 && w->rowHeight(row) != height) w->setRowHeight(row, height);
        w->setRowHidden(row, LookInt(m, ATTR_VISIBLE, 1) == 0);
    }
    w->verticalHeader()->setVisible(LookInt(c.look, ATTR_ROW_LABELS_VISIBLE, 1) != 0);
    w->horizontalHeader()->setVisible(LookInt(c.look, ATTR_COLUMN_LABELS_VISIBLE, 1) != 0);
    if (c.table.active.x > 0 && c.table.active.y > 0 && !w->indexWidget(w->currentIndex()))
        w->setCurrentIndex(w->model->index(c.table.active.y - 1, c.table.active.x - 1));
}

QWidget* OpenTableCellEditor(Ctrl& c, Point cell)
{
    auto* w = dynamic_cast<TableView*>(c.widget.data());
    if (!w || cell.y < 1 || cell.y > c.table.rows || cell.x < 1 || cell.x > c.table.cols) return nullptr;
    if (!Editable(c, c.table.at(cell.y, cell.x))) return nullptr;
    // The user opening an editor makes its cell the active one.
    const int panel = c.panel, control = c.id;
    if (!TableUserActivate(panel, control, cell)) return nullptr;
    Ctrl* k = FindCtrl(panel, control);
    if (!k || w != k->widget.data() || cell.y > k->table.rows || cell.x > k->table.cols ||
        !Editable(*k, k->table.at(cell.y, cell.x)))
        return nullptr;
    FlushTable(*k);
    QModelIndex mi = w->model->index(cell.y - 1, cell.x - 1);
    if (QWidget* open = w->indexWidget(mi)) return open;
    return w->OpenEditor(cell) ? w->indexWidget(mi) : nullptr;
}

void SubmitOpenTableEditors()
{
    if (!QApplication::instance()) return;
    std::vector<QPointer<TableView>> views;
    for (QWidget* w : QApplication::allWidgets())
        if (auto* v = dynamic_cast<TableView*>(w); v && v->OpenTextEditor()) views.emplace_back(v);
    for (const QPointer<TableView>& v : views) {
        // An earlier commit's callback may have closed this editor or the view.
        QLineEdit* editor = v ? v->OpenTextEditor() : nullptr;
        if (!editor) continue;
        QPointer<QAbstractItemDelegate> d = v->itemDelegate();
        QPointer<QLineEdit> open = editor;
        Q_EMIT d->commitData(editor);
        // The commit's callback may have discarded the table with its editor.
        if (v && d && open) Q_EMIT d->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void SubmitTableCellEditor(Ctrl& c, QWidget* editor)
{
    auto* w = dynamic_cast<TableView*>(c.widget.data());
    if (!w || !editor) return;
    QPointer<QAbstractItemDelegate> d = w->itemDelegate();
    QPointer<QWidget> open = editor;
    Q_EMIT d->commitData(editor);
    // The commit's callback may have discarded the table with its editor.
    if (d && open) Q_EMIT d->closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
}

} // namespace cz::ui
