// The Sequence View's discrete Fourier transform: X[k] = sum over j of
// x[j] e^(-2 pi i j k / n), unnormalised, of n complex floats of any length,
// computed with FFTW (single precision) in steps of bounded time so that the
// caller can keep the window live and offer Cancel between them.
//
// Lengths up to the direct limit are one FFTW transform (its slowest case, a
// prime near 2^17, plans and runs in about 20 ms). Longer ones are split
// n = n1 x n2 (both factors within the limit, as near sqrt(n) as a divisor
// allows) and run as batches of short transforms with a twiddle pass between
// them; the result is then held in transposed order (see ViewDft_Bin). A
// length that splits so into no two factors (a large prime factor) is done
// by Bluestein's chirp convolution over a smooth length m >= 2n - 1, itself
// split as above; its result is in natural order.
#pragma once

#include <complex>
#include <cstdint>

// Longest transform done in one FFTW call.
inline constexpr int64_t kViewDftDirectLimit = int64_t{1} << 17;

// Where bin k of the result lies: bins of row r (0 .. rows - 1) and column c
// (0 .. cols - 1) are stored at index r * cols + c and hold
// k = r * rowStep + c * colStep.
struct ViewDftLayout {
  int64_t n = 0;
  int64_t rows = 1, cols = 0;
  int64_t rowStep = 0, colStep = 1;
};

inline int64_t ViewDft_Bin(const ViewDftLayout& layout, int64_t index) {
  return index / layout.cols * layout.rowStep + index % layout.cols * layout.colStep;
}

// Called between steps with the fraction done (0..1); a non-zero result
// stops the transform.
typedef int (*ViewDftTick)(void* context, double fraction);

enum ViewDftResult { VIEW_DFT_STOPPED = 0, VIEW_DFT_DONE = 1, VIEW_DFT_NO_MEMORY = -1 };

// Transforms data[0 .. n-1] in place (n >= 1) and describes the result's
// order in *layout. tick may be null. directLimit (at least 2) is the
// longest single FFTW call; tests lower it to reach the split and the chirp
// paths with short lengths. After VIEW_DFT_STOPPED or VIEW_DFT_NO_MEMORY the
// data are undefined.
int ViewDft_Forward(std::complex<float>* data, int64_t n, ViewDftLayout* layout, ViewDftTick tick, void* context,
                    int64_t directLimit = kViewDftDirectLimit);

// The buffer type FFTW prefers (aligned); null when memory is short.
std::complex<float>* ViewDft_Alloc(int64_t count);
void ViewDft_Free(std::complex<float>* data);
struct ViewDftDeleter {
  void operator()(std::complex<float>* p) const { ViewDft_Free(p); }
};
