// The Data Source Editor dialog: the source tree on the left with the add
// and delete buttons above its left edge and the move buttons above its
// right edge; name, comment and the bit text box on the right; the close
// button at the bottom right.
#include "ui/dialogs/DataSourceDialog.h"

#include <iterator>

#include "editors/DataSourceEditor.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

int DATAEDIT = 0;
int DATAEDIT_STR_COMMENT = -1;
int DATAEDIT_STR_DATA = -1;
int DATAEDIT_STR_NAME = -1;
int DATAEDIT_CMD_EXIT = -1;
int DATAEDIT_TREE_DATA = -1;
int DATAEDIT_STR_BITS = -1;
int DATAEDIT_CMD_DEL = -1;
int DATAEDIT_CMD_ADD = -1;
int DATAEDIT_CMD_SENTRY_UP = -1;
int DATAEDIT_CMD_SENTRY_DOWN = -1;

namespace {

const PanelDef kDataEditPanel = {
    "DATAEDIT", "Data Source Editor", 100, 100, 583, 809, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SIZABLE, 0), AttrI(ATTR_CAN_MAXIMIZE, 0)},
    {}};

constexpr int kFieldLeft = 390, kFieldWidth = 405;

constexpr UiAttr kField[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrS(ATTR_DFLT_VALUE, ""), AttrI(ATTR_DIMMED, 1),
                             AttrI(ATTR_MAX_ENTRY_LENGTH, 255), AttrS(ATTR_TEXT_FONT, "Arial"),
                             AttrS(ATTR_LABEL_FONT, "Arial"), AttrI(ATTR_LABEL_BOLD, 1), UiAttr{}};
constexpr UiAttr kSmallButton[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
                                   UiAttr{}};

// Creation order of the dialog (the ids above are written in this order).
const CtrlDef kDataEditCtrls[] = {
    {.id = &DATAEDIT_STR_COMMENT, .constName = "STR_COMMENT", .kind = CTRL_STRING, .label = "Comment",
     .top = 96, .left = kFieldLeft, .callback = DataSourceTextCb, .look = kField, .attrs = {},
     .width = kFieldWidth, .labelTop = 78, .labelLeft = kFieldLeft},
    {.id = &DATAEDIT_STR_DATA, .constName = "STR_DATA", .kind = CTRL_TEXT_BOX, .label = "__Data Bits", .top = 150,
     .left = kFieldLeft, .callback = DataSourceTextCb, .look = kField,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, 1023), AttrS(ATTR_TEXT_FONT, "Courier New"), AttrI(ATTR_WRAP_MODE, 1)},
     .height = 370, .width = kFieldWidth, .labelTop = 132, .labelLeft = kFieldLeft},
    {.id = &DATAEDIT_STR_NAME, .constName = "STR_NAME", .kind = CTRL_STRING, .label = "__Name", .top = 46,
     .left = kFieldLeft, .callback = DataSourceTextCb, .look = kField, .attrs = {}, .width = kFieldWidth,
     .labelTop = 28, .labelLeft = kFieldLeft},
    {.id = &DATAEDIT_CMD_EXIT, .constName = "CMD_EXIT", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 540,
     .left = 745, .callback = CloseDataSourcesCb, .look = kSmallButton, .attrs = {}, .height = 32, .width = 52,
     .icon = kIconAccept},
    {.id = &DATAEDIT_TREE_DATA, .constName = "TREE_DATA", .kind = CTRL_TREE, .label = "", .top = 40, .left = 10,
     .callback = DataSourceTreeCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_INTEGER), AttrI(ATTR_TREE_COLUMNS, 2),
               AttrI(ATTR_COLUMN_LABELS_VISIBLE, 0)},
     .height = 532, .width = 365},
    {.id = &DATAEDIT_STR_BITS, .constName = "STR_BITS", .kind = CTRL_TEXT_MSG, .label = "", .top = 132,
     .left = 700, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, "0"), AttrS(ATTR_TEXT_FONT, "Arial"),
               AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_SIZE_TO_TEXT, 0), AttrI(ATTR_TEXT_JUSTIFY, VAL_RIGHT_JUSTIFIED),
               AttrI(ATTR_TEXT_BGCOLOR, VAL_TRANSPARENT)},
     .height = 16, .width = 95},
    {.id = &DATAEDIT_CMD_DEL, .constName = "CMD_DEL", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 10,
     .left = 40, .callback = DeleteDataSourceCb, .look = kSmallButton, .attrs = {}, .height = 26, .width = 26,
     .icon = kIconDelete},
    {.id = &DATAEDIT_CMD_ADD, .constName = "CMD_ADD", .kind = CTRL_PICTURE_BUTTON, .label = "", .top = 10,
     .left = 10, .callback = AddDataSourceCb, .look = kSmallButton, .attrs = {}, .height = 26, .width = 26,
     .icon = kIconAddPulse},
    {.id = &DATAEDIT_CMD_SENTRY_UP, .constName = "CMD_SENTRY_UP", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 10, .left = 319, .callback = MoveDataSourceUpCb, .look = kSmallButton, .attrs = {}, .height = 26,
     .width = 26, .icon = kIconUp},
    {.id = &DATAEDIT_CMD_SENTRY_DOWN, .constName = "CMD_SENTRY_DOWN", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 10, .left = 349, .callback = MoveDataSourceDownCb, .look = kSmallButton, .attrs = {}, .height = 26,
     .width = 26, .icon = kIconDown},
};

// Images 0 (root), 1 (a source) and 2 (the source being edited).
const char* const* const kTreeImages[] = {&kImagePulse, &kImageList, &kImagePage};

int FillTree(int panel, int tree) {
  for (const char* const* image : kTreeImages) CZ_UI_TRY(PanelBuild_TreeImage(panel, tree, *image));
  CZ_UI_TRY(SetTreeColumnAttribute(panel, tree, 0, ATTR_COLUMN_WIDTH, 148));
  CZ_UI_TRY(SetTreeColumnAttribute(panel, tree, 1, ATTR_COLUMN_WIDTH, 200));
  const int root =
      InsertTreeItem(panel, tree, VAL_SIBLING, -1, VAL_LAST, "Data Sources", kDataSourceRootTag, nullptr, 0);
  CZ_UI_TRY(root);
  CZ_UI_TRY(SetTreeItemAttribute(panel, tree, root, ATTR_IMAGE_INDEX, DSRC_IMAGE_ROOT));
  return SetTreeItemAttribute(panel, tree, root, ATTR_COLLAPSED_IMAGE_INDEX, DSRC_IMAGE_ROOT);
}

const int* const kDataEditFront[] = {&DATAEDIT_CMD_ADD,  &DATAEDIT_CMD_DEL,  &DATAEDIT_CMD_SENTRY_UP,
                                     &DATAEDIT_CMD_SENTRY_DOWN, &DATAEDIT_TREE_DATA, &DATAEDIT_STR_NAME,
                                     &DATAEDIT_STR_COMMENT, &DATAEDIT_STR_BITS, &DATAEDIT_STR_DATA,
                                     &DATAEDIT_CMD_EXIT};
const int* const kDataEditFocus[] = {&DATAEDIT_TREE_DATA, &DATAEDIT_STR_NAME, &DATAEDIT_STR_COMMENT,
                                     &DATAEDIT_STR_DATA,  &DATAEDIT_CMD_ADD,  &DATAEDIT_CMD_DEL,
                                     &DATAEDIT_CMD_SENTRY_UP, &DATAEDIT_CMD_SENTRY_DOWN, &DATAEDIT_CMD_EXIT};

}  // namespace

int BuildDataSourceEditorPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kDataEditPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kDataEditCtrls, static_cast<int>(std::size(kDataEditCtrls))));
  CZ_UI_TRY(FillTree(panel, DATAEDIT_TREE_DATA));
  CZ_UI_TRY(PanelBuild_Order(panel, kDataEditFront, static_cast<int>(std::size(kDataEditFront)), kDataEditFocus,
                             static_cast<int>(std::size(kDataEditFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kDataEditPanel, parent == 0 ? 1 : 0));
  // No close box, but the keys: Escape and Return close, Delete deletes.
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_CANCEL_CTRL, DATAEDIT_CMD_EXIT));
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, DATAEDIT_CMD_EXIT));
  CZ_UI_TRY(SetCtrlAttribute(panel, DATAEDIT_TREE_DATA, ATTR_DELETE_KEY_CTRL, DATAEDIT_CMD_DEL));
  return panel;
}
