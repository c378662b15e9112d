// cadenza-sim checked by a VISA client not written here: Debian's pyvisa
// with the pyvisa-py backend (sim_outside_client.py beside this file) over
// the raw socket and over VXI-11 found through the simulator's portmapper,
// uploading a waveform file that cadenza-genwave builds from the demo
// project. The simulator runs under the shared fixture, so it ends with
// this test even when the test crashes.
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/OutsideReaders.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"

namespace {

struct ShellRun {
  int status = -1;
  std::string out;
};

// Runs a shell command (bounded by `timeout`), its standard error joined to
// its output.
ShellRun Shell(const std::string& cmd) {
  ShellRun r;
  r.status = cz::test::RunShell("timeout 300 " + cmd + " 2>&1", &r.out);
  return r;
}

TEST(SimOutsideClient, PyvisaOverSocketAndVxi11ThroughThePortmapper) {
  cz::test::TempDir dir;
  const std::string wave = dir.File("search.wv");
  const ShellRun gen = Shell("env TMPDIR='" + dir.File("") + "' '" + cz::test::BuildDir() +
                        "/tools/cadenza-genwave' --project '" + cz::test::SourceDir() +
                        "/examples/demo/Projects/Demo.prj' --sequence Search --out '" + wave + "'");
  ASSERT_EQ(gen.status, 0) << gen.out;
  ASSERT_TRUE(cz::test::FileExists(wave));

  cz::test::SimFixture sim;
  cz::test::SimOptions opt;
  opt.portmap = true;
  opt.modelOptions = true;  // the client expects the default model's full options
  ASSERT_TRUE(sim.Start(opt)) << sim.Error();
  const ShellRun client = Shell("/usr/bin/python3 '" + cz::test::SourceDir() + "/tests/tools/sim_outside_client.py' --port " +
                           std::to_string(sim.Port()) + " --portmap-port " + std::to_string(sim.PortmapPort()) +
                           " --wave '" + wave + "'");
  EXPECT_EQ(client.status, 0) << client.out;
  EXPECT_EQ(client.out.find("FAIL"), std::string::npos) << client.out;
  EXPECT_NE(client.out.find("ok vxi11 lock taken once released"), std::string::npos) << client.out;

  // The client found the core channel through the simulator's portmapper (TCP).
  int getport = 0;
  for (const std::string& line : sim.Journal()) getport += line == "PORTMAP 127.0.0.1 GETPORT 0x607AF 1 6";
  EXPECT_GE(getport, 2) << "one session and one core channel of the client's own";
}

}  // namespace
