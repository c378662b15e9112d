// The About dialog: the about text on the left, a picture at the top right
// and the close button at the bottom right.
#include <string>

#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "platform/ProgramInfo.h"
#include "ui/dialogs/DialogPanels.h"
#include "ui/main/Icons.h"
#include "ui/main/PanelBuild.h"

namespace {

// The about text after its version line.
const char* const kAboutNotices =
    "\n"
    "Copyright (c) 2009-2014 Torvane. All rights reserved.\n"
    "\n"
    "For questions and problem reports please contact customer support:\n"
    "support@torvane.example\n"
    "\n"
    "Legal information on this software:\n"
    "https://torvane.example/legal\n"
    "\n"
    "This program was developed with the Cadenza\n"
    "user-interface run-time and instrument I/O layers.\n"
    "Copyright (c) 2009-2014 Torvane.\n"
    "All rights reserved.\n"
    "\n"
    "The icons of this program were drawn for it and belong\n"
    "to the Cadenza panel icon set. They may be used and\n"
    "passed on together with this program under the same\n"
    "terms as the program itself. A copy of the terms and\n"
    "the icon sources are available from the addresses\n"
    "given below.\n"
    "\n"
    "Cadenza panel icon set:\n"
    "https://torvane.example/icons\n"
    "https://torvane.example/icons/terms\n"
    "\n"
    "Thank you for using Cadenza.";

const PanelDef kAboutPanel = {
    "ABOUT", "About This Software...", 100, 100, 399, 525, nullptr,
    {AttrI(ATTR_BACKCOLOR, 0xE0E0E0), AttrI(ATTR_SIZABLE, 0), AttrI(ATTR_CAN_MAXIMIZE, 0)},
    {}};

const CtrlDef kAboutCtrls[] = {
    {.id = &ABOUT_PICTURE, .constName = "PICTURE", .kind = CTRL_PICTURE, .label = "", .top = 12, .left = 429,
     .callback = nullptr, .look = nullptr, .attrs = {AttrI(ATTR_FIT_MODE, 1)}, .height = 84, .width = 84,
     .icon = kImageSequence},
    {.id = &ABOUT_CMD_CLOSEABOUT, .constName = "CMD_CLOSEABOUT", .kind = CTRL_PICTURE_BUTTON, .label = "",
     .top = 355, .left = 461, .callback = CloseAboutCb, .look = nullptr,
     .attrs = {AttrI(ATTR_LABEL_BGCOLOR, VAL_TRANSPARENT)}, .height = 32, .width = 52, .icon = kIconAccept},
    {.id = &ABOUT_TEXTBOX_ABOUT, .constName = "TEXTBOX_ABOUT", .kind = CTRL_TEXT_BOX, .label = "", .top = 12,
     .left = 12, .callback = nullptr, .look = nullptr,
     .attrs = {AttrI(ATTR_CTRL_MODE, VAL_INDICATOR), AttrS(ATTR_TEXT_FONT, "Arial"), AttrI(ATTR_TEXT_POINT_SIZE, 10),
               AttrI(ATTR_TEXT_COLOR, 0x303030), AttrI(ATTR_TEXT_BGCOLOR, 0xE0E0E0),
               AttrI(ATTR_SCROLL_BAR_COLOR, 0xC0C0C0)},
     .height = 375, .width = 405},
};
const int* const kAboutFront[] = {&ABOUT_CMD_CLOSEABOUT, &ABOUT_PICTURE, &ABOUT_TEXTBOX_ABOUT};
const int* const kAboutFocus[] = {&ABOUT_CMD_CLOSEABOUT, &ABOUT_TEXTBOX_ABOUT};

}  // namespace

// The product's name, the version line "V <major.minor>, <dd.mm.yyyy>" of
// this build, then the notices.
const char* AboutText() {
  static const std::string text = std::string("Torvane Q7 Cadenza Software\nV ") + cz::ProgramVersionMajorMinor() +
                                  ", " + cz::ProgramReleaseDate() + "\n" + kAboutNotices;
  return text.c_str();
}

int BuildAboutPanel(int parent) {
  const int panel = PanelBuild_Table(parent, kAboutPanel, kAboutCtrls, kAboutFront, kAboutFocus, 1);
  CZ_UI_TRY(panel);
  // Closing the window acts exactly like the close button.
  CZ_UI_TRY(PanelBuild_SetCloseCtrl(panel, ABOUT_CMD_CLOSEABOUT, CloseAboutCb));
  CZ_UI_TRY(SetPanelAttribute(panel, ATTR_DEFAULT_CTRL, ABOUT_CMD_CLOSEABOUT));
  return panel;
}
