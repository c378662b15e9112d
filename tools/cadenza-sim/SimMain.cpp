// cadenza-sim: a simulated vector signal generator on 127.0.0.1 for tests and
// for trying the program without hardware.
//
//   cadenza-sim --port N [--vxi11-port M] [--portmap-port P] [--model NAME]
//               [--options TEXT] [--journal FILE] [--fault SPEC]...
//
// Port 0 picks a free port. --portmap-port answers portmapper GETPORT calls
// over UDP on 127.0.0.1:P (VXI-11 discovery). Once listening it prints
// "port <N>" (and "vxi11-port <M>", "portmap-port <P>") on standard output
// and runs until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/cadenza-sim/SimInstrument.h"
#include "tools/cadenza-sim/SimServer.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: cadenza-sim --port N [--vxi11-port M] [--portmap-port P] [--model NAME]\n"
               "                   [--options TEXT] [--journal FILE] [--fault SPEC]...\n"
               "  SPEC: KIND[=ARG][*TIMES][@MATCH], KIND one of noreply, late=MS, opc0,\n"
               "        error=TEXT, drop, dropblock=BYTES, badblock, shortblock=BYTES,\n"
               "        longcat=N, busy=POLLS, reply=TEXT\n");
}

bool ParsePort(const char* text, uint16_t* port) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < 0 || v > 65535) return false;
  *port = static_cast<uint16_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  cz::sim::SimConfig config;
  cz::sim::SimServerOptions options;
  bool havePort = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) {
      Usage();
      return 2;
    }
    ++i;
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
      config.model = value;
    } else if (arg == "--options") {
      config.options = value;
    } else if (arg == "--journal") {
      config.journalPath = value;
    } else if (arg == "--fault") {
      cz::sim::SimFault f;
      std::string why;
      if (!cz::sim::SimFault_Parse(value, &f, &why)) {
        std::fprintf(stderr, "cadenza-sim: %s\n", why.c_str());
        return 2;
      }
      config.faults.push_back(f);
    } else {
      Usage();
      return 2;
    }
  }
  if (!havePort) {
    Usage();
    return 2;
  }

  // Signals are taken by sigwait below, not by the server threads.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  cz::sim::SimInstrument instrument(config);
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
