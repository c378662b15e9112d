// The generation side of the Sequence Editor: its busy state, the choice of
// the sequence's local waveform file, the waveform-file information dialog,
// and Generate, which opens the sequence's report, builds the waveform file
// and shows the result.
#pragma once

#include <string>
#include <vector>

#include "wavelib/WaveLib.h"

// busy 1: the library controls and every editing control of TAB_SEDIT are
// dimmed and only CMD_STOP is enabled; busy 0: the other way round.
void SetSequenceEditorBusy(int busy);

// The lines that the INFO dialog shows for a waveform file's tag header.
std::vector<std::string> SequenceWaveInfoLines(const WaveFileInfo& info);

// Puts the Sequence Editor's members into the installed waveform-builder
// host (the entry table rows, the build summary line, the progress bars,
// the status line and the abort question); the other members stay.
void SequenceEditor_InstallBuildHost();

// Control callbacks of CMD_FSEL, CMD_WVINFO and CMD_GENERATE; commit only.
// Return 0.
int SequenceSelectWaveFileCb(int panel, int control, int event, void* callbackData, int eventData1,
                             int eventData2);
int SequenceWaveInfoCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int SequenceGenerateCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
