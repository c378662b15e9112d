// Internal model of the user-interface run-time: what each panel and control
// holds, independent of the widgets that draw it. Shared by the run-time's
// units only; programs use UserInterface.h.
#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include <climits>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/UserInterface.h"


namespace cz::ui {

// One attribute value in a control's look store.
struct AttrValue {
    bool isText = false;
    double num = 0.0;
    std::string text;
};
using AttrMap = std::map<int, AttrValue>;

// Ring item: label and a value typed by the ring's data type.
struct ListItem {
    std::string label;
    double num = 0.0;
    std::string text;
};

struct TreeItem {
    std::string tag;
    int level = 0;
    double value = 0.0;
    bool collapsed = true;
    int markType = VAL_MARK_NONE;
    int markState = 0;
    int image = -1;
    int collapsedImage = -1;
    bool dimmed = false;
    std::vector<std::string> cellText; // column texts; [0] is the label
    std::map<int, AttrMap> cellAttrs;  // column -> look of that cell
    AttrMap attrs;                     // remaining item attributes
    bool folderPending = false;        // folder browser: has sub-folders, none read yet
};

struct TreeData {
    std::vector<TreeItem> items; // depth-first display order
    int active = -1;
    int columns = 1;
    std::map<int, AttrMap> columnAttrs;
    std::vector<QPixmap> images;
    std::set<std::string> tags;
    // Per tag base, the last "#n" suffix UniqueTag gave: many items of one
    // label are tagged in constant time each.
    std::unordered_map<std::string, int> tagSuffix;
    bool folderBrowser = false;
};

// What few cells hold: ring items, a look of their own, a picture. Kept
// apart from the cell, so that a plain cell stays small: a table of a
// million rows holds millions of cells.
struct TableCellExtras {
    std::vector<std::string> ring; // ring cell items
    AttrMap attrs;                 // remaining cell attributes
    QPixmap picture;               // cell image (SetTableCellBitmap); null = none
};

// A cell's extras, made on the first write; copies are deep.
class TableCellExtrasPtr {
public:
    TableCellExtrasPtr() = default;
    TableCellExtrasPtr(const TableCellExtrasPtr& o) : p_(o.p_ ? std::make_unique<TableCellExtras>(*o.p_) : nullptr) {}
    TableCellExtrasPtr& operator=(const TableCellExtrasPtr& o)
    {
        if (this != &o) p_ = o.p_ ? std::make_unique<TableCellExtras>(*o.p_) : nullptr;
        return *this;
    }
    TableCellExtrasPtr(TableCellExtrasPtr&&) noexcept = default;
    TableCellExtrasPtr& operator=(TableCellExtrasPtr&&) noexcept = default;
    const TableCellExtras& get() const
    {
        static const TableCellExtras* const none = new TableCellExtras(); // never freed: read after exit paths too
        return p_ ? *p_ : *none;
    }
    TableCellExtras& edit()
    {
        if (!p_) p_ = std::make_unique<TableCellExtras>();
        return *p_;
    }

private:
    std::unique_ptr<TableCellExtras> p_;
};

struct TableCell {
    int type = VAL_CELL_NUMERIC;
    int dataType = VAL_DOUBLE;
    int mode = VAL_HOT;
    bool dimmed = false;
    int precision = 2;
    int textColor = 0x000000;
    int bgColor = 0xFFFFFF;
    double num = 0.0;
    double minV = -1.0e300;
    double maxV = 1.0e300;
    std::string text;
    int ringIndex = -1;            // ring cell: the active item (items may share a label); -1 none
    TableCellExtrasPtr extras;

    const std::vector<std::string>& Ring() const { return extras.get().ring; }
    std::vector<std::string>& EditRing() { return extras.edit().ring; }
    const AttrMap& Attrs() const { return extras.get().attrs; }
    AttrMap& EditAttrs() { return extras.edit().attrs; }
    const QPixmap& Picture() const { return extras.get().picture; }
    QPixmap& EditPicture() { return extras.edit().picture; }
};

struct TableData {
    int rows = 0;
    int cols = 0;
    std::vector<TableCell> cells;   // row-major, rows x cols
    std::vector<TableCell> columnTemplate; // per column: type and look for new rows
    std::vector<AttrMap> columnAttrs;
    std::vector<AttrMap> rowAttrs;
    Point active{0, 0};
    bool runBusy = false;
    TableCell& at(int row, int col) { return cells[size_t(row - 1) * size_t(cols) + size_t(col - 1)]; }
};

enum PlotKind { PLOT_LINE, PLOT_POINT, PLOT_OVAL, PLOT_RECT, PLOT_TEXT, PLOT_XY };

struct Plot {
    int handle = 0;
    int kind = PLOT_LINE;
    int color = 0xFFFFFF;
    int fillColor = VAL_TRANSPARENT;
    int pointStyle = VAL_SOLID_SQUARE;
    int lineStyle = VAL_SOLID;
    int plotStyle = VAL_THIN_LINE;
    int thickness = 1;
    int xAxis = VAL_BOTTOM_XAXIS;
    int yAxis = VAL_LEFT_YAXIS;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::vector<double> xs, ys;
    std::string text;
    std::string font;
};

struct Axis {
    int mode = VAL_MANUAL;
    double min = 0.0;
    double max = 10.0;
    std::string name;
    int divisions = 10;
    bool labelsVisible = true;
    int scaling = VAL_LINEAR;
    bool gridVisible = true;
    double labelGain = 1.0;   // a value label reads labelGain * value + labelOffset
    double labelOffset = 0.0;
};

struct GraphCursor {
    double x = 0.0;
    double y = 0.0;
    int mode = VAL_FREE_FORM;
    int style = VAL_LONG_CROSS;
    int color = 0xFFFF00;
    int pointStyle = VAL_EMPTY_SQUARE;
    bool enabled = true;
};

struct GraphData {
    std::vector<Plot> plots;
    int nextPlot = 1;
    Axis axes[4]; // indexed by VAL_BOTTOM_XAXIS, VAL_LEFT_YAXIS, VAL_TOP_XAXIS, VAL_RIGHT_YAXIS
    std::vector<GraphCursor> cursors;
    int activeCursor = 1;
    bool refresh = true;
    int activeXAxis = VAL_BOTTOM_XAXIS;
    int activeYAxis = VAL_LEFT_YAXIS;
};

struct CanvasOp {
    std::string kind;
    Rect rect{0, 0, 0, 0};
    std::vector<Point> points;
    int penColor = 0;
    int fillColor = 0;
    int drawMode = 0;
};

struct CanvasData {
    QImage image;
    std::vector<CanvasOp> ops;
    int penColor = 0x000000;
    int fillColor = 0xFFFFFF;
    int penWidth = 1;
};

struct TabData {
    std::vector<int> pages; // page panel handles
    int active = -1;
};

struct ColorRamp {
    std::vector<ColorMapEntry> entries;
    int hiColor = 0x00FF00;
    bool set = false;
};

struct Ctrl {
    int id = 0;
    int kind = 0;
    int panel = 0;
    std::string constName;
    std::string label;
    CtrlCallbackPtr callback = nullptr;
    void* callbackData = nullptr;
    int mode = VAL_HOT;
    int dataType = VAL_DOUBLE;
    double num = 0.0;       // numeric / boolean / ring-index-free value
    std::string text;       // string value
    double dfltNum = 0.0;
    std::string dfltText;
    double minV = -1.0e300;
    double maxV = 1.0e300;
    double incr = 1.0;
    int precision = 2;
    int format = 0;
    int checkRange = 0;
    int maxLen = -1;
    int top = 0, left = 0, height = 0, width = 0;
    int labelTop = INT_MIN, labelLeft = INT_MIN; // INT_MIN = placed by the run-time
    bool visible = true;
    // The control was hidden while holding the focus, which went to
    // focusWhenShown (null: nowhere).
    bool refocusWhenShown = false;
    QPointer<QWidget> focusWhenShown;
    bool dimmed = false;
    int bitmap = 0;          // attached bitmap handle copy
    QPixmap pixmap;
    AttrMap look;            // colours, fonts and other look attributes
    std::vector<ListItem> items; // ring items
    int index = -1;              // ring: active item
    std::vector<std::string> lines; // text box
    int firstVisibleLine = 0;
    TreeData tree;
    TableData table;
    GraphData graph;
    CanvasData canvas;
    TabData tab;
    ColorRamp ramp;

    // drawing side (not copied with the model)
    QPointer<QWidget> widget;
    QPointer<QLabel> labelWidget;
    QString pendingAppend;   // text-box lines not yet handed to the widget
    int pendingAppendLines = 0; // how many lines pendingAppend holds (an empty line is one)
    bool textBoxReset = false;
};

struct Panel {
    int handle = 0;
    int parent = 0;
    std::string title;
    std::string constName;
    PanelCallbackPtr callback = nullptr;
    void* callbackData = nullptr;
    int top = 0, left = 0, height = 0, width = 0;
    bool centreTop = false, centreLeft = false;
    bool visible = false;
    bool dimmed = false;
    bool scaleOnResize = false;
    AttrMap look;
    std::map<int, Ctrl> ctrls;       // by id; ids grow, so this is creation order
    int nextCtrlId = 2;
    std::vector<int> zOrder;         // front-most first
    std::vector<int> tabOrder;
    int menuBar = 0;
    int tabOwnerPanel = 0;           // for tab pages: the panel with the tab control
    int tabOwnerCtrl = 0;
    AttrMap pageAttrs;               // tab page look (label, colours)
    QPointer<QWidget> window;        // top-level window (or null for child panels)
    QPointer<QWidget> frame;         // child panels: frame and title bar around the client
    QPointer<QWidget> client;        // where the controls live
};

struct MenuEntry {
    int id = 0;
    int menu = 0;      // 0 for a menu itself, else the menu it belongs to
    bool separator = false;
    std::string label;
    std::string constName;
    MenuCallbackPtr callback = nullptr;
    void* callbackData = nullptr;
    int checked = 0;
    int dimmed = 0;
    int shortcut = 0;
    QPointer<QMenu> qmenu;
    QPointer<QAction> action;
};

struct MenuBar {
    int handle = 0;
    int panel = 0;
    std::string constName;
    std::map<int, MenuEntry> entries;
    std::vector<int> menus; // menu ids in order
    int nextId = 2;
    AttrMap look;
    QPointer<QMenuBar> bar;
};

struct UserEvent {
    int event = 0;
    int panel = 0;
    int control = 0;
};

struct Runtime;
Runtime& RT();

struct Runtime {
    std::map<int, Panel> panels;
    int nextPanel = 1;
    std::map<int, MenuBar> menuBars;
    int nextMenuBar = 1;
    std::map<int, QImage> bitmaps;
    int nextBitmap = 1;
    std::deque<UserEvent> userEvents;
    int callbackDepth = 0;
    std::set<std::pair<int, int>> dirty;
    bool flushPosted = false;
    int resolutionAdjustment = 0;
    int fakeMonitorWidth = 0, fakeMonitorHeight = 0;
    // clock and call hook
    bool fakeClock = false;
    double fakeNow = 0.0;
    double totalDelay = 0.0;
    long callCount = 0;
    long failAt = 0;
    int failStatus = UI_ERR_INJECTED;
    int activeLoops = 0;
    int quitCode = 0;
    DeferredEventHook deferredHook = nullptr;
    UserCommandHook commandHook = nullptr;
    // eventData1 of the commit that the button being pressed raises (a
    // press by the Delete key, VAL_DELETE_KEY_PRESS), else 0.
    int pressData = 0;
    // keyboard focus as the run-time saw it last (0 = none)
    int focusPanel = 0, focusCtrl = 0;
    int focusQuiet = 0;      // > 0 while the run-time itself moves the focus
};

// Held while the run-time moves the focus itself (focusing, dimming, hiding
// or discarding a control): such focus changes raise no events.
struct FocusQuiet {
    FocusQuiet() { ++RT().focusQuiet; }
    ~FocusQuiet() { --RT().focusQuiet; }
    FocusQuiet(const FocusQuiet&) = delete;
    FocusQuiet& operator=(const FocusQuiet&) = delete;
};

bool EnsureApp();
// Counts one public run-time call; < 0 when the failing-call hook fires.
int CountCall();

Panel* FindPanel(int handle);
Ctrl* FindCtrl(int panel, int control);
// Looks up panel and control, reporting the status to return when missing.
Ctrl* FindCtrl(int panel, int control, int* status);

// Text and colour conversion
QString QStr(const char* text);      // UTF-8, or Latin-1 when not valid UTF-8
QString QStr(const std::string& text);
std::string StdStr(const QString& text);
int CopyOut(char* buffer, int size, const std::string& text); // 0 or < 0
QString ColorCss(int rgb);
// A label with "__" before its mnemonic letter in Qt's form ("&", with a
// literal '&' doubled); the run-time keeps the label as given.
QString MnemonicLabel(const std::string& label);           // "#rrggbb" or "transparent"
// Fonts and style (UiFonts.cpp): the face that draws a named font, the
// font of a name and size (size = text line height in pixels), and the
// application-wide style and default font, set once the application exists.
QString MapFontFamily(const std::string& name);
QFont RuntimeFont(const std::string& name, int size);
void SetUpRuntimeLook();
std::string FormatNumber(double value, int dataType, int precision, int format);
// What a numeric control shows for v: FormatNumber, except that a real value
// outside the control's range (a stored value it cannot take from the user)
// is shown as it is, with the digits that tell it apart, never rounded into
// another number.
std::string FormatShownNumber(const Ctrl& c, double v);
// s cut to a maximum entry length (negative: none), which counts
// characters as the user types them.
std::string CutToLength(const std::string& s, int maxLen);
bool IsIntegerType(int dataType);
void DefaultRange(int dataType, double* minV, double* maxV);
double CoerceToType(double value, int dataType);

// Look store helpers
int LookInt(const AttrMap& look, int attr, int fallback);
std::string LookText(const AttrMap& look, int attr, const std::string& fallback);

// Widgets (UiWidgets.cpp)
void CreateCtrlWidget(Panel& panel, Ctrl& ctrl);
void ApplyGeometry(Ctrl& ctrl);
void ApplyLook(Ctrl& ctrl);
void ApplyValue(Ctrl& ctrl);
void ApplyMode(Ctrl& ctrl);
void PlaceLabel(Ctrl& ctrl);
void ApplyZOrder(Panel& panel);
void ApplyTabOrder(Panel& panel);
void DestroyCtrlWidget(Ctrl& ctrl);
void RefreshRingWidget(Ctrl& ctrl);
// A picture as a dimmed control shows it: in the platform's disabled colours.
QPixmap DimmedPixmap(const QPixmap& picture);
// A picture with its dimmed look for the disabled state.
QIcon PictureIcon(const QPixmap& picture);

// Panels (UiPanel.cpp)
void CreatePanelWidgets(Panel& panel);
void ApplyPanelGeometry(Panel& panel);
void ApplyPanelLook(Panel& panel);
int DiscardPanelTree(int handle);
// The outermost widget of a panel: its window, its child-panel frame, or the
// client area of a tab page.
QWidget* PanelTopWidget(const Panel& panel);
void ScreenSize(int* width, int* height);

// Deferred widget updates: text boxes, trees, tables and graphs mark
// themselves dirty; the flush hands the model to the widgets.
void MarkDirty(const Ctrl& ctrl);
void FlushDirty();
void FlushCtrl(Ctrl& ctrl);
void FlushTextBox(Ctrl& ctrl);
// A text box's widget follows a change in the middle of its lines in place
// (a long box is not set again from all its lines): call Before with the
// model unchanged, change the model's lines, then call the change's own
// function with the number of lines the model had before. A widget that
// did not hold the model's lines is set again from all of them.
void TextBoxBeforeLineChange(Ctrl& ctrl);
void TextBoxLinesDeleted(Ctrl& ctrl, int first, int count, int linesBefore);
void TextBoxLineInserted(Ctrl& ctrl, int index, const std::string& line, int linesBefore);
void FlushTree(Ctrl& ctrl);
void FlushTable(Ctrl& ctrl);
void UpdateGraphWidget(Ctrl& ctrl);

// Events (UiCore.cpp): run the control's callback for a user action, or
// queue the commit while a callback runs. Returns the callback's result.
int RaiseCtrlEvent(int panel, int control, int event, int data1, int data2);
int RaisePanelEvent(int panel, int event, int data1, int data2);
void RaiseMenuEvent(int menuBar, int item);
// The user moved the keyboard focus to control (0 = to no control of a
// panel): the control that had it gets EVENT_LOST_FOCUS (data1 = the new
// control when in the same panel, else 0), the new one EVENT_GOT_FOCUS
// (data1 = the old control when in the same panel, else 0). Nothing is
// raised when the focus stays on the same control.
void UserMoveFocus(int panel, int control);
// Watches the widgets' focus changes; installed on first use of the run-time.
void InstallFocusWatch();
// A key (Qt::Key) that reached the window of panel `window` with origin
// holding the focus (null: none) and that no control took: Delete presses the focused tree's or table's delete
// button, Escape the cancel button of the panel around, Return its default
// button (a focused command button presses itself; nothing from a table or
// a text box). True when a button was pressed.
bool HandleWindowKey(int window, QWidget* origin, int key);

// User input entry points shared by widgets and the test driver
int UserSetNumeric(Ctrl& ctrl, double value, bool commit);
int UserSetText(Ctrl& ctrl, const std::string& text, bool commit);
int UserChooseIndex(Ctrl& ctrl, int index);
bool UserCanOperate(const Ctrl& ctrl);

// Tab pages (UiTab.cpp)
int CopyPanelInto(int sourcePanel, int ownerPanel, int tabCtrl, QWidget* host);
void RefreshTabWidget(Panel& panel, Ctrl& ctrl);

// Graph and canvas widgets (UiGraph.cpp / UiCanvas.cpp)
QWidget* NewGraphWidget(int panel, int control, QWidget* parent);
QWidget* NewCanvasWidget(int panel, int control, QWidget* parent);
QWidget* NewSlideWidget(int panel, int control, QWidget* parent);
QWidget* NewLedWidget(int panel, int control, QWidget* parent);
void EnsureCanvasImage(Ctrl& ctrl);
bool GraphPixelToValue(Ctrl& ctrl, int px, int py, double* x, double* y);
void SnapCursor(Ctrl& ctrl, GraphCursor& cursor);
// The texts a graph of this size shows at a font: the value labels and the
// plot texts with the boxes they are drawn in and the area that clips them
// (graph pixels), and the axis names with the size of their band (length
// along the axis, height).
struct GraphText {
    enum Kind { VALUE_LABEL, AXIS_NAME, PLOT_TEXT };
    QString text;
    QRectF box;
    QRectF clip;
    Kind kind;
    int axis; // VAL_BOTTOM_XAXIS ... for labels and names, -1 for plot texts
};
std::vector<GraphText> GraphTexts(const Ctrl& ctrl, QSize size, const QFont& font);
// The range an axis shows: its manual range, or under autoscaling the
// extent of the plots on it.
void AxisRange(const GraphData& graph, int axis, double* lo, double* hi);

// Tree and table widgets
QWidget* NewTreeWidget(int panel, int control, QWidget* parent);
QWidget* NewTableWidget(int panel, int control, QWidget* parent);
int TreeSetMarkStateAsUser(int panel, int control, int index, int state);
// A ring cell takes the item at ringIndex when it is one of its items,
// else the first item labelled text.
int TableCommitAsUser(int panel, int control, Point cell, double num, const char* text, int ringIndex = -1);
// A user's typed text: numbers are parsed (C locale; no number refuses),
// strings cut to the cell's maximum entry length, ring cells take only an item.
int TableCommitTextAsUser(int panel, int control, Point cell, const char* text);
// A user's click on a table at (y, x) in control pixels over cell (0,0 none):
// left/right click event; then an operable ring cell opens its drop-down and
// a button cell commits, unless the callback swallowed the click (non-zero).
int TableUserClick(Ctrl& ctrl, Point cell, int y, int x, bool right);
// The user made cell the active one: raises EVENT_ACTIVE_CELL_CHANGE (data1
// row, data2 column) when it differs from the active cell. Returns false
// when the table went away in the callback.
bool TableUserActivate(int panel, int control, Point cell);
// Opens the editor of an editable cell in the table's view as a user would
// (a ring cell shows its drop-down) and returns it; null when the cell takes
// no edit or there is no view. Submitting commits what the editor holds.
QWidget* OpenTableCellEditor(Ctrl& ctrl, Point cell);
void SubmitTableCellEditor(Ctrl& ctrl, QWidget* editor);
// Commits the text of every cell editor still open, as leaving the cell
// would. A menu command calls it first: choosing a menu item takes no focus
// from the cell being typed in, and the command must see what was typed.
void SubmitOpenTableEditors();
// The text a tree cell's tooltip shows: the whole cell text when its column
// cuts it, else empty.
std::string TreeCellToolTip(Ctrl& ctrl, int item, int column);
// Folder browser trees: reads the sub-folders of item index from the disk
// again: folders made since the last reading are added (in name order),
// folders gone are removed with what was read below them, and the folders
// that stay keep their items, open state and tags. Returns the number of
// items added, removed or given or relieved of their expand mark.
int LoadFolderChildren(Ctrl& ctrl, int index);

// Menu bars (UiMenu.cpp)
void AttachMenuBarWidget(MenuBar& bar);

} // namespace cz::ui

// Every public run-time function starts with this: it counts the call for
// the failing-call hook and returns the injected status when it fires.
#define UI_CALL()                                       \
    do {                                                \
        int ui_call_status_ = ::cz::ui::CountCall();    \
        if (ui_call_status_ < 0) return ui_call_status_; \
    } while (0)
