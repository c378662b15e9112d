// The panel building rules: panel, controls, stacking and focus order,
// icons, tab pages and the closing size adjustment.
#include "ui/main/PanelBuild.h"

#include <cstring>

namespace {

// Design monitor of every panel place and size.
constexpr float kDesignMonitorHeight = 1160.0f;
constexpr float kDesignMonitorWidth = 1920.0f;

int SetPanelAttr(int panel, const UiAttr& a) {
  switch (a.type) {
    case UiAttr::kText: return SetPanelAttribute(panel, a.attr, a.s);
    case UiAttr::kDouble: return SetPanelAttribute(panel, a.attr, a.d);
    default: return SetPanelAttribute(panel, a.attr, a.i);
  }
}

int SetCtrlAttr(int panel, int control, const UiAttr& a) {
  switch (a.type) {
    case UiAttr::kText: return SetCtrlAttribute(panel, control, a.attr, a.s);
    case UiAttr::kDouble: return SetCtrlAttribute(panel, control, a.attr, a.d);
    default: return SetCtrlAttribute(panel, control, a.attr, a.i);
  }
}

// Close controls of the panels built with PanelBuild_SetCloseCtrl.
struct CloseCtrl {
  int panel = 0;
  int control = 0;
  CtrlCallbackPtr callback = nullptr;
};
constexpr int kMaxCloseCtrls = 32;
CloseCtrl g_closeCtrls[kMaxCloseCtrls];

int CloseBoxPanelCb(int panel, int event, void*, int, int) {
  if (event != EVENT_CLOSE) return 0;
  for (const CloseCtrl& c : g_closeCtrls)
    if (c.panel == panel && c.callback != nullptr) return c.callback(panel, c.control, EVENT_COMMIT, nullptr, 0, 0);
  return 0;
}

}  // namespace

int PanelBuild_PanelAttrs(int panel, const UiAttr* attrs) {
  for (int i = 0; attrs != nullptr && attrs[i].attr != 0; ++i) CZ_UI_TRY(SetPanelAttr(panel, attrs[i]));
  return 0;
}

int PanelBuild_CtrlAttrs(int panel, int control, const UiAttr* attrs) {
  for (int i = 0; attrs != nullptr && attrs[i].attr != 0; ++i) CZ_UI_TRY(SetCtrlAttr(panel, control, attrs[i]));
  return 0;
}

int PanelBuild_NewPanel(int parent, const PanelDef& def) {
  const int panel = NewPanel(parent, def.title, def.top, def.left, def.height, def.width);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_CONSTANT_NAME, def.constName));
  if (def.callback != nullptr) CZ_UI_TRY(SetPanelAttribute(panel, ATTR_CALLBACK_FUNCTION_POINTER, def.callback));
  if (parent != 0) CZ_UI_TRY(PanelBuild_PanelAttrs(panel, def.childLook));
  CZ_UI_TRY(PanelBuild_PanelAttrs(panel, def.look));
  return panel;
}

int PanelBuild_Ctrl(int panel, const CtrlDef& def) {
  const int ctrl = NewCtrl(panel, def.kind, def.label, def.top, def.left);
  CZ_UI_TRY(ctrl);
  if (def.id != nullptr) *def.id = ctrl;
  CZ_UI_TRY(SetCtrlAttribute(panel, ctrl, ATTR_CONSTANT_NAME, def.constName));
  if (def.callback != nullptr) CZ_UI_TRY(SetCtrlAttribute(panel, ctrl, ATTR_CALLBACK_FUNCTION_POINTER, def.callback));
  CZ_UI_TRY(PanelBuild_CtrlAttrs(panel, ctrl, def.look));
  CZ_UI_TRY(PanelBuild_CtrlAttrs(panel, ctrl, def.attrs));
  // The default given in the attributes is also the initial value.
  CZ_UI_TRY(DefaultCtrl(panel, ctrl));
  if (def.height >= 0) CZ_UI_TRY(SetCtrlAttribute(panel, ctrl, ATTR_HEIGHT, def.height));
  if (def.width >= 0) CZ_UI_TRY(SetCtrlAttribute(panel, ctrl, ATTR_WIDTH, def.width));
  if (def.labelTop >= 0) CZ_UI_TRY(SetCtrlAttribute(panel, ctrl, ATTR_LABEL_TOP, def.labelTop));
  if (def.labelLeft >= 0) CZ_UI_TRY(SetCtrlAttribute(panel, ctrl, ATTR_LABEL_LEFT, def.labelLeft));
  if (def.icon != nullptr) CZ_UI_TRY(PanelBuild_Icon(panel, ctrl, def.icon));
  return ctrl;
}

int PanelBuild_Controls(int panel, const CtrlDef* defs, int count) {
  for (int i = 0; i < count; ++i) CZ_UI_TRY(PanelBuild_Ctrl(panel, defs[i]));
  return 0;
}

int PanelBuild_Order(int panel, const int* const* front, int frontCount, const int* const* focus,
                     int focusCount) {
  for (int i = 0; i < frontCount; ++i) CZ_UI_TRY(SetCtrlAttribute(panel, *front[i], ATTR_ZPLANE_POSITION, i));
  for (int i = 0; i < focusCount; ++i) CZ_UI_TRY(SetCtrlAttribute(panel, *focus[i], ATTR_CTRL_TAB_POSITION, i));
  return 0;
}

int PanelBuild_Icon(int panel, int control, const char* encoded) {
  int bitmap = 0;
  CZ_UI_TRY(GetUserBitmapFromText(encoded, &bitmap));
  const int status = SetCtrlBitmap(panel, control, bitmap);
  // The control keeps its own copy; the bitmap goes at once, on failure too.
  DiscardBitmap(bitmap);
  return status < 0 ? status : 0;
}

int PanelBuild_TabIcon(int panel, int tabControl, int page, const char* encoded) {
  int bitmap = 0;
  CZ_UI_TRY(GetUserBitmapFromText(encoded, &bitmap));
  const int status = SetTabPageBitmap(panel, tabControl, page, bitmap);
  DiscardBitmap(bitmap);
  return status < 0 ? status : 0;
}

int PanelBuild_TreeImage(int panel, int tree, const char* encoded) {
  int bitmap = 0;
  CZ_UI_TRY(GetUserBitmapFromText(encoded, &bitmap));
  const int index = AddTreeImage(panel, tree, bitmap);
  DiscardBitmap(bitmap);
  return index;
}

int PanelBuild_CellIcon(int panel, int table, Point cell, const char* encoded) {
  int bitmap = 0;
  CZ_UI_TRY(GetUserBitmapFromText(encoded, &bitmap));
  const int status = SetTableCellBitmap(panel, table, cell, bitmap);
  DiscardBitmap(bitmap);
  return status < 0 ? status : 0;
}

int PanelBuild_InsertPage(int panel, int tabControl, int (*builder)(int), const TabPageDef& page) {
  const int source = builder(0);
  CZ_UI_TRY(source);
  const int index = InsertPanelAsTabPage(panel, tabControl, -1, source);
  CZ_UI_TRY(index);
  // The tab control holds its own copy with the same control ids; the
  // discard of the source is not tested (nothing depends on it).
  DiscardPanel(source);
  CZ_UI_TRY(SetTabPageAttribute(panel, tabControl, index, ATTR_BACKCOLOR, page.background));
  if (page.labelColor >= 0) CZ_UI_TRY(SetTabPageAttribute(panel, tabControl, index, ATTR_LABEL_COLOR, page.labelColor));
  CZ_UI_TRY(SetTabPageAttribute(panel, tabControl, index, ATTR_LABEL_TEXT, page.label));
  if (page.labelFont != nullptr)
    CZ_UI_TRY(SetTabPageAttribute(panel, tabControl, index, ATTR_LABEL_FONT, page.labelFont));
  if (page.labelPointSize > 0)
    CZ_UI_TRY(SetTabPageAttribute(panel, tabControl, index, ATTR_LABEL_POINT_SIZE, page.labelPointSize));
  if (page.icon != nullptr) CZ_UI_TRY(PanelBuild_TabIcon(panel, tabControl, index, page.icon));
  return index;
}

PanelRect PanelBuild_Adjust(const PanelRect& design, int adjustment, int monitorHeight,
                            int monitorWidth) {
  const int p = adjustment < 0 ? 0 : adjustment;
  if (p == 0) return design;
  // The factors are single precision, as the run-time computes them.
  const float fv = 1.0f + (static_cast<float>(monitorHeight) / kDesignMonitorHeight - 1.0f) * 0.01f * p;
  const float fh = 1.0f + (static_cast<float>(monitorWidth) / kDesignMonitorWidth - 1.0f) * 0.01f * p;
  PanelRect r;
  r.height = static_cast<int>(fv * design.height);
  r.width = static_cast<int>(fh * design.width);
  r.top = static_cast<int>(fv * design.top);
  r.left = static_cast<int>(fh * design.left);
  return r;
}

int PanelBuild_Fit(int panel, const PanelDef& def, int topLevel) {
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_SCALE_CONTENTS_ON_RESIZE, 1));
  int p = 0;
  CZ_UI_TRY(GetSystemAttribute(ATTR_RESOLUTION_ADJUSTMENT, &p));
  if (p < 0) p = 0;
  if (p != 0) {
    int monitor = 0, h = 0, w = 0;
    CZ_UI_TRY(GetMonitorFromPanel(panel, &monitor));
    CZ_UI_TRY(GetMonitorAttribute(monitor, ATTR_SYSTEM_MONITOR_HEIGHT, &h));
    CZ_UI_TRY(GetMonitorAttribute(monitor, ATTR_SYSTEM_MONITOR_WIDTH, &w));
    const PanelRect r = PanelBuild_Adjust(PanelRect{def.top, def.left, def.height, def.width}, p, h, w);
    CZ_UI_TRY(SetPanelAttribute(panel, ATTR_HEIGHT, r.height));
    CZ_UI_TRY(SetPanelAttribute(panel, ATTR_WIDTH, r.width));
    CZ_UI_TRY(SetPanelAttribute(panel, ATTR_TOP, r.top));
    CZ_UI_TRY(SetPanelAttribute(panel, ATTR_LEFT, r.left));
  }
  if (topLevel) {
    CZ_UI_TRY(SetPanelAttribute(panel, ATTR_TOP, VAL_AUTO_CENTER));
    CZ_UI_TRY(SetPanelAttribute(panel, ATTR_LEFT, VAL_AUTO_CENTER));
  }
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_SCALE_CONTENTS_ON_RESIZE, 0));
  return 0;
}

int PanelBuild_SetCloseCtrl(int panel, int closeCtrl, CtrlCallbackPtr callback) {
  // A slot is free when it was never used or its panel has been discarded
  // (panel handles are not reused), so that panels built again and again
  // do not run out of slots.
  CloseCtrl* slot = nullptr;
  for (CloseCtrl& c : g_closeCtrls) {
    int visible = 0;
    if (c.panel != 0 && c.panel != panel && GetPanelAttribute(c.panel, ATTR_VISIBLE, &visible) < 0) c = CloseCtrl{};
    if (c.panel == panel || (slot == nullptr && c.panel == 0)) {
      slot = &c;
      if (c.panel == panel) break;
    }
  }
  if (slot == nullptr) return UI_ERR_OUT_OF_MEMORY;
  *slot = CloseCtrl{panel, closeCtrl, callback};
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_CANCEL_CTRL, closeCtrl));
  return SetPanelAttribute(panel, ATTR_CALLBACK_FUNCTION_POINTER, &CloseBoxPanelCb);
}
