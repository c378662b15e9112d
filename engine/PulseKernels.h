// Block kernels of the pulse computation: the carrier (cosine and sine of a
// block of phases), the running peak and the float32 packing of I/Q pairs.
//
// The kernels run over blocks of at most kPulseBlockSamples samples whose
// per-sample amplitudes and phases the pulse computation has prepared in
// sample order. The carrier calls the C library's vector math functions
// (chosen at run time): with AVX2 four doubles per call for the first
// 4*(m/4) samples of a block, then two, then one; without, two per call,
// then one. Their results lie within a few units in the last place of the
// scalar cos and sin, far below the float32 rounding of the stored samples;
// every sample keeps its call whatever the compiler's optimisation.
#pragma once

#include <cstdint>

// Samples per block.
inline constexpr int kPulseBlockSamples = 256;

// i[j] = amp[j]*cos(phase[j]), q[j] = amp[j]*sin(phase[j]) for j < m.
void PulseKernel_Carrier(const double* phase, const double* amp, double* i, double* q, int m);

// max(peak, sqrt(i^2 + q^2)) over the block, evaluated in double; a NaN
// magnitude leaves the peak as it is.
double PulseKernel_Peak(const double* i, const double* q, int m, double peak);

// out[2j], out[2j+1] = float(first[j]), float(second[j]), stored as the
// 8 little-endian bytes of the pair (out needs no alignment).
void PulseKernel_PackIq(const double* first, const double* second, unsigned char* out, int m);

// The running phase phi_k = phi_(k-1) + step (each sum rounded) as a run of
// exact multiples: returns n >= 0 and sets *delta so that phi + k*delta,
// evaluated in double, is bit for bit phi_k for k = 1..n (0: take the
// steps one by one). Runs end where the phase changes binade.
int64_t PulseKernel_PhaseRun(double phi, double step, double* delta);

// *phi after m steps phi += step, each rounded, bit for bit (runs of
// PulseKernel_PhaseRun taken at once).
void PulseKernel_AdvancePhase(double* phi, double step, int64_t m);

// A block of m samples at one level with the running carrier phase, in one
// pass: per sample *phi += step, then I = level*cos(*phi + 0.0 + 0.0),
// Q = level*sin(the same), packed as PulseKernel_PackIq packs them (Q first
// with swapIq) into out, and kept in i and q unless those are null. Bit for
// bit the values of the phase loop followed by PulseKernel_Carrier and
// PulseKernel_PackIq on the same block (the doubles in i and q from the same
// vector or scalar cos and sin; without i and q a faster cos and sin serves
// wherever its float32 values are certain to be those). Only where
// PulseKernel_LevelBlockAvailable() (AVX2 with FMA); elsewhere the caller
// computes the block step by step.
bool PulseKernel_LevelBlockAvailable();
void PulseKernel_LevelBlock(double* phi, double step, double level, int m, bool swapIq, double* i, double* q,
                            unsigned char* out);
// The same phases and levels into i and q, with cosine and sine from the
// faster series (within 2^-47 of the library's; its own calls beyond phases
// of 2^20): the carrier under noise, whose values nobody needs closer. Only
// where PulseKernel_LevelBlockAvailable().
void PulseKernel_LevelCarrier(double* phi, double step, double level, int m, double* i, double* q);
