// The simulated instrument's SCPI commands: IEEE 488.2 common commands, the
// error queue, mass memory, ARB and I/Q generator, routing, RF settings and
// RF lists. Error numbers follow the SCPI standard's error list; 469 is the
// instrument's own "no file matches the pattern" of a catalog query.
#include <cctype>
#include <cmath>
#include <cstring>

#include "platform/CLocale.h"
#include "tools/cadenza-sim/SimInternal.h"

namespace cz::sim {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// First parameter: a quoted string (doubled quotes stand for one) or a bare
// token up to ','. *rest receives what follows the separating comma.
bool FirstParam(const std::string& args, std::string* value, std::string* rest = nullptr) {
  std::size_t i = 0;
  while (i < args.size() && std::isspace(static_cast<unsigned char>(args[i]))) ++i;
  if (i == args.size()) return false;
  value->clear();
  if (args[i] == '\'' || args[i] == '"') {
    const char q = args[i++];
    for (;;) {
      if (i >= args.size()) return false;
      if (args[i] == q) {
        if (i + 1 < args.size() && args[i + 1] == q) {
          *value += q;
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      *value += args[i++];
    }
  } else {
    while (i < args.size() && args[i] != ',') *value += args[i++];
    while (!value->empty() && std::isspace(static_cast<unsigned char>(value->back()))) value->pop_back();
  }
  while (i < args.size() && std::isspace(static_cast<unsigned char>(args[i]))) ++i;
  if (i < args.size() && args[i] == ',') ++i;
  if (rest) *rest = args.substr(i);
  return true;
}

bool ParseBool(const std::string& args, bool* on) {
  std::string v = Upper(args);
  if (v == "ON" || v == "1") *on = true;
  else if (v == "OFF" || v == "0") *on = false;
  else return false;
  return true;
}

// A number with an optional unit suffix ("1.000000 GHz", "1MHZ", "5.0 ms").
struct UnitRow {
  const char* unit;
  double factor;
};
bool ParseValue(const std::string& args, const UnitRow* units, double* value) {
  char* end = nullptr;
  double v = cz::StrtodC(args.c_str(), &end);
  if (end == args.c_str() || !std::isfinite(v)) return false;
  std::string unit = Upper(std::string(end));
  while (!unit.empty() && std::isspace(static_cast<unsigned char>(unit.front()))) unit.erase(0, 1);
  while (!unit.empty() && std::isspace(static_cast<unsigned char>(unit.back()))) unit.pop_back();
  if (!unit.empty()) {
    bool found = false;
    for (const UnitRow* u = units; u && u->unit; ++u)
      if (unit == u->unit) {
        v *= u->factor;
        found = true;
        break;
      }
    if (!found) return false;
  }
  *value = v;
  return true;
}

const UnitRow kFreqUnits[] = {{"HZ", 1.0}, {"KHZ", 1e3}, {"MHZ", 1e6}, {"GHZ", 1e9}, {nullptr, 0}};
const UnitRow kLevelUnits[] = {{"DBM", 1.0}, {nullptr, 0}};
const UnitRow kTimeUnits[] = {{"S", 1.0}, {"MS", 1e-3}, {"US", 1e-6}, {nullptr, 0}};
const UnitRow kNoUnits[] = {{nullptr, 0}};

std::string Number(double v) { return cz::FormatC("%.15g", v); }

// The text of an SCPI string response: every double quote doubled.
std::string DoubledQuotes(const std::string& text) {
  std::string out;
  for (char ch : text) {
    out.push_back(ch);
    if (ch == '"') out.push_back('"');
  }
  return out;
}

}  // namespace

bool SimFirstParam(const std::string& args, std::string* value, std::string* rest) {
  return FirstParam(args, value, rest);
}
std::string SimUpper(std::string s) { return Upper(std::move(s)); }
bool SimParseFrequency(const std::string& args, double* hz) { return ParseValue(args, kFreqUnits, hz); }

// Pattern notation: upper-case letters are the short form, the whole word the
// long form, '#' allows a numeric suffix, "[...]" marks an optional node and a
// trailing '?' a query.
const SimInstrument::CommandRow SimInstrument::kCommands[] = {
    {"*IDN?", &SimInstrument::CmdIdn},
    {"*OPT?", &SimInstrument::CmdOpt},
    {"*OPC?", &SimInstrument::CmdOpcQuery},
    {"*OPC", &SimInstrument::CmdNothing},
    {"*WAI", &SimInstrument::CmdNothing},
    {"*RST", &SimInstrument::CmdRst},
    {"*CLS", &SimInstrument::CmdCls},
    {"*ESR?", &SimInstrument::CmdEsrQuery},
    {"*STB?", &SimInstrument::CmdStbQuery},
    {"*ESE", &SimInstrument::CmdEse},
    {"*ESE?", &SimInstrument::CmdEseQuery},
    {"*SRE", &SimInstrument::CmdSre},
    {"*SRE?", &SimInstrument::CmdSreQuery},
    {"SYSTem:ERRor[:NEXT]?", &SimInstrument::CmdSystErr},
    {"SYSTem:COMMunicate:GPIB:LTERminator", &SimInstrument::CmdGpibLter},
    {"MMEMory:MSIS", &SimInstrument::CmdMsis},
    {"MMEMory:MSIS?", &SimInstrument::CmdMsisQuery},
    {"MMEMory:CDIRectory", &SimInstrument::CmdCdir},
    {"MMEMory:CDIRectory?", &SimInstrument::CmdCdirQuery},
    {"MMEMory:MDIRectory", &SimInstrument::CmdMdir},
    {"MMEMory:RDIRectory", &SimInstrument::CmdRdir},
    {"MMEMory:DELete", &SimInstrument::CmdDelete},
    {"MMEMory:CATalog?", &SimInstrument::CmdCatalog},
    {"MMEMory:CATalog:LENGth?", &SimInstrument::CmdCatalogLength},
    {"MMEMory:DCATalog?", &SimInstrument::CmdDirCatalog},
    {"MMEMory:DCATalog:LENGth?", &SimInstrument::CmdDirCatalogLength},
    {"MMEMory:DATA", &SimInstrument::CmdData},
    {"MMEMory:DATA?", &SimInstrument::CmdDataQuery},
    {"[SOURce#]:PRESet", &SimInstrument::CmdPreset},
    {"[SOURce#]:WAVeform:SELect", &SimInstrument::CmdWaveSelect},
    {"[SOURce#]:WAVeform:SELect?", &SimInstrument::CmdWaveSelectQuery},
    {"[SOURce#]:STATe", &SimInstrument::CmdIqGenState},
    {"[SOURce#]:STATe?", &SimInstrument::CmdIqGenStateQuery},
    {"[SOURce#]:BB:ARBitrary:PRESet", &SimInstrument::CmdArbPreset},
    {"[SOURce#]:BB:ARBitrary:WAVeform:SELect", &SimInstrument::CmdArbWaveSelect},
    {"[SOURce#]:BB:ARBitrary:WAVeform:SELect?", &SimInstrument::CmdArbWaveSelectQuery},
    {"[SOURce#]:BB:ARBitrary:STATe", &SimInstrument::CmdArbState},
    {"[SOURce#]:BB:ARBitrary:STATe?", &SimInstrument::CmdArbStateQuery},
    {"[SOURce#]:BB:ARBitrary:TSIGnal:SINE:FREQuency", &SimInstrument::CmdSineFreq},
    {"[SOURce#]:BB:ARBitrary:TSIGnal:SINE:SAMPles", &SimInstrument::CmdSineSamples},
    {"[SOURce#]:BB:ARBitrary:TSIGnal:SINE:CREate", &SimInstrument::CmdSineCreate},
    {"[SOURce#]:BB:ROUTe", &SimInstrument::CmdRoute},
    {"[SOURce#]:BB:ROUTe?", &SimInstrument::CmdRouteQuery},
    {"[SOURce#]:IQ:OUTPut[:STATe]", &SimInstrument::CmdIqOutState},
    {"[SOURce#]:IQ:OUTPut[:STATe]?", &SimInstrument::CmdIqOutStateQuery},
    {"[SOURce#]:FREQuency:MODE", &SimInstrument::CmdFreqMode},
    {"[SOURce#]:FREQuency:MODE?", &SimInstrument::CmdFreqModeQuery},
    {"[SOURce#]:FREQuency[:CW]", &SimInstrument::CmdFreq},
    {"[SOURce#]:FREQuency[:CW]?", &SimInstrument::CmdFreqQuery},
    {"[SOURce#]:POWer[:LEVel]", &SimInstrument::CmdPower},
    {"[SOURce#]:POWer[:LEVel]?", &SimInstrument::CmdPowerQuery},
    {"OUTPut#[:STATe]", &SimInstrument::CmdOutput},
    {"OUTPut#[:STATe]?", &SimInstrument::CmdOutputQuery},
    {"[SOURce#]:LIST:SELect", &SimInstrument::CmdListSelect},
    {"[SOURce#]:LIST:SELect?", &SimInstrument::CmdListSelectQuery},
    {"[SOURce#]:LIST:FREQuency", &SimInstrument::CmdListFreq},
    {"[SOURce#]:LIST:FREQuency?", &SimInstrument::CmdListFreqQuery},
    {"[SOURce#]:LIST:POWer", &SimInstrument::CmdListPower},
    {"[SOURce#]:LIST:POWer?", &SimInstrument::CmdListPowerQuery},
    {"[SOURce#]:LIST:DWELl", &SimInstrument::CmdListDwell},
    {"[SOURce#]:LIST:DWELl?", &SimInstrument::CmdListDwellQuery},
    {"[SOURce#]:LIST:MODE", &SimInstrument::CmdListMode},
    {"[SOURce#]:LIST:MODE?", &SimInstrument::CmdListModeQuery},
    {"[SOURce#]:LIST:TRIGger:SOURce", &SimInstrument::CmdListTrigSource},
    {"[SOURce#]:LIST:LEARn", &SimInstrument::CmdListLearn},
    {"[SOURce#]:LIST:TRIGger:EXECute", &SimInstrument::CmdListTrigExec},
    {"STATus:OPERation:CONDition?", &SimInstrument::CmdOperCond},
    {"CALibration#:IQModulator:LOCal?", &SimInstrument::CmdIqmLocal},
    {"[SOURce#]:OUTPut:ANALog:BALanced:BIAS:STATe", &SimInstrument::CmdBiasState},
    {"DIAGnostic#:POINt?", &SimInstrument::CmdDiagPoint},
    {"[SOURce#]:BB:ARBitrary:WSEGment:CONFigure:SELect", &SimInstrument::CmdMswConfSelect},
    {"[SOURce#]:BB:ARBitrary:WSEGment:SEQuence:SELect", &SimInstrument::CmdMswSeqSelect},
    {"[SOURce#]:BB:ARBitrary:WSEGment:CONFigure:LEVel:MODE", &SimInstrument::CmdMswLevelMode},
    {"[SOURce#]:BB:ARBitrary:WSEGment:CONFigure:CLOCk:MODE", &SimInstrument::CmdMswClockMode},
    {"[SOURce#]:BB:ARBitrary:WSEGment:CONFigure:CLOCk", &SimInstrument::CmdMswClock},
    {"[SOURce#]:BB:ARBitrary:WSEGment:CONFigure:OFILe", &SimInstrument::CmdMswOutputFile},
    {"[SOURce#]:BB:ARBitrary:WSEGment:CONFigure:COMMent", &SimInstrument::CmdMswComment},
    {"[SOURce#]:BB:ARBitrary:WSEGment:CONFigure:SEGMent:APPend", &SimInstrument::CmdMswSegmentAppend},
    {"[SOURce#]:BB:ARBitrary:WSEGment:SEQuence:APPend", &SimInstrument::CmdMswSeqAppend},
    {"[SOURce#]:BB:ARBitrary:WSEGment:CLOad", &SimInstrument::CmdMswCreate},
    {"[SOURce#]:BB:PROGress:MCODer:ARBitrary:WSEGment?", &SimInstrument::CmdMswProgressQuery},
    {"[SOURce#]:BB:ARBitrary:SEQuence", &SimInstrument::CmdMswSequenceMode},
    {"[SOURce#]:BB:ARBitrary:TRIGger:SMODe", &SimInstrument::CmdMswSegmentMode},
    {"[SOURce#]:BB:ARBitrary:TRIGger:SOURce", &SimInstrument::CmdMswTrigSource},
    {"[SOURce#]:BB:ARBitrary:WSEGment:NEXT", &SimInstrument::CmdMswNext},
    {"[SOURce#]:BB:ARBitrary:TRIGger:ARM:EXECute", &SimInstrument::CmdMswArm},
    {"[SOURce#]:BB:ARBitrary:TRIGger:EXTernal:DELay", &SimInstrument::CmdMswDelay},
    {"[SOURce#]:BB:ARBitrary:TRIGger:RMODe?", &SimInstrument::CmdMswRunModeQuery},
    {"[SOURce#]:BB:ARBitrary:TRIGger:EXECute", &SimInstrument::CmdMswTrigger},
    {"[SOURce#]:BB:ARBitrary:WSEGment?", &SimInstrument::CmdMswSegmentQuery},
    {nullptr, nullptr},
};

// ---- common commands and error queue ------------------------------------------

void SimInstrument::CmdIdn(Context& c) {
  c.reply = "Torvane," + config_.model + "," + config_.serial + "," + config_.firmware;
  c.hasReply = true;
}

void SimInstrument::CmdOpt(Context& c) {
  c.reply = config_.options;
  c.hasReply = true;
}

void SimInstrument::CmdOpcQuery(Context& c) {
  c.reply = FaultFires(SimFaultKind::kOpcZero, c.msg.text) ? "0" : "1";
  c.hasReply = true;
}

void SimInstrument::CmdNothing(Context&) {}

void SimInstrument::CmdRst(Context&) { Reset(); }

void SimInstrument::CmdCls(Context&) {
  errors_.clear();
  esr_ = 0;
}

void SimInstrument::CmdStbQuery(Context& c) {
  c.reply = FormatC("%u", unsigned(StatusOf(c.conn)));
  c.hasReply = true;
}

void SimInstrument::CmdEsrQuery(Context& c) {
  c.reply = FormatC("%u", unsigned(esr_));
  c.hasReply = true;
  esr_ = 0;
}

namespace {

// An enable mask of "*ESE"/"*SRE": an integer 0..255 (a decimal fraction is
// rounded, as IEEE 488.2 numeric parameters are).
bool ParseMask(const std::string& args, uint8_t* mask, const char** error) {
  if (args.empty()) {
    *error = kErrMissing;
    return false;
  }
  double v = 0;
  if (!ParseValue(args, kNoUnits, &v)) {
    *error = kErrIllegal;
    return false;
  }
  v = std::round(v);
  if (v < 0 || v > 255) {
    *error = kErrRange;
    return false;
  }
  *mask = static_cast<uint8_t>(v);
  return true;
}

}  // namespace

void SimInstrument::CmdEse(Context& c) {
  const char* error = nullptr;
  if (!ParseMask(c.args, &ese_, &error)) QueueError(error);
}

void SimInstrument::CmdEseQuery(Context& c) {
  c.reply = FormatC("%u", unsigned(ese_));
  c.hasReply = true;
}

void SimInstrument::CmdSre(Context& c) {
  const char* error = nullptr;
  uint8_t mask = 0;
  if (!ParseMask(c.args, &mask, &error)) return QueueError(error);
  sre_ = mask & 0xBF;  // the summary bit itself cannot be enabled
}

void SimInstrument::CmdSreQuery(Context& c) {
  c.reply = FormatC("%u", unsigned(sre_));
  c.hasReply = true;
}

void SimInstrument::CmdSystErr(Context& c) {
  c.hasReply = true;
  if (errors_.empty()) {
    c.reply = "0,\"No error\"";
    return;
  }
  c.reply = errors_.front();
  errors_.pop_front();
}

void SimInstrument::CmdGpibLter(Context& c) {
  std::string v = Upper(c.args);
  if (v != "EOI" && v != "STAN" && v != "STANDARD") QueueError(kErrIllegal);
}

// ---- mass memory ---------------------------------------------------------------

bool SimInstrument::PathArgument(Context& c, std::string* key) {
  std::string path;
  if (!FirstParam(c.args, &path)) {
    QueueError(kErrMissing);
    return false;
  }
  for (unsigned char ch : path)
    if (ch < 0x20) {
      QueueError("-257,\"File name error\"");
      return false;
    }
  if (!fs_->Resolve(path, key)) {
    QueueError(kErrNotFound);
    return false;
  }
  return true;
}

void SimInstrument::CmdMsis(Context& c) {
  std::string drive;
  if (!FirstParam(c.args, &drive)) return QueueError(kErrMissing);
  std::string key;
  if (!fs_->Resolve(drive.size() == 2 && drive[1] == ':' ? drive + "\\" : drive, &key) || !fs_->IsDir(key))
    return QueueError(kErrNotFound);
  fs_->SetCwd(key);
}

void SimInstrument::CmdMsisQuery(Context& c) {
  const std::string& cwd = fs_->Cwd();
  c.reply = "\"" + (cwd.size() >= 2 && cwd[1] == ':' ? cwd.substr(0, 2) : std::string("/")) + "\"";
  c.hasReply = true;
}

void SimInstrument::CmdCdir(Context& c) {
  if (c.args.empty()) return fs_->SetCwd(defaultDir_);
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (!fs_->IsDir(key)) return QueueError(kErrNotFound);
  fs_->SetCwd(key);
}

void SimInstrument::CmdCdirQuery(Context& c) {
  c.reply = "\"" + DoubledQuotes(SimFileSystem::Display(fs_->Cwd())) + "\"";
  c.hasReply = true;
}

void SimInstrument::CmdMdir(Context& c) {
  std::string key;
  if (PathArgument(c, &key) && !fs_->MakeDir(key)) QueueError(kErrStorage);
}

void SimInstrument::CmdRdir(Context& c) {
  std::string key;
  if (PathArgument(c, &key) && !fs_->RemoveDir(key)) QueueError(kErrStorage);
}

void SimInstrument::CmdDelete(Context& c) {
  std::string key;
  if (PathArgument(c, &key) && !fs_->Delete(key)) QueueError(kErrNotFound);
}

// The directory and name pattern a catalog query addresses: no argument is
// the current directory, a directory is listed whole, anything else is a
// directory part and a pattern ("D:\waves\*.wv").
bool SimInstrument::ListTarget(Context& c, std::string* key, std::string* pattern) {
  *pattern = "*";
  if (c.args.empty()) {
    *key = fs_->Cwd();
    return true;
  }
  std::string full;
  if (!PathArgument(c, &full)) return false;
  if (fs_->IsDir(full)) {
    *key = full;
    return true;
  }
  *key = SimFileSystem::Parent(full);
  *pattern = SimFileSystem::BaseName(full);
  // As on the instruments' drive-style file systems, "*.*" also matches a
  // name without a dot.
  if (*pattern == "*.*") *pattern = "*";
  if (!fs_->IsDir(*key)) {
    QueueError(kErrNotFound);
    return false;
  }
  return true;
}

void SimInstrument::CmdCatalog(Context& c) {
  std::string key, pattern;
  c.hasReply = true;
  c.reply = FormatC("%llu,%llu", static_cast<unsigned long long>(fs_->UsedBytes()),
                    static_cast<unsigned long long>(fs_->FreeBytes()));
  if (!ListTarget(c, &key, &pattern)) return;
  // The filler entries of a long catalog come first, so the real entries
  // stand at its end, beyond any fixed-size read of the reply.
  SimFault* f = nullptr;
  if (FaultFires(SimFaultKind::kLongCatalog, c.msg.text, &f))
    for (int64_t i = 0; i < f->value; ++i) c.reply += FormatC(",\"filler_%06lld.bin,BIN,0\"", static_cast<long long>(i));
  int listed = 0;
  for (const SimDirEntry& e : fs_->List(key)) {
    if (!SimGlobMatch(pattern, e.name)) continue;
    c.reply += FormatC(",\"%s,%s,%llu\"", DoubledQuotes(e.name).c_str(), e.isDir ? "DIR" : "BIN",
                       static_cast<unsigned long long>(e.size));
    ++listed;
  }
  if (listed == 0) QueueError(kErrNoMatch);
}

void SimInstrument::CmdCatalogLength(Context& c) {
  std::string key, pattern;
  c.hasReply = true;
  c.reply = "0";
  if (!ListTarget(c, &key, &pattern)) return;
  int n = 0;
  for (const SimDirEntry& e : fs_->List(key))
    if (SimGlobMatch(pattern, e.name)) ++n;
  c.reply = FormatC("%d", n);
}

void SimInstrument::CmdDirCatalog(Context& c) {
  std::string key, pattern;
  c.hasReply = true;
  if (!ListTarget(c, &key, &pattern)) return;
  for (const SimDirEntry& e : fs_->List(key))
    if (e.isDir) c.reply += (c.reply.empty() ? "\"" : ",\"") + DoubledQuotes(e.name) + "\"";
}

void SimInstrument::CmdDirCatalogLength(Context& c) {
  std::string key, pattern;
  c.hasReply = true;
  c.reply = "0";
  if (!ListTarget(c, &key, &pattern)) return;
  int n = 0;
  for (const SimDirEntry& e : fs_->List(key))
    if (e.isDir) ++n;
  c.reply = FormatC("%d", n);
}

void SimInstrument::CmdData(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (*c.blockCursor >= c.msg.blocks.size()) return QueueError(kErrBlock);
  const Block& b = c.msg.blocks[(*c.blockCursor)++];
  if (b.data.size() != b.declared) return QueueError(kErrBlock);
  if (!fs_->IsDir(SimFileSystem::Parent(key))) return QueueError(kErrNotFound);
  if (!fs_->WriteFile(key, b.data)) QueueError(kErrStorage);
}

void SimInstrument::CmdDataQuery(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  const std::string* data = fs_->ReadFile(key);
  if (!data) return QueueError(kErrNotFound);
  const std::string len = FormatC("%llu", static_cast<unsigned long long>(data->size()));
  SimFault* f = nullptr;
  if (FaultFires(SimFaultKind::kBadBlock, c.msg.text)) {
    c.reply = "#0" + *data;
  } else if (FaultFires(SimFaultKind::kShortBlock, c.msg.text, &f)) {
    std::size_t keep = data->size() > uint64_t(f->value) ? data->size() - std::size_t(f->value) : 0;
    c.reply = FormatC("#%zu", len.size()) + len + data->substr(0, keep);
  } else {
    c.reply = FormatC("#%zu", len.size()) + len;
    c.reply.reserve(c.reply.size() + data->size() + 1);
    c.reply.append(*data);
  }
  c.hasReply = true;
}

// ---- baseband: I/Q generator and ARB -------------------------------------------

void SimInstrument::CmdPreset(Context& c) { PathOf(c) = SimPathState(); }

void SimInstrument::CmdWaveSelect(Context& c) { CmdArbWaveSelect(c); }

void SimInstrument::CmdWaveSelectQuery(Context& c) { CmdArbWaveSelectQuery(c); }

void SimInstrument::CmdIqGenState(Context& c) { CmdArbState(c); }

void SimInstrument::CmdIqGenStateQuery(Context& c) { CmdArbStateQuery(c); }

void SimInstrument::CmdArbPreset(Context& c) {
  SimPathState& p = PathOf(c);
  p.arbWaveform.clear();
  p.arbState = false;
  p.sineFreqHz = 0.0;
  p.sineSamples = 0;
  p.sineCreated = false;
}

void SimInstrument::CmdArbWaveSelect(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (!fs_->IsFile(key)) return QueueError(kErrNotFound);
  PathOf(c).arbWaveform = key;
  PathOf(c).sineCreated = false;
}

void SimInstrument::CmdArbWaveSelectQuery(Context& c) {
  const std::string& w = PathOf(c).arbWaveform;
  c.reply = "\"" + (w.empty() ? std::string() : SimFileSystem::Display(w)) + "\"";
  c.hasReply = true;
}

void SimInstrument::CmdArbState(Context& c) {
  bool on = false;
  if (!ParseBool(c.args, &on)) return QueueError(kErrIllegal);
  SimPathState& p = PathOf(c);
  if (on && p.arbWaveform.empty() && !p.sineCreated) return QueueError(kErrConflict);
  p.arbState = on;
  SimFault* f = nullptr;
  if (on && FaultFires(SimFaultKind::kBusy, c.msg.text, &f)) busyPolls_ = static_cast<int>(f->value);
}

void SimInstrument::CmdArbStateQuery(Context& c) {
  c.reply = PathOf(c).arbState ? "1" : "0";
  c.hasReply = true;
}

void SimInstrument::CmdSineFreq(Context& c) {
  double v = 0;
  if (!ParseValue(c.args, kFreqUnits, &v) || v <= 0) return QueueError(kErrIllegal);
  PathOf(c).sineFreqHz = v;
}

void SimInstrument::CmdSineSamples(Context& c) {
  double v = 0;
  if (!ParseValue(c.args, kNoUnits, &v) || v < 1 || v != std::floor(v)) return QueueError(kErrIllegal);
  PathOf(c).sineSamples = static_cast<int>(v);
}

void SimInstrument::CmdSineCreate(Context& c) {
  SimPathState& p = PathOf(c);
  if (p.sineFreqHz <= 0 || p.sineSamples <= 0) return QueueError(kErrConflict);
  p.sineCreated = true;
  p.arbWaveform.clear();
}

void SimInstrument::CmdRoute(Context& c) {
  std::string v = Upper(c.args);
  if (v != "A" && v != "B" && v != "AB") return QueueError(kErrIllegal);
  PathOf(c).route = v;
}

void SimInstrument::CmdRouteQuery(Context& c) {
  c.reply = PathOf(c).route;
  c.hasReply = true;
}

void SimInstrument::CmdIqOutState(Context& c) {
  bool on = false;
  if (!ParseBool(c.args, &on)) return QueueError(kErrIllegal);
  PathOf(c).iqState = on;
}

void SimInstrument::CmdIqOutStateQuery(Context& c) {
  c.reply = PathOf(c).iqState ? "1" : "0";
  c.hasReply = true;
}

// ---- RF ------------------------------------------------------------------------

void SimInstrument::CmdFreq(Context& c) {
  double v = 0;
  if (!ParseValue(c.args, kFreqUnits, &v)) return QueueError(kErrIllegal);
  if (v < 9e3 || v > 44e9) return QueueError(kErrRange);
  PathOf(c).freqHz = v;
}

void SimInstrument::CmdFreqQuery(Context& c) {
  c.reply = Number(PathOf(c).freqHz);
  c.hasReply = true;
}

void SimInstrument::CmdFreqMode(Context& c) {
  std::string v = Upper(c.args);
  if (v == "FIX" || v == "FIXED") v = "CW";
  if (v != "CW" && v != "LIST") return QueueError(kErrIllegal);
  PathOf(c).freqMode = v;
}

void SimInstrument::CmdFreqModeQuery(Context& c) {
  c.reply = PathOf(c).freqMode;
  c.hasReply = true;
}

void SimInstrument::CmdPower(Context& c) {
  double v = 0;
  if (!ParseValue(c.args, kLevelUnits, &v)) return QueueError(kErrIllegal);
  if (v < -145.0 || v > 30.0) return QueueError(kErrRange);
  PathOf(c).levelDbm = v;
}

void SimInstrument::CmdPowerQuery(Context& c) {
  c.reply = Number(PathOf(c).levelDbm);
  c.hasReply = true;
}

void SimInstrument::CmdOutput(Context& c) {
  bool on = false;
  if (!ParseBool(c.args, &on)) return QueueError(kErrIllegal);
  PathOf(c).rfOutput = on;
}

void SimInstrument::CmdOutputQuery(Context& c) {
  c.reply = PathOf(c).rfOutput ? "1" : "0";
  c.hasReply = true;
}

// ---- RF lists ------------------------------------------------------------------

// The list file holds the frequencies and then the levels as float64 values.
void SimInstrument::StoreListFile(const std::string& key) {
  const SimRfList& l = lists_[key];
  std::string data;
  for (double f : l.freqHz) data.append(reinterpret_cast<const char*>(&f), sizeof f);
  for (double v : l.levelDbm) data.append(reinterpret_cast<const char*>(&v), sizeof v);
  fs_->WriteFile(key, std::move(data));
}

// Values as a block of little-endian float64 or as a comma-separated list.
bool SimInstrument::ReadValues(Context& c, std::vector<double>* values) {
  values->clear();
  if (!c.args.empty() && c.args[0] == '#') {
    if (*c.blockCursor >= c.msg.blocks.size()) return false;
    const Block& b = c.msg.blocks[(*c.blockCursor)++];
    if (b.data.size() != b.declared || b.data.size() % 8 != 0) return false;
    for (std::size_t i = 0; i < b.data.size(); i += 8) {
      double v;
      std::memcpy(&v, b.data.data() + i, 8);  // the simulator runs on little-endian hosts
      values->push_back(v);
    }
    return true;
  }
  std::string rest = c.args, item;
  while (FirstParam(rest, &item, &rest)) {
    char* end = nullptr;
    double v = cz::StrtodC(item.c_str(), &end);
    if (end == item.c_str() || *end) return false;
    values->push_back(v);
  }
  return !values->empty();
}

void SimInstrument::CmdListSelect(Context& c) {
  std::string key;
  if (!PathArgument(c, &key)) return;
  if (!fs_->IsDir(SimFileSystem::Parent(key)) || fs_->IsDir(key)) return QueueError(kErrNotFound);
  if (!lists_.count(key)) {
    lists_[key] = SimRfList();
    if (!fs_->IsFile(key)) StoreListFile(key);
  }
  PathOf(c).listSelected = key;
}

void SimInstrument::CmdListSelectQuery(Context& c) {
  c.reply = "\"" + SimFileSystem::Display(PathOf(c).listSelected) + "\"";
  c.hasReply = true;
}

void SimInstrument::CmdListFreq(Context& c) {
  std::vector<double> v;
  const std::string key = PathOf(c).listSelected;
  if (!ReadValues(c, &v)) return QueueError(kErrBlock);
  if (key.empty()) return QueueError(kErrConflict);
  lists_[key].freqHz = v;
  StoreListFile(key);
}

void SimInstrument::CmdListPower(Context& c) {
  std::vector<double> v;
  const std::string key = PathOf(c).listSelected;
  if (!ReadValues(c, &v)) return QueueError(kErrBlock);
  if (key.empty()) return QueueError(kErrConflict);
  lists_[key].levelDbm = v;
  StoreListFile(key);
}

void SimInstrument::CmdListFreqQuery(Context& c) {
  c.hasReply = true;
  for (double v : lists_[PathOf(c).listSelected].freqHz) c.reply += (c.reply.empty() ? "" : ",") + Number(v);
}

void SimInstrument::CmdListPowerQuery(Context& c) {
  c.hasReply = true;
  for (double v : lists_[PathOf(c).listSelected].levelDbm) c.reply += (c.reply.empty() ? "" : ",") + Number(v);
}

void SimInstrument::CmdListDwell(Context& c) {
  double v = 0;
  if (!ParseValue(c.args, kTimeUnits, &v)) return QueueError(kErrIllegal);
  if (v <= 0 || v > 100.0) return QueueError(kErrRange);
  PathOf(c).listDwellS = v;
}

void SimInstrument::CmdListDwellQuery(Context& c) {
  c.reply = Number(PathOf(c).listDwellS);
  c.hasReply = true;
}

void SimInstrument::CmdListMode(Context& c) {
  std::string v = Upper(c.args);
  if (v != "AUTO" && v != "STEP") return QueueError(kErrIllegal);
  PathOf(c).listMode = v;
}

void SimInstrument::CmdListModeQuery(Context& c) {
  c.reply = PathOf(c).listMode;
  c.hasReply = true;
}

void SimInstrument::CmdListTrigSource(Context& c) {
  std::string v = Upper(c.args);
  if (v != "AUTO" && v != "SING" && v != "SINGLE" && v != "EXT" && v != "EXTERNAL") return QueueError(kErrIllegal);
  PathOf(c).listTrigSource = v;
}

void SimInstrument::CmdListLearn(Context& c) {
  SimPathState& p = PathOf(c);
  auto it = lists_.find(p.listSelected);
  if (it == lists_.end() || it->second.freqHz.empty() || it->second.freqHz.size() != it->second.levelDbm.size())
    return QueueError(kErrConflict);
  p.listLearned = true;
}

void SimInstrument::CmdListTrigExec(Context& c) { ++PathOf(c).listTriggered; }

// ---- status, calibration, diagnostics -----------------------------------------

void SimInstrument::CmdOperCond(Context& c) {
  c.hasReply = true;
  if (busyPolls_ > 0) {
    --busyPolls_;
    c.reply = "2";  // bit 1: the ARB is still starting
    return;
  }
  c.reply = "0";
}

void SimInstrument::CmdIqmLocal(Context& c) {
  c.reply = "0";  // adjustment passed
  c.hasReply = true;
}

void SimInstrument::CmdBiasState(Context& c) {
  bool on = false;
  if (!ParseBool(c.args, &on)) QueueError(kErrIllegal);
}

void SimInstrument::CmdDiagPoint(Context& c) {
  std::string name;
  if (!FirstParam(c.args, &name)) return QueueError(kErrMissing);
  c.reply = "0";
  c.hasReply = true;
}

}  // namespace cz::sim
