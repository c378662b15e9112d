// What the run-time paints beyond the model: command-button faces in their
// colour, table cell pictures and button cells, and the value labels of the
// top and right graph axes.
#include <QImage>
#include <QWidget>

#include "tests/platform/ui/UiEvents.h"

namespace {

// Pixels of img inside [x0, x1) x [y0, y1) that are near colour rgb.
int CountNear(const QImage& img, int x0, int y0, int x1, int y1, QRgb rgb)
{
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - qRed(rgb)) < 24 && std::abs(qGreen(p) - qGreen(rgb)) < 24 &&
                std::abs(qBlue(p) - qBlue(rgb)) < 24)
                ++n;
        }
    return n;
}

// Pixels darker than the grid (0x606060): antialiased text at small sizes
// rarely reaches full black.
int CountDark(const QImage& img, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x)
            if (qGray(img.pixel(x, y)) < 64) ++n;
    return n;
}

class LookTest : public cz::test::UiPanelTest {
protected:
    // A graph of the given size, white on white, the labels in black.
    int WhiteGraph(int height, int width)
    {
        const int graph = Make(CTRL_GRAPH);
        SetCtrlAttribute(panel, graph, ATTR_HEIGHT, height);
        SetCtrlAttribute(panel, graph, ATTR_WIDTH, width);
        SetCtrlAttribute(panel, graph, ATTR_BACKCOLOR, 0xFFFFFF);
        SetCtrlAttribute(panel, graph, ATTR_PLOT_BGCOLOR, 0xFFFFFF);
        SetCtrlAttribute(panel, graph, ATTR_LABEL_COLOR, 0x000000);
        return graph;
    }
};

TEST_F(LookTest, CommandButtonFaceFollowsItsColourAndChanges)
{
    const int button = Make(CTRL_COMMAND_BUTTON, "Ignore", 10, 10);
    SetCtrlAttribute(panel, button, ATTR_WIDTH, 80);
    SetCtrlAttribute(panel, button, ATTR_HEIGHT, 24);
    ASSERT_EQ(0, SetCtrlAttribute(panel, button, ATTR_BACKCOLOR, 0x00C000));
    QImage img = UiTest_Widget(panel, button)->grab().toImage();
    EXPECT_GT(CountNear(img, 0, 0, img.width(), img.height(), qRgb(0, 0xC0, 0)), img.width() * img.height() / 3);
    // The page replaces the colour with the mode; the old one is gone.
    ASSERT_EQ(0, SetCtrlAttribute(panel, button, ATTR_BACKCOLOR, 0xE88486));
    img = UiTest_Widget(panel, button)->grab().toImage();
    EXPECT_EQ(0, CountNear(img, 0, 0, img.width(), img.height(), qRgb(0, 0xC0, 0)));
    EXPECT_GT(CountNear(img, 0, 0, img.width(), img.height(), qRgb(0xE8, 0x84, 0x86)), img.width() * img.height() / 3);
    int colour = 0;
    GetCtrlAttribute(panel, button, ATTR_BACKCOLOR, &colour);
    EXPECT_EQ(0xE88486, colour);
    // A coloured button still clicks.
    EXPECT_EQ(1, UiTest_ClickCtrl(panel, button));
    EXPECT_EQ(1, cz::test::CountOf(EVENT_COMMIT));
}

TEST_F(LookTest, CellPicturesAreCopiedShownAndClearedAndButtonCellsCommit)
{
    const int table = Make(CTRL_TABLE);
    SetCtrlAttribute(panel, table, ATTR_HEIGHT, 200);
    SetCtrlAttribute(panel, table, ATTR_WIDTH, 300);
    InsertTableColumns(panel, table, -1, 1, VAL_CELL_PICTURE);
    InsertTableColumns(panel, table, -1, 1, VAL_CELL_BUTTON);
    InsertTableColumns(panel, table, -1, 1, VAL_CELL_STRING);
    InsertTableRows(panel, table, -1, 2, VAL_USE_MASTER_CELL_TYPE);
    SetTableRowAttribute(panel, table, 1, ATTR_ROW_HEIGHT, 30);
    SetTableColumnAttribute(panel, table, 1, ATTR_COLUMN_WIDTH, 60);

    int bitmap = 0;
    ASSERT_EQ(0, NewBitmap(12, 12, 0x0000FF, &bitmap));
    ASSERT_EQ(0, SetTableCellBitmap(panel, table, Cell(1, 1), bitmap));
    ASSERT_EQ(0, SetTableCellBitmap(panel, table, Cell(3, 1), bitmap));
    DiscardBitmap(bitmap); // the cells keep their copies
    EXPECT_EQ(UI_ERR_BAD_BITMAP, SetTableCellBitmap(panel, table, Cell(3, 2), bitmap));
    EXPECT_EQ(UI_ERR_BAD_CELL, SetTableCellBitmap(panel, table, Cell(4, 1), 0));
    int w = 0, h = 0;
    ASSERT_EQ(0, UiTest_TableCellPictureSize(panel, table, Cell(3, 1), &w, &h));
    EXPECT_EQ(12, w);
    EXPECT_EQ(12, h);

    // The picture cell is drawn with the image scaled into it (30 px row).
    QImage img = UiTest_Widget(panel, table)->grab().toImage();
    EXPECT_GT(CountNear(img, 0, 0, img.width(), img.height(), qRgb(0, 0, 0xFF)), 12 * 12 * 2);

    ASSERT_EQ(0, SetTableCellBitmap(panel, table, Cell(1, 1), 0));
    ASSERT_EQ(0, SetTableCellBitmap(panel, table, Cell(3, 1), 0));
    UiTest_TableCellPictureSize(panel, table, Cell(1, 1), &w, &h);
    EXPECT_EQ(0, w);
    img = UiTest_Widget(panel, table)->grab().toImage();
    EXPECT_EQ(0, CountNear(img, 0, 0, img.width(), img.height(), qRgb(0, 0, 0xFF)));

    // A button cell commits on a click with its row and column.
    SetTableCellVal(panel, table, Cell(2, 2), "Go");
    ASSERT_EQ(1, UiTest_ClickTableCell(panel, table, Cell(2, 2), false));
    EXPECT_EQ(2, cz::test::LastOf(EVENT_COMMIT).data1);
    EXPECT_EQ(2, cz::test::LastOf(EVENT_COMMIT).data2);
}

TEST_F(LookTest, TopAndRightAxesDrawTheirLabelsWhenVisible)
{
    const int graph = WhiteGraph(200, 300);
    SetAxisScalingMode(panel, graph, VAL_TOP_XAXIS, VAL_MANUAL, 0.0, 100.0);
    SetAxisScalingMode(panel, graph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, 100.0);
    QWidget* widget = UiTest_Widget(panel, graph);
    ASSERT_NE(nullptr, widget);

    // Hidden (the default): the plot area reaches close to the right and top edges.
    QImage img = widget->grab().toImage();
    const int hiddenRight = CountDark(img, img.width() - 40, 10, img.width(), img.height() - 30);
    const int hiddenTop = CountDark(img, 50, 0, img.width() - 50, 16);

    ASSERT_EQ(0, SetCtrlAttribute(panel, graph, ATTR_RIGHT_YAXIS_VISIBLE, 1));
    ASSERT_EQ(0, SetCtrlAttribute(panel, graph, ATTR_TOP_XAXIS_VISIBLE, 1));
    img = widget->grab().toImage();
    // Tick values outside the plot area: right of it and above it.
    EXPECT_GT(CountDark(img, img.width() - 40, 10, img.width(), img.height() - 30), hiddenRight + 20);
    EXPECT_GT(CountDark(img, 50, 0, img.width() - 50, 16), hiddenTop + 20);

    // Without value labels only the ticks remain: far less ink.
    const int withLabels = CountDark(img, img.width() - 40, 10, img.width(), img.height() - 30);
    SetAxisAttribute(panel, graph, VAL_RIGHT_YAXIS, ATTR_YLABEL_VISIBLE, 0);
    img = widget->grab().toImage();
    EXPECT_LT(CountDark(img, img.width() - 40, 10, img.width(), img.height() - 30), withLabels / 2);
}

} // namespace

namespace {

// The rows of img that hold a pixel near rgb: first and last (-1 when none).
std::pair<int, int> RowsWith(const QImage& img, QRgb rgb)
{
    int first = -1, last = -1;
    for (int y = 0; y < img.height(); ++y)
        if (CountNear(img, 0, y, img.width(), y + 1, rgb) > 0) {
            if (first < 0) first = y;
            last = y;
        }
    return {first, last};
}

TEST_F(LookTest, PlotTextStandsOnItsPointAndAxisTextsStayInTheGraph)
{
    const int graph = WhiteGraph(120, 200);
    SetCtrlAttribute(panel, graph, ATTR_GRID_VISIBLE, 0);
    SetCtrlAttribute(panel, graph, ATTR_XLABEL_VISIBLE, 0);
    SetCtrlAttribute(panel, graph, ATTR_YLABEL_VISIBLE, 0);
    SetAxisScalingMode(panel, graph, VAL_BOTTOM_XAXIS, VAL_MANUAL, 0.0, 100.0);
    SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 100.0);
    // A label 5 units above a line is drawn above it, not across it.
    PlotLine(panel, graph, 0, 40, 100, 40, 0xFF0000);
    PlotText(panel, graph, 20, 45, "Delay", "Arial", 0x0000FF, VAL_TRANSPARENT);
    QImage img = UiTest_Widget(panel, graph)->grab().toImage();
    const auto line = RowsWith(img, qRgb(0xFF, 0, 0));
    const auto text = RowsWith(img, qRgb(0, 0, 0xFF));
    ASSERT_GE(line.first, 0);
    ASSERT_GE(text.first, 0);
    EXPECT_LT(text.second, line.first);

    // Value labels of a short axis with many divisions: those at the ends
    // inside the graph, the crowded ones left out, each whole in its box.
    SetCtrlAttribute(panel, graph, ATTR_XLABEL_VISIBLE, 1);
    SetCtrlAttribute(panel, graph, ATTR_YLABEL_VISIBLE, 1);
    SetCtrlAttribute(panel, graph, ATTR_HEIGHT, 70);
    SetAxisScalingMode(panel, graph, VAL_BOTTOM_XAXIS, VAL_MANUAL, 0.0, 1000.0);
    SetCtrlAttribute(panel, graph, ATTR_XDIVISIONS, 10);
    SetCtrlAttribute(panel, graph, ATTR_YDIVISIONS, 10);
    SetCtrlAttribute(panel, graph, ATTR_XNAME, "Time [us]");
    cz::test::ExpectTextsFit(panel);
}

TEST_F(LookTest, LabelsHeadersAndCheckBoxesHoldTheirTexts)
{
    // A check box runs as far as its label; a table header centres its
    // label without the padding blanks; a string's label keeps clear of it.
    const int check = Make(CTRL_CHECK_BOX, "Do Not Preset ARB Before Waveform Transfer", 10, 10);
    SetCtrlAttribute(panel, check, ATTR_LABEL_FONT, "Arial");
    SetCtrlAttribute(panel, check, ATTR_LABEL_POINT_SIZE, 10);
    const int table = Make(CTRL_TABLE, "", 40, 10);
    SetCtrlAttribute(panel, table, ATTR_HEIGHT, 100);
    SetCtrlAttribute(panel, table, ATTR_WIDTH, 200);
    InsertTableColumns(panel, table, -1, 2, VAL_CELL_STRING);
    SetTableColumnAttribute(panel, table, 1, ATTR_LABEL_TEXT, "Item ");
    SetTableColumnAttribute(panel, table, 1, ATTR_LABEL_FONT, "Arial");
    SetTableColumnAttribute(panel, table, 1, ATTR_COLUMN_WIDTH, 30);
    SetTableColumnAttribute(panel, table, 2, ATTR_LABEL_TEXT, "Tstart [us]  ");
    SetTableColumnAttribute(panel, table, 2, ATTR_LABEL_FONT, "Arial");
    SetTableColumnAttribute(panel, table, 2, ATTR_COLUMN_WIDTH, 65);
    const int name = Make(CTRL_STRING, "Sample Rate", 150, 80);
    SetCtrlAttribute(panel, name, ATTR_LABEL_LEFT, 10);
    SetCtrlAttribute(panel, name, ATTR_LABEL_TOP, 152);
    const int caption = Make(CTRL_TEXT_MSG, "Position", 180, 10);
    SetCtrlAttribute(panel, caption, ATTR_SIZE_TO_TEXT, 0);
    SetCtrlAttribute(panel, caption, ATTR_WIDTH, 40);
    SetCtrlAttribute(panel, caption, ATTR_HEIGHT, 16);
    ProcessDrawEvents();
    cz::test::ExpectTextsFit(panel);
    // A label that runs under its control is reported.
    SetCtrlAttribute(panel, name, ATTR_LABEL_LEFT, 40);
    const std::vector<UiTest_ClippedText> under = UiTest_ClippedTexts(panel);
    ASSERT_EQ(1u, under.size());
    EXPECT_EQ("Sample Rate", under[0].text);
}

} // namespace
