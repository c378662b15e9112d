// The plug-in loader against the test plug-ins of tests/app/plugins: which
// libraries enter the table, in which order, with which log lines, and
// which entry points each one had called.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/PluginLoader.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> g_log;
void CaptureLog(const char* text) { g_log.emplace_back(text); }
void FixedClock(int* h, int* m, int* s) { *h = 1; *m = 2; *s = 3; }
constexpr const char* kStamp = "01:02:03   ";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string Cwd() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? buf : "";
}

class PluginLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cz::test::OffscreenApp();
    g_log.clear();
    Log_SetClock(FixedClock);
    Log_SetLogSink(CaptureLog);
    journal_ = dir_.File("journal.txt");
    setenv("CADENZA_PLUGIN_JOURNAL", journal_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("CADENZA_PLUGIN_JOURNAL");
    SetPluginFolder("");
    Log_SetLogSink(nullptr);
    Log_SetClock(nullptr);
  }
  std::vector<std::string> Journal() const { return Lines(cz::test::ReadFileBytes(journal_)); }
  int LogCount(const std::string& line) const {
    return static_cast<int>(std::count(g_log.begin(), g_log.end(), kStamp + line));
  }

  cz::test::TempDir dir_;
  std::string journal_;
};

// The whole folder of good and bad libraries, loaded once and shut down.
TEST_F(PluginLoaderTest, AcceptsGoodModulesAndRefusesEachBadOneWithItsLine) {
  const std::string folder = cz::test::BuildDir() + "/tests/app/Plugins";
  SetPluginFolder(folder);
  const std::string before = Cwd();
  LoadPlugins();
  EXPECT_EQ(Cwd(), before) << "the working directory is restored";

  // Only the good ones, in file-name order.
  ASSERT_EQ(ModuleCount, 4);
  EXPECT_EQ(ModuleTable[0].Name, "Good Modulation");
  EXPECT_EQ(ModuleTable[1].Name, "Good Report");
  EXPECT_EQ(ModuleTable[2].Name, "Both Engines");
  EXPECT_EQ(ModuleTable[3].Name, "") << "a plug-in that writes nothing leaves an empty name";
  EXPECT_EQ(ModuleTable[3].Type, "jitter");
  EXPECT_EQ(ModuleTable[0].Version, "1.0");

  // Entry points by type.
  const ModuleEntry& mod = ModuleTable[0];
  EXPECT_NE(mod.Engine, nullptr);
  EXPECT_EQ(mod.Engine2, nullptr);
  EXPECT_NE(mod.SetParam, nullptr);
  EXPECT_EQ(mod.ReportSetParam, nullptr);
  EXPECT_EQ(mod.SetValue, nullptr);
  EXPECT_NE(mod.Error, nullptr);
  EXPECT_NE(mod.Shutdown, nullptr);
  const ModuleEntry& rep = ModuleTable[1];
  EXPECT_NE(rep.ReportSetParam, nullptr);
  EXPECT_NE(rep.SetValue, nullptr);
  EXPECT_EQ(rep.SetParam, nullptr);
  EXPECT_EQ(rep.Engine, nullptr);
  EXPECT_NE(ModuleTable[2].Engine, nullptr) << "mod_engine wins";
  EXPECT_EQ(ModuleTable[2].Engine2, nullptr) << "mod_engine_2 is not bound beside mod_engine";

  // Author and comment: present and sanitised, or empty.
  EXPECT_EQ(mod.Author, "Test Author");
  EXPECT_EQ(mod.Comment, "Line one and tilde    \nLine two\r\n");
  EXPECT_EQ(rep.Author, "");
  EXPECT_EQ(rep.Comment, "");

  // One refusal line per bad library, with its exact text.
  EXPECT_EQ(LogCount("Searching for plugins under " + folder + "..."), 1);
  EXPECT_EQ(LogCount("  *** Failed to load DLL. Probably incompatible format."), 1);
  EXPECT_EQ(LogCount("  *** Invalid module (cannot determine type). Unloading."), 1);
  EXPECT_EQ(LogCount("  *** Invalid module type (equaliser). Unloading."), 1);
  EXPECT_EQ(LogCount("  *** Module with the same name was already loaded. Unloading."), 1);
  EXPECT_EQ(LogCount("  *** Init failed. Unloading."), 1);
  EXPECT_EQ(LogCount("  *** Failed to locate module error function. Unloading."), 1);
  EXPECT_EQ(LogCount("  *** Failed to locate module mod_setvalue() function. Unloading."), 1);
  EXPECT_EQ(LogCount("    loaded as 'Good Modulation' ,1.0"), 1);
  EXPECT_EQ(LogCount("  Found module " + folder + "/bad.so, Attempting to load..."), 1);
  for (const std::string& line : g_log) EXPECT_EQ(line.find("folder.so"), std::string::npos) << line;

  ShutdownPlugins();
  const std::vector<std::string> j = Journal();
  auto calls = [&](const std::string& entry) { return std::count(j.begin(), j.end(), entry); };
  for (const char* good : {"01_good_modulation", "02_good_report", "08_both_engines", "09_empty_name"}) {
    EXPECT_EQ(calls(std::string(good) + " mod_init"), 1) << good;
    EXPECT_EQ(calls(std::string(good) + " mod_shutdown"), 1) << good;
  }
  // Refused before init: never initialised, never shut down.
  for (const char* bad : {"03_no_type", "04_unknown_type", "05_duplicate_name", "07_no_error",
                          "10_report_without_setvalue"}) {
    EXPECT_EQ(calls(std::string(bad) + " mod_init"), 0) << bad;
    EXPECT_EQ(calls(std::string(bad) + " mod_shutdown"), 0) << bad;
  }
  EXPECT_EQ(calls("03_no_type mod_ver"), 0) << "nothing is called after a missing mod_type";
  EXPECT_EQ(calls("04_unknown_type mod_ver"), 0);
  // A failed init is not followed by a shutdown.
  EXPECT_EQ(calls("06_init_fails mod_init"), 1);
  EXPECT_EQ(calls("06_init_fails mod_shutdown"), 0);
  // Load order of the good module's texts.
  std::vector<std::string> first;
  for (const std::string& e : j)
    if (e.rfind("01_good_modulation ", 0) == 0) first.push_back(e.substr(19));
  EXPECT_EQ(first, (std::vector<std::string>{"mod_type", "mod_ver", "mod_name", "mod_author",
                                              "mod_comment", "mod_init", "mod_shutdown"}));
}

TEST_F(PluginLoaderTest, TableTakesAtMost32ModulesAndSkipsTheRestWithALine) {
  const std::string folder = cz::test::BuildDir() + "/tests/app/PluginsFull";
  SetPluginFolder(folder);
  LoadPlugins();
  ASSERT_EQ(ModuleCount, CZ_MAX_MODULES);
  EXPECT_EQ(ModuleTable[0].Name, "m01.so");
  EXPECT_EQ(ModuleTable[31].Name, "m32.so");
  EXPECT_EQ(LogCount("  *** Module table full (32 modules). Skipping " + folder + "/m33.so."), 1);
  const std::vector<std::string> j = Journal();
  EXPECT_EQ(std::count(j.begin(), j.end(), "many mod_init"), 32) << "the 33rd is never loaded";
}

TEST_F(PluginLoaderTest, MissingFolderLeavesAnEmptyTableAndTheWorkingDirectory) {
  SetPluginFolder(dir_.File("no-such-folder"));
  const std::string before = Cwd();
  UiTest_QueueMessageOk();
  LoadPlugins();
  EXPECT_EQ(ModuleCount, 0);
  EXPECT_EQ(Cwd(), before);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Error");
  EXPECT_EQ(UiTest_Popups()[0].text, "Cannot set plugin search directory.");
}

TEST(SanitizeModuleText, KeepsLineBreaksAndPrintableRangeOnly) {
  char text[] = "a\tb~c}\x7F\x80\xFF\r\n\x01z";
  SanitizeModuleText(text);
  EXPECT_STREQ(text, "a b c}   \r\n z");
  SanitizeModuleText(nullptr);  // left alone
  char empty[] = "";
  SanitizeModuleText(empty);
  EXPECT_STREQ(empty, "");
}

}  // namespace
