// The instrument manager's tree, device lists, scans and selection.
#include "instrument/InstrumentManager.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/Log.h"
#include "app/Progress.h"
#include "app/PanelIds.h"
#include "app/Settings.h"
#include "editors/MultiSegmentEditor.h"
#include "editors/RfListEditor.h"
#include "instrument/Identify.h"
#include "instrument/LanDiscovery.h"
#include "instrument/TransferTab.h"
#include "instrument/VisaDev.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/ui/UserInterface.h"
#include "ui/dialogs/InstrumentManagerDialog.h"

namespace {

struct UsbModel {
  int productId;
  const char* model;
};
constexpr UsbModel kUsbModels[] = {{70, "Halvex"}, {75, "Lumbra"},   {85, "Pernot"},
                                   {95, "Nerrin"}, {102, "Lumbrix"}, {146, "Ostrel"}};

// A GPIB scan keeps the devices whose model text names one of these.
constexpr const char* kScannedModels[] = {"Kaldra", "Tovik", "Halvex", "Pernot",
                                          "Lumbra", "Lumbrix", "Nerrin", "Ostrel"};

enum Interface { IF_USB = 0, IF_TCPIP = 1, IF_GPIB = 2, IF_OTHER = 3 };

InstrumentManagerLanProviders g_lanProviders;
// Resource texts of the device items; an item's value indexes this table.
std::vector<std::string> g_itemResources;

// Resource parts are compared in upper case ("usb" is "USB").
std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// "USB::0x2B7A::95::100200::INSTR" -> USB, 0x2B7A, 95, 100200, INSTR.
std::vector<std::string> SplitResource(const std::string& resource) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t at = resource.find("::", start);
    parts.push_back(resource.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 2;
  }
  return parts;
}

// Group item of a tag, -1 when the dialog is not built.
int BranchItem(const char* tag) {
  int item = -1;
  if (INSTRMAN <= 0 || GetTreeItemFromTag(INSTRMAN, INSTRMAN_TREE_INSTR, tag, &item) < 0) return -1;
  return item;
}

std::vector<int> BranchChildren(int branch) {
  std::vector<int> children;
  int count = 0;
  if (branch < 0 || GetTreeItemNumChildren(INSTRMAN, INSTRMAN_TREE_INSTR, branch, &count) < 0) return children;
  for (int n = 0; n < count; ++n) {
    int child = -1;
    if (GetTreeItemChild(INSTRMAN, INSTRMAN_TREE_INSTR, branch, n, &child) >= 0 && child >= 0) children.push_back(child);
  }
  return children;
}

std::string ItemText(int item, int column) {
  char text[UI_MAX_PATH] = "";
  GetTreeCellAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, item, column, ATTR_LABEL_TEXT, text, sizeof text);
  return text;
}

int ItemLevel(int item) {
  int level = -1;
  if (item < 0 || GetTreeItemLevel(INSTRMAN, INSTRMAN_TREE_INSTR, item, &level) < 0) return -1;
  return level;
}

int ItemImage(int item) {
  int image = -1;
  GetTreeItemAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, item, ATTR_IMAGE_INDEX, &image);
  return image;
}

// Tree item values are numbers: a device item carries the index of its
// resource text here. Texts are reused, so the table stays as small as the
// set of resources seen.
int ResourceIndex(const std::string& resource) {
  for (std::size_t i = 0; i < g_itemResources.size(); ++i)
    if (g_itemResources[i] == resource) return static_cast<int>(i);
  g_itemResources.push_back(resource);
  return static_cast<int>(g_itemResources.size() - 1);
}

// One group from its settings list, up to the first empty resource; the
// selected instrument (connected, resource equal to Select) gets image 3.
template <int N>
void FillBranch(const char* tag, const DeviceList<N>& list, bool labelled) {
  ClearInstrumentBranch(tag);
  for (int i = 0; i < N && !list.Resource[i].empty(); ++i) {
    const char* resource = list.Resource[i].c_str();
    const bool selected = InstrumentCapabilities.Connected && g_Settings.Select == list.Resource[i];
    const std::string label = labelled ? InstrumentDeviceLabel(resource) : std::string(resource);
    AddInstrumentBranchItem(tag, label.c_str(), resource, list.Comment[i].c_str(), selected ? 1 : 0);
  }
}

// The list emptied first, then the group's items in tree order, at most N.
template <int N>
void ReadBranchInto(int branch, DeviceList<N>* list) {
  for (int i = 0; i < N; ++i) {
    list->Resource[i].Clear();
    list->Comment[i].Clear();
  }
  int i = 0;
  for (int child : BranchChildren(branch)) {
    if (i >= N) break;
    list->Resource[i].Assign(InstrumentItemResource(child));
    list->Comment[i].Assign(ItemText(child, 1));
    ++i;
  }
}

void SetVisible(int control, bool visible) { SetCtrlAttribute(INSTRMAN, control, ATTR_VISIBLE, visible ? 1 : 0); }

std::string ReadText(int control) {
  char text[256] = "";
  GetCtrlVal(INSTRMAN, control, text, sizeof text);
  return text;
}

int ReadInt(int control) {
  int value = 0;
  GetCtrlVal(INSTRMAN, control, &value);
  return value;
}

// Error of the LAN scan: status line and log.
void ScanError(const char* message) {
  Log_Status(1, message);
  Log_Message(1, message);
}

// All 64 entries of the scanned list emptied, before a scan fills it.
DeviceList<cz::kScannedDevices>& EmptyScannedList() {
  DeviceList<cz::kScannedDevices>& list = g_Settings.ScannedDeviceList;
  for (int i = 0; i < cz::kScannedDevices; ++i) {
    list.Resource[i].Clear();
    list.Comment[i].Clear();
  }
  return list;
}

// The providers of a LAN scan: the test's, or DNS-SD and VXI-11 broadcast.
std::vector<std::unique_ptr<LanDiscoveryProvider>> LanProviders() {
  if (g_lanProviders) return g_lanProviders();
  std::vector<std::unique_ptr<LanDiscoveryProvider>> providers;
  providers.push_back(NewAvahiDiscovery());
  providers.push_back(NewVxi11BroadcastDiscovery());
  return providers;
}

// One provider of a scan and how it went.
struct LanSearch {
  std::unique_ptr<LanDiscoveryProvider> provider;
  bool started = false;
  std::string why;  // why it could not start
};

// Gives every started provider time until all are done, keeping the window
// alive through the progress dialog. False when the user pressed Cancel.
bool CollectLanAnswers(std::vector<LanSearch>* searches) {
  constexpr int kSliceMs = 20;
  constexpr double kExpectedMs = kDnsSdCollectMaxMs;
  const auto start = std::chrono::steady_clock::now();
  Progress_Open("Scanning LAN...");
  bool cancelled = false;
  for (;;) {
    bool done = true;
    for (LanSearch& s : *searches) {
      if (!s.started || s.provider->Done()) continue;
      s.provider->Poll(kSliceMs);
      done = done && s.provider->Done();
    }
    const double elapsed =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ProgressDialogHook(elapsed < kExpectedMs ? elapsed / kExpectedMs : 1.0)) {
      cancelled = true;
      break;
    }
    if (done) break;
  }
  Progress_Close();
  return !cancelled;
}

}  // namespace

const char* ModelNameFromUsbId(const char* text) {
  if (text == nullptr || text[0] == '\0') return "";
  char* end = nullptr;
  const long id = std::strtol(text, &end, 0);
  if (end == text) return "";
  for (const UsbModel& m : kUsbModels)
    if (m.productId == id) return m.model;
  return "";
}

std::string InstrumentDeviceLabel(const char* resource) {
  const std::string text = resource ? resource : "";
  const std::vector<std::string> parts = SplitResource(text);
  const std::string first = Upper(parts[0]);
  if (first == "USB" && parts.size() >= 4)
    return cz::FormatC("USB   %s,%s", ModelNameFromUsbId(parts[2].c_str()), parts[3].c_str());
  if (first == "TCPIP" && parts.size() >= 2) return cz::FormatC("TCPIP %s", parts[1].c_str());
  const std::size_t gpib = first.find("GPIB");
  if (gpib != std::string::npos && parts.size() >= 2)
    return cz::FormatC("GPIB  %d:%d", std::atoi(parts[0].c_str() + gpib + 4), std::atoi(parts[1].c_str()));
  return text;
}

void DimInstrumentManagerControls(int dim) {
  if (INSTRMAN <= 0) return;
  const int controls[] = {INSTRMAN_CMD_ADD,   INSTRMAN_CMD_SCAN,  INSTRMAN_CMD_SCAN_LAN,     INSTRMAN_TREE_INSTR,
                          INSTRMAN_STR_LAN_DOMAIN, INSTRMAN_NUM_BRD, INSTRMAN_RING_INT,     INSTRMAN_RING_DEV,
                          INSTRMAN_NUM_SEL1,  INSTRMAN_NUM_SEL2,  INSTRMAN_STR_1,            INSTRMAN_STR_2,
                          INSTRMAN_STR_VISA_COMMENT, INSTRMAN_STR_INSTR_2};
  for (int control : controls) SetCtrlAttribute(INSTRMAN, control, ATTR_DIMMED, dim ? 1 : 0);
}

void ClearInstrumentBranch(const char* tag) {
  const int branch = BranchItem(tag);
  if (branch < 0) return;
  int count = 0;
  GetTreeItemNumChildren(INSTRMAN, INSTRMAN_TREE_INSTR, branch, &count);
  for (; count > 0; --count) {
    int child = -1;
    if (GetTreeItemChild(INSTRMAN, INSTRMAN_TREE_INSTR, branch, 0, &child) < 0 || child < 0) break;
    DeleteTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, child);
  }
}

int AddInstrumentBranchItem(const char* tag, const char* label, const char* resource, const char* comment,
                            int selected) {
  const int branch = BranchItem(tag);
  if (branch < 0 || label == nullptr) return -1;
  for (int child : BranchChildren(branch))
    if (ItemText(child, 0) == label) return -1;
  const int tree = INSTRMAN_TREE_INSTR;
  const int item = InsertTreeItem(INSTRMAN, tree, VAL_CHILD, branch, VAL_LAST, label, nullptr, nullptr,
                                  ResourceIndex(resource ? resource : ""));
  if (item < 0) return -1;
  SetTreeCellAttribute(INSTRMAN, tree, item, 1, ATTR_LABEL_TEXT, comment ? comment : "");
  const int image = selected ? INSTR_IMAGE_SELECTED : INSTR_IMAGE_DEVICE;
  SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_IMAGE_INDEX, image);
  SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, image);
  return item;
}

void ReadInstrumentBranch(const char* tag) {
  const int branch = BranchItem(tag);
  if (branch < 0) return;
  if (std::strcmp(tag, kManualBranchTag) == 0)
    ReadBranchInto(branch, &g_Settings.ManualDeviceList);
  else
    ReadBranchInto(branch, &g_Settings.ScannedDeviceList);
}

std::string InstrumentItemResource(int item) {
  if (ItemLevel(item) != 1) return std::string();
  int value = -1;
  GetTreeItemAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, item, ATTR_CTRL_VAL, &value);
  return value >= 0 && value < static_cast<int>(g_itemResources.size()) ? g_itemResources[value] : std::string();
}

void RebuildInstrumentTree() {
  if (INSTRMAN <= 0) return;
  FillBranch(kManualBranchTag, g_Settings.ManualDeviceList, true);
  FillBranch(kScannedBranchTag, g_Settings.ScannedDeviceList, false);
}

void InstrumentManager_ShowInterfaceFields(int intf) {
  if (INSTRMAN <= 0) return;
  SetVisible(INSTRMAN_STR_2, intf == IF_USB);
  SetVisible(INSTRMAN_RING_DEV, intf == IF_USB);
  SetVisible(INSTRMAN_NUM_SEL1, intf == IF_GPIB);
  SetVisible(INSTRMAN_NUM_SEL2, intf == IF_GPIB);
  SetVisible(INSTRMAN_STR_1, intf == IF_TCPIP || intf == IF_OTHER);
  if (intf == IF_TCPIP) SetCtrlAttribute(INSTRMAN, INSTRMAN_STR_1, ATTR_LABEL_TEXT, "Host or IP");
  if (intf == IF_OTHER) SetCtrlAttribute(INSTRMAN, INSTRMAN_STR_1, ATTR_LABEL_TEXT, "Resource String");
}

void InstrumentManager_SetLanProviders(InstrumentManagerLanProviders providers) {
  g_lanProviders = std::move(providers);
}

// Any event of the add-manually fields: mirrors them into the settings,
// shows only the fields of the chosen interface and composes the resource.
int AddDeviceFieldsCb(int, int control, int, void*, int, int) {
  AppSettings& s = g_Settings;
  s.BrdScn = ReadInt(INSTRMAN_NUM_BRD);
  s.LANScn.Assign(ReadText(INSTRMAN_STR_LAN_DOMAIN));
  s.RscComm.Assign(ReadText(INSTRMAN_STR_VISA_COMMENT));
  const int intf = ReadInt(INSTRMAN_RING_INT);
  if (control == INSTRMAN_RING_INT && intf != s.If) {
    if (intf == IF_OTHER) SetCtrlVal(INSTRMAN, INSTRMAN_STR_1, s.Other.c_str());
    if (intf == IF_TCPIP) SetCtrlVal(INSTRMAN, INSTRMAN_STR_1, s.Host.c_str());
  }
  s.If = intf;

  InstrumentManager_ShowInterfaceFields(intf);
  switch (intf) {
    case IF_USB:
      s.UsbSer.Assign(ReadText(INSTRMAN_STR_2));
      s.UsbId = ReadInt(INSTRMAN_RING_DEV);
      s.ComposedResource.Assign(cz::FormatC("USB::%s::%d::%s::INSTR", kUsbVendorId, s.UsbId, s.UsbSer.c_str()));
      break;
    case IF_TCPIP:
      s.Host.Assign(ReadText(INSTRMAN_STR_1));
      s.ComposedResource.Assign(cz::FormatC("TCPIP::%s::INSTR", s.Host.c_str()));
      break;
    case IF_GPIB:
      s.GpibBrd = ReadInt(INSTRMAN_NUM_SEL1);
      s.GpibDev = ReadInt(INSTRMAN_NUM_SEL2);
      s.ComposedResource.Assign(cz::FormatC("GPIB%d::%d::INSTR", s.GpibBrd, s.GpibDev));
      break;
    default:
      s.Other.Assign(ReadText(INSTRMAN_STR_1));
      s.ComposedResource.Assign(s.Other.view());
      break;
  }
  return 0;
}

// The label follows the interface's form; an existing label leaves the
// group unchanged, the status line says "Device Added." either way.
int AddDeviceCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  std::string label, resource;
  switch (ReadInt(INSTRMAN_RING_INT)) {
    case IF_USB: {
      char model[64] = "";
      int index = -1;
      GetCtrlIndex(INSTRMAN, INSTRMAN_RING_DEV, &index);
      if (index >= 0) GetLabelFromIndex(INSTRMAN, INSTRMAN_RING_DEV, index, model, sizeof model);
      const std::string serial = ReadText(INSTRMAN_STR_2);
      label = cz::FormatC("USB   %s,%s", model, serial.c_str());
      resource = cz::FormatC("USB::%s::%d::%s::INSTR", kUsbVendorId, ReadInt(INSTRMAN_RING_DEV), serial.c_str());
      break;
    }
    case IF_TCPIP: {
      const std::string host = ReadText(INSTRMAN_STR_1);
      label = cz::FormatC("TCPIP %s", host.c_str());
      resource = cz::FormatC("TCPIP::%s::INSTR", host.c_str());
      break;
    }
    case IF_GPIB: {
      const int board = ReadInt(INSTRMAN_NUM_SEL1), address = ReadInt(INSTRMAN_NUM_SEL2);
      label = cz::FormatC("GPIB  %d:%d", board, address);
      resource = cz::FormatC("GPIB%d::%d::INSTR", board, address);
      break;
    }
    default:
      label = resource = ReadText(INSTRMAN_STR_1);
      break;
  }
  const std::string comment = ReadText(INSTRMAN_STR_VISA_COMMENT);
  const int item = AddInstrumentBranchItem(kManualBranchTag, label.c_str(), resource.c_str(), comment.c_str(), 0);
  ReadInstrumentBranch(kManualBranchTag);
  if (item >= 0) {
    // The new device shows in its opened group, selected as a click on it
    // would select it.
    SetTreeItemAttribute(INSTRMAN, INSTRMAN_TREE_INSTR, BranchItem(kManualBranchTag), ATTR_COLLAPSED, 0);
    SetActiveTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, item);
    SetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_DEL, ATTR_DIMMED, 0);
    g_Settings.ComposedResource.Assign(InstrumentItemResource(item));
    g_Settings.RscComm.Assign(ItemText(item, 1));
  }
  Log_Status(1, "Device Added.");
  return 0;
}

int DeleteDeviceCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  int item = -1;
  GetActiveTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, &item);
  if (ItemLevel(item) != 1 || ItemImage(item) == INSTR_IMAGE_SELECTED) return 0;
  DeleteTreeItem(INSTRMAN, INSTRMAN_TREE_INSTR, item);
  ReadInstrumentBranch(kManualBranchTag);
  ReadInstrumentBranch(kScannedBranchTag);
  Log_Status(1, "Device Deleted.");
  return 0;
}

// Only the known signal generator models are kept, in the order found, at
// most 64; a failed scan leaves the scanned list as it was.
int ScanGpibCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  DimInstrumentManagerControls(1);
  const int board = ReadInt(INSTRMAN_NUM_BRD);
  Log_Status(1, "Scanning...");
  static GpibScanResult result;  // about half a megabyte: not on the stack
  if (VisaDev_ScanGpib(&result, board) == 1) {
    DeviceList<cz::kScannedDevices>& list = EmptyScannedList();
    int filled = 0;
    for (int i = 0; i < result.count && i < kGpibScanMax && filled < cz::kScannedDevices; ++i) {
      const GpibScanEntry& e = result.entries[i];
      bool known = false;
      for (const char* model : kScannedModels) known = known || std::strstr(e.model.c_str(), model) != nullptr;
      if (!known) continue;
      list.Resource[filled].Assign(e.resource.view());
      list.Comment[filled].Assign(e.model.view());
      ++filled;
    }
    RebuildInstrumentTree();
  }
  Log_Status(1, "Scanning Complete.");
  DimInstrumentManagerControls(0);
  return 0;
}

// Stores a host as "TCPIP::<host>::INSTR" (comment: the host) in the first
// empty entry of the scanned list unless the list holds it already (in any
// case); false when it was not stored.
static bool AddScannedHost(DeviceList<cz::kScannedDevices>& list, const std::string& host) {
  const std::string resource = cz::FormatC("TCPIP::%s::INSTR", host.c_str());
  int free = -1;
  for (int i = 0; i < cz::kScannedDevices; ++i) {
    if (list.Resource[i].empty()) {
      if (free < 0) free = i;
      continue;
    }
    if (Upper(list.Resource[i].str()) == Upper(resource)) return false;
  }
  if (free < 0 || !list.Resource[free].AssignExact(resource)) return false;
  list.Comment[free].Assign(host);
  return true;
}

// The LAN scan runs every discovery provider on the domain and stores the
// hosts found as "TCPIP::<host>::INSTR" (comment: the host), at most 64 in
// the order of the providers and of their answers, each once. Only a
// DNS-SD answer for the domain shows that the domain exists: then the
// scanned list is replaced by what the scan found. Without one the list
// keeps its entries and the hosts that answered the broadcast are added.
// Cancel leaves the list as it was.
int ScanLanCb(int, int, int event, void*, int, int) {
  if (event != EVENT_COMMIT) return 0;
  DimInstrumentManagerControls(1);
  const std::string domain = ReadText(INSTRMAN_STR_LAN_DOMAIN);
  if (domain.empty()) {
    ScanError("Error: Invalid Domain Name.");
    DimInstrumentManagerControls(0);
    return 0;
  }
  const std::string upperDomain = Upper(domain);
  Log_Status(1, "Scanning LAN...");
  std::vector<LanSearch> searches;
  bool anyStarted = false;
  for (std::unique_ptr<LanDiscoveryProvider>& p : LanProviders()) {
    LanSearch s;
    s.provider = std::move(p);
    s.started = s.provider->Start(domain, &s.why);
    anyStarted = anyStarted || s.started;
    searches.push_back(std::move(s));
  }
  const bool collected = anyStarted && CollectLanAnswers(&searches);

  bool domainFound = false, anyHosts = false, allFailed = anyStarted;
  for (const LanSearch& s : searches) {
    Log_Message(2, " - ", s.provider->Name());
    if (!s.started) {
      Log_Message(4, "   *** ", s.provider->Name(), ": ", s.why.c_str());
      continue;
    }
    const std::string failure = s.provider->Failure();
    if (!failure.empty()) Log_Message(4, "   *** ", s.provider->Name(), ": ", failure.c_str());
    allFailed = allFailed && !failure.empty() && !s.provider->Answered();
    if (!s.provider->Answered()) continue;
    anyHosts = anyHosts || !s.provider->Hosts().empty();
    // The hosts of a domain are listed under it; a broadcast's straight
    // under the provider.
    if (s.provider->FindsDomain()) {
      domainFound = true;
      Log_Message(2, "  - ", upperDomain.c_str());
    }
    for (const std::string& host : s.provider->Hosts()) Log_Message(2, "     ", host.c_str());
  }
  if (!anyStarted || (collected && allFailed)) {
    ScanError(anyStarted ? "Error: Failed to Search Entire Network." : "Error: Failed to Search Network Containers.");
    DimInstrumentManagerControls(0);
    return 0;
  }
  if (!collected) {
    Log_Message(1, "User break");
    Log_Status(1, "User break");
    DimInstrumentManagerControls(0);
    return 0;
  }
  if (domainFound || anyHosts) {
    DeviceList<cz::kScannedDevices>& list = domainFound ? EmptyScannedList() : g_Settings.ScannedDeviceList;
    for (const LanSearch& s : searches) {
      if (!s.started || !s.provider->Answered()) continue;
      for (const std::string& host : s.provider->Hosts()) AddScannedHost(list, host);
    }
    RebuildInstrumentTree();
  }
  Log_Status(1, "Scanning Complete.");
  DimInstrumentManagerControls(0);
  return 0;
}

// Left click, or a key that moved the highlight: Delete is offered for
// devices, whose resource and comment become the current ones. Double
// click, or Return: selects the device by identifying it, or deselects the
// selected one; only one instrument is selected.
int InstrumentTreeCb(int, int control, int event, void*, int eventData1, int eventData2) {
  const bool byKey = event == EVENT_SELECTION_CHANGE && eventData2 == 1;
  if (event == EVENT_LEFT_CLICK || byKey) {
    int item = byKey ? eventData1 : -1, column = 0;
    if (!byKey) GetTreeItemFromPoint(INSTRMAN, control, MakePoint(eventData2, eventData1), &item, &column);
    const bool device = ItemLevel(item) == 1;
    SetCtrlAttribute(INSTRMAN, INSTRMAN_CMD_DEL, ATTR_DIMMED, device ? 0 : 1);
    if (device) {
      g_Settings.ComposedResource.Assign(InstrumentItemResource(item));
      g_Settings.RscComm.Assign(ItemText(item, 1));
    }
    return 0;
  }
  if (event != EVENT_COMMIT) return 0;
  const int item = eventData1;
  if (ItemLevel(item) != 1) return 0;
  SetCtrlVal(INSTRMAN, INSTRMAN_STR_INSTR, "");
  const int tree = INSTRMAN_TREE_INSTR;
  if (ItemImage(item) == INSTR_IMAGE_SELECTED) {
    SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_IMAGE_INDEX, INSTR_IMAGE_DEVICE);
    SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, INSTR_IMAGE_DEVICE);
    Log_Status(1, "Instrument Deselected.");
    ResetInstrumentCapabilities();
    g_Settings.Select.Clear();
    RefreshTransferTab();
    RefreshMultiSegmentEditor();
    DimRfListTransferButtons();
    return 0;
  }
  if (InstrumentCapabilities.Connected) {
    Log_Status(1, "Error: Close Other Connection First.");
    return 0;
  }
  std::string resource = InstrumentItemResource(item);
  const std::size_t blank = resource.find_first_of(" \t\r\n");
  if (blank != std::string::npos) resource.resize(blank);
  DimInstrumentManagerControls(1);
  char info[kIdentifyInfoSize] = "";
  if (!IdentifyInstrument(resource.c_str(), info, sizeof info)) {
    SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_IMAGE_INDEX, INSTR_IMAGE_FAILED);
    SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, INSTR_IMAGE_FAILED);
    Log_Status(1, OpenFailureStatus(0));
    // Locked by another client, or slow to answer: the instrument is there.
    // It becomes the selection, identified at its next use.
    if (IdentifyFailurePasses()) {
      KeepSelectionUnidentified(resource.c_str());
      RefreshTransferTab();
      Log_Message(3, "** Instrument '", resource.c_str(),
                  "' stays selected; it is identified again when it is next used.");
    }
    DimInstrumentManagerControls(0);
    return 0;
  }
  SetCtrlVal(INSTRMAN, INSTRMAN_STR_INSTR, info);
  if (!InstrumentCapabilities.Connected) {
    // Opened and identified, but of a model without support: a plain device,
    // the identification's message stays on the status line.
    SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_IMAGE_INDEX, INSTR_IMAGE_DEVICE);
    SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, INSTR_IMAGE_DEVICE);
    DimInstrumentManagerControls(0);
    return 0;
  }
  SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_IMAGE_INDEX, INSTR_IMAGE_SELECTED);
  SetTreeItemAttribute(INSTRMAN, tree, item, ATTR_COLLAPSED_IMAGE_INDEX, INSTR_IMAGE_SELECTED);
  if (!InstrumentCapabilities.MultiSegment)
    Log_Message(1, "Info: Multi Segment Waveform Not Possible With This Instrument.");
  DimInstrumentManagerControls(0);
  RefreshTransferTab();
  RefreshMultiSegmentEditor();
  DimRfListTransferButtons();
  Log_Status(1, "Instrument Selected.");
  return 0;
}

void ShowIdentifiedSelection(const char* info) {
  if (INSTRMAN > 0) {
    SetCtrlVal(INSTRMAN, INSTRMAN_STR_INSTR, info ? info : "");
    RebuildInstrumentTree();
  }
  RefreshTransferTab();
  RefreshMultiSegmentEditor();
  DimRfListTransferButtons();
}

int CloseInstrumentManagerCb(int, int, int event, void*, int, int) {
  if (event == EVENT_COMMIT && INSTRMAN > 0) HidePanel(INSTRMAN);
  return 0;
}
