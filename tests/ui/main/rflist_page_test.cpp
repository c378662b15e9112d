// The RF List page in the main window: tab page 4 "RF List", with its
// controls, tooltips and the table's columns carried over into the page.
#include <string>

#include <gtest/gtest.h>

#include "app/LibraryTree.h"
#include "app/PanelIds.h"
#include "tests/support/OffscreenApp.h"
#include "ui/main/MainPanel.h"
#include "ui/main/RfListPage.h"

namespace {

class RfListPageTest : public cz::test::OffscreenAppTest {};

TEST_F(RfListPageTest, TheMainWindowCarriesThePageAsTabFour) {
  const int main = BuildMainPanel(0);
  ASSERT_GT(main, 0);
  const int index = MainTabIndex(PAGE_RF_LIST);
  ASSERT_GE(index, 0);
  char label[64] = "";
  GetTabPageAttribute(main, PANEL_MAIN_TAB, index, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ(label, "RF List");
  EXPECT_EQ(index, MainTabIndex(PAGE_MULTI_SEGMENT) + 1);
  int page = 0;
  ASSERT_GE(GetPanelHandleFromTabPage(main, PANEL_MAIN_TAB, index, &page), 0);

  char tip[128] = "";
  GetCtrlAttribute(page, TAB_RFLIST_CMD_PRINTLIST, ATTR_TOOLTIP_TEXT, tip, sizeof tip);
  EXPECT_STREQ(tip, "Export list data to text file");
  int columns = 0, rows = 0;
  GetNumTableColumns(page, TAB_RFLIST_TABLE_RFLIST, &columns);
  GetNumTableRows(page, TAB_RFLIST_TABLE_RFLIST, &rows);
  EXPECT_EQ(columns, 3);
  EXPECT_EQ(rows, 1);
  GetTableColumnAttribute(page, TAB_RFLIST_TABLE_RFLIST, RFLIST_COL_FREQUENCY, ATTR_LABEL_TEXT, label, sizeof label);
  EXPECT_STREQ(label, "Frequency [GHz]");
  char ring[32] = "";
  GetLabelFromIndex(page, TAB_RFLIST_RING_DMODE_2, 2, ring, sizeof ring);
  EXPECT_STREQ(ring, "Unique Rand");
  DiscardPanel(main);
}

}  // namespace
