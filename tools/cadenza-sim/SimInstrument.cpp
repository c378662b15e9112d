// Message framing, dispatch, faults and journal of the simulated instrument.
#include "tools/cadenza-sim/SimInstrument.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/CLocale.h"
#include "tools/cadenza-sim/SimInternal.h"

namespace cz::sim {

namespace {

// File-system roots and full option lists per model: Unix-style models get
// their default directory, "/var" and "/hdd"; drive-style ones "D:\". The
// first row whose model occurs in the configured model name applies.
struct ModelRoots {
  const char* model;
  bool unixStyle;
  const char* defaultDir;   // key form
  const char* fullOptions;  // "*OPT?" of the model fully equipped
};
const ModelRoots kModelRoots[] = {
    {"Tovik", false, "D:/", "TVK-M64,TVK-M16,TVK-RFA30,TVK-RFB30"},
    {"Kaldra", false, "D:/", "KLD-M64,KLD-M16,KLD-RFA30,KLD-RFB30"},
    {"Halvex", false, "D:/", "HLX-M64,HLX-M16,HLX-RFA30,HLX-RFB30"},
    {"Quorra", true, "/var/quorra", ""},
    {"Lumbra", true, "D:/", "LMB-M256"},
    {"Ravell", false, "D:/", ""},
    {"Pernot", false, "D:/", "PRN-M64,PRN-M16"},
    {"Gortin", true, "/var/gortin", ""},
    {"Dellum", true, "/var/dellum", ""},
    {"Ettrin", false, "D:/", ""},
    {"Lumbrix", false, "D:/", "LMB-M1G"},
    {"Nerrin", true, "/var/nerrin", "NRN-M32A,NRN-RF60"},
    {"Vessan", true, "/var/vessan", ""},
    {"Ostrel", true, "/var/user", ""},
};

const ModelRoots* FindModel(const std::string& name) {
  for (const ModelRoots& r : kModelRoots)
    if (name.find(r.model) != std::string::npos) return &r;
  return nullptr;
}

// Queue length of the instrument's error queue (SCPI requires at least 2).
constexpr std::size_t kErrorQueueMax = 20;

std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool Contains(const std::string& text, const std::string& match) {
  return match.empty() || Upper(text).find(Upper(match)) != std::string::npos;
}

// One node of a command pattern: "SOURce#" has short form "SOUR", long form
// "SOURCE" and takes a numeric suffix; "[...]" marks an optional node.
struct PatternNode {
  std::string shortForm;
  std::string longForm;
  bool optional = false;
  bool suffix = false;
};

struct InputNode {
  std::string keyword;  // upper case
  int suffix = -1;      // -1 = none
};

std::vector<PatternNode> ParsePattern(const char* pattern, bool* query) {
  std::vector<PatternNode> nodes;
  std::string p = pattern;
  *query = !p.empty() && p.back() == '?';
  if (*query) p.pop_back();
  // Tokens are separated by ':'; "[...]" (with or without its own leading
  // ':') is one optional node.
  std::size_t i = 0;
  while (i < p.size()) {
    if (p[i] == ':') {
      ++i;
      continue;
    }
    PatternNode n;
    std::string tok;
    if (p[i] == '[') {
      std::size_t close = p.find(']', i);
      tok = p.substr(i + 1, close - i - 1);
      if (!tok.empty() && tok.front() == ':') tok.erase(0, 1);
      n.optional = true;
      i = close + 1;
    } else {
      std::size_t next = p.find_first_of(":[", i);
      tok = p.substr(i, next == std::string::npos ? std::string::npos : next - i);
      i = next == std::string::npos ? p.size() : next;
    }
    if (!tok.empty() && tok.back() == '#') {
      n.suffix = true;
      tok.pop_back();
    }
    // The short form is the leading run without lower-case letters.
    std::size_t k = 0;
    while (k < tok.size() && !std::islower(static_cast<unsigned char>(tok[k]))) ++k;
    n.shortForm = tok.substr(0, k);
    n.longForm = Upper(tok);
    nodes.push_back(n);
  }
  return nodes;
}

bool MatchNodes(const std::vector<PatternNode>& p, std::size_t pi, const std::vector<InputNode>& in,
                std::size_t ii, int* suffix) {
  if (pi == p.size()) return ii == in.size();
  const PatternNode& n = p[pi];
  if (ii < in.size()) {
    const InputNode& t = in[ii];
    bool ok = (t.keyword == n.shortForm || t.keyword == n.longForm) && (t.suffix < 0 || n.suffix);
    if (ok && MatchNodes(p, pi + 1, in, ii + 1, suffix)) {
      if (t.suffix >= 0 && *suffix < 0) *suffix = t.suffix;
      return true;
    }
  }
  return n.optional && MatchNodes(p, pi + 1, in, ii, suffix);
}

std::vector<InputNode> ParseHeader(const std::string& header, bool* query) {
  std::string h = header;
  if (!h.empty() && h.front() == ':') h.erase(0, 1);
  *query = !h.empty() && h.back() == '?';
  if (*query) h.pop_back();
  std::vector<InputNode> nodes;
  std::size_t start = 0;
  for (;;) {
    std::size_t colon = h.find(':', start);
    std::string tok = h.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    InputNode n;
    std::size_t k = tok.size();
    while (k > 0 && std::isdigit(static_cast<unsigned char>(tok[k - 1]))) --k;
    if (k < tok.size() && k > 0) {
      n.suffix = std::atoi(tok.c_str() + k);
      tok.resize(k);
    }
    n.keyword = Upper(tok);
    nodes.push_back(n);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return nodes;
}

std::string Trim(const std::string& s) {
  std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return std::string();
  std::size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

}  // namespace

bool SimModel_Find(const std::string& name, std::string* fullOptions) {
  const ModelRoots* r = FindModel(name);
  if (r && fullOptions) *fullOptions = r->fullOptions;
  return r != nullptr;
}

std::string SimModel_Names() {
  std::string names;
  for (const ModelRoots& r : kModelRoots) names += (names.empty() ? "" : ", ") + std::string(r.model);
  return names;
}

uint32_t SimInstrument::Crc32(const std::string& data) {
  static uint32_t table[256];
  static bool ready = [] {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    return true;
  }();
  (void)ready;
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

bool SimFault_Parse(const std::string& spec, SimFault* fault, std::string* why) {
  SimFault f;
  std::string s = spec;
  std::size_t at = s.find('@');
  if (at != std::string::npos) {
    f.match = s.substr(at + 1);
    s.resize(at);
  }
  std::size_t star = s.find('*');
  if (star != std::string::npos) {
    f.times = std::atoi(s.c_str() + star + 1);
    if (f.times <= 0) {
      *why = "fault count must be a positive number: " + spec;
      return false;
    }
    s.resize(star);
  }
  std::string kind = s, arg;
  std::size_t eq = s.find('=');
  if (eq != std::string::npos) {
    kind = s.substr(0, eq);
    arg = s.substr(eq + 1);
  }
  struct KindRow {
    const char* name;
    SimFaultKind kind;
    int argType;  // 0 none, 1 number, 2 text
  };
  static const KindRow kinds[] = {
      {"noreply", SimFaultKind::kNoReply, 0},     {"late", SimFaultKind::kLateReply, 1},
      {"opc0", SimFaultKind::kOpcZero, 0},        {"error", SimFaultKind::kQueueError, 2},
      {"drop", SimFaultKind::kDrop, 0},           {"dropblock", SimFaultKind::kDropInBlock, 1},
      {"badblock", SimFaultKind::kBadBlock, 0},   {"shortblock", SimFaultKind::kShortBlock, 1},
      {"longcat", SimFaultKind::kLongCatalog, 1}, {"busy", SimFaultKind::kBusy, 1},
      {"reply", SimFaultKind::kReply, 2},         {"slow", SimFaultKind::kSlowReply, 1},
  };
  for (const KindRow& k : kinds) {
    if (kind != k.name) continue;
    f.kind = k.kind;
    if (k.argType == 0 && !arg.empty()) break;
    if (k.argType == 1) {
      char* end = nullptr;
      f.value = std::strtoll(arg.c_str(), &end, 10);
      if (arg.empty() || *end || f.value < 0) break;
    }
    if (k.argType == 2) {
      if (arg.empty()) break;
      f.text = arg;
    }
    *fault = f;
    return true;
  }
  *why = "unknown or malformed fault: " + spec;
  return false;
}

// Receive state of one connection.
struct SimInstrument::Connection {
  int id = 0;
  bool streamed = false;  // replies go out when due, never held for a read
  enum State { kText, kHash, kLength, kData } state = kText;
  Message cur;
  char quote = 0;
  int lengthDigits = 0;
  uint64_t blockLength = 0;
  int64_t dropAt = -1;  // block byte count at which the connection is dropped
  std::deque<Reply> out;

  void ResetInput() {
    cur = Message();
    state = kText;
    quote = 0;
    dropAt = -1;
  }
};

SimInstrument::SimInstrument(SimConfig config) : config_(std::move(config)) {
  fs_ = std::make_unique<SimFileSystem>(config_.capacityBytes);
  const ModelRoots* roots = FindModel(config_.model);
  if (!roots || !roots->unixStyle || std::strncmp(roots->defaultDir, "D:", 2) == 0) fs_->AddDirectories("D:/");
  if (!roots || roots->unixStyle) {
    fs_->AddDirectories("/var");
    fs_->AddDirectories("/hdd");
  }
  defaultDir_ = roots ? roots->defaultDir : "D:/";
  fs_->AddDirectories(defaultDir_);
  fs_->SetCwd(defaultDir_);
  if (!config_.journalPath.empty()) {
    if (FILE* f = std::fopen(config_.journalPath.c_str(), "w")) {
      std::fclose(f);
    } else {
      journalError_ = std::strerror(errno);
    }
  }
}

SimInstrument::~SimInstrument() = default;

void SimInstrument::JournalLine(const std::string& line) {
  journal_.push_back(line);
  if (config_.journalPath.empty()) return;
  if (FILE* f = std::fopen(config_.journalPath.c_str(), "a")) {
    std::fwrite(line.data(), 1, line.size(), f);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

void SimInstrument::NotePortmap(const std::string& what) {
  std::lock_guard<std::mutex> lock(mutex_);
  JournalLine("PORTMAP " + what);
}

int SimInstrument::Connect(const std::string& how, bool streamed) {
  std::lock_guard<std::mutex> lock(mutex_);
  int id = nextConn_++;
  auto c = std::make_unique<Connection>();
  c->id = id;
  c->streamed = streamed;
  conns_[id] = std::move(c);
  JournalLine(FormatC("CONNECT %d %s", id, how.c_str()));
  return id;
}

void SimInstrument::Disconnect(int conn) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (conns_.erase(conn)) JournalLine(FormatC("DISCONNECT %d", conn));
}

bool SimInstrument::Feed(int conn, const uint8_t* data, std::size_t count, bool end) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = conns_.find(conn);
  if (it == conns_.end()) return false;
  Connection& c = *it->second;
  auto finish = [&]() -> bool {
    while (!c.cur.text.empty() && (c.cur.text.back() == '\r' || c.cur.text.back() == '\n') &&
           (c.cur.blocks.empty() || c.cur.text.size() > c.cur.blocks.back().pos))
      c.cur.text.pop_back();
    bool keep = true;
    if (!c.cur.text.empty() || !c.cur.blocks.empty()) keep = Execute(c, c.cur);
    c.ResetInput();
    return keep;
  };
  std::size_t i = 0;
  while (i < count) {
    if (c.state == Connection::kData) {
      Block& b = c.cur.blocks.back();
      uint64_t want = b.declared - b.data.size();
      if (c.dropAt >= 0 && uint64_t(c.dropAt) - b.data.size() < want) want = uint64_t(c.dropAt) - b.data.size();
      std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(want, count - i));
      b.data.append(reinterpret_cast<const char*>(data + i), n);
      i += n;
      if (c.dropAt >= 0 && b.data.size() >= uint64_t(c.dropAt)) {
        JournalLine(FormatC("DROP %d after %llu block bytes", conn, static_cast<unsigned long long>(b.data.size())));
        c.ResetInput();
        return false;
      }
      if (b.data.size() == b.declared) c.state = Connection::kText;
      continue;
    }
    const char ch = static_cast<char>(data[i++]);
    if (c.state == Connection::kLength) {
      if (ch >= '0' && ch <= '9') {
        c.cur.text += ch;
        c.blockLength = c.blockLength * 10 + uint64_t(ch - '0');
        if (--c.lengthDigits == 0) {
          // "#10" is an empty definite-length block: no data follows.
          if (c.blockLength == 0) {
            Block b;
            b.pos = c.cur.text.size();
            c.cur.blocks.push_back(std::move(b));
            c.state = Connection::kText;
          } else {
            Block b;
            b.pos = c.cur.text.size();
            b.declared = c.blockLength;
            c.cur.blocks.push_back(std::move(b));
            c.state = Connection::kData;
            SimFault* f = nullptr;
            if (FaultFires(SimFaultKind::kDropInBlock, c.cur.text, &f)) c.dropAt = f->value;
            if (c.dropAt == 0) {
              JournalLine(FormatC("DROP %d after 0 block bytes", conn));
              c.ResetInput();
              return false;
            }
          }
        }
        continue;
      }
      c.state = Connection::kText;  // malformed length: the rest is text
    } else if (c.state == Connection::kHash) {
      c.state = Connection::kText;
      if (ch >= '1' && ch <= '9') {
        c.cur.text += ch;
        c.lengthDigits = ch - '0';
        c.blockLength = 0;
        c.state = Connection::kLength;
        continue;
      }
    }
    if (ch == '\n') {
      if (!finish()) return false;
      continue;
    }
    c.cur.text += ch;
    if (c.quote) {
      if (ch == c.quote) c.quote = 0;
    } else if (ch == '\'' || ch == '"') {
      c.quote = ch;
    } else if (ch == '#') {
      c.state = Connection::kHash;
    }
  }
  if (end && !finish()) return false;
  return true;
}

bool SimInstrument::PeekReply(int conn, std::string* bytes, std::chrono::steady_clock::time_point* due,
                              uint64_t* bytesPerSecond) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = conns_.find(conn);
  if (it == conns_.end() || it->second->out.empty()) return false;
  if (bytes) *bytes = it->second->out.front().bytes;
  *due = it->second->out.front().due;
  if (bytesPerSecond) *bytesPerSecond = it->second->out.front().bytesPerSecond;
  return true;
}

bool SimInstrument::TakeReply(int conn, std::string* bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = conns_.find(conn);
  if (it == conns_.end() || it->second->out.empty()) return false;
  *bytes = std::move(it->second->out.front().bytes);
  it->second->out.pop_front();
  return true;
}

void SimInstrument::PopReply(int conn) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = conns_.find(conn);
  if (it != conns_.end() && !it->second->out.empty()) it->second->out.pop_front();
}

void SimInstrument::DeviceClear(int conn) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = conns_.find(conn);
  if (it == conns_.end()) return;
  it->second->ResetInput();
  it->second->out.clear();
  JournalLine(FormatC("CLEAR %d", conn));
}

uint8_t SimInstrument::StatusOf(const Connection& c) const {
  uint8_t stb = 0;
  if (!errors_.empty()) stb |= 0x04;
  if (!c.out.empty()) stb |= 0x10;
  if (esr_ & ese_) stb |= 0x20;
  if (stb & sre_) stb |= 0x40;
  return stb;
}

uint8_t SimInstrument::StatusByte(int conn) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = conns_.find(conn);
  return it == conns_.end() ? 0 : StatusOf(*it->second);
}

void SimInstrument::GoToLocal(int conn) {
  std::lock_guard<std::mutex> lock(mutex_);
  JournalLine(FormatC("LOCAL %d", conn));
}

bool SimInstrument::FaultFires(SimFaultKind kind, const std::string& text, SimFault** out) {
  for (SimFault& f : config_.faults) {
    if (f.kind != kind || f.times == 0 || !Contains(text, f.match)) continue;
    if (f.times > 0) --f.times;
    if (out) *out = &f;
    return true;
  }
  return false;
}

void SimInstrument::QueueError(const std::string& error) {
  if (errors_.size() >= kErrorQueueMax) {
    errors_.back() = "-350,\"Queue overflow\"";
    esr_ |= 0x08;
    return;
  }
  errors_.push_back(error);
  // Event status bits per SCPI error class: command errors -1xx set
  // bit 5, execution errors -2xx bit 4, device-specific errors (-3xx and
  // every positive code) bit 3, query errors -4xx bit 2.
  const int code = std::atoi(error.c_str());
  if (code <= -100 && code > -200) esr_ |= 0x20;
  else if (code <= -200 && code > -300) esr_ |= 0x10;
  else if (code <= -400 && code > -500) esr_ |= 0x04;
  else if (code != 0) esr_ |= 0x08;
}

bool SimInstrument::Execute(Connection& c, const Message& msg) {
  // Journal: the text with each block shown as its length and checksum.
  std::string shown;
  std::size_t from = 0;
  for (const Block& b : msg.blocks) {
    shown += msg.text.substr(from, b.pos - from);
    if (b.data.size() == b.declared)
      shown += FormatC("[%llu bytes crc32 %08X]", static_cast<unsigned long long>(b.declared), Crc32(b.data));
    else
      shown += FormatC("[%llu of %llu bytes]", static_cast<unsigned long long>(b.data.size()),
                       static_cast<unsigned long long>(b.declared));
    from = b.pos;
  }
  shown += msg.text.substr(from);
  JournalLine(FormatC("RECV %d %s", c.id, shown.c_str()));

  // A reply nobody read is discarded by the next message (the INTERRUPTED
  // condition of IEEE 488.2).
  if (!c.streamed && !c.out.empty()) {
    c.out.clear();
    QueueError("-410,\"Query INTERRUPTED\"");
  }

  // Program message units are separated by ';' outside quotes.
  std::vector<std::string> replies;
  std::size_t blockCursor = 0;
  std::string unit;
  char quote = 0;
  for (std::size_t i = 0; i <= msg.text.size(); ++i) {
    const char ch = i < msg.text.size() ? msg.text[i] : ';';
    if (quote) {
      if (ch == quote) quote = 0;
    } else if (ch == '\'' || ch == '"') {
      quote = ch;
    } else if (ch == ';') {
      std::string u = Trim(unit);
      if (!u.empty()) ExecuteOne(c, msg, u, &blockCursor, &replies);
      unit.clear();
      continue;
    }
    unit += ch;
  }

  SimFault* f = nullptr;
  if (!replies.empty() && FaultFires(SimFaultKind::kReply, msg.text, &f)) replies.assign(1, f->text);
  if (FaultFires(SimFaultKind::kQueueError, msg.text, &f)) QueueError(f->text);
  if (FaultFires(SimFaultKind::kDrop, msg.text)) {
    JournalLine(FormatC("DROP %d after message", c.id));
    return false;
  }
  if (replies.empty() || FaultFires(SimFaultKind::kNoReply, msg.text)) return true;
  // A reply of hundreds of megabytes (a file read back) is moved, not copied.
  std::string bytes = std::move(replies[0]);
  for (std::size_t i = 1; i < replies.size(); ++i) bytes.append(";").append(replies[i]);
  bytes += '\n';
  auto due = std::chrono::steady_clock::now();
  if (FaultFires(SimFaultKind::kLateReply, msg.text, &f)) due += std::chrono::milliseconds(f->value);
  uint64_t pace = 0;
  if (FaultFires(SimFaultKind::kSlowReply, msg.text, &f)) pace = static_cast<uint64_t>(f->value);
  c.out.push_back(Reply{std::move(bytes), due, pace});
  return true;
}

bool SimInstrument::ExecuteOne(Connection& c, const Message& msg, const std::string& unit, std::size_t* blockCursor,
                               std::vector<std::string>* replies) {
  std::size_t sp = unit.find_first_of(" \t");
  const std::string header = unit.substr(0, sp);
  bool query = false;
  std::vector<InputNode> in = ParseHeader(header, &query);
  for (const CommandRow* row = kCommands; row->pattern; ++row) {
    bool rowQuery = false;
    std::vector<PatternNode> p = ParsePattern(row->pattern, &rowQuery);
    int suffix = -1;
    if (rowQuery != query || !MatchNodes(p, 0, in, 0, &suffix)) continue;
    Context ctx{c, msg, sp == std::string::npos ? std::string() : Trim(unit.substr(sp)), query,
                suffix, blockCursor, std::string(), false};
    (this->*row->handler)(ctx);
    if (ctx.hasReply) replies->push_back(std::move(ctx.reply));
    return true;
  }
  QueueError("-113,\"Undefined header\"");
  return false;
}

void SimInstrument::Reset() {
  for (SimPathState& p : paths_) p = SimPathState();
  fs_->SetCwd(defaultDir_);
  busyPolls_ = 0;
  msw_ = SimMswState();
}

SimPathState& SimInstrument::PathOf(Context& c) { return paths_[c.suffix == 2 ? 1 : 0]; }

std::vector<std::string> SimInstrument::Journal() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return journal_;
}

bool SimInstrument::FileData(const std::string& instrumentPath, std::string* data) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string key;
  if (!fs_->Resolve(instrumentPath, &key)) return false;
  const std::string* d = fs_->ReadFile(key);
  if (!d) return false;
  *data = *d;
  return true;
}

bool SimInstrument::WriteFileData(const std::string& instrumentPath, const std::string& data) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string key;
  return fs_->Resolve(instrumentPath, &key) && fs_->WriteFile(key, data);
}

SimPathState SimInstrument::Path(int path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paths_[path == 2 ? 1 : 0];
}

bool SimInstrument::RfList(const std::string& instrumentPath, SimRfList* list) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string key;
  if (!fs_->Resolve(instrumentPath, &key)) return false;
  auto it = lists_.find(key);
  if (it == lists_.end()) return false;
  *list = it->second;
  return true;
}

std::vector<std::string> SimInstrument::ErrorQueue() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<std::string>(errors_.begin(), errors_.end());
}

void SimInstrument::AddFault(const SimFault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.faults.push_back(fault);
}

void SimInstrument::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.faults.clear();
}

}  // namespace cz::sim
