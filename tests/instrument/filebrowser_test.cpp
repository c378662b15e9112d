// Instrument file browser against the simulator: listings with the
// extension filter, navigation, directory and file commands, download, and
// what OK and Cancel hand back. The dialog is modal: each test acts in the
// user's place from the loop hook.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "instrument/FileBrowser.h"
#include "instrument/InstrumentCatalog.h"
#include "platform/CLocale.h"
#include "instrument/InstrumentTransfer.h"
#include "platform/ui/TestDriver.h"
#include "tests/instrument/FakeInstrument.h"
#include "tests/instrument/InstrumentTestSupport.h"
#include "tests/support/BrowserSteps.h"
#include "tests/support/PanelFind.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"

namespace {

using cz::test::SimFixture;
using cz::test::SimOptions;
using cz::test::TempDir;

// Labels of a list (column 1 for the file list, whose column 0 is the size).
std::vector<std::string> Items(int panel, int control, int column) {
  std::vector<std::string> out;
  int count = 0;
  GetNumTreeItems(panel, control, &count);
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    GetTreeCellAttribute(panel, control, i, column, ATTR_LABEL_TEXT, text, sizeof text);
    out.push_back(text);
  }
  return out;
}

int IndexOf(int panel, int control, int column, const std::string& name) {
  const std::vector<std::string> items = Items(panel, control, column);
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i] == name) return static_cast<int>(i);
  return -1;
}

std::string Text(int panel, int control) {
  char text[512] = "";
  GetCtrlVal(panel, control, text, sizeof text);
  return text;
}

class FileBrowserTest : public cz::test::InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    FileBrowser_SetLoopHook(&cz::test::BrowserStepHook);
  }
  void TearDown() override {
    cz::test::ClearBrowserStep();
    InstrumentTest::TearDown();
  }
  void Start(const char* model) {
    SimOptions opt;
    opt.model = model;
    opt.vxi11 = false;
    ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
    ASSERT_EQ(VisaDev_Open(0, sim_.SocketResource().c_str()), 1);
  }
  void Upload(const std::string& instrumentPath, const std::string& data) {
    const std::string local = dir_.File("upload.bin");
    ASSERT_TRUE(cz::test::WriteFileBytes(local, data));
    ASSERT_EQ(VisaDev_UploadFile(0, local.c_str(), instrumentPath.c_str()), 1);
  }
  // Runs the dialog; each turn of its loop runs the next step until the
  // steps are used up, then Cancel ends it.
  int Run(const char* filter, std::vector<std::function<void(int)>> steps, char* chosen, const char* start = "") {
    std::size_t next = 0;
    cz::test::BrowserStep() = [&, steps](int panel) {
      if (next < steps.size()) {
        steps[next++](panel);
        return;
      }
      UiTest_ClickCtrl(panel, PANEL_FB_ARBFILECANCEL);
    };
    char path[kFileBrowserPathSize] = "";
    std::snprintf(path, sizeof path, "%s", start);
    return FileBrowser_Run(0, path, chosen, filter);
  }
  SimFixture sim_;
  TempDir dir_;
};

TEST(FileBrowserSpace, SizeTexts) {
  char used[64], available[64];
  FileBrowser_FormatSpace(5000.0 * 1024, 10737418240.0, used, sizeof used, available, sizeof available);
  EXPECT_STREQ(used, "Total size : 4.9 MB");
  EXPECT_STREQ(available, "Available : 10.0 GB");
  FileBrowser_FormatSpace(2048.0, 1048576.0 * 100, used, sizeof used, available, sizeof available);
  EXPECT_STREQ(used, "Total size : 2.0 kB");
  EXPECT_STREQ(available, "Available : 100.0 MB");
  FileBrowser_FormatSpace(5.0 * 1024 * 1024 * 1024, 0.0, used, sizeof used, available, sizeof available);
  EXPECT_STREQ(used, "Total size : 5.0 GB");
}

TEST_F(FileBrowserTest, DriveStyleBrowsesIntoAFolderAndPicksAFile) {
  Start("Kaldra");
  Upload("D:\\a.wv", "aaaa");
  Upload("D:\\b.txt", "bb");
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR 'D:\\waves'"), 1);
  Upload("D:\\waves\\c.wv", "cccccc");
  char chosen[kFileBrowserPathSize] = "x";
  const int result = Run(
      "*.wv",
      {[](int p) {
         EXPECT_EQ(Text(p, PANEL_FB_PATH), "\\");
         EXPECT_NE(IndexOf(p, PANEL_FB_DIRECTORY, 0, "waves"), -1);
         EXPECT_EQ(Items(p, PANEL_FB_FILES, 1), std::vector<std::string>{"a.wv"});
         EXPECT_EQ(Items(p, PANEL_FB_FILES, 0), std::vector<std::string>{"4"});
         char label[32] = "";
         GetCtrlAttribute(p, PANEL_FB_FILES, ATTR_LABEL_TEXT, label, sizeof label);
         EXPECT_STREQ(label, "*.wv");
         EXPECT_EQ(UiTest_ClickTreeItem(p, PANEL_FB_DIRECTORY, IndexOf(p, PANEL_FB_DIRECTORY, 0, "waves"), true), 1);
       },
       [](int p) {
         EXPECT_EQ(Text(p, PANEL_FB_PATH), "\\waves");
         ASSERT_EQ(Items(p, PANEL_FB_FILES, 1), std::vector<std::string>{"c.wv"});
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, 0, false);
         EXPECT_EQ(Text(p, PANEL_FB_FILENAME), "D:\\waves\\c.wv");
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILEOK);
       }},
      chosen);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(chosen, "D:\\waves\\c.wv");
  EXPECT_EQ(PANEL_FB, 0);
}

TEST_F(FileBrowserTest, UpFromTheTopStaysAtTheTop) {
  Start("Kaldra");
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR 'D:\\sub'"), 1);
  char chosen[kFileBrowserPathSize] = "";
  Run(nullptr,
      {[](int p) {
         const int up = IndexOf(p, PANEL_FB_DIRECTORY, 0, "..");
         if (up >= 0) UiTest_ClickTreeItem(p, PANEL_FB_DIRECTORY, up, true);
         EXPECT_EQ(Text(p, PANEL_FB_PATH), "\\");
         UiTest_ClickTreeItem(p, PANEL_FB_DIRECTORY, IndexOf(p, PANEL_FB_DIRECTORY, 0, "sub"), true);
         EXPECT_EQ(Text(p, PANEL_FB_PATH), "\\sub");
         UiTest_ClickTreeItem(p, PANEL_FB_DIRECTORY, IndexOf(p, PANEL_FB_DIRECTORY, 0, ".."), true);
         EXPECT_EQ(Text(p, PANEL_FB_PATH), "\\");
         EXPECT_NE(IndexOf(p, PANEL_FB_DIRECTORY, 0, "sub"), -1);
       }},
      chosen);
}

TEST_F(FileBrowserTest, UnixStyleFiltersByTheNameEnding) {
  Start("Ostrel");
  Upload("/var/x.wv", "x");
  Upload("/var/y.bin", "y");
  Upload("/hdd/h.wv", "h");
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[](int p) {
         EXPECT_EQ(Items(p, PANEL_FB_FILES, 1), std::vector<std::string>{"x.wv"});
         // ".." is not offered at the top of a Unix-style root.
         EXPECT_EQ(IndexOf(p, PANEL_FB_DIRECTORY, 0, ".."), -1);
         EXPECT_NE(IndexOf(p, PANEL_FB_DIRECTORY, 0, "user"), -1);
         // The second drive lists its own files from its top.
         ASSERT_EQ(UiTest_ChooseRingIndex(p, PANEL_FB_DRIVE, 1), 1);
         EXPECT_EQ(Text(p, PANEL_FB_PATH), "/");
         EXPECT_EQ(Items(p, PANEL_FB_FILES, 1), std::vector<std::string>{"h.wv"});
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, 0, false);
         EXPECT_EQ(Text(p, PANEL_FB_FILENAME), "/hdd/h.wv");
       }},
      chosen);
  // Without a filter the Unix-style catalog keeps no file (".*" ends no name).
  Run(nullptr, {[](int p) { EXPECT_TRUE(Items(p, PANEL_FB_FILES, 1).empty()); }}, chosen);
}

TEST_F(FileBrowserTest, DirectoryAndFileCommands) {
  Start("Kaldra");
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR 'D:\\full'"), 1);
  Upload("D:\\full\\keep.wv", "k");
  Upload("D:\\gone.wv", "g");
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[](int p) {
         // A directory holding a file is refused.
         UiTest_ClickTreeItem(p, PANEL_FB_DIRECTORY, IndexOf(p, PANEL_FB_DIRECTORY, 0, "full"), false);
         UiTest_QueueMessageOk();
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILERDIR);
         ASSERT_FALSE(UiTest_Popups().empty());
         EXPECT_EQ(UiTest_Popups().back().text, "Directory is not empty!");
         EXPECT_NE(IndexOf(p, PANEL_FB_DIRECTORY, 0, "full"), -1);
         // Create and remove an empty one.
         UiTest_QueuePrompt("fresh");
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILEMDIR);
         ASSERT_NE(IndexOf(p, PANEL_FB_DIRECTORY, 0, "fresh"), -1);
         UiTest_ClickTreeItem(p, PANEL_FB_DIRECTORY, IndexOf(p, PANEL_FB_DIRECTORY, 0, "fresh"), false);
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILERDIR);
         EXPECT_EQ(IndexOf(p, PANEL_FB_DIRECTORY, 0, "fresh"), -1);
         // Delete a file after the question.
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "gone.wv"), false);
         UiTest_QueueConfirm(true);
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILEDELETE);
         EXPECT_EQ(UiTest_Popups().back().text, "Do you realy want to delete\ngone.wv?");
         EXPECT_TRUE(Items(p, PANEL_FB_FILES, 1).empty());
         EXPECT_EQ(Text(p, PANEL_FB_FILENAME), "");
       }},
      chosen);
}

// The file list offers Delete and Transfer to PC while the focus is on the
// list or on those buttons; once it goes elsewhere they are dimmed.
TEST_F(FileBrowserTest, FileButtonsFollowTheFocus) {
  Start("Kaldra");
  Upload("D:\\one.wv", "1");
  auto dimmed = [](int p, int control) {
    int value = -1;
    GetCtrlAttribute(p, control, ATTR_DIMMED, &value);
    return value;
  };
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[&](int p) {
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "one.wv"), false);
         EXPECT_EQ(dimmed(p, PANEL_FB_ARBFILEDELETE), 0);
         EXPECT_EQ(dimmed(p, PANEL_FB_ARBFILECOPY), 0);
         UiTest_FocusCtrl(p, PANEL_FB_ARBFILEDELETE);  // to its own button: still offered
       },
       [&](int p) {
         EXPECT_EQ(dimmed(p, PANEL_FB_ARBFILEDELETE), 0);
         UiTest_FocusCtrl(p, PANEL_FB_FILENAME);  // elsewhere
       },
       [&](int p) {
         EXPECT_EQ(dimmed(p, PANEL_FB_ARBFILEDELETE), 1);
         EXPECT_EQ(dimmed(p, PANEL_FB_ARBFILECOPY), 1);
       }},
      chosen);
}

TEST_F(FileBrowserTest, TransferToPcDownloadsTheSelectedFile) {
  Start("Kaldra");
  Upload("D:\\get.wv", "payload bytes");
  const std::string local = dir_.File("copy.wv");
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[&](int p) {
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, 0, false);
         UiTest_QueueFile(local.c_str());
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY);
       }},
      chosen);
  EXPECT_EQ(cz::test::ReadFileBytes(local), "payload bytes");
}

// Transfer to PC over a slow link: Cancel in the progress dialog ends the
// download at once, no partial file is left and the session goes on; a
// download of many pieces logs its progress in a few lines.
bool g_cancelAtProgress = false;
void CancelWhenTheDataFlows(const char* line) {
  cz::test::CapturedLog::OnLine(line);
  if (!g_cancelAtProgress || std::string(line).find("Data length is : ") == std::string::npos) return;
  g_cancelAtProgress = false;
  const int dialog = cz::test::FindProgressPanel();
  UiTest_ClickCtrl(dialog, cz::test::FindCtrlByName(dialog, "BT_CANCEL"));
}

TEST_F(FileBrowserTest, CancelEndsATransferToPcAndTheLogStaysShort) {
  SimOptions opt;
  opt.vxi11 = false;
  opt.faults = {"slow=100000*1@MMEM:DATA?"};  // 2 MB would take 20 s
  ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
  ASSERT_EQ(VisaDev_Open(0, sim_.SocketResource().c_str()), 1);
  std::string big(2 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  Upload("D:\\big.wv", big);
  Upload("D:\\mid.wv", big.substr(0, 1 << 20));
  const std::string local = dir_.File("big.wv");
  const std::string other = dir_.File("mid.wv");
  std::size_t linesBefore = 0, linesAfter = 0;
  Log_SetLogSink(CancelWhenTheDataFlows);
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[&](int p) {
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "big.wv"), false);
         UiTest_QueueFile(local.c_str());
         UiTest_QueueMessageOk();
         g_cancelAtProgress = true;
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY);
       },
       [&](int p) {
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "mid.wv"), false);
         UiTest_QueueFile(other.c_str());
         linesBefore = Log().lines.size();
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY);
         linesAfter = Log().lines.size();
       }},
      chosen);
  Log_SetLogSink(&cz::test::CapturedLog::OnLine);
  EXPECT_FALSE(g_cancelAtProgress) << "Cancel was pressed";
  std::vector<std::string> popups;
  for (const auto& popup : UiTest_Popups())
    if (popup.title != "Select File") popups.push_back(popup.title + ": " + popup.text);
  EXPECT_EQ(popups, std::vector<std::string>{"Instrument File Browser: File transfer cancelled."});
  EXPECT_TRUE(Log().HasPrefix("*** Download cancelled after "));
  EXPECT_FALSE(Log().HasPrefix("Received 2097152 of 2097152 bytes."));
  // The session went on: the next download is whole, in a bounded number of
  // log lines (512 pieces, 1,024 lines before).
  EXPECT_EQ(cz::test::ReadFileBytes(other), big.substr(0, 1 << 20));
  EXPECT_TRUE(Log().Has("Received 1048576 of 1048576 bytes."));
  EXPECT_LE(linesAfter - linesBefore, 30u);
  char idn[256] = "";
  EXPECT_EQ(VisaDev_Query(0, "*IDN?", idn, sizeof idn), 1);
  // No partial file, neither under the target's name nor beside it.
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"mid.wv", "upload.bin"}));
}

TEST_F(FileBrowserTest, CancelHandsBackTheLastChoice) {
  Start("Kaldra");
  Upload("D:\\one.wv", "1");
  char chosen[kFileBrowserPathSize] = "";
  const int result =
      Run("*.wv", {[](int p) { UiTest_ClickTreeItem(p, PANEL_FB_FILES, 0, false); }}, chosen, "D:\\start.wv");
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(chosen, "D:\\one.wv");
}

// A path typed into "File and Path" longer than the 255 bytes the callers
// take (accented names, within the field's characters) is refused whole: OK
// stays dimmed and the commit says so; the field once cut it into the name
// of another file, which OK handed back. A path of exactly 255 bytes is
// handed back whole.
TEST_F(FileBrowserTest, ATypedPathTooLongIsRefusedNeverCut) {
  Start("Kaldra");
  std::string accented;
  for (int i = 0; i < 140; ++i) accented += "\xC3\xA9";  // 140 characters, 280 bytes
  const std::string tooLong = "D:\\" + accented + ".wv";
  const std::string whole = "D:\\" + accented.substr(0, 248) + "x.wv";  // 255 bytes
  ASSERT_EQ(whole.size(), 255u);
  auto okDimmed = [](int p) {
    int dimmed = -1;
    GetCtrlAttribute(p, PANEL_FB_ARBFILEOK, ATTR_DIMMED, &dimmed);
    return dimmed;
  };
  char chosen[kFileBrowserPathSize] = "x";
  UiTest_ClearPopups();
  const int result = Run(
      "*.wv",
      {[&](int p) {
         UiTest_QueueMessageOk();
         EXPECT_EQ(UiTest_EnterValue(p, PANEL_FB_FILENAME, tooLong.c_str()), 1);
       },
       [&](int p) {
         EXPECT_EQ(Text(p, PANEL_FB_FILENAME), tooLong);
         ASSERT_EQ(UiTest_Popups().size(), 1u);
         EXPECT_EQ(UiTest_Popups()[0].text, "Path name too long.");
         EXPECT_EQ(okDimmed(p), 1);
         EXPECT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILEOK), 0);
       },
       [&](int p) { EXPECT_EQ(UiTest_EnterValue(p, PANEL_FB_FILENAME, whole.c_str()), 1); },
       [&](int p) {
         EXPECT_EQ(okDimmed(p), 0);
         EXPECT_EQ(UiTest_ClickCtrl(p, PANEL_FB_ARBFILEOK), 1);
       }},
      chosen);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(std::string(chosen), whole);
  EXPECT_EQ(UiTest_Popups().size(), 1u);
}

TEST_F(FileBrowserTest, LostInstrumentShowsTheError) {
  Start("Kaldra");
  sim_.Stop();
  char chosen[kFileBrowserPathSize] = "";
  UiTest_SetUnansweredPopupHandler(nullptr);
  for (int i = 0; i < 8; ++i) UiTest_QueueMessageOk();
  Run("*.wv", {}, chosen);
  ASSERT_FALSE(UiTest_Popups().empty());
  EXPECT_EQ(UiTest_Popups().front().title, "Instrument File Browser");
  EXPECT_EQ(PANEL_FB, 0);
}

TEST_F(FileBrowserTest, RefusedCountsAndAnUnknownTypeEndWithTheirMessages) {
  SimOptions opt;
  opt.model = "Kaldra";
  opt.vxi11 = false;
  opt.faults = {"reply=1025*1@DCAT:LENG"};
  ASSERT_TRUE(sim_.Start(opt)) << sim_.Error();
  ASSERT_EQ(VisaDev_Open(0, sim_.SocketResource().c_str()), 1);
  char chosen[kFileBrowserPathSize] = "";
  UiTest_QueueMessageOk();
  Run("*.wv", {[](int p) { EXPECT_TRUE(Items(p, PANEL_FB_DIRECTORY, 0).empty()); }}, chosen);
  ASSERT_FALSE(UiTest_Popups().empty());
  EXPECT_EQ(UiTest_Popups().front().text, "Number of directory entries invalid.");

  // A slot that is not open has no type: the buffers stay as they were.
  char path[kFileBrowserPathSize] = "D:\\keep.wv";
  std::snprintf(chosen, sizeof chosen, "unchanged");
  UiTest_QueueMessageOk();
  EXPECT_EQ(FileBrowser_Run(5, path, chosen, "*.wv"), 0);
  EXPECT_EQ(UiTest_Popups().back().text, "Cannot determine instrument type.");
  EXPECT_STREQ(chosen, "unchanged");
  EXPECT_STREQ(path, "D:\\keep.wv");
  EXPECT_EQ(PANEL_FB, 0);
}

}  // namespace

namespace {

// Catalogue entries are split at their last two commas and their doubled
// quotes read as one: names with commas, quotes and blanks are listed,
// deleted and downloaded under their own names, and a quoted directory
// name hides none of the directories after it.
class FileBrowserNamesTest : public FileBrowserTest {
 protected:
  std::string Download(const std::string& path) {
    const std::string local = dir_.File("back.bin");
    std::remove(local.c_str());
    if (VisaDev_DownloadFile(0, local.c_str(), path.c_str()) != 1) return "<missing>";
    return cz::test::ReadFileBytes(local);
  }
};

TEST(CatalogReply, StringsAndEntries) {
  const std::vector<std::string> strings =
      Catalog_Strings("10,20,\"take,2.wv,BIN,7\",\"say \"\"hi\"\",DIR,0\",\"my file.wv,BIN,3\",\"open");
  ASSERT_EQ(strings.size(), 4u);
  EXPECT_EQ(strings[1], "say \"hi\",DIR,0");
  EXPECT_EQ(strings[3], "open");
  CatalogEntry e;
  ASSERT_TRUE(Catalog_SplitEntry(strings[0], &e));
  EXPECT_EQ(e.name, "take,2.wv");
  EXPECT_EQ(e.type, "BIN");
  EXPECT_EQ(e.size, "7");
  ASSERT_TRUE(Catalog_SplitEntry(",,BIN,1", &e));
  EXPECT_EQ(e.name, ",");
  EXPECT_FALSE(Catalog_SplitEntry("zeta", &e));
  EXPECT_EQ(e.name, "zeta");
  EXPECT_TRUE(Catalog_Strings("0,0").empty());
}

TEST_F(FileBrowserNamesTest, DriveStyleNamesWithCommasQuotesAndBlanks) {
  Start("Kaldra");
  Upload("D:\\take,2.wv", "seven!!");
  Upload("D:\\take.wv", "333");
  Upload("D:\\take", "1");
  Upload("D:\\my \"best\" take.wv", "quoted");
  Upload("D:\\it's here.wv", "apostrophe");
  for (const char* d : {"D:\\say \"hi\"", "D:\\zeta", "D:\\a,b"})
    ASSERT_EQ(VisaDev_Write(0, cz::FormatC(":MMEM:MDIR '%s'", d).c_str()), 1) << d;
  const std::string local = dir_.File("copy.wv");
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[&](int p) {
         for (const char* d : {"say \"hi\"", "zeta", "a,b"})
           EXPECT_NE(IndexOf(p, PANEL_FB_DIRECTORY, 0, d), -1) << d;
         const std::vector<std::string> names = Items(p, PANEL_FB_FILES, 1);
         EXPECT_EQ(names, (std::vector<std::string>{"it's here.wv", "my \"best\" take.wv", "take,2.wv", "take.wv"}));
         const int take2 = IndexOf(p, PANEL_FB_FILES, 1, "take,2.wv");
         ASSERT_GE(take2, 0);
         EXPECT_EQ(Items(p, PANEL_FB_FILES, 0)[static_cast<std::size_t>(take2)], "7");
         // Transfer to PC reads the file of that name.
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, take2, false);
         EXPECT_EQ(Text(p, PANEL_FB_FILENAME), "D:\\take,2.wv");
         UiTest_QueueFile(local.c_str());
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY);
         EXPECT_EQ(cz::test::ReadFileBytes(local), "seven!!");
         // Delete removes that file and no other.
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "take,2.wv"), false);
         UiTest_QueueConfirm(true);
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILEDELETE);
         EXPECT_EQ(IndexOf(p, PANEL_FB_FILES, 1, "take,2.wv"), -1);
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "my \"best\" take.wv"), false);
         UiTest_QueueConfirm(true);
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILEDELETE);
         EXPECT_EQ(Items(p, PANEL_FB_FILES, 1), (std::vector<std::string>{"it's here.wv", "take.wv"}));
         // Into the quoted directory and back.
         UiTest_ClickTreeItem(p, PANEL_FB_DIRECTORY, IndexOf(p, PANEL_FB_DIRECTORY, 0, "say \"hi\""), true);
         EXPECT_EQ(Text(p, PANEL_FB_PATH), "\\say \"hi\"");
         EXPECT_TRUE(Items(p, PANEL_FB_FILES, 1).empty());
       }},
      chosen);
  EXPECT_EQ(Download("D:\\take"), "1");
  EXPECT_EQ(Download("D:\\take.wv"), "333");
  EXPECT_EQ(Download("D:\\take,2.wv"), "<missing>");
  EXPECT_EQ(Download("D:\\it's here.wv"), "apostrophe");
}

TEST_F(FileBrowserNamesTest, UnixStyleNamesWithCommasAndQuotes) {
  Start("Ostrel");
  Upload("/var/x,y,z.wv", "xyz");
  Upload("/var/x.wv", "x");
  Upload("/var/say \"so\".wv", "so");
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR '/var/q\"d'"), 1);
  ASSERT_EQ(VisaDev_Write(0, ":MMEM:MDIR '/var/zeta'"), 1);
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[&](int p) {
         EXPECT_NE(IndexOf(p, PANEL_FB_DIRECTORY, 0, "q\"d"), -1);
         EXPECT_NE(IndexOf(p, PANEL_FB_DIRECTORY, 0, "zeta"), -1);
         EXPECT_EQ(Items(p, PANEL_FB_FILES, 1), (std::vector<std::string>{"say \"so\".wv", "x,y,z.wv", "x.wv"}));
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "x,y,z.wv"), false);
         EXPECT_EQ(Text(p, PANEL_FB_FILENAME), "/var/x,y,z.wv");
         UiTest_QueueConfirm(true);
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILEDELETE);
         EXPECT_EQ(Items(p, PANEL_FB_FILES, 1), (std::vector<std::string>{"say \"so\".wv", "x.wv"}));
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "say \"so\".wv"), false);
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILEOK);
       }},
      chosen);
  EXPECT_STREQ(chosen, "/var/say \"so\".wv");
  EXPECT_EQ(Download("/var/x.wv"), "x");
  EXPECT_EQ(Download("/var/say \"so\".wv"), "so");
}

}  // namespace

namespace {

// Transfer to PC into a folder whose path is longer than an instrument file
// name may be: the file arrives there (a local path is not held to the
// instrument's name limit); a path beyond any the program takes is refused
// with a message.
TEST_F(FileBrowserTest, TransferToPcIntoADeepFolder) {
  Start("Kaldra");
  Upload("D:\\get.wv", "payload bytes");
  std::string folder = dir_.path();
  for (char c : {'d', 'e'}) {
    folder += "/" + std::string(150, c);
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  }
  const std::string local = folder + "/copy.wv";
  ASSERT_GT(local.size(), 300u);
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[&](int p) {
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "get.wv"), false);
         UiTest_QueueFile(local.c_str());
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY);
       }},
      chosen);
  EXPECT_EQ(cz::test::ReadFileBytes(local), "payload bytes");

  const std::string tooLong = folder + "/" + std::string(800, 'f');
  UiTest_ClearPopups();
  Run("*.wv",
      {[&](int p) {
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, IndexOf(p, PANEL_FB_FILES, 1, "get.wv"), false);
         UiTest_QueueFile(tooLong.c_str());
         UiTest_QueueMessageOk();
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILECOPY);
       }},
      chosen);
  ASSERT_FALSE(UiTest_Popups().empty());
  EXPECT_EQ(UiTest_Popups().back().text, "The path of the chosen file is too long.");
}

}  // namespace

namespace {

using cz::test::FakeInstrument;

// Catalogues no simulator writes, answered by a fake instrument: names
// holding a NUL, a line feed or a separator, a very long name, more
// entries than any fixed buffer would take.
class FileBrowserCatalogueTest : public FileBrowserTest {
 protected:
  void Open(const std::vector<std::string>& dirs, const std::vector<std::string>& files) {
    std::string dcat;
    for (const std::string& d : dirs) dcat += (dcat.empty() ? "\"" : ",\"") + d + "\"";
    std::string cat = "2048,1048576";
    for (const std::string& f : files) cat += ",\"" + f + ",BIN,7\"";
    fake_.Answer(":MMEM:DCAT:LENG?", std::to_string(dirs.size()));
    fake_.Answer(":MMEM:DCAT?", dcat);
    fake_.Answer(":MMEM:CAT:LENG?", std::to_string(files.size()));
    fake_.Answer(":MMEM:CAT?", cat);
    ASSERT_EQ(VisaDev_Open(0, fake_.Resource().c_str()), 1);
  }
  FakeInstrument fake_{"Torvane,Kaldra,1,1.0", "KLD-M64"};
};

TEST_F(FileBrowserCatalogueTest, EveryListableNameIsListedWhateverComesBeforeIt) {
  const std::string nul("b\0c.wv", 6);
  const std::string longName = std::string(10000, 'L') + ".wv";
  std::vector<std::string> files = {"a.wv", nul, "d.wv", longName, "e\nf.wv", "g.wv"};
  for (int i = 0; i < 1500; ++i) files.push_back(cz::FormatC("n%04d.wv", i));
  Open({".", "..", std::string("x\0y", 3), "p\nq", "after"}, files);
  char chosen[kFileBrowserPathSize] = "";
  Run("*.wv",
      {[&](int p) {
         const std::vector<std::string> names = Items(p, PANEL_FB_FILES, 1);
         ASSERT_EQ(names.size(), 1504u);
         EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
                   (std::vector<std::string>{"a.wv", "d.wv", std::string(255, 'L')}));
         EXPECT_EQ(names[3], "g.wv");
         EXPECT_EQ(names.back(), "n1499.wv");
         EXPECT_EQ(Items(p, PANEL_FB_DIRECTORY, 0), (std::vector<std::string>{"..", "after"}));
         EXPECT_EQ(Text(p, PANEL_FB_DIRSIZE), "Total size : 2.0 kB");
         EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
         // The long name is listed but cannot be the choice: said once, and
         // the file chosen before is not kept in its place.
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, 0, false);
         UiTest_QueueMessageOk();
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, 2, false);
         UiTest_FocusCtrl(p, PANEL_FB_FILENAME);
         UiTest_FocusCtrl(p, PANEL_FB_FILES);
         ASSERT_EQ(UiTest_Popups().size(), 1u);
         EXPECT_EQ(UiTest_Popups()[0].text, "Path name too long.");
         EXPECT_EQ(Text(p, PANEL_FB_FILENAME), "");
       }},
      chosen);
  EXPECT_STREQ(chosen, "");
  EXPECT_TRUE(Log().Has("*** Instrument catalogue entry with a control character not listed: b?c.wv"));
  EXPECT_TRUE(Log().Has("*** Instrument catalogue entry with a control character not listed: e?f.wv"));
  EXPECT_TRUE(Log().Has("*** Instrument catalogue entry with a control character not listed: p?q"));
}

// "a\..\b.wv" joined to "D:" would name D:\b.wv: such names are shown, but
// neither chosen, deleted, downloaded, entered nor removed.
TEST_F(FileBrowserCatalogueTest, ANameThatAddressesAnotherFileIsNeverSent) {
  Open({"..", "up\\..\\..", "x/y"}, {"a\\..\\b.wv", "../../x.wv", "..", "ok.wv"});
  // One popup with the refusal; its queued answer would answer any other.
  auto refused = [](const std::function<void()>& action) {
    const std::size_t before = UiTest_Popups().size();
    UiTest_QueueMessageOk();
    action();
    ASSERT_EQ(UiTest_Popups().size(), before + 1);
    EXPECT_EQ(UiTest_Popups().back().text, "Invalid file or directory name.");
  };
  auto commit = [](int p, int control, CtrlCallbackPtr callback) {
    return [=] { callback(p, control, EVENT_COMMIT, nullptr, 0, 0); };
  };
  char chosen[kFileBrowserPathSize] = "";
  const int result = Run(
      "*.wv",
      {[&](int p) {
         ASSERT_EQ(Items(p, PANEL_FB_FILES, 1),
                   (std::vector<std::string>{"a\\..\\b.wv", "../../x.wv", "..", "ok.wv"}));
         fake_.ClearJournal();
         for (int item = 0; item < 3; ++item) {
           refused([&] { UiTest_ClickTreeItem(p, PANEL_FB_FILES, item, false); });
           EXPECT_EQ(Text(p, PANEL_FB_FILENAME), "") << item;
           refused(commit(p, PANEL_FB_ARBFILEDELETE, FileBrowserDeleteFileCb));
           refused(commit(p, PANEL_FB_ARBFILECOPY, FileBrowserCopyToPcCb));
         }
         for (const char* d : {"up\\..\\..", "x/y"}) {
           UiTest_ClickTreeItem(p, PANEL_FB_DIRECTORY, IndexOf(p, PANEL_FB_DIRECTORY, 0, d), false);
           refused(commit(p, PANEL_FB_ARBFILERDIR, FileBrowserRemoveDirCb));
           refused(commit(p, PANEL_FB_DIRECTORY, FileBrowserDirectoryListCb));
           EXPECT_EQ(Text(p, PANEL_FB_PATH), "\\");
         }
         EXPECT_TRUE(fake_.Journal().empty()) << fake_.Journal().front();
         // A plain name next to them is still the one chosen.
         UiTest_ClickTreeItem(p, PANEL_FB_FILES, 3, false);
         UiTest_ClickCtrl(p, PANEL_FB_ARBFILEOK);
       }},
      chosen);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(chosen, "D:\\ok.wv");
}

}  // namespace
