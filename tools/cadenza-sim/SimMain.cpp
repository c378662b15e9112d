// cadenza-sim: a simulated vector signal generator on 127.0.0.1 for tests and
// for trying the program without hardware.
//
//   cadenza-sim --port N [--vxi11-port M] [--portmap-port P] [--model NAME]
//               [--options TEXT] [--journal FILE] [--fault SPEC]...
//
// Port 0 picks a free port. --portmap-port answers portmapper GETPORT calls
// over UDP and TCP on 127.0.0.1:P (VXI-11 discovery). Without --options the
// model answers "*OPT?" fully equipped (the default model with both
// baseband paths); an unknown --model is refused with the list of known
// ones. Once listening it prints "port <N>" (and "vxi11-port <M>",
// "portmap-port <P>") on standard output and runs until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/cadenza-sim/SimInstrument.h"
#include "tools/cadenza-sim/SimServer.h"

namespace {

void Usage(FILE* to) {
  std::fprintf(to,
               "usage: cadenza-sim --port N [--vxi11-port M] [--portmap-port P] [--model NAME]\n"
               "                   [--options TEXT] [--journal FILE] [--fault SPEC]...\n"
               "  NAME: %s (default Kaldra)\n"
               "  TEXT: the \"*OPT?\" reply; without it the model's full option list\n"
               "  SPEC: KIND[=ARG][*TIMES][@MATCH], KIND one of noreply, late=MS, opc0,\n"
               "        error=TEXT, drop, dropblock=BYTES, badblock, shortblock=BYTES,\n"
               "        longcat=N, busy=POLLS, reply=TEXT, slow=BYTES_PER_S\n",
               cz::sim::SimModel_Names().c_str());
}

bool ParsePort(const char* text, uint16_t* port) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < 0 || v > 65535) return false;
  *port = static_cast<uint16_t>(v);
  return true;
}

// A refused command line: the reason, then the usage, on standard error.
int Refuse(const std::string& why) {
  std::fprintf(stderr, "cadenza-sim: %s\n", why.c_str());
  Usage(stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  cz::sim::SimConfig config;
  cz::sim::SimServerOptions options;
  bool havePort = false;
  bool haveOptions = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    static const char* const kWithValue[] = {"--port", "--vxi11-port", "--portmap-port", "--model",
                                             "--options", "--journal", "--fault"};
    bool known = false;
    for (const char* name : kWithValue) known |= arg == name;
    if (!known) return Refuse("unknown option '" + arg + "'");
    if (i + 1 >= argc) return Refuse("option '" + arg + "' needs a value");
    const char* value = argv[++i];
    if (arg == "--port") {
      if (!ParsePort(value, &options.socketPort)) {
        std::fprintf(stderr, "cadenza-sim: bad port '%s'\n", value);
        return 2;
      }
      havePort = true;
    } else if (arg == "--vxi11-port") {
      if (!ParsePort(value, &options.vxi11Port)) {
        std::fprintf(stderr, "cadenza-sim: bad VXI-11 port '%s'\n", value);
        return 2;
      }
      options.vxi11 = true;
    } else if (arg == "--portmap-port") {
      if (!ParsePort(value, &options.portmapPort)) {
        std::fprintf(stderr, "cadenza-sim: bad portmapper port '%s'\n", value);
        return 2;
      }
      options.portmap = true;
    } else if (arg == "--model") {
      if (!cz::sim::SimModel_Find(value, nullptr)) {
        std::fprintf(stderr, "cadenza-sim: unknown model '%s'; known models: %s\n", value,
                     cz::sim::SimModel_Names().c_str());
        return 2;
      }
      config.model = value;
    } else if (arg == "--options") {
      config.options = value;
      haveOptions = true;
    } else if (arg == "--journal") {
      config.journalPath = value;
    } else {
      cz::sim::SimFault f;
      std::string why;
      if (!cz::sim::SimFault_Parse(value, &f, &why)) {
        std::fprintf(stderr, "cadenza-sim: %s\n", why.c_str());
        return 2;
      }
      config.faults.push_back(f);
    }
  }
  if (!havePort) return Refuse("--port is required");
  if (!haveOptions) cz::sim::SimModel_Find(config.model, &config.options);

  // Signals are taken by sigwait below, not by the server threads.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  cz::sim::SimInstrument instrument(config);
  // A journal that cannot be written would leave a rig that relies on it
  // checking nothing: refused like the other bad options.
  if (!instrument.JournalError().empty()) {
    std::fprintf(stderr, "cadenza-sim: cannot write the journal '%s': %s\n", config.journalPath.c_str(),
                 instrument.JournalError().c_str());
    return 2;
  }
  cz::sim::SimServer server(instrument);
  std::string why;
  if (!server.Start(options, &why)) {
    std::fprintf(stderr, "cadenza-sim: %s\n", why.c_str());
    return 1;
  }
  std::printf("port %u\n", unsigned(server.SocketPort()));
  if (options.vxi11) std::printf("vxi11-port %u\n", unsigned(server.Vxi11Port()));
  if (options.portmap) std::printf("portmap-port %u\n", unsigned(server.PortmapPort()));
  std::fflush(stdout);

  int sig = 0;
  sigwait(&set, &sig);
  server.Stop();
  return 0;
}
