// The custom-envelope pages of P_TIM: import controls (T_IMP), the
// amplitude and I/Q tables (T_ENV, T_IQ) and the view with its figures and
// plot (T_VIEW). Each is built as a top-level panel of 365 x 346 pixels and
// becomes a tab page; the tab control places it, so it is not centred.
#include "ui/pulse/EnvelopePages.h"

#include <iterator>

#include "editors/EnvelopeImport.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"
#include "ui/pulse/TimingPanel.h"

int T_IMP = 0;
int T_ENV = 0;
int T_IQ = 0;
int T_VIEW = 0;

int T_VIEW_GRAPH_ENVSHAPE = -1;
int T_VIEW_STR_ENVMIN = -1;
int T_VIEW_STR_ENVPOINTS = -1;
int T_VIEW_TEXTMSG_56 = -1;
int T_VIEW_TEXTMSG_55 = -1;
int T_VIEW_TEXTMSG_54 = -1;
int T_VIEW_STR_ENVMAX = -1;
int T_IQ_TABLE_ARBENVEL = -1;
int T_ENV_TABLE_ARBENVEL = -1;
int T_IMP_CMD_IMPORTARBENV = -1;
int T_IMP_RING_IMPORTMODE = -1;
int T_IMP_NUM_IMP_COL_ENV_2 = -1;
int T_IMP_NUM_IMP_COL_ENV = -1;
int T_IMP_CMD_ENV_CLEARALL = -1;
int T_IMP_TEXTMSG_59 = -1;

namespace {

constexpr int kPageHeight = 365, kPageWidth = 346;

constexpr PanelDef Page(const char* name) {
  return PanelDef{name, "", 0, 0, kPageHeight, kPageWidth, nullptr, {AttrI(ATTR_BACKCOLOR, 0xE0E0E0)}, {}};
}
const PanelDef kImportPanel = Page("T_IMP");
const PanelDef kAmplitudePanel = Page("T_ENV");
const PanelDef kIqPanel = Page("T_IQ");
const PanelDef kViewPanel = Page("T_VIEW");

constexpr UiAttr kText[] = {
    AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT),
    AttrI(ATTR_TEXT_COLOR, 0x303030), UiAttr{}};
// Column numbers of the import: integers 0..100 (1-based columns).
constexpr UiAttr kColumn[] = {
    AttrI(ATTR_CTRL_MODE, VAL_VALIDATE), AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_MIN_VALUE, 0),
    AttrI(ATTR_MAX_VALUE, 100), AttrI(ATTR_INCR_VALUE, 1), AttrI(ATTR_PRECISION, 0), UiAttr{}};

// ---- Import
const CtrlDef kImportCtrls[] = {
    {.id = &T_IMP_CMD_IMPORTARBENV, .constName = "CMD_IMPORTARBENV", .kind = CTRL_COMMAND_BUTTON,
     .label = "__Import Data From File...", .top = 120, .left = 10, .callback = EnvelopeImportCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT)}, .height = 23, .width = 151},
    {.id = &T_IMP_RING_IMPORTMODE, .constName = "RING_IMPORTMODE", .kind = CTRL_RING, .label = "", .top = 36,
     .left = 10, .callback = EnvelopeImportModeCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_DFLT_VALUE, IMPORT_LEVEL),
               AttrI(ATTR_LABEL_VISIBLE, 0)},
     .width = 110},
    {.id = &T_IMP_NUM_IMP_COL_ENV_2, .constName = "NUM_IMP_COL_ENV_2", .kind = CTRL_NUMERIC, .label = "Column Q",
     .top = 60, .left = 270, .callback = nullptr, .look = kColumn, .attrs = {AttrI(ATTR_DFLT_VALUE, 2)},
     .width = 55, .labelTop = 63, .labelLeft = 180},
    {.id = &T_IMP_NUM_IMP_COL_ENV, .constName = "NUM_IMP_COL_ENV", .kind = CTRL_NUMERIC, .label = "Column Env/I",
     .top = 30, .left = 270, .callback = nullptr, .look = kColumn, .attrs = {AttrI(ATTR_DFLT_VALUE, 1)},
     .width = 55, .labelTop = 33, .labelLeft = 180},
    {.id = &T_IMP_CMD_ENV_CLEARALL, .constName = "CMD_ENV_CLEARALL", .kind = CTRL_COMMAND_BUTTON,
     .label = "__Clear All Data", .top = 152, .left = 10, .callback = PulseEnvelopeClearCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT)}, .height = 23, .width = 151},
    {.id = &T_IMP_TEXTMSG_59, .constName = "TEXTMSG_59", .kind = CTRL_TEXT_MSG, .label = "", .top = 14, .left = 10,
     .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "Import Mode")}},
};
const int* const kImportFront[] = {&T_IMP_CMD_IMPORTARBENV, &T_IMP_RING_IMPORTMODE, &T_IMP_NUM_IMP_COL_ENV_2,
                                   &T_IMP_NUM_IMP_COL_ENV, &T_IMP_CMD_ENV_CLEARALL, &T_IMP_TEXTMSG_59};
const int* const kImportFocus[] = {&T_IMP_CMD_IMPORTARBENV, &T_IMP_RING_IMPORTMODE, &T_IMP_NUM_IMP_COL_ENV_2,
                                   &T_IMP_NUM_IMP_COL_ENV, &T_IMP_CMD_ENV_CLEARALL};

// ---- Data tables: read-only, built with columns and one placeholder row.
constexpr UiAttr kTable[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_ROW_LABELS_VISIBLE, 0),
                             AttrI(ATTR_COLUMN_LABELS_VISIBLE, 1), UiAttr{}};
const CtrlDef kAmplitudeCtrls[] = {
    {.id = &T_ENV_TABLE_ARBENVEL, .constName = "TABLE_ARBENVEL", .kind = CTRL_TABLE, .label = "", .top = 8,
     .left = 8, .callback = nullptr, .look = kTable, .attrs = {}, .height = 346, .width = 258},
};
const CtrlDef kIqCtrls[] = {
    {.id = &T_IQ_TABLE_ARBENVEL, .constName = "TABLE_ARBENVEL", .kind = CTRL_TABLE, .label = "", .top = 8,
     .left = 8, .callback = nullptr, .look = kTable, .attrs = {}, .height = 346, .width = 298},
};
const int* const kAmplitudeOrder[] = {&T_ENV_TABLE_ARBENVEL};
const int* const kIqOrder[] = {&T_IQ_TABLE_ARBENVEL};

struct TableColumn {
  const char* label;
  int cellType;
  int width;
};
constexpr TableColumn kAmplitudeColumns[] = {{"Entry", VAL_CELL_NUMERIC, 40}, {"Amplitude", VAL_CELL_STRING, 100}};
constexpr TableColumn kIqColumns[] = {
    {"Entry", VAL_CELL_NUMERIC, 40}, {"I", VAL_CELL_STRING, 80}, {"Q", VAL_CELL_STRING, 80}};

// Columns left to right (entry numbers as integer cells), then the one
// placeholder row shown until the first pulse is.
template <int N>
int AddColumns(int panel, int table, const TableColumn (&columns)[N]) {
  for (int c = 0; c < N; ++c) {
    CZ_UI_TRY(InsertTableColumns(panel, table, -1, 1, columns[c].cellType));
    const int column = c + 1;
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_LABEL_TEXT, columns[c].label));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_COLUMN_WIDTH, columns[c].width));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_CELL_MODE, VAL_INDICATOR));
    if (columns[c].cellType == VAL_CELL_NUMERIC)
      CZ_UI_TRY(SetTableColumnAttribute(panel, table, column, ATTR_DATA_TYPE, VAL_INTEGER));
  }
  CZ_UI_TRY(InsertTableRows(panel, table, -1, 1, VAL_USE_MASTER_CELL_TYPE));
  for (int c = 1; c <= N; ++c) CZ_UI_TRY(PanelBuild_CellIcon(panel, table, Cell(c, 1), kImageList));
  return 0;
}

// ---- View
const CtrlDef kViewCtrls[] = {
    {.id = &T_VIEW_GRAPH_ENVSHAPE, .constName = "GRAPH_ENVSHAPE", .kind = CTRL_GRAPH, .label = "Shape",
     .top = 110, .left = 12, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_XNAME, ""), AttrS(ATTR_YNAME, "dB")},
     .height = 150, .width = 310},
    {.id = &T_VIEW_STR_ENVMIN, .constName = "STR_ENVMIN", .kind = CTRL_TEXT_MSG, .label = "", .top = 44,
     .left = 90, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "0")}, .width = 100},
    {.id = &T_VIEW_STR_ENVPOINTS, .constName = "STR_ENVPOINTS", .kind = CTRL_TEXT_MSG, .label = "", .top = 20,
     .left = 90, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "0")}, .width = 100},
    {.id = &T_VIEW_TEXTMSG_56, .constName = "TEXTMSG_56", .kind = CTRL_TEXT_MSG, .label = "", .top = 68,
     .left = 20, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "Max")}},
    {.id = &T_VIEW_TEXTMSG_55, .constName = "TEXTMSG_55", .kind = CTRL_TEXT_MSG, .label = "", .top = 44,
     .left = 20, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "Min")}},
    {.id = &T_VIEW_TEXTMSG_54, .constName = "TEXTMSG_54", .kind = CTRL_TEXT_MSG, .label = "", .top = 20,
     .left = 20, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "Points")}},
    {.id = &T_VIEW_STR_ENVMAX, .constName = "STR_ENVMAX", .kind = CTRL_TEXT_MSG, .label = "", .top = 68,
     .left = 90, .callback = nullptr, .look = kText, .attrs = {AttrS(ATTR_DFLT_VALUE, "0")}, .width = 100},
};
const int* const kViewFront[] = {&T_VIEW_GRAPH_ENVSHAPE, &T_VIEW_STR_ENVMIN, &T_VIEW_STR_ENVPOINTS,
                                 &T_VIEW_TEXTMSG_56, &T_VIEW_TEXTMSG_55, &T_VIEW_TEXTMSG_54, &T_VIEW_STR_ENVMAX};
const int* const kViewFocus[] = {&T_VIEW_GRAPH_ENVSHAPE};

}  // namespace

int BuildEnvelopeImportPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kImportPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kImportCtrls, static_cast<int>(std::size(kImportCtrls))));
  CZ_UI_TRY(InsertListItem(panel, T_IMP_RING_IMPORTMODE, -1, "Level", IMPORT_LEVEL));
  CZ_UI_TRY(InsertListItem(panel, T_IMP_RING_IMPORTMODE, -1, "I and Q", IMPORT_IQ));
  CZ_UI_TRY(DefaultCtrl(panel, T_IMP_RING_IMPORTMODE));
  CZ_UI_TRY(PanelBuild_Order(panel, kImportFront, static_cast<int>(std::size(kImportFront)), kImportFocus,
                             static_cast<int>(std::size(kImportFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kImportPanel, 0));
  return panel;
}

int BuildEnvelopeAmplitudePanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kAmplitudePanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kAmplitudeCtrls, 1));
  CZ_UI_TRY(AddColumns(panel, T_ENV_TABLE_ARBENVEL, kAmplitudeColumns));
  CZ_UI_TRY(PanelBuild_Order(panel, kAmplitudeOrder, 1, kAmplitudeOrder, 1));
  CZ_UI_TRY(PanelBuild_Fit(panel, kAmplitudePanel, 0));
  return panel;
}

int BuildEnvelopeIqDataPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kIqPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kIqCtrls, 1));
  CZ_UI_TRY(AddColumns(panel, T_IQ_TABLE_ARBENVEL, kIqColumns));
  CZ_UI_TRY(PanelBuild_Order(panel, kIqOrder, 1, kIqOrder, 1));
  CZ_UI_TRY(PanelBuild_Fit(panel, kIqPanel, 0));
  return panel;
}

// The shape plot autoscales both axes (design ranges 0..500 points and
// -80..0 dB).
int BuildEnvelopeViewPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kViewPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kViewCtrls, static_cast<int>(std::size(kViewCtrls))));
  CZ_UI_TRY(SetAxisScalingMode(panel, T_VIEW_GRAPH_ENVSHAPE, VAL_BOTTOM_XAXIS, VAL_AUTOSCALE, 0.0, 500.0));
  CZ_UI_TRY(SetAxisScalingMode(panel, T_VIEW_GRAPH_ENVSHAPE, VAL_LEFT_YAXIS, VAL_AUTOSCALE, -80.0, 0.0));
  CZ_UI_TRY(PanelBuild_Order(panel, kViewFront, static_cast<int>(std::size(kViewFront)), kViewFocus, 1));
  CZ_UI_TRY(PanelBuild_Fit(panel, kViewPanel, 0));
  return panel;
}

// The tab control holds copies of the built pages; their handles are
// taken by page index, in the fixed order of BuildPulseTimingPanel.
int EnvelopePages_FetchHandles(int timingPanel) {
  int* const pages[] = {&T_IMP, &T_ENV, &T_IQ, &T_VIEW};
  for (int i = 0; i < 4; ++i)
    if (GetPanelHandleFromTabPage(timingPanel, P_TIM_TAB_IMPORT, i, pages[i]) < 0) return i + 1;
  return 0;
}
