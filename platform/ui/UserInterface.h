// Cadenza user-interface run-time: panels, controls, menus, popups and the
// event loop, drawn with Qt 6 Widgets.
//
// The interface is procedural. Panels are addressed by integer handles
// (> 0), controls by integer ids (> 0, unique within their panel), menu bars,
// menus and menu items by integer ids. Every function returns a status:
// >= 0 on success (often the new handle, id or index), a negative UI_ERR_*
// value on failure; an unknown handle, id, item or cell is never a crash.
//
// Rules the run-time keeps:
// - It owns the state: each control's kind, typed value and attributes live in
//   its model; the widgets only draw it and turn user input into events.
//   A numeric keeps the full double the program sets (never clamped or
//   rounded); only what a user enters is coerced to the range.
// - Programmatic changes never raise events; callbacks run only for what a
//   user (or the test driver in a user's place) does.
// - One UI thread, no re-entrant callbacks: while a callback runs,
//   ProcessSystemEvents/ProcessDrawEvents keep the windows painted, and user
//   input becomes queued user events that GetUserEvent hands out; it is never
//   dispatched into a second callback.
// - Texts are UTF-8; a text that is not valid UTF-8 is read as Latin-1
//   (so the 8-bit micro sign 0xB5 shows as "µ").
// - Colours are 0xRRGGBB; VAL_TRANSPARENT (0x1000000) is transparent.
// - Table cells are addressed by 1-based row and column, tree items and list
//   items by 0-based index.
#pragma once

#include <cstddef>

// ---------------------------------------------------------------------------
// Status codes (negative)
enum {
    UI_SUCCESS = 0,
    UI_ERR_GENERAL = -1,
    UI_ERR_NOT_INITIALISED = -2,
    UI_ERR_BAD_PANEL = -4,
    UI_ERR_BAD_CONTROL = -5,
    UI_ERR_BAD_ATTRIBUTE = -6,
    UI_ERR_BAD_VALUE = -7,
    UI_ERR_BAD_INDEX = -8,
    UI_ERR_BAD_ITEM = -9,
    UI_ERR_BAD_CELL = -10,
    UI_ERR_BAD_MENU = -11,
    UI_ERR_BAD_PLOT = -12,
    UI_ERR_BAD_BITMAP = -13,
    UI_ERR_BAD_TYPE = -14,       // value type does not fit the control or attribute
    UI_ERR_WRONG_KIND = -15,     // operation not offered by this control kind
    UI_ERR_NO_CURSOR = -16,
    UI_ERR_BUFFER_TOO_SMALL = -17,
    UI_ERR_FILE = -18,
    UI_ERR_NO_ANSWER = -19,      // scripted popup without a queued answer (tests)
    UI_ERR_INJECTED = -20,       // failure made by the test hook
    UI_ERR_OUT_OF_MEMORY = -21,
};

// ---------------------------------------------------------------------------
// Control kinds (the style argument of NewCtrl)
enum {
    CTRL_STRING = 1,
    CTRL_NUMERIC,              // int32, uint16 or double; range, increment, precision
    CTRL_NUMERIC_HSLIDE,       // horizontal slide; as progress bar with a colour ramp
    CTRL_RING,                 // labelled items, each with its own value
    CTRL_TEXT_BOX,             // multi-line text
    CTRL_TEXT_MSG,             // static text (fixed or sized to text)
    CTRL_DECORATION,           // frame, band, group box
    CTRL_COMMAND_BUTTON,
    CTRL_PICTURE_BUTTON,       // command button showing a bitmap
    CTRL_PICTURE,
    CTRL_CHECK_BOX,
    CTRL_RADIO_BUTTON,         // independent on/off, not auto-exclusive
    CTRL_TOGGLE_BUTTON,        // on/off texts and colours
    CTRL_LED,
    CTRL_TREE,
    CTRL_TABLE,
    CTRL_GRAPH,
    CTRL_CANVAS,
    CTRL_TAB,
    CTRL_KIND_COUNT
};

// ---------------------------------------------------------------------------
// Events (callback event argument)
enum {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,              // table: data1 = row, data2 = column; tree: data1 = item
    EVENT_VAL_CHANGED = 2,         // value changing (graph cursor drag, slide)
    EVENT_LEFT_CLICK = 3,          // data1 = y, data2 = x in the control
    EVENT_LEFT_DOUBLE_CLICK = 4,   // data1 = y, data2 = x
    EVENT_RIGHT_CLICK = 5,         // data1 = y, data2 = x
    EVENT_KEYPRESS = 6,            // data1 = key code
    EVENT_GOT_FOCUS = 7,           // data1 = control that had the focus (same panel), else 0
    EVENT_LOST_FOCUS = 8,          // data1 = control that gets the focus (same panel), else 0
    EVENT_CLOSE = 9,               // panel: the close box was pressed
    EVENT_PANEL_SIZE = 10,
    EVENT_PANEL_MOVE = 11,
    EVENT_MARK_STATE_CHANGE = 12,  // tree: data1 = item, data2 = new state; return 1 refuses
    EVENT_SELECTION_CHANGE = 13,   // tree: data1 = item (active item changed), data2 = 1 when
                                   // a key moved it, 0 after the click event of a mouse press
    EVENT_EXPAND = 14,             // tree: data1 = item
    EVENT_COLLAPSE = 15,           // tree: data1 = item
    EVENT_ACTIVE_CELL_CHANGE = 16, // table: data1 = row, data2 = column
    EVENT_ACTIVE_TAB_CHANGE = 17,  // tab: data1 = old index, data2 = new index
    EVENT_DISCARD = 18,
    EVENT_MENU = 19,               // user-event queue: a menu item was chosen
};

// ---------------------------------------------------------------------------
// Special values
enum {
    VAL_TRANSPARENT = 0x1000000,
    VAL_BLACK = 0x000000, VAL_WHITE = 0xFFFFFF, VAL_RED = 0xFF0000,
    VAL_GREEN = 0x00FF00, VAL_BLUE = 0x0000FF, VAL_YELLOW = 0xFFFF00,
    VAL_GRAY = 0x808080, VAL_LT_GRAY = 0xCCCCCC, VAL_DK_GRAY = 0x404040,

    // data types (ATTR_DATA_TYPE, table cell data type)
    VAL_INTEGER = 1, VAL_UNSIGNED_SHORT_INTEGER = 2, VAL_UNSIGNED_INTEGER = 3,
    VAL_DOUBLE = 4, VAL_STRING = 5,

    // eventData1 of a button's commit raised by the Delete key of the tree or
    // table that names it (ATTR_DELETE_KEY_CTRL); a click gives 0
    VAL_DELETE_KEY_PRESS = 1,

    // control modes (ATTR_CTRL_MODE, table cell ATTR_CELL_MODE)
    VAL_NORMAL = 0, VAL_INDICATOR = 1, VAL_HOT = 2, VAL_VALIDATE = 3,

    // table cell types (InsertTableRows/Columns, ATTR_CELL_TYPE)
    VAL_CELL_NUMERIC = 0, VAL_CELL_STRING = 1, VAL_CELL_RING = 2,
    VAL_CELL_BUTTON = 3, VAL_CELL_PICTURE = 4,
    VAL_USE_MASTER_CELL_TYPE = -1, // rows/columns inserted with the table's column types

    // tree relations and positions (InsertTreeItem)
    VAL_SIBLING = 0, VAL_CHILD = 1,
    VAL_FIRST = 0, VAL_LAST = 1, VAL_NEXT = 2, VAL_PREV = 3,

    // tree mark types (ATTR_MARK_TYPE)
    VAL_MARK_NONE = 0, VAL_MARK_CHECK = 1,

    // text justification (ATTR_TEXT_JUSTIFY)
    VAL_LEFT_JUSTIFIED = 0, VAL_RIGHT_JUSTIFIED = 1, VAL_CENTER_JUSTIFIED = 2,

    // graph axes
    VAL_XAXIS = 0, VAL_LEFT_YAXIS = 1, VAL_BOTTOM_XAXIS = 0, VAL_TOP_XAXIS = 2,
    VAL_RIGHT_YAXIS = 3,
    VAL_MANUAL = 0, VAL_AUTOSCALE = 1, VAL_LOCK = 2,
    VAL_LINEAR = 0, VAL_LOG = 1,

    // graph cursor modes (ATTR_CURSOR_MODE)
    VAL_FREE_FORM = 0, VAL_SNAP_TO_POINT = 1,
    // cursor shapes (ATTR_CROSS_HAIR_STYLE)
    VAL_LONG_CROSS = 0, VAL_VERTICAL_LINE = 1, VAL_HORIZONTAL_LINE = 2,
    VAL_NO_CROSS = 3, VAL_SHORT_CROSS = 4,

    // plot styles (ATTR_PLOT_STYLE)
    VAL_THIN_LINE = 0, VAL_FAT_LINE = 1, VAL_SCATTER = 2, VAL_CONNECTED_POINTS = 3,
    VAL_VERTICAL_BAR = 4, VAL_FAT_STEP = 5, VAL_THIN_STEP = 6,

    // point styles (ATTR_TRACE_POINT_STYLE); VAL_SOLID_SQUARE is style 9
    VAL_EMPTY_SQUARE = 0, VAL_SOLID_CIRCLE = 1, VAL_ASTERISK = 2, VAL_DOTTED_EMPTY_SQUARE = 3,
    VAL_EMPTY_CIRCLE = 4, VAL_CROSS = 5, VAL_X = 6, VAL_SIMPLE_DOT = 7, VAL_EMPTY_DIAMOND = 8,
    VAL_SOLID_SQUARE = 9, VAL_SOLID_DIAMOND = 10, VAL_NO_POINT = 11, VAL_EMPTY_TRIANGLE = 12,
    VAL_SOLID_TRIANGLE = 13,

    // line styles (ATTR_LINE_STYLE)
    VAL_SOLID = 0, VAL_DASH = 1, VAL_DOT = 2, VAL_DASH_DOT = 3,

    // DeleteGraphPlot refresh
    VAL_IMMEDIATE_DRAW = 0, VAL_DELAYED_DRAW = 1, VAL_NO_DRAW = 2,
    VAL_ALL_PLOTS = -1,

    // FileSelectPopup button mode and results
    VAL_OK_BUTTON = 0, VAL_LOAD_BUTTON = 1, VAL_SAVE_BUTTON = 2, VAL_SELECT_BUTTON = 3,
    VAL_NO_FILE_SELECTED = 0, VAL_EXISTING_FILE_SELECTED = 1, VAL_NEW_FILE_SELECTED = 2,

    // GetUserEvent wait mode
    VAL_NO_WAIT = 0, VAL_WAIT = 1,

    // child panel frame styles (ATTR_FRAME_STYLE): a flat line in the frame
    // colour, or a bevel lit from the top left (raised) or bottom right (sunken)
    VAL_OUTLINED_FRAME = 0, VAL_RAISED_FRAME = 1, VAL_SUNKEN_FRAME = 2,

    // panel stacking / centring
    VAL_AUTO_CENTER = -2147483647, // ATTR_TOP / ATTR_LEFT value that centres a panel

    // largest text the run-time hands back through a fixed buffer by default
    UI_MAX_PATH = 1024,
    UI_TAG_LEN = 256, // tree tags, including the terminator
};

// ---------------------------------------------------------------------------
// Attributes. One numbering for panels, controls, list/tree items, tree cells
// and columns, table cells/rows/columns, tab pages, menus, plots, cursors
// and axes; each Set/Get function states which apply. A value of the wrong
// type (text for a colour, ...) gives UI_ERR_BAD_TYPE.
enum {
    // common to panels and controls
    ATTR_CONSTANT_NAME = 1,        // text
    ATTR_CALLBACK_DATA,            // void* (SetCtrlAttribute pointer overload)
    ATTR_CALLBACK_FUNCTION_POINTER,// callback (pointer overloads)
    ATTR_VISIBLE,                  // int 0/1
    ATTR_DIMMED,                   // int 0/1
    ATTR_TOP, ATTR_LEFT, ATTR_HEIGHT, ATTR_WIDTH, // int pixels
    ATTR_FRAME_COLOR,
    ATTR_SCROLL_BAR_COLOR,
    ATTR_BACKCOLOR,                // panel background / control background / command-button face

    // panels
    ATTR_TITLE = 40,               // text
    ATTR_TITLEBAR_VISIBLE,
    ATTR_TITLEBAR_THICKNESS,
    ATTR_FRAME_THICKNESS,
    ATTR_FRAME_STYLE,
    ATTR_SIZABLE,
    ATTR_CAN_MINIMIZE,
    ATTR_CAN_MAXIMIZE,
    ATTR_CLOSE_ITEM_VISIBLE,
    ATTR_MOVABLE,
    ATTR_SCALE_CONTENTS_ON_RESIZE,
    ATTR_SCROLL_BARS,              // 0 none, 1 horizontal, 2 vertical, 3 both
    ATTR_PANEL_PARENT,             // read-only: parent panel handle or 0
    ATTR_PANEL_MENU_BAR,           // read-only: menu bar handle or 0
    ATTR_ACTIVE,                   // panel has the input focus
    ATTR_FLOATING,
    ATTR_CANCEL_CTRL,              // button of the panel that Escape presses (0 none)
    ATTR_DEFAULT_CTRL,             // button that Return presses (0 none); not from a
                                   // table or text box, and a focused button presses itself

    // controls
    ATTR_CTRL_STYLE = 80,          // read-only: CTRL_* kind
    ATTR_CTRL_MODE,                // VAL_NORMAL, VAL_INDICATOR, VAL_HOT, VAL_VALIDATE
    ATTR_DATA_TYPE,                // VAL_INTEGER ... VAL_STRING
    ATTR_CTRL_VAL,                 // the value (also for tree and list items)
    ATTR_DFLT_VALUE,               // the default that DefaultCtrl restores
    ATTR_CTRL_INDEX,               // ring/tree: active item index
    ATTR_MIN_VALUE, ATTR_MAX_VALUE, ATTR_INCR_VALUE, // numeric range (typed as the data type)
    ATTR_PRECISION,                // digits after the decimal point (numeric, table cell)
    ATTR_FORMAT,                   // 0 decimal, 1 engineering, 2 scientific, 3 hex
    ATTR_CHECK_RANGE,              // 0 coerce user input to range (default), 1 refuse
    ATTR_MAX_ENTRY_LENGTH,         // string/text box; -1 = no limit
    ATTR_TEXT_COLOR, ATTR_TEXT_BGCOLOR,
    ATTR_TEXT_FONT,                // text: "Arial", "Courier New", "NIDialog" ...
    ATTR_TEXT_POINT_SIZE, ATTR_TEXT_BOLD, ATTR_TEXT_ITALIC, ATTR_TEXT_UNDERLINE,
    ATTR_TEXT_STRIKEOUT,
    ATTR_TEXT_JUSTIFY,
    ATTR_LABEL_TEXT,               // control label / item label / column or page label
    ATTR_LABEL_VISIBLE,
    ATTR_LABEL_COLOR, ATTR_LABEL_BGCOLOR, ATTR_LABEL_FONT, ATTR_LABEL_POINT_SIZE,
    ATTR_LABEL_BOLD, ATTR_LABEL_ITALIC, ATTR_LABEL_JUSTIFY,
    ATTR_LABEL_TOP, ATTR_LABEL_LEFT, ATTR_LABEL_WIDTH, ATTR_LABEL_HEIGHT,
    ATTR_SIZE_TO_TEXT,             // text message: width follows the text
    ATTR_ZPLANE_POSITION,          // 0 = front-most
    ATTR_CTRL_TAB_POSITION,        // focus order
    ATTR_TOOLTIP_TEXT,             // text; setting it enables the tooltip
    ATTR_DISABLE_TOOLTIP,
    ATTR_ON_TEXT, ATTR_OFF_TEXT,   // toggle button
    ATTR_ON_COLOR, ATTR_OFF_COLOR, // toggle button, LED
    ATTR_FIT_MODE,                 // picture: 0 size to picture, 1 stretch
    ATTR_TEXT_BOX_VISIBLE_LINES,   // read-only: lines in view
    ATTR_FIRST_VISIBLE_LINE,       // text box: 0-based first line in view
    ATTR_TOTAL_LINES,              // read-only: text box line count
    ATTR_WRAP_MODE,                // text box: 0 no wrap, 1 wrap
    ATTR_SHOW_DIG_DISP,            // slide: show the digital display beside it
    ATTR_SLIDE_INC_ARROWS,
    ATTR_NUM_LIST_ITEMS,           // read-only: ring items / tree items
    ATTR_DELETE_KEY_CTRL,          // tree/table: button of its panel that the Delete
                                   // key presses while the control has the focus (0 none;
                                   // a table's editable cell takes the key itself); the
                                   // button's commit then carries eventData1 =
                                   // VAL_DELETE_KEY_PRESS, so that the program can ask first

    // tree control, items, columns and cells
    ATTR_TREE_COLUMNS = 160,       // number of tree columns (>= 1)
    ATTR_COLUMN_LABELS_VISIBLE,
    ATTR_HEADER_FONT,              // tree/table column header font
    ATTR_MARK_TYPE,                // item: VAL_MARK_NONE / VAL_MARK_CHECK
    ATTR_MARK_STATE,               // item: 0/1
    ATTR_SHOW_MARKS,               // tree: show check boxes of items with a mark type
    ATTR_COLLAPSED,                // item: 1 collapsed, 0 expanded
    ATTR_SELECTED,                 // item selected
    ATTR_IMAGE_INDEX,              // item image (-1 none)
    ATTR_COLLAPSED_IMAGE_INDEX,
    ATTR_ITEM_LEVEL,               // read-only: 0 for a root
    ATTR_ITEM_TAG,                 // read-only text
    ATTR_NO_EDIT_LABEL,
    ATTR_COLUMN_WIDTH,
    ATTR_COLUMN_VISIBLE,
    ATTR_ENABLE_SELECTION,         // tree: active item follows clicks
    ATTR_HILITE_CURRENT_ITEM,

    // table control, cells, rows and columns
    ATTR_CELL_TYPE = 200,          // VAL_CELL_*
    ATTR_CELL_MODE,                // VAL_NORMAL, VAL_INDICATOR, VAL_HOT, VAL_VALIDATE
    ATTR_CELL_DIMMED,
    ATTR_CELL_JUSTIFY,
    ATTR_CELL_FRAME_COLOR,
    ATTR_TABLE_MODE,               // 0 grid, 1 rows only
    ATTR_ROW_HEIGHT,
    ATTR_ROW_LABELS_VISIBLE,
    ATTR_COLUMN_LABEL_TEXT,        // same as ATTR_LABEL_TEXT on a column
    ATTR_ROW_LABEL_TEXT,
    ATTR_USE_LABEL_TEXT,
    ATTR_TABLE_RUN_STATE,          // 0 normal, 1 busy: no repaint until set back to 0
    ATTR_GRID_COLOR,
    ATTR_ENABLE_ROW_SIZING, ATTR_ENABLE_COLUMN_SIZING,
    ATTR_NUM_TABLE_ROWS, ATTR_NUM_TABLE_COLUMNS, // read-only

    // graph
    ATTR_PLOT_BGCOLOR = 240,
    ATTR_GRID_VISIBLE,             // both grids
    ATTR_XGRID_VISIBLE, ATTR_YGRID_VISIBLE,
    ATTR_REFRESH_GRAPH,            // 1 redraw at each plot call, 0 hold
    ATTR_NUM_CURSORS,              // 0..10
    ATTR_ACTIVE_YAXIS,             // VAL_LEFT_YAXIS / VAL_RIGHT_YAXIS for later plots
    ATTR_ACTIVE_XAXIS,             // VAL_BOTTOM_XAXIS / VAL_TOP_XAXIS for later plots
    ATTR_XNAME, ATTR_YNAME,        // bottom X and left Y axis names
    ATTR_XLABEL_VISIBLE, ATTR_YLABEL_VISIBLE, // axis value labels
    ATTR_XDIVISIONS, ATTR_YDIVISIONS,
    ATTR_XSCALING, ATTR_YSCALING,  // VAL_LINEAR / VAL_LOG (bottom X, left Y)
    ATTR_XAXIS_MIN, ATTR_XAXIS_MAX, ATTR_YAXIS_MIN, ATTR_YAXIS_MAX, // read-only: current range
    ATTR_XMAP_MODE, ATTR_YMAP_MODE,
    ATTR_TOP_XAXIS_VISIBLE, ATTR_RIGHT_YAXIS_VISIBLE,
    ATTR_COPY_ORIGINAL_DATA,       // plots copy their arrays (always on)
    ATTR_NUM_PLOTS,                // read-only
    ATTR_AXIS_LABEL_GAIN,          // axis (double): a value label shows gain * value + offset,
    ATTR_AXIS_LABEL_OFFSET,        // so that the labels read in another unit than the plots

    // graph cursors (SetCursorAttribute)
    ATTR_CURSOR_MODE = 280,        // VAL_FREE_FORM / VAL_SNAP_TO_POINT
    ATTR_CROSS_HAIR_STYLE,         // VAL_VERTICAL_LINE ...
    ATTR_CURSOR_COLOR,
    ATTR_CURSOR_POINT_STYLE,
    ATTR_CURSOR_ENABLED,

    // graph plots (SetPlotAttribute)
    ATTR_TRACE_COLOR = 300,
    ATTR_PLOT_STYLE,
    ATTR_TRACE_POINT_STYLE,
    ATTR_LINE_STYLE,
    ATTR_PLOT_THICKNESS,
    ATTR_PLOT_YAXIS,
    ATTR_PLOT_XAXIS,

    // canvas
    ATTR_PEN_COLOR = 320, ATTR_PEN_FILL_COLOR, ATTR_PEN_WIDTH, ATTR_DRAW_POLICY,

    // tab control and pages
    ATTR_TABS_VISIBLE = 340,
    ATTR_ACTIVE_TAB_PAGE,          // tab control: active page index (also settable)
    ATTR_NUM_TAB_PAGES,            // read-only

    // menu bars, menus, items
    ATTR_MENU_BAR_FONT = 360,      // text (menu bar only)
    ATTR_MENU_BAR_POINT_SIZE,
    ATTR_MENU_BAR_BOLD, ATTR_MENU_BAR_ITALIC, ATTR_MENU_BAR_UNDERLINE,
    ATTR_MENU_BAR_STRIKEOUT,
    ATTR_CHECKED,                  // item check mark 0/1
    ATTR_SHORTCUT_KEY,
    ATTR_ITEM_NAME,                // item label (ATTR_LABEL_TEXT works as well)

    // system and monitor attributes
    ATTR_RESOLUTION_ADJUSTMENT = 400, // system: percentage 0..100 (-1 counts as 0)
    ATTR_PRIMARY_MONITOR,          // system: primary monitor id
    ATTR_NUM_MONITORS,             // system
    ATTR_DEFAULT_MONITOR,          // system
    ATTR_SYSTEM_MONITOR_HEIGHT,    // monitor: pixels
    ATTR_SYSTEM_MONITOR_WIDTH,     // monitor: pixels
    ATTR_SYSTEM_MONITOR_TOP, ATTR_SYSTEM_MONITOR_LEFT,
};

// ---------------------------------------------------------------------------
// Geometry helpers. For table cells a Point is (x = column, y = row), 1-based;
// for graphs and canvases (x, y) are pixels or axis units as stated.
struct Point {
    int x;
    int y;
};
struct Rect {
    int top;
    int left;
    int height; // -1 = to the last row (table ranges)
    int width;  // -1 = to the last column (table ranges)
};
inline Point MakePoint(int x, int y) { return Point{x, y}; }
inline Rect MakeRect(int top, int left, int height, int width) { return Rect{top, left, height, width}; }
// Table helper: cell in (column, row)
inline Point Cell(int column, int row) { return Point{column, row}; }

// ---------------------------------------------------------------------------
// Callbacks
typedef int (*CtrlCallbackPtr)(int panel, int control, int event, void* callbackData,
                               int eventData1, int eventData2);
typedef int (*PanelCallbackPtr)(int panel, int event, void* callbackData, int eventData1,
                                int eventData2);
typedef void (*MenuCallbackPtr)(int menuBar, int menuItem, void* callbackData, int panel);

// ---------------------------------------------------------------------------
// Run-time life cycle
// InitUserInterface creates the QApplication when none exists (argc/argv may
// be 0/null) and sets LC_NUMERIC back to "C". Every function calls it on
// first use, so explicit calls are optional.
int InitUserInterface(int argc, char** argv);
// Discards every panel, menu bar and bitmap (the QApplication is kept).
int CloseUserInterface();

// ---------------------------------------------------------------------------
// Panels. top/left/height/width place a panel's client area (where its
// controls live). A top-level panel is a window whose title and buttons the
// desktop draws (ATTR_SIZABLE, ATTR_CAN_MINIMIZE, ATTR_CAN_MAXIMIZE). A child
// panel is drawn inside its parent: around the client area a frame of
// ATTR_FRAME_THICKNESS pixels in ATTR_FRAME_COLOR (ATTR_FRAME_STYLE), above
// it, when ATTR_TITLEBAR_VISIBLE, a title bar of ATTR_TITLEBAR_THICKNESS
// pixels with the title and, when ATTR_CLOSE_ITEM_VISIBLE, a close box that
// raises EVENT_CLOSE; an ATTR_MOVABLE child panel is dragged by its title
// bar (EVENT_PANEL_MOVE on release). Tab pages have neither.
int NewPanel(int parent, const char* title, int top, int left, int height, int width);
int DiscardPanel(int panel);
int DisplayPanel(int panel);   // shows (and raises) the panel
int HidePanel(int panel);
int SetPanelAttribute(int panel, int attr, int value);
int SetPanelAttribute(int panel, int attr, double value);
int SetPanelAttribute(int panel, int attr, const char* value);
int SetPanelAttribute(int panel, int attr, PanelCallbackPtr callback);
int SetPanelAttribute(int panel, int attr, void* callbackData);
int GetPanelAttribute(int panel, int attr, int* value);
int GetPanelAttribute(int panel, int attr, double* value);
int GetPanelAttribute(int panel, int attr, char* buffer, int bufferSize);
int InstallPanelCallback(int panel, PanelCallbackPtr callback, void* callbackData);
int GetPanelMenuBar(int panel);                 // menu bar handle, 0 none, < 0 error
int GetActivePanel();                           // panel with focus, 0 none
int SetActivePanel(int panel);

// ---------------------------------------------------------------------------
// Controls
int NewCtrl(int panel, int kind, const char* label, int top, int left);
int DiscardCtrl(int panel, int control);
int SetCtrlAttribute(int panel, int control, int attr, int value);
int SetCtrlAttribute(int panel, int control, int attr, double value);
int SetCtrlAttribute(int panel, int control, int attr, const char* value);
int SetCtrlAttribute(int panel, int control, int attr, CtrlCallbackPtr callback);
int SetCtrlAttribute(int panel, int control, int attr, void* callbackData);
int GetCtrlAttribute(int panel, int control, int attr, int* value);
int GetCtrlAttribute(int panel, int control, int attr, double* value);
int GetCtrlAttribute(int panel, int control, int attr, char* buffer, int bufferSize);
int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr callback, void* callbackData);
// The value of a control. Numerics keep a set double exactly; an int read of
// a double value truncates toward zero; a text read of a numeric gives its
// shown form. Rings: the value of the active item (SetCtrlVal selects the
// first item carrying that value; UI_ERR_BAD_VALUE when none does).
// Check box, radio, toggle, LED: 0/1. Text box: SetCtrlVal appends the text,
// GetCtrlVal returns all lines joined by '\n'. Text message / string: text.
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char* value);
int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, double* value);
int GetCtrlVal(int panel, int control, char* buffer, int bufferSize);
int DefaultCtrl(int panel, int control);        // value = ATTR_DFLT_VALUE
int DefaultPanel(int panel);                    // DefaultCtrl on every control
int SetActiveCtrl(int panel, int control);      // input focus
int GetActiveCtrl(int panel);
int SetCtrlToolTip(int panel, int control, const char* text); // text and enable
// Controls of a panel in creation order (for walks): first with previous 0,
// then each next; 0 after the last.
int GetNextCtrl(int panel, int previousControl);

// ---------------------------------------------------------------------------
// Bitmaps. A text-encoded bitmap is the image file (PNG, BMP, XPM) in base64,
// or an XPM text itself. Handles are > 0.
int GetUserBitmapFromText(const char* encoded, int* bitmap);
int NewBitmapFromFile(const char* path, int* bitmap);
int NewBitmap(int width, int height, int color, int* bitmap); // solid colour image
int DiscardBitmap(int bitmap);
int SetCtrlBitmap(int panel, int control, int bitmap); // picture, picture button, canvas; 0 clears
int SetTabPageBitmap(int panel, int tabControl, int pageIndex, int bitmap);

// ---------------------------------------------------------------------------
// Ring and list items (rings; trees share the value/label functions).
// index -1 appends. Values are typed; the ring's data type says which.
int InsertListItem(int panel, int control, int index, const char* label, int value);
int InsertListItem(int panel, int control, int index, const char* label, double value);
int InsertListItem(int panel, int control, int index, const char* label, const char* value);
int ReplaceListItem(int panel, int control, int index, const char* label, int value);
int DeleteListItem(int panel, int control, int index, int count); // count -1 = to the end
int ClearListCtrl(int panel, int control);
int GetNumListItems(int panel, int control, int* count);
int GetCtrlIndex(int panel, int control, int* index);   // -1 when empty / none active
int SetCtrlIndex(int panel, int control, int index);    // programmatic: no event
int GetIndexFromValue(int panel, int control, int* index, int value);
int GetIndexFromValue(int panel, int control, int* index, double value);
int GetIndexFromValue(int panel, int control, int* index, const char* value);
int GetIndexFromLabel(int panel, int control, int* index, const char* label);
int GetValueFromIndex(int panel, int control, int index, int* value);
int GetValueFromIndex(int panel, int control, int index, double* value);
int GetValueFromIndex(int panel, int control, int index, char* buffer, int bufferSize);
int GetLabelFromIndex(int panel, int control, int index, char* buffer, int bufferSize);

// ---------------------------------------------------------------------------
// Text box
int InsertTextBoxLine(int panel, int control, int index, const char* text); // -1 appends
int ReplaceTextBoxLine(int panel, int control, int index, const char* text);
int DeleteTextBoxLines(int panel, int control, int first, int count); // count -1 = to end
int ResetTextBox(int panel, int control, const char* text); // replaces everything
int GetNumTextBoxLines(int panel, int control, int* count);
int GetTextBoxLine(int panel, int control, int index, char* buffer, int bufferSize);

// ---------------------------------------------------------------------------
// Numeric colour ramp (progress bar): colours between values; with no
// entries the bar is drawn in hiColor.
struct ColorMapEntry {
    double value;
    int color;
};
int SetNumericColorRamp(int panel, int control, const ColorMapEntry* entries, int hiColor,
                        int numEntries);

// ---------------------------------------------------------------------------
// Tab control. A page is a panel: InsertPanelAsTabPage copies the given panel
// (controls with the same ids, values and attributes) into a new page; the
// source panel is left to the caller, who usually discards it.
int InsertPanelAsTabPage(int panel, int tabControl, int index, int sourcePanel); // -1 appends; returns page index
int InsertTabPage(int panel, int tabControl, int index, const char* label); // empty page
int DeleteTabPage(int panel, int tabControl, int index, int count);
int GetPanelHandleFromTabPage(int panel, int tabControl, int index, int* pagePanel);
int GetNumTabPages(int panel, int tabControl, int* count);
int SetActiveTabPage(int panel, int tabControl, int index); // no event
int GetActiveTabPage(int panel, int tabControl, int* index);
// ATTR_VISIBLE, ATTR_DIMMED, ATTR_LABEL_TEXT, ATTR_LABEL_COLOR, ATTR_LABEL_FONT,
// ATTR_LABEL_POINT_SIZE, ATTR_LABEL_BOLD, ATTR_BACKCOLOR
int SetTabPageAttribute(int panel, int tabControl, int index, int attr, int value);
int SetTabPageAttribute(int panel, int tabControl, int index, int attr, const char* value);
int GetTabPageAttribute(int panel, int tabControl, int index, int attr, int* value);
int GetTabPageAttribute(int panel, int tabControl, int index, int attr, char* buffer, int bufferSize);

// ---------------------------------------------------------------------------
// Tree. Items are indexed 0.. in display (depth-first) order over all items,
// collapsed or not; indexes shift on insert/delete. Tags are unique within a
// tree: a tag base already in use gets a number appended ("name", "name#1",
// ...); an empty or null tag base uses the label.
int InsertTreeItem(int panel, int control, int relation, int relativeIndex, int position,
                   const char* label, const char* tagBase, char* tagOut, int value);
int DeleteTreeItem(int panel, int control, int index); // with its descendants
int ClearTreeItems(int panel, int control);
int GetNumTreeItems(int panel, int control, int* count);
int GetTreeItemFromTag(int panel, int control, const char* tag, int* index); // -1 none
int GetTreeItemTag(int panel, int control, int index, char* buffer, int bufferSize);
int GetTreeItemParent(int panel, int control, int index, int* parent);      // -1 root
int GetTreeItemLevel(int panel, int control, int index, int* level);
int GetTreeItemNumChildren(int panel, int control, int index, int* count);
int GetTreeItemChild(int panel, int control, int index, int n, int* child); // n-th child, -1 none
int GetTreeItemNextSibling(int panel, int control, int index, int* sibling);
int GetTreeItemFromValue(int panel, int control, int value, int* index); // first, -1 none
// Item under a point in control coordinates (x, y pixels); -1 when none.
int GetTreeItemFromPoint(int panel, int control, Point point, int* index, int* column);
int GetActiveTreeItem(int panel, int control, int* index); // -1 none
int SetActiveTreeItem(int panel, int control, int index);  // no event
int SetTreeItemAttribute(int panel, int control, int index, int attr, int value);
int SetTreeItemAttribute(int panel, int control, int index, int attr, const char* value);
int GetTreeItemAttribute(int panel, int control, int index, int attr, int* value);
int GetTreeItemAttribute(int panel, int control, int index, int attr, char* buffer, int bufferSize);
int SetTreeCellAttribute(int panel, int control, int index, int column, int attr, int value);
int SetTreeCellAttribute(int panel, int control, int index, int column, int attr, const char* value);
int GetTreeCellAttribute(int panel, int control, int index, int column, int attr, int* value);
int GetTreeCellAttribute(int panel, int control, int index, int column, int attr, char* buffer,
                         int bufferSize);
int SetTreeColumnAttribute(int panel, int control, int column, int attr, int value);
int SetTreeColumnAttribute(int panel, int control, int column, int attr, const char* value);
int GetTreeColumnAttribute(int panel, int control, int column, int attr, int* value);
int AddTreeImage(int panel, int control, int bitmap); // returns the image index
// Fills a tree with the folders under rootPath (lazily, on expand); each
// item's tag is its full path. The user picking a folder raises
// EVENT_SELECTION_CHANGE with data1 = item. Every expand reads the folder's
// sub-folders again, so that folders made or removed meanwhile show.
int MakeFolderBrowser(int panel, int control, const char* rootPath);
// Reads the root and every open folder of a folder browser again (a dialog
// showing one calls it when it opens); folders and the choice that stay
// keep their items.
int RefreshFolderBrowser(int panel, int control);
// Opens a folder browser's tree down to path (below its root) and makes that
// folder, or the nearest one that exists, the active item; returns its index.
int RevealFolder(int panel, int control, const char* path);

// ---------------------------------------------------------------------------
// Table. Cells hold typed values: numeric cells int or double (their data
// type), string cells text, ring cells a text value chosen from their items,
// button cells a label. Rows and columns are 1-based; index -1 appends.
int InsertTableRows(int panel, int control, int index, int count, int cellType);
int DeleteTableRows(int panel, int control, int index, int count); // count -1 = to the end
// Makes room for `rows` rows in all (no rows are added), so that rows then
// appended piece by piece are never moved again: a table of a million rows
// filled in parts, with the window painted in between.
int ReserveTableRows(int panel, int control, int rows);
int InsertTableColumns(int panel, int control, int index, int count, int cellType);
int DeleteTableColumns(int panel, int control, int index, int count);
int GetNumTableRows(int panel, int control, int* rows);
int GetNumTableColumns(int panel, int control, int* columns);
int SetTableCellVal(int panel, int control, Point cell, int value);
int SetTableCellVal(int panel, int control, Point cell, double value);
int SetTableCellVal(int panel, int control, Point cell, const char* value);
int GetTableCellVal(int panel, int control, Point cell, int* value);
int GetTableCellVal(int panel, int control, Point cell, double* value);
int GetTableCellVal(int panel, int control, Point cell, char* buffer, int bufferSize);
// Range fills: values in row-major order (rowMajor 1) or column-major (0).
int SetTableCellRangeVals(int panel, int control, Rect range, const double* values, int rowMajor);
int SetTableCellRangeVals(int panel, int control, Rect range, const int* values, int rowMajor);
int SetTableCellRangeVals(int panel, int control, Rect range, const char* const* values, int rowMajor);
int GetTableCellRangeVals(int panel, int control, Rect range, double* values, int rowMajor);
int FillTableCellRange(int panel, int control, Rect range, double value);
int FillTableCellRange(int panel, int control, Rect range, const char* value);
int SetTableCellAttribute(int panel, int control, Point cell, int attr, int value);
int SetTableCellAttribute(int panel, int control, Point cell, int attr, double value);
int SetTableCellAttribute(int panel, int control, Point cell, int attr, const char* value);
int GetTableCellAttribute(int panel, int control, Point cell, int attr, int* value);
int GetTableCellAttribute(int panel, int control, Point cell, int attr, double* value);
int GetTableCellAttribute(int panel, int control, Point cell, int attr, char* buffer, int bufferSize);
int SetTableCellRangeAttribute(int panel, int control, Rect range, int attr, int value);
int SetTableCellRangeAttribute(int panel, int control, Rect range, int attr, const char* value);
// Column and row attributes also set the cell defaults of the column/row
// (cell type, mode, data type, precision, colours, range) for its cells.
int SetTableColumnAttribute(int panel, int control, int column, int attr, int value);
int SetTableColumnAttribute(int panel, int control, int column, int attr, double value);
int SetTableColumnAttribute(int panel, int control, int column, int attr, const char* value);
int GetTableColumnAttribute(int panel, int control, int column, int attr, int* value);
int GetTableColumnAttribute(int panel, int control, int column, int attr, char* buffer, int bufferSize);
// The column width in pixels that shows text whole in the column's cells:
// the text at the column's font (its ATTR_TEXT_FONT, ATTR_TEXT_POINT_SIZE,
// ATTR_TEXT_BOLD, else the table's), the cells' margins and the grid line.
int GetTableColumnWidthForText(int panel, int control, int column, const char* text, int* width);
int SetTableRowAttribute(int panel, int control, int row, int attr, int value);
int SetTableRowAttribute(int panel, int control, int row, int attr, const char* value);
int GetTableRowAttribute(int panel, int control, int row, int attr, int* value);
// A cell's picture, a copy of the bitmap (0 clears): a picture cell
// (VAL_CELL_PICTURE) shows only it, scaled into the cell; a button cell
// shows it on its face; other cells show it left of their text.
int SetTableCellBitmap(int panel, int control, Point cell, int bitmap);
// The active cell. A user making another cell active (click, keyboard,
// editing it) raises EVENT_ACTIVE_CELL_CHANGE with the new row and column.
int SetActiveTableCell(int panel, int control, Point cell);  // no event
int GetActiveTableCell(int panel, int control, Point* cell); // (0,0) when none
// Cell under a point in control coordinates; (0,0) when none.
int GetTableCellFromPoint(int panel, int control, Point point, Point* cell);
// Items of a ring cell; index -1 appends. Items may share a label: the
// cell attribute ATTR_CTRL_INDEX reads or sets the active item by position
// (a text value selects the first item of that label).
int InsertTableCellRingItem(int panel, int control, Point cell, int index, const char* label);
int DeleteTableCellRingItems(int panel, int control, Point cell, int index, int count); // -1 all
int GetNumTableCellRingItems(int panel, int control, Point cell, int* count);

// ---------------------------------------------------------------------------
// Graph. Plots are kept in a display list; each call returns a plot handle
// (> 0). With ATTR_REFRESH_GRAPH 0 the graph is redrawn only when the
// attribute is set back to 1. Colours 0xRRGGBB.
int PlotLine(int panel, int control, double x1, double y1, double x2, double y2, int color);
int PlotPoint(int panel, int control, double x, double y, int pointStyle, int color);
int PlotOval(int panel, int control, double x1, double y1, double x2, double y2, int color,
             int fillColor);
int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2, int color,
                  int fillColor);
// (x, y) is the text's lower-left corner; font names the face, the size is
// the graph's text size.
int PlotText(int panel, int control, double x, double y, const char* text, const char* font,
             int color, int bgColor);
// x/y arrays of count points, copied; plotStyle VAL_THIN_LINE ... VAL_SCATTER.
int PlotXY(int panel, int control, const double* x, const double* y, int count, int plotStyle,
           int pointStyle, int lineStyle, int color);
// y over index: x = x0 + i * dx.
int PlotY(int panel, int control, const double* y, int count, double x0, double dx, int plotStyle,
          int pointStyle, int lineStyle, int color);
int DeleteGraphPlot(int panel, int control, int plot, int refresh); // plot VAL_ALL_PLOTS = all
int SetPlotAttribute(int panel, int control, int plot, int attr, int value);
int GetPlotAttribute(int panel, int control, int plot, int attr, int* value);
// axis VAL_BOTTOM_XAXIS, VAL_TOP_XAXIS, VAL_LEFT_YAXIS, VAL_RIGHT_YAXIS; mode
// VAL_MANUAL (min/max used), VAL_AUTOSCALE, VAL_LOCK (keep the current range)
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
int GetAxisScalingMode(int panel, int control, int axis, int* mode, double* min, double* max);
// Both X (bottom) and Y (left) at once; VAL_NO_CHANGE-like behaviour: pass
// VAL_LOCK to leave an axis as it is.
int SetAxisRange(int panel, int control, int xMode, double xMin, double xMax, int yMode,
                 double yMin, double yMax);
int GetAxisRange(int panel, int control, int* xMode, double* xMin, double* xMax, int* yMode,
                 double* yMin, double* yMax);
// ATTR_XNAME-like attributes per axis: name, divisions, label visibility, scaling
int SetAxisAttribute(int panel, int control, int axis, int attr, int value);
int SetAxisAttribute(int panel, int control, int axis, int attr, const char* value);
int SetAxisAttribute(int panel, int control, int axis, int attr, double value); // label gain, offset
int GetAxisAttribute(int panel, int control, int axis, int attr, int* value);
int GetAxisAttribute(int panel, int control, int axis, int attr, char* buffer, int bufferSize);
// Cursors are 1-based; ATTR_NUM_CURSORS sets how many exist.
int SetCursorAttribute(int panel, int control, int cursor, int attr, int value);
int GetCursorAttribute(int panel, int control, int cursor, int attr, int* value);
int SetGraphCursor(int panel, int control, int cursor, double x, double y); // no event
int GetGraphCursor(int panel, int control, int cursor, double* x, double* y);
int GetActiveGraphCursor(int panel, int control, int* cursor);
int SetActiveGraphCursor(int panel, int control, int cursor);
int RefreshGraph(int panel, int control);

// ---------------------------------------------------------------------------
// Canvas: drawing goes into an image back buffer and is also recorded.
int CanvasClear(int panel, int control, Rect area);      // area height/width -1 = all
int CanvasDrawRect(int panel, int control, Rect rect, int drawMode); // VAL_DRAW_*
int CanvasDrawPoly(int panel, int control, int count, const Point* points, int wrap, int drawMode);
int CanvasDrawLine(int panel, int control, Point from, Point to);
int CanvasDrawText(int panel, int control, const char* text, const char* font, Rect bounds,
                   int justify);
int CanvasDrawBitmap(int panel, int control, int bitmap, Rect source, Rect dest);
enum { VAL_DRAW_FRAME = 0, VAL_DRAW_INTERIOR = 1, VAL_DRAW_FRAME_AND_INTERIOR = 2 };
enum { VAL_ENTIRE_OBJECT = -1 };

// ---------------------------------------------------------------------------
// Menus. before -1 appends. Labels use "__" before the mnemonic letter.
int NewMenuBar(int panel);                      // attaches it to the panel (0 = unattached)
int DiscardMenuBar(int menuBar);
int SetPanelMenuBar(int panel, int menuBar);
int NewMenu(int menuBar, const char* label, int before);
int NewMenuItem(int menuBar, int menu, const char* label, int before, int shortcutKey,
                MenuCallbackPtr callback, void* callbackData);
int InsertSeparator(int menuBar, int menu, int before);
int DiscardMenuItem(int menuBar, int menuItem);
// menuId 0 addresses the bar itself (font attributes); else a menu or item id.
int SetMenuBarAttribute(int menuBar, int menuId, int attr, int value);
int SetMenuBarAttribute(int menuBar, int menuId, int attr, const char* value);
int SetMenuBarAttribute(int menuBar, int menuId, int attr, MenuCallbackPtr callback);
int GetMenuBarAttribute(int menuBar, int menuId, int attr, int* value);
int GetMenuBarAttribute(int menuBar, int menuId, int attr, char* buffer, int bufferSize);

// ---------------------------------------------------------------------------
// System and monitors. ATTR_RESOLUTION_ADJUSTMENT is the run-time's own
// setting (default 0); SetSystemAttribute changes it (tests, settings).
int GetSystemAttribute(int attr, int* value);
int SetSystemAttribute(int attr, int value);
int GetMonitorFromPanel(int panel, int* monitor);
int GetMonitorAttribute(int monitor, int attr, int* value);

// ---------------------------------------------------------------------------
// Popups. Real Qt dialogs for users; the test driver answers them from a
// scripted queue. Every popup's title and text is recorded for tests.
int MessagePopup(const char* title, const char* message);         // 0, or < 0
int ConfirmPopup(const char* title, const char* message);         // 1 yes, 0 no
int PromptPopup(const char* title, const char* message, char* response, int maxLength); // 0 ok, < 0
// fileSpec "*.prj"; fileTypes ";"-separated extra patterns or "";
// buttonMode VAL_LOAD_BUTTON / VAL_SAVE_BUTTON / VAL_SELECT_BUTTON.
// Returns VAL_NO_FILE_SELECTED (cancelled), VAL_EXISTING_FILE_SELECTED,
// VAL_NEW_FILE_SELECTED, or < 0; pathOut gets the host path.
int FileSelectPopup(const char* defaultDirectory, const char* fileSpec, const char* fileTypes,
                    const char* title, int buttonMode, int restrictDirectory, int restrictExtension,
                    int allowCancel, int allowMakeDirectory, char* pathOut, int pathSize);
// VAL_NO_FILE_SELECTED or VAL_EXISTING_FILE_SELECTED.
int DirSelectPopup(const char* defaultDirectory, const char* title, int allowCancel,
                   int allowMakeDirectory, char* pathOut, int pathSize);
// 1: every popup open now is closed as its Cancel or No, and every later one
// returns at once as if so answered (a message as seen, a confirm as no, a
// prompt or file dialog as cancelled), recorded with the answer "declined".
// For a program that is ending. 0 shows popups again.
void DeclinePopups(int on);

// ---------------------------------------------------------------------------
// Event loop
int RunUserInterface();                 // returns the code given to QuitUserInterface
int QuitUserInterface(int returnCode);
// Paints and collects input; input while a callback runs is queued (see
// GetUserEvent); outside callbacks it is dispatched as usual.
int ProcessSystemEvents();
int ProcessDrawEvents();
// Takes the next queued user event: returns EVENT_COMMIT (control commit;
// *control = control id) or EVENT_MENU (*control = menu item id, *panel = the
// panel of the menu bar), 0 when none. VAL_WAIT waits for one.
int GetUserEvent(int waitMode, int* panel, int* control);
// 1 while a callback runs (its input is then queued or dropped), else 0.
int CallbackRunning();
// Called when the user presses a panel's close box (EVENT_CLOSE, item 0) or
// chooses a menu item (EVENT_MENU, the item) while a callback runs: the
// close is dropped and the item queued as before; the hook lets the program
// take note (an exit asked for during a long command). nullptr removes it.
typedef void (*DeferredEventHook)(int event, int panel, int item);
void SetDeferredEventHook(DeferredEventHook hook);
// Called before the callback of each command the user gives while no
// callback runs (a control's commit, a menu item), so that the program can
// retire what it showed for the one before. nullptr removes it.
typedef void (*UserCommandHook)(void);
void SetUserCommandHook(UserCommandHook hook);
// Seconds since the run-time started, from the clock (injectable in tests).
double Timer();
// Waits, keeping the windows painted; tests replace it so that nothing sleeps.
int Delay(double seconds);
