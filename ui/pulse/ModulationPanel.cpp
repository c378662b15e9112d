// P_MOD, the modulation sub-panel of the pulse editor: the modulation type
// tree with its group items, the typed parameter table, the reset button,
// and the data table with its add, delete and sources buttons. The tree is
// built with its groups only and both tables without rows; the editors add
// the types and the 32 data rows at start-up.
#include "ui/pulse/ModulationPanel.h"

#include <iterator>

#include "editors/DataSourceEditor.h"
#include "editors/ModDataTable.h"
#include "editors/PulseEditor.h"
#include "editors/PulseModPage.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"
#include "ui/pulse/PulsePanels.h"

int P_MOD_TEXTMSG_13 = -1;
int P_MOD_CMD_RESET_2 = -1;
int P_MOD_CMD_RESET = -1;
int P_MOD_STR_TXT_4 = -1;
int P_MOD_CMD_DEL = -1;
int P_MOD_CMD_ADD = -1;

namespace {

const PanelDef kModPanel = {
    "P_MOD", "", 0, 0, 460, 730, PulseModulationPanelCb,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {AttrI(ATTR_FRAME_THICKNESS, 0)}};

constexpr UiAttr kIconButton[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
                                  UiAttr{}};
constexpr UiAttr kTable[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_ROW_LABELS_VISIBLE, 0),
                             AttrI(ATTR_COLUMN_LABELS_VISIBLE, 1), UiAttr{}};

const CtrlDef kModCtrls[] = {
    {.id = &P_MOD_TEXTMSG_13, .constName = "TEXTMSG_13", .kind = CTRL_TEXT_MSG, .label = "", .top = 8, .left = 10,
     .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, "Intra pulse modulation"),
               AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_POINT_SIZE, 14),
               AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT)}},
    {.id = &P_MOD_CMD_RESET_2, .constName = "CMD_RESET_2", .kind = CTRL_COMMAND_BUTTON, .label = "__Sources...",
     .top = 262, .left = 640, .callback = ShowDataSourcesButtonCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT)}, .height = 23, .width = 80},
    {.id = &P_MOD_CMD_RESET, .constName = "CMD_RESET", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 8,
     .left = 694, .callback = ModulationParamResetCb, .look = kIconButton, .attrs = {}, .height = 26, .width = 26,
     .icon = kIconClear},
    {.id = &P_MOD_STR_TXT_4, .constName = "STR_TXT_4", .kind = CTRL_TEXT_MSG, .label = "", .top = 120, .left = 400,
     .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""),
               AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT)}},
    {.id = &P_MOD_TABLE_DATA, .constName = "TABLE_DATA", .kind = CTRL_TABLE, .label = "", .top = 262, .left = 10,
     .callback = PulseDataTableCb, .look = kTable, .attrs = {}, .height = 190, .width = 620},
    {.id = &P_MOD_TABLE_CONF, .constName = "TABLE_CONF", .kind = CTRL_TABLE, .label = "Modulation Parameters",
     .top = 40, .left = 240, .callback = ModulationParamTableCb, .look = kTable, .attrs = {}, .height = 190,
     .width = 480},
    {.id = &P_MOD_CMD_DEL, .constName = "CMD_DEL", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 234,
     .left = 42, .callback = PulseDataDeleteCb, .look = kIconButton, .attrs = {}, .height = 26, .width = 30,
     .icon = kIconDelete},
    {.id = &P_MOD_CMD_ADD, .constName = "CMD_ADD", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 234,
     .left = 10, .callback = PulseDataAddCb, .look = kIconButton, .attrs = {}, .height = 26, .width = 30,
     .icon = kIconAddPulse},
    {.id = &P_MOD_TREE_MOD, .constName = "TREE_MOD", .kind = CTRL_TREE, .label = "", .top = 40, .left = 10,
     .callback = ModulationTypeTreeCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
               AttrI(ATTR_COLUMN_LABELS_VISIBLE, 0)},
     .height = 190, .width = 220},
};

struct TableColumn {
  const char* label;
  int width;
  int mode;
};
// The data table: only the bit count is typed into; the Type and Data
// Source cells become rings when clicked.
constexpr TableColumn kDataColumns[] = {
    {"Type", 70, VAL_INDICATOR}, {"Data Source", 170, VAL_INDICATOR}, {"Bits", 50, VAL_HOT},
    {"Comment", 290, VAL_INDICATOR}};
constexpr TableColumn kConfColumns[] = {{"Setting", 200, VAL_HOT}, {"Value", 250, VAL_HOT}};

template <int N>
int AddColumns(int panel, int table, const TableColumn (&columns)[N]) {
  for (int c = 0; c < N; ++c) {
    CZ_UI_TRY(InsertTableColumns(panel, table, -1, 1, VAL_CELL_STRING));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, c + 1, ATTR_LABEL_TEXT, columns[c].label));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, c + 1, ATTR_COLUMN_WIDTH, columns[c].width));
    CZ_UI_TRY(SetTableColumnAttribute(panel, table, c + 1, ATTR_CELL_MODE, columns[c].mode));
  }
  return 0;
}

struct TreeGroup {
  const char* tag;
  const char* label;
  bool top;  // a root (bold) rather than a child of "_INT"
};
constexpr TreeGroup kTreeGroups[] = {
    {kModTreeInternalTag, "Internal", true}, {"_AM", "AM", false},         {"_FM", "FM", false},
    {"_PSK", "PSK", false},                  {"_OTHER", "Other", false},   {kModTreePluginTag, "Plugins", true}};
const char* const* const kTreeImages[] = {&kImageRoot, &kImagePage, &kImagePlugin};

// The three item images, then "_INT" with its four groups and "_PLUGIN";
// the types themselves are added by FillModulationTypeTree at start-up.
int BuildTree(int panel, int tree) {
  for (const char* const* image : kTreeImages) CZ_UI_TRY(PanelBuild_TreeImage(panel, tree, *image));
  for (const TreeGroup& group : kTreeGroups) {
    const int item = group.top ? InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, group.label, group.tag,
                                                nullptr, 0)
                               : InsertTreeItem(panel, tree, VAL_CHILD, 0, VAL_LAST, group.label, group.tag,
                                                nullptr, 0);
    CZ_UI_TRY(item);
    CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_IMAGE_INDEX, 0));
    CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, 0));
    if (group.top) CZ_UI_TRY(SetTreeItemAttribute(panel, tree, item, ATTR_LABEL_BOLD, 1));
  }
  return 0;
}

const int* const kModFront[] = {&P_MOD_TREE_MOD, &P_MOD_TABLE_CONF, &P_MOD_CMD_RESET, &P_MOD_TABLE_DATA,
                                &P_MOD_CMD_ADD,  &P_MOD_CMD_DEL,    &P_MOD_CMD_RESET_2};
const int* const kModFocus[] = {&P_MOD_TREE_MOD, &P_MOD_TABLE_CONF, &P_MOD_CMD_RESET, &P_MOD_CMD_ADD,
                                &P_MOD_CMD_DEL,  &P_MOD_TABLE_DATA, &P_MOD_CMD_RESET_2};

}  // namespace

// Both tables get their columns but no rows: the data table's 32 rows come
// from ResetPulseDataTable, the parameter rows from InitModParams.
int BuildPulseModulationPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kModPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kModCtrls, static_cast<int>(std::size(kModCtrls))));
  CZ_UI_TRY(AddColumns(panel, P_MOD_TABLE_DATA, kDataColumns));
  CZ_UI_TRY(AddColumns(panel, P_MOD_TABLE_CONF, kConfColumns));
  CZ_UI_TRY(BuildTree(panel, P_MOD_TREE_MOD));
  CZ_UI_TRY(PanelBuild_Order(panel, kModFront, static_cast<int>(std::size(kModFront)), kModFocus,
                             static_cast<int>(std::size(kModFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kModPanel, 0));
  CZ_UI_TRY(SetCtrlAttribute(panel, P_MOD_TABLE_DATA, ATTR_DELETE_KEY_CTRL, P_MOD_CMD_DEL));
  return panel;
}
