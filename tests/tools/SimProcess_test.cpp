// cadenza-sim as a program, through the shared fixture and the I/O layer:
// the printed ports, socket and VXI-11 access to one instrument state, the
// journal file and command-line faults.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/CLocale.h"
#include "platform/visa/Visa.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"

namespace {

std::string Query(VisaSession s, const char* cmd) {
  if (Visa_WriteText(s, cmd) != VISA_SUCCESS) return "<write failed>";
  char buf[512];
  uint32_t got = 0;
  VisaStatus st = Visa_Read(s, buf, sizeof buf, &got);
  if (st != VISA_SUCCESS) return "<read status " + std::to_string(st) + ">";
  return std::string(buf, got);
}

TEST(SimProcess, SocketAndVxi11ShareOneInstrumentAndJournal) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.model = "Ostrel";
  opt.options = "OST-X1,OST-X2";
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  ASSERT_NE(sim.Port(), 0);
  ASSERT_NE(sim.Vxi11Port(), 0);

  VisaSession rm = VISA_NULL, sock = VISA_NULL, vxi = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  ASSERT_EQ(Visa_Open(rm, sim.SocketResource().c_str(), 0, 2000, &sock), VISA_SUCCESS);
  Visa_SetVxi11CorePort(sim.Vxi11Port());
  ASSERT_EQ(Visa_Open(rm, sim.Vxi11Resource().c_str(), 0, 2000, &vxi), VISA_SUCCESS);
  Visa_SetVxi11CorePort(0);

  EXPECT_EQ(Query(sock, "*IDN?"), "Torvane,Ostrel,102030,4.20.1.5\n");
  EXPECT_EQ(Query(vxi, "*OPT?"), "OST-X1,OST-X2\n");
  const std::string up = ":MMEM:DATA '/var/user/t.wv',#15a\n#;b";
  ASSERT_EQ(Visa_Write(vxi, up.data(), static_cast<uint32_t>(up.size()), nullptr), VISA_SUCCESS);
  EXPECT_EQ(Query(sock, ":MMEM:DATA? '/var/user/t.wv'"), "#15a\n#;b\n");
  Visa_Close(rm);

  const std::vector<std::string> rx = sim.Received();
  ASSERT_GE(rx.size(), 4u);
  EXPECT_EQ(rx[0], "*IDN?");
  EXPECT_EQ(rx[2], ":MMEM:DATA '/var/user/t.wv',#15[5 bytes crc32 " +
                       cz::FormatC("%08X", cz::test::SimCrc32("a\n#;b")) + "]");
  int connects = 0;
  for (const std::string& l : sim.Journal()) connects += l.rfind("CONNECT ", 0) == 0;
  EXPECT_EQ(connects, 2);
  sim.Stop();
  EXPECT_FALSE(sim.Running());
}

TEST(SimProcess, CommandLineFaultsAndBadArguments) {
  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.faults = {"opc0*1@SEL", "noreply@DIAG"};
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  VisaSession rm = VISA_NULL, s = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  ASSERT_EQ(Visa_Open(rm, sim.SocketResource().c_str(), 0, 2000, &s), VISA_SUCCESS);
  Visa_SetAttribute(s, VISA_ATTR_TMO_VALUE, 300);
  EXPECT_EQ(Query(s, "SOUR:LIST:SEL 'D:\\a.lsw'; *OPC?"), "0\n");
  EXPECT_EQ(Query(s, "SOUR:LIST:SEL 'D:\\a.lsw'; *OPC?"), "1\n");
  EXPECT_EQ(Query(s, "DIAG:POIN? 'x'"), "<read status " + std::to_string(VISA_ERR_TMO) + ">");
  Visa_Close(rm);

  cz::test::SimFixture bad;
  opt.faults = {"explode"};
  EXPECT_FALSE(bad.Start(opt));
  EXPECT_NE(bad.Error().find("ended"), std::string::npos) << bad.Error();
}

// Runs the simulator program with args; its standard output (and standard
// error with joinErr) and its exit status.
std::string RunSim(const std::string& args, bool joinErr, int* status) {
  std::string out;
  const std::string exe = cz::test::SimExecutablePath();
  FILE* pipe = popen(("'" + exe + "' " + args + (joinErr ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  char buf[1024];
  std::size_t got;
  while (pipe && (got = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, got);
  const int raw = pipe ? pclose(pipe) : -1;
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

// The command line: usage on request, unknown options and models named, and
// without --options the model fully equipped.
TEST(SimProcess, HelpUnknownOptionsAndModelsAndDefaultOptions) {
  ASSERT_FALSE(cz::test::SimExecutablePath().empty());
  const auto run = RunSim;
  int status = -1;
  EXPECT_EQ(run("--help", false, &status).rfind("usage: cadenza-sim --port N", 0), 0u);
  EXPECT_EQ(status, 0);
  std::string out = run("--port 0 --bogus 1", true, &status);
  EXPECT_EQ(out.rfind("cadenza-sim: unknown option '--bogus'\n", 0), 0u) << out;
  EXPECT_EQ(status, 2);
  out = run("--port 0 --model Zephyr", true, &status);
  EXPECT_EQ(out.rfind("cadenza-sim: unknown model 'Zephyr'; known models: Tovik, Kaldra, Halvex,", 0), 0u) << out;
  EXPECT_EQ(status, 2);
  EXPECT_EQ(run("--port", false, &status), std::string()) << "usage on standard error only";
  EXPECT_EQ(status, 2);

  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.modelOptions = true;
  opt.vxi11 = false;
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  VisaSession rm = VISA_NULL, s = VISA_NULL;
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  ASSERT_EQ(Visa_Open(rm, sim.SocketResource().c_str(), 0, 2000, &s), VISA_SUCCESS);
  EXPECT_EQ(Query(s, "*OPT?"), "KLD-M64,KLD-M16,KLD-RFA30,KLD-RFB30\n");
  Visa_Close(rm);
  opt.model = "Nerrin";
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  ASSERT_EQ(Visa_OpenDefaultRM(&rm), VISA_SUCCESS);
  ASSERT_EQ(Visa_Open(rm, sim.SocketResource().c_str(), 0, 2000, &s), VISA_SUCCESS);
  EXPECT_EQ(Query(s, "*OPT?"), "NRN-M32A,NRN-RF60\n");
  Visa_Close(rm);
}

// A journal the simulator cannot write is refused at the start, with the
// file and the system's reason, instead of a run that journals nothing.
TEST(SimProcess, AJournalThatCannotBeWrittenIsRefused) {
  ASSERT_FALSE(cz::test::SimExecutablePath().empty());
  cz::test::TempDir dir;
  int status = -1;
  const std::string missing = dir.File("missing/j.txt");
  std::string out = RunSim("--port 0 --journal '" + missing + "'", true, &status);
  EXPECT_EQ(out, "cadenza-sim: cannot write the journal '" + missing + "': No such file or directory\n");
  EXPECT_EQ(status, 2);
  out = RunSim("--port 0 --journal '" + dir.path() + "'", true, &status);
  EXPECT_EQ(out, "cadenza-sim: cannot write the journal '" + dir.path() + "': Is a directory\n");
  EXPECT_EQ(status, 2);
}

// A test that dies leaves no simulator behind: the process that started it
// ends without stopping it (as a crashed test would), and the simulator
// ends with it instead of keeping the test's output pipe open.
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;  // gone
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';  // not reaped yet
}

TEST(SimProcess, EndsWhenTheProcessThatStartedItEnds) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t test = fork();
  ASSERT_GE(test, 0);
  if (test == 0) {
    close(report[0]);
    // Never stopped: the fixture is left to an abrupt end of the process.
    auto* sim = new cz::test::SimFixture;
    pid_t pid = sim->Start() ? sim->Pid() : -1;
    if (write(report[1], &pid, sizeof pid) != static_cast<ssize_t>(sizeof pid)) _exit(2);
    _exit(0);
  }
  close(report[1]);
  pid_t sim = -1;
  ASSERT_EQ(read(report[0], &sim, sizeof sim), static_cast<ssize_t>(sizeof sim));
  close(report[0]);
  int status = 0;
  ASSERT_EQ(waitpid(test, &status, 0), test);
  ASSERT_GT(sim, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!Ended(sim) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const bool ended = Ended(sim);
  if (!ended) kill(sim, SIGKILL);  // this test's own clean-up
  EXPECT_TRUE(ended);
}

}  // namespace
