// Tooltips of the controls: one row per control, keyed by panel and control
// constant name together (one control constant carries different texts on
// different panels). Attached once at start-up, after every panel is built;
// a row whose panel or control does not exist is skipped.
#include <cstring>

#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "platform/ui/UserInterface.h"
#include "ui/dialogs/DataSourceDialog.h"

namespace {

struct TooltipRow {
  const int* panel;
  const char* control;  // constant name of the control on that panel
  const char* text;
};

// Main window, its tab pages, the pulse editor's sub-panels and the
// baseband filter dialog, in this order: PANEL_MAIN, TAB_PEDIT, P_TIM,
// P_MISC, P_JIT, P_MOD, TAB_SEDIT, TAB_VIEW, TAB_INSTR, TAB_MSEG, TAB_RFLIST,
// FILTER.
const TooltipRow kPanelTooltips[] = {
    {&PANEL_MAIN, "CMD_ADD_P", "Add new pulse to project"},
    {&PANEL_MAIN, "CMD_ADD", "Add new sequence to project"},
    {&PANEL_MAIN, "CMD_DEL", "Delete selected entry from project"},
    {&PANEL_MAIN, "CMD_COPY", "Create copy of selected item"},
    {&PANEL_MAIN, "CMD_SENTRY_UP", "Move entry up"},
    {&PANEL_MAIN, "CMD_SENTRY_DOWN", "Move entry down"},
    {&PANEL_MAIN, "TXT_ERR", "Status information"},
    {&PANEL_MAIN, "STR_PROJECT", "Project name"},
    {&PANEL_MAIN, "STR_NAME", "Author name"},
    {&PANEL_MAIN, "STR_DATE", "Project creation date"},
    {&PANEL_MAIN, "STR_VERSION", "Version information"},
    {&TAB_PEDIT, "STR_NAME", "Unique name of pulse entry"},
    {&TAB_PEDIT, "STR_COMMENT", "Optional comment"},
    {&TAB_PEDIT, "STR_PMSG", "Warning message if this entry is used in a sequence"},
    {&TAB_PEDIT, "RING_USEDPULSE", "Display which sequences use this pulse"},
    {&P_TIM, "NUM_PREDELAY", "Delay time prior to the rising edge"},
    {&P_TIM, "NUM_RISE", "Time of the rising edge"},
    {&P_TIM, "NUM_ON", "Pulse on-time"},
    {&P_TIM, "NUM_FALL", "Time of falling edge"},
    {&P_TIM, "NUM_BLANK", "Off-time after falling edge"},
    {&P_TIM, "NUM_PRF", "Pulse Repetition Interval (PRI) or Frequency (PRF)"},
    {&P_TIM, "STR_TOTAL", "Total pulse time"},
    {&P_TIM, "RING_ERISE", "Rising edge type"},
    {&P_TIM, "RING_EFALL", "Falling edge type"},
    {&P_TIM, "RING_PRFPRI", "Select between PRI or PRF mode"},
    {&P_TIM, "RADIO_BLANK", "Use off-time instead of PRI/PRF"},
    {&P_TIM, "RADIO_PRF", "Use PRI/PRF instead of off-time"},
    {&P_TIM, "RADIO_ARBENVEL", "Use arbirary pulse eenvelope"},
    {&P_MISC, "NUM_LEVEL", "Attenuation during rise-, on-, and fall-time"},
    {&P_MISC, "NUM_LEVELOFF", "Attenuation during off-time"},
    {&P_MISC, "NUM_LEVELDROOP", "Level droop during on-time"},
    {&P_MISC, "NUM_PHASE", "Phase shift at the pulse beginning"},
    {&P_MISC, "NUM_FREQ", "Frequency deviation from carrier"},
    {&P_MISC, "CHK_CONTPHASE", "Use relative phase instead of absolute phase"},
    {&P_MISC, "CMD_P_HIDE", "Hide this pulse in project tree if 'Hide Tree Entries' is enabled"},
    {&P_MISC, "CHK_AWGN", "Add white gaussian noise to pulse"},
    {&P_MISC, "NUM_AWGNBW", "Noise bandwidth"},
    {&P_MISC, "NUM_AWGNLEV", "Noise level supression"},
    {&P_JIT, "TABLE_JITVAL", "Jitter value or rules table"},
    {&P_JIT, "NUM_JITTER_MIN", "Minimum value or location"},
    {&P_JIT, "NUM_JITTER_MAX", "Maximum value or variance"},
    {&P_JIT, "NUM_JITTER_STEP", "Step value or range limit"},
    {&P_JIT, "CMD_JIT1", "Display details for this jitter"},
    {&P_JIT, "CMD_JIT2", "Display details for this jitter"},
    {&P_JIT, "CMD_JIT3", "Display details for this jitter"},
    {&P_JIT, "CMD_JIT4", "Display details for this jitter"},
    {&P_JIT, "RADIO_JITTER1", "Use this jitter profile"},
    {&P_JIT, "RING_JITTER1_MODE", "Jitter parameter"},
    {&P_JIT, "RING_JITTER1_DTYPE", "Distribution type"},
    {&P_JIT, "RADIO_JITTER2", "Use this jitter profile"},
    {&P_JIT, "RING_JITTER2_MODE", "Jitter parameter"},
    {&P_JIT, "RING_JITTER2_DTYPE", "Distribution type"},
    {&P_JIT, "RADIO_JITTER3", "Use this jitter profile"},
    {&P_JIT, "RING_JITTER3_MODE", "Jitter parameter"},
    {&P_JIT, "RING_JITTER3_DTYPE", "Distribution type"},
    {&P_JIT, "RADIO_JITTER4", "Use this jitter profile"},
    {&P_JIT, "RING_JITTER4_MODE", "Jitter parameter"},
    {&P_JIT, "RING_JITTER4_DTYPE", "Distribution type"},
    {&P_MOD, "TREE_MOD", "Modulation type (intra-pulse)"},
    {&P_MOD, "CMD_RESET", "Reset to default values"},
    {&P_MOD, "TABLE_CONF", "Modulation specific settings"},
    {&P_MOD, "TABLE_DATA", "Data sources table"},
    {&P_MOD, "CMD_ADD", "Add new line to data sources"},
    {&P_MOD, "CMD_DEL", "Delete line from data sources"},
    {&P_MOD, "CMD_RESET_2", "Custom data sources editor"},
    {&TAB_SEDIT, "STR_NAME", "Unique sequence name"},
    {&TAB_SEDIT, "STR_COMMENT", "Optional sequence comment (added to waveform)"},
    {&TAB_SEDIT, "STR_COPYRIGHT", "Optional sequence copyright (added to waveform)"},
    {&TAB_SEDIT, "STR_FILE", "Output waveform file"},
    {&TAB_SEDIT, "NUM_ARBCLK", "ARB sample rate used for this sequence"},
    {&TAB_SEDIT, "CMD_LOG", "Report settings dialog"},
    {&TAB_SEDIT, "CMD_FILTER", "Baseband filter dialog"},
    {&TAB_SEDIT, "CMD_FSEL", "Select local file by browsing file system"},
    {&TAB_SEDIT, "CMD_WVINFO", "Read waveform information from file"},
    {&TAB_SEDIT, "CMD_GENERATE", "Start waveform creation"},
    {&TAB_SEDIT, "CMD_STOP", "Abort waveform creation"},
    {&TAB_SEDIT, "CMD_S_HIDE", "Hide this sequence in project tree if 'Hide Tree Entries' is enabled"},
    {&TAB_SEDIT, "STR_WVINFO", "Sequence information (available after creation)"},
    {&TAB_SEDIT, "CMD_SENTRY_NEW", "Create new sequence entry"},
    {&TAB_SEDIT, "CMD_SENTRY_DEL", "Delete selected sequence entry"},
    {&TAB_SEDIT, "CMD_SENTRY_UP", "Move selected item up"},
    {&TAB_SEDIT, "CMD_SENTRY_DOWN", "Move selected item down"},
    {&TAB_VIEW, "CMD_GRAPHBEGIN", "Move back to beginning"},
    {&TAB_VIEW, "CMD_GRAPHREV", "Move backward"},
    {&TAB_VIEW, "CMD_GRAPHFWD", "Move forward"},
    {&TAB_VIEW, "SLIDE_POS", "Move to position"},
    {&TAB_VIEW, "CMD_GRAPHZOOMOUT", "Zoom out"},
    {&TAB_VIEW, "CMD_GRAPHZOOMIN", "Zoom in"},
    {&TAB_VIEW, "CMD_GRAPHZOOM_CSR", "Zoom to cursors"},
    {&TAB_VIEW, "RING_IQVIEW", "Set view mode for time domain display"},
    {&TAB_VIEW, "CHK_MKRON", "Set cursor (marker) state"},
    {&TAB_VIEW, "RING_FFTVIEW", "FFT evaluation range"},
    {&TAB_VIEW, "CHK_MKRON_2", "Set cursor (marker) state"},
    {&TAB_VIEW, "GRAPH_SCALE", "Scale used in density plot"},
    {&TAB_VIEW, "GRAPH_IQ", "I/Q constellation diagram"},
    {&TAB_INSTR, "CMD_UPLOAD", "Configure instrument according to settings"},
    {&TAB_INSTR, "CMD_RESET", "Reset instrument"},
    {&TAB_INSTR, "CMD_SELINSTR", "Instrument manager dialog"},
    {&TAB_INSTR, "RING_BBR_A", "Baseband routing of path A"},
    {&TAB_INSTR, "RING_BBR_B", "Baseband routing of path B"},
    {&TAB_INSTR, "CMD_BBMODE_A", "Configuration of baseband A"},
    {&TAB_INSTR, "CMD_BBMODE_B", "Configuration of baseband B"},
    {&TAB_INSTR, "CMD_FSEL_INSTR_A", "Remote file system browser"},
    {&TAB_INSTR, "CMD_FSEL_INSTR_B", "Remote file system browser"},
    {&TAB_INSTR, "STR_INSTRFILE_A", "Use this file name for path A waveform"},
    {&TAB_INSTR, "STR_INSTRFILE_B", "Use this file name for path B waveform"},
    {&TAB_INSTR, "STR_DEVICE", "Selected instrument resource string"},
    {&TAB_INSTR, "STR_LOCFILE", "Local waveform file used for transfer"},
    {&TAB_MSEG, "STR_NAME", "Unique MSW name"},
    {&TAB_MSEG, "STR_COMMENT", "Optional MSW comment (added to waveform)"},
    {&TAB_MSEG, "STR_MSNAME", "Name of MSW files on instrument"},
    {&TAB_MSEG, "CMD_SENTRY_NEW", "Create new entry in MSW editor"},
    {&TAB_MSEG, "CMD_SENTRY_DEL", "Remove selected entry from MSW editor"},
    {&TAB_MSEG, "CMD_SENTRY_UP", "Move selected entry up"},
    {&TAB_MSEG, "CMD_SENTRY_DOWN", "Move selected entry down"},
    {&TAB_MSEG, "CMD_GENERATE", "Start MSW build process"},
    {&TAB_MSEG, "CMD_STOP", "Stop MSW build process"},
    {&TAB_MSEG, "CMD_SET", "Apply all MSW settings"},
    {&TAB_MSEG, "CMD_TRIG", "Execute internal trigger via SCPI command"},
    {&TAB_MSEG, "CMD_QUERY", "Query the current segment number"},
    {&TAB_RFLIST, "STR_NAME", "Unique RF list name"},
    {&TAB_RFLIST, "STR_COMMENT", "Optional comment"},
    {&TAB_RFLIST, "CMD_UPLOAD", "Send RF list to instrument"},
    {&TAB_RFLIST, "CMD_RESET", "Reset instrument"},
    {&TAB_RFLIST, "CB_ACTIVATE", "Activate list mode after transfer"},
    {&TAB_RFLIST, "RING_BB", "Target path for RF list"},
    {&TAB_RFLIST, "CMD_RFLIST_ADD", "Add new entry to list"},
    {&TAB_RFLIST, "CMD_RFLIST_DEL", "Delete selected entry from list"},
    {&TAB_RFLIST, "CMD_RFLIST_UP", "Move selected entry up"},
    {&TAB_RFLIST, "CMD_RFLIST_DOWN", "Move selected entry down"},
    {&TAB_RFLIST, "CMD_IMPORT", "Import list data from text file"},
    {&TAB_RFLIST, "CMD_PRINTLIST", "Export list data to text file"},
    {&TAB_RFLIST, "STR_FILE", "Remote list file"},
    {&TAB_RFLIST, "CMD_FSEL_RFLIST", "Select remote list file"},
    {&FILTER, "CMD_FLT_IMPORT", "Import custom filter data from file"},
};

// The dialogs and the Log page, which the start-up attaches itself:
// INSTRMAN, TAB_LOG, DATAEDIT.
const TooltipRow kDialogTooltips[] = {
    {&INSTRMAN, "CMD_DEL", "Delete selected entry from tree"},
    {&INSTRMAN, "NUM_BRD", "Local GPIB board number"},
    {&INSTRMAN, "STR_LAN_DOMAIN", "Domain name for LAN scanning"},
    {&TAB_LOG, "CMD_CLR", "Clear message log"},
    {&DATAEDIT, "CMD_ADD", "Create a new data source"},
    {&DATAEDIT, "CMD_DEL", "Delete selected data source"},
    {&DATAEDIT, "TREE_DATA", "Data sources in project"},
    {&DATAEDIT, "STR_NAME", "Unique data source name"},
    {&DATAEDIT, "STR_COMMENT", "Optional comment"},
    {&DATAEDIT, "STR_DATA", "Data editor. '1' and '0' is evaluated"},
    {&DATAEDIT, "STR_BITS", "Number of bits in data source"},
};

// The control of the panel whose constant name is the given one; 0 when
// the panel has none.
int ControlNamed(int panel, const char* name) {
  char constName[64];
  for (int c = GetNextCtrl(panel, 0); c > 0; c = GetNextCtrl(panel, c)) {
    constName[0] = '\0';
    if (GetCtrlAttribute(panel, c, ATTR_CONSTANT_NAME, constName, sizeof constName) >= 0 &&
        std::strcmp(constName, name) == 0)
      return c;
  }
  return 0;
}

template <int N>
void Attach(const TooltipRow (&rows)[N]) {
  for (const TooltipRow& row : rows) {
    if (*row.panel <= 0) continue;
    const int control = ControlNamed(*row.panel, row.control);
    if (control > 0) SetCtrlToolTip(*row.panel, control, row.text);
  }
}

}  // namespace

void SetupToolTips() { Attach(kPanelTooltips); }

void SetupDialogToolTips() { Attach(kDialogTooltips); }
