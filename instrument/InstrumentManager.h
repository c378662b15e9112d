// The instrument manager: the user's list of known instruments (added by
// hand, found by a GPIB or LAN scan) shown in INSTRMAN TREE_INSTR, and the
// selection of the one instrument the program works with. The lists live in
// g_Settings (ManualDeviceList [DEV], ScannedDeviceList [SDEV]); the tree is
// rebuilt from them, and add and delete read them back from the tree.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LanDiscoveryProvider;

// Images of the tree's device items.
enum InstrumentTreeImage {
  INSTR_IMAGE_BRANCH = 0,
  INSTR_IMAGE_DEVICE = 1,
  INSTR_IMAGE_FAILED = 2,    // the device could not be opened
  INSTR_IMAGE_SELECTED = 3,  // the selected instrument
};

// USB vendor id written into USB resource strings.
inline constexpr const char* kUsbVendorId = "0x2B7A";

// Model name of a USB product id ("70" Halvex, "75" Lumbra, "85" Pernot,
// "95" Nerrin, "102" Lumbrix, "146" Ostrel); "" for other ids and for null.
const char* ModelNameFromUsbId(const char* text);

// Display label of a resource: "USB   <model>,<serial>", "TCPIP <host>",
// "GPIB  <board>:<address>", otherwise the resource itself.
std::string InstrumentDeviceLabel(const char* resource);

void DimInstrumentManagerControls(int dim);
void RebuildInstrumentTree();
// The selected instrument, just identified, on every page: its identity
// text in STR_INSTR, the tree's selection, the Transfer and Multi Segment
// pages and the RF List transfer buttons.
void ShowIdentifiedSelection(const char* info);

// Branch operations on TREE_INSTR; tag kManualBranchTag or kScannedBranchTag.
void ClearInstrumentBranch(const char* tag);
// Adds a device unless the branch has an item with that label; returns the
// new item or -1.
int AddInstrumentBranchItem(const char* tag, const char* label, const char* resource, const char* comment,
                            int selected);
// The branch's items back into their settings list, in tree order.
void ReadInstrumentBranch(const char* tag);
// The resource of a device item ("" for other items).
std::string InstrumentItemResource(int item);

// Callbacks of INSTRMAN (commit unless said otherwise); all return 0.
int AddDeviceFieldsCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int AddDeviceCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int DeleteDeviceCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int ScanGpibCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int ScanLanCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int InstrumentTreeCb(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int CloseInstrumentManagerCb(int panel, int control, int event, void* callbackData, int eventData1,
                             int eventData2);

// Shows only the add-manually fields of interface intf (0 USB, 1 TCP/IP,
// 2 GPIB, 3 Other), with the label of STR_1 for TCP/IP and Other.
void InstrumentManager_ShowInterfaceFields(int intf);

// The discovery providers of the LAN scan (instrument/LanDiscovery.h), made
// anew for each scan; empty (the default): DNS-SD through Avahi and VXI-11
// broadcast on every up IPv4 interface. Tests hand in their own.
using InstrumentManagerLanProviders = std::function<std::vector<std::unique_ptr<LanDiscoveryProvider>>()>;
void InstrumentManager_SetLanProviders(InstrumentManagerLanProviders providers);
