// The four modulation plug-ins load through the program's own loader from a
// Plugins folder of their own, land in the module table with their texts and
// entry points, and run a pulse's first sample through the table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "app/PluginLoader.h"
#include "tests/support/TempDir.h"

namespace {

struct Want {
  const char* file;
  const char* name;
  const char* version;
  bool old_engine;
  const char* comment_start;
};

// In file-name order, the order of the module numbers.
const Want kPlugins[] = {
    {"bendsweep", "Bendsweep", "1.0.0", false, "This plugin creates a Bendsweep:"},
    {"replyrun", "Replyrun", "1.1.0", false, "This plugin creates a Replyrun pulse train."},
    {"roundtone", "Roundtone", "1.0.0", true, "This plugin creates a Roundtone shaped FM chirp."},
    {"skywhisk", "Skywhisk", "1.0.0", false, "This plugin creates an Skywhisk pulse train."},
};

TEST(PluginLoader, ModulationPluginsLandInTheModuleTable) {
  cz::test::TempDir dir;
  for (const Want& w : kPlugins) {
    const std::string so = std::string(w.file) + ".so";
    const std::string bytes = cz::test::ReadFileBytes(cz::test::BuildDir() + "/Plugins/" + so);
    ASSERT_FALSE(bytes.empty()) << so;
    ASSERT_TRUE(cz::test::WriteFileBytes(dir.File(so), bytes));
  }
  SetPluginFolder(dir.path());
  LoadPlugins();
  SetPluginFolder("");
  ASSERT_EQ(ModuleCount, 4);

  for (int i = 0; i < 4; ++i) {
    const Want& w = kPlugins[i];
    const ModuleEntry& e = ModuleTable[i];
    SCOPED_TRACE(w.name);
    EXPECT_STREQ(e.Name.c_str(), w.name);
    EXPECT_STREQ(e.Version.c_str(), w.version);
    EXPECT_STREQ(e.Author.c_str(), "Torvane");
    EXPECT_STREQ(e.Type.c_str(), "modulation");
    EXPECT_EQ(std::strncmp(e.Comment.c_str(), w.comment_start, std::strlen(w.comment_start)), 0);
    // The loader blanks the tab of Bendsweep's comment; line breaks stay.
    EXPECT_EQ(std::strchr(e.Comment.c_str(), '\t'), nullptr);
    EXPECT_NE(std::strchr(e.Comment.c_str(), '\n'), nullptr);
    EXPECT_EQ(e.Engine != nullptr, w.old_engine);
    EXPECT_EQ(e.Engine2 != nullptr, !w.old_engine);
    EXPECT_NE(e.SetParam, nullptr);
    EXPECT_NE(e.Error, nullptr);
    EXPECT_NE(e.GetConf, nullptr);
    EXPECT_NE(e.SetConf, nullptr);
    EXPECT_EQ(e.SetValue, nullptr);
    EXPECT_EQ(e.ReportSetParam, nullptr);
    EXPECT_EQ(e.Shutdown, nullptr);
    EXPECT_EQ(FindModuleByName(w.name), i);
  }

  // Through the table: Roundtone's first sample (v = -1) sweeps at -Fmax,
  // 10 MHz by default; Skywhisk without its bits refuses and says why.
  int zero = 0, ton = 100;
  double srate = 100e6, amp = 1.0, phase = 0.0;
  char no_bits[] = "";
  unsigned char marker = 0;
  for (int k : {2, 3}) {
    const ModuleEntry& e = ModuleTable[k];
    e.SetParam(CZ_KEY_TRISE, &zero);
    e.SetParam(CZ_KEY_TON, &ton);
    e.SetParam(CZ_KEY_TFALL, &zero);
    e.SetParam(CZ_KEY_SRATE, &srate);
    e.SetParam(CZ_KEY_MBITS, no_bits);
    e.SetParam(CZ_KEY_DONE, nullptr);
  }
  ASSERT_EQ(ModuleTable[2].Engine(&amp, &phase, 0), 1);
  EXPECT_NEAR(phase, -10.0 * 2 * M_PI * 1e6 / srate, 1e-12);
  EXPECT_EQ(ModuleTable[3].Engine2(&marker, &amp, &phase, 0), 0);
  char err[CZ_MOD_ERROR_SIZE];
  ModuleTable[3].Error(err);
  EXPECT_STREQ(err, "Invalid number of bits. Use 112.");

  ShutdownPlugins();
}

}  // namespace
