#include "app/Keywords.h"

#include <cstring>
#include <span>

namespace {

// One {code, keyword} pair; each enumeration has one table, read both ways.
struct KeywordPair {
  int code;
  const char* keyword;
};

constexpr KeywordPair kEdgeTypes[] = {
    {EDGE_LINEAR, "linear"}, {EDGE_RCOS, "rcos"}, {EDGE_RRCOS, "rrcos"}, {EDGE_SQROOT, "sqroot"},
};

constexpr KeywordPair kModulations[] = {
    {MOD_NONE, "none"},          {MOD_BARKER, "barker"},   {MOD_FMCHIRP, "fmchirp"},
    {MOD_ASK, "ask"},            {MOD_QPSK, "qpsk"},       {MOD_FSK, "fsk"},
    {MOD_FM, "fm"},              {MOD_AM, "am"},           {MOD_VSB, "vsb"},
    {MOD_FSK2, "fsk2"},          {MOD_MULTI, "multi"},     {MOD_VSB16, "vsb16"},
    {MOD_POLYPHASE, "polyphase"}, {MOD_FMCHIRPPOLY, "fmchirppoly"}, {MOD_FMMULTICW, "fmmulticw"},
    {MOD_FMSTEREO, "fmstereo"},  {MOD_8PSK, "8psk"},       {MOD_MSK, "msk"},
    {MOD_EXT, "ext"},
};

// Labels of the modulation tree; a plug-in (100) has none of its own.
constexpr KeywordPair kModulationNames[] = {
    {MOD_NONE, "OFF"},           {MOD_BARKER, "BPSK"},      {MOD_FMCHIRP, "FM chirp"},
    {MOD_ASK, "ASK"},            {MOD_QPSK, "QPSK"},        {MOD_FSK, "FSK"},
    {MOD_FM, "FM"},              {MOD_AM, "AM"},            {MOD_VSB, "VSB8"},
    {MOD_FSK2, "FSK(2)"},        {MOD_MULTI, "Multi Tone"}, {MOD_VSB16, "VSB16"},
    {MOD_POLYPHASE, "Polyphase"}, {MOD_FMCHIRPPOLY, "Polynomial FM"}, {MOD_FMMULTICW, "Multi Carrier"},
    {MOD_FMSTEREO, "FM Stereo"}, {MOD_8PSK, "8PSK"},        {MOD_MSK, "MSK"},
};

constexpr KeywordPair kJitterParams[] = {
    {JIT_ONPERIOD, "OnPeriod"}, {JIT_LEVEL, "Level"},   {JIT_FREQUENCY, "Frequency"},
    {JIT_BLANKPERIOD, "BlankPeriod"}, {JIT_CHIRPDEV, "ChirpDev"}, {JIT_PRF, "PRF"},
    {JIT_PRI, "PRI"},           {JIT_DELAY, "Delay"},   {JIT_RISE, "Rise"},
    {JIT_FALL, "Fall"},         {JIT_ATTOFF, "AttOff"}, {JIT_PHASE, "Phase"},
    {JIT_SKIP, "Skip"},
};

// Written keywords first; the older spellings below are read only.
constexpr KeywordPair kJitterModes[] = {
    {JMODE_OFF, "OFF"},   {JMODE_SAME, "same"},   {JMODE_INDIVIDUAL, "individual"},
    {JMODE_NEXT, "next"}, {JMODE_REUSE, "reuse"}, {JMODE_MSEG, "MSeg"},
};
constexpr KeywordPair kJitterModeAliases[] = {
    {JMODE_OFF, "off"},     {JMODE_SAME, "once"},   {JMODE_INDIVIDUAL, "always"},
    {JMODE_NEXT, "->once"}, {JMODE_REUSE, "prev"},
};

constexpr KeywordPair kJitterDists[] = {
    {JDIST_WHITENOISE, "whitenoise"}, {JDIST_GAUSSNOISE, "gaussnoise"}, {JDIST_RAMP, "ramp"},
    {JDIST_SINE, "sine"},             {JDIST_STAIR, "stair"},           {JDIST_LIST, "list"},
    {JDIST_LFIX, "lfix"},             {JDIST_SHAPE, "shape"},           {JDIST_RULES, "rules"},
};

constexpr KeywordPair kSyncTypes[] = {
    {SYNC_BLANK, "tsync"}, {SYNC_CW, "tsync-cw"},
};

constexpr KeywordPair kWindows[] = {
    {WIN_RIFEVINCENT, "rifevincent"}, {WIN_HANN, "hann"},       {WIN_HAMMING, "hamming"},
    {WIN_RECT, "rect"},               {WIN_BLACKMANN, "blackmann"}, {WIN_BLACKHARRIS, "blackharris"},
    {WIN_FLATTOP, "flattop"},
};

constexpr KeywordPair kFilters[] = {
    {FILT_SINC, "sinc"},     {FILT_RRCOS, "rrcos"},     {FILT_RCOS, "rcos"},
    {FILT_GAUSS, "gauss"},   {FILT_CXSINC, "cxsinc"},   {FILT_CXRRCOS, "cxrrcos"},
    {FILT_CXRCOS, "cxrcos"}, {FILT_CXGAUSS, "cxgauss"}, {FILT_USER, "user"},
};

// Pseudo-random sequence names; 8 and 9 have none.
constexpr KeywordPair kPnTypes[] = {
    {0, "PN9"},  {1, "PN15"}, {2, "PN7"},  {3, "PN11"}, {4, "PN16"},
    {5, "PN20"}, {6, "PN21"}, {7, "PN23"}, {10, "USER"},
};

// Code of the first pair whose keyword equals text exactly; fallback when none.
int FromKeyword(std::span<const KeywordPair> table, const char* text, int fallback) {
  if (text == nullptr) return fallback;
  for (const KeywordPair& pair : table)
    if (std::strcmp(pair.keyword, text) == 0) return pair.code;
  return fallback;
}

// Keyword of code; "" when the table has no such code.
const char* ToKeyword(std::span<const KeywordPair> table, int code) {
  for (const KeywordPair& pair : table)
    if (pair.code == code) return pair.keyword;
  return "";
}

}  // namespace

int EdgeTypeFromKeyword(const char* keyword) { return FromKeyword(kEdgeTypes, keyword, EDGE_LINEAR); }
const char* EdgeTypeToKeyword(int code) { return ToKeyword(kEdgeTypes, code); }

int ModulationFromKeyword(const char* keyword) { return FromKeyword(kModulations, keyword, MOD_NONE); }
const char* ModulationToKeyword(int code) { return ToKeyword(kModulations, code); }
const char* ModulationDisplayName(int code) { return ToKeyword(kModulationNames, code); }

int JitterParamFromKeyword(const char* keyword) { return FromKeyword(kJitterParams, keyword, JIT_ONPERIOD); }
const char* JitterParamToKeyword(int code) { return ToKeyword(kJitterParams, code); }

int JitterModeFromKeyword(const char* keyword) {
  constexpr int kNoMatch = -1;
  int code = FromKeyword(kJitterModes, keyword, kNoMatch);
  if (code == kNoMatch) code = FromKeyword(kJitterModeAliases, keyword, JMODE_OFF);
  return code;
}
const char* JitterModeToKeyword(int code) { return ToKeyword(kJitterModes, code); }

int JitterDistFromKeyword(const char* keyword) { return FromKeyword(kJitterDists, keyword, JDIST_WHITENOISE); }
const char* JitterDistToKeyword(int code) { return ToKeyword(kJitterDists, code); }

int SyncTypeFromKeyword(const char* keyword) { return FromKeyword(kSyncTypes, keyword, SYNC_BLANK); }
const char* SyncTypeToKeyword(int code) { return ToKeyword(kSyncTypes, code); }

int WindowFromKeyword(const char* keyword) { return FromKeyword(kWindows, keyword, WIN_RECT); }
const char* WindowToKeyword(int code) { return ToKeyword(kWindows, code); }

int FilterFromKeyword(const char* keyword) { return FromKeyword(kFilters, keyword, FILT_SINC); }
const char* FilterToKeyword(int code) { return ToKeyword(kFilters, code); }

const char* PnTypeToText(int code) { return ToKeyword(kPnTypes, code); }
