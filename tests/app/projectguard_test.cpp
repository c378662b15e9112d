// The project commands never lose work: a Save As that fails, project files
// whose records clash or cannot all be loaded, the library tree's selection
// across rebuilds, and the questions before a project is dropped. Run
// through the program's own start-up, menus, tree clicks and scripted
// popups, with a restart where the scenario crosses one.
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/LibraryCommands.h"
#include "app/LibraryTree.h"
#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/ProjectCommands.h"
#include "app/ProjectFile.h"
#include "app/PulsePanelIds.h"
#include "app/PulseRecord.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "platform/ProgramInfo.h"
#include "platform/ui/TestDriver.h"
#include "tests/support/StartupHome.h"
#include "tests/support/TempDir.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/pulse/LevelPanel.h"
#include "ui/main/RfListPage.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

constexpr int kMarkColour = 0x50C0C0;

class ProjectGuardTest : public cz::test::StartupHomeTest {
 protected:
  void SetUp() override {
    StartupHomeTest::SetUp();
    WriteSettings("");
  }

  void WriteSettings(const std::string& lastPrj, bool autosave = false) {
    ASSERT_TRUE(WriteFileBytes(home_ + "/settings.ini",
                               "[PRG]\r\nTempDir = \"" + home_ + "/Temp\"\r\nLastPrj = \"" + lastPrj +
                                   "\"\r\nSavePrjOnExit = " + (autosave ? "True" : "False") + "\r\n"));
  }

  // Ends the program as the user would (File > Exit) and starts it again
  // with the last project loaded.
  void Restart() {
    UiTest_ClearPopups();
    if (!g_Settings.SavePrjOnExit) UiTest_QueueConfirm(true);
    Choose(MBAR_FILE_EXIT);
    TearDownApplication();
    SkipProjectLoad = 0;
    ASSERT_EQ(InitApplication(), 1);
  }

  // Starts the program with path (written with doc) as its last project and
  // save-on-exit on; the load's warning is the one popup.
  void StartWithLastProject(const std::string& path, const std::string& doc) {
    ASSERT_TRUE(WriteFileBytes(path, doc));
    WriteSettings(path, true);
    SkipProjectLoad = 0;
    UiTest_QueueMessageOk();
    ASSERT_EQ(InitApplication(), 1);
    ASSERT_EQ(UiTest_Popups().size(), 1u);
  }

  // The started program holds a project whose load lost `lost` records or
  // parts of records of path (holding doc): Save, Save As onto it, the save
  // of a termination signal and, started again, Exit with save-on-exit all
  // leave the file as it is when answered "no". The program ends stopped.
  void ExpectNotSavedOverWithoutAQuestion(const std::string& path, const std::string& doc, int lost) {
    // Save asks; "no" keeps the file.
    UiTest_ClearPopups();
    UiTest_QueueConfirm(false);
    Choose(MBAR_FILE_SAVEPRJ);
    ASSERT_EQ(UiTest_Popups().size(), 1u);
    EXPECT_EQ(UiTest_Popups()[0].kind, "confirm");
    EXPECT_NE(UiTest_Popups()[0].text.find("Save anyway ?"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(path), doc);
    // Save As onto the same file asks too.
    UiTest_QueueFile(path.c_str());
    UiTest_QueueConfirm(false);
    Choose(MBAR_FILE_SAVEPRJAS);
    EXPECT_EQ(ReadFileBytes(path), doc);
    EXPECT_EQ(UiTest_PendingAnswers(), 0);

    // The save of a termination signal does not write it.
    QuitWithoutQuestions();
    EXPECT_EQ(ReadFileBytes(path), doc);
    TearDownApplication();

    // Started again: the same report; Exit with save-on-exit asks, "no"
    // keeps the file, and "yes" to exiting without a save ends the program.
    UiTest_ClearPopups();
    UiTest_QueueMessageOk();
    ASSERT_EQ(InitApplication(), 1);
    ASSERT_EQ(g_Settings.SavePrjOnExit, 1);
    EXPECT_EQ(LastProjectRecordsLost, lost);
    UiTest_ClearPopups();
    UiTest_QueueConfirm(false);
    UiTest_QueueConfirm(true);
    Choose(MBAR_FILE_EXIT);
    ASSERT_EQ(UiTest_Popups().size(), 2u);
    EXPECT_EQ(UiTest_Popups()[0].kind, "confirm");
    EXPECT_EQ(PulseCount, 0);
    EXPECT_EQ(ReadFileBytes(path), doc);
    TearDownApplication();
  }

  static int Bar() { return GetPanelMenuBar(PANEL_MAIN); }
  static void Choose(int item) { ASSERT_EQ(UiTest_ChooseMenuItem(Bar(), item), 1); }
  static void Press(int control) { ASSERT_EQ(UiTest_ClickCtrl(PANEL_MAIN, control), 1); }
  static int Tree() { return PANEL_MAIN_TREE_PULSES; }
  static std::string Title() {
    char title[512] = "";
    GetPanelAttribute(PANEL_MAIN, ATTR_TITLE, title, sizeof title);
    return title;
  }
  static int Item(const char* tag, int k) {
    int root = -1, item = -1;
    GetTreeItemFromTag(PANEL_MAIN, Tree(), tag, &root);
    GetTreeItemChild(PANEL_MAIN, Tree(), root, k, &item);
    return item;
  }
  static int Count(const char* tag) {
    int root = -1, n = 0;
    GetTreeItemFromTag(PANEL_MAIN, Tree(), tag, &root);
    GetTreeItemNumChildren(PANEL_MAIN, Tree(), root, &n);
    return n;
  }
  static void ClickItem(const char* tag, int k) {
    const int item = Item(tag, k);
    ASSERT_GE(item, 0) << tag << " " << k;
    ASSERT_EQ(UiTest_ClickTreeItem(PANEL_MAIN, Tree(), item, false), 1);
  }
  static std::string Label(int item) {
    char label[256] = "";
    GetLabelFromIndex(PANEL_MAIN, Tree(), item, label, sizeof label);
    return label;
  }
  static bool Marked(int item) {
    int colour = 0;
    GetTreeItemAttribute(PANEL_MAIN, Tree(), item, ATTR_LABEL_BGCOLOR, &colour);
    return colour == kMarkColour;
  }
  // The positions (under their root) of the marked items of a root.
  static std::vector<int> MarkedUnder(const char* tag) {
    std::vector<int> marked;
    for (int k = 0; k < Count(tag); ++k)
      if (Marked(Item(tag, k))) marked.push_back(k);
    return marked;
  }
  static int ActiveItem() {
    int item = -1;
    GetActiveTreeItem(PANEL_MAIN, Tree(), &item);
    return item;
  }
  static std::string Log() {
    std::vector<char> text(1 << 20, '\0');
    GetCtrlVal(TAB_LOG, TAB_LOG_TEX_LOG, text.data(), static_cast<int>(text.size()));
    return text.data();
  }
  static bool Logged(const std::string& line) { return Log().find(line) != std::string::npos; }

  void NewPulse(const char* name) {
    Choose(MBAR_PULSE_PNEW);
    ASSERT_EQ(UiTest_EnterValue(TAB_PEDIT, TAB_PEDIT_STR_NAME, name), 1);
  }
  std::string Projects() const { return home_ + "/Projects"; }
};

// ------------------------------------------------------------- Save As

// A Save As into a folder that does not exist fails; the project keeps the
// file it had: the title, LastPrj and settings.ini still name it, the next
// Save writes the later edits into it, and the next start opens it.
std::string StatusLine() {
  char status[256] = "";
  GetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, status, sizeof status);
  return status;
}

TEST_F(ProjectGuardTest, FailedSaveAsKeepsTheProjectsFile) {
  ASSERT_EQ(InitApplication(), 1);
  NewPulse("first");
  const std::string good = dir_.File("good.prj");
  UiTest_QueueFile(good.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(FileExists(good));
  ASSERT_EQ(g_Settings.LastPrj.str(), good);

  NewPulse("second");
  UiTest_ClearPopups();
  const std::string nowhere = dir_.File("no/such/folder/other.prj");
  UiTest_QueueFile(nowhere.c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(UiTest_Popups()[1].title, "Error");
  EXPECT_EQ(UiTest_Popups()[1].text,
            "Failed to save project file.\n'" + nowhere + "': No such file or directory.");
  EXPECT_EQ(StatusLine(), "Error: Failed to Save Project File.") << "not the earlier \"Project saved.\"";
  EXPECT_FALSE(FileExists(nowhere));
  EXPECT_EQ(g_Settings.LastPrj.str(), good);
  EXPECT_EQ(Title(), "Torvane Q7 Cadenza (good.prj)");
  EXPECT_NE(ReadFileBytes(home_ + "/settings.ini").find("LastPrj = \"" + good + "\""), std::string::npos);

  UiTest_ClearPopups();
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_NE(ReadFileBytes(good).find("name=\"second\""), std::string::npos);
  EXPECT_EQ(StatusLine(), "Project saved.");

  // A read-only project file is kept; the popup says why.
  ASSERT_EQ(::chmod(good.c_str(), 0444), 0);
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_SAVEPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Failed to save project file.\n'" + good + "': the file is read-only.");
  EXPECT_EQ(StatusLine(), "Error: Failed to Save Project File.");
  ASSERT_EQ(::chmod(good.c_str(), 0644), 0);
  UiTest_ClearPopups();

  // The next start opens good.prj with both pulses.
  NewPulse("third");
  g_Settings.SavePrjOnExit = 1;
  Restart();
  ASSERT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  EXPECT_EQ(g_Settings.LastPrj.str(), good);
  ASSERT_EQ(PulseCount, 3);
  EXPECT_STREQ(PulseTable[2].name.c_str(), "third");
  EXPECT_EQ(Title(), "Torvane Q7 Cadenza (good.prj)");
}

// ------------------------------------------------------------ tree selection

// Copy, Hide Tree Entries and a rename of a multi-segment waveform rebuild
// the tree; the record the user works on stays marked and its item active,
// so that the next Move and Delete act on it.
TEST_F(ProjectGuardTest, TreeKeepsItsSelectionAcrossRebuilds) {
  ASSERT_EQ(InitApplication(), 1);
  NewPulse("alpha");
  NewPulse("beta");
  ClickItem(kPulseLibraryTag, 0);
  ASSERT_EQ(CurrentPulse, 0);

  // Copy of a pulse: alpha stays marked, expanded and active.
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(PulseCount, 3);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 0));
  int collapsed = 1;
  GetTreeItemAttribute(PANEL_MAIN, Tree(), Item(kPulseLibraryTag, 0), ATTR_COLLAPSED, &collapsed);
  EXPECT_EQ(collapsed, 0);
  // ... and Move Down moves alpha, the record the editor shows.
  Press(PANEL_MAIN_CMD_SENTRY_DOWN);
  EXPECT_FALSE(Logged("Invalid item selection for moove operation."));
  EXPECT_STREQ(PulseTable[1].name.c_str(), "alpha");
  EXPECT_EQ(CurrentPulse, 1);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{1});

  // A pulse page clicked, then a copy: the pulse stays active.
  const int alpha = Item(kPulseLibraryTag, 1);
  int jitter = -1;
  ASSERT_GE(GetTreeItemChild(PANEL_MAIN, Tree(), alpha, 2, &jitter), 0);
  ASSERT_EQ(Label(jitter), "Jitter");
  ASSERT_EQ(UiTest_ClickTreeItem(PANEL_MAIN, Tree(), jitter, false), 1);
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(PulseCount, 4);
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 1));
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{1});

  // Hide Tree Entries with another pulse hidden: alpha keeps mark and item;
  // beta (hidden) has no item. Toggled back, both are there and alpha is
  // still the marked, active one.
  ClickItem(kPulseLibraryTag, 0);  // beta
  ASSERT_STREQ(PulseTable[CurrentPulse].name.c_str(), "beta");
  ASSERT_EQ(UiTest_ClickCtrl(P_MISC, P_MISC_CMD_P_HIDE), 1);
  ASSERT_EQ(PulseTable[0].hidden, 1);
  ClickItem(kPulseLibraryTag, 1);  // alpha
  Choose(MBAR_PRJ_HIDE);
  ASSERT_EQ(Count(kPulseLibraryTag), 3);
  EXPECT_EQ(Label(Item(kPulseLibraryTag, 0)), "alpha");
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 0));
  Choose(MBAR_PRJ_HIDE);
  ASSERT_EQ(Count(kPulseLibraryTag), 4);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{1});
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 1));
  // The pulse the editor shows, hidden itself: it has no item while hide
  // mode is on, and is marked and active again when it is switched off.
  ClickItem(kPulseLibraryTag, 0);  // beta, hidden
  Choose(MBAR_PRJ_HIDE);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{});
  EXPECT_EQ(ActiveItem(), -1);
  Press(PANEL_MAIN_CMD_SENTRY_DOWN);  // no item is active: nothing moves
  EXPECT_STREQ(PulseTable[0].name.c_str(), "beta");
  EXPECT_TRUE(Logged("Invalid item selection for moove operation."));
  ASSERT_EQ(UiTest_ClickCtrl(TAB_LOG, TAB_LOG_CMD_CLR), 1);
  Choose(MBAR_PRJ_HIDE);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kPulseLibraryTag, 0));
  ClickItem(kPulseLibraryTag, 1);  // alpha again
  // Delete acts on the active item: alpha is used by no sequence, so it asks.
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  Press(PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].text, "Are you sure you want to delete the pulse 'alpha' ?");

  // A sequence, a multi-segment waveform and an RF list: Copy keeps each
  // marked and active; the pulse keeps its mark all along.
  Choose(MBAR_PULSE_SNEW);
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(SequenceCount, 2);
  EXPECT_EQ(MarkedUnder(kSequenceLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kSequenceLibraryTag, 0));
  Choose(MBAR_PULSE_RFLISTNEW);
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(RfListCount, 2);
  EXPECT_EQ(MarkedUnder(kRfListLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kRfListLibraryTag, 0));
  Choose(MBAR_PULSE_SEGNEW);
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(MultiSegmentCount, 2);
  EXPECT_EQ(MarkedUnder(kMultiSegmentLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kMultiSegmentLibraryTag, 0));

  // Renaming the multi-segment waveform keeps it marked and active; Move
  // Down then moves it below its copy.
  ASSERT_EQ(UiTest_EnterValue(TAB_MSEG, TAB_MSEG_STR_NAME, "burst set"), 1);
  EXPECT_EQ(Label(Item(kMultiSegmentLibraryTag, 0)), "burst set");
  EXPECT_EQ(MarkedUnder(kMultiSegmentLibraryTag), std::vector<int>{0});
  EXPECT_EQ(ActiveItem(), Item(kMultiSegmentLibraryTag, 0));
  Press(PANEL_MAIN_CMD_SENTRY_DOWN);
  EXPECT_STREQ(MultiSegmentTable[1].name.c_str(), "burst set");
  EXPECT_EQ(CurrentMultiSegment, 1);

  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{1});
  EXPECT_EQ(MarkedUnder(kSequenceLibraryTag), std::vector<int>{0});
  EXPECT_EQ(MarkedUnder(kRfListLibraryTag), std::vector<int>{0});
  EXPECT_FALSE(Logged("Invalid item selection for moove operation."));

  // New Project drops every mark: the next project's records are unmarked.
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  NewPulse("fresh");
  Choose(MBAR_PULSE_SNEW);
  EXPECT_EQ(MarkedUnder(kSequenceLibraryTag), std::vector<int>{0});
  Choose(MBAR_PULSE_RFLISTNEW);
  EXPECT_EQ(MarkedUnder(kPulseLibraryTag), std::vector<int>{0});
  EXPECT_EQ(MarkedUnder(kMultiSegmentLibraryTag), std::vector<int>{});
}

// ------------------------------------------------------- clashing records

// A project file (as another program or a hand edit leaves it) whose pulses
// and sequences share IDs or carry IDs out of range.
std::string ClashingProject() {
  return "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PROJECT><Name>clash</Name></PROJECT>\r\n<PULSE_DB>\r\n"
         "<PULSE name=\"a\" id=\"3\"/>\r\n"
         "<PULSE name=\"b\" id=\"3\"><Comment>second of ID 3</Comment></PULSE>\r\n"
         "<PULSE name=\"c\" id=\"300\"/>\r\n"
         "<PULSE name=\"d\" id=\"5\"/>\r\n"
         "<PULSE name=\"e\" id=\"4294967299\"/>\r\n"
         "</PULSE_DB>\r\n<SEQUENCE_DB>\r\n"
         "<SEQUENCE name=\"s1\" id=\"2\"><Entry1 pid=\"3\" rep=\"1\"/><Entry2 pid=\"300\" rep=\"2\"/>"
         "<Entry3 pid=\"5\" rep=\"3\"/><Entry4 pid=\"4294967299\" rep=\"4\"/></SEQUENCE>\r\n"
         "<SEQUENCE name=\"s2\" id=\"2\"><Entry1 pid=\"5\" rep=\"1\"/></SEQUENCE>\r\n"
         "<SEQUENCE name=\"s3\" id=\"70\"><Entry1 pid=\"3\" rep=\"1\"/></SEQUENCE>\r\n"
         "<SEQUENCE name=\"s4\" id=\"9\"><Entry1 pid=\"3\" rep=\"1\"/></SEQUENCE>\r\n"
         "</SEQUENCE_DB>\r\n<MULTISEG_DB>\r\n"
         "<MSEG name=\"m\"><Entry1 sid=\"2\" stype=\"0\"/><Entry2 sid=\"70\" stype=\"0\"/>"
         "<Entry3 sid=\"9\" stype=\"0\"/></MSEG>\r\n"
         "</MULTISEG_DB>\r\n<RFLIST_DB/>\r\n<DATASRC_DB/>\r\n</TV_CZ_DB>\r\n";
}

// Every record loads; the later of two records with one ID and the records
// whose ID is out of range get free IDs, references to an ID that one
// record alone carries follow it, and a popup says so. Each record opens
// its own editor from the tree; saved and loaded again, nothing moves.
TEST_F(ProjectGuardTest, ClashingIdsGetFreeIdsAndReferencesFollow) {
  ASSERT_EQ(InitApplication(), 1);
  mkdir(Projects().c_str(), 0755);
  const std::string path = Projects() + "/clash.prj";
  ASSERT_TRUE(WriteFileBytes(path, ClashingProject()));
  UiTest_ClearPopups();
  UiTest_QueueFile(path.c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(UiTest_Popups()[1].title, "Warning");
  EXPECT_NE(UiTest_Popups()[1].text.find("5 record(s) got a new ID"), std::string::npos) << UiTest_Popups()[1].text;
  EXPECT_EQ(UiTest_Popups()[1].text.find("refused"), std::string::npos);
  EXPECT_EQ(LastProjectRecordsLost, 0);

  ASSERT_EQ(PulseCount, 5);
  ASSERT_EQ(SequenceCount, 4);
  // a keeps 3 and d keeps 5, which the file claims; the others take the
  // smallest IDs no record of the file claims.
  const uint32_t pulseIds[] = {3, 1, 2, 5, 4};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(PulseTable[k].id, pulseIds[k]) << k;
  const uint32_t sequenceIds[] = {2, 1, 3, 9};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(SequenceTable[k].id, sequenceIds[k]) << k;
  EXPECT_TRUE(Logged("*** Pulse ID 3 of 'b' is held by another record; the record gets ID 1."));
  EXPECT_TRUE(Logged("*** Pulse ID 300 of 'c' is out of range; the record gets ID 2."));
  // Entries: the shared ID names the first pulse; the out-of-range ones follow.
  const SequenceRecord& s1 = SequenceTable[0];
  ASSERT_EQ(s1.EntriesInUse(), 4);
  EXPECT_EQ(s1.entries[0].pulseId, 3);
  EXPECT_EQ(s1.entries[1].pulseId, 2);
  EXPECT_EQ(s1.entries[2].pulseId, 5);
  EXPECT_EQ(s1.entries[3].pulseId, 4);
  const MultiSegmentRecord& m = MultiSegmentTable[0];
  EXPECT_EQ(m.segments[0].sequenceId, 2);
  EXPECT_EQ(m.segments[1].sequenceId, 3);
  EXPECT_EQ(m.segments[2].sequenceId, 9);
  EXPECT_EQ(m.segments[1].type, SEGMENT_SEQUENCE);

  // Each tree item opens its own record: b is no longer a second view of a.
  for (int k = 0; k < 5; ++k) {
    ClickItem(kPulseLibraryTag, k);
    EXPECT_EQ(CurrentPulse, k);
    char name[128] = "";
    GetCtrlVal(TAB_PEDIT, TAB_PEDIT_STR_NAME, name, sizeof name);
    EXPECT_EQ(std::string(name), PulseTable[k].name.str());
  }
  // b can be deleted now (no entry names it).
  ClickItem(kPulseLibraryTag, 1);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(true);
  Press(PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(PulseCount, 4);
  EXPECT_STREQ(PulseTable[1].name.c_str(), "c");

  // Nothing was lost, so Save writes without a question; the saved file
  // loads back without a popup and with the same IDs.
  UiTest_ClearPopups();
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
  UiTest_QueueFile(path.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 2u) << UiTest_Popups().back().text;
  ASSERT_EQ(PulseCount, 4);
  const uint32_t reloaded[] = {3, 2, 5, 4};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(PulseTable[k].id, reloaded[k]) << k;
  EXPECT_EQ(SequenceTable[0].entries[1].pulseId, 2);
  EXPECT_EQ(MultiSegmentTable[0].segments[1].sequenceId, 3);
}

// A project file that loses records on load (a pulse without a name, an
// entry naming no pulse, sequences beyond the table) is never written over
// without a question: not by Save, not by the save at exit, not by the
// save of a termination signal. "Yes" writes it; then no question is left.
TEST_F(ProjectGuardTest, ProjectThatLostRecordsIsNotSavedOverWithoutAQuestion) {
  mkdir(Projects().c_str(), 0755);
  const std::string path = Projects() + "/lossy.prj";
  std::string doc =
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB>\r\n<PULSE name=\"\" id=\"1\"/>\r\n"
      "<PULSE name=\"kept\" id=\"2\"/>\r\n</PULSE_DB>\r\n<SEQUENCE_DB>\r\n"
      "<SEQUENCE name=\"s\" id=\"1\"><Entry1 pid=\"2\" rep=\"1\"/><Entry2 pid=\"1\" rep=\"1\"/></SEQUENCE>\r\n";
  for (int k = 2; k <= 66; ++k)
    doc += "<SEQUENCE name=\"more" + std::to_string(k) + "\" id=\"" + std::to_string(k) + "\"/>\r\n";
  doc += "</SEQUENCE_DB>\r\n</TV_CZ_DB>\r\n";
  ASSERT_NO_FATAL_FAILURE(StartWithLastProject(path, doc));
  EXPECT_EQ(UiTest_Popups()[0].title, "Warning");
  EXPECT_NE(UiTest_Popups()[0].text.find("3 record(s) were refused."), std::string::npos) << UiTest_Popups()[0].text;
  EXPECT_NE(UiTest_Popups()[0].text.find("1 sequence entries were refused."), std::string::npos);
  EXPECT_EQ(PulseCount, 1);
  EXPECT_EQ(SequenceCount, 64);
  EXPECT_EQ(LastProjectRecordsLost, 4);

  ExpectNotSavedOverWithoutAQuestion(path, doc, 4);

  // "Yes" writes the project over the file; the next save asks nothing.
  UiTest_ClearPopups();
  UiTest_QueueMessageOk();
  ASSERT_EQ(InitApplication(), 1);
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_NE(ReadFileBytes(path), doc);
  EXPECT_EQ(LastProjectRecordsLost, 0);
  UiTest_ClearPopups();
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;
}

// A project file written by another tool whose records hold more than the
// tables keep (entries, segments, points, bits, names and texts too long for
// their fields, an unpaired brace of a copyright among the characters cut):
// each record cut is named with how much was cut, counted like a lost
// record, and the file is not saved over without a question.
TEST_F(ProjectGuardTest, RecordsCutOnLoadAreNamedAndTheFileIsNotSavedOver) {
  mkdir(Projects().c_str(), 0755);
  const std::string path = Projects() + "/long.prj";
  auto entries = [](int n, const char* attrs) {
    std::string e;
    for (int k = 1; k <= n; ++k) e += "<Entry" + std::to_string(k) + " " + attrs + "/>";
    return e;
  };
  std::string name;  // 40 characters of 2 bytes: the first 31 fit
  for (int k = 0; k < 40; ++k) name += "\xC3\xA9";
  const std::string doc =
      "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB>\r\n<PULSE_DB><PULSE name=\"" + name + "\" id=\"1\"/></PULSE_DB>\r\n"
      "<SEQUENCE_DB><SEQUENCE name=\"seq\" id=\"1\"><Copyright>" + std::string(300, 'c') + "{</Copyright>" +
      entries(200, "pid=\"1\" rep=\"1\"") + "</SEQUENCE></SEQUENCE_DB>\r\n<MULTISEG_DB><MSEG name=\"ms\">" + entries(100, "sid=\"1\"") +
      "</MSEG></MULTISEG_DB>\r\n<RFLIST_DB><RFLIST name=\"hop\">" + entries(12000, "f=\"1.5\" l=\"-10\"") +
      "</RFLIST></RFLIST_DB>\r\n<DATASRC_DB><DATASRC name=\"bits\"><data>" + std::string(5000, '1') +
      "</data></DATASRC></DATASRC_DB>\r\n</TV_CZ_DB>\r\n";
  ASSERT_NO_FATAL_FAILURE(StartWithLastProject(path, doc));
  const std::string warning = UiTest_Popups()[0].text;
  for (const char* line : {"Sequence 'seq': 72 entries beyond the 128 it holds were not loaded.",
                           "Multi-segment waveform 'ms': 36 segments beyond the 64 it holds were not loaded.",
                           "RF list 'hop': 2000 points beyond the 10000 it holds were not loaded.",
                           "Data source 'bits': 904 characters of its bit text beyond the 4096 it holds were not "
                           "loaded.",
                           "characters of its name beyond the 31 it holds were not loaded.",
                           "Sequence 'seq': 46 characters of its copyright beyond the 255 it holds were not loaded."})
    EXPECT_NE(warning.find(line), std::string::npos) << line << "\n" << warning;
  EXPECT_EQ(warning.find("\n... and"), std::string::npos) << warning;
  EXPECT_EQ(LastProjectRecordsLost, 6);
  EXPECT_EQ(RfListTable[0].points.InUse(), kMaxRfListPoints);
  EXPECT_EQ(SequenceTable[0].copyright.str(), std::string(255, 'c'));
  ExpectNotSavedOverWithoutAQuestion(path, doc, 6);
}

// The demo of an installed program, opened as the last project: it loads
// without a backup copy beside it; Save asks for a file of the user's (the
// project folder's dialog) and the project moves there; the save of a
// termination signal and a Save As onto it leave it as installed.
TEST_F(ProjectGuardTest, AnInstalledExampleIsReadAndSavedAsAFileOfTheUsers) {
  namespace fs = std::filesystem;
  for (const char* f : {"usr/bin", "usr/lib/cadenza/plugins", "usr/share/cadenza/examples/demo/Projects"})
    fs::create_directories(dir_.File(f));
  cz::SetProgramFolder(dir_.File("usr/bin"));
  struct Restore {
    ~Restore() { cz::SetProgramFolder(""); }
  } restore;
  const std::string demo = dir_.File("usr/share/cadenza/examples/demo/Projects/Demo.prj");
  const std::string bytes = ReadFileBytes(cz::test::SourceDir() + "/examples/demo/Projects/Demo.prj");
  ASSERT_TRUE(WriteFileBytes(demo, bytes));
  WriteSettings(demo, true);
  SkipProjectLoad = 0;
  ASSERT_EQ(InitApplication(), 1);
  EXPECT_EQ(PulseCount, 3);
  EXPECT_FALSE(FileExists(demo + ".bak"));
  EXPECT_TRUE(Logged("No backup copy of '" + demo + "' is written: the folder belongs to the installed program."));

  mkdir(Projects().c_str(), 0755);
  const std::string mine = Projects() + "/Demo.prj";
  UiTest_ClearPopups();
  UiTest_QueueFile(mine.c_str());
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_EQ(UiTest_PendingAnswers(), 0) << "Save asked for a file";
  EXPECT_NE(ReadFileBytes(mine).find("<SEQUENCE name=\"Search\""), std::string::npos);
  EXPECT_EQ(g_Settings.LastPrj.str(), mine);

  UiTest_QueueFile(demo.c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_SAVEPRJAS);
  EXPECT_EQ(g_Settings.LastPrj.str(), mine) << "a refused Save As keeps the user's file";
  g_Settings.LastPrj = demo;
  QuitWithoutQuestions();
  EXPECT_EQ(ReadFileBytes(demo), bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(demo).parent_path()), fs::directory_iterator()), 1);
}

// A last project that failed to load at start-up: an explicit Save asks
// before the current project goes over the file as well.
TEST_F(ProjectGuardTest, ExplicitSaveOverAFileThatFailedToLoadAsks) {
  const std::string path = dir_.File("broken.prj");
  const std::string bytes = "<?xml version=\"1.0\"?>\n<TV_CZ_DB><PULSE_DB><PULSE id=\"1\"";
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  WriteSettings(path);
  SkipProjectLoad = 0;
  ASSERT_EQ(InitApplication(), 1);
  ASSERT_EQ(LastProjectLoadFailed, 1);
  NewPulse("work");
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_SAVEPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].kind, "confirm");
  EXPECT_EQ(ReadFileBytes(path), bytes);
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_NE(ReadFileBytes(path).find("name=\"work\""), std::string::npos);
  EXPECT_EQ(LastProjectLoadFailed, 0);
}

// ------------------------------------------------------------- questions

// A fresh project whose header or options the user set is not dropped by
// New Project or Load Project without a question; "no" keeps them.
TEST_F(ProjectGuardTest, HeaderAndOptionsAreNotDroppedWithoutAQuestion) {
  ASSERT_EQ(InitApplication(), 1);
  mkdir(Projects().c_str(), 0755);
  const std::string other = Projects() + "/other.prj";
  ASSERT_TRUE(WriteFileBytes(
      other, "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB><PROJECT><Name>other</Name></PROJECT></TV_CZ_DB>\r\n"));

  // A new, empty project asks nothing.
  UiTest_ClearPopups();
  Choose(MBAR_FILE_NEWPRJ);
  EXPECT_TRUE(UiTest_Popups().empty()) << UiTest_Popups().front().text;

  ASSERT_EQ(UiTest_EnterValue(PANEL_MAIN, PANEL_MAIN_STR_PROJECT, "radar trials"), 1);
  ASSERT_STREQ(g_Settings.Project.projectName.c_str(), "radar trials");
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_NEWPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(UiTest_Popups()[0].title, "New Project");
  EXPECT_STREQ(g_Settings.Project.projectName.c_str(), "radar trials");
  UiTest_ClearPopups();
  UiTest_QueueFile(other.c_str());
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(UiTest_Popups()[1].title, "Load Project");
  EXPECT_STREQ(g_Settings.Project.projectName.c_str(), "radar trials");
  EXPECT_TRUE(g_Settings.LastPrj.empty());

  // "yes" drops it; then an option set in Preferences is asked about too.
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  EXPECT_TRUE(g_Settings.Project.projectName.empty());
  Choose(MBAR_OPT_PREF);
  ASSERT_EQ(UiTest_ClickCtrl(GENWV, GENWV_CHK_IQSWAP), 1);
  ASSERT_EQ(UiTest_ClickCtrl(PREFERENCE, PREFERENCE_CMD_ACCEPT), 1);
  ASSERT_EQ(g_Settings.Project.swapIq, 1);
  UiTest_ClearPopups();
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_NEWPRJ);
  ASSERT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(g_Settings.Project.swapIq, 1);
  UiTest_QueueFile(other.c_str());
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_LOADPRJ);
  EXPECT_STREQ(g_Settings.Project.projectName.c_str(), "other");
  EXPECT_EQ(UiTest_PendingAnswers(), 0);
}

// Importing 200 pulses into a project of 100 keeps 156: a popup says how
// many were not imported; the imported ones took free IDs.
TEST_F(ProjectGuardTest, ImportBeyondTheMaximumSaysHowManyWereNotImported) {
  ASSERT_EQ(InitApplication(), 1);
  mkdir(Projects().c_str(), 0755);
  const auto pulses = [](int n, const char* prefix) {
    std::string doc = "<?xml version=\"1.0\"?>\r\n<TV_CZ_DB><PULSE_DB>";
    for (int k = 1; k <= n; ++k)
      doc += "<PULSE name=\"" + std::string(prefix) + std::to_string(k) + "\" id=\"" + std::to_string(k) + "\"/>";
    return doc + "</PULSE_DB></TV_CZ_DB>\r\n";
  };
  const std::string hundred = Projects() + "/hundred.prj", many = Projects() + "/many.prj";
  ASSERT_TRUE(WriteFileBytes(hundred, pulses(100, "own")));
  ASSERT_TRUE(WriteFileBytes(many, pulses(200, "imp")));
  UiTest_QueueFile(hundred.c_str());
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(PulseCount, 100);

  UiTest_ClearPopups();
  UiTest_QueueFile(many.c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_PULSE_PIMPORT);
  ASSERT_EQ(UiTest_Popups().size(), 2u);
  EXPECT_EQ(UiTest_Popups()[1].title, "Warning");
  EXPECT_EQ(UiTest_Popups()[1].text,
            "44 pulse(s) of the file were not imported.\nThe project holds the maximum of 256 pulses.\n"
            "See log window for details.");
  ASSERT_EQ(PulseCount, 256);
  EXPECT_STREQ(PulseTable[255].name.c_str(), "imp156");
  EXPECT_EQ(PulseTable[100].id, 201u);  // IDs the file claims for later pulses stay free
  EXPECT_EQ(Count(kPulseLibraryTag), 256);
  std::set<uint32_t> ids;
  for (int k = 0; k < PulseCount; ++k) ids.insert(PulseTable[k].id);
  EXPECT_EQ(ids.size(), 256u);
  EXPECT_EQ(*ids.rbegin(), 256u);
  EXPECT_TRUE(Logged("*** Max. number of pulses in project exceeded."));
  EXPECT_TRUE(Logged("*** Pulse ID 1 of 'imp1' is held by another record; the record gets ID 201."));
  EXPECT_EQ(g_Settings.LastPrj.str(), hundred);

  // An import that fits says nothing.
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  UiTest_ClearPopups();
  UiTest_QueueFile(hundred.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  EXPECT_EQ(UiTest_Popups().size(), 1u);
  EXPECT_EQ(PulseCount, 100);
}

}  // namespace
