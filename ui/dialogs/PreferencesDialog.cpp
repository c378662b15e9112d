// The Preferences dialog: " General " (temporary folder, logging to the log
// window, saving on exit) and "Project Settings" (the current project's
// waveform and transfer options), with Accept and Cancel at the bottom
// right. The General page's tree becomes a folder browser when the start-up
// shows the settings.
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "ui/dialogs/DialogPanels.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

namespace {

const PanelDef kPreferencesPanel = {
    "PREFERENCE", "Preferences ", 100, 100, 383, 487, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SIZABLE, 0), AttrI(ATTR_CAN_MAXIMIZE, 0)},
    {}};
// Both pages: 314 x 484.
const PanelDef kGeneralPanel = {"GENERAL", "", 0, 0, 314, 484, nullptr,
                                {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)}, {}};
const PanelDef kProjectSettingsPanel = {"GENWV", "", 0, 0, 314, 484, nullptr,
                                        {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_TITLEBAR_VISIBLE, 0)}, {}};

constexpr UiAttr kButtonLook[] = {AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT), UiAttr{}};
constexpr UiAttr kCheckLook[] = {AttrS(ATTR_LABEL_FONT, "Arial"), AttrI(ATTR_LABEL_POINT_SIZE, 10),
                                 AttrI(ATTR_LABEL_COLOR, 0x303030), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
                                 UiAttr{}};
constexpr UiAttr kPathLook[] = {AttrS(ATTR_LABEL_FONT, "Arial"),   AttrI(ATTR_LABEL_POINT_SIZE, 10),
                                AttrI(ATTR_LABEL_COLOR, 0x606060), AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT),
                                AttrS(ATTR_TEXT_FONT, "Arial"),    AttrI(ATTR_TEXT_POINT_SIZE, 10),
                                AttrI(ATTR_TEXT_COLOR, 0x303030),  AttrI(ATTR_TEXT_BGCOLOR, 0xF7F7F7),
                                AttrI(ATTR_MAX_ENTRY_LENGTH, 255), UiAttr{}};

const CtrlDef kPreferencesCtrls[] = {
    {.id = &PREFERENCE_CMD_ACCEPT, .constName = "CMD_ACCEPT", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 343, .left = 367, .callback = PreferencesAcceptCb, .look = kButtonLook, .attrs = {},
     .height = 32, .width = 52, .icon = kIconAccept},
    {.id = &PREFERENCE_CMD_CANCEL, .constName = "CMD_CANCEL", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 343, .left = 427, .callback = PreferencesCancelCb, .look = kButtonLook, .attrs = {},
     .height = 32, .width = 52, .icon = kIconDelete},
    {.id = &PREFERENCE_TAB_SETTINGS, .constName = "TAB_SETTINGS", .kind = CTRL_TAB, .label = "", .top = 0,
     .left = 0, .callback = nullptr, .look = nullptr, .attrs = {}, .height = 337, .width = 487},
};
const int* const kPreferencesFront[] = {&PREFERENCE_CMD_ACCEPT, &PREFERENCE_CMD_CANCEL, &PREFERENCE_TAB_SETTINGS};
const int* const kPreferencesFocus[] = {&PREFERENCE_TAB_SETTINGS, &PREFERENCE_CMD_ACCEPT, &PREFERENCE_CMD_CANCEL};

const CtrlDef kGeneralCtrls[] = {
    {.id = &GENERAL_STR_TEMPDIR, .constName = "STR_TEMPDIR", .kind = CTRL_STRING,
     .label = "Location for Temporary Files", .top = 84, .left = 12, .callback = nullptr, .look = kPathLook,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_TEXT_BGCOLOR, 0xE0E0E0),
               AttrS(ATTR_DFLT_VALUE, "C:\\")},
     .width = 460, .labelTop = 66, .labelLeft = 12},
    {.id = &GENERAL_CHK_TRACE, .constName = "CHK_TRACE", .kind = CTRL_CHECK_BOX,
     .label = "Log Program Messages to Log Window", .top = 14, .left = 12, .callback = nullptr, .look = kCheckLook,
     .attrs = {AttrI(ATTR_DFLT_VALUE, 1)}},
    {.id = &GENERAL_CHK_AUTOSAVE, .constName = "CHK_AUTOSAVE", .kind = CTRL_CHECK_BOX,
     .label = "Save Current Project File on Exit", .top = 36, .left = 12, .callback = nullptr,
     .look = kCheckLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}},
    {.id = &GENERAL_TREE_TMP, .constName = "TREE_TMP", .kind = CTRL_TREE, .label = "", .top = 112, .left = 12,
     .callback = nullptr, .look = nullptr, .attrs = {AttrI(ATTR_DATA_TYPE, VAL_INTEGER)}, .height = 192,
     .width = 460},
};
const int* const kGeneralFront[] = {&GENERAL_CHK_TRACE, &GENERAL_CHK_AUTOSAVE, &GENERAL_STR_TEMPDIR,
                                    &GENERAL_TREE_TMP};
const int* const kGeneralFocus[] = {&GENERAL_CHK_TRACE, &GENERAL_CHK_AUTOSAVE, &GENERAL_TREE_TMP};

const CtrlDef kProjectSettingsCtrls[] = {
    {.id = &GENWV_STR_DEF_LIN, .constName = "STR_DEF_LIN", .kind = CTRL_STRING,
     .label = "Default Path for Linux Based Instruments", .top = 200, .left = 12, .callback = nullptr,
     .look = kPathLook, .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, kPathEntryLength), AttrS(ATTR_DFLT_VALUE, "/hdd")},
     .width = 460, .labelTop = 182,
     .labelLeft = 12},
    {.id = &GENWV_STR_DEF_WIN, .constName = "STR_DEF_WIN", .kind = CTRL_STRING,
     .label = "Default Path for Microsoft Windows Based Instruments", .top = 150, .left = 12,
     .callback = nullptr, .look = kPathLook,
     .attrs = {AttrI(ATTR_MAX_ENTRY_LENGTH, kPathEntryLength), AttrS(ATTR_DFLT_VALUE, "d:\\")}, .width = 460,
     .labelTop = 132, .labelLeft = 12},
    {.id = &GENWV_CHK_NOPRES, .constName = "CHK_NOPRES", .kind = CTRL_CHECK_BOX,
     .label = "Do Not Preset ARB Before Waveform Transfer", .top = 102, .left = 12, .callback = nullptr,
     .look = kCheckLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}},
    {.id = &GENWV_CHK_REMMSEG, .constName = "CHK_REMMSEG", .kind = CTRL_CHECK_BOX,
     .label = "Remove Segments After MSEG Creation", .top = 80, .left = 12, .callback = nullptr,
     .look = kCheckLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}},
    {.id = &GENWV_CHK_IQSWAP, .constName = "CHK_IQSWAP", .kind = CTRL_CHECK_BOX, .label = "__Swap IQ Signals",
     .top = 58, .left = 12, .callback = nullptr, .look = kCheckLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}},
    {.id = &GENWV_CHK_MARKERS, .constName = "CHK_MARKERS", .kind = CTRL_CHECK_BOX,
     .label = "Globally Allow __Markers", .top = 36, .left = 12, .callback = nullptr, .look = kCheckLook,
     .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}},
    {.id = &GENWV_CHK_ZEROCRF, .constName = "CHK_ZEROCRF", .kind = CTRL_CHECK_BOX,
     .label = "Use Peak Envelope Power (__PEP) for Level Setting", .top = 14, .left = 12, .callback = nullptr,
     .look = kCheckLook, .attrs = {AttrI(ATTR_DFLT_VALUE, 0)}},
};
const int* const kProjectSettingsFront[] = {&GENWV_CHK_ZEROCRF, &GENWV_CHK_MARKERS, &GENWV_CHK_IQSWAP,
                                            &GENWV_CHK_REMMSEG, &GENWV_CHK_NOPRES,  &GENWV_STR_DEF_WIN,
                                            &GENWV_STR_DEF_LIN};
const int* const kProjectSettingsFocus[] = {&GENWV_CHK_ZEROCRF, &GENWV_CHK_MARKERS, &GENWV_CHK_IQSWAP,
                                            &GENWV_CHK_REMMSEG, &GENWV_CHK_NOPRES,  &GENWV_STR_DEF_WIN,
                                            &GENWV_STR_DEF_LIN};

const TabPageDef kGeneralPage = {" General ", 0xE0E0E0, -1, nullptr, 0, kIconSettings};
const TabPageDef kProjectSettingsPage = {"Project Settings", 0xE0E0E0, -1, nullptr, 0, kIconSettings};

}  // namespace

int BuildGeneralSettingsPanel(int parent) {
  return PanelBuild_Table(parent, kGeneralPanel, kGeneralCtrls, kGeneralFront, kGeneralFocus, 0);
}

int BuildProjectSettingsPanel(int parent) {
  return PanelBuild_Table(parent, kProjectSettingsPanel, kProjectSettingsCtrls, kProjectSettingsFront,
                          kProjectSettingsFocus, 0);
}

int BuildPreferencesPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kPreferencesPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kPreferencesCtrls, 3));
  CZ_UI_TRY(PanelBuild_InsertPage(panel, PREFERENCE_TAB_SETTINGS, BuildGeneralSettingsPanel, kGeneralPage));
  CZ_UI_TRY(PanelBuild_InsertPage(panel, PREFERENCE_TAB_SETTINGS, BuildProjectSettingsPanel, kProjectSettingsPage));
  CZ_UI_TRY(PanelBuild_Order(panel, kPreferencesFront, 3, kPreferencesFocus, 3));
  CZ_UI_TRY(PanelBuild_Fit(panel, kPreferencesPanel, 1));
  // Closing the window operates Cancel.
  CZ_UI_TRY(PanelBuild_SetCloseCtrl(panel, PREFERENCE_CMD_CANCEL, PreferencesCancelCb));
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, PREFERENCE_CMD_ACCEPT));
  return panel;
}
