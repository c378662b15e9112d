// The keyword vocabulary of the program's small enumerations: the texts
// under which the project file stores them, the editors tag their tree items
// and ring cells, and the waveform builder logs them.
//
// From-keyword functions compare exactly (case-sensitive, no trimming) and
// return the enumeration's default for any other text, a null pointer
// included. To-keyword functions return a static text, "" for a code that
// has no keyword. None of them keeps state or allocates.
#pragma once

// Enumeration codes (plain integers in the records).
enum EdgeType { EDGE_LINEAR = 0, EDGE_RCOS = 1, EDGE_RRCOS = 2, EDGE_SQROOT = 3 };

enum ModulationType {
  MOD_NONE = 0, MOD_BARKER = 1, MOD_FMCHIRP = 2, MOD_ASK = 3, MOD_QPSK = 4, MOD_FSK = 5,
  MOD_FM = 6, MOD_AM = 7, MOD_VSB = 8, MOD_FSK2 = 9, MOD_MULTI = 10, MOD_VSB16 = 11,
  MOD_POLYPHASE = 12, MOD_FMCHIRPPOLY = 13, MOD_FMMULTICW = 14, MOD_FMSTEREO = 15,
  MOD_8PSK = 16, MOD_MSK = 17, MOD_EXT = 100
};

enum JitterParam {
  JIT_ONPERIOD = 0, JIT_LEVEL = 1, JIT_FREQUENCY = 2, JIT_BLANKPERIOD = 3, JIT_CHIRPDEV = 4,
  JIT_PRF = 5, JIT_PRI = 6, JIT_DELAY = 7, JIT_RISE = 8, JIT_FALL = 9, JIT_ATTOFF = 10,
  JIT_PHASE = 11, JIT_SKIP = 12
};

enum JitterMode {
  JMODE_OFF = 0, JMODE_SAME = 1, JMODE_INDIVIDUAL = 2, JMODE_NEXT = 3, JMODE_REUSE = 4,
  JMODE_MSEG = 5
};

enum JitterDist {
  JDIST_WHITENOISE = 0, JDIST_GAUSSNOISE = 1, JDIST_RAMP = 2, JDIST_SINE = 3, JDIST_STAIR = 4,
  JDIST_LIST = 5, JDIST_LFIX = 6, JDIST_SHAPE = 7, JDIST_RULES = 8
};

enum SyncType { SYNC_BLANK = 0, SYNC_CW = 1 };

enum WindowType {
  WIN_RIFEVINCENT = 1, WIN_HANN = 2, WIN_HAMMING = 3, WIN_RECT = 4, WIN_BLACKMANN = 5,
  WIN_BLACKHARRIS = 6, WIN_FLATTOP = 7
};

enum FilterType {
  FILT_SINC = 1, FILT_RRCOS = 2, FILT_RCOS = 3, FILT_GAUSS = 4, FILT_CXSINC = 5,
  FILT_CXRRCOS = 6, FILT_CXRCOS = 7, FILT_CXGAUSS = 8, FILT_USER = 9
};

// Default 0 "linear".
int EdgeTypeFromKeyword(const char* keyword);
const char* EdgeTypeToKeyword(int code);

// Default 0 "none". Code 100 is "ext" (a modulation plug-in).
int ModulationFromKeyword(const char* keyword);
const char* ModulationToKeyword(int code);
// Label of the modulation tree ("OFF", "BPSK", "FM chirp" ...); "" for 100.
const char* ModulationDisplayName(int code);

// Default 0 "OnPeriod".
int JitterParamFromKeyword(const char* keyword);
const char* JitterParamToKeyword(int code);

// Default 0 "OFF". Also reads the older spellings "off", "once", "always",
// "->once" and "prev".
int JitterModeFromKeyword(const char* keyword);
const char* JitterModeToKeyword(int code);

// Default 0 "whitenoise".
int JitterDistFromKeyword(const char* keyword);
const char* JitterDistToKeyword(int code);

// Default 0 "tsync" (blank filler).
int SyncTypeFromKeyword(const char* keyword);
const char* SyncTypeToKeyword(int code);

// Default 4 "rect"; code 0 has no keyword.
int WindowFromKeyword(const char* keyword);
const char* WindowToKeyword(int code);

// Default 1 "sinc"; code 0 has no keyword.
int FilterFromKeyword(const char* keyword);
const char* FilterToKeyword(int code);

// "PN9", "PN15" ... "USER" (10); "" for codes without a text (8, 9 ...).
const char* PnTypeToText(int code);
