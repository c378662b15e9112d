// The pulse editor's two directions between the current pulse record and
// the controls, and the generic commit callbacks built on them.
#include "editors/PulseEditor.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/TypedText.h"
#include "editors/EnvelopeImport.h"
#include "editors/JitterPage.h"
#include "editors/ModDataTable.h"
#include "editors/PulseDiagram.h"
#include "editors/PulseModPage.h"
#include "engine/PulseNoise.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/pulse/LevelPanel.h"
#include "ui/pulse/MarkerPanel.h"
#include "ui/pulse/ModulationPanel.h"
#include "ui/pulse/TimingPanel.h"

namespace {

// Display units of the pages: frequencies in MHz, a PRI in microseconds.
constexpr double kMHz = 1e6;
constexpr double kMicro = 1e-6;
constexpr int kNameMax = 63;  // characters the record's name holds

// ID of the pulse the editor works on, taken when it is made current and
// when the pages are filled; 0 when none (IDs start at 1).
uint32_t g_shownPulseId = 0;

// The five time inputs of P_TIM: number and unit ring. The ring items'
// values are decimal exponents, so number x 10^ring is seconds.
struct TimeCtrls {
  int* number;
  int* unit;
};
const TimeCtrls kDelay{&P_TIM_NUM_PREDELAY, &P_TIM_RING_PREDELAY};
const TimeCtrls kRise{&P_TIM_NUM_RISE, &P_TIM_RING_RISE};
const TimeCtrls kFall{&P_TIM_NUM_FALL, &P_TIM_RING_FALL};
const TimeCtrls kOn{&P_TIM_NUM_ON, &P_TIM_RING_ON};
const TimeCtrls kOff{&P_TIM_NUM_BLANK, &P_TIM_RING_BLANK};

double ReadDouble(int panel, int control) { return EditorDouble(panel, control); }
int ReadInt(int panel, int control) { return EditorInt(panel, control); }
void ShowTime(const TimeCtrls& t, double seconds) { ShowTimeInput(*t.number, *t.unit, seconds); }

// A field still showing what was made of the stored value gives the stored
// value back: shown in a unit and read again (x * 1e6 * 1e-6), about a
// third of all values move by a unit in the last place, so a pulse merely
// shown (or an import cancelled on it) would be saved changed.
double ReadTime(const TimeCtrls& t, double stored) {
  double mantissa = 0.0;
  int exponent = 0;
  ToEngineeringUnits(stored, &mantissa, &exponent);
  if (ReadDouble(P_TIM, *t.number) == mantissa && ReadInt(P_TIM, *t.unit) == exponent) return stored;
  return ReadTimeInput(*t.number, *t.unit);
}
// The same for a field that shows stored / scale.
double ReadScaled(int panel, int control, double stored, double scale) {
  const double shown = ReadDouble(panel, control);
  return shown == stored / scale ? stored : shown * scale;
}

// P_TIM -> record: times in s, edge shape codes, PRF mode and unit, the
// PRF (Hz) or PRI (shown in us, stored in s), the custom-envelope switch.
void ReadTimingPage(PulseRecord* p) {
  p->delay = ReadTime(kDelay, p->delay);
  p->riseTime = ReadTime(kRise, p->riseTime);
  p->fallTime = ReadTime(kFall, p->fallTime);
  p->onTime = ReadTime(kOn, p->onTime);
  p->offTime = ReadTime(kOff, p->offTime);
  p->riseEdge = static_cast<uint8_t>(ReadInt(P_TIM, P_TIM_RING_ERISE));
  p->fallEdge = static_cast<uint8_t>(ReadInt(P_TIM, P_TIM_RING_EFALL));
  p->prfMode = ReadInt(P_TIM, P_TIM_RADIO_PRF);
  const int unit = ReadInt(P_TIM, P_TIM_RING_PRFPRI);
  // A unit just changed holds no stored value: NaN compares unequal.
  const double stored = unit == p->prfPri ? p->prfValue : std::numeric_limits<double>::quiet_NaN();
  p->prfPri = static_cast<uint8_t>(unit);
  p->prfValue = p->prfPri == UNIT_PRI ? ReadScaled(P_TIM, P_TIM_NUM_PRF, stored, kMicro)
                                      : ReadDouble(P_TIM, P_TIM_NUM_PRF);
  p->customEnvelopeOn = ReadInt(P_TIM, P_TIM_RADIO_ARBENVEL);
}

// Record -> P_TIM; RADIO_BLANK is the negation of the PRF mode (the two
// radio buttons are one choice).
void ShowTimingPage(const PulseRecord& p) {
  ShowTime(kDelay, p.delay);
  ShowTime(kRise, p.riseTime);
  ShowTime(kFall, p.fallTime);
  ShowTime(kOn, p.onTime);
  ShowTime(kOff, p.offTime);
  SetCtrlVal(P_TIM, P_TIM_RING_ERISE, static_cast<int>(p.riseEdge));
  SetCtrlVal(P_TIM, P_TIM_RING_EFALL, static_cast<int>(p.fallEdge));
  SetCtrlVal(P_TIM, P_TIM_NUM_PRF, p.prfPri == UNIT_PRI ? p.prfValue / kMicro : p.prfValue);
  SetCtrlVal(P_TIM, P_TIM_RADIO_BLANK, p.prfMode == 0 ? 1 : 0);
  SetCtrlVal(P_TIM, P_TIM_RADIO_PRF, p.prfMode);
  SetCtrlVal(P_TIM, P_TIM_RING_PRFPRI, static_cast<int>(p.prfPri));
}

// P_MISC -> record: attenuations and droop in dB, phase in degrees, the
// frequency offset and noise bandwidth from MHz to Hz.
void ReadMiscPage(PulseRecord* p) {
  p->attOn = ReadDouble(P_MISC, P_MISC_NUM_LEVEL);
  p->attOff = ReadDouble(P_MISC, P_MISC_NUM_LEVELOFF);
  p->droop = ReadDouble(P_MISC, P_MISC_NUM_LEVELDROOP);
  p->startPhase = ReadDouble(P_MISC, P_MISC_NUM_PHASE);
  p->relativePhase = ReadInt(P_MISC, P_MISC_CHK_CONTPHASE);
  p->freqOffset = ReadScaled(P_MISC, P_MISC_NUM_FREQ, p->freqOffset, kMHz);
  p->hidden = ReadInt(P_MISC, P_MISC_CMD_P_HIDE);
  p->noiseOn = ReadInt(P_MISC, P_MISC_CHK_AWGN);
  p->noiseAtt = ReadDouble(P_MISC, P_MISC_NUM_AWGNLEV);
  p->noiseBw = ReadScaled(P_MISC, P_MISC_NUM_AWGNBW, p->noiseBw, kMHz);
}

void ShowMiscPage(const PulseRecord& p) {
  SetCtrlVal(P_MISC, P_MISC_NUM_LEVEL, p.attOn);
  SetCtrlVal(P_MISC, P_MISC_NUM_LEVELOFF, p.attOff);
  SetCtrlVal(P_MISC, P_MISC_NUM_LEVELDROOP, p.droop);
  SetCtrlVal(P_MISC, P_MISC_NUM_PHASE, p.startPhase);
  SetCtrlVal(P_MISC, P_MISC_CHK_CONTPHASE, p.relativePhase);
  SetCtrlVal(P_MISC, P_MISC_NUM_FREQ, p.freqOffset / kMHz);
  SetCtrlVal(P_MISC, P_MISC_CMD_P_HIDE, p.hidden);
  SetCtrlVal(P_MISC, P_MISC_CHK_AWGN, p.noiseOn);
  SetCtrlVal(P_MISC, P_MISC_NUM_AWGNLEV, p.noiseAtt);
  SetCtrlVal(P_MISC, P_MISC_NUM_AWGNBW, p.noiseBw / kMHz);
}

// The 24 marker toggles, marker by marker in the record's part order
// (delay, rise, on, fall, off, restart).
void ReadMarkers(PulseRecord* p) {
  for (int m = 0; m < kMarkers; ++m)
    for (int k = 0; k < kMarkerParts; ++k) p->markers[m][k] = ReadInt(P_MARKER, *kMarkerGrid[m][k]);
}

void ShowMarkers(const PulseRecord& p) {
  for (int m = 0; m < kMarkers; ++m)
    for (int k = 0; k < kMarkerParts; ++k) SetCtrlVal(P_MARKER, *kMarkerGrid[m][k], p.markers[m][k]);
}

// STR_PMSG and RING_USEDPULSE: which sequences use the pulse. The ring
// only lists the names (every item has the value 0); nothing reads it.
void ShowUsage(const PulseRecord& p) {
  SetCtrlVal(TAB_PEDIT, TAB_PEDIT_STR_PMSG, "");
  ClearListCtrl(TAB_PEDIT, TAB_PEDIT_RING_USEDPULSE);
  const std::vector<std::string> users = SequencesUsingPulse(p.id);
  for (const std::string& name : users) InsertListItem(TAB_PEDIT, TAB_PEDIT_RING_USEDPULSE, -1, name.c_str(), 0);
  if (!users.empty()) SetCtrlVal(TAB_PEDIT, TAB_PEDIT_STR_PMSG, "Pulse is Currently Used in Sequence(s)");
}

}  // namespace

// A control that cannot be read (not built, wrong kind) reads as 0, so a
// missing page never leaves an uninitialised value in the record.
int EditorInt(int panel, int control) {
  int v = 0;
  GetCtrlVal(panel, control, &v);
  return v;
}

double EditorDouble(int panel, int control) {
  double v = 0.0;
  GetCtrlVal(panel, control, &v);
  return v;
}

double ReadTimeInput(int number, int unit) {
  return ApplyExponent(EditorDouble(P_TIM, number), EditorInt(P_TIM, unit));
}

void ShowTimeInput(int number, int unit, double seconds) {
  double mantissa = 0.0;
  int exponent = 0;
  ToEngineeringUnits(seconds, &mantissa, &exponent);
  SetCtrlVal(P_TIM, number, mantissa);
  SetCtrlVal(P_TIM, unit, exponent);
}

void SetCurrentPulse(int index) {
  CurrentPulse = index;
  g_shownPulseId = index >= 0 && index < PulseCount ? PulseTable[index].id : 0;
}

int GetCurrentPulse() { return CurrentPulse; }

// The editor's record is the one made current and shown: an edit read
// from the pages is written only into it, never into whichever pulse took
// its index since (a deletion, a replaced project).
PulseRecord* CurrentPulseRecord() {
  if (CurrentPulse < 0 || CurrentPulse >= PulseCount) return nullptr;
  PulseRecord* p = &PulseTable[CurrentPulse];
  return p->id == g_shownPulseId ? p : nullptr;
}

double ApplyExponent(double value, int exponent) { return value * std::pow(10.0, exponent); }

// Exact, case-sensitive comparison in table order.
int FindDuplicatePulseName(const char* name, int self) {
  for (int i = 0; i < PulseCount; ++i)
    if (i != self && std::strcmp(PulseTable[i].name.c_str(), name) == 0) return i;
  return -1;
}

bool IsBlankText(const char* text) {
  for (const char* c = text; *c != '\0'; ++c)
    if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n' && *c != '\v' && *c != '\f') return false;
  return true;
}

// All 128 entry slots of each sequence are scanned (not only those before
// the first empty one); a sequence is listed at its first match.
std::vector<std::string> SequencesUsingPulse(uint32_t id) {
  std::vector<std::string> names;
  for (int s = 0; s < SequenceCount; ++s)
    for (const SequenceEntry& entry : SequenceTable[s].entries)
      if (entry.pulseId >= 0 && static_cast<uint32_t>(entry.pulseId) == id) {
        names.emplace_back(SequenceTable[s].name.c_str());
        break;
      }
  return names;
}

namespace {

// The narrowest (wide = false) or widest bandwidth (Hz) at clock as the
// bandwidth field can hold it, MHz with four places: the step nearest the
// limit inside the range, so that the value a refusal names is one the
// field then takes.
double FieldNoiseLimit(double clock, bool wide) {
  constexpr double kFieldSteps = 1e4;  // per MHz
  const double limit = wide ? clock / 2.0 : PulseNoise_NarrowestBandwidth(clock);
  double steps = std::round(limit / kMHz * kFieldSteps);
  for (int k = 0; k < 4 && !PulseNoise_BandwidthFits(steps / kFieldSteps * kMHz, clock); ++k)
    steps += wide ? -1.0 : 1.0;
  return steps / kFieldSteps * kMHz;
}

}  // namespace

std::string NoiseBandwidthRefusal(const PulseRecord& pulse) {
  for (int s = 0; s < SequenceCount; ++s) {
    const SequenceRecord& seq = SequenceTable[s];
    bool uses = false;
    for (const SequenceEntry& entry : seq.entries)
      uses = uses || (entry.pulseId >= 0 && static_cast<uint32_t>(entry.pulseId) == pulse.id);
    if (!uses || PulseNoise_BandwidthFits(pulse.noiseBw, seq.clock)) continue;
    // A clock no build takes is the sequence editor's to refuse.
    if (!(seq.clock > 0.0) || !std::isfinite(seq.clock)) continue;
    const bool wide = pulse.noiseBw > seq.clock / 2.0;
    return cz::FormatC("The noise bandwidth %.4f MHz is %s than sequence '%s' can make at its clock of %.3f MHz: "
                       "the %s is %.4f MHz.",
                       pulse.noiseBw / kMHz, wide ? "wider" : "narrower", seq.name.c_str(), seq.clock / kMHz,
                       wide ? "widest" : "narrowest", FieldNoiseLimit(seq.clock, wide) / kMHz);
  }
  return std::string();
}

// Controls -> record, in the record's page order. Nothing is read without a
// selected jitter block: the jitter page's details would be undefined.
void ReadPulseFromEditor() {
  PulseRecord* p = CurrentPulseRecord();
  const int block = JitterSelectedBlock();
  if (p == nullptr || block < 0) return;
  // A text the record cannot hold whole is refused (the reason on the status
  // line) and its field shows the stored text again.
  if (!TakeTypedText(&p->name, TypedCtrlText(TAB_PEDIT, TAB_PEDIT_STR_NAME), "Pulse name"))
    SetCtrlVal(TAB_PEDIT, TAB_PEDIT_STR_NAME, p->name.c_str());
  if (!TakeTypedText(&p->comment, TypedCtrlText(TAB_PEDIT, TAB_PEDIT_STR_COMMENT), "Comment"))
    ResetTextBox(TAB_PEDIT, TAB_PEDIT_STR_COMMENT, p->comment.c_str());
  ReadTimingPage(p);
  ReadMiscPage(p);
  ReadMarkers(p);
  ReadJitterFromEditor(p, block);
}

// Record -> every page, then the timing commit (derived PRF/PRI or off
// time, dimming, total) which ends by reading the shown values back.
void ShowPulseInEditor() {
  const int block = JitterSelectedBlock();
  if (CurrentPulse < 0 || CurrentPulse >= PulseCount || block < 0) return;
  g_shownPulseId = PulseTable[CurrentPulse].id;
  PulseRecord* p = CurrentPulseRecord();
  ShowUsage(*p);
  DimModulationDataControls();
  SetCtrlVal(TAB_PEDIT, TAB_PEDIT_STR_NAME, p->name.c_str());
  ResetTextBox(TAB_PEDIT, TAB_PEDIT_STR_COMMENT, p->comment.c_str());
  ShowTimingPage(*p);
  SetCtrlVal(P_TIM, P_TIM_RADIO_ARBENVEL, p->customEnvelopeOn);
  ShowPulseEnvelope(*p);
  ShowMiscPage(*p);
  ShowMarkers(*p);
  ShowJitterInEditor(*p, block);
  MarkModulationTypeTree();
  FillPulseDataTable(*p);
  // Derives the PRF/PRI or the off time and the dimming, and writes the
  // shown values back into the record.
  PulseTimingCb(P_TIM, 0, EVENT_COMMIT, nullptr, 0, 0);
  DimModulationDataControls();
  DrawTimingDiagram();
  DrawMarkerDiagram();
}

void DimModulationDataControls() {
  const PulseRecord* p = CurrentPulseRecord();
  if (p == nullptr) return;
  const int needs = ModulationNeedsData(p->modulation);
  if (needs < 0) return;  // a code the table does not know leaves the controls
  for (int control : {P_MOD_TABLE_DATA, P_MOD_CMD_ADD, P_MOD_CMD_DEL})
    SetCtrlAttribute(P_MOD, control, ATTR_DIMMED, needs ? 0 : 1);
}

// Generic commit of the name, comment, P_MISC, edge rings and jitter
// details: read all, refuse a duplicate name, show again, and rebuild the
// library tree only when what it shows (name, plug-in icon) changed.
int PulseEditCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event != EVENT_COMMIT) return 0;
  PulseRecord* p = CurrentPulseRecord();
  if (p == nullptr) return 0;
  const int modulation = p->modulation;
  const cz::Text<64> name = p->name;
  const double noiseBw = p->noiseBw;
  const int noiseOn = p->noiseOn;
  ReadPulseFromEditor();
  // A name of nothing but blanks could not be stored and loaded again (the
  // project file refuses an empty one, and with it the sequence entries
  // that use the pulse): refused as a duplicate is. Only a name the user
  // changed is checked: a pulse that shares its name with a copy or an
  // imported pulse takes edits of its other fields without an error.
  const bool renamed = !(p->name == name);
  if (renamed && IsBlankText(p->name.c_str())) {
    MessagePopup("Error", "The Pulse Name Must Not Be Empty.\nSetting Back to Previous Name.");
    p->name = name.c_str();
  } else if (renamed && FindDuplicatePulseName(p->name.c_str(), CurrentPulse) >= 0) {
    MessagePopup("Error", "The Pulse Name Should Be Unique.\nSetting Back to Previous Name.");
    p->name = name.c_str();
  }
  // A noise bandwidth that a sequence using the pulse cannot make, typed in
  // or switched on with the noise, is refused here rather than at Generate.
  const bool noiseChanged = p->noiseBw != noiseBw || (p->noiseOn != 0 && noiseOn == 0);
  const std::string refusal = noiseChanged ? NoiseBandwidthRefusal(*p) : std::string();
  if (!refusal.empty()) {
    const bool bandwidth = p->noiseBw != noiseBw;
    MessagePopup("Error", (refusal + (bandwidth ? "\nSetting back to the previous bandwidth."
                                                 : "\nThe noise stays off."))
                              .c_str());
    if (bandwidth) p->noiseBw = noiseBw;
    else p->noiseOn = noiseOn;
  }
  ShowPulseInEditor();
  if (p->modulation != modulation || !(p->name == name)) {
    RebuildLibraryTree();
    SelectPulseTreeItem(p->id);
  }
  return 0;
}

int PulseMarkerCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2) {
  (void)panel, (void)control, (void)callbackData, (void)eventData1, (void)eventData2;
  if (event == EVENT_COMMIT) ReadPulseFromEditor();
  return 0;
}

int PulseTimingPanelCb(int, int, void*, int, int) { return 0; }
int PulseModulationPanelCb(int, int, void*, int, int) { return 0; }
int PulseMiscPanelCb(int, int, void*, int, int) { return 0; }
int PulseMarkerPanelCb(int, int, void*, int, int) { return 0; }

void AttachPulseEditorPage() {
  if (TAB_PEDIT <= 0) return;
  SetCtrlAttribute(TAB_PEDIT, TAB_PEDIT_STR_NAME, ATTR_CALLBACK_FUNCTION_POINTER, &PulseEditCb);
  SetCtrlAttribute(TAB_PEDIT, TAB_PEDIT_STR_COMMENT, ATTR_CALLBACK_FUNCTION_POINTER, &PulseEditCb);
  // The record holds 63 characters of a name and 1023 of a comment.
  SetCtrlAttribute(TAB_PEDIT, TAB_PEDIT_STR_NAME, ATTR_MAX_ENTRY_LENGTH, kNameMax);
}
