// Builders of the pulse editor's sub-panels. Each takes the parent panel
// handle (the start-up passes TAB_PEDIT) and returns the new child panel's
// handle or the negative status of the first run-time call that failed; the
// caller stores the handle in the panel's global (P_TIM, P_JIT, ...).
#pragma once

// P_TIM, with the four custom-envelope pages inserted into P_TIM_TAB_IMPORT
// (page 0 T_IMP, 1 T_ENV, 2 T_IQ, 3 T_VIEW).
int BuildPulseTimingPanel(int parent);
// P_JIT: the four jitter blocks and the selected block's details.
int BuildJitterPanel(int parent);
// P_MOD: modulation type tree, parameter table and data table.
int BuildPulseModulationPanel(int parent);
// P_MISC: levels, noise, phase and frequency offset.
int BuildPulseMiscPanel(int parent);
// P_MARKER: the marker grid and the marker diagram.
int BuildPulseMarkerPanel(int parent);
