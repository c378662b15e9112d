// Report Generation dialog callbacks: Accept stores the dialog into the
// sequence it was filled from, Cancel and the close box only hide it.
#include "editors/ReportDialog.h"

#include <cstring>

#include "app/PanelIds.h"
#include "app/TypedText.h"
#include "editors/SequenceFilter.h"
#include "platform/BoundedText.h"
#include "platform/ui/UserInterface.h"
#include "ui/main/SequenceEditorPage.h"

int DATALOG_STR_REPORTFILE = -1;
int DATALOG_CMD_ACCEPT = -1;
int DATALOG_CMD_CANCEL = -1;
int DATALOG_CHK_REP_DELAY = -1;
int DATALOG_CHK_REP_RISE = -1;
int DATALOG_CHK_REP_ON = -1;
int DATALOG_CHK_REP_FALL = -1;
int DATALOG_CHK_REP_OFF = -1;
int DATALOG_CHK_REP_PRFPRI = -1;
int DATALOG_CHK_REP_FREQ = -1;
int DATALOG_CHK_REP_PHASE = -1;
int DATALOG_CHK_REP_LEVON = -1;
int DATALOG_CHK_REP_LEVOFF = -1;
int DATALOG_CHK_REP_DROOP = -1;
int DATALOG_CHK_REP_RNO = -1;
int DATALOG_CHK_REP_RCNT = -1;
int DATALOG_CHK_REP_MSEG = -1;
int DATALOG_CHK_REP_FMDEV = -1;
int DATALOG_CHK_REP_TSTART = -1;
int DATALOG_CHK_REP_FILLERS = -1;
int DATALOG_CHK_REP_SENTRY = -1;
int DATALOG_TEXTMSG_2 = -1;
int DATALOG_TEXTMSG_3 = -1;
int DATALOG_TEXTMSG_4 = -1;
int DATALOG_STR_TXT_5 = -1;
int DATALOG_STR_TXT_6 = -1;
int DATALOG_STR_TXT_7 = -1;

int* const kReportFlagBoxes[kReportColumns] = {
    &DATALOG_CHK_REP_DELAY,  &DATALOG_CHK_REP_RISE,   &DATALOG_CHK_REP_ON,      &DATALOG_CHK_REP_FALL,
    &DATALOG_CHK_REP_OFF,    &DATALOG_CHK_REP_PRFPRI, &DATALOG_CHK_REP_FREQ,    &DATALOG_CHK_REP_PHASE,
    &DATALOG_CHK_REP_LEVON,  &DATALOG_CHK_REP_LEVOFF, &DATALOG_CHK_REP_DROOP,   &DATALOG_CHK_REP_RNO,
    &DATALOG_CHK_REP_RCNT,   &DATALOG_CHK_REP_MSEG,   &DATALOG_CHK_REP_FMDEV,   &DATALOG_CHK_REP_TSTART,
    &DATALOG_CHK_REP_FILLERS, &DATALOG_CHK_REP_SENTRY,
};

namespace {

// Ring values: 0 no report, 1 the text report, 2 + module number a plug-in.
constexpr int kRingOff = 0;
constexpr int kRingText = 1;

bool CurrentValid() { return CurrentSequence >= 0 && CurrentSequence < SequenceCount; }

}  // namespace

void ApplyReportSettings(SequenceRecord* seq, int ringValue, const char* pluginLabel, const char* file,
                         const int (&flags)[kReportColumns]) {
  if (ringValue == kRingOff) {
    seq->reportOn = 0;
  } else {
    seq->reportOn = 1;
    seq->reportPlugin = ringValue == kRingText ? "" : (pluginLabel != nullptr ? pluginLabel : "");
  }
  seq->reportFile = file != nullptr ? file : "";
  for (int i = 0; i < kReportColumns; ++i) seq->reportColumns[i] = flags[i];
}

void ReportDialog_ShowSettings(const SequenceRecord& seq) {
  if (DATALOG <= 0) return;
  SetCtrlVal(DATALOG, DATALOG_STR_REPORTFILE, seq.reportFile.c_str());
  for (int i = 0; i < kReportColumns; ++i)
    SetCtrlVal(DATALOG, *kReportFlagBoxes[i], seq.reportColumns[i] != 0 ? 1 : 0);
}

int ReportAcceptCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || !CurrentValid() || DATALOG <= 0) return 0;
  // The dialog holds the settings of one sequence: when that one is gone,
  // nothing is stored anywhere else.
  const int slot = SequenceDialogSlot(ReportDialogSequenceId);
  if (slot < 0) {
    HidePanel(DATALOG);
    return 0;
  }
  SequenceRecord& seq = SequenceTable[slot];

  // A plug-in item is stored by its label, so that the same plug-in is found
  // again by name when the modules are numbered differently.
  int ringValue = kRingOff;
  GetCtrlVal(DATALOG, DATALOG_RING_REPORTTYPE, &ringValue);
  char label[256] = "";
  int index = -1;
  if (ringValue > kRingText && GetIndexFromValue(DATALOG, DATALOG_RING_REPORTTYPE, &index, ringValue) >= 0 &&
      index >= 0)
    GetLabelFromIndex(DATALOG, DATALOG_RING_REPORTTYPE, index, label, sizeof label);

  // The record holds 255 characters: a longer path is refused, never cut,
  // and the dialog stays open with it.
  char file[UI_MAX_PATH] = "";
  if (GetCtrlVal(DATALOG, DATALOG_STR_REPORTFILE, file, sizeof file) < 0) file[0] = '\0';
  if (std::strlen(file) > decltype(seq.reportFile)::kMaxLength) {
    MessagePopup("Error", PathTooLongText("the report file", file, decltype(seq.reportFile)::kMaxLength).c_str());
    return 0;
  }

  int flags[kReportColumns] = {};
  for (int i = 0; i < kReportColumns; ++i) {
    int on = 0;
    GetCtrlVal(DATALOG, *kReportFlagBoxes[i], &on);
    flags[i] = on != 0 ? 1 : 0;
  }
  ApplyReportSettings(&seq, ringValue, label, file, flags);
  if (TAB_SEDIT > 0 && TAB_SEDIT_LED_LOG > 0 && slot == CurrentSequence)
    SetCtrlVal(TAB_SEDIT, TAB_SEDIT_LED_LOG, seq.reportOn);
  HidePanel(DATALOG);
  return 0;
}

int ReportCancelCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT || DATALOG <= 0) return 0;
  HidePanel(DATALOG);
  // What was changed in the dialog is dropped: it shows the current
  // sequence's stored settings again, so that the next Accept takes over
  // nothing that was cancelled.
  if (CurrentValid()) LoadSequenceReportSettings(SequenceTable[CurrentSequence]);
  return 0;
}
