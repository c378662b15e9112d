// The Transfer tab page TAB_INSTR: a block diagram of the signal generator
// with one row per baseband path (ARB with its mode button, routing, I/Q
// modulator, RF section, RF output), the local waveform file and the target
// instrument above it, the upload and reset buttons below. The page holds
// no logic; instrument/TransferTab.h owns its values and dimmed states.
#pragma once

// Builds the page (parent 0 when inserted as a tab page); returns the panel
// handle or the first negative status.
int BuildTransferPanel(int parent);

// Control ids of the page, written by the builder (-1 before).
extern int TAB_INSTR_STR_TXT_19;
extern int TAB_INSTR_STR_TXT_18;
extern int TAB_INSTR_STR_TXT_15;
extern int TAB_INSTR_STR_TXT_17;
extern int TAB_INSTR_STR_TXT_16;
extern int TAB_INSTR_STR_TXT_14;
extern int TAB_INSTR_RING_BBR_B;
extern int TAB_INSTR_RING_BBR_A;
extern int TAB_INSTR_CMD_SELINSTR;
extern int TAB_INSTR_CMD_BBMODE_A;
extern int TAB_INSTR_CMD_BBMODE_B;
extern int TAB_INSTR_CMD_FSEL_INSTR_A;
extern int TAB_INSTR_CMD_FSEL_INSTR_B;
extern int TAB_INSTR_CMD_RESET;
extern int TAB_INSTR_CMD_UPLOAD;
extern int TAB_INSTR_TEXTMSG_67;
extern int TAB_INSTR_TEXTMSG_12;
extern int TAB_INSTR_TEXTMSG_56;
extern int TAB_INSTR_TEXTMSG_11;
extern int TAB_INSTR_NUM_F_A;
extern int TAB_INSTR_TEXTMSG_57;
extern int TAB_INSTR_CB_SETFREQ_B;
extern int TAB_INSTR_TEXTMSG_14;
extern int TAB_INSTR_CB_SETFREQ_A;
extern int TAB_INSTR_TEXTMSG_13;
extern int TAB_INSTR_NUM_LEV_A;
extern int TAB_INSTR_CB_NLINK_B;
extern int TAB_INSTR_CB_LINK_B;
extern int TAB_INSTR_CB_NLINK_A;
extern int TAB_INSTR_CB_LINK_A;
extern int TAB_INSTR_TEXTMSG_69;
extern int TAB_INSTR_CB_SETLEV_B;
extern int TAB_INSTR_TEXTMSG_73;
extern int TAB_INSTR_CB_SETLEV_A;
extern int TAB_INSTR_TEXTMSG_72;
extern int TAB_INSTR_TEXTMSG_55;
extern int TAB_INSTR_STR_INSTRFILE_A;
extern int TAB_INSTR_STR_INSTRFILE_B;
extern int TAB_INSTR_TEXTMSG_68;
extern int TAB_INSTR_NUM_F_B;
extern int TAB_INSTR_STR_DEVICE;
extern int TAB_INSTR_NUM_LEV_B;
extern int TAB_INSTR_RFSTATE_B;
extern int TAB_INSTR_RFSTATE_A;
extern int TAB_INSTR_CANVA_B_1;
extern int TAB_INSTR_CANVA_B_2;
extern int TAB_INSTR_CANVA_A_2;
extern int TAB_INSTR_CANVA_BB;
extern int TAB_INSTR_CANVA_A_1;
extern int TAB_INSTR_TEXTMSG_85;
extern int TAB_INSTR_TEXTMSG_2;
extern int TAB_INSTR_TEXTMSG;
extern int TAB_INSTR_STR_LOCFILE;
