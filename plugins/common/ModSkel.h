// Shared skeleton of the modulation plug-ins: bounded text copies into the
// host's buffers, the last error text, the pulse timing keys, the data-bit
// text and the "DBL" configuration rows.
//
// ModSkel.cpp is compiled into every plug-in library on its own, so each
// library keeps its own copy of these helpers and of every static it defines;
// nothing here is shared between two loaded plug-ins.
#pragma once

#include <cstddef>

#include "cadenza_plugin.h"

// Bound of a text copy into a host buffer, terminator included. The fixed
// texts and the error text stay one byte short of the host's buffer.
constexpr std::size_t kModSkelTextBound = CZ_MOD_TEXT_SIZE - 1;        // 1,023
constexpr std::size_t kModSkelCommentBound = CZ_MOD_COMMENT_SIZE - 1;  // 4,095
constexpr std::size_t kModSkelConfTextBound = CZ_CONF_TYPE_SIZE - 1;   // 255

// The host's data-bit stream holds at most 10,001 '0'/'1' characters and its
// terminator; the plug-ins keep the whole text.
constexpr std::size_t kModSkelBitTextSize = CZ_MBITS_SIZE;

// Bits of a squitter or reply: 56 or 112 (pulse-position modulation, 1 us each).
constexpr int kModSkelMaxBits = 112;

// Error texts shared by several plug-ins (the host shows them after
// "*** Module error: ").
extern const char kModSkelErrSampleRate[];
extern const char kModSkelErrArgument[];

// Copies src into dst, writing at most bound bytes with the terminator.
// Returns 1, or 0 (nothing written) for a null dst or a bound of 0.
int ModSkel_CopyText(char* dst, const char* src, std::size_t bound);

// Copies src into dst of size bytes and fills the rest of dst with NULs; a
// src of size bytes or more is cut to size - 1 so that dst stays terminated.
int ModSkel_CopyTextPadded(char* dst, const char* src, std::size_t size);

// The last error text of a plug-in; empty when there is no error.
struct ModSkelError {
  char text[CZ_MOD_ERROR_SIZE];
};

void ModSkel_ClearError(ModSkelError* err);
void ModSkel_SetError(ModSkelError* err, const char* text);
// Copies the error text into out (bounded as for the fixed texts, or padded
// to the whole host buffer when padded is non-zero) and empties it.
void ModSkel_TakeError(ModSkelError* err, char* out, int padded);

// Pulse timing handed over by the host before every pulse repetition.
struct ModSkelTiming {
  int trise;     // rise time, samples
  int ton;       // on time (flat top), samples
  int tfall;     // fall time, samples
  double srate;  // sample rate, Hz
};

// Stores the value of "trise", "ton", "tfall" (int*) or "srate" (double*);
// keys compare exactly and case-sensitively. Returns 1 when the key was one
// of the four, 0 for every other key or a null value (nothing changes then).
int ModSkel_SetTiming(ModSkelTiming* timing, const char* key, const void* value);

// The pulse's data bits as the host passed them ("mbits").
struct ModSkelBitText {
  char text[kModSkelBitTextSize];
};

// Keeps a copy of text; a null text is kept as "". Returns 1 when the whole
// text was kept, 0 when it was longer than the host can send (the first
// 10,001 characters are kept then).
int ModSkel_StoreBits(ModSkelBitText* bits, const char* text);

// Walks text from its start until its end or until max_bits bits are taken:
// '1' gives 1, '0' gives 0, every other character is skipped. Returns the
// number of bits written to out.
int ModSkel_ParseBits(const char* text, unsigned char* out, int max_bits);

// One configuration row of type "DBL": label and limits in the unit shown
// to the user.
struct ModSkelConfRow {
  const char* label;
  double dflt;
  double min;
  double max;
};

// mod_getconf over a const row table: 1 with type "DBL", the label and the
// three doubles written for 0 <= row < count, else 0 and nothing written.
int ModSkel_GetConf(const ModSkelConfRow* rows, int count, int row, char* type, char* label,
                    void* dflt, void* min, void* max);

// Where a sample lies on a grid of half-microsecond cells (the pulse-position
// plug-ins' bit grid): the cell that holds sample / srate, and whether the
// sample falls exactly on that cell's start. At a whole sample rate this is
// exact integer arithmetic; at any other rate an edge is met within a
// millionth of a sample, so no rounding error moves a sample across it.
struct ModSkelHalfMicro {
  long long cell;
  int on_edge;
};
ModSkelHalfMicro ModSkel_HalfMicroCell(int sample, double srate);
