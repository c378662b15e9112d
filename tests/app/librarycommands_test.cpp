// Library commands: new, copy, delete and move of the project's records,
// driven through the menu items and buttons of the main window.
#include <gtest/gtest.h>

#include <string>

#include "app/LibraryCommands.h"
#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "app/PulsePanelIds.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "platform/BoundedText.h"
#include "tests/support/LibraryWindowFixture.h"

namespace {

using cz::test::LoggedCount;
using Labels = std::vector<std::string>;

class LibraryCommandsTest : public cz::test::LibraryWindowTest {};

TEST_F(LibraryCommandsTest, NewPulseShowsTheTimingPageAndReusesADeletedId) {
  const int firstName = NewPulseNameCounter;
  Press(PANEL_MAIN_CMD_ADD_P);
  Choose(MBAR_PULSE_PNEW);
  Choose(MBAR_PULSE_PNEW);
  ASSERT_EQ(3, PulseCount);
  EXPECT_EQ("new-" + std::to_string(firstName + 2), PulseTable[2].name.str());
  EXPECT_EQ(2, CurrentPulse);
  EXPECT_EQ("10000110", Pages());
  EXPECT_EQ(1, PanelVisible(P_TIM));
  for (int other : {P_JIT, P_MOD, P_MISC, P_MARKER}) EXPECT_EQ(0, PanelVisible(other));
  EXPECT_EQ(1, Dimmed(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE));

  // Delete the first pulse: its ID 1 goes to the next new pulse, while the
  // name counter keeps counting.
  Activate(Child("_PULSELIB", 0));
  UiTest_QueueConfirm(true);
  Press(PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(2, PulseCount);
  EXPECT_EQ((Labels{"new-" + std::to_string(firstName + 1), "new-" + std::to_string(firstName + 2)}),
            Children("_PULSELIB"));
  EXPECT_EQ("00000110", Pages());
  Choose(MBAR_PULSE_PNEW);
  EXPECT_EQ(1u, PulseTable[2].id);
  EXPECT_EQ("new-" + std::to_string(firstName + 3), PulseTable[2].name.str());
}

TEST_F(LibraryCommandsTest, CopiesOfTheSameNameAreToldApartByTheirIds) {
  const int p = AddPulse("chirp");
  PulseTable[p].onTime = 2e-6;
  ASSERT_TRUE(PulseTable[p].envelope.SetLevels({0.0, 0.5, 1.0}));
  ASSERT_TRUE(PulseTable[p].jitter[1].values.Assign(std::vector<double>{1e-6, 2e-6}));
  RebuildLibraryTree();

  Activate(Child("_PULSELIB", 0));
  Press(PANEL_MAIN_CMD_COPY);
  Activate(Child("_PULSELIB", 0));
  Press(PANEL_MAIN_CMD_COPY);
  ASSERT_EQ(3, PulseCount);
  EXPECT_EQ((Labels{"chirp", "chirp-new", "chirp-new"}), Children("_PULSELIB"));
  EXPECT_NE(PulseTable[1].id, PulseTable[2].id);
  EXPECT_EQ(2e-6, PulseTable[2].onTime);
  EXPECT_EQ(PulseTable[0].envelope, PulseTable[2].envelope);
  EXPECT_EQ(PulseTable[0].jitter[1].values, PulseTable[2].jitter[1].values);
  PulseTable[1].envelope.MutableValues()[0] = 9.0;  // the copies own their buffers
  EXPECT_EQ(0.0, PulseTable[0].envelope.Values()[0]);

  // Delete the second copy: the first copy stays.
  const uint32_t firstCopy = PulseTable[1].id;
  const uint32_t secondCopy = PulseTable[2].id;
  Activate(Child("_PULSELIB", 2));
  UiTest_QueueConfirm(true);
  Press(PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(2, PulseCount);
  EXPECT_EQ(firstCopy, PulseTable[1].id);
  EXPECT_EQ(-1, FindPulseById(secondCopy));
  EXPECT_EQ(9.0, PulseTable[1].envelope.Values()[0]);

  // A name that leaves no room for the suffix is cut on a character
  // boundary so that "-new" always fits.
  std::string longName(58, 'x');
  longName += "\xC3\xA9xxx";  // 63 bytes; a two-byte character straddles the cut
  PulseTable[0].name = longName;
  RebuildLibraryTree();
  Activate(Child("_PULSELIB", 0));
  Press(PANEL_MAIN_CMD_COPY);
  EXPECT_EQ(std::string(58, 'x') + "-new", PulseTable[2].name.str());
}

TEST_F(LibraryCommandsTest, RecordsStillReferredToAreNotDeleted) {
  const int p = AddPulse("used");
  const int s1 = AddSequence("first");
  const int s2 = AddSequence("second");
  SequenceTable[s1].entries[0].pulseId = static_cast<int32_t>(PulseTable[p].id);
  SequenceTable[s2].entries[7].pulseId = static_cast<int32_t>(PulseTable[p].id);
  InitMultiSegmentRecord(&MultiSegmentTable[0]);
  MultiSegmentTable[0].name = "ms";
  MultiSegmentTable[0].segments[4].type = SEGMENT_SEQUENCE;
  MultiSegmentTable[0].segments[4].sequenceId = static_cast<int32_t>(SequenceTable[s2].id);
  MultiSegmentCount = 1;
  RebuildLibraryTree();

  UiTest_QueueMessageOk();
  Activate(Child("_PULSELIB", 0));
  Press(PANEL_MAIN_CMD_DEL);
  ASSERT_FALSE(UiTest_Popups().empty());
  EXPECT_EQ("Error", UiTest_Popups().back().title);
  EXPECT_EQ("The pulse you want to delete is currently used in sequences.\nSee log window for details.",
            UiTest_Popups().back().text);
  EXPECT_EQ(1, LoggedCount("Pulse used in sequence: first"));
  EXPECT_EQ(1, LoggedCount("Pulse used in sequence: second"));
  EXPECT_EQ(1, PulseCount);

  UiTest_QueueMessageOk();
  Activate(Child("_SEQLIB", 1));
  Press(PANEL_MAIN_CMD_DEL);
  EXPECT_EQ("The sequence you want to delete is currently used in MSEGs.\nSee log window for details.",
            UiTest_Popups().back().text);
  EXPECT_EQ(1, LoggedCount("Sequence 'second' is used in MSEG 'ms' at index 5"));
  EXPECT_EQ(2, SequenceCount);

  // Answering no keeps the record; deleting the last of the sequences shows
  // the new last one with Generate dimmed.
  UiTest_QueueConfirm(false);
  Activate(Child("_SEQLIB", 0));
  Press(PANEL_MAIN_CMD_DEL);
  EXPECT_EQ(2, SequenceCount);
  MultiSegmentCount = 0;
  UiTest_QueueConfirm(true);
  Activate(Child("_SEQLIB", 1));
  Press(PANEL_MAIN_CMD_DEL);
  ASSERT_EQ(1, SequenceCount);
  EXPECT_EQ(0, CurrentSequence);
  EXPECT_EQ("01000110", Pages());
  EXPECT_EQ(1, Dimmed(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE));
  EXPECT_EQ(0, UiTest_PendingAnswers());
}

// The Delete key on a tree item is the Delete button: the same question,
// and "No" deletes nothing.
TEST_F(LibraryCommandsTest, DeleteKeyOnATreeItemAsksAsTheButtonDoes) {
  AddPulse("kept");
  AddPulse("gone");
  RebuildLibraryTree();
  Activate(Child("_PULSELIB", 1));
  UiTest_QueueConfirm(false);
  ASSERT_EQ(1, UiTest_PressKey(PANEL_MAIN, Tree(), UITEST_KEY_DELETE));
  ASSERT_EQ(1u, UiTest_Popups().size());
  EXPECT_EQ("confirm", UiTest_Popups().back().kind);
  EXPECT_EQ(2, PulseCount);
  UiTest_QueueConfirm(true);
  ASSERT_EQ(1, UiTest_PressKey(PANEL_MAIN, Tree(), UITEST_KEY_DELETE));
  ASSERT_EQ(1, PulseCount);
  EXPECT_EQ("kept", PulseTable[0].name.str());
  EXPECT_EQ(0, UiTest_PendingAnswers());
}

// Delete acts on the item the keys highlighted, and each question names
// the record it deletes: a sequence a multi-segment waveform uses is
// clicked, Down highlights the next one, and Delete asks about that one.
TEST_F(LibraryCommandsTest, DeleteActsOnTheHighlightedItemAndNamesIt) {
  const int track = AddSequence("Track");
  AddSequence("spare");
  InitMultiSegmentRecord(&MultiSegmentTable[0]);
  MultiSegmentTable[0].name = "ms";
  MultiSegmentTable[0].segments[0].sequenceId = static_cast<int32_t>(SequenceTable[track].id);
  MultiSegmentCount = 1;
  InitRfListRecord(&RfListTable[0]);
  RfListTable[0].name = "list";
  RfListCount = 1;
  RebuildLibraryTree();

  Click(Child("_SEQLIB", 0));
  ASSERT_EQ(1, UiTest_PressKey(PANEL_MAIN, Tree(), UITEST_KEY_DOWN));
  UiTest_QueueConfirm(true);
  ASSERT_EQ(1, UiTest_PressKey(PANEL_MAIN, Tree(), UITEST_KEY_DELETE));
  ASSERT_EQ(1u, UiTest_Popups().size());
  EXPECT_EQ("Are you sure you want to delete the sequence 'spare' ?", UiTest_Popups().back().text);
  ASSERT_EQ(1, SequenceCount);
  EXPECT_EQ("Track", SequenceTable[0].name.str());

  // The other kinds name theirs too.
  for (const char* tag : {"_MULTISEG", "_RFLIST"}) {
    Activate(Child(tag, 0));
    UiTest_QueueConfirm(false);
    Press(PANEL_MAIN_CMD_DEL);
  }
  ASSERT_EQ(3u, UiTest_Popups().size());
  EXPECT_EQ("Are you sure you want to delete the multi-segment waveform 'ms' ?", UiTest_Popups()[1].text);
  EXPECT_EQ("Are you sure you want to delete the RF List 'list' ?", UiTest_Popups()[2].text);
  EXPECT_EQ(0, UiTest_PendingAnswers());
}

// Showing another record clears an error left on the status line, and only
// an error.
TEST_F(LibraryCommandsTest, ShowingARecordClearsAnOldError) {
  AddPulse("one");
  AddSequence("two");
  RebuildLibraryTree();
  for (const char* old : {"Error: Failed to Open VISA Device.", "Device Added."}) {
    SetCtrlVal(PANEL_MAIN, PANEL_MAIN_TXT_ERR, old);
    cz::test::StatusLines().clear();
    ASSERT_EQ(1, UiTest_ClickTreeItem(PANEL_MAIN, Tree(), Child("_SEQLIB", 0), false));
    ASSERT_EQ(1, UiTest_ClickTreeItem(PANEL_MAIN, Tree(), Child("_PULSELIB", 0), false));
    const bool cleared = !cz::test::StatusLines().empty() && cz::test::StatusLines().front().empty();
    EXPECT_EQ(cleared, std::string(old).rfind("Error", 0) == 0) << old;
  }
}

TEST_F(LibraryCommandsTest, MovesPassOverHiddenPulsesAndTheEditorFollowsItsRecord) {
  AddPulse("a");
  const int b = AddPulse("b");
  const int c = AddPulse("c");
  AddPulse("d");
  PulseTable[b].hidden = 1;
  PulseTable[c].hidden = 1;
  g_Settings.Project.hideEntries = 1;
  RebuildLibraryTree();
  EXPECT_EQ((Labels{"a", "d"}), Children("_PULSELIB"));
  const uint32_t idD = PulseTable[3].id;
  CurrentPulse = 3;  // "d" open in the editor

  Activate(Child("_PULSELIB", 1));
  Press(PANEL_MAIN_CMD_SENTRY_UP);
  EXPECT_EQ("d", PulseTable[0].name.str());
  EXPECT_EQ("a", PulseTable[3].name.str());
  EXPECT_EQ("b", PulseTable[1].name.str());
  EXPECT_EQ(0, CurrentPulse);
  int active = -1, value = 0;
  GetActiveTreeItem(PANEL_MAIN, Tree(), &active);
  GetValueFromIndex(PANEL_MAIN, Tree(), active, &value);
  EXPECT_EQ(static_cast<int>(idD), value);

  // Nothing visible above: nothing moves.
  Press(PANEL_MAIN_CMD_SENTRY_UP);
  EXPECT_EQ("d", PulseTable[0].name.str());
  Activate(Root("_PULSELIB"));
  Press(PANEL_MAIN_CMD_SENTRY_DOWN);
  EXPECT_EQ(1, LoggedCount("Invalid item selection for moove operation."));

  // A page item stands for its pulse.
  int page = -1;
  GetTreeItemChild(PANEL_MAIN, Tree(), Child("_PULSELIB", 0), 3, &page);
  Activate(page);
  Press(PANEL_MAIN_CMD_SENTRY_DOWN);
  EXPECT_EQ("a", PulseTable[0].name.str());
  EXPECT_EQ("d", PulseTable[3].name.str());
  EXPECT_EQ(3, CurrentPulse);
}

TEST_F(LibraryCommandsTest, FullTablesRefuseAndDeletionsKeepCurrentIndexesInRange) {
  for (int i = 0; i < kMaxPulses; ++i) AddPulse("p");
  RebuildLibraryTree();
  Choose(MBAR_PULSE_PNEW);
  EXPECT_EQ(kMaxPulses, PulseCount);
  EXPECT_EQ(1, LoggedCount("*** Max. number of pulses reached."));
  UiTest_QueueMessageOk();
  Activate(Child("_PULSELIB", 0));
  Press(PANEL_MAIN_CMD_COPY);
  EXPECT_EQ("Max. number of pulses reached.", UiTest_Popups().back().text);
  EXPECT_EQ(kMaxPulses, PulseCount);

  // Three multi-segment waveforms and RF lists; the last of each is open.
  for (int i = 0; i < 3; ++i) {
    Choose(MBAR_PULSE_SEGNEW);
    Choose(MBAR_PULSE_RFLISTNEW);
  }
  EXPECT_EQ(2, CurrentMultiSegment);
  EXPECT_EQ(2, CurrentRfList);
  EXPECT_EQ("00001110", Pages());
  UiTest_QueueConfirm(true);
  Activate(Child("_MULTISEG", 2));
  Press(PANEL_MAIN_CMD_DEL);
  EXPECT_EQ(2, MultiSegmentCount);
  EXPECT_LT(CurrentMultiSegment, MultiSegmentCount);
  UiTest_QueueConfirm(true);
  Activate(Child("_RFLIST", 0));
  Press(PANEL_MAIN_CMD_DEL);
  EXPECT_EQ(2, RfListCount);
  EXPECT_EQ(1, CurrentRfList);  // still the list it showed, one slot down
  EXPECT_EQ(1, Dimmed(TAB_RFLIST, TAB_RFLIST_CMD_UPLOAD));
  UiTest_QueueConfirm(true);
  Activate(Child("_RFLIST", 1));
  Press(PANEL_MAIN_CMD_DEL);
  EXPECT_EQ(-1, CurrentRfList);  // the list it showed is gone: none is current
}

TEST_F(LibraryCommandsTest, NewSequenceStartsWithTheLastPulse) {
  Press(PANEL_MAIN_CMD_ADD);
  ASSERT_EQ(1, SequenceCount);
  EXPECT_TRUE(SequenceTable[0].entries[0].IsEmpty());
  AddPulse("p0");
  const int last = AddPulse("p1");
  Choose(MBAR_PULSE_SNEW);
  ASSERT_EQ(2, SequenceCount);
  const SequenceEntry& first = SequenceTable[1].entries[0];
  EXPECT_EQ(static_cast<int32_t>(PulseTable[last].id), first.pulseId);
  EXPECT_EQ(1, first.repetitions);
  EXPECT_EQ(1, first.markerMask);
  EXPECT_EQ(1, CurrentSequence);
  EXPECT_EQ("01000110", Pages());
  EXPECT_EQ(0, Dimmed(TAB_SEDIT, TAB_SEDIT_CMD_GENERATE));  // the default file name is set
}

}  // namespace
