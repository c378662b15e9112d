// Project commands: New Project, Load Project and Import Pulses through the
// File and Create menus, with scripted file dialogs and questions.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/ProjectCommands.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "tests/support/LibraryWindowFixture.h"

namespace {

using cz::test::LoggedCount;
using Labels = std::vector<std::string>;

class ProjectCommandsTest : public cz::test::LibraryWindowTest {
 protected:
  void SetUp() override {
    LibraryWindowTest::SetUp();
    char folder[512] = "";
    ASSERT_EQ(1, GetProjectFolder(folder, sizeof folder));
    folder_ = folder;
    std::filesystem::create_directories(folder_);
  }

  std::string Title() const {
    char title[512] = "";
    GetPanelAttribute(PANEL_MAIN, ATTR_TITLE, title, sizeof title);
    return title;
  }

  // A small project made through the commands: two pulses, a sequence, a
  // multi-segment waveform and an RF list.
  void MakeProject() {
    Choose(MBAR_PULSE_PNEW);
    Choose(MBAR_PULSE_PNEW);
    PulseTable[1].name = "chirp";
    Choose(MBAR_PULSE_SNEW);
    Choose(MBAR_PULSE_SEGNEW);
    Choose(MBAR_PULSE_RFLISTNEW);
    RebuildLibraryTree();
  }

  std::string folder_;
};

TEST_F(ProjectCommandsTest, SavedProjectLoadsBackIntoTheTreeAndNamesTheWindow) {
  MakeProject();
  const Labels pulses = Children("_PULSELIB");
  const std::string path = folder_ + "/demo.prj";
  UiTest_QueueFile(path.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(cz::test::FileExists(path));
  EXPECT_EQ(path, g_Settings.LastPrj.str());

  UiTest_QueueConfirm(true);  // records present: New Project asks first
  Choose(MBAR_FILE_NEWPRJ);
  EXPECT_EQ(0, PulseCount);
  EXPECT_TRUE(Children("_PULSELIB").empty());
  EXPECT_EQ("Torvane Q7 Cadenza", Title());
  EXPECT_EQ(PAGE_LOG, ActivePage());

  UiTest_ClearPopups();
  UiTest_QueueFile(path.c_str());  // empty project, no file: no question
  Choose(MBAR_FILE_LOADPRJ);
  ASSERT_EQ(1u, UiTest_Popups().size());
  EXPECT_EQ("Load Project File", UiTest_Popups()[0].title);
  EXPECT_EQ(folder_ + "|*.prj", UiTest_Popups()[0].text);
  EXPECT_EQ(pulses, Children("_PULSELIB"));
  EXPECT_EQ(1u, Children("_SEQLIB").size());
  EXPECT_EQ(1u, Children("_MULTISEG").size());
  EXPECT_EQ(1u, Children("_RFLIST").size());
  EXPECT_EQ("Torvane Q7 Cadenza (demo.prj)", Title());
  EXPECT_EQ(path, g_Settings.LastPrj.str());
  EXPECT_EQ("00000110", Pages());
  EXPECT_EQ(PAGE_LOG, ActivePage());
  EXPECT_EQ(1, LoggedCount("Loading projects from path '" + folder_ + "'"));
}

TEST_F(ProjectCommandsTest, DamagedFileLeavesAnEmptyProjectWithoutAFileName) {
  MakeProject();
  g_Settings.LastPrj = folder_ + "/old.prj";
  const std::string bad = folder_ + "/bad.prj";
  const std::string bytes = "<TV_CZ_DB><PULSE_DB><PULSE name=\"x\"";
  ASSERT_TRUE(cz::test::WriteFileBytes(bad, bytes));

  UiTest_QueueFile(bad.c_str());
  UiTest_QueueConfirm(true);
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_LOADPRJ);
  EXPECT_EQ("Error", UiTest_Popups().back().title);
  EXPECT_EQ("Failed to load project file.", UiTest_Popups().back().text);
  EXPECT_EQ(0, PulseCount);
  for (const char* root : {"_PULSELIB", "_SEQLIB", "_MULTISEG", "_RFLIST"}) EXPECT_TRUE(Children(root).empty());
  EXPECT_TRUE(g_Settings.LastPrj.empty());  // the next Save asks for a name
  EXPECT_EQ(0, LastProjectLoadFailed);
  EXPECT_EQ("Torvane Q7 Cadenza", Title());
  EXPECT_EQ(bytes, cz::test::ReadFileBytes(bad));
}

TEST_F(ProjectCommandsTest, QuestionsBeforeDiscardingAndRefusedChoices) {
  // Empty project without a file: no question.
  Choose(MBAR_FILE_NEWPRJ);
  EXPECT_TRUE(UiTest_Popups().empty());

  // A never-saved project is not dropped without asking; "no" keeps it.
  Choose(MBAR_PULSE_PNEW);
  UiTest_QueueConfirm(false);
  Choose(MBAR_FILE_NEWPRJ);
  ASSERT_EQ(1u, UiTest_Popups().size());
  EXPECT_EQ("New Project", UiTest_Popups()[0].title);
  EXPECT_EQ("Unsaved changes will be lost.\nContinue ?", UiTest_Popups()[0].text);
  EXPECT_EQ(1, PulseCount);

  // A file name alone is reason to ask as well.
  ResetProject();
  g_Settings.LastPrj = folder_ + "/kept.prj";
  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  EXPECT_TRUE(g_Settings.LastPrj.empty());

  // Cancel and an over-long path change nothing.
  Choose(MBAR_PULSE_PNEW);
  g_Settings.LastPrj = folder_ + "/kept.prj";
  UiTest_QueueCancel();
  Choose(MBAR_FILE_LOADPRJ);
  const std::string longPath = folder_ + "/" + std::string(300, 'p') + ".prj";
  UiTest_QueueFile(longPath.c_str());
  UiTest_QueueMessageOk();
  Choose(MBAR_FILE_LOADPRJ);
  EXPECT_EQ("Error", UiTest_Popups().back().title);
  EXPECT_EQ(1, PulseCount);
  EXPECT_EQ(folder_ + "/kept.prj", g_Settings.LastPrj.str());
  EXPECT_EQ(0, UiTest_PendingAnswers());
}

TEST_F(ProjectCommandsTest, ImportAppendsPulsesAndKeepsTheProjectFile) {
  MakeProject();
  const std::string other = folder_ + "/other.prj";
  ASSERT_EQ(1, SaveProject(PulseTable, SequenceTable, other.c_str()));
  g_Settings.LastPrj = folder_ + "/mine.prj";

  UiTest_QueueFile(other.c_str());
  Choose(MBAR_PULSE_PIMPORT);
  EXPECT_EQ("Import pulses from project file", UiTest_Popups().back().title);
  EXPECT_EQ(4, PulseCount);
  EXPECT_EQ(1, SequenceCount);
  EXPECT_EQ(4u, Children("_PULSELIB").size());
  EXPECT_EQ(folder_ + "/mine.prj", g_Settings.LastPrj.str());
  EXPECT_EQ(1, LoggedCount("Reading '" + other + "'..."));

}

// "Radar\v2.prj" is a legal file name here. Chosen in the file dialog, it is
// that file: Save As writes it (not v2.prj in a folder "Radar", which holds
// another project), the next Save writes it again, Load reads it and its
// backup lands beside it. A stored path in the Windows form still becomes
// a host path.
TEST_F(ProjectCommandsTest, AFileNameWithABackslashOpensAndSavesInPlace) {
  MakeProject();
  const std::string odd = folder_ + "/Radar\\v2.prj";
  std::filesystem::create_directories(folder_ + "/Radar");
  const std::string other = folder_ + "/Radar/v2.prj";
  ASSERT_TRUE(cz::test::WriteFileBytes(other, "another project"));

  UiTest_QueueFile(odd.c_str());
  Choose(MBAR_FILE_SAVEPRJAS);
  ASSERT_TRUE(cz::test::FileExists(odd));
  EXPECT_EQ(odd, g_Settings.LastPrj.str());
  PulseTable[1].name = "renamed";
  Choose(MBAR_FILE_SAVEPRJ);
  EXPECT_NE(cz::test::ReadFileBytes(odd).find("\"renamed\""), std::string::npos);
  EXPECT_EQ("another project", cz::test::ReadFileBytes(other));

  UiTest_QueueConfirm(true);
  Choose(MBAR_FILE_NEWPRJ);
  ASSERT_EQ(0, PulseCount);
  UiTest_ClearPopups();
  UiTest_QueueFile(odd.c_str());
  Choose(MBAR_FILE_LOADPRJ);
  EXPECT_EQ(1u, UiTest_Popups().size()) << UiTest_Popups().back().text;
  ASSERT_EQ(2, PulseCount);
  EXPECT_EQ("renamed", PulseTable[1].name.str());
  EXPECT_EQ("Torvane Q7 Cadenza (Radar\\v2.prj)", Title());
  EXPECT_TRUE(cz::test::FileExists(odd + ".bak"));
  EXPECT_EQ("another project", cz::test::ReadFileBytes(other));

  // The same name read by the other file readers, which take stored paths.
  EXPECT_EQ(odd, ResolvedLocalPath(odd.c_str()));
  std::string windows = "C:" + other;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  EXPECT_EQ(other, ResolvedLocalPath(windows.c_str()));
}

TEST_F(ProjectCommandsTest, ClearLogEmptiesTheLogWindowAndAboutShowsItsPanel) {
  SetCtrlVal(TAB_LOG, TAB_LOG_TEX_LOG, "a line");
  ASSERT_EQ(1, UiTest_ClickCtrl(TAB_LOG, TAB_LOG_CMD_CLR));
  char text[64] = "x";
  GetCtrlVal(TAB_LOG, TAB_LOG_TEX_LOG, text, sizeof text);
  EXPECT_STREQ("", text);
  Choose(MBAR_HELP_ABOUT);
  EXPECT_EQ(1, PanelVisible(ABOUT));
}

}  // namespace
