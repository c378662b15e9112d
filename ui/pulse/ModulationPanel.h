// Control ids of the pulse editor's modulation sub-panel P_MOD, written by
// BuildPulseModulationPanel. TREE_MOD, TABLE_DATA and TABLE_CONF are
// declared with the panel handles in app/PulsePanelIds.h.
#pragma once

#include "app/PulsePanelIds.h"

extern int P_MOD_TEXTMSG_13;
extern int P_MOD_CMD_RESET_2;
extern int P_MOD_CMD_RESET;
extern int P_MOD_STR_TXT_4;
extern int P_MOD_CMD_DEL;
extern int P_MOD_CMD_ADD;

// Tags of TREE_MOD's roots and group items, as built.
inline constexpr const char* kModTreeInternalTag = "_INT";
inline constexpr const char* kModTreePluginTag = "_PLUGIN";
inline constexpr const char* kModTreeGroupTags[] = {"_AM", "_FM", "_PSK", "_OTHER"};
