// The timing page logic: the off time or the PRF/PRI derived from the other
// inputs, the page's dimming and the total period.
#include <string>

#include "app/PulsePanelIds.h"
#include "editors/EnvelopeImport.h"
#include "editors/PulseDiagram.h"
#include "editors/PulseEditor.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/pulse/EnvelopePages.h"
#include "ui/pulse/TimingPanel.h"

namespace {

constexpr double kMicro = 1e-6;
constexpr int kWarningColor = 0xFF0000;

void Dim(int panel, int control, bool dimmed) { SetCtrlAttribute(panel, control, ATTR_DIMMED, dimmed ? 1 : 0); }

// Off time or PRF/PRI controls by the PRF mode, the custom-envelope pages
// by the custom-data switch and the import mode.
void DimTimingPage(int prfMode, int customOn, int importMode) {
  Dim(P_TIM, P_TIM_NUM_BLANK, prfMode != 0);
  Dim(P_TIM, P_TIM_RING_BLANK, prfMode != 0);
  Dim(P_TIM, P_TIM_NUM_PRF, prfMode == 0);
  Dim(P_TIM, P_TIM_RING_PRFPRI, prfMode == 0);
  const bool off = customOn == 0;
  Dim(T_IMP, T_IMP_RING_IMPORTMODE, off);
  Dim(T_IMP, T_IMP_CMD_IMPORTARBENV, off);
  Dim(T_IMP, T_IMP_CMD_ENV_CLEARALL, off);
  Dim(T_ENV, T_ENV_TABLE_ARBENVEL, off);
  Dim(T_IQ, T_IQ_TABLE_ARBENVEL, off);
  DimEnvelopeColumns(customOn, importMode);
}

// Red bold off time: the phases do not fit into the period.
void MarkOffTime(bool warning) {
  SetCtrlAttribute(P_TIM, P_TIM_NUM_BLANK, ATTR_TEXT_COLOR, warning ? kWarningColor : VAL_BLACK);
  SetCtrlAttribute(P_TIM, P_TIM_NUM_BLANK, ATTR_TEXT_BOLD, warning ? 1 : 0);
}

}  // namespace

// Mode 0: period = delay + rise + fall + on + off, shown as 1/T Hz or T us.
// Mode 1: the shown PRF/PRI (converted when the unit ring just changed)
// gives the period, and the off time is what the phases leave of it.
TimingDerivation DeriveTiming(const PulseTimes& t, int prfMode, int unit, int previousUnit, double shownPrf) {
  TimingDerivation d;
  const double busy = t.delay + t.rise + t.fall + t.on;
  if (prfMode == 0) {
    d.period = busy + t.off;
    d.offTime = t.off;
    if (unit == UNIT_PRI) d.shownPrf = d.period / kMicro;
    else d.shownPrf = d.period > 0.0 ? 1.0 / d.period : 0.0;  // no repetition rate of a zero period
    return d;
  }
  double p = shownPrf;
  if (unit == UNIT_PRI) {
    // A shown PRF in Hz becomes a PRI in us; a PRF of 0 counts as 1 Hz.
    if (previousUnit == UNIT_PRF) p = (p != 0.0 ? 1.0 / p : 1.0) / kMicro;
    d.period = p * kMicro;
  } else {
    // A shown PRI in us becomes a PRF in Hz; a PRF of 0 becomes 1 Hz.
    if (previousUnit == UNIT_PRI) p = p != 0.0 ? 1.0 / (p * kMicro) : 0.0;
    if (p == 0.0) p = 1.0;
    d.period = 1.0 / p;
  }
  d.shownPrf = p;
  const double off = d.period - busy;
  d.offTooShort = off < 0.0;
  d.offTime = d.offTooShort ? 0.0 : off;
  return d;
}

// Commit of every timing control (and of ShowPulseInEditor with control 0).
// The unit stored in the record before this commit tells whether the
// shown PRF/PRI value is still in the other unit.
int PulseTimingCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  const PulseRecord* pulse = CurrentPulseRecord();
  if (pulse == nullptr) return -1;
  // The two radio buttons choose between the off time and the PRF/PRI.
  if (control > 0 && control == P_TIM_RADIO_BLANK) {
    SetCtrlVal(P_TIM, P_TIM_RADIO_BLANK, 1);
    SetCtrlVal(P_TIM, P_TIM_RADIO_PRF, 0);
  } else if (control > 0 && control == P_TIM_RADIO_PRF) {
    SetCtrlVal(P_TIM, P_TIM_RADIO_BLANK, 0);
    SetCtrlVal(P_TIM, P_TIM_RADIO_PRF, 1);
  }
  int prfMode = 0, unit = UNIT_PRF, customOn = 0, importMode = IMPORT_LEVEL;
  GetCtrlVal(P_TIM, P_TIM_RADIO_PRF, &prfMode);
  GetCtrlVal(P_TIM, P_TIM_RING_PRFPRI, &unit);
  GetCtrlVal(P_TIM, P_TIM_RADIO_ARBENVEL, &customOn);
  GetCtrlVal(T_IMP, T_IMP_RING_IMPORTMODE, &importMode);
  const int previousUnit = pulse->prfPri;
  DimTimingPage(prfMode, customOn, importMode);
  SetCtrlVal(P_TIM, P_TIM_TXT_UNIT, unit == UNIT_PRI ? "us" : "Hz");

  PulseTimes times;
  times.delay = ReadTimeInput(P_TIM_NUM_PREDELAY, P_TIM_RING_PREDELAY);
  times.rise = ReadTimeInput(P_TIM_NUM_RISE, P_TIM_RING_RISE);
  times.fall = ReadTimeInput(P_TIM_NUM_FALL, P_TIM_RING_FALL);
  times.on = ReadTimeInput(P_TIM_NUM_ON, P_TIM_RING_ON);
  times.off = ReadTimeInput(P_TIM_NUM_BLANK, P_TIM_RING_BLANK);
  double shown = 0.0;
  GetCtrlVal(P_TIM, P_TIM_NUM_PRF, &shown);
  const TimingDerivation d = DeriveTiming(times, prfMode, unit, previousUnit, shown);
  SetCtrlVal(P_TIM, P_TIM_NUM_PRF, d.shownPrf);
  MarkOffTime(d.offTooShort);
  if (prfMode != 0) {
    ShowTimeInput(P_TIM_NUM_BLANK, P_TIM_RING_BLANK, d.offTime);
  }
  SetCtrlVal(P_TIM, P_TIM_STR_TOTAL, cz::FormatC("%4.3f", d.period / kMicro).c_str());
  ReadPulseFromEditor();
  return 0;
}
