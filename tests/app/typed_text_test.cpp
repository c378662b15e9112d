// Texts typed into the editors after a real start-up: a name too long for
// its record is refused the same way on every page, the refusal counts
// characters, the field shows the stored name again, and the next command
// clears the status line; a sequence's comment or copyright whose braces do
// not pair (they go into the waveform file's tags) is refused with the reason.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "app/PanelIds.h"
#include "app/Records.h"
#include "tests/support/ProgramSteps.h"
#include "tests/support/StartupHome.h"
#include "ui/dialogs/DataSourceDialog.h"
#include "ui/main/MultiSegmentPage.h"
#include "ui/main/RfListPage.h"
#include "ui/main/SequenceEditorPage.h"

namespace {

class TypedTextTest : public cz::test::StartupHomeTest, public cz::test::ProgramSteps {
 protected:
  // Another command: the project's version typed on the main window.
  static void AnotherCommand() { ASSERT_EQ(UiTest_EnterValue(PANEL_MAIN, PANEL_MAIN_STR_VERSION, "2.0"), 1); }
};

TEST_F(TypedTextTest, ANameTooLongIsRefusedInCharactersOnEveryPage) {
  ASSERT_EQ(InitApplication(), 1);
  std::string cyrillic;
  for (int i = 0; i < 40; ++i) cyrillic += "\xD0\x96";  // 40 characters, 80 bytes
  const std::string refused = " too long: 40 characters, at most 31 of these fit.";
  const struct {
    int* menuItem;  // the record's New command (none: the data source's own)
    int* panel;
    int* control;
    const char* what;
    std::function<std::string()> stored;
  } rows[] = {
      {&MBAR_PULSE_PNEW, &TAB_PEDIT, &TAB_PEDIT_STR_NAME, "Pulse name", [] { return PulseTable[0].name.str(); }},
      {&MBAR_PULSE_SNEW, &TAB_SEDIT, &TAB_SEDIT_STR_NAME, "Sequence name",
       [] { return SequenceTable[0].name.str(); }},
      {&MBAR_PULSE_SEGNEW, &TAB_MSEG, &TAB_MSEG_STR_NAME, "Multi-segment name",
       [] { return MultiSegmentTable[0].name.str(); }},
      {&MBAR_PULSE_RFLISTNEW, &TAB_RFLIST, &TAB_RFLIST_STR_NAME, "RF list name",
       [] { return RfListTable[0].name.str(); }},
      {nullptr, &DATAEDIT, &DATAEDIT_STR_NAME, "Data source name", [] { return DataSourceTable[0].name.str(); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.menuItem) Choose(*row.menuItem);
    if (*row.panel == DATAEDIT) {
      Choose(MBAR_PRJ_DSRC);
      Click(DATAEDIT, DATAEDIT_CMD_ADD);
      ASSERT_EQ(UiTest_ClickTreeItem(DATAEDIT, DATAEDIT_TREE_DATA, 1, false), 1);
    }
    UiTest_ClearPopups();
    const std::string before = row.stored();
    ASSERT_EQ(UiTest_EnterValue(*row.panel, *row.control, cyrillic.c_str()), 1);
    EXPECT_EQ(Status(), std::string("Error: ") + row.what + refused);
    EXPECT_EQ(row.stored(), before);
    EXPECT_EQ(Text(*row.panel, *row.control), before);
    AnotherCommand();
    EXPECT_EQ(Status(), "") << "the next command clears the refusal";
    // 31 of the same characters fit.
    ASSERT_EQ(UiTest_EnterValue(*row.panel, *row.control, cyrillic.substr(0, 62).c_str()), 1);
    EXPECT_EQ(row.stored(), cyrillic.substr(0, 62));
  }
}

TEST_F(TypedTextTest, ASequenceTextWhoseBracesDoNotPairIsRefused) {
  ASSERT_EQ(InitApplication(), 1);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_SNEW);
  UiTest_ClearPopups();
  const SequenceRecord& s = SequenceTable[0];
  const std::string why = " not taken: a \"{\" or \"}\" without its partner would break the waveform file's tags.";
  const struct {
    int* control;
    const char* typed;
    const char* stored;  // what the record then holds
    const char* status;
  } rows[] = {
      {&TAB_SEDIT_STR_COMMENT, "gain}{SAMPLES:7", "", "Comment"},
      {&TAB_SEDIT_STR_COMMENT, "{REPORT PLUGIN: T1} radar burst", "{REPORT PLUGIN: T1} radar burst", nullptr},
      {&TAB_SEDIT_STR_COPYRIGHT, "ACME {lab", "", "Copyright"},
      {&TAB_SEDIT_STR_COPYRIGHT, "ACME {lab}", "ACME {lab}", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.typed);
    ASSERT_EQ(UiTest_EnterValue(TAB_SEDIT, *row.control, row.typed), 1);
    const std::string& field = *row.control == TAB_SEDIT_STR_COMMENT ? s.comment.str() : s.copyright.str();
    EXPECT_EQ(field, row.stored);
    EXPECT_EQ(Text(TAB_SEDIT, *row.control), row.stored);
    EXPECT_EQ(Status(), row.status ? std::string("Error: ") + row.status + why : "");
  }
}

}  // namespace
