// The instrument file browser's panel PANEL_FB (485 x 672 at 65, 37). The
// two lists are one-level trees: the directory names, and the files with
// the size in the first column and the name in the second. The lists start
// below the path fields so that their labels do not cover them.
#include <iterator>

#include "instrument/FileBrowser.h"
#include "ui/main/PanelBuild.h"

int PANEL_FB = 0;
int PANEL_FB_ARBFILEOK = -1;
int PANEL_FB_ARBFILECANCEL = -1;
int PANEL_FB_DRIVE = -1;
int PANEL_FB_PATH = -1;
int PANEL_FB_FILENAME = -1;
int PANEL_FB_ARBFILECOPY = -1;
int PANEL_FB_ARBFILEDELETE = -1;
int PANEL_FB_ARBFILEMDIR = -1;
int PANEL_FB_ARBFILERDIR = -1;
int PANEL_FB_DIRECTORY = -1;
int PANEL_FB_FILES = -1;
int PANEL_FB_DIRSIZE = -1;
int PANEL_FB_HDFREE = -1;
int PANEL_FB_STR_TXT_5 = -1;
int PANEL_FB_STR_TXT_4 = -1;

namespace {

const PanelDef kBrowserPanel = {"PANEL_FB", "Instrument File Browser", 65, 37, 485, 672, FileBrowserPanelCb,
                                {AttrI(ATTR_SIZABLE, 0), AttrI(ATTR_CAN_MAXIMIZE, 0), AttrI(ATTR_CAN_MINIMIZE, 0)},
                                {}};

constexpr UiAttr kListLook[] = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_LABEL_VISIBLE, 1), UiAttr{}};
constexpr UiAttr kMessageLook[] = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_DFLT_VALUE, ""),
                                   AttrI(ATTR_SIZE_TO_TEXT, 0), UiAttr{}};

#define CZ_FB(name) .id = &PANEL_FB_##name, .constName = #name

const CtrlDef kBrowserCtrls[] = {
    {CZ_FB(ARBFILEOK), .kind = CTRL_COMMAND_BUTTON, .label = "__OK", .top = 447, .left = 487,
     .callback = FileBrowserOkCb, .look = nullptr, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Accept selection")},
     .height = 26, .width = 90},
    {CZ_FB(ARBFILECANCEL), .kind = CTRL_COMMAND_BUTTON, .label = "__Cancel", .top = 447, .left = 585,
     .callback = FileBrowserCancelCb, .look = nullptr, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Cancel dialog")},
     .height = 26, .width = 80},
    {CZ_FB(DRIVE), .kind = CTRL_RING, .label = "__Drive", .top = 41, .left = 54, .callback = FileBrowserDriveCb,
     .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_DATA_TYPE, VAL_STRING), AttrS(ATTR_TOOLTIP_TEXT, "Drive")},
     .width = 110},
    {CZ_FB(PATH), .kind = CTRL_STRING, .label = "", .top = 66, .left = 12, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrI(ATTR_MAX_ENTRY_LENGTH, 255),
               AttrS(ATTR_TOOLTIP_TEXT, "Path name")},
     .width = 290},
    {CZ_FB(FILENAME), .kind = CTRL_STRING, .label = "File and Path", .top = 66, .left = 313,
     .callback = FileBrowserFileNameCb, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_HOT), AttrI(ATTR_MAX_ENTRY_LENGTH, kPathEntryLength),
               AttrS(ATTR_TOOLTIP_TEXT, "File name")},
     .width = 352},
    {CZ_FB(ARBFILECOPY), .kind = CTRL_COMMAND_BUTTON, .label = "Transfer to PC", .top = 38, .left = 507,
     .callback = FileBrowserCopyToPcCb, .look = nullptr, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Copy file to local PC")},
     .height = 22, .width = 95},
    {CZ_FB(ARBFILEDELETE), .kind = CTRL_COMMAND_BUTTON, .label = "Delete", .top = 38, .left = 607,
     .callback = FileBrowserDeleteFileCb, .look = nullptr, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Delete selected file")},
     .height = 22, .width = 58},
    {CZ_FB(ARBFILEMDIR), .kind = CTRL_COMMAND_BUTTON, .label = "Create", .top = 38, .left = 179,
     .callback = FileBrowserMakeDirCb, .look = nullptr, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Create new directory")},
     .height = 22, .width = 48},
    {CZ_FB(ARBFILERDIR), .kind = CTRL_COMMAND_BUTTON, .label = "Delete", .top = 38, .left = 229,
     .callback = FileBrowserRemoveDirCb, .look = nullptr,
     .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Remove selected directory")}, .height = 22, .width = 48},
    {CZ_FB(DIRECTORY), .kind = CTRL_TREE, .label = "Directories", .top = 112, .left = 11,
     .callback = FileBrowserDirectoryListCb, .look = kListLook, .attrs = {AttrS(ATTR_TOOLTIP_TEXT, "Directory list")},
     .height = 304, .width = 291},
    {CZ_FB(FILES), .kind = CTRL_TREE, .label = "...", .top = 112, .left = 313, .callback = FileBrowserFileListCb,
     .look = kListLook, .attrs = {AttrI(ATTR_TREE_COLUMNS, 2), AttrS(ATTR_TOOLTIP_TEXT, "File list")},
     .height = 304, .width = 352},
    {CZ_FB(DIRSIZE), .kind = CTRL_TEXT_MSG, .label = "", .top = 421, .left = 313, .callback = nullptr,
     .look = kMessageLook, .attrs = {}, .height = 16, .width = 352},
    {CZ_FB(HDFREE), .kind = CTRL_TEXT_MSG, .label = "", .top = 421, .left = 11, .callback = nullptr,
     .look = kMessageLook, .attrs = {}, .height = 16, .width = 291},
    {CZ_FB(STR_TXT_5), .kind = CTRL_TEXT_MSG, .label = "", .top = 13, .left = 313, .callback = nullptr,
     .look = kMessageLook, .attrs = {AttrS(ATTR_TEXT_FONT, "Courier New")}, .height = 16, .width = 352},
    {CZ_FB(STR_TXT_4), .kind = CTRL_TEXT_MSG, .label = "", .top = 13, .left = 11, .callback = nullptr,
     .look = kMessageLook, .attrs = {AttrS(ATTR_TEXT_FONT, "Courier New")}, .height = 16, .width = 291},
};
#undef CZ_FB

const int* const kBrowserFocus[] = {&PANEL_FB_DIRECTORY, &PANEL_FB_FILES, &PANEL_FB_FILENAME, &PANEL_FB_ARBFILEOK,
                                    &PANEL_FB_ARBFILECANCEL};

}  // namespace

int BuildFileBrowserPanel(int parent) {
  const int panel = PanelBuild_NewPanel(parent, kBrowserPanel);
  CZ_UI_TRY(panel);
  CZ_UI_TRY(PanelBuild_Controls(panel, kBrowserCtrls, static_cast<int>(std::size(kBrowserCtrls))));
  // File list: the size text in an 80-pixel column, then the name.
  CZ_UI_TRY(SetTreeColumnAttribute(panel, PANEL_FB_FILES, 0, ATTR_COLUMN_WIDTH, 80));
  CZ_UI_TRY(SetTreeColumnAttribute(panel, PANEL_FB_FILES, 1, ATTR_COLUMN_WIDTH, 260));
  CZ_UI_TRY(PanelBuild_Order(panel, nullptr, 0, kBrowserFocus, static_cast<int>(std::size(kBrowserFocus))));
  CZ_UI_TRY(PanelBuild_Fit(panel, kBrowserPanel, 1));
  return panel;
}
