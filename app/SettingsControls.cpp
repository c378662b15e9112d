// The settings shown in the Preferences and Instrument Manager dialogs.
// Kept apart from the settings file so that programs and tests that only
// read and write settings need none of the dialogs' callbacks.
#include "app/PanelIds.h"
#include "app/Settings.h"
#include "platform/ui/UserInterface.h"

int g_TempDirBrowserCtrl = 0;

int FindPanelControl() {
  // The folder browser fills the page's tree in place: the first tree
  // control of the General page, walking in creation order.
  for (int ctrl = GetNextCtrl(GENERAL, 0); ctrl > 0; ctrl = GetNextCtrl(GENERAL, ctrl)) {
    int style = 0;
    if (GetCtrlAttribute(GENERAL, ctrl, ATTR_CTRL_STYLE, &style) >= 0 && style == CTRL_TREE) return ctrl;
  }
  return 0;
}

void SetControls(int createBrowser) {
  const AppSettings& s = g_Settings;
  if (createBrowser == 1) {
    int tree = 0;
    if (MakeFolderBrowser(GENERAL, GENERAL_TREE_TMP, "/") < 0 || (tree = FindPanelControl()) <= 0) {
      MessagePopup("Error", "SetControls(): Failed to initialize GUI.");
      return;
    }
    g_TempDirBrowserCtrl = tree;
    InstallCtrlCallback(GENERAL, tree, TempDirTreeCb, nullptr);
  }
  SetCtrlVal(INSTRMAN, INSTRMAN_NUM_BRD, s.BrdScn);
  SetCtrlVal(INSTRMAN, INSTRMAN_STR_LAN_DOMAIN, s.LANScn.c_str());
  SetCtrlVal(INSTRMAN, INSTRMAN_RING_INT, s.If);
  SetCtrlVal(INSTRMAN, INSTRMAN_STR_VISA_COMMENT, s.RscComm.c_str());
  SetCtrlVal(INSTRMAN, INSTRMAN_STR_2, s.UsbSer.c_str());
  SetCtrlVal(INSTRMAN, INSTRMAN_RING_DEV, s.UsbId);
  SetCtrlVal(INSTRMAN, INSTRMAN_STR_1, s.If == 3 ? s.Other.c_str() : s.Host.c_str());
  SetCtrlVal(INSTRMAN, INSTRMAN_NUM_SEL1, s.GpibBrd);
  SetCtrlVal(INSTRMAN, INSTRMAN_NUM_SEL2, s.GpibDev);
  SetCtrlVal(GENERAL, GENERAL_STR_TEMPDIR, s.TempDir.c_str());
  // The folder tree opens at the folder in use.
  if (g_TempDirBrowserCtrl > 0) RevealFolder(GENERAL, g_TempDirBrowserCtrl, s.TempDir.c_str());
  SetCtrlVal(GENERAL, GENERAL_CHK_AUTOSAVE, s.SavePrjOnExit);
  SetCtrlVal(GENERAL, GENERAL_CHK_TRACE, s.AllowTrace);
}
