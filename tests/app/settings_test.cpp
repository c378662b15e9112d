// Settings file and home path: the first run, the file format, the reading
// rules, refused over-long paths and the replacing write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/Settings.h"
#include "platform/CLocale.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/Mutate.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> g_log;
void CaptureLog(const char* text) { g_log.emplace_back(text); }
void FixedClock(int* h, int* m, int* s) { *h = 0; *m = 0; *s = 0; }

bool Logged(const std::string& piece) {
  return std::any_of(g_log.begin(), g_log.end(),
                     [&](const std::string& l) { return l.find(piece) != std::string::npos; });
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cz::test::OffscreenApp();
    g_log.clear();
    Log_SetClock(FixedClock);
    Log_SetLogSink(CaptureLog);
    char buf[4096];
    saved_cwd_ = getcwd(buf, sizeof buf) ? buf : "";
    const char* home = std::getenv("HOME");
    saved_home_ = home ? home : "";
    work_ = dir_.File("work");
    user_ = dir_.File("user");
    mkdir(work_.c_str(), 0755);
    mkdir(user_.c_str(), 0755);
    ASSERT_EQ(chdir(work_.c_str()), 0);
    setenv("HOME", user_.c_str(), 1);
  }
  void TearDown() override {
    if (chdir(saved_cwd_.c_str()) != 0) ADD_FAILURE() << "cannot restore the working directory";
    setenv("HOME", saved_home_.c_str(), 1);
    Log_SetLogSink(nullptr);
    Log_SetClock(nullptr);
  }
  // A home folder named by the working directory's settings.ini.
  std::string UseHome(const std::string& stored) {
    std::string home = dir_.File("home");
    mkdir(home.c_str(), 0755);
    cz::test::WriteFileBytes(work_ + "/settings.ini", "[General]\r\nHomePath = \"" + stored + "\"\r\n");
    return home + "/";
  }

  cz::test::TempDir dir_;
  std::string saved_cwd_, saved_home_, work_, user_;
};

TEST_F(SettingsTest, FirstRunWithoutAnySettingsFileGetsAWorkingTempDir) {
  AppSettings s;
  s.BrdScn = 3;    // "unchanged" fields keep their values
  s.BBLinkFB = 1;
  EXPECT_EQ(LoadSettings(s), 0);
  const std::string home = user_ + "/Cadenza/";
  struct stat st {};
  EXPECT_EQ(stat(home.c_str(), &st), 0) << "the default home folder is made";
  EXPECT_TRUE(Logged("Opening " + work_ + "/settings.ini ..."));
  EXPECT_TRUE(Logged("*** Cannot read home path from settings.ini. Using default path."));
  EXPECT_EQ(s.TempDir, home + "Temp/");
  EXPECT_EQ(s.LastPrj, "");
  EXPECT_EQ(s.UsbSer, "123123");
  EXPECT_EQ(s.GpibDev, 28);
  EXPECT_EQ(s.RFLevA, -30.0);
  EXPECT_EQ(s.BrdScn, 3);
  EXPECT_EQ(s.BBLinkFB, 1);
  EXPECT_TRUE(UiTest_Popups().empty());
}

TEST_F(SettingsTest, HomePathFromTheWorkingDirectoryAndAbsolutePaths) {
  // A path stored in the Windows form: drive, '\' separators (escaped in the file).
  std::string windows = "C:" + dir_.path() + "/home";
  for (std::size_t at = windows.find('/'); at != std::string::npos; at = windows.find('/', at + 2))
    windows.replace(at, 1, "\\\\");
  std::string home = UseHome(windows);
  char out[cz::kHomePathSize];
  ASSERT_EQ(GetHomePath(out, sizeof out), 1);
  EXPECT_EQ(std::string(out), home);
  AppSettings s;
  LoadSettings(s);
  EXPECT_EQ(s.TempDir, home + "Temp/");

  char abs[256];
  ASSERT_EQ(MakeAbsolutePath("\\share\\x.wv", abs, sizeof abs), 1);
  EXPECT_STREQ(abs, "\\share\\x.wv");
  ASSERT_EQ(MakeAbsolutePath("C:\\x.wv", abs, sizeof abs), 1);
  EXPECT_STREQ(abs, "C:\\x.wv");
  ASSERT_EQ(MakeAbsolutePath("/data/x.wv", abs, sizeof abs), 1);
  EXPECT_STREQ(abs, "/data/x.wv");
  ASSERT_EQ(MakeAbsolutePath("C:x.wv", abs, sizeof abs), 1);
  EXPECT_EQ(std::string(abs), home + "C:x.wv");
  ASSERT_EQ(MakeAbsolutePath("x.wv", abs, sizeof abs), 1);
  EXPECT_EQ(std::string(abs), home + "x.wv");
  // Too long for the field: refused, never cut into another name.
  std::string longName(300, 'n');
  EXPECT_EQ(MakeAbsolutePath(longName.c_str(), abs, sizeof abs), 0);
  EXPECT_STREQ(abs, "");

  // A stored NUL ends the path, which still ends in '/'.
  UseHome(dir_.path() + "/home\\000junk");
  ASSERT_EQ(GetHomePath(out, sizeof out), 1);
  EXPECT_EQ(std::string(out), home);
}

TEST_F(SettingsTest, SavedFileHasSortedSectionsQuotedTextsAndReadsBackEqual) {
  std::string home = UseHome(dir_.path() + "/home");
  AppSettings a;
  LoadSettings(a);
  a.Select = "TCPIP0::127.0.0.1::inst0::INSTR";
  a.ManualDeviceList.Resource[0] = "GPIB0::28::INSTR";
  a.ManualDeviceList.Comment[0] = "bench \"left\"\tC:\\lab\nsecond line";
  a.ManualDeviceList.Resource[1] = "USB0::0x0AAD::0x005F::100001::INSTR";
  a.ScannedDeviceList.Resource[0] = "TCPIP0::10.0.0.7::inst0::INSTR";
  a.If = 2;
  a.GpibDev = 7;
  a.RscComm = std::string(200, 'c');  // over 80 characters: continuation keys
  a.LastPrj = home + "demo.prj";
  a.AllowTrace = 0;
  a.BBModeB = 2;
  a.RFFreqA = 1.0 / 3.0;
  a.RFLevB = -12.25;
  ASSERT_EQ(SaveSettings(a), 1);

  const std::string bytes = cz::test::ReadFileBytes(home + "settings.ini");
  EXPECT_FALSE(cz::test::FileExists(home + "settings.ini.part"));
  auto at = [&](const std::string& s) { return bytes.find(s); };
  ASSERT_NE(at("[DEV]\r\n"), std::string::npos);
  EXPECT_LT(at("[DEV]\r\n"), at("[INSTR]\r\n"));
  EXPECT_LT(at("[INSTR]\r\n"), at("[PRG]\r\n"));
  EXPECT_LT(at("[PRG]\r\n"), at("[SDEV]\r\n"));
  EXPECT_EQ(bytes.find("General"), std::string::npos);
  EXPECT_LT(at("BrdScn = 0\r\n"), at("GpibBrd = 0\r\n")) << "keys sorted";
  EXPECT_NE(at("Comment1 = \"bench \\\"left\\\"\\tC:\\\\lab\\nsecond line\"\r\n"), std::string::npos);
  EXPECT_NE(at("RFFreqA = 0.3333333333333333\r\n"), std::string::npos);
  EXPECT_NE(at("RFLevB = -12.25\r\n"), std::string::npos);
  EXPECT_NE(at("RFFreqB = 1\r\n"), std::string::npos);
  EXPECT_NE(at("AllowTrace = False\r\n"), std::string::npos);
  EXPECT_NE(at("SavePrjOnExit = True\r\n"), std::string::npos);
  EXPECT_NE(at("RscComm Line0001 = \"" + std::string(80, 'c') + "\"\r\n"), std::string::npos);
  EXPECT_NE(at("RscComm Line0003 = \"" + std::string(40, 'c') + "\"\r\n"), std::string::npos);
  EXPECT_EQ(at("RscComm = "), std::string::npos);
  EXPECT_EQ(at("Device3"), std::string::npos);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'))
      << "every line ends in CR LF";

  AppSettings b;
  ASSERT_EQ(LoadSettings(b), 1);
  EXPECT_EQ(b.Select, a.Select);
  EXPECT_EQ(b.ManualDeviceList.Comment[0], a.ManualDeviceList.Comment[0]);
  EXPECT_EQ(b.ManualDeviceList.Resource[1], a.ManualDeviceList.Resource[1]);
  EXPECT_TRUE(b.ManualDeviceList.Resource[2].empty());
  EXPECT_EQ(b.ScannedDeviceList.Resource[0], a.ScannedDeviceList.Resource[0]);
  EXPECT_EQ(b.RscComm, a.RscComm);
  EXPECT_EQ(b.LastPrj, a.LastPrj);
  EXPECT_EQ(b.If, 2);
  EXPECT_EQ(b.GpibDev, 7);
  EXPECT_EQ(b.AllowTrace, 0);
  EXPECT_EQ(b.BBModeB, 2);
  EXPECT_EQ(b.RFFreqA, a.RFFreqA);
  EXPECT_EQ(b.RFLevB, -12.25);
  EXPECT_EQ(b.TempDir, a.TempDir);

  // Doubles as the shortest text that reads back as the same double.
  const struct {
    double value;
    const char* text;
  } reals[] = {{4.0 / 3.0, "1.3333333333333333"}, {0.1 + 0.2, "0.30000000000000004"}, {0.1, "0.1"},
               {-30.0, "-30"}, {5e-324, "4.94065645841247e-324"}, {1e22, "1e+22"}};
  for (const auto& r : reals) {
    a.RFLevA = r.value;
    ASSERT_EQ(SaveSettings(a), 1);
    EXPECT_NE(cz::test::ReadFileBytes(home + "settings.ini").find(std::string("RFLevA = ") + r.text + "\r\n"),
              std::string::npos)
        << r.text;
    ASSERT_EQ(LoadSettings(b), 1);
    EXPECT_EQ(b.RFLevA, r.value) << r.text;
  }
}

TEST_F(SettingsTest, ReadingRulesForMissingShortAndOverlongValues) {
  std::string home = UseHome(dir_.path() + "/home");
  const std::string longPath = "/" + std::string(299, 'p');
  cz::test::WriteFileBytes(home + "settings.ini",
                           "[dev]\r\ndevice1 = \"A::INSTR\"\r\ncomment1 = \"first\"\r\n"
                           "Device2 = \"B::INSTR\"\r\nDevice4 = \"D::INSTR\"\r\n"
                           "[Instr]\nUSBSER = \"" + std::string(40, 's') + "\"\n"
                           "GpibBrd = 2\nUsbId = seven\nGpibDev = 4294967297\n"
                           "[PRG]\r\nTempDir = \"\"\r\nLastPrj = \"" + longPath + "\"\r\n"
                           "RemoteFileA = \"D:\\\\wave\\\\a.wv\"\r\nRemoteFileB = \"D:\\Waves\\Q.wv\"\r\nRFStateA = true\r\nRFSetLB = False\r\n"
                           "RFStateB = 4294967296\r\nRFFreqA = nan\r\nRFLevB = -inf\r\n");
  AppSettings s;
  s.Host = "stale";
  ASSERT_EQ(LoadSettings(s), 1);
  // Device lists stop at the first missing entry; saving writes what was read.
  EXPECT_EQ(s.ManualDeviceList.Resource[0], "A::INSTR");
  EXPECT_EQ(s.ManualDeviceList.Comment[0], "first");
  EXPECT_EQ(s.ManualDeviceList.Resource[1], "B::INSTR");
  EXPECT_TRUE(s.ManualDeviceList.Resource[2].empty());
  EXPECT_TRUE(s.ManualDeviceList.Resource[3].empty());
  // Case-insensitive look-up; UsbSer is cut to 31 characters.
  EXPECT_EQ(s.UsbSer, std::string(31, 's'));
  EXPECT_EQ(s.GpibBrd, 2);
  EXPECT_EQ(s.UsbId, 95) << "an unreadable number keeps its default";
  EXPECT_TRUE(Logged("UsbId is not a whole number"));
  // A missing text key empties the field; a missing number keeps its default.
  EXPECT_EQ(s.Host, "");
  // Numbers beyond int are refused, not wrapped (to 1 for GpibDev); a
  // flag of 2^32 is not 0 and so not False.
  EXPECT_EQ(s.GpibDev, 28);
  EXPECT_TRUE(Logged("GpibDev is not a whole number"));
  EXPECT_EQ(s.RFStateB, 1);
  // Numbers no instrument can be sent keep their defaults.
  EXPECT_EQ(s.RFFreqA, 1.0);
  EXPECT_EQ(s.RFLevB, -30.0);
  EXPECT_TRUE(Logged("*** settings.ini: [PRG] RFFreqA is not a finite number. Value ignored."));
  EXPECT_EQ(s.Other, "");
  // Empty TempDir takes the default; an over-long path is refused, not cut.
  EXPECT_EQ(s.TempDir, home + "Temp/");
  EXPECT_EQ(s.LastPrj, "");
  EXPECT_TRUE(Logged("*** settings.ini: [PRG] LastPrj is 300 characters long, at most 255 fit. Value ignored."));
  EXPECT_EQ(s.RemoteFileA, "D:\\wave\\a.wv");
  EXPECT_EQ(s.RemoteFileB, "D:\\Waves\\Q.wv") << "a backslash that starts no escape stays";
  EXPECT_EQ(s.RFStateA, 1);
  EXPECT_EQ(s.RFSetLB, 0);

  ASSERT_EQ(SaveSettings(s), 1);
  const std::string bytes = cz::test::ReadFileBytes(home + "settings.ini");
  EXPECT_NE(bytes.find("Device2 = \"B::INSTR\""), std::string::npos);
  EXPECT_EQ(bytes.find("Device4"), std::string::npos);
  for (const char* key : {"RscComm", "Select", "LANScn", "BrdScn", "If", "UsbSer", "UsbId", "Host",
                          "GpibBrd", "GpibDev", "Other", "TempDir", "LastPrj", "SavePrjOnExit",
                          "AllowTrace", "RemoteFileA", "RemoteFileB", "BBRoutingA", "BBRoutingB",
                          "BBModeA", "BBModeB", "BBLinkFA", "BBLinkFB", "RFSetFA", "RFSetFB", "RFSetLA",
                          "RFSetLB", "RFStateA", "RFStateB", "RFFreqA", "RFFreqB", "RFLevA", "RFLevB"})
    EXPECT_NE(bytes.find(std::string("\n") + key + " = "), std::string::npos) << key;
}

// A foreign or damaged file of 100,000 keys (its load time is bench_settings'
// figure): keys and sections are found without regard to case, a section
// named twice is one section, and of two equal keys the first counts.
TEST_F(SettingsTest, LargeFileKeepsTheFirstOfEqualKeysInMergedSections) {
  std::string home = UseHome(dir_.path() + "/home");
  std::string text = "[INSTR]\r\nGpibDev = 7\r\nHost = \"first\"\r\n[prg]\r\nRFLevA = -5\r\n";
  for (int i = 0; i < 100000; ++i) text += cz::FormatC("%s%05d = %d\r\n", i % 2 ? "k" : "K", i / 2, i);
  text += "[instr]\r\ngpibdev = 9\r\nHOST = \"second\"\r\nGpibBrd = 3\r\n[PRG]\r\nrflevA = -6\r\nRFLevB = -7\r\n";
  cz::test::WriteFileBytes(home + "settings.ini", text);
  AppSettings s;
  ASSERT_EQ(LoadSettings(s), 1);
  EXPECT_EQ(s.GpibDev, 7);
  EXPECT_EQ(s.Host, "first");
  EXPECT_EQ(s.GpibBrd, 3) << "a key of the section's second header is read";
  EXPECT_EQ(s.RFLevA, -5.0);
  EXPECT_EQ(s.RFLevB, -7.0);
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFileAndSaysSo) {
  std::string home = UseHome(dir_.path() + "/home");
  const std::string old = "[PRG]\r\nTempDir = \"/old/\"\r\n";
  cz::test::WriteFileBytes(home + "settings.ini", old);
  // The user made the file read-only.
  chmod((home + "settings.ini").c_str(), 0444);
  AppSettings s;
  LoadSettings(s);
  EXPECT_EQ(s.TempDir, "/old/");
  UiTest_QueueMessageOk();
  EXPECT_EQ(SaveSettings(s), 0);
  EXPECT_EQ(cz::test::ReadFileBytes(home + "settings.ini"), old);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "Error");
  EXPECT_EQ(UiTest_Popups()[0].text, "Cannot save project settings.");
  EXPECT_TRUE(Logged("*** Cannot write " + home + "settings.ini: the file is read-only."));
  struct stat st {};
  ASSERT_EQ(stat((home + "settings.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u) << "the file keeps its mode";
}

// A settings file carried beside the program names its own folder as the
// home and holds the user's instrument host and last project: saving it
// keeps its [General] section, so that the next start finds the same home
// and settings again.
TEST_F(SettingsTest, ASettingsFileThatNamesItsOwnFolderAsTheHomeKeepsIt) {
  cz::test::WriteFileBytes(work_ + "/settings.ini", "[General]\r\nHomePath = \"" + work_ +
                                                       "/\"\r\n\r\n[INSTR]\r\nHost = \"10.1.2.3\"\r\n\r\n"
                                                       "[PRG]\r\nLastPrj = \"Projects\\\\radar.prj\"\r\n");
  const std::string project = "Projects\\radar.prj";  // relative, in the Windows form
  AppSettings s;
  ASSERT_EQ(LoadSettings(s), 1);
  EXPECT_EQ(s.Host, "10.1.2.3");
  EXPECT_EQ(s.TempDir, work_ + "/Temp/");
  ASSERT_EQ(SaveSettings(s), 1);
  EXPECT_NE(cz::test::ReadFileBytes(work_ + "/settings.ini").find("[General]\r\n"), std::string::npos);

  g_log.clear();
  AppSettings next;
  ASSERT_EQ(LoadSettings(next), 1);
  EXPECT_FALSE(Logged("Cannot read home path"));
  EXPECT_FALSE(cz::test::FileExists(user_ + "/Cadenza"));
  char home[cz::kHomePathSize];
  ASSERT_EQ(GetHomePath(home, sizeof home), 1);
  EXPECT_EQ(std::string(home), work_ + "/");
  EXPECT_EQ(next.Host, "10.1.2.3");
  EXPECT_EQ(next.LastPrj, project);
  EXPECT_EQ(next.TempDir, work_ + "/Temp/");
}

// A settings.ini that is a link to a shared file: the shared file gets the
// settings, the link stays, and the file keeps its permissions.
TEST_F(SettingsTest, ALinkedSettingsFileIsWrittenWhereItPoints) {
  std::string home = UseHome(dir_.path() + "/home");
  const std::string shared = dir_.File("shared.ini");
  cz::test::WriteFileBytes(shared, "[PRG]\r\nTempDir = \"/old/\"\r\n");
  chmod(shared.c_str(), 0600);
  ASSERT_EQ(symlink(shared.c_str(), (home + "settings.ini").c_str()), 0);
  AppSettings s;
  LoadSettings(s);
  s.TempDir = "/linked/";
  ASSERT_EQ(SaveSettings(s), 1);
  struct stat st {};
  ASSERT_EQ(lstat((home + "settings.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(cz::test::ReadFileBytes(shared).find("/linked/"), std::string::npos);
  ASSERT_EQ(stat(shared.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// Damaged settings files, seeded with one the program wrote: every load ends
// with readable settings (a working TempDir, devices in their fields) and
// leaves the file as it was.
TEST_F(SettingsTest, MutatedSettingsFilesLoadToUsableSettings) {
  std::string home = UseHome(dir_.path() + "/home");
  AppSettings a;
  LoadSettings(a);
  a.Select = "TCPIP0::127.0.0.1::inst0::INSTR";
  a.ManualDeviceList.Resource[0] = "GPIB0::28::INSTR";
  a.ManualDeviceList.Comment[0] = "bench \"left\"\tC:\\lab";
  a.ScannedDeviceList.Resource[0] = "TCPIP0::127.0.0.1::inst0::INSTR";
  a.RscComm = std::string(200, 'c');
  a.LastPrj = home + "demo.prj";
  a.RFFreqA = 1.0 / 3.0;
  ASSERT_EQ(SaveSettings(a), 1);
  const std::string path = home + "settings.ini";
  const std::string seed = cz::test::ReadFileBytes(path);
  std::mt19937 rng(5150);
  cz::test::MutateOptions ini;
  ini.syntax = "[]=\";\\ \r\n0123456789.-eTF";
  ini.maxRun = 400;
  for (int round = 0; round < 300; ++round) {
    const std::string bytes = cz::test::Mutate(seed, rng, ini);
    ASSERT_TRUE(cz::test::WriteFileBytes(path, bytes));
    AppSettings s;
    const int read = LoadSettings(s);
    ASSERT_TRUE(read == 0 || read == 1) << round;
    ASSERT_FALSE(s.TempDir.empty()) << round;
    ASSERT_EQ(cz::test::ReadFileBytes(path), bytes) << round;
  }
  EXPECT_TRUE(UiTest_Popups().empty());
}

}  // namespace
