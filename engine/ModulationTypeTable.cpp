// The built-in modulation types and their parameter definitions. Labels are
// exact, blanks and brackets included: they are the keys under which values
// are stored in pulses and project files. Some defaults lie outside their own
// limits (MSK's symbol rate, Polyphase's "BPSK" type); they are kept as they
// are because stored projects carry them.
#include "engine/ModulationTypes.h"

#include <iterator>

namespace {

constexpr ModulationParamDef kEnd = {0, "", "", 0, "", "", ""};

constexpr ModulationParamDef kOff[] = {kEnd};

constexpr ModulationParamDef kAm[] = {
    {1, "AM Type", "LIST", 0, "Standard", "Standard|LSB|USB|LSB+USB", ""},
    {2, "Mod Freq [kHz]", "DOUBLE", 3, "1.000", "0.00", "100000.00"},
    {3, "Depth [%]", "DOUBLE", 1, "50.0", "0.0", "100.0"},
    kEnd};

constexpr ModulationParamDef kAsk[] = {
    {1, "Depth [%]", "DOUBLE", 2, "100.00", "0.00", "100.0"},
    {2, "Invert", "YESNO", 0, "no", "", ""},
    {3, "Coding", "LIST", 0, "normal", "normal|position", ""},
    kEnd};

constexpr ModulationParamDef kFm[] = {
    {1, "Mod Freq [kHz]", "DOUBLE", 3, "1.000", "0.00", "25000.00"},
    {2, "Deviation [kHz]", "DOUBLE", 3, "1.000", "0.00", "300000.00"},
    kEnd};

constexpr ModulationParamDef kFmStereo[] = {
    {1, "Deviation [kHz]", "DOUBLE", 3, "75.000", "10.000", "100.000"},
    {2, "Right Tone [kHz]", "DOUBLE", 3, "1.000", "0.001", "15.000"},
    {3, "Right Audio Level", "DOUBLE", 3, "1.000", "-1.000", "1.000"},
    {4, "Left Tone [kHz]", "DOUBLE", 3, "1.000", "0.001", "15.000"},
    {5, "Left Audio Level", "DOUBLE", 3, "1.000", "-1.000", "1.000"},
    {6, "MUX Pilot Level [%]", "DOUBLE", 1, "8.0", "0.1", "20.0"},
    {7, "MUX Audio Level [%]", "DOUBLE", 1, "80.0", "0.1", "100.0"},
    kEnd};

constexpr ModulationParamDef kFsk[] = {
    {1, "Deviation [MHz]", "DOUBLE", 6, "5.000000", "0.000001", "300.0"},
    kEnd};

constexpr ModulationParamDef kFsk2[] = {
    {1, "f1 [MHz]", "DOUBLE", 6, "0.000000", "0.000000", "300.0"},
    {2, "f2 [MHz]", "DOUBLE", 6, "0.200000", "0.000000", "300.0"},
    {3, "T1 [us]", "DOUBLE", 3, "100.0", "0", "100000.0"},
    {4, "T2 [us]", "DOUBLE", 3, "100.0", "0", "100000.0"},
    kEnd};

constexpr ModulationParamDef kMultiCarrier[] = {
    {1, "Spacing [kHz]", "DOUBLE", 3, "0.001", "0.001", "100000.00"},
    {2, "Carriers", "INT", 0, "10", "2", "100000"},
    {3, "Random phase", "LIST", 0, "yes", "yes|no", ""},
    kEnd};

constexpr ModulationParamDef kMultiTone[] = {
    {1, "f1 [MHz]", "DOUBLE", 6, "1.000", "-100000.0", "100000.0"},
    {2, "f2 [MHz]", "DOUBLE", 6, "1.500", "-100000.0", "100000.0"},
    {3, "f3 [MHz]", "DOUBLE", 6, "0.000", "-100000.0", "100000.0"},
    {4, "f4 [MHz]", "DOUBLE", 6, "0.000", "-100000.0", "100000.0"},
    {5, "f5 [MHz]", "DOUBLE", 6, "0.000", "-100000.0", "100000.0"},
    kEnd};

constexpr ModulationParamDef kFmChirp[] = {
    {1, "RF Bandwidth [MHz]", "DOUBLE", 6, "5.000000", "0.000001", "600.0"},
    {2, "Ramp Type", "LIST", 0, "ramp up", "ramp up|ramp dn|sine|exp|exp 10|triangular|inv trian", ""},
    kEnd};

constexpr ModulationParamDef kPolyFm[] = {
    {1, "Multiplier", "DOUBLE", 6, "1e9", "1.0", "1e23"},
    {2, "Term 0", "DOUBLE", 6, "0", "-1e18", "1e18"},
    {3, "Term 1", "DOUBLE", 6, "1", "-1e18", "1e18"},
    {4, "Term 2", "DOUBLE", 6, "0", "-1e18", "1e18"},
    {5, "Term 3", "DOUBLE", 6, "0", "-1e18", "1e18"},
    {6, "Term 4", "DOUBLE", 6, "0", "-1e18", "1e18"},
    {7, "Term 5", "DOUBLE", 6, "0", "-1e18", "1e18"},
    {8, "Term 6", "DOUBLE", 6, "0", "-1e18", "1e18"},
    kEnd};

constexpr ModulationParamDef kBpsk[] = {
    {1, "Type", "LIST", 0, "BPSK", "BPSK|C-BPSK", ""},
    {2, "Phase [deg]", "DOUBLE", 2, "180.00", "-180.0", "180.0"},
    {3, "Transition [%]", "DOUBLE", 1, "10.0", "0.0", "100.0"},
    {4, "Trans. Shape", "LIST", 0, "cos", "cos|linear", ""},
    {5, "Coding", "LIST", 0, "normal", "normal|differential", ""},
    kEnd};

constexpr ModulationParamDef kPolyphase[] = {
    {1, "Type", "LIST", 0, "BPSK", "Frank|P1 Code|P2 Code|P3 Code|P4 Code", ""},
    {2, "M (Length)", "INT", 2, "8", "1", "200"},
    kEnd};

constexpr ModulationParamDef kQpsk[] = {
    {1, "Type", "LIST", 0, "QPSK", "QPSK|O-QPSK|C-QPSK|D-QPSK", ""},
    {2, "Rotation [deg]", "DOUBLE", 2, "0.00", "0.00", "360.00"},
    {3, "Gain I", "DOUBLE", 2, "1.00", "0.01", "1.00"},
    {4, "Gain Q", "DOUBLE", 2, "1.00", "0.01", "1.00"},
    {5, "Phase Ofs [deg]", "DOUBLE", 2, "0.00", "-180", "180"},
    {6, "Angle [deg]", "DOUBLE", 2, "45", "-180", "180"},
    kEnd};

constexpr ModulationParamDef kMsk[] = {
    {1, "Symbol Rate [kHz]", "DOUBLE", 2, "0.00", "0.01", "100000.00"},
    kEnd};

constexpr ModulationParamDef k8psk[] = {
    {1, "Type", "LIST", 0, "8PSK", "8PSK", ""},
    {2, "Rotation [deg]", "DOUBLE", 2, "0.00", "0.00", "360.00"},
    {3, "Gain I", "DOUBLE", 2, "1.00", "0.01", "1.00"},
    {4, "Gain Q", "DOUBLE", 2, "1.00", "0.01", "1.00"},
    {5, "Phase Ofs [deg]", "DOUBLE", 2, "0.00", "-180", "180"},
    kEnd};

template <std::size_t N>
constexpr int32_t Len(const ModulationParamDef (&)[N]) { return static_cast<int32_t>(N); }

}  // namespace

// In the order of the modulation tree.
const ModulationTypeInfo ModulationTypeTable[kModulationTypeCount] = {
    {0, 0, "_INT", kOff, Len(kOff), 0},                        // OFF
    {7, 0, "_AM", kAm, Len(kAm), 0},                           // AM
    {3, 1, "_AM", kAsk, Len(kAsk), 1},                         // ASK
    {6, 0, "_FM", kFm, Len(kFm), 0},                           // FM
    {15, 0, "_FM", kFmStereo, Len(kFmStereo), 0},              // FM Stereo
    {5, 1, "_FM", kFsk, Len(kFsk), 1},                         // FSK
    {9, 1, "_FM", kFsk2, Len(kFsk2), 1},                       // FSK(2)
    {14, 0, "_FM", kMultiCarrier, Len(kMultiCarrier), 0},      // Multi Carrier
    {10, 0, "_FM", kMultiTone, Len(kMultiTone), 0},            // Multi Tone
    {2, 0, "_FM", kFmChirp, Len(kFmChirp), 0},                 // FM chirp
    {13, 0, "_FM", kPolyFm, Len(kPolyFm), 0},                  // Polynomial FM
    {1, 1, "_PSK", kBpsk, Len(kBpsk), 1},                      // BPSK
    {12, 0, "_PSK", kPolyphase, Len(kPolyphase), 0},           // Polyphase
    {4, 1, "_PSK", kQpsk, Len(kQpsk), 2},                      // QPSK
    {17, 1, "_PSK", kMsk, Len(kMsk), 2},                       // MSK
    {16, 1, "_PSK", k8psk, Len(k8psk), 3},                     // 8PSK
    {8, 1, "_OTHER", kOff, Len(kOff), 3},                      // VSB8
    {11, 1, "_OTHER", kOff, Len(kOff), 4},                     // VSB16
    {kModulationTableEnd, 0, "", kOff, Len(kOff), 0},          // end of table
};

const ModulationTypeInfo* FindModulationType(int code) {
  for (const ModulationTypeInfo& row : ModulationTypeTable) {
    if (row.code == kModulationTableEnd) break;
    if (row.code == code) return &row;
  }
  return nullptr;
}
