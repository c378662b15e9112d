// What the four modulation plug-ins share: fixed texts and comments byte for
// byte, the exports the loader binds, the buffer rules of the text copies,
// mod_error handing its text over once, and exact, case-sensitive keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

struct Expected {
  const char* file;
  const char* name;
  const char* version;
  bool old_engine;  // mod_engine instead of mod_engine_2; texts padded with NULs
  std::vector<std::pair<std::string, int>> comment;  // line, blanks behind it
};

const Expected kPlugins[] = {
    {"skywhisk", "Skywhisk", "1.0.0", false,
     {{"This plugin creates an Skywhisk pulse train.", 2}, {"Parameters:", 32}, {"  none", 1},
      {"Data:", 38}, {"  112 bits", 1}}},
    // Padded with blanks to 44 characters; the fifth line ends in a tab and a blank.
    {"bendsweep", "Bendsweep", "1.0.0", false,
     {{"This plugin creates a Bendsweep:", 12}, {"  f(t) = f0 + R*t + (Q/P)*t - (Q/P^2)*(t^2)", 1},
      {"Parameters:", 33}, {"  P    [s]      Pulse width", 17}, {"  f0   [kHz]    Initial frequency offset  \t", 1},
      {"  R    [kHz/us] linear component", 12}, {"  Q    [MHz]    Maximum deviation", 11},
      {"  V1   []       Start level for modulation", 2}, {"                 within rising edge 0...1", 3},
      {"  V2   []       Stop level 0...1", 12}}},
    {"replyrun", "Replyrun", "1.1.0", false,
     {{"This plugin creates a Replyrun pulse train.", 2}, {"Parameters:", 41}, {"  none", 2}}},
    {"roundtone", "Roundtone", "1.0.0", true,
     {{"This plugin creates a Roundtone shaped FM chirp.", 3}, {"Parameters:", 41},
      {"  Fmax [MHz]     maximum frequency deviation", 8},
      {"  Bc   [MHz]     total sweep, line with slope @ x=0", 1},
      {"  Bl   [MHz]     total sweep, linear component", 6}}},
};

class ModSkelTest : public ::testing::TestWithParam<Expected> {};

TEST_P(ModSkelTest, TextsAndExports) {
  const Expected& w = GetParam();
  cz::test::ModLib m = cz::test::OpenModLib(w.file);
  ASSERT_NE(m.handle, nullptr) << dlerror();
  EXPECT_EQ(m.init(), 1);

  std::string comment;
  for (const auto& [line, blanks] : w.comment) comment += line + std::string(blanks, ' ') + "\n";
  const std::pair<mod_text_fn, std::string> texts[] = {{m.type, "modulation"}, {m.ver, w.version},
                                                        {m.name, w.name},      {m.author, "Torvane"},
                                                        {m.comment, comment}};
  for (const auto& [fn, text] : texts) {
    // Host buffers pre-filled with 'x': Roundtone fills the rest with NULs,
    // the others write the text and its terminator only.
    std::vector<char> buf(fn == m.comment ? CZ_MOD_COMMENT_SIZE : CZ_MOD_TEXT_SIZE, 'x');
    fn(buf.data());
    EXPECT_EQ(std::string(buf.data()), text);
    const std::string rest(buf.begin() + text.size() + 1, buf.end());
    EXPECT_EQ(rest, std::string(rest.size(), w.old_engine ? '\0' : 'x')) << text;
  }

  EXPECT_EQ(m.Symbol("mod_engine") != nullptr, w.old_engine);
  EXPECT_EQ(m.Symbol("mod_engine_2") != nullptr, !w.old_engine);
  for (void* fn : {(void*)m.error, (void*)m.setparam, (void*)m.getconf, (void*)m.setconf}) EXPECT_NE(fn, nullptr);
  for (const char* absent : {"mod_shutdown", "mod_setvalue", "ModSkel_CopyText"}) EXPECT_EQ(m.Symbol(absent), nullptr);
}

// A sample rate of 0 fails with a text (instead of NaN); mod_error hands it
// over once, then "". An upper-case "TRISE" or "Ton" changes nothing.
TEST_P(ModSkelTest, ErrorTextAndExactKeys) {
  cz::test::ModLib m = cz::test::OpenModLib(GetParam().file);
  ASSERT_NE(m.handle, nullptr);
  m.init();
  cz::test::PulseSetup p;
  p.ton = 1200;
  p.srate = 0.0;
  p.mbits = std::string(112, '1');
  cz::test::PulseRun run = cz::test::RunPulse(m, p);
  EXPECT_EQ(run.failed_sample, 0);
  EXPECT_EQ(run.error, "Invalid sample rate. Use a sample rate above 0.");
  std::vector<char> buf(CZ_MOD_ERROR_SIZE, 'x');
  m.error(buf.data());
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(buf[1], GetParam().old_engine ? '\0' : 'x');  // Roundtone pads its texts

  p.srate = 10e6;
  cz::test::SendParams(m, p);
  int fifty = 50;
  m.setparam("TRISE", &fifty);
  m.setparam("Ton", &fifty);
  run = cz::test::RunAfterParams(m, p);
  EXPECT_EQ(run.failed_sample, -1) << run.error;
  ASSERT_EQ(run.samples.size(), 1201u);
  EXPECT_EQ(run.samples[0].amp, 1.0);  // no rise edge
}

INSTANTIATE_TEST_SUITE_P(Plugins, ModSkelTest, ::testing::ValuesIn(kPlugins),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
