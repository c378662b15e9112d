// Builder of the Sequence View tab page TAB_VIEW: the time graph, the I/Q
// plane with its density colour scale, the spectrum, the cursor readouts,
// the navigation and zoom buttons, the position slide and the two mode rings.
// The control ids are the TAB_VIEW_* globals of editors/SequenceViewIds.h;
// all logic lies in the view's callbacks (editors/SequenceView.h).
#pragma once

// Builds the page as a top-level panel (parent 0 from BuildMainPanel) and
// returns its handle, or the first negative status of a run-time call (the
// half-built panel is left to the caller).
int BuildSequenceViewPanel(int parent);
