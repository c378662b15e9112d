// The Instrument Manager dialog INSTRMAN: the tree of known instruments
// (scanned and manually added), the scan area, the add-manually area and the
// device information. Its callbacks are those of instrument/InstrumentManager.h.
#pragma once

// Builds the dialog (hidden); returns the panel handle or the first
// negative status. INSTRMAN_* ids not listed here are in app/PanelIds.h.
int BuildInstrumentManagerPanel(int parent);

extern int INSTRMAN_STR_INSTR;
extern int INSTRMAN_TEXTMSG_51;
extern int INSTRMAN_CMD_DEL;
extern int INSTRMAN_CMD_ADD;
extern int INSTRMAN_CMD_SCAN_LAN;
extern int INSTRMAN_CMD_SCAN;
extern int INSTRMAN_STR_INSTR_2;
extern int INSTRMAN_CMD_EXIT;
extern int INSTRMAN_TREE_INSTR;
extern int INSTRMAN_DECORATION_3;
extern int INSTRMAN_DECORATION;

// Tags of the two groups of TREE_INSTR.
inline constexpr const char* kScannedBranchTag = "GPIB_SCAN";
inline constexpr const char* kManualBranchTag = "MAN_ADD";
