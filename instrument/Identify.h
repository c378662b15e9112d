// Identification of the selected instrument and the capability record that
// the editors, the engine and the transfer code read.
#pragma once

#include <cstddef>
#include <cstdint>

// Limits and features of the selected instrument. Clocks in Hz, memory in
// samples, flags 0/1.
struct InstrumentCapabilitiesRecord {
  std::int32_t Type;          // InstrumentType
  std::int32_t Connected;     // 1 while an instrument is selected and identified
  std::int32_t MaxClock;
  std::int32_t MinClock;
  std::int32_t RfListMax;     // largest RF list the instrument takes, points
  std::int32_t ArbSamplesA;   // 0 = no waveform generator on path A
  std::int32_t ArbSamplesB;
  std::int32_t RfPathA;
  std::int32_t RfPathB;
  std::int32_t MultiSegment;
  std::int32_t UnixPaths;     // 1: '/' separated file system; kept across a reset
};

extern InstrumentCapabilitiesRecord InstrumentCapabilities;

// Capacity of the identity text (the instrument manager's buffer).
inline constexpr std::size_t kIdentifyInfoSize = 2048;

// Every field but UnixPaths back to the no-instrument defaults.
void ResetInstrumentCapabilities();
double GetMinClock();
double GetMaxClock();

// Opens resource as instrument 0, reads its identity and options, closes it
// and fills InstrumentCapabilities; the identity text goes to infoText
// (infoSize bytes). On success the resource becomes the selected instrument
// (g_Settings.Select). 1 = identified; 0 = failure with a status-line
// message, the record and the selection unchanged. A model without support
// is identified (1, identity text filled) but selects nothing: the record,
// Connected and Select stay as they were and the status line says
// "Error: Instrument Type Not Supported.".
int IdentifyInstrument(const char* resource, char* infoText, std::size_t infoSize);

// After an IdentifyInstrument that returned 0: 1 when the instrument failed
// for a reason that passes (another client held its lock, it did not answer
// in time), so that it stays the selected one; 0 when it is not there.
int IdentifyFailurePasses();
// A selected instrument (g_Settings.Select) whose identification failed for
// a reason that passes: it stays selected and is identified at its next use
// (OpenIdentifiedInstrument). New selections and deselections end it.
void KeepSelectionUnidentified(const char* resource);
int SelectionAwaitsIdentification();

// The status line of an instrument id that failed to open: "Error: Failed to
// Open VISA Device.", or "Error: Another Client Holds the Instrument's
// Lock." when that was the reason.
const char* OpenFailureStatus(int id);

// Opens the selected instrument (g_Settings.Select) as instrument id for an
// operation and checks that the identity it reads at the open is the model
// identified last. A selection awaiting its identification is identified
// first (and shown as the Instrument Manager's selection). 1: open and the same model (or nothing identified yet);
// 0: the open failed (the caller reports it); -1: another model answers,
// the device is closed again, nothing was sent but the open's own queries,
// and the log and status line say that the instrument changed and must be
// identified again.
int OpenIdentifiedInstrument(int id);

// Counts the successful identifications, so that what was derived from the
// capability record (the Transfer page's linked file names) can be rebuilt
// when it changes.
int InstrumentIdentification();
// The default file directory of the instrument identified last ("" before).
const char* IdentifiedDefaultDirectory();
