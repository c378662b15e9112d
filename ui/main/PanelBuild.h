// The panel building rules shared by every panel builder of the program.
//
// A builder describes its panel with one PanelDef and its controls with a
// const table of CtrlDef rows in creation order, then calls
//
//   int panel = PanelBuild_NewPanel(parent, kPanel);          // steps 1-2
//   CZ_UI_TRY(PanelBuild_Controls(panel, kCtrls, count));     // step 3
//   ... list-like contents (ring items, tree items, tab pages) // step 4
//   CZ_UI_TRY(PanelBuild_Order(panel, zOrder, n, focus, m));  // step 5
//   CZ_UI_TRY(PanelBuild_Fit(panel, kPanel, topLevel));       // step 6
//   return panel;
//
// Status rule: every run-time call is tested and the first negative status
// is returned at once; a half-built panel is left as it is (the caller
// reports), the control-id globals written so far keep their values.
//
// Design places and sizes are pixels for a 1920 x 1160 monitor; the closing
// adjustment scales them by the run-time's resolution-adjustment setting.
#pragma once

#include "platform/ui/UserInterface.h"

// Returns the status of a run-time call from the enclosing builder when it
// is negative.
#define CZ_UI_TRY(call)                 \
  do {                                  \
    const int czUiStatus_ = (call);     \
    if (czUiStatus_ < 0) return czUiStatus_; \
  } while (0)

// One attribute setting of a panel or control; a row with attr 0 ends a list.
struct UiAttr {
  enum Type { kInt = 0, kDouble = 1, kText = 2 };
  int attr = 0;
  int type = kInt;
  int i = 0;
  double d = 0.0;
  const char* s = nullptr;
};
constexpr UiAttr AttrI(int attr, int value) { return UiAttr{attr, UiAttr::kInt, value, 0.0, nullptr}; }
constexpr UiAttr AttrD(int attr, double value) { return UiAttr{attr, UiAttr::kDouble, 0, value, nullptr}; }
constexpr UiAttr AttrS(int attr, const char* value) { return UiAttr{attr, UiAttr::kText, 0, 0.0, value}; }

// Look of the editable text and number fields of the pages and dialogs:
// hot, Arial, grey label on no background, dark text on a light field.
inline constexpr UiAttr kHotFieldLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_HOT),     AttrS(ATTR_LABEL_FONT, "Arial"),
    AttrI(ATTR_LABEL_COLOR, 0x606060),  AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
    AttrS(ATTR_TEXT_FONT, "Arial"),     AttrI(ATTR_TEXT_COLOR, 0x303030),
    AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7), UiAttr{}};

// Entry length of the fields that name a file (a local path, a file on the
// instrument): longer than the 255 bytes a record holds, so that the commit
// sees the whole path and refuses one that does not fit, which the field
// would otherwise cut (a cut path names another file).
inline constexpr int kPathEntryLength = 1023;

inline constexpr int kPanelAttrMax = 12;
inline constexpr int kCtrlAttrMax = 24;

struct PanelDef {
  const char* constName;
  const char* title;
  int top, left, height, width;   // design place and size
  PanelCallbackPtr callback;      // null: none
  UiAttr look[kPanelAttrMax];     // always set (background, scroll bars, title bar ...)
  UiAttr childLook[kPanelAttrMax];  // set only when the panel has a parent
};

struct CtrlDef {
  int* id;                        // the control-id global, written right after NewCtrl
  const char* constName;
  int kind;                       // CTRL_*
  const char* label;
  int top, left;
  CtrlCallbackPtr callback;       // null: none
  const UiAttr* look;             // shared look of a group of controls (ended by attr 0), or null
  UiAttr attrs[kCtrlAttrMax];     // the control's own attributes, applied after the shared look
  int height = -1, width = -1;    // -1 keeps the run-time's size
  int labelTop = -1, labelLeft = -1;  // -1 keeps the run-time's label place
  const char* icon = nullptr;     // picture buttons: text-encoded bitmap
};

// Creates the panel (NewPanel) and sets its constant name, callback and look.
// Returns the handle or the first negative status.
int PanelBuild_NewPanel(int parent, const PanelDef& def);

// Sets a list of attributes on a panel / a control (ended by attr 0).
int PanelBuild_PanelAttrs(int panel, const UiAttr* attrs);
int PanelBuild_CtrlAttrs(int panel, int control, const UiAttr* attrs);

// Creates one control by its row / every row of a table, in order.
int PanelBuild_Ctrl(int panel, const CtrlDef& def);
int PanelBuild_Controls(int panel, const CtrlDef* defs, int count);

// Stacking order (front-most first) and focus order, both given as the
// controls' id globals.
int PanelBuild_Order(int panel, const int* const* front, int frontCount, const int* const* focus,
                     int focusCount);

// Decodes a text-encoded bitmap, attaches it to the control / tab page /
// tree image list and discards it at once (also when attaching fails).
// PanelBuild_TreeImage returns the image index.
int PanelBuild_Icon(int panel, int control, const char* encoded);
int PanelBuild_TabIcon(int panel, int tabControl, int page, const char* encoded);
int PanelBuild_TreeImage(int panel, int tree, const char* encoded);
int PanelBuild_CellIcon(int panel, int table, Point cell, const char* encoded);

// How an inserted tab page looks.
struct TabPageDef {
  const char* label;
  int background;      // page background colour
  int labelColor;      // -1: the run-time's
  const char* labelFont;  // null: the run-time's
  int labelPointSize;  // 0: the run-time's
  const char* icon;    // null: none
};
// Calls the page builder with parent 0, inserts its panel as the last page of
// the tab control, discards the built panel and gives the page its look.
// Returns the new page index or the first negative status.
int PanelBuild_InsertPage(int panel, int tabControl, int (*builder)(int), const TabPageDef& page);

// The closing size adjustment for a resolution adjustment p (percent, 0 to
// 100; -1 counts as 0) on a monitor of monitorHeight x monitorWidth:
// fv = 1 + (H / 1160 - 1) * 0.01 * p and fh = 1 + (W / 1920 - 1) * 0.01 * p,
// both rounded to single precision; each design value is multiplied and
// truncated toward zero. With p 0 the design values stay.
struct PanelRect {
  int top, left, height, width;
};
PanelRect PanelBuild_Adjust(const PanelRect& design, int adjustment, int monitorHeight,
                            int monitorWidth);

// Step 6 of the rules: scale-contents-on-resize on, the adjustment above
// with the run-time's setting and the monitor of the panel, centring of a
// top-level panel, scale-contents-on-resize off.
int PanelBuild_Fit(int panel, const PanelDef& def, int topLevel);

// The panel's close box runs the callback of closeCtrl as a commit, exactly
// as pressing that button does (installs the panel callback); Escape presses
// the button.
int PanelBuild_SetCloseCtrl(int panel, int closeCtrl, CtrlCallbackPtr callback);

// A panel that is only its table of controls: panel, controls, stacking and
// focus order, closing adjustment (centred when topLevel is 1).
template <int NC, int NF, int NO>
int PanelBuild_Table(int parent, const PanelDef& def, const CtrlDef (&ctrls)[NC], const int* const (&front)[NF],
                     const int* const (&focus)[NO], int topLevel) {
  const int panel = PanelBuild_NewPanel(parent, def);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, ctrls, NC));
  CZ_UI_TRY(PanelBuild_Order(panel, front, NF, focus, NO));
  CZ_UI_TRY(PanelBuild_Fit(panel, def, topLevel));
  return panel;
}
