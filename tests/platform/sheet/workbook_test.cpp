// Workbook model and its .xlsx storage: values survive a save and load, the
// file appears only complete, packages written by other programs (shared
// strings, prefixed elements, cells without references) are read, and
// broken files are refused with a reason.
#include "platform/sheet/Workbook.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/sheet/SheetApplication.h"
#include "tests/support/TempDir.h"

namespace {

using cz::sheet::Application;
using cz::sheet::Cell;
using cz::sheet::Workbook;
using cz::sheet::Worksheet;

// A zip package from (name, contents) pairs.
bool WritePackage(const std::string& path, const std::vector<std::pair<std::string, std::string>>& parts) {
  int code = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (z == nullptr) return false;
  for (const auto& [name, data] : parts) {
    zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
    if (src == nullptr || zip_file_add(z, name.c_str(), src, 0) < 0) {
      zip_discard(z);
      return false;
    }
  }
  return zip_close(z) == 0;
}

TEST(Workbook, ValuesSurviveSaveAndLoad) {
  cz::test::TempDir dir;
  Workbook book;
  Worksheet& s1 = *book.Sheet(1);
  s1.SetText(1, 1, "007");
  s1.SetNumber(2, 1, 12.0);
  s1.SetNumber(2, 2, 0.1);
  s1.SetText(3, 2, "  A & <B> \"q\"  ");
  s1.SetValueFromText(4, 3, "12.5");
  s1.SetValueFromText(4, 4, "3.");        // not a plain number: stays text
  s1.SetValueFromText(4, 5, "Bursts in Trial: 2");
  s1.SetText(30, 28, "AB28");             // column AB
  Worksheet& s2 = book.AddSheet("Trial 2");
  s2.SetNumber(5, 5, -1.5e-7);

  const std::string path = dir.File("book.xlsx");
  std::string error;
  ASSERT_TRUE(book.SaveAs(path, &error)) << error;
  EXPECT_FALSE(cz::test::FileExists(path + ".part"));

  Workbook back;
  ASSERT_TRUE(back.Load(path, &error)) << error;
  ASSERT_EQ(back.SheetCount(), 2);
  EXPECT_EQ(back.Sheet(2)->Name(), "Trial 2");
  const Worksheet& b1 = *back.Sheet(1);
  EXPECT_EQ(b1.TextAt(1, 1), "007");
  EXPECT_EQ(b1.At(2, 1).kind, Cell::kNumber);
  EXPECT_EQ(b1.TextAt(2, 1), "12");
  EXPECT_EQ(b1.TextAt(2, 2), "0.1");
  EXPECT_EQ(b1.TextAt(3, 2), "  A & <B> \"q\"  ");
  EXPECT_EQ(b1.At(4, 3).kind, Cell::kNumber);
  EXPECT_EQ(b1.TextAt(4, 3), "12.5");
  EXPECT_EQ(b1.At(4, 4).kind, Cell::kText);
  EXPECT_EQ(b1.TextAt(4, 5), "Bursts in Trial: 2");
  EXPECT_EQ(b1.TextAt(30, 28), "AB28");
  EXPECT_EQ(b1.TextAt(9, 9), "");
  EXPECT_EQ(back.Sheet(2)->TextAt(5, 5), "-1.5e-07");
}

TEST(Workbook, CellReferencesAndLimits) {
  EXPECT_EQ(cz::sheet::CellReference(1, 1), "A1");
  EXPECT_EQ(cz::sheet::CellReference(12, 27), "AA12");
  EXPECT_EQ(cz::sheet::CellReference(1, cz::sheet::kMaxColumns), "XFD1");
  EXPECT_EQ(cz::sheet::CellReference(0, 1), "");
  int r = 0, c = 0;
  EXPECT_TRUE(cz::sheet::ParseCellReference("$B$12", &r, &c));
  EXPECT_EQ(r, 12);
  EXPECT_EQ(c, 2);
  EXPECT_FALSE(cz::sheet::ParseCellReference("B0", &r, &c));
  EXPECT_FALSE(cz::sheet::ParseCellReference("XFE1", &r, &c));
  EXPECT_FALSE(cz::sheet::ParseCellReference("12", &r, &c));
  Worksheet s("S");
  EXPECT_FALSE(s.SetText(0, 1, "x"));
  EXPECT_FALSE(s.SetNumber(1, cz::sheet::kMaxColumns + 1, 1.0));
  EXPECT_TRUE(s.Cells().empty());
  // Clearing by an empty text removes the cell.
  s.SetValueFromText(2, 2, "5");
  s.SetValueFromText(2, 2, "");
  EXPECT_TRUE(s.Cells().empty());
}

TEST(Workbook, ReadsPackagesOfOtherWriters) {
  cz::test::TempDir dir;
  const std::string path = dir.File("foreign.xlsx");
  const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  ASSERT_TRUE(WritePackage(
      path,
      {{"_rels/.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"r1\" Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
       {"xl/workbook.xml", "<x:workbook xmlns:x=\"" + ns + "\" xmlns:r=\"" + rel +
                               "\"><x:sheets><x:sheet name=\"Defs\" sheetId=\"1\" r:id=\"rIdA\"/>"
                               "</x:sheets></x:workbook>"},
       {"xl/_rels/workbook.xml.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rIdA\" Type=\"" + rel + "/worksheet\" Target=\"/xl/worksheets/first.xml\"/>"
        "<Relationship Id=\"rIdS\" Type=\"" + rel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
        "</Relationships>"},
       {"xl/sharedStrings.xml", "<sst xmlns=\"" + ns + "\"><si><t>P1</t></si>"
                                "<si><r><t>rich </t></r><r><t>text</t></r></si></sst>"},
       {"xl/worksheets/first.xml",
        "<x:worksheet xmlns:x=\"" + ns + "\"><x:sheetData>"
        "<x:row r=\"1\"><x:c r=\"A1\"><x:v>3</x:v></x:c></x:row>"
        "<x:row><x:c><x:v>2</x:v></x:c><x:c t=\"s\"><x:v>0</x:v></x:c></x:row>"
        "<x:row r=\"5\"><x:c r=\"C5\" t=\"s\"><x:v>1</x:v></x:c><x:c r=\"D5\" t=\"b\"><x:v>1</x:v></x:c>"
        "<x:c r=\"E5\" t=\"s\"><x:v>99</x:v></x:c></x:row>"
        "</x:sheetData></x:worksheet>"}}));
  Workbook book;
  std::string error;
  ASSERT_TRUE(book.Load(path, &error)) << error;
  const Worksheet& s = *book.Sheet(1);
  EXPECT_EQ(s.Name(), "Defs");
  EXPECT_EQ(s.TextAt(1, 1), "3");
  EXPECT_EQ(s.TextAt(2, 1), "2");     // row and column counted on without references
  EXPECT_EQ(s.TextAt(2, 2), "P1");
  EXPECT_EQ(s.TextAt(5, 3), "rich text");
  EXPECT_EQ(s.TextAt(5, 4), "TRUE");
  EXPECT_EQ(s.TextAt(5, 5), "");      // a shared string index out of range is no value
}

TEST(Workbook, BrokenFilesAreRefusedAndKeepTheWorkbook) {
  cz::test::TempDir dir;
  Workbook book;
  book.Sheet(1)->SetText(1, 1, "kept");
  std::string error;
  EXPECT_FALSE(book.Load(dir.File("missing.xlsx"), &error));
  EXPECT_NE(error.find("missing.xlsx"), std::string::npos);

  ASSERT_TRUE(cz::test::WriteFileBytes(dir.File("plain.xlsx"), "Entry  Pulse\n"));
  EXPECT_FALSE(book.Load(dir.File("plain.xlsx"), &error));
  ASSERT_TRUE(WritePackage(dir.File("nosheet.xlsx"), {{"xl/workbook.xml", "<workbook/>"}}));
  EXPECT_FALSE(book.Load(dir.File("nosheet.xlsx"), &error));
  EXPECT_NE(error.find("not a valid workbook"), std::string::npos);
  EXPECT_EQ(book.Sheet(1)->TextAt(1, 1), "kept");

  // Saving into a folder that does not exist fails and leaves nothing behind.
  EXPECT_FALSE(book.SaveAs(dir.File("no/such/folder/out.xlsx"), &error));
  EXPECT_FALSE(Workbook().Save(&error));
}

TEST(SheetApplication, SheetsCellsAndSaveUnderOwnName) {
  cz::test::TempDir dir;
  const std::string path = dir.File("report.xlsx");
  {
    Workbook seed;
    seed.AddSheet("Two");
    std::string error;
    ASSERT_TRUE(seed.SaveAs(path, &error)) << error;
  }
  Application app;
  std::string error;
  EXPECT_EQ(app.OpenWorkbook(dir.File("absent.xlsx"), &error), nullptr);
  ASSERT_NE(app.OpenWorkbook(path, &error), nullptr) << error;
  EXPECT_EQ(app.SheetItem(3, &error), nullptr);
  EXPECT_NE(error.find("Sheet 3 does not exist"), std::string::npos);
  Worksheet* two = app.SheetItem(2, &error);
  ASSERT_NE(two, nullptr);
  EXPECT_TRUE(Application::PutCell(two, 4, 2, "42", &error));
  EXPECT_FALSE(Application::PutCell(two, cz::sheet::kMaxRows + 1, 1, "x", &error));
  std::string value;
  EXPECT_TRUE(Application::GetCell(*two, 4, 2, &value, &error));
  EXPECT_EQ(value, "42");
  ASSERT_TRUE(Application::Save(app.ActiveWorkbook(), &error)) << error;

  Workbook back;
  ASSERT_TRUE(back.Load(path, &error)) << error;
  EXPECT_EQ(back.Sheet(2)->At(4, 2).kind, Cell::kNumber);
  app.Quit();
  EXPECT_EQ(app.SheetItem(1, &error), nullptr);
  EXPECT_FALSE(app.Running());
}

}  // namespace
