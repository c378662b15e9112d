// Test driver of the user-interface run-time: acts in the user's place,
// answers popups from a scripted queue, injects the clock and call failures,
// and reads back what the run-time holds. For tests only.
//
// Driver actions go through the same path as real input: they raise the
// events a user's action raises (and nothing for controls in indicator
// mode), are queued instead of dispatched while a callback runs, and are not
// counted by the failing-call hook.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/UserInterface.h"

class QWidget;

// ---------------------------------------------------------------------------
// Set-up
// Discards every panel, menu bar and bitmap, empties the user-event and popup
// answer queues and the popup record, removes the failing-call hook, sets the
// resolution adjustment to 0, the fake monitor to none and the clock to the
// fake clock at 0 s. Call at the start of each test.
void UiTest_Reset();
// Scripted popups: on (default after UiTest_Reset) answers come from the
// queue; off shows real dialogs.
void UiTest_SetScriptedPopups(bool on);
// Called when a popup arrives with no queued answer (the popup then returns
// UI_ERR_NO_ANSWER). The default prints the popup and aborts the process.
typedef void (*UiTest_UnansweredHandler)(const char* kind, const char* title, const char* text);
void UiTest_SetUnansweredPopupHandler(UiTest_UnansweredHandler handler);

// ---------------------------------------------------------------------------
// Popup answers, taken in order by the next popups (any kind)
void UiTest_QueueMessageOk();                 // MessagePopup
void UiTest_QueueConfirm(bool yes);           // ConfirmPopup
void UiTest_QueuePrompt(const char* text);    // PromptPopup (null = cancel)
void UiTest_QueueFile(const char* path);      // FileSelectPopup / DirSelectPopup
void UiTest_QueueCancel();                    // file/dir/prompt popup cancelled
int UiTest_PendingAnswers();

struct UiTest_PopupRecord {
    std::string kind;  // "message", "confirm", "prompt", "file", "dir"
    std::string title;
    std::string text;  // message, or the file dialog's spec and directory "dir|spec"
    std::string answer;
};
const std::vector<UiTest_PopupRecord>& UiTest_Popups();
void UiTest_ClearPopups();

// ---------------------------------------------------------------------------
// Clock and Delay. With the fake clock (default after UiTest_Reset) Timer()
// returns the fake time and Delay(s) advances it by s without sleeping.
void UiTest_UseFakeClock(bool on);
void UiTest_AdvanceClock(double seconds);
double UiTest_TotalDelay();                    // sum of Delay arguments since reset

// ---------------------------------------------------------------------------
// Failing-call hook: the n-th run-time call from now (1 = the next) returns
// status (< 0) instead of doing anything. n 0 removes the hook.
void UiTest_FailNthCall(int n, int status);
long UiTest_CallCount();                       // run-time calls since reset

// Fake monitor (0 x 0 = use the real screen) for the resolution adjustment.
void UiTest_SetMonitorSize(int width, int height);

// ---------------------------------------------------------------------------
// User actions. Return 1 when the action was taken, 0 when refused (the
// control is dimmed, hidden or an indicator, or a mark-state callback said
// no), or a negative status for an unknown panel, control, item or cell.
// A button press: the button takes the focus (focus events), then commits.
int UiTest_ClickCtrl(int panel, int control);
// The user moves the focus to the control (a click or Tab): the control that
// had it gets EVENT_LOST_FOCUS, this one EVENT_GOT_FOCUS. 0 when the control
// takes no focus (dimmed, hidden, indicator, static texts and pictures).
int UiTest_FocusCtrl(int panel, int control);
int UiTest_CommitCtrl(int panel, int control);           // commit with the current value
// Enter a value as a user would: numerics are coerced to the range,
// strings cut to the maximum length; hot and validating controls raise
// value-changed and commit, normal controls raise nothing.
int UiTest_EnterValue(int panel, int control, int value);
int UiTest_EnterValue(int panel, int control, double value);
int UiTest_EnterValue(int panel, int control, const char* value);
int UiTest_ChooseRingIndex(int panel, int control, int index);
int UiTest_ChooseMenuItem(int menuBar, int menuItem);
int UiTest_ClickTreeItem(int panel, int control, int index, bool doubleClick);
int UiTest_SetMarkState(int panel, int control, int index, int state);
int UiTest_ExpandTreeItem(int panel, int control, int index, bool expand);
// Tree and table clicks give the control the focus first, as the mouse does.
// A table click on another cell raises EVENT_ACTIVE_CELL_CHANGE before the
// click. A single click raises the left-click event; unless the callback swallows
// it (non-zero), an operable ring cell then opens its drop-down and a button
// cell commits, as with the mouse.
int UiTest_ClickTableCell(int panel, int control, Point cell, bool doubleClick);
// Opens the ring cell's drop-down in the table's view and picks item index:
// the cell takes the item's text and commits (row, column) as a user edit.
// 0 when the cell is no operable ring; UI_ERR_BAD_INDEX for a missing item.
int UiTest_ChooseTableCellRingItem(int panel, int control, Point cell, int index);
// Types text into the cell's editor in the view and confirms it, as a user
// would; 0 when the cell takes no edit.
int UiTest_TypeTableCell(int panel, int control, Point cell, const char* text);
int UiTest_CommitTableCell(int panel, int control, Point cell, double value);
int UiTest_CommitTableCell(int panel, int control, Point cell, const char* value);
// Moves the cursor through `steps` value-changed events to (x, y) in axis
// units, then commits on release.
int UiTest_DragGraphCursor(int panel, int control, int cursor, double x, double y, int steps);
int UiTest_ChooseTabPage(int panel, int tabControl, int index);
// A key pressed with the control holding the focus (given as a click or Tab
// would; 0 when it takes none): the control handles it first, as with the
// keyboard, then the window (Escape, Return and Delete press the buttons
// their panels name). control 0 presses it on the panel with no control
// focused. Up and Down move a tree's or table's highlight.
enum UiTest_Key { UITEST_KEY_ESCAPE = 1, UITEST_KEY_RETURN, UITEST_KEY_DELETE, UITEST_KEY_UP, UITEST_KEY_DOWN };
int UiTest_PressKey(int panel, int control, int key);
int UiTest_PressCloseBox(int panel);

// ---------------------------------------------------------------------------
// Read-back
int UiTest_QueuedUserEvents();                 // events waiting for GetUserEvent
bool UiTest_InCallback();
int UiTest_CallbackDepth();

struct UiTest_Plot {
    int handle;
    std::string kind;   // "line", "point", "oval", "rect", "text", "xy"
    int color;
    int fillColor;
    int pointStyle;
    std::vector<double> x, y; // the plot's coordinates
    std::string text;
};
std::vector<UiTest_Plot> UiTest_GetPlots(int panel, int control);

struct UiTest_CanvasOp {
    std::string kind;   // "clear", "rect", "poly", "line", "text", "bitmap"
    Rect rect;
    std::vector<Point> points;
    int penColor;
    int fillColor;
    int drawMode;
};
std::vector<UiTest_CanvasOp> UiTest_GetCanvasOps(int panel, int control);
int UiTest_CanvasPixel(int panel, int control, int x, int y); // 0xRRGGBB or < 0

// Size of a table cell's picture (0 x 0 when it has none); < 0 for an
// unknown control or cell.
int UiTest_TableCellPictureSize(int panel, int control, Point cell, int* width, int* height);
// The control that has the keyboard focus as the run-time follows it
// (0 none); *panel receives its panel.
int UiTest_FocusedCtrl(int* panel);

// Widget that draws a control (0 = the panel itself), for grabs and checks.
QWidget* UiTest_Widget(int panel, int control);
// Repaints and writes the panel (with its controls) as a PNG; 1 or 0.
int UiTest_GrabPanelPng(int panel, const char* path);

// ---------------------------------------------------------------------------
// Text fit: every panel the run-time holds (top-level, child and tab-page
// panels), and the texts of a panel's controls that their boxes cannot hold
// whole at the font the run-time draws them with: text messages, outside
// labels (which must also keep clear of their own control and inside the
// panel), button captions and toggle texts, check box and radio button
// labels, ring items, table and tree column labels, tab page labels and
// graph axis names. Sizes are pixels.
std::vector<int> UiTest_Panels();

struct UiTest_ClippedText {
    int panel;
    int control;
    std::string where;  // "PANEL.CONTROL part", e.g. "TAB_VIEW.TXT_X1 text"
    std::string text;
    int textWidth, textHeight;  // what the text needs
    int boxWidth, boxHeight;    // what its box offers
};
std::vector<UiTest_ClippedText> UiTest_ClippedTexts(int panel);

// The cells of a table whose shown text the cell cannot hold whole at the
// font the table draws it with (text, numeric and ring cells by the item
// text's margins, button cells inside their button); hidden rows and
// columns and empty cells are skipped. Sizes are pixels.
struct UiTest_ClippedCell {
    Point cell;          // column, row (1-based)
    std::string text;
    int textWidth;       // what the text needs
    int boxWidth;        // what its cell offers
};
std::vector<UiTest_ClippedCell> UiTest_ClippedTableCells(int panel, int control);

// ---------------------------------------------------------------------------
// Visibility: the controls (and outside labels) of a panel whose widget is
// drawn when the model says hidden, or hidden when it says drawn. A control
// is drawn when its ATTR_VISIBLE is on and its panel is shown: a window or
// child panel whose ATTR_VISIBLE is on inside a shown parent, or the active
// page of a drawn tab control.
struct UiTest_VisibilityFault {
    int panel;
    int control;
    std::string where;  // "PANEL.CONTROL" or "PANEL.CONTROL label"
    bool drawn;         // what the widget does
    bool expected;      // what the model says
};
std::vector<UiTest_VisibilityFault> UiTest_VisibilityFaults(int panel);

// Dimming: the controls (and outside labels) of a panel whose widget takes
// input while the model says dimmed, or refuses it while the model says
// undimmed (a control is undimmed when neither it, nor its panel, nor a panel
// or tab control around that is dimmed), the dimmed entry fields (string,
// numeric, text box, ring) not drawn on the platform's disabled field
// colour, and the dimmed buttons (command, picture, toggle) and table cells
// in view (of a dimmed table, or dimmed themselves) drawn with any colour or
// ink darker than the platform's disabled text.
struct UiTest_DimmingFault {
    int panel;
    int control;
    std::string where;  // "PANEL.CONTROL" or "PANEL.CONTROL label"
    std::string fault;
};
std::vector<UiTest_DimmingFault> UiTest_DimmingFaults(int panel);

// Covering: the visible input controls (and outside labels) of a panel
// that a visible filled decoration drawn after them overlaps, which hides
// that part of them: a decoration with a background, or a text message on
// a background colour (a band, a group box; readouts over a graph's plot
// area are laid there on purpose). A field drawn under its frame takes
// clicks and typing unseen.
struct UiTest_CoveredCtrl {
    int panel;
    int control;
    int cover;          // the filled control in front
    std::string where;  // "PANEL.CONTROL [label] under PANEL.COVER"
};
std::vector<UiTest_CoveredCtrl> UiTest_CoveredControls(int panel);

// The tooltip a tree cell shows: its whole text when the column cuts it,
// else empty.
std::string UiTest_TreeCellToolTip(int panel, int control, int item, int column);

// The value labels a graph shows on an axis at its current size, in order
// (empty when the axis or its labels are hidden).
std::vector<std::string> UiTest_AxisValueLabels(int panel, int control, int axis);
