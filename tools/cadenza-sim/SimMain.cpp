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

#include "platform/ProgramInfo.h"
#include "tools/cadenza-sim/SimInstrument.h"
#include "tools/cadenza-sim/SimServer.h"

namespace {

// The help text; its layout is the one the manual page is made from
// (cmake/manpage.py).
std::string Usage() {
  return "usage: cadenza-sim --port N [--vxi11-port M] [--portmap-port P] [--model NAME]\n"
         "                   [--options TEXT] [--journal FILE] [--fault SPEC]...\n"
         "       cadenza-sim --help | --version\n"
         "\n"
         "A simulated vector signal generator on 127.0.0.1 for trying Cadenza's\n"
         "instrument pages without an instrument, and for tests: SCPI over a raw\n"
         "socket and over VXI-11, with a file system, waveform memory, RF lists and\n"
         "the IEEE 488.2 status registers. Point the Instrument Manager at\n"
         "TCPIP::127.0.0.1::<N>::SOCKET. Once listening it prints \"port <N>\" (and\n"
         "\"vxi11-port <M>\", \"portmap-port <P>\") on standard output and runs until\n"
         "SIGINT or SIGTERM.\n"
         "\n"
         "Options:\n"
         "  --port N            the raw-socket port; 0 picks a free one\n"
         "  --vxi11-port M      also serve VXI-11 on port M (0 picks a free one)\n"
         "  --portmap-port P    answer the portmapper's GETPORT calls of the VXI-11\n"
         "                      discovery over UDP and TCP on port P\n"
         "  --model NAME        the model: " +
         cz::sim::SimModel_Names() +
         " (default Kaldra)\n"
         "  --options TEXT      the \"*OPT?\" reply; without it the model's full\n"
         "                      option list\n"
         "  --journal FILE      also write the journal of everything received to FILE\n"
         "  --fault SPEC        inject a fault, SPEC = KIND[=ARG][*TIMES][@MATCH]: to\n"
         "                      each message containing MATCH, at most TIMES times;\n"
         "                      KIND one of noreply, late=MS, opc0, error=TEXT, drop,\n"
         "                      dropblock=BYTES, badblock, shortblock=BYTES,\n"
         "                      longcat=N, busy=POLLS, reply=TEXT, slow=BYTES_PER_S\n"
         "  -h, --help          print this help and exit\n"
         "  --version           print the version and exit\n"
         "\n"
         "Exit status:\n"
         "  0                   ended by SIGINT or SIGTERM (or help or version shown)\n"
         "  1                   the ports could not be opened\n"
         "  2                   a refused command line, named on standard error\n";
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
  std::fprintf(stderr, "cadenza-sim: %s\n%s", why.c_str(), Usage().c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  cz::sim::SimConfig config;
  cz::sim::SimServerOptions options;
  bool havePort = false;
  bool haveOptions = false;
  if (cz::AnswerHelpOrVersion(argc, argv, "cadenza-sim", Usage().c_str())) return 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
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
      // A file is never named by what looks like an option ("./-x" is a file).
      if (cz::LooksLikeOption(value))
        return Refuse("option '--journal' needs a file name, not '" + std::string(value) + "'");
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
