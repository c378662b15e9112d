// Statistics of the final samples of a build, taken in one pass: the sum of
// I^2 + Q^2 for the RMS, the largest I^2 + Q^2 for the peak as written, and
// the smallest and largest single value, which tell whether every int16
// sample of the file is zero.
//
// The sum runs in four lanes, lane = sample index mod 4 counted from the
// first sample of the waveform, each lane added in sample order; the lanes
// are added up as (l0 + l1) + (l2 + l3) at the end. Independent chains for
// speed, and the same result however the samples are handed over in blocks.
// I^2 + Q^2 is formed in double from the float32 values, product and sum
// rounded separately. Maximum and minimum do not depend on order, so they
// are kept per lane as well and merged at the end.
#pragma once

#include <cstdint>

struct SquareSum {
  double lane[4] = {0.0, 0.0, 0.0, 0.0};
  double largest[4] = {0.0, 0.0, 0.0, 0.0};
  // Per float position in a group of four pairs (I0 Q0 I1 Q1 ..).
  float lo[8] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  float hi[8] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  int64_t next = 0;  // index of the next sample, for its lane

  // `count` I/Q pairs of float32 (8 little-endian bytes each, any
  // alignment), the next samples of the waveform.
  void Add(const void* iq, int64_t count);
  // `count` samples of the one pair (i, q), as Add would take them.
  void AddConstant(float i, float q, int64_t count);
  // `count` samples whose pairs nobody has formed, each I^2 + Q^2 known to
  // lie in pLo .. pHi (0 < pLo <= pHi) and each value to convert to int16
  // zero: the lanes take them as Add would take any such pairs, where that
  // is certain (every one of their sums comes out the same wherever the
  // squares lie in the range; runs of them are taken at once). False, with
  // nothing changed, where it is not: the caller forms the pairs and Adds
  // them. The smallest and largest single values are left as they are (the
  // values convert to int16 zero, so Silent is the same either way).
  bool AddBounded(int64_t count, double pLo, double pHi);
  // The same for squares that depend on the sample's class: sample k of the
  // run (0-based) has class (phase + k) mod classes, its square within
  // pLo[class] .. pHi[class] (0 <= pLo <= pHi).
  bool AddBoundedClasses(int64_t count, int64_t classes, int64_t phase, const double* pLo, const double* pHi);
  double Total() const { return (lane[0] + lane[1]) + (lane[2] + lane[3]); }
  // Largest magnitude sqrt(I^2 + Q^2).
  double Peak() const;
  // Every value converts to int16 zero.
  bool Silent() const;
};
