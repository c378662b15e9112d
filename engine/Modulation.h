// Intra-pulse modulation: the data bit stream of a pulse repetition, the
// per-repetition modulation state, and ComputeModulation, which applies a
// pulse's modulation (built-in type or plug-in) to one sample.
//
// The pulse computation calls ComputeModulation for every sample of a
// repetition from the first rise sample to the first blank sample
// (n = 0 .. R + N + F, in increasing order). On the first sample (first flag
// set) the call prepares the whole repetition: it rebuilds the bit stream
// from the pulse's 32 data rows, reads the type's parameters by label, sets
// up the symbol timing and, for a plug-in, configures the module. Every later
// call only evaluates the type's per-sample rule: no look-up by label, no
// allocation and no log line.
//
// Conventions: the caller presets *amplitude to 1.0 before every call and
// keeps *phase (radians) across the samples of one repetition. A type either
// sets the phase (absolute phase) or adds its phase step to it (FM types,
// C-QPSK, D-QPSK, MSK, plug-ins that add). Results: 1 success, 0 failure
// with the reason logged as a "*** " line.
//
// Single-threaded: the bit stream and the state are process-wide, so only one
// pulse is computed at a time.
#pragma once

#include <cstdint>

#include "plugins/include/cadenza_plugin.h"

struct PulseRecord;
struct ModulationSample;
using ModulationSampleFn = int (*)(const ModulationSample& x, double* amplitude, double* phase);
// Block form of a rule: samples x.n .. x.n + count - 1 of the repetition,
// none of them the first. Writes amplitude[k] and the running phase after
// sample k to phaseOut[k]; *phase carries the phase in and out.
using ModulationBlockFn = int (*)(const ModulationSample& x, int count, double* amplitude, double* phaseOut,
                                  double* phase);

// Data bits of one repetition: at most 10,001 characters '0'/'1'.
inline constexpr int kModulationBitsMax = 10001;
inline constexpr int kModulationBitsSize = kModulationBitsMax + 1;  // with the NUL

// The stream of the current repetition, NUL-terminated; bit k is character k.
// Also handed to a plug-in as "mbits" (in full).
extern char ModulationBitStream[kModulationBitsSize];
// Number of bits in ModulationBitStream.
extern int32_t ModulationBitCount;

// Multi carrier start phases kept per repetition.
inline constexpr int kMultiCarrierPhases = 64;

// Values kept from the first sample of a repetition to its last. Parameters
// keep the units of their labels (kHz, MHz, us, degrees, %) unless noted.
struct ModulationState {
  int32_t code = 0;              // modulation type code of the repetition
  int32_t bitsPerSymbol = 0;     // from ModulationTypeTable; 0 without symbols
  int32_t symbolCount = 0;       // bits / bitsPerSymbol (integer division)
  double samplesPerSymbol = 0;   // (R + N + F) / symbolCount; 0 without symbols
  int64_t symbolSpan = 0;        // R + N + F when the symbols share the pulse; 0 otherwise (MSK)
  int32_t previousSymbol = -1;   // D-QPSK and MSK
  int32_t module = -1;           // ModuleTable index of the plug-in, -1 none
  ModulationSampleFn rule = nullptr;  // per-sample rule of a built-in type, nullptr none
  ModulationBlockFn blockRule = nullptr;  // block form of rule where the type has one

  // Plug-in engines bound on the first sample (mod_engine_2 preferred when
  // the module has it; the loader binds it only without mod_engine).
  mod_engine_fn engine = nullptr;
  mod_engine_2_fn engine2 = nullptr;
  mod_error_fn error = nullptr;

  // FM chirp
  int32_t rampType = 0;
  double chirpLogW1 = 0;         // ln(W + 1), W in Hz ("exp")
  double chirpLog10W1 = 0;       // log10(W + 1) ("exp 10")
  // Polynomial FM
  double polyMultiplier = 0;
  double polyTerms[7] = {};
  // FM
  double fmFreq = 0;             // kHz
  double fmDeviation = 0;        // kHz
  // FM stereo
  double stereoRightTone = 0, stereoLeftTone = 0;     // kHz
  double stereoRightLevel = 0, stereoLeftLevel = 0;
  double stereoDeviation = 0;                         // kHz
  double stereoPilot = 0, stereoAudio = 0;            // %
  // FSK
  double fskDeviation = 0;       // MHz
  // FSK(2): frequencies in MHz, durations in us and as fractional sample
  // counts, and the cursor into the bit list (bit index, running end of that
  // bit, and the sample it was found for).
  double fsk2F1 = 0, fsk2F2 = 0;
  double fsk2T1 = 0, fsk2T2 = 0;
  double fsk2S1 = 0, fsk2S2 = 0;
  int32_t fsk2Bit = 0;
  double fsk2End = 0;
  int32_t fsk2LastN = -1;
  // Multi tone (MHz)
  double toneFreq[5] = {};
  // Multi carrier
  double carrierSpacing = 0;     // kHz
  int32_t carrierCount = 0;
  int32_t carrierRandomPhase = 0;  // LIST item: 0 "yes", 1 "no"
  double carrierPhase[kMultiCarrierPhases] = {};
  // BPSK
  int32_t bpskType = 0;          // 0 BPSK, 1 C-BPSK
  double bpskPhase = 0;          // degrees
  int32_t bpskShape = 0;         // 0 cos, 1 linear
  double bpskTransition = 0;     // %
  int32_t bpskCoding = 0;        // 0 normal, 1 differential
  double bpskDiffPhase = 0;      // radians
  // Polyphase
  int32_t polyType = 0;          // 0 Frank, 1..4 P1..P4
  int32_t polyLength = 0;        // M
  int32_t polyPrevChip = -1;
  double polyChipPhase = 0;      // radians
  // QPSK and 8PSK
  int32_t pskType = 0;
  double pskRotation = 0;        // degrees per symbol
  double pskGainI = 1, pskGainQ = 1;
  double pskOffset = 0;          // degrees
  double qpskAngle = 0;          // degrees
  // MSK
  double mskRate = 0;            // symbol rate, Hz
  double mskStep = 0, mskTarget = 0, mskAccumulated = 0;  // radians
  // ASK
  double askDepth = 0;           // %
  int32_t askCoding = 0;         // 0 normal, 1 position
  int32_t askInvert = 0;         // 1: a data bit 1 gives the low level, 0 the high
  // AM
  double amFreq = 0;             // kHz
  double amDepth = 0;            // %
  int32_t amType = 0;            // 0 Standard, 1 LSB, 2 USB, 3 LSB+USB
};

extern ModulationState ModState;

// Symbol of sample n, floor(n * symbolCount / (R + N + F)) in exact integer
// arithmetic where the symbols share the pulse (so a symbol that starts
// exactly on a sample owns it), else trunc(n / samplesPerSymbol); not yet
// limited to the symbol range.
int ModulationSymbolOf(int64_t n);
// Position of sample n within symbol s of the pulse: 0 at the symbol's start,
// 1 at its end; 0 without a symbol length.
double ModulationSymbolPosition(int64_t n, int s);

// Applies the pulse's modulation to sample n of a repetition.
//   pulseIndex  the pulse's index in PulseTable (parameters and plug-in
//               configuration are read from there)
//   amplitude   in/out, preset to 1.0 by the caller
//   phase       in/out, radians, kept by the caller across the repetition
//   n           sample index, 0 at the first rise sample
//   R, N, F     rise, on and fall durations in samples
//   r           sample rate, Hz
//   pulse       the record: type code, plug-in name, data rows, levels
//   chirpWidth  FM chirp width W, Hz (FM chirp only)
//   firstSample non-zero on n = 0: prepare the repetition
//   marker      marker byte, cleared by the caller; only a plug-in's
//               mod_engine_2 writes it
int ComputeModulation(int pulseIndex, double* amplitude, double* phase, int n, int R, int N, int F,
                      double r, const PulseRecord& pulse, double chirpWidth, int firstSample,
                      unsigned char* marker);

// ComputeModulation over samples n0 .. n0 + count - 1 of a repetition, in
// order, with the same results sample for sample: amplitude[k] and marker[k]
// are preset by the caller as for ComputeModulation (1.0 and 0), and
// phaseOut[k] receives *phase after sample k. n0 = 0 prepares the
// repetition. Types with a block rule run it after the first sample; the
// others call ComputeModulation per sample. 1 success, 0 failure (logged).
int ComputeModulationBlock(int pulseIndex, double* amplitude, double* phase, double* phaseOut, int n0, int count,
                           int R, int N, int F, double r, const PulseRecord& pulse, double chirpWidth,
                           unsigned char* marker);

// Rebuilds ModulationBitStream from the pulse's data rows (Off rows skipped,
// all 32 rows walked). Pattern and user rows that do not fit are cut with a
// warning; a random row that does not fit fails. 1 success, 0 failure.
int BuildModulationBitStream(const PulseRecord& pulse);

// ---- type branches, shared by the modulation units ---------------------------

// Position of the current sample in the symbol timing.
struct ModulationSample {
  int n;          // sample index in the repetition
  int R, N, F;    // rise, on, fall samples
  double r;       // sample rate, Hz
  double W;       // chirp width, Hz
  int s;          // symbol index, limited to 0 .. symbolCount - 1
  int sPrev;      // symbol index of sample n - 1, limited to >= 0 (BPSK only, else 0)
  int first;      // non-zero on the first sample of the repetition
};

// Reads labelled values of a pulse in order; after the first missing label
// ok is false and the later reads do nothing.
struct ModulationParamReader {
  int pulse;
  bool ok = true;
  void Double(const char* label, double* out);
  void Int(const char* label, int32_t* out);
};
// Logs message and returns 0.
int ModulationFail(const char* message);

// Read the parameters of a frequency, phase or amplitude type into ModState,
// in label order; return 1, or 0 after the type's message. Codes of another
// family: 1 without reading.
int ModulationReadFmParams(int pulseIndex, int code, double chirpWidth);
int ModulationReadPskParams(int pulseIndex, int code);
int ModulationReadAmParams(int pulseIndex, int code);
// The per-sample rule of the repetition's type, chosen after its parameters
// are read; nullptr for a code of another family. A rule returns 1, or 0
// after logging the failure.
ModulationSampleFn ModulationFmRule(int code);
ModulationSampleFn ModulationPskRule(int code);
ModulationSampleFn ModulationAmRule(int code);
// The block rule of the repetition's type (chosen like its rule), nullptr
// for a type without one.
ModulationBlockFn ModulationFmBlockRule(int code);
