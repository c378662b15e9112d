// The Pulse Editor, Log and Plugin Info pages of the main window's tab
// control. The pages hold no logic: the pulse editor, the log sink and the
// plug-in info display write them.
#include "app/PanelIds.h"
#include "app/ProjectCommands.h"
#include "ui/main/Icons.h"
#include "ui/main/MainPanel.h"
#include "ui/main/PanelBuild.h"

namespace {

// All three pages: design place 15,203; 607 x 795.
constexpr int kPageTop = 15, kPageLeft = 203, kPageHeight = 607, kPageWidth = 795;

const PanelDef kPulseEditorPanel = {
    "TAB_PEDIT", "", kPageTop, kPageLeft, kPageHeight, kPageWidth, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SCROLL_BAR_COLOR, 0xECE9D8), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {}};
const PanelDef kLogPanel = {
    "TAB_LOG", "", kPageTop, kPageLeft, kPageHeight, kPageWidth, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SCROLL_BAR_COLOR, 0xECE9D8), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {}};
const PanelDef kPluginInfoPanel = {
    "TAB_INFO", "", kPageTop, kPageLeft, kPageHeight, kPageWidth, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SCROLL_BAR_COLOR, 0xE0DFE3), AttrI(ATTR_TITLEBAR_VISIBLE, 0)},
    {}};

// ---- Pulse Editor page. PulseEditCb of the pulse editor reads the name
// and comment back; ShowPulseInEditor writes every control.
const CtrlDef kPulseEditorCtrls[] = {
    {.id = &TAB_PEDIT_STR_COMMENT, .constName = "STR_COMMENT", .kind = CTRL_TEXT_BOX, .label = "Comment",
     .top = 31, .left = 117, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_SCROLL_BAR_COLOR, 0xC0C0C0),
               AttrI(ATTR_FRAME_COLOR, 0xECE9D8), AttrS(ATTR_LABEL_FONT, "Arial"),
               AttrI(ATTR_LABEL_POINT_SIZE, 14), AttrI(ATTR_LABEL_COLOR, 0x606060),
               AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), AttrS(ATTR_TEXT_FONT, "Arial"),
               AttrI(ATTR_TEXT_POINT_SIZE, 10), AttrI(ATTR_TEXT_COLOR, 0x303030),
               AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7), AttrI(ATTR_MAX_ENTRY_LENGTH, 1023)},
     .height = 47, .width = 600, .labelTop = 34, .labelLeft = 48},
    {.id = &TAB_PEDIT_STR_NAME, .constName = "STR_NAME", .kind = CTRL_STRING, .label = "Name",
     .top = 9, .left = 117, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_FRAME_COLOR, 0xECE9D8),
               AttrS(ATTR_LABEL_FONT, "Arial"), AttrI(ATTR_LABEL_POINT_SIZE, 14),
               AttrI(ATTR_LABEL_COLOR, 0x606060), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
               AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_POINT_SIZE, 14),
               AttrI(ATTR_TEXT_COLOR, 0x303030), AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7),
               AttrI(ATTR_MAX_ENTRY_LENGTH, 255)},
     .width = 600, .labelTop = 12, .labelLeft = 74},
    {.id = &TAB_PEDIT_STR_PMSG, .constName = "STR_PMSG", .kind = CTRL_TEXT_MSG, .label = "",
     .top = 82, .left = 1, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"),
               AttrI(ATTR_TEXT_POINT_SIZE, 13), AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_COLOR, 0xFF0000),
               AttrI(ATTR_TEXT_BGCOLOR, 0xC0C0C0), AttrI(ATTR_SIZE_TO_TEXT, 0)},
     .height = 18, .width = 792},
    {.id = &TAB_PEDIT_STR_TXT_6, .constName = "STR_TXT_6", .kind = CTRL_TEXT_MSG, .label = "",
     .top = 2, .left = 2, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Courier New"),
               AttrI(ATTR_TEXT_POINT_SIZE, 13), AttrI(ATTR_TEXT_BOLD, 1), AttrI(ATTR_TEXT_COLOR, 0x202020),
               AttrI(ATTR_TEXT_BGCOLOR, 0xE0E0E0), AttrI(ATTR_SIZE_TO_TEXT, 0)},
     .height = 80, .width = 791},
    {.id = &TAB_PEDIT_RING_USEDPULSE, .constName = "RING_USEDPULSE", .kind = CTRL_RING, .label = "",
     .top = 83, .left = 572, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_NORMAL), AttrI(ATTR_DATA_TYPE, VAL_INTEGER),
               AttrI(ATTR_FRAME_COLOR, 0xB0B0B0), AttrS(ATTR_TEXT_FONT, "NIDialog"),
               AttrI(ATTR_TEXT_POINT_SIZE, 13), AttrI(ATTR_TEXT_BOLD, 1)},
     .height = 16, .width = 19},
};
const int* const kPulseEditorFront[] = {&TAB_PEDIT_RING_USEDPULSE, &TAB_PEDIT_STR_PMSG, &TAB_PEDIT_STR_COMMENT,
                                        &TAB_PEDIT_STR_NAME, &TAB_PEDIT_STR_TXT_6};
const int* const kPulseEditorFocus[] = {&TAB_PEDIT_STR_COMMENT, &TAB_PEDIT_STR_NAME};

// ---- Log page. Lines are appended only by the log sink.
const CtrlDef kLogCtrls[] = {
    {.id = &TAB_LOG_CMD_CLR, .constName = "CMD_CLR", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 3, .left = 3, .callback = ClearLogCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DFLT_VALUE, 0), AttrI(ATTR_LABEL_BGCOLOR, 0xE0E0E0)},
     .height = 26, .width = 35, .icon = kIconClear},
    {.id = &TAB_LOG_TEX_LOG, .constName = "TEX_LOG", .kind = CTRL_TEXT_BOX, .label = "",
     .top = 30, .left = 0, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_SCROLL_BAR_COLOR, 0xD4D0C8),
               AttrI(ATTR_FRAME_COLOR, 0xD4D0C8), AttrS(ATTR_TEXT_FONT, "Courier New"),
               AttrI(ATTR_TEXT_POINT_SIZE, 13), AttrI(ATTR_TEXT_COLOR, 0x303030),
               AttrI(ATTR_TEXT_BGCOLOR, 0xE0E0E0), AttrI(ATTR_MAX_ENTRY_LENGTH, 256)},
     .height = 578, .width = 795},
    {.id = &TAB_LOG_TEXTMSG, .constName = "TEXTMSG", .kind = CTRL_TEXT_MSG, .label = "",
     .top = 6, .left = 547, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, "Use CTRL-C to Copy From Window"),
               AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_POINT_SIZE, 13), AttrI(ATTR_TEXT_BOLD, 1),
               AttrI(ATTR_TEXT_COLOR, 0x606060), AttrI(ATTR_TEXT_BGCOLOR, 0xE0E0E0),
               AttrI(ATTR_SIZE_TO_TEXT, 1)},
     .height = 18, .width = 222},
};
const int* const kLogFront[] = {&TAB_LOG_TEXTMSG, &TAB_LOG_CMD_CLR, &TAB_LOG_TEX_LOG};
const int* const kLogFocus[] = {&TAB_LOG_CMD_CLR, &TAB_LOG_TEX_LOG};

// ---- Plugin Info page: four indicators written by ShowPluginInfo.
constexpr UiAttr kInfoLook[] = {
    AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_LABEL_FONT, "NIDialog"), AttrI(ATTR_LABEL_BOLD, 1),
    AttrI(ATTR_LABEL_COLOR, 0x606060), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
    AttrI(ATTR_TEXT_COLOR, 0x303030), AttrI(ATTR_TEXT_BGCOLOR, 0xC0C0C0), AttrI(ATTR_FRAME_COLOR, 0xE0DFE3),
    UiAttr{}};
const CtrlDef kPluginInfoCtrls[] = {
    {.id = &TAB_INFO_STR_AUTHOR, .constName = "STR_AUTHOR", .kind = CTRL_STRING, .label = "Author",
     .top = 187, .left = 112, .callback = nullptr, .look = kInfoLook,
     .attrs = {AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_POINT_SIZE, 12), AttrI(ATTR_MAX_ENTRY_LENGTH, 255)},
     .width = 576, .labelTop = 190, .labelLeft = 63},
    {.id = &TAB_INFO_STR_VERSION, .constName = "STR_VERSION", .kind = CTRL_STRING, .label = "Version",
     .top = 125, .left = 112, .callback = nullptr, .look = kInfoLook,
     .attrs = {AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_POINT_SIZE, 12), AttrI(ATTR_MAX_ENTRY_LENGTH, 255)},
     .width = 576, .labelTop = 128, .labelLeft = 61},
    {.id = &TAB_INFO_STR_NAME, .constName = "STR_NAME", .kind = CTRL_STRING, .label = "Name",
     .top = 55, .left = 112, .callback = nullptr, .look = kInfoLook,
     .attrs = {AttrI(ATTR_LABEL_POINT_SIZE, 14), AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_POINT_SIZE, 14),
               AttrI(ATTR_MAX_ENTRY_LENGTH, 255)},
     .width = 576, .labelTop = 58, .labelLeft = 62},
    {.id = &TAB_INFO_TXT_COMMENT, .constName = "TXT_COMMENT", .kind = CTRL_TEXT_BOX, .label = "Comment",
     .top = 287, .left = 112, .callback = nullptr, .look = kInfoLook,
     .attrs = {AttrI(ATTR_SCROLL_BAR_COLOR, 0xA0A0A0), AttrS(ATTR_TEXT_FONT, "Courier New"),
               AttrI(ATTR_TEXT_POINT_SIZE, 12), AttrI(ATTR_MAX_ENTRY_LENGTH, 4096)},
     .height = 241, .width = 576, .labelTop = 289, .labelLeft = 51},
};
const int* const kPluginInfoFront[] = {&TAB_INFO_TXT_COMMENT, &TAB_INFO_STR_AUTHOR, &TAB_INFO_STR_VERSION,
                                       &TAB_INFO_STR_NAME};
const int* const kPluginInfoFocus[] = {&TAB_INFO_STR_AUTHOR, &TAB_INFO_STR_VERSION, &TAB_INFO_STR_NAME,
                                       &TAB_INFO_TXT_COMMENT};

}  // namespace

int BuildPulseEditorPanel(int parent) {
  return PanelBuild_Table(parent, kPulseEditorPanel, kPulseEditorCtrls, kPulseEditorFront, kPulseEditorFocus, 0);
}

int BuildLogPanel(int parent) { return PanelBuild_Table(parent, kLogPanel, kLogCtrls, kLogFront, kLogFocus, 0); }

int BuildPluginInfoPanel(int parent) {
  return PanelBuild_Table(parent, kPluginInfoPanel, kPluginInfoCtrls, kPluginInfoFront, kPluginInfoFocus, 0);
}
