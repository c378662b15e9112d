// The Info dialog: a text box over the whole panel and the close button
// centred under it. Places and sizes are design pixels.
#include "ui/dialogs/InfoDialog.h"

#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

int INFO = 0;
int INFO_CMD_CLOSEINFO = -1;
int INFO_TEXTBOX = -1;

namespace {

const PanelDef kInfoPanel = {
    "INFO", "Info", 100, 100, 399, 525, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SIZABLE, 0), AttrI(ATTR_CAN_MAXIMIZE, 0)},
    {}};

const CtrlDef kInfoCtrls[] = {
    {.id = &INFO_CMD_CLOSEINFO, .constName = "CMD_CLOSEINFO", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 357, .left = 236, .callback = CloseInfoCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT)}, .height = 32,
     .width = 52, .icon = kIconAccept},
    {.id = &INFO_TEXTBOX, .constName = "TEXTBOX", .kind = CTRL_TEXT_BOX, .label = "", .top = 0, .left = 0,
     .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Courier New"),
               AttrI(ATTR_TEXT_POINT_SIZE, 10), AttrI(ATTR_TEXT_COLOR, 0x303030), AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7),
               AttrS(ATTR_DFLT_VALUE, "")},
     .height = 350, .width = 525},
};
const int* const kInfoFront[] = {&INFO_CMD_CLOSEINFO, &INFO_TEXTBOX};
const int* const kInfoFocus[] = {&INFO_CMD_CLOSEINFO, &INFO_TEXTBOX};

}  // namespace

int BuildInfoPanel(int parent) {
  const int panel = PanelBuild_Table(parent, kInfoPanel, kInfoCtrls, kInfoFront, kInfoFocus, parent == 0 ? 1 : 0);
  CZ_UI_TRY(panel);
  // Closing the window acts exactly like the close button.
  CZ_UI_TRY(PanelBuild_SetCloseCtrl(panel, INFO_CMD_CLOSEINFO, CloseInfoCb));
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, INFO_CMD_CLOSEINFO));
  return panel;
}

int CloseInfoCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event == EVENT_COMMIT && INFO > 0) HidePanel(INFO);
  return 0;
}
