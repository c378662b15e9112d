// Window functions, design of the finely tabulated resampling kernel, the
// band-limited noise source of the pulse computation one pair at a time and
// a cyclic convolution.
//
// A window is a cosine sum  w(n) = sum_j c_j * cos(2*pi*j*n/N)  over its
// points n = 0..N; the coefficient sets are those of kWindowTable below.
//
// Kernel tables hold kKernelTablePoints doubles. Table point k stands for
// the tap offset x_k = k*D - h input samples, h = (L - 1)/2 for a window
// length L and D = 2h/19,999: the table spans -h..+h input samples with
// P = 19,999/(2h) points per sample, and the resampler interpolates it
// linearly with the first differences diff[k] = kernel[k+1] - kernel[k].
#pragma once

#include <cstdint>

inline constexpr int kKernelTablePoints = 20000;
// Window lengths (filter taps) the design and the resampler accept. Below 3
// the kernel has no support; above 19,999 the table has less than one point
// per input sample.
inline constexpr int kMinKernelLength = 3;
inline constexpr int kMaxKernelLength = 19999;

// Window codes.
enum WindowCode {
  WINDOW_RIFEVINCENT = 1,
  WINDOW_HANN = 2,
  WINDOW_HAMMING = 3,
  WINDOW_RECT = 4,
  WINDOW_BLACKMANN = 5,
  WINDOW_BLACKHARRIS = 6,
  WINDOW_FLATTOP = 7
};

// Filter codes. The "cx" shapes are complex kernels whose pass band lies
// from 0 to twice the cut-off (the real shape moved up by the cut-off).
enum FilterCode {
  FILTER_SINC = 1,
  FILTER_RRCOS = 2,
  FILTER_RCOS = 3,
  FILTER_GAUSS = 4,
  FILTER_CXSINC = 5,
  FILTER_CXRRCOS = 6,
  FILTER_CXRCOS = 7,
  FILTER_CXGAUSS = 8,
  FILTER_USER = 9
};

// 1 for the complex shapes 5..8.
int IsComplexFilter(int filter);

// One row of the window table.
struct WindowInfo {
  int code;
  int count;             // coefficients used
  double coeffs[5];
};

// Points *coefficients at the window's set and stores its size in *count.
// Any other code logs "*** Unknown window function." and gives an empty set
// (nullptr, 0). Returns 1 for a known window, else 0.
int GetWindowCoefficients(const double** coefficients, int* count, int window);
// The window's value at point n of a window over points 0..span.
double WindowValue(const double* coefficients, int count, double n, double span);

// Fills the kernel tables (kKernelTablePoints each) for a window length L:
// filters 1..8 from cutoff/designClock (cycles per input sample) and alpha
// (roll-off, or the Gaussian's bandwidth factor), filter 9 from the user
// coefficient arrays (userLength <= L values at userOversampling values per
// input sample) centred in the table at their own spacing, so that a
// symmetric set delays nothing; all windowed. With the
// difference arrays given they receive the first differences (the last one
// repeated). Returns 1, or 0 with a logged reason for an unknown window
// ("*** Unknown window function.") or filter ("*** Unknown filter
// function."), a window length outside 3..19,999, missing tables, missing
// or too long user coefficients, an invalid cut-off or clock, a Gaussian
// BT of 0 or below, or a kernel that is all zero or not finite; the tables
// are cleared on every failure once they are known to exist.
int DesignFilterKernel(int window, int filter, double alpha, int L, const double* userI, const double* userQ,
                       int userLength, int userOversampling, double* kernelI, double* kernelQ, double* diffI,
                       double* diffQ, double cutoff, double designClock);

// Band-limited complex Gaussian noise, one pair per call: the source of
// engine/PulseNoise.h with gain 1, so E[I^2 + Q^2] = 1 for every bandwidth.
// With init non-zero the source is set up for bandwidth (Hz, fs/1000 ..
// fs/2, a two-sided band of -bandwidth/2 .. +bandwidth/2) at sample rate fs
// (Hz) and starts in its stationary state: 0 for values outside that range
// (the source stays as it was). Every call returns the next pair. 0 when an
// output is missing.
int FilteredNoise(double* noiseI, double* noiseQ, int init, double bandwidth, double fs);

// y[i] = sum_{k=-h..h} x[(i + k) mod n] * taps[k + h], h = (L - 1)/2, for
// i = 0..n-1. Nothing is computed for missing arrays, L < 1, L > n or n < 1.
// Returns h.
int CyclicConvolve(const double* x, int n, const double* taps, int L, double* y);
