// Workbook model and its .xlsx storage: values survive a save and load, the
// file appears only complete, packages written by other programs (shared
// strings, prefixed elements, cells without references) are read and edited
// in place, every written part passes xmllint, and broken files are refused
// with a reason.
#include "platform/sheet/Workbook.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <pugixml.hpp>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/sheet/SheetApplication.h"
#include "tests/support/Mutate.h"
#include "tests/support/OutsideReaders.h"
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

// Every part of a zip package as (name, contents) pairs; empty on failure.
std::vector<std::pair<std::string, std::string>> ReadPackage(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> parts;
  int code = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (z == nullptr) return parts;
  for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
    zip_stat_t st;
    zip_file_t* f = zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st) == 0
                        ? zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0)
                        : nullptr;
    if (f == nullptr) break;
    std::string data(st.size, '\0');
    const zip_int64_t n = data.empty() ? 0 : zip_fread(f, data.data(), st.size);
    zip_fclose(f);
    if (n != static_cast<zip_int64_t>(st.size)) break;
    parts.emplace_back(st.name, std::move(data));
  }
  if (parts.size() != static_cast<std::size_t>(zip_get_num_entries(z, 0))) parts.clear();
  zip_discard(z);
  return parts;
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

// One part of a zip package, empty when it is missing.
std::string PartOf(const std::string& path, const std::string& name) {
  std::string data;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
  if (z == nullptr) return data;
  zip_stat_t st;
  if (zip_stat(z, name.c_str(), 0, &st) == 0) {
    data.resize(st.size);
    zip_file_t* f = zip_fopen(z, name.c_str(), 0);
    if (f != nullptr) {
      if (zip_fread(f, data.data(), st.size) != static_cast<zip_int64_t>(st.size)) data.clear();
      zip_fclose(f);
    }
  }
  zip_discard(z);
  return data;
}

TEST(Workbook, WrittenPackagesPassXmllint) {
  cz::test::TempDir dir;
  Workbook book;
  // A Latin-1 micro sign and a cut sequence: not UTF-8, replaced by U+FFFD.
  book.Sheet(1)->SetText(1, 1, "10 \xB5s");
  book.Sheet(1)->SetText(1, 2, "a\xE2\x82");
  book.Sheet(1)->SetText(1, 3, "\xE2\x82\xAC ok");
  book.AddSheet("Tr\xE9" "al 2").SetText(2, 2, "bell\x07");
  const std::string path = dir.File("book.xlsx");
  std::string error, out;
  ASSERT_TRUE(book.SaveAs(path, &error)) << error;
  EXPECT_EQ(cz::test::RunXlsxReaders("xmllint " + cz::test::Quoted(path), &out), 0) << out;
  EXPECT_EQ(PartOf(path, "xl/workbook.xml").find("?><?xml"), std::string::npos);

  Workbook back;
  ASSERT_TRUE(back.Load(path, &error)) << error;
  EXPECT_EQ(back.Sheet(1)->TextAt(1, 1), "10 \xEF\xBF\xBDs");
  EXPECT_EQ(back.Sheet(1)->TextAt(1, 2), "a\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(back.Sheet(1)->TextAt(1, 3), "\xE2\x82\xAC ok");
  EXPECT_EQ(back.Sheet(2)->Name(), "Tr\xEF\xBF\xBD" "al 2");
  EXPECT_EQ(back.Sheet(2)->TextAt(2, 2), "bell");
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
        "<x:row r=\"99999999999\"><x:c><x:v>4</x:v></x:c></x:row><x:row><x:c><x:v>5</x:v></x:c></x:row>"
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
  EXPECT_EQ(s.Cells().size(), 5u);    // rows beyond the sheet are passed over
}

// A workbook as a desktop spreadsheet program writes one: prefixed
// elements, shared strings, number formats, formulas (one shared), a
// calculation chain, column styles, row hints, merged cells, a defined name
// and document properties.
std::vector<std::pair<std::string, std::string>> ForeignPackage() {
  const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const std::string pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
  const std::string ct = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
  auto over = [&](const std::string& part, const std::string& type) {
    return "<Override PartName=\"" + part + "\" ContentType=\"" + type + "\"/>";
  };
  auto relation = [&](const std::string& id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + rel + "/" + type + "\" Target=\"" + target + "\"/>";
  };
  return {
      {"[Content_Types].xml",
       decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
              "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
              "<Default Extension=\"xml\" ContentType=\"application/xml\"/>" +
           over("/xl/workbook.xml", ct + "sheet.main+xml") + over("/xl/worksheets/sheet1.xml", ct + "worksheet+xml") +
           over("/xl/worksheets/sheet2.xml", ct + "worksheet+xml") + over("/xl/styles.xml", ct + "styles+xml") +
           over("/xl/sharedStrings.xml", ct + "sharedStrings+xml") + over("/xl/calcChain.xml", ct + "calcChain+xml") +
           over("/docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml") + "</Types>"},
      {"_rels/.rels", decl + "<Relationships xmlns=\"" + pkg + "\">" +
                          relation("rId1", "officeDocument", "xl/workbook.xml") +
                          "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/"
                          "relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/></Relationships>"},
      {"docProps/core.xml",
       decl + "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
              "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:creator>Lab</dc:creator>"
              "</cp:coreProperties>"},
      {"xl/workbook.xml",
       decl + "<x:workbook xmlns:x=\"" + ns + "\" xmlns:r=\"" + rel +
           "\"><x:bookViews><x:workbookView activeTab=\"0\"/></x:bookViews><x:sheets>"
           "<x:sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><x:sheet name=\"Other\" sheetId=\"4\" r:id=\"rId2\"/>"
           "</x:sheets><x:definedNames><x:definedName name=\"Total\">Data!$B$4</x:definedName></x:definedNames>"
           "<x:calcPr calcId=\"191029\"/></x:workbook>"},
      {"xl/_rels/workbook.xml.rels",
       decl + "<Relationships xmlns=\"" + pkg + "\">" + relation("rId1", "worksheet", "worksheets/sheet1.xml") +
           relation("rId2", "worksheet", "worksheets/sheet2.xml") + relation("rId3", "styles", "styles.xml") +
           relation("rId4", "sharedStrings", "sharedStrings.xml") + relation("rId5", "calcChain", "calcChain.xml") +
           "</Relationships>"},
      {"xl/styles.xml",
       decl + "<styleSheet xmlns=\"" + ns + "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.000\"/>"
              "</numFmts><fonts count=\"1\"><font/></fonts><fills count=\"1\"><fill/></fills><borders count=\"1\">"
              "<border/></borders><cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\" "
              "applyNumberFormat=\"1\"/><xf numFmtId=\"0\"/></cellXfs></styleSheet>"},
      {"xl/sharedStrings.xml", decl + "<x:sst xmlns:x=\"" + ns + "\" count=\"2\" uniqueCount=\"2\"><x:si><x:t>Name"
                                      "</x:t></x:si><x:si><x:t>old</x:t></x:si></x:sst>"},
      {"xl/calcChain.xml", decl + "<calcChain xmlns=\"" + ns + "\"><c r=\"B4\" i=\"1\"/><c r=\"C1\"/><c r=\"C2\"/>"
                                  "</calcChain>"},
      {"xl/worksheets/sheet1.xml",
       decl + "<x:worksheet xmlns:x=\"" + ns + "\" xmlns:r=\"" + rel +
           "\"><x:dimension ref=\"A1:C4\"/><x:cols><x:col min=\"4\" max=\"5\" width=\"30\" style=\"2\" "
           "customWidth=\"1\"/></x:cols><x:sheetData>"
           "<x:row r=\"1\" spans=\"1:3\"><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c><x:c r=\"B1\" s=\"1\"><x:v>1.5</x:v>"
           "</x:c><x:c r=\"C1\"><x:f t=\"shared\" ref=\"C1:C2\" si=\"0\">B1*2</x:f><x:v>3</x:v></x:c></x:row>"
           "<x:row r=\"2\"><x:c><x:v>7</x:v></x:c><x:c t=\"s\" s=\"2\"><x:v>1</x:v></x:c><x:c r=\"C2\">"
           "<x:f t=\"shared\" si=\"0\"/><x:v>0</x:v></x:c></x:row>"
           "<x:row r=\"4\" ht=\"20\" customHeight=\"1\"><x:c r=\"A4\"><x:v>5</x:v></x:c><x:c r=\"B4\">"
           "<x:f>SUM(A1:A3)</x:f><x:v>12</x:v></x:c></x:row></x:sheetData>"
           "<x:mergeCells count=\"1\"><x:mergeCell ref=\"A6:B6\"/></x:mergeCells></x:worksheet>"},
      {"xl/worksheets/sheet2.xml",
       decl + "<worksheet xmlns=\"" + ns + "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>9</v></c></row></sheetData>"
              "</worksheet>"},
  };
}

pugi::xml_node CellIn(const pugi::xml_document& doc, const char* ref) {
  return doc.find_node([&](const pugi::xml_node& n) {
    return std::string(n.name()) == "x:c" && std::string(n.attribute("r").value()) == ref;
  });
}

TEST(Workbook, SavingEditsThePackageInPlace) {
  cz::test::TempDir dir;
  const std::string path = dir.File("foreign.xlsx");
  const auto package = ForeignPackage();
  ASSERT_TRUE(WritePackage(path, package));
  Workbook book;
  std::string error, out;
  ASSERT_TRUE(book.Load(path, &error)) << error;
  Worksheet& data = *book.Sheet(1);
  EXPECT_EQ(data.TextAt(2, 2), "old");
  data.SetValueFromText(1, 2, "2.25");       // styled number cell: keeps s="1"
  data.SetValueFromText(2, 2, "");           // styled text cell: value goes, style stays
  data.SetValueFromText(2, 1, "");           // plain cell: goes
  data.SetValueFromText(1, 3, "8");          // master of a shared formula
  data.SetValueFromText(4, 2, "text here");  // a SUM formula
  data.SetValueFromText(3, 4, "new");        // new row, in a styled column
  data.SetValueFromText(1, 5, "x");          // beyond the row's span hint
  book.AddSheet("Added").SetNumber(1, 1, 1.0);
  ASSERT_TRUE(book.Save(&error)) << error;
  EXPECT_EQ(cz::test::RunXlsxReaders("xmllint " + cz::test::Quoted(path), &out), 0) << out;

  // Parts the edits do not concern stay byte for byte.
  for (const auto& [name, bytes] : package)
    if (name == "docProps/core.xml" || name == "xl/styles.xml" || name == "xl/sharedStrings.xml" ||
        name == "xl/worksheets/sheet2.xml" || name == "_rels/.rels") {
      EXPECT_EQ(PartOf(path, name), bytes) << name;
    }

  pugi::xml_document sheet;
  ASSERT_TRUE(sheet.load_string(PartOf(path, "xl/worksheets/sheet1.xml").c_str()));
  EXPECT_STREQ(CellIn(sheet, "B1").attribute("s").value(), "1");
  EXPECT_STREQ(CellIn(sheet, "B1").child_value("x:v"), "2.25");
  EXPECT_STREQ(CellIn(sheet, "B2").attribute("s").value(), "2");
  EXPECT_FALSE(CellIn(sheet, "B2").child("x:v"));
  EXPECT_FALSE(CellIn(sheet, "B2").attribute("t"));
  EXPECT_FALSE(CellIn(sheet, "A2"));
  EXPECT_FALSE(CellIn(sheet, "C1").child("x:f"));
  EXPECT_FALSE(CellIn(sheet, "C2").child("x:f"));  // the shared formula went with its master
  EXPECT_STREQ(CellIn(sheet, "C2").child_value("x:v"), "0");
  EXPECT_STREQ(CellIn(sheet, "B4").attribute("t").value(), "inlineStr");
  EXPECT_FALSE(CellIn(sheet, "B4").child("x:f"));
  EXPECT_STREQ(CellIn(sheet, "D3").attribute("s").value(), "2");  // the column's style
  EXPECT_STREQ(CellIn(sheet, "E1").attribute("s").value(), "2");
  EXPECT_STREQ(CellIn(sheet, "E1").parent().attribute("spans").value(), "1:5");
  EXPECT_STREQ(CellIn(sheet, "D3").parent().next_sibling().attribute("r").value(), "4");
  EXPECT_STREQ(CellIn(sheet, "A4").parent().attribute("ht").value(), "20");
  EXPECT_TRUE(sheet.find_node([](const pugi::xml_node& n) { return std::string(n.attribute("ref").value()) == "A6:B6"; }));
  EXPECT_STREQ(sheet.child("x:worksheet").child("x:dimension").attribute("ref").value(), "A1:E4");

  // The chain of a removed formula goes; names and settings stay.
  EXPECT_EQ(PartOf(path, "xl/calcChain.xml"), "");
  EXPECT_EQ(PartOf(path, "xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
  EXPECT_EQ(PartOf(path, "[Content_Types].xml").find("calcChain"), std::string::npos);
  const std::string wb = PartOf(path, "xl/workbook.xml");
  EXPECT_NE(wb.find("<x:definedName name=\"Total\">Data!$B$4</x:definedName>"), std::string::npos) << wb;
  EXPECT_NE(wb.find("<x:calcPr calcId=\"191029\" fullCalcOnLoad=\"1\""), std::string::npos) << wb;
  EXPECT_NE(wb.find("<x:sheet name=\"Added\" sheetId=\"5\" r:id=\"rId6\""), std::string::npos) << wb;
  EXPECT_NE(PartOf(path, "[Content_Types].xml").find("/xl/worksheets/sheet3.xml"), std::string::npos);

  Workbook back;
  ASSERT_TRUE(back.Load(path, &error)) << error;
  ASSERT_EQ(back.SheetCount(), 3);
  EXPECT_EQ(back.Sheet(1)->TextAt(1, 1), "Name");
  EXPECT_EQ(back.Sheet(1)->TextAt(1, 2), "2.25");
  EXPECT_EQ(back.Sheet(1)->TextAt(4, 2), "text here");
  EXPECT_EQ(back.Sheet(1)->TextAt(3, 4), "new");
  EXPECT_EQ(back.Sheet(1)->TextAt(2, 2), "");
  EXPECT_EQ(back.Sheet(2)->TextAt(1, 1), "9");
  EXPECT_EQ(back.Sheet(3)->Name(), "Added");
  EXPECT_EQ(back.Sheet(3)->TextAt(1, 1), "1");

  // Saved again without a change, every part is as it was.
  const std::string copy = dir.File("copy.xlsx");
  ASSERT_TRUE(back.SaveAs(copy, &error)) << error;
  for (const char* name : {"xl/workbook.xml", "xl/worksheets/sheet1.xml", "xl/worksheets/sheet3.xml",
                           "[Content_Types].xml", "xl/_rels/workbook.xml.rels"})
    EXPECT_EQ(PartOf(copy, name), PartOf(path, name)) << name;
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

// Damaged report templates, seeded with a workbook of our own writer and one
// as desktop programs write them: one part mutated inside a sound package,
// or the package bytes themselves. Each load either succeeds or is refused
// with a reason and keeps the workbook; a loaded one saves elsewhere or is
// refused; the template file is never touched.
TEST(Workbook, MutatedPackagesLoadOrAreRefused) {
  cz::test::TempDir dir;
  Workbook ownBook;
  ownBook.Sheet(1)->SetText(1, 1, "Entry");
  ownBook.Sheet(1)->SetNumber(2, 1, 12.5);
  ownBook.Sheet(1)->SetText(2, 2, "A & <B>");
  ownBook.AddSheet("Trial 2").SetNumber(30, 28, -1.5e-7);
  std::string error;
  const std::string ownPath = dir.File("own.xlsx");
  ASSERT_TRUE(ownBook.SaveAs(ownPath, &error)) << error;
  const std::vector<std::vector<std::pair<std::string, std::string>>> seeds = {ReadPackage(ownPath),
                                                                               ForeignPackage()};
  ASSERT_GE(seeds[0].size(), 3u);
  const std::string foreignPath = dir.File("foreign.xlsx");
  ASSERT_TRUE(WritePackage(foreignPath, seeds[1]));
  const std::string seedBytes[] = {cz::test::ReadFileBytes(ownPath), cz::test::ReadFileBytes(foreignPath)};

  std::mt19937 rng(9105);
  cz::test::MutateOptions xml;
  xml.syntax = "<>/=\"&;:#x0123456789-. rcstvAZ";
  const std::string path = dir.File("template.xlsx");
  int loaded = 0;
  for (int round = 0; round < 200; ++round) {
    const int seed = round % 2;
    if (round % 8 >= 6) {
      ASSERT_TRUE(cz::test::WriteFileBytes(path, cz::test::Mutate(seedBytes[seed], rng)));
    } else {
      auto damaged = seeds[seed];
      std::string& data = damaged[rng() % damaged.size()].second;
      data = cz::test::Mutate(data, rng, xml);
      ASSERT_TRUE(WritePackage(path, damaged));
    }
    const std::string bytes = cz::test::ReadFileBytes(path);
    Workbook book;
    book.Sheet(1)->SetText(1, 1, "kept");
    error.clear();
    if (book.Load(path, &error)) {
      ++loaded;
      ASSERT_GE(book.SheetCount(), 1) << round;
      book.Sheet(1)->SetNumber(3, 2, 42.0);
      error.clear();
      if (!book.SaveAs(dir.File("report.xlsx"), &error)) {
        ASSERT_FALSE(error.empty()) << round;
      }
    } else {
      ASSERT_FALSE(error.empty()) << round;
      ASSERT_EQ(book.SheetCount(), 1) << round;
      ASSERT_EQ(book.Sheet(1)->TextAt(1, 1), "kept") << round;
    }
    ASSERT_EQ(cz::test::ReadFileBytes(path), bytes) << round;
  }
  EXPECT_GT(loaded, 0);
  EXPECT_LT(loaded, 200);
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
