// The Sequence View's read pass (SequenceViewPass.cpp), used by
// DrawSequenceView: the viewport's display points and density grid, the
// samples of a short viewport for the vector diagram, and the spectrum.
#pragma once

#include <memory>
#include <vector>

#include "editors/SequenceView.h"

enum ViewPassResult { VIEW_PASS_FAILED = 0, VIEW_PASS_DONE = 1, VIEW_PASS_CANCELLED = 2 };

struct ViewPassOutput {
  std::unique_ptr<ViewPicture> picture = std::make_unique<ViewPicture>();
  std::vector<float> samples;    // I, Q of every sample of a viewport below 2,000 samples
  int spectrumMissing = SPECTRUM_MADE;  // SpectrumMissing; SPECTRUM_MADE: state holds the new spectrum
};

// Reads the viewport of s (clamped, first < last) from s->iqFile in pieces
// of half a megabyte. Viewports of more than 1,024,000 samples (points of
// more than one summary block) are drawn from the file's summary, made
// here on the first such draw. A whole-file spectrum
// is kept for the file and used again while the file is the same. Work of
// more than kViewProgressWork samples runs under the progress window, which
// keeps the window live and whose Cancel ends the pass: VIEW_PASS_CANCELLED
// before the display points are complete (the summary made so far is kept
// for the next draw), or VIEW_PASS_DONE with SPECTRUM_CANCELLED during the
// spectrum. VIEW_PASS_FAILED after a short read, logged.
int ViewPass_Run(SequenceViewState* s, ViewPassOutput* out);

// Forgets the summary and whole-file spectrum of the previous file.
void ViewPass_DropFileCache();
