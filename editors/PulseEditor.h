// The pulse editor: the pulse of PulseTable at CurrentPulse edited in place
// on TAB_PEDIT and its sub-panels P_TIM, P_MISC, P_MARKER, P_JIT and P_MOD.
//
// Two operations carry data between the record and the controls:
// ReadPulseFromEditor (controls -> record) and ShowPulseInEditor (record ->
// controls, tables, plots and diagrams). Every editing callback is built on
// them. Each operation first checks 0 <= CurrentPulse < PulseCount and that
// a jitter block is selected (one CMD_JITn toggle on), and does nothing
// otherwise.
//
// Units: the record keeps seconds and Hz; the controls show each time as a
// number with a unit ring whose item value is a decimal exponent (s 0,
// ms -3, us -6, ns -9), frequencies in MHz, a PRI in microseconds.
#pragma once

#include <string>
#include <vector>

#include "app/PulseRecord.h"

// CurrentPulse accessors (no check). SetCurrentPulse also takes the ID of the
// pulse at index as the editor's record.
void SetCurrentPulse(int index);
int GetCurrentPulse();
// The current pulse's record, or nullptr when CurrentPulse is not valid or
// the record at that index is no longer the one the editor was given
// (SetCurrentPulse) and shows (ShowPulseInEditor).
PulseRecord* CurrentPulseRecord();

// value x 10^exponent.
double ApplyExponent(double value, int exponent);

void ReadPulseFromEditor();
void ShowPulseInEditor();

// Dims P_MOD TABLE_DATA, CMD_ADD and CMD_DEL when the current pulse's
// modulation type takes no data bits (plug-ins count as taking data).
void DimModulationDataControls();

// Control callbacks (commit only). PulseTimingCb returns -1 without a valid
// current pulse, the others return 0.
int PulseTimingCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int PulseEditCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int PulseMarkerCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
// Panel callbacks of P_TIM, P_MOD, P_MISC and P_MARKER: ignore every event.
int PulseTimingPanelCb(int panel, int event, void* callbackData, int eventData1, int eventData2);
int PulseModulationPanelCb(int panel, int event, void* callbackData, int eventData1, int eventData2);
int PulseMiscPanelCb(int panel, int event, void* callbackData, int eventData1, int eventData2);
int PulseMarkerPanelCb(int panel, int event, void* callbackData, int eventData1, int eventData2);

// Installs PulseEditCb on TAB_PEDIT's STR_NAME and STR_COMMENT (the page is
// built before the editor's callbacks are known to it).
void AttachPulseEditorPage();

// Control reads of the editor pages (0 when a control cannot be read).
int EditorInt(int panel, int control);
double EditorDouble(int panel, int control);
// A time input of P_TIM: number x 10^(unit ring) seconds, and back through
// ToEngineeringUnits.
double ReadTimeInput(int number, int unit);
void ShowTimeInput(int number, int unit, double seconds);

// ---- Editor logic, free of the panels

// The five times of a pulse in seconds, as the timing controls give them.
struct PulseTimes {
  double delay = 0.0, rise = 0.0, fall = 0.0, on = 0.0, off = 0.0;
};
// What the timing page derives from the times and the PRF/PRI field.
struct TimingDerivation {
  double shownPrf = 0.0;   // value for NUM_PRF (Hz for PRF, us for PRI)
  double period = 0.0;     // total period, s
  double offTime = 0.0;    // off time to show (PRF mode), s; never negative
  bool offTooShort = false;  // PRF mode: delay + rise + fall + on exceed the period
};
// prfMode 0: the off time is given and the PRF/PRI follows; 1: the PRF/PRI
// given in shownPrf (in the unit that previousUnit names) is converted to
// unit and the off time follows. A PRF of 0 counts as 1 Hz; a zero period
// gives a PRF of 0 rather than a division by zero.
TimingDerivation DeriveTiming(const PulseTimes& times, int prfMode, int unit, int previousUnit,
                              double shownPrf);

// Index of another pulse (table order, excluding `self`) whose name equals
// name exactly; -1 when the name is unique.
int FindDuplicatePulseName(const char* name, int self);
// True when text is empty or holds only blanks (space, tab, line breaks).
bool IsBlankText(const char* text);

// Names of the sequences whose 128 entries refer to the pulse ID, in table
// order, each sequence once.
std::vector<std::string> SequencesUsingPulse(uint32_t id);
// Why the pulse's noise bandwidth cannot be made by a sequence that uses it
// (in table order, the first that cannot: narrower than the narrowest at its
// clock, or wider than half of it), naming both bandwidths and the clock;
// empty when every such sequence can make it, or none uses the pulse.
std::string NoiseBandwidthRefusal(const PulseRecord& pulse);

// The jitter page's share of the two directions, for the selected block
// (0..3): the four blocks' switches and rings, and the selected block's
// parameters or value / rule table in the target's display unit.
void ReadJitterFromEditor(PulseRecord* pulse, int block);
void ShowJitterInEditor(const PulseRecord& pulse, int block);
