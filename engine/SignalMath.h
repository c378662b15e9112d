// Numeric routines on double arrays shared by the engine and the Sequence
// View: I/Q <-> magnitude/phase, quadratic interpolation of a short array,
// sinc and Gaussian kernels, Gaussian random numbers, scaling to an RMS.
// They keep no state and allocate nothing unless stated. Angles in radians.
#pragma once

#include <cstdint>

// The engine's pi.
inline constexpr double PiConstant = 3.141592653589793;

// mag = sqrt(i^2 + q^2), phase = atan2(q, i), both rounded to float32
// precision. q == 0 gives phase 0 for i > 0 and pi for i <= 0, so (0, 0)
// gives pi. n values each.
void IqToMagPhase(const double* i, const double* q, unsigned n, double* mag, double* phase);
// i = mag*cos(phase), q = mag*sin(phase).
void MagPhaseToIq(const double* mag, const double* phase, unsigned n, double* i, double* q);

// Interpolates x (n samples spaced inStep) onto y (m samples spaced outStep,
// starting at the same instant) with a three-point quadratic; output beyond
// the second-last input holds x[n-1]. With one input point y is constant,
// with two it is the straight line through them; n == 0 clears y. Both steps
// must be positive (otherwise y is filled with x[0]).
void ResampleQuadratic(const double* x, double inStep, int n, double* y, double outStep, int m);

// Sinc kernel of 2*half + 1 values, h[half] = 1: h[half +- k] = sin(t)/t with
// t = 2*pi*k*a/b, times the Lanczos window sin(u)/u, u = k*pi/half, when
// windowed is non-zero.
void MakeSincKernel(int half, double a, double b, int windowed, double* h);
// length values: zeroes h, then the unwindowed sinc of half = (length-1)/2
// with a/samplesPerSymbol; *centre = half.
void MakeSincKernelCentered(int length, int samplesPerSymbol, double a, double* h, double* centre);
// Gaussian of n values for the bandwidth-time product bt at samplesPerSymbol
// samples per symbol; *centre = n/2, which is also returned.
int MakeGaussKernel(int n, int samplesPerSymbol, double bt, double* h, double* centre);
// The Gaussian of MakeGaussKernel integrated over one symbol (difference of
// the sums over the half symbols either side); *centre = n/2 - 0.5. Leaves h
// unchanged when its scratch array cannot be allocated.
void MakeGaussPulseKernel(int n, int samplesPerSymbol, double bt, double* h, double* centre);

// 1/tan(x).
double Cot(double x);

// n standard normal numbers by Box-Muller from RandomRand (engine/Random.h):
// u1 = (r mod 1000 + 1)/1001, u2 likewise, value = sqrt(-2 ln u1)*cos(2 pi u2).
// 0 when out is missing; n < 1 writes nothing and returns 1.
int GaussianNoise(int n, double* out);

// Scales x so that its RMS becomes target. An empty or all-zero array stays
// unchanged. Returns 1.
int NormalizeRms(int n, double* x, double target);
