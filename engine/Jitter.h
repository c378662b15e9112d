// The jitter engine: draws one value per pulse repetition for each of a
// pulse's four jitter blocks, under the sequence entry's jitter modes, and
// keeps a history so that later entries can reuse the values. One
// distribution, "rules", evaluates the small rule language
//   "<count>:<value>:<repetitions>"
// whose fields are numbers or the sections rand(min,max,step) and
// stagger(min,max,step).
//
// State (history, restart flags, rule and stagger state) lives for the whole
// run; the caller owns the current values and a work pool per build.
#pragma once

#include <cstdint>
#include <vector>

#include "app/PulseRecord.h"

inline constexpr int kJitterHistorySize = 10001;  // values per block
inline constexpr int kJitterPoolSize = 10000;     // work-pool doubles per block
inline constexpr int kJitterRuleTextMax = 63;     // characters of one rule

extern double JitterHistory[kJitterBlocks][kJitterHistorySize];
extern int32_t JitterHistoryCount[kJitterBlocks];
extern int32_t JitterRuleRestart[kJitterBlocks];

// The caller's work pool: one area of 10,000 doubles per block. Element 0
// of an area doubles as the list or rule position of lfix, shape and rules;
// the whole area holds the Gaussian pool of gaussnoise.
struct JitterPool {
  double area[kJitterBlocks][kJitterPoolSize];
};

// The engine's jitter state that runs on from build to build (the history,
// its counts, the rule restarts and positions, the stagger values), saved
// and put back whole (EngineStateSnapshot).
std::vector<unsigned char> JitterSaveState();
void JitterRestoreState(const std::vector<unsigned char>& state);

// Draws the values of one repetition (0-based) of an entry with
// `repetitions` repetitions. update[k] != 0 asks for a new value of block k;
// modes are the entry's jitter modes (JitterMode codes). 1 success, 0
// failure (logged).
int ComputeJitter(const PulseRecord* pulse, double values[kJitterBlocks], JitterPool* pool,
                  const int32_t update[kJitterBlocks], int repetition, int repetitions, int mode1,
                  int mode2, int mode3, int mode4, int resetAll, int firstRepetition,
                  int segmentIndex);

// True when the text contains "(".
bool HasArgumentList(const char* text);
// Splits "<keyword>(<argument list>)"; keyword and arguments hold 64 bytes.
int SplitRuleSection(const char* text, char* keyword, char* arguments);
// rand(min,max,step): min + i*step with i one of the GridValues(max - min,
// step) whole numbers, each equally likely (min when max < min).
int ParseRandRule(double* value, const char* arguments);
// Points of the grid 0, step, 2*step, ... up to span: trunc(span/step) + 1,
// where a quotient within 1e-9 (relative, at most 1e-6) of a whole number
// counts as that number (a span of 0.3 in steps of 0.1 holds four points,
// not three as its rounded quotient 2.9999999999999996 would give); 0 when
// span < 0, step <= 0 or the grid has more points than RandomIndex draws.
uint64_t GridValues(double span, double step);
// stagger(min,max,step) for one block: min on start, then += step, capped at max.
int ParseStaggerRule(double* value, const char* arguments, int start, int block);
// Evaluates one rule for a block: 1 when a value was produced; *finished is
// set once the rule has given all its values.
int EvalJitterRules(int block, const char* ruleText, int start, int* finished, double* value);

// A plain number or a rand() section (the repetition counts of the
// multi-segment build use this). 1 and *value, or 0 (logged).
int EvalRuleNumber(const char* text, double* value);
