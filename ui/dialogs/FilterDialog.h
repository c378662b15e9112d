// Builder of the Baseband Filter dialog FILTER. Its control ids and
// callbacks are declared in editors/BasebandFilter.h.
#pragma once

// Creates FILTER as a top-level window (parent 0) or a child panel, hidden.
// Returns the panel handle or the first negative status of a run-time call.
int BuildBasebandFilterPanel(int parent);
