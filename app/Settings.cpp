#include "app/Settings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/Log.h"
#include "platform/CLocale.h"
#include "platform/FileReplace.h"
#include "platform/Paths.h"
#include "platform/ui/UserInterface.h"

AppSettings g_Settings;

namespace {

constexpr std::size_t kIniChunk = 80;  // characters per settings.ini text value
constexpr const char* kErrorTitle = "Error";

// ------------------------------------------------------------ INI document
//
// Sections and keys are looked up without regard to case. Texts are stored
// decoded; a text longer than kIniChunk characters is kept under the keys
// "<key> Line0001", "<key> Line0002", ... instead of "<key>".

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// Case-insensitive order, ties broken by byte order so sorting is total.
bool LessNoCase(const std::string& a, const std::string& b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A quoted value with C escapes; anything after the closing quote is ignored.
// Escapes: \n \r \t \a \b \f \v \\ \" \' \? \ooo (octal) \xhh (hex).
std::string DecodeQuoted(std::string_view v) {
  std::string out;
  std::size_t i = 1;  // past the opening quote
  while (i < v.size() && v[i] != '"') {
    char c = v[i++];
    if (c != '\\' || i >= v.size()) {
      out.push_back(c);
      continue;
    }
    char e = v[i++];
    switch (e) {
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'a': out.push_back('\a'); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'v': out.push_back('\v'); break;
      case 'x': {
        int value = 0, digits = 0;
        while (digits < 2 && i < v.size() && HexDigit(v[i]) >= 0) value = value * 16 + HexDigit(v[i++]), ++digits;
        if (digits == 0) out += "\\x";
        else out.push_back(static_cast<char>(value));
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          int value = e - '0', digits = 1;
          while (digits < 3 && i < v.size() && v[i] >= '0' && v[i] <= '7') value = value * 8 + (v[i++] - '0'), ++digits;
          out.push_back(static_cast<char>(value & 0xFF));
        } else if (e == '\\' || e == '"' || e == '\'' || e == '?') {
          out.push_back(e);
        } else {
          // Not a C escape: a hand-written path such as "D:\Data" keeps its '\'.
          out.push_back('\\');
          out.push_back(e);
        }
    }
  }
  return out;
}

std::string EncodeQuoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char oct[8];
          std::snprintf(oct, sizeof oct, "\\%03o", u);  // fixed width: never joins a following digit
          out += oct;
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
  return out;
}

// ASCII letters folded to lower case: the form names are looked up in.
std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> keys;  // key, decoded value
  // Folded key -> its first position in keys, so that a file of n keys
  // reads in time linear in n.
  std::unordered_map<std::string, std::size_t> index;

  const std::string* Find(std::string_view key) const {
    auto it = index.find(FoldCase(key));
    return it == index.end() ? nullptr : &keys[it->second].second;
  }
  // Of two equal keys the first counts; a later one is not kept.
  void Add(std::string key, std::string value) {
    if (!index.try_emplace(FoldCase(key), keys.size()).second) return;
    keys.emplace_back(std::move(key), std::move(value));
  }
};

class IniDocument {
 public:
  // False when the file cannot be opened or read; a file without sections
  // reads as empty.
  bool ReadFile(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) return false;
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) text.append(buf, n);
    if (std::ferror(f.get())) return false;
    Parse(text);
    return true;
  }

  // Lines end in CR LF or LF; ";" starts a comment line; a key before any
  // section header is ignored; of two equal keys the first counts.
  void Parse(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    IniSection* current = nullptr;
    while (!text.empty()) {
      std::size_t eol = text.find('\n');
      std::string_view line = Trim(text.substr(0, eol));
      text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        std::size_t close = line.find(']');
        current = &Section(std::string(Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1))));
        continue;
      }
      std::size_t eq = line.find('=');
      if (current == nullptr || eq == std::string_view::npos) continue;
      std::string key(Trim(line.substr(0, eq)));
      std::string_view raw = Trim(line.substr(eq + 1));
      std::string value = (!raw.empty() && raw.front() == '"') ? DecodeQuoted(raw) : std::string(raw);
      current->Add(std::move(key), std::move(value));
    }
  }

  // The raw value of a key, or null.
  const std::string* Get(std::string_view section, std::string_view key) const {
    auto it = sectionIndex_.find(FoldCase(section));
    return it == sectionIndex_.end() ? nullptr : sections_[it->second].Find(key);
  }

  // A text value, joined from its continuation keys when it has them.
  bool GetText(std::string_view section, std::string_view key, std::string* out) const {
    if (const std::string* v = Get(section, key)) {
      *out = *v;
      return true;
    }
    std::string joined;
    int part = 1;
    for (;; ++part) {
      char name[300];
      std::snprintf(name, sizeof name, "%.*s Line%04d", static_cast<int>(key.size()), key.data(), part);
      const std::string* v = Get(section, name);
      if (v == nullptr) break;
      joined += *v;
    }
    if (part == 1) return false;
    *out = std::move(joined);
    return true;
  }

  void SetRaw(const std::string& section, const std::string& key, std::string encoded) {
    Section(section).Add(key, std::move(encoded));
  }

  // Every key of section in other, with its value as read, into this
  // document; nothing when other has no such section.
  void CopySection(const IniDocument& other, std::string_view section) {
    for (const IniSection& s : other.sections_) {
      if (!EqualNoCase(s.name, section)) continue;
      for (const auto& kv : s.keys) SetRaw(s.name, kv.first, EncodeQuoted(kv.second));
      return;
    }
  }

  // Long texts go to continuation keys in 80-character pieces, cut between
  // UTF-8 characters so each piece is readable on its own.
  void SetText(const std::string& section, const std::string& key, std::string_view value) {
    if (value.size() <= kIniChunk) {
      SetRaw(section, key, EncodeQuoted(value));
      return;
    }
    int part = 1;
    while (!value.empty()) {
      std::size_t n = cz::Utf8PrefixLength(value, kIniChunk);
      if (n == 0) n = std::min(value.size(), kIniChunk);
      SetRaw(section, cz::FormatC("%s Line%04d", key.c_str(), part++), EncodeQuoted(value.substr(0, n)));
      value.remove_prefix(n);
    }
  }

  // Sorted sections and keys, CR LF line ends, an empty line between sections.
  std::string Serialise() const {
    std::vector<const IniSection*> order;
    for (const IniSection& s : sections_) order.push_back(&s);
    std::sort(order.begin(), order.end(),
              [](const IniSection* a, const IniSection* b) { return LessNoCase(a->name, b->name); });
    std::string out;
    for (const IniSection* s : order) {
      if (!out.empty()) out += "\r\n";
      out += "[" + s->name + "]\r\n";
      auto keys = s->keys;
      std::sort(keys.begin(), keys.end(),
                [](const auto& a, const auto& b) { return LessNoCase(a.first, b.first); });
      for (const auto& kv : keys) out += kv.first + " = " + kv.second + "\r\n";
    }
    return out;
  }

 private:
  IniSection& Section(const std::string& name) {
    auto [it, added] = sectionIndex_.try_emplace(FoldCase(name), sections_.size());
    if (added) sections_.push_back(IniSection{name, {}, {}});
    return sections_[it->second];
  }

  std::vector<IniSection> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> position
};

// ------------------------------------------------------------ typed reads

// How a text field takes a value that does not fit: names (paths, resources,
// hosts) are refused whole, free texts are cut on a character boundary.
enum class Fit { kRefuse, kCut };

template <std::size_t N>
void ReadText(const IniDocument& ini, const char* section, const char* key, cz::Text<N>& field,
              Fit fit, std::size_t maxChars = N - 1) {
  std::string value;
  field.Clear();
  if (!ini.GetText(section, key, &value)) return;  // a missing text key empties the field
  if (value.size() <= maxChars) {
    field.Assign(value);
  } else if (fit == Fit::kCut) {
    field.Assign(std::string_view(value).substr(0, cz::Utf8PrefixLength(value, maxChars)));
  } else {
    std::string n = std::to_string(value.size()), m = std::to_string(maxChars);
    Log_Message(9, "*** settings.ini: [", section, "] ", key, " is ", n.c_str(),
                " characters long, at most ", m.c_str(), " fit. Value ignored.");
  }
}

// Numbers and flags: a missing key keeps the field, an unreadable value is
// logged and keeps it too, so a hand-edited file never zeroes a setting.
void ReadInt(const IniDocument& ini, const char* section, const char* key, int& field) {
  const std::string* v = ini.Get(section, key);
  if (v == nullptr) return;  // a missing number keeps its value
  char* end = nullptr;
  errno = 0;
  long value = cz::StrtolC(v->c_str(), &end, 10);
  if (end == v->c_str() || !Trim(end).empty() || errno == ERANGE || value < -2147483647L - 1 ||
      value > 2147483647L) {
    Log_Message(5, "*** settings.ini: [", section, "] ", key, " is not a whole number. Value ignored.");
    return;
  }
  field = static_cast<int>(value);
}

void ReadDouble(const IniDocument& ini, const char* section, const char* key, double& field) {
  const std::string* v = ini.Get(section, key);
  if (v == nullptr) return;
  char* end = nullptr;
  double value = cz::StrtodC(v->c_str(), &end);
  if (end == v->c_str() || !Trim(end).empty()) {
    Log_Message(5, "*** settings.ini: [", section, "] ", key, " is not a number. Value ignored.");
    return;
  }
  if (!std::isfinite(value)) {
    Log_Message(5, "*** settings.ini: [", section, "] ", key, " is not a finite number. Value ignored.");
    return;
  }
  field = value;
}

void ReadFlag(const IniDocument& ini, const char* section, const char* key, int& field) {
  const std::string* v = ini.Get(section, key);
  if (v == nullptr) return;
  if (EqualNoCase(*v, "True")) field = 1;
  else if (EqualNoCase(*v, "False")) field = 0;
  else {
    char* end = nullptr;
    errno = 0;
    const long value = cz::StrtolC(v->c_str(), &end, 10);  // compared as read, never narrowed
    if (end != v->c_str() && Trim(end).empty() && errno != ERANGE) field = value != 0;
    else Log_Message(5, "*** settings.ini: [", section, "] ", key, " is not True or False. Value ignored.");
  }
}

// Value forms of the file: decimal ints, doubles as the shortest text that
// reads back as the same double (C locale), flags as "True"/"False".
std::string IntText(int v) { return cz::FormatC("%d", v); }
std::string DoubleText(double v) { return cz::ShortestRealC(v); }
std::string FlagText(int v) { return v ? "True" : "False"; }

std::string WorkingDirectory() {
  std::vector<char> buf(4096);
  if (getcwd(buf.data(), buf.size()) == nullptr) return std::string();
  return buf.data();
}

// The profile directory that stands in for the user's home: $HOME, else the
// password database entry.
std::string UserProfileDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return std::string();
}

// Whether two paths name one file (links followed); false when either is
// missing.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Home path + name into a std::string; false when there is no home path.
bool HomeFile(const char* name, std::string* out) {
  char home[cz::kHomePathSize];
  if (!GetHomePath(home, sizeof home)) return false;
  *out = std::string(home) + name;
  return true;
}

// The default TempDir: home path + "Temp/" (relative to the working
// directory when there is no home path). Empty, with a log line, when it
// does not fit the field.
void SetDefaultTempDir(AppSettings& s, const char* home) {
  std::string dir = std::string(home) + "Temp/";
  if (!s.TempDir.AssignExact(dir)) {
    s.TempDir.Clear();
    Log_Message(3, "*** Temporary directory '", dir.c_str(), "' is too long for the settings. Not used.");
  }
}

// The load-time defaults; TempDir is set once the home path is known.
void SetDefaults(AppSettings& s) {
  s.Select.Clear();
  s.ManualDeviceList = {};
  s.ScannedDeviceList = {};
  s.RscComm.Clear();
  s.If = 0;
  s.UsbSer = kDefaultUsbSer;
  s.UsbId = kDefaultUsbId;
  s.Host = kDefaultHost;
  s.GpibBrd = 0;
  s.GpibDev = kDefaultGpibDev;
  s.Other = kDefaultOther;
  s.ComposedResource = kDefaultComposedResource;
  s.TempDir.Clear();
  s.LastPrj.Clear();
  s.SavePrjOnExit = 1;
  s.AllowTrace = 1;
  s.RemoteFileA.Clear();
  s.RemoteFileB.Clear();
  s.BBRoutingA = s.BBRoutingB = 0;
  s.BBModeA = s.BBModeB = 0;
  s.BBLinkFA = 1;
  s.RFSetFA = s.RFSetFB = 1;
  s.RFSetLA = s.RFSetLB = 1;
  s.RFStateA = s.RFStateB = 0;
  s.RFFreqA = s.RFFreqB = kDefaultRfFreqGHz;
  s.RFLevA = s.RFLevB = kDefaultRfLevelDbm;
  // BrdScn, LANScn and BBLinkFB keep their current values.
}

// Entries 1..N; the first missing or empty "Device%d" ends the list.
template <int N>
void ReadDeviceList(const IniDocument& ini, const char* section, DeviceList<N>& list) {
  for (int i = 1; i <= N; ++i) {
    std::string dev = cz::FormatC("Device%d", i), com = cz::FormatC("Comment%d", i);
    ReadText(ini, section, dev.c_str(), list.Resource[i - 1], Fit::kRefuse);
    if (list.Resource[i - 1].empty()) break;
    ReadText(ini, section, com.c_str(), list.Comment[i - 1], Fit::kCut);
  }
}

template <int N>
void WriteDeviceList(IniDocument& ini, const char* section, const DeviceList<N>& list) {
  for (int i = 1; i <= N && !list.Resource[i - 1].empty(); ++i) {
    ini.SetText(section, cz::FormatC("Device%d", i), list.Resource[i - 1].view());
    ini.SetText(section, cz::FormatC("Comment%d", i), list.Comment[i - 1].view());
  }
}

}  // namespace

// 1. [General] HomePath of the settings.ini in the working directory, when
//    it is present and not empty (a stored '\' path is converted);
// 2. otherwise the user's profile stand-in, $HOME/Cadenza/, made when missing.
// The lookup and its log lines are repeated on every call: the working
// directory may change between calls.
int GetHomePath(char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return 0;
  out[0] = '\0';
  std::string ini = cz::WithTrailingSlash(WorkingDirectory()) + cz::kSettingsFileName;
  Log_Message(3, "Opening ", ini.c_str(), " ...");

  IniDocument doc;
  std::string home;
  if (doc.ReadFile(ini)) doc.GetText("General", "HomePath", &home);
  // A path is a C string: it ends at a NUL the file holds ("\0" or the byte).
  home.resize(std::min(home.size(), home.find('\0')));
  if (home.size() > cz::kHomePathSize - 1) {
    Log_Message(3, "*** HomePath in ", ini.c_str(), " is too long. Value ignored.");
    home.clear();
  }
  if (home.empty()) {
    Log_Message(1, "*** Cannot read home path from settings.ini. Using default path.");
    std::string profile = UserProfileDirectory();
    if (profile.empty()) {
      Log_Message(1, "*** Cannot determine the user's home directory.");
      return 0;
    }
    home = cz::WithTrailingSlash(profile) + "Cadenza/";
    if (!IsDirectory(home) && mkdir(home.c_str(), 0755) != 0 && !IsDirectory(home)) {
      Log_Message(5, "*** Cannot create the home folder '", home.c_str(), "': ", std::strerror(errno), ".");
      return 0;
    }
  }
  home = cz::WithTrailingSlash(home);
  if (!cz::CopyTextExact(out, capacity, home)) {
    Log_Message(3, "*** Home path '", home.c_str(), "' is too long. Not used.");
    out[0] = '\0';
    return 0;
  }
  return 1;
}

// Project and waveform paths are stored relative to the home path unless
// they start at a root. An absolute result keeps the stored separators and
// is converted to a host path where it is opened; a relative path put
// behind the home path (a host path) takes '/' for its stored '\', so that
// the whole is one host path.
int MakeAbsolutePath(const char* path, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return 0;
  out[0] = '\0';
  std::string_view p = path ? path : "";
  // Absolute: a leading separator, or a drive with its root ("C:\"); "C:x" is relative.
  bool absolute = (!p.empty() && (p[0] == '\\' || p[0] == '/')) ||
                  (p.size() >= 3 && p[1] == ':' && (p[2] == '\\' || p[2] == '/'));
  std::string result;
  if (absolute) {
    result = p;
  } else {
    char home[cz::kHomePathSize];
    GetHomePath(home, sizeof home);  // no home path: relative to the working directory
    result = std::string(home) + cz::RelativeHostPath(p);
  }
  if (!cz::CopyTextExact(out, capacity, result)) {
    Log_Message(3, "*** Path '", result.c_str(), "' is too long. Not used.");
    return 0;
  }
  return 1;
}

int ResolveLocalPath(const char* path, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return 0;
  out[0] = '\0';
  if (path == nullptr || path[0] == '\0') return 0;
  char absolute[cz::kHomePathSize + 1024];
  if (!MakeAbsolutePath(path, absolute, sizeof absolute)) return 0;
  const std::string host = cz::HostPath(absolute);
  if (!cz::CopyTextExact(out, capacity, host)) {
    Log_Message(3, "*** Path '", host.c_str(), "' is too long. Not used.");
    return 0;
  }
  return 1;
}

std::string ResolvedLocalPath(const char* path) {
  std::vector<char> out(cz::kHomePathSize + 4096);
  return ResolveLocalPath(path, out.data(), out.size()) ? std::string(out.data()) : std::string();
}

// Reading order and rules: INSTR, then the device lists, then PRG. Texts
// that name something (resources, hosts, paths) are refused whole when they
// do not fit their field; comments are cut on a character boundary.
int LoadSettings(AppSettings& s) {
  SetDefaults(s);

  char home[cz::kHomePathSize];
  if (!GetHomePath(home, sizeof home)) {
    SetDefaultTempDir(s, "");
    MessagePopup(kErrorTitle, "Cannot load project settings.");
    return 0;
  }
  std::string path = std::string(home) + cz::kSettingsFileName;
  IniDocument ini;
  if (!ini.ReadFile(path)) {
    // First run: no settings file yet. The default TempDir lets it work.
    SetDefaultTempDir(s, home);
    return 0;
  }

  ReadText(ini, "INSTR", "RscComm", s.RscComm, Fit::kCut);
  ReadText(ini, "INSTR", "Select", s.Select, Fit::kRefuse);
  ReadText(ini, "INSTR", "LANScn", s.LANScn, Fit::kRefuse);
  ReadInt(ini, "INSTR", "BrdScn", s.BrdScn);
  ReadInt(ini, "INSTR", "If", s.If);
  ReadText(ini, "INSTR", "UsbSer", s.UsbSer, Fit::kCut, 31);
  ReadInt(ini, "INSTR", "UsbId", s.UsbId);
  ReadText(ini, "INSTR", "Host", s.Host, Fit::kRefuse);
  ReadInt(ini, "INSTR", "GpibBrd", s.GpibBrd);
  ReadInt(ini, "INSTR", "GpibDev", s.GpibDev);
  ReadText(ini, "INSTR", "Other", s.Other, Fit::kRefuse);

  ReadDeviceList(ini, "DEV", s.ManualDeviceList);
  ReadDeviceList(ini, "SDEV", s.ScannedDeviceList);

  ReadText(ini, "PRG", "TempDir", s.TempDir, Fit::kRefuse);
  if (s.TempDir.empty()) SetDefaultTempDir(s, home);
  ReadText(ini, "PRG", "LastPrj", s.LastPrj, Fit::kRefuse);
  ReadFlag(ini, "PRG", "SavePrjOnExit", s.SavePrjOnExit);
  ReadFlag(ini, "PRG", "AllowTrace", s.AllowTrace);
  ReadText(ini, "PRG", "RemoteFileA", s.RemoteFileA, Fit::kRefuse);
  ReadText(ini, "PRG", "RemoteFileB", s.RemoteFileB, Fit::kRefuse);
  ReadInt(ini, "PRG", "BBRoutingA", s.BBRoutingA);
  ReadInt(ini, "PRG", "BBRoutingB", s.BBRoutingB);
  ReadInt(ini, "PRG", "BBModeA", s.BBModeA);
  ReadInt(ini, "PRG", "BBModeB", s.BBModeB);
  ReadFlag(ini, "PRG", "BBLinkFA", s.BBLinkFA);
  ReadFlag(ini, "PRG", "BBLinkFB", s.BBLinkFB);
  ReadFlag(ini, "PRG", "RFSetFA", s.RFSetFA);
  ReadFlag(ini, "PRG", "RFSetFB", s.RFSetFB);
  ReadFlag(ini, "PRG", "RFSetLA", s.RFSetLA);
  ReadFlag(ini, "PRG", "RFSetLB", s.RFSetLB);
  ReadFlag(ini, "PRG", "RFStateA", s.RFStateA);
  ReadFlag(ini, "PRG", "RFStateB", s.RFStateB);
  ReadDouble(ini, "PRG", "RFFreqA", s.RFFreqA);
  ReadDouble(ini, "PRG", "RFFreqB", s.RFFreqB);
  ReadDouble(ini, "PRG", "RFLevA", s.RFLevA);
  ReadDouble(ini, "PRG", "RFLevB", s.RFLevB);
  return 1;
}

// Writes every INSTR and PRG key and the device lists up to their first
// empty entry. [General] belongs to the working directory's file: it is
// never made here, but when the file written is that one (a settings file
// beside the program that names its own folder as the home), its [General]
// section is kept as it stands, so that the next start finds the home
// again. The old file stays in place until the new one is complete on disk.
int SaveSettings(const AppSettings& s) {
  std::string path;
  if (!HomeFile(cz::kSettingsFileName, &path)) {
    MessagePopup(kErrorTitle, "Cannot save project settings.");
    return 0;
  }
  IniDocument ini;
  ini.SetText("INSTR", "RscComm", s.RscComm.view());
  ini.SetText("INSTR", "Select", s.Select.view());
  ini.SetText("INSTR", "LANScn", s.LANScn.view());
  ini.SetRaw("INSTR", "BrdScn", IntText(s.BrdScn));
  ini.SetRaw("INSTR", "If", IntText(s.If));
  ini.SetText("INSTR", "UsbSer", s.UsbSer.view());
  ini.SetRaw("INSTR", "UsbId", IntText(s.UsbId));
  ini.SetText("INSTR", "Host", s.Host.view());
  ini.SetRaw("INSTR", "GpibBrd", IntText(s.GpibBrd));
  ini.SetRaw("INSTR", "GpibDev", IntText(s.GpibDev));
  ini.SetText("INSTR", "Other", s.Other.view());

  WriteDeviceList(ini, "DEV", s.ManualDeviceList);
  WriteDeviceList(ini, "SDEV", s.ScannedDeviceList);

  ini.SetText("PRG", "TempDir", s.TempDir.view());
  ini.SetText("PRG", "LastPrj", s.LastPrj.view());
  ini.SetRaw("PRG", "SavePrjOnExit", FlagText(s.SavePrjOnExit));
  ini.SetRaw("PRG", "AllowTrace", FlagText(s.AllowTrace));
  ini.SetText("PRG", "RemoteFileA", s.RemoteFileA.view());
  ini.SetText("PRG", "RemoteFileB", s.RemoteFileB.view());
  ini.SetRaw("PRG", "BBRoutingA", IntText(s.BBRoutingA));
  ini.SetRaw("PRG", "BBRoutingB", IntText(s.BBRoutingB));
  ini.SetRaw("PRG", "BBModeA", IntText(s.BBModeA));
  ini.SetRaw("PRG", "BBModeB", IntText(s.BBModeB));
  ini.SetRaw("PRG", "BBLinkFA", FlagText(s.BBLinkFA));
  ini.SetRaw("PRG", "BBLinkFB", FlagText(s.BBLinkFB));
  ini.SetRaw("PRG", "RFSetFA", FlagText(s.RFSetFA));
  ini.SetRaw("PRG", "RFSetFB", FlagText(s.RFSetFB));
  ini.SetRaw("PRG", "RFSetLA", FlagText(s.RFSetLA));
  ini.SetRaw("PRG", "RFSetLB", FlagText(s.RFSetLB));
  ini.SetRaw("PRG", "RFStateA", FlagText(s.RFStateA));
  ini.SetRaw("PRG", "RFStateB", FlagText(s.RFStateB));
  ini.SetRaw("PRG", "RFFreqA", DoubleText(s.RFFreqA));
  ini.SetRaw("PRG", "RFFreqB", DoubleText(s.RFFreqB));
  ini.SetRaw("PRG", "RFLevA", DoubleText(s.RFLevA));
  ini.SetRaw("PRG", "RFLevB", DoubleText(s.RFLevB));

  const std::string namesHome = cz::WithTrailingSlash(WorkingDirectory()) + cz::kSettingsFileName;
  IniDocument old;
  if (SameFile(path, namesHome) && old.ReadFile(path)) ini.CopySection(old, "General");

  // Synced to the disk before the rename: a crash leaves either the old file
  // or the new one, never a half-written one.
  std::string reason;
  if (!cz::ReplaceFileContents(path, ini.Serialise(), &reason)) {
    Log_Message(5, "*** Cannot write ", path.c_str(), ": ", reason.c_str(), ".");
    MessagePopup(kErrorTitle, "Cannot save project settings.");
    return 0;
  }
  return 1;
}

