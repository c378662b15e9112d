// What the four modulation plug-ins have in common: their fixed texts and
// comments byte for byte, the exports the loader binds, the buffer rules of
// the text copies, mod_error handing its text over once, and exact keys.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/plugins/ModHost.h"

namespace {

using cz::test::ModLib;

struct Expected {
  const char* file;
  const char* name;
  const char* version;
  bool old_engine;  // mod_engine instead of mod_engine_2
  bool padded;      // texts fill the whole host buffer
  std::vector<std::pair<std::string, int>> comment;  // line, blanks behind it
};

const std::vector<Expected>& Plugins() {
  static const std::vector<Expected> k = {
      {"skywhisk", "Skywhisk", "1.0.0", false, false,
       {{"This plugin creates an Skywhisk pulse train.", 2}, {"Parameters:", 32}, {"  none", 1},
        {"Data:", 38}, {"  112 bits", 1}}},
      {"bendsweep", "Bendsweep", "1.0.0", false, false, {}},
      {"replyrun", "Replyrun", "1.1.0", false, false,
       {{"This plugin creates a Replyrun pulse train.", 2}, {"Parameters:", 41}, {"  none", 2}}},
      {"roundtone", "Roundtone", "1.0.0", true, true,
       {{"This plugin creates a Roundtone shaped FM chirp.", 3}, {"Parameters:", 41},
        {"  Fmax [MHz]     maximum frequency deviation", 8},
        {"  Bc   [MHz]     total sweep, line with slope @ x=0", 1},
        {"  Bl   [MHz]     total sweep, linear component", 6}}},
  };
  return k;
}

std::string BendsweepComment() {
  const char* lines[] = {"This plugin creates a Bendsweep:",
                         "  f(t) = f0 + R*t + (Q/P)*t - (Q/P^2)*(t^2)",
                         "Parameters:",
                         "  P    [s]      Pulse width",
                         "  f0   [kHz]    Initial frequency offset",
                         "  R    [kHz/us] linear component",
                         "  Q    [MHz]    Maximum deviation",
                         "  V1   []       Start level for modulation",
                         "                 within rising edge 0...1",
                         "  V2   []       Stop level 0...1"};
  std::string s;
  for (int i = 0; i < 10; ++i) {
    std::string line = lines[i];
    // Padded with blanks to 44 characters; the fifth ends in a tab and a blank.
    if (i == 4) line += std::string(44 - line.size() - 2, ' ') + "\t ";
    line.resize(44, ' ');
    s += line + "\n";
  }
  return s;
}

// Calls a text export into a host buffer pre-filled with 'x'.
std::vector<char> CallText(mod_text_fn fn, std::size_t size) {
  std::vector<char> buf(size, 'x');
  fn(buf.data());
  return buf;
}

class ModSkelTest : public ::testing::TestWithParam<int> {
 protected:
  const Expected& want() const { return Plugins()[GetParam()]; }
};

TEST_P(ModSkelTest, LoadsWithItsTextsAndExports) {
  ModLib m = cz::test::OpenModLib(want().file);
  ASSERT_TRUE(m.handle) << m.load_error;
  ASSERT_TRUE(m.type && m.ver && m.name && m.author && m.comment && m.init && m.error && m.setparam);
  EXPECT_EQ(m.init(), 1);

  std::string comment;
  for (const auto& [line, blanks] : want().comment) comment += line + std::string(blanks, ' ') + "\n";
  if (comment.empty()) comment = BendsweepComment();

  const std::pair<mod_text_fn, std::string> texts[] = {
      {m.type, "modulation"}, {m.ver, want().version}, {m.name, want().name}, {m.author, "Torvane"}};
  for (const auto& [fn, text] : texts) {
    std::vector<char> buf = CallText(fn, CZ_MOD_TEXT_SIZE);
    EXPECT_STREQ(buf.data(), text.c_str());
    // Roundtone fills the rest of the buffer with NULs; the others leave it.
    const char rest = want().padded ? '\0' : 'x';
    for (std::size_t k = text.size() + 1; k < CZ_MOD_TEXT_SIZE; ++k) ASSERT_EQ(buf[k], rest) << text;
  }
  std::vector<char> buf = CallText(m.comment, CZ_MOD_COMMENT_SIZE);
  EXPECT_EQ(std::string(buf.data()), comment);
  if (want().padded) {
    EXPECT_EQ(buf[CZ_MOD_COMMENT_SIZE - 1], '\0');
  }

  // Exactly one engine export, and no export the plug-ins do not have.
  EXPECT_EQ(m.Symbol("mod_engine") != nullptr, want().old_engine);
  EXPECT_EQ(m.Symbol("mod_engine_2") != nullptr, !want().old_engine);
  EXPECT_NE(m.getconf, nullptr);
  EXPECT_NE(m.setconf, nullptr);
  EXPECT_EQ(m.Symbol("mod_shutdown"), nullptr);
  EXPECT_EQ(m.Symbol("mod_setvalue"), nullptr);
  EXPECT_EQ(m.Symbol("ModSkel_CopyText"), nullptr);  // hidden
}

// A zero sample rate makes every plug-in fail with a text, which mod_error
// hands over once; the next call gives "".
TEST_P(ModSkelTest, ErrorTextIsHandedOverOnce) {
  ModLib m = cz::test::OpenModLib(want().file);
  ASSERT_TRUE(m.handle) << m.load_error;
  m.init();
  cz::test::PulseSetup p;
  p.ton = 1200;
  p.srate = 0.0;
  p.mbits = std::string(112, '1');
  cz::test::PulseRun run = cz::test::RunPulse(m, p);
  EXPECT_EQ(run.failed_sample, 0);
  EXPECT_EQ(run.error, "Invalid sample rate. Use a sample rate above 0.");
  EXPECT_EQ(m.TakeError(), "");
}

// Keys compare exactly: an upper-case "TRISE" changes nothing, so a pulse
// that needs zero edges still runs, and the level keys are ignored.
TEST_P(ModSkelTest, KeysAreCaseSensitive) {
  ModLib m = cz::test::OpenModLib(want().file);
  ASSERT_TRUE(m.handle) << m.load_error;
  m.init();
  cz::test::PulseSetup p;
  p.ton = 1200;
  p.srate = 10e6;
  p.mbits = std::string(112, '0');
  cz::test::SendParams(m, p);
  int big = 50;
  m.setparam("TRISE", &big);
  m.setparam("Ton", &big);
  cz::test::PulseRun run = cz::test::RunAfterParams(m, p);
  EXPECT_EQ(run.failed_sample, -1) << run.error;
  ASSERT_EQ(run.samples.size(), 1201u);
  EXPECT_EQ(run.samples[0].amp, 1.0);  // no rise edge
}

INSTANTIATE_TEST_SUITE_P(Plugins, ModSkelTest, ::testing::Values(0, 1, 2, 3),
                         [](const auto& info) { return std::string(Plugins()[info.param].name); });

}  // namespace
