// A small spreadsheet workbook model with .xlsx storage.
//
// A workbook is an ordered list of worksheets; a worksheet holds sparse
// cells addressed by 1-based row and column, each empty, a number or a
// text. Workbooks are read from and written to Office Open XML spreadsheet
// files (ECMA-376 SpreadsheetML: a zip package with xl/workbook.xml, its
// relationships and one worksheet part per sheet). Reading understands
// shared strings, inline strings, formula results, booleans and numbers.
//
// Saving edits the package that was read in place: every part is written
// back as it was, except the worksheets whose cells were written since (in
// those only the written cells change; a cell keeps its style, a formula
// that is overwritten goes), the parts that list a sheet added since, and
// the workbook's calculation properties, which ask for a full recalculation
// on load because cached formula results may be stale. A new workbook
// starts from a minimal package. Texts are written as inline strings.
//
// Every call that can fail returns false with a readable description in
// *error; nothing throws out of this layer.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace cz::sheet {

// Limits of the storage format (ECMA-376 Part 1, 18.3.1.73 and 18.3.1.13).
inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;

struct Cell {
  enum Kind { kEmpty = 0, kNumber = 1, kText = 2 };
  Kind kind = kEmpty;
  double number = 0.0;
  std::string text;
};

class Worksheet {
 public:
  explicit Worksheet(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  // The cell at (row, column); an empty cell for any unset or invalid place.
  const Cell& At(int row, int column) const;
  // The cell's value as text: empty, the text, or the number in its
  // shortest exact decimal form ("12", "0.5", "1e-07").
  std::string TextAt(int row, int column) const;
  // Stores a value; false (nothing stored) outside 1..kMaxRows, 1..kMaxColumns.
  // A text that is not valid UTF-8 is stored with U+FFFD in place of every
  // invalid byte.
  bool SetNumber(int row, int column, double value);
  bool SetText(int row, int column, std::string text);
  // Stores a text as the spreadsheet application does when one is typed: a
  // plain decimal number ("12", "-3.5", but not "007" or "1.") becomes a
  // number, an empty text clears the cell, anything else stays text.
  bool SetValueFromText(int row, int column, const std::string& text);
  void Clear(int row, int column);

  // Cells in row-major order.
  const std::map<std::pair<int, int>, Cell>& Cells() const { return cells_; }
  // Places stored or cleared since the sheet was read or last saved; saving
  // rewrites these cells only.
  const std::set<std::pair<int, int>>& Written() const { return written_; }

 private:
  friend class Workbook;
  std::string name_;
  std::string part_;  // package part of the sheet; empty until it is saved
  std::map<std::pair<int, int>, Cell> cells_;
  std::set<std::pair<int, int>> written_;
};

// One part of a workbook package: its name inside the zip and its bytes.
struct PackagePart {
  std::string name;
  std::string data;
};

class Workbook {
 public:
  // A new workbook with one empty sheet "Sheet1" and no file name, on a
  // minimal package (workbook, relationships, content types, styles).
  Workbook();

  // Reads an .xlsx file; on failure the workbook keeps its previous content.
  bool Load(const std::string& path, std::string* error);
  // Writes the package to a temporary file beside path (links followed) and
  // renames it over path; a read-only file is refused and left as it was.
  bool SaveAs(const std::string& path, std::string* error);
  // SaveAs under the workbook's own file name.
  bool Save(std::string* error);

  const std::string& FileName() const { return fileName_; }
  int SheetCount() const { return static_cast<int>(sheets_.size()); }
  // Sheet by 1-based number, or null.
  Worksheet* Sheet(int number);
  const Worksheet* Sheet(int number) const;
  // Appends a sheet named name; returns it.
  Worksheet& AddSheet(const std::string& name);

 private:
  std::string fileName_;
  std::vector<Worksheet> sheets_;
  // Every part of the package, in package order.
  std::vector<PackagePart> parts_;
  std::string mainPart_;  // the workbook part, as the package relationships name it
};

// "A1" reference of a cell (column letters then the row number); empty for
// a place outside the format's limits.
std::string CellReference(int row, int column);
// Parses "B12" (also "$B$12"); false for anything else or outside the limits.
bool ParseCellReference(const std::string& ref, int* row, int* column);
// The shortest text that reads back as the same double (C locale).
std::string NumberText(double value);

}  // namespace cz::sheet
