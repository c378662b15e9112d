// The simulated vector signal generator behind cadenza-sim: a SCPI command
// interpreter with an error queue, a file system, per-path baseband and RF
// state, RF lists, a journal of everything received and faults that tests
// inject per scenario.
//
// Transports (SimServer) feed it the bytes of each connection and take its
// replies; it is safe to call from several connection threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/cadenza-sim/SimFileSystem.h"

namespace cz::sim {

// One injected fault. It applies to each received message whose text contains
// `match` (case-insensitive; empty matches every message), at most `times`
// times (-1 = always).
enum class SimFaultKind {
  kNoReply,       // the message's reply is never sent
  kLateReply,     // the reply is sent `value` ms late
  kOpcZero,       // "*OPC?" in the message answers "0"
  kQueueError,    // after the message, `text` is queued as an error ('-221,"Settings conflict"')
  kDrop,          // after the message the connection is closed (no reply)
  kDropInBlock,   // the connection is closed after `value` bytes of a received block
  kBadBlock,      // a ":MMEM:DATA?" reply announces "#0" instead of its length
  kShortBlock,    // a ":MMEM:DATA?" reply holds `value` bytes fewer than announced
  kLongCatalog,   // ":MMEM:CAT?" replies carry `value` extra entries before the real ones
  kBusy,          // after an ARB or I/Q activation "STAT:OPER:COND?" shows bit 1 for `value` polls
  kReply,         // queries of the message answer `text` instead
  kSlowReply,     // the reply goes out at `value` bytes per second (raw socket: a slow link)
};

struct SimFault {
  SimFaultKind kind = SimFaultKind::kNoReply;
  std::string match;
  int64_t value = 0;
  std::string text;
  int times = -1;
};

// Parses "KIND[=ARG][*TIMES][@MATCH]", KIND one of noreply, late=MS, opc0,
// error=TEXT, drop, dropblock=BYTES, badblock, shortblock=BYTES, longcat=N,
// busy=POLLS, reply=TEXT, slow=BYTES_PER_S. Returns false (with *why) for
// anything else.
bool SimFault_Parse(const std::string& spec, SimFault* fault, std::string* why);

// The models the simulator knows. A configured model name stands for the
// first of them that it contains; SimModel_Find says whether there is one
// and gives that model's options when fully equipped (both baseband paths
// where it has two), "" for a model that needs none.
bool SimModel_Find(const std::string& name, std::string* fullOptions);
// Their names, ", " separated, in the order they are tried.
std::string SimModel_Names();

struct SimConfig {
  std::string model = "Kaldra";
  std::string serial = "102030";
  std::string firmware = "4.20.1.5";
  std::string options;              // "*OPT?" reply, as given
  uint64_t capacityBytes = 10737418240ull;  // 10 GiB of instrument storage
  std::vector<SimFault> faults;
  std::string journalPath;          // also written to this file when not empty
};

// RF list kept by the instrument (frequencies in Hz, levels in dBm).
struct SimRfList {
  std::vector<double> freqHz;
  std::vector<double> levelDbm;
};

// State of one baseband/RF path (1 or 2; "SOUR:" without suffix is path 1).
struct SimPathState {
  std::string arbWaveform;      // key of the selected waveform, empty when none
  bool arbState = false;
  std::string route = "A";
  bool iqState = false;         // I/Q output (IQ:OUTP:STATE)
  double freqHz = 1e9;
  double levelDbm = -30.0;
  bool rfOutput = false;
  std::string freqMode = "CW";
  std::string listSelected;     // key of the selected RF list file
  double listDwellS = 0.001;
  std::string listMode = "AUTO";
  std::string listTrigSource = "AUTO";
  bool listLearned = false;
  int listTriggered = 0;
  double sineFreqHz = 0.0;      // test signal for ARB
  int sineSamples = 0;
  bool sineCreated = false;
};

// Multi-segment waveform state: the segment configuration being put
// together, its sequencer list, and per path the play settings of the
// segment sequencing.
struct SimMswSequenceEntry {
  bool on = true;
  int segment = 0;
  int count = 1;
  std::string next;          // NEXT, ENDLESS or BLANK
};
struct SimMswPath {
  std::string sequence = "AUTO";  // ARB:SEQ
  std::string segmentMode = "SAME";  // ARB:TRIG:SMOD
  std::string source = "INT";     // ARB:TRIG:SOUR
  int nextSegment = 0;
  int currentSegment = 0;
  double delaySamples = 0.0;
  int armed = 0;
  int triggered = 0;
};
struct SimMswState {
  std::string configFile;    // keys of the selected files, empty when none
  std::string sequencerFile;
  std::string outputFile;
  std::string levelMode = "UNCH";
  std::string clockMode = "UNCH";
  double clockHz = 0.0;
  std::string comment;
  std::vector<std::string> segments;  // keys of the appended segment files
  std::vector<SimMswSequenceEntry> sequence;
  int progress = 0;          // PROG:MCOD:ARB:WSEG?, 100 once assembled
  int assembled = 0;         // waveforms put together so far
  SimMswPath paths[2];
};

class SimInstrument {
 public:
  explicit SimInstrument(SimConfig config);
  ~SimInstrument();
  SimInstrument(const SimInstrument&) = delete;
  SimInstrument& operator=(const SimInstrument&) = delete;

  // ---- transport side -----------------------------------------------------
  // A new connection; `how` goes to the journal ("socket 127.0.0.1:40312").
  // On a streamed connection (raw socket) a reply goes out as soon as it is
  // due, as it does from an instrument's socket port. Otherwise (VXI-11,
  // in-process) a reply waits in the output queue until it is read, and a
  // new message that finds one there discards it and queues -410, as IEEE
  // 488.2 devices do.
  int Connect(const std::string& how, bool streamed = false);
  void Disconnect(int conn);

  // Feeds received bytes. On sockets a line feed outside blocks ends a
  // message; `end` (VXI-11 END) ends one too. Returns false when the
  // connection must be closed now (injected drop).
  bool Feed(int conn, const uint8_t* data, std::size_t count, bool end);

  // The next reply message (with its terminating line feed) and the time it
  // may go out; *bytesPerSecond (when asked) the pace of a slow link, 0 for
  // at once. False when none is waiting. bytes may be null (only the time
  // is wanted: a reply read back from a large file is not copied).
  bool PeekReply(int conn, std::string* bytes, std::chrono::steady_clock::time_point* due,
                 uint64_t* bytesPerSecond = nullptr);
  void PopReply(int conn);
  // The next reply moved out of the queue; false when none is waiting.
  bool TakeReply(int conn, std::string* bytes);

  // A datagram that reached the portmapper; `what` goes to the journal as
  // "PORTMAP <what>".
  void NotePortmap(const std::string& what);

  // Device clear: input half-read and unsent replies are dropped.
  void DeviceClear(int conn);
  void GoToLocal(int conn);

  // IEEE 488.2 status byte as a serial poll reads it: bit 2 error queue not
  // empty, bit 4 a reply waiting on the connection (MAV), bit 5 an enabled
  // event in the event status register (ESB), bit 6 an enabled summary bit
  // (RQS).
  uint8_t StatusByte(int conn);

  // ---- inspection (tests) ---------------------------------------------------
  std::vector<std::string> Journal() const;
  bool FileData(const std::string& instrumentPath, std::string* data) const;
  bool WriteFileData(const std::string& instrumentPath, const std::string& data);
  SimPathState Path(int path) const;
  bool RfList(const std::string& instrumentPath, SimRfList* list) const;
  std::vector<std::string> ErrorQueue() const;
  SimMswState MultiSegment() const;
  void AddFault(const SimFault& fault);
  void ClearFaults();

  // Why the journal file could not be created ("No such file or
  // directory"); empty when it was, or when none was asked for.
  const std::string& JournalError() const { return journalError_; }

  // CRC-32 (IEEE 802.3 polynomial) as written in the journal for blocks.
  static uint32_t Crc32(const std::string& data);

 private:
  struct Block {
    std::size_t pos = 0;     // offset in the message text just after the "#<n><len>" header
    uint64_t declared = 0;
    std::string data;
  };
  struct Message {
    std::string text;
    std::vector<Block> blocks;
  };
  struct Reply {
    std::string bytes;
    std::chrono::steady_clock::time_point due;
    uint64_t bytesPerSecond = 0;  // 0: at once
  };
  struct Connection;
  struct Context;
  using Handler = void (SimInstrument::*)(Context&);
  struct CommandRow {
    const char* pattern;
    Handler handler;
  };
  static const CommandRow kCommands[];

  void JournalLine(const std::string& line);
  bool Execute(Connection& c, const Message& msg);
  bool ExecuteOne(Connection& c, const Message& msg, const std::string& unit, std::size_t* blockCursor,
                  std::vector<std::string>* replies);
  bool FaultFires(SimFaultKind kind, const std::string& text, SimFault** out = nullptr);
  // Queues an error ("<code>,\"<text>\"") and sets its event status bit.
  void QueueError(const std::string& error);
  uint8_t StatusOf(const Connection& c) const;
  void Reset();
  SimPathState& PathOf(Context& c);

  // Command handlers (SimCommands.cpp).
  void CmdIdn(Context& c);
  void CmdOpt(Context& c);
  void CmdOpcQuery(Context& c);
  void CmdNothing(Context& c);
  void CmdRst(Context& c);
  void CmdCls(Context& c);
  void CmdStbQuery(Context& c);
  void CmdEsrQuery(Context& c);
  void CmdEse(Context& c);
  void CmdEseQuery(Context& c);
  void CmdSre(Context& c);
  void CmdSreQuery(Context& c);
  void CmdSystErr(Context& c);
  void CmdGpibLter(Context& c);
  void CmdMsis(Context& c);
  void CmdMsisQuery(Context& c);
  void CmdCdir(Context& c);
  void CmdCdirQuery(Context& c);
  void CmdMdir(Context& c);
  void CmdRdir(Context& c);
  void CmdDelete(Context& c);
  void CmdCatalog(Context& c);
  void CmdCatalogLength(Context& c);
  void CmdDirCatalog(Context& c);
  void CmdDirCatalogLength(Context& c);
  void CmdData(Context& c);
  void CmdDataQuery(Context& c);
  void CmdPreset(Context& c);
  void CmdWaveSelect(Context& c);
  void CmdWaveSelectQuery(Context& c);
  void CmdIqGenState(Context& c);
  void CmdIqGenStateQuery(Context& c);
  void CmdArbPreset(Context& c);
  void CmdArbWaveSelect(Context& c);
  void CmdArbWaveSelectQuery(Context& c);
  void CmdArbState(Context& c);
  void CmdArbStateQuery(Context& c);
  void CmdSineFreq(Context& c);
  void CmdSineSamples(Context& c);
  void CmdSineCreate(Context& c);
  void CmdRoute(Context& c);
  void CmdRouteQuery(Context& c);
  void CmdIqOutState(Context& c);
  void CmdIqOutStateQuery(Context& c);
  void CmdFreq(Context& c);
  void CmdFreqQuery(Context& c);
  void CmdFreqMode(Context& c);
  void CmdFreqModeQuery(Context& c);
  void CmdPower(Context& c);
  void CmdPowerQuery(Context& c);
  void CmdOutput(Context& c);
  void CmdOutputQuery(Context& c);
  void CmdListSelect(Context& c);
  void CmdListSelectQuery(Context& c);
  void CmdListFreq(Context& c);
  void CmdListFreqQuery(Context& c);
  void CmdListPower(Context& c);
  void CmdListPowerQuery(Context& c);
  void CmdListDwell(Context& c);
  void CmdListDwellQuery(Context& c);
  void CmdListMode(Context& c);
  void CmdListModeQuery(Context& c);
  void CmdListTrigSource(Context& c);
  void CmdListLearn(Context& c);
  void CmdListTrigExec(Context& c);
  void CmdOperCond(Context& c);
  void CmdIqmLocal(Context& c);
  void CmdBiasState(Context& c);
  void CmdDiagPoint(Context& c);
  // Multi-segment waveforms (SimMultiSegment.cpp).
  void CmdMswConfSelect(Context& c);
  void CmdMswSeqSelect(Context& c);
  void CmdMswLevelMode(Context& c);
  void CmdMswClockMode(Context& c);
  void CmdMswClock(Context& c);
  void CmdMswOutputFile(Context& c);
  void CmdMswComment(Context& c);
  void CmdMswSegmentAppend(Context& c);
  void CmdMswSeqAppend(Context& c);
  void CmdMswCreate(Context& c);
  void CmdMswProgressQuery(Context& c);
  void CmdMswSequenceMode(Context& c);
  void CmdMswSegmentMode(Context& c);
  void CmdMswTrigSource(Context& c);
  void CmdMswNext(Context& c);
  void CmdMswArm(Context& c);
  void CmdMswDelay(Context& c);
  void CmdMswRunModeQuery(Context& c);
  void CmdMswTrigger(Context& c);
  void CmdMswSegmentQuery(Context& c);
  SimMswPath& MswPathOf(Context& c);

  // Helpers of the handlers.
  bool PathArgument(Context& c, std::string* key);
  bool ListTarget(Context& c, std::string* key, std::string* pattern);
  void StoreListFile(const std::string& key);
  bool ReadValues(Context& c, std::vector<double>* values);

  mutable std::mutex mutex_;
  SimConfig config_;
  std::unique_ptr<SimFileSystem> fs_;
  std::string defaultDir_;   // key of the model's default directory
  std::deque<std::string> errors_;
  uint8_t esr_ = 0;          // event status register, cleared by "*ESR?" and "*CLS"
  uint8_t ese_ = 0;          // "*ESE" enable mask
  uint8_t sre_ = 0;          // "*SRE" enable mask (bit 6 ignored)
  SimPathState paths_[2];
  std::map<std::string, SimRfList> lists_;
  SimMswState msw_;
  int busyPolls_ = 0;
  std::vector<std::string> journal_;
  std::string journalError_;
  std::map<int, std::unique_ptr<Connection>> conns_;
  int nextConn_ = 1;
};

}  // namespace cz::sim
