// Start-up and tear-down of the program.
//
// main refuses a second instance, reads the switches, runs InitApplication,
// the event loop and then TearDownApplication. InitApplication builds the
// panels, attaches tooltips and log outputs, initialises the waveform-file
// library and the VISA layer, loads the settings and the plug-ins, fills the
// plug-in trees, seeds the PRBS generators, loads the last project, creates
// the temporary sample files and checks the selected instrument. Each step
// is logged and, with "--dstartup", echoed on standard output.
#pragma once

// Switches of the command line.
extern int StartupEcho;      // "--dstartup": every step prints its line on standard output
extern int SkipProjectLoad;  // "--no-load-project": the last project is not loaded
extern int SkipScreenTest;   // "--no-screen-test": no screen-resolution check

// Looks for each switch once, as a substring anywhere in the command line
// (the arguments after the program name, joined by blanks).
void ReadCommandLine(int argc, char** argv);

// The start-up sequence. 1 = the program may run (also after the
// recoverable failures: low resolution, project not loaded, no temporary
// files, instrument not identified), 0 = start-up failed after its popup.
int InitApplication();

// After the event loop: instrument sessions closed, temporary files closed,
// settings saved, plug-ins shut down, log outputs detached, panels
// discarded, temporary files deleted.
void TearDownApplication();

// The screen check: 1 when a maximised window's client width below 1000 or
// a screen height below 720 calls for the low-resolution warning.
int LowScreenResolution(int clientWidth, int screenHeight);
