// Tooltips of the controls: one row per control, keyed by panel and control
// together (one control constant carries different texts on different
// panels). Attached once at start-up, after every panel is built; a row
// whose panel or control does not exist is skipped.
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "platform/ui/UserInterface.h"
#include "ui/dialogs/DataSourceDialog.h"

namespace {

struct TooltipRow {
  const int* panel;
  const int* control;
  const char* text;
};

// Main window, its tab pages and the pulse editor's sub-panels, in this
// order: PANEL_MAIN, TAB_PEDIT, P_TIM, P_MISC, P_JIT, P_MOD, TAB_SEDIT,
// TAB_VIEW, TAB_INSTR, TAB_MSEG, TAB_RFLIST, FILTER.
const TooltipRow kPanelTooltips[] = {
    {&PANEL_MAIN, &PANEL_MAIN_CMD_ADD_P, "Add new pulse to project"},
    {&PANEL_MAIN, &PANEL_MAIN_CMD_ADD, "Add new sequence to project"},
    {&PANEL_MAIN, &PANEL_MAIN_CMD_DEL, "Delete selected entry from project"},
    {&PANEL_MAIN, &PANEL_MAIN_CMD_COPY, "Create copy of selected item"},
    {&PANEL_MAIN, &PANEL_MAIN_CMD_SENTRY_UP, "Move entry up"},
    {&PANEL_MAIN, &PANEL_MAIN_CMD_SENTRY_DOWN, "Move entry down"},
    {&PANEL_MAIN, &PANEL_MAIN_TXT_ERR, "Status information"},
    {&PANEL_MAIN, &PANEL_MAIN_STR_PROJECT, "Project name"},
    {&PANEL_MAIN, &PANEL_MAIN_STR_NAME, "Author name"},
    {&PANEL_MAIN, &PANEL_MAIN_STR_DATE, "Project creation date"},
    {&PANEL_MAIN, &PANEL_MAIN_STR_VERSION, "Version information"},
    {&TAB_PEDIT, &TAB_PEDIT_STR_NAME, "Unique name of pulse entry"},
    {&TAB_PEDIT, &TAB_PEDIT_STR_COMMENT, "Optional comment"},
    {&TAB_PEDIT, &TAB_PEDIT_STR_PMSG, "Warning message if this entry is used in a sequence"},
    {&TAB_PEDIT, &TAB_PEDIT_RING_USEDPULSE, "Display which sequences use this pulse"},
    {&P_MISC, &P_MISC_NUM_LEVEL, "Attenuation during rise-, on-, and fall-time"},
    {&P_JIT, &P_JIT_RADIO_JITTER1, "Use this jitter profile"},
    {&P_MOD, &P_MOD_TREE_MOD, "Modulation type (intra-pulse)"},
    {&P_MOD, &P_MOD_TABLE_CONF, "Modulation specific settings"},
    {&P_MOD, &P_MOD_TABLE_DATA, "Data sources table"},
    {&TAB_SEDIT, &TAB_SEDIT_CMD_GENERATE, "Start waveform creation"},
    {&TAB_SEDIT, &TAB_SEDIT_CMD_STOP, "Abort waveform creation"},
    {&TAB_MSEG, &TAB_MSEG_CMD_STOP, "Stop MSW build process"},
    {&TAB_RFLIST, &TAB_RFLIST_CMD_UPLOAD, "Send RF list to instrument"},
};

// The dialogs and the Log page, which the start-up attaches itself:
// INSTRMAN, TAB_LOG, DATAEDIT.
const TooltipRow kDialogTooltips[] = {
    {&INSTRMAN, &INSTRMAN_NUM_BRD, "Local GPIB board number"},
    {&INSTRMAN, &INSTRMAN_STR_LAN_DOMAIN, "Domain name for LAN scanning"},
    {&TAB_LOG, &TAB_LOG_CMD_CLR, "Clear message log"},
    {&DATAEDIT, &DATAEDIT_CMD_ADD, "Create a new data source"},
    {&DATAEDIT, &DATAEDIT_CMD_DEL, "Delete selected data source"},
    {&DATAEDIT, &DATAEDIT_TREE_DATA, "Data sources in project"},
    {&DATAEDIT, &DATAEDIT_STR_NAME, "Unique data source name"},
    {&DATAEDIT, &DATAEDIT_STR_COMMENT, "Optional comment"},
    {&DATAEDIT, &DATAEDIT_STR_DATA, "Data editor. '1' and '0' is evaluated"},
    {&DATAEDIT, &DATAEDIT_STR_BITS, "Number of bits in data source"},
};

template <int N>
void Attach(const TooltipRow (&rows)[N]) {
  for (const TooltipRow& row : rows)
    if (*row.panel > 0 && *row.control > 0) SetCtrlToolTip(*row.panel, *row.control, row.text);
}

}  // namespace

void SetupToolTips() { Attach(kPanelTooltips); }

void SetupDialogToolTips() { Attach(kDialogTooltips); }
