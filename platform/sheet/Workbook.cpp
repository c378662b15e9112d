// Workbook model: sheets, cells, cell references and number texts.
#include "platform/sheet/Workbook.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/BoundedText.h"
#include "platform/CLocale.h"

namespace cz::sheet {

namespace {

const Cell kEmptyCell;

bool InLimits(int row, int column) {
  return row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns;
}

// Plain decimal number as typed: optional '-', digits without a leading
// zero (except a lone "0"), optionally '.' and at least one digit.
bool IsPlainDecimal(const std::string& t) {
  std::size_t i = 0;
  if (i < t.size() && t[i] == '-') ++i;
  const std::size_t intStart = i;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
  const std::size_t intLen = i - intStart;
  if (intLen == 0 || intLen > 15) return false;
  if (intLen > 1 && t[intStart] == '0') return false;
  if (i == t.size()) return true;
  if (t[i] != '.') return false;
  ++i;
  const std::size_t fracStart = i;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
  return i == t.size() && i > fracStart;
}

}  // namespace

const Cell& Worksheet::At(int row, int column) const {
  const auto it = cells_.find({row, column});
  return it == cells_.end() ? kEmptyCell : it->second;
}

std::string Worksheet::TextAt(int row, int column) const {
  const Cell& c = At(row, column);
  if (c.kind == Cell::kText) return c.text;
  if (c.kind == Cell::kNumber) return NumberText(c.number);
  return std::string();
}

bool Worksheet::SetNumber(int row, int column, double value) {
  if (!InLimits(row, column) || !std::isfinite(value)) return false;
  written_.insert({row, column});
  Cell& c = cells_[{row, column}];
  c.kind = Cell::kNumber;
  c.number = value;
  c.text.clear();
  return true;
}

bool Worksheet::SetText(int row, int column, std::string text) {
  if (!InLimits(row, column)) return false;
  written_.insert({row, column});
  Cell& c = cells_[{row, column}];
  c.kind = Cell::kText;
  c.number = 0.0;
  c.text = cz::ValidUtf8(text);
  return true;
}

bool Worksheet::SetValueFromText(int row, int column, const std::string& text) {
  if (!InLimits(row, column)) return false;
  if (text.empty()) {
    Clear(row, column);
    return true;
  }
  if (IsPlainDecimal(text)) return SetNumber(row, column, cz::StrtodC(text.c_str(), nullptr));
  return SetText(row, column, text);
}

void Worksheet::Clear(int row, int column) {
  if (!InLimits(row, column)) return;
  written_.insert({row, column});
  cells_.erase({row, column});
}

bool Workbook::Save(std::string* error) {
  if (fileName_.empty()) {
    if (error) *error = "The workbook has no file name.";
    return false;
  }
  return SaveAs(fileName_, error);
}

Worksheet* Workbook::Sheet(int number) {
  if (number < 1 || number > SheetCount()) return nullptr;
  return &sheets_[static_cast<std::size_t>(number - 1)];
}

const Worksheet* Workbook::Sheet(int number) const {
  if (number < 1 || number > SheetCount()) return nullptr;
  return &sheets_[static_cast<std::size_t>(number - 1)];
}

Worksheet& Workbook::AddSheet(const std::string& name) {
  sheets_.emplace_back(name);
  return sheets_.back();
}

std::string CellReference(int row, int column) {
  if (!InLimits(row, column)) return std::string();
  std::string letters;
  for (int c = column; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), char('A' + (c - 1) % 26));
  return letters + std::to_string(row);
}

bool ParseCellReference(const std::string& ref, int* row, int* column) {
  std::size_t i = 0;
  if (i < ref.size() && ref[i] == '$') ++i;
  long col = 0;
  const std::size_t letterStart = i;
  while (i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i])) && i - letterStart < 3) {
    col = col * 26 + (std::toupper(static_cast<unsigned char>(ref[i])) - 'A' + 1);
    ++i;
  }
  if (i == letterStart) return false;
  if (i < ref.size() && ref[i] == '$') ++i;
  long r = 0;
  const std::size_t digitStart = i;
  while (i < ref.size() && std::isdigit(static_cast<unsigned char>(ref[i])) && i - digitStart < 8) {
    r = r * 10 + (ref[i] - '0');
    ++i;
  }
  if (i == digitStart || i != ref.size()) return false;
  if (r < 1 || r > kMaxRows || col < 1 || col > kMaxColumns) return false;
  *row = static_cast<int>(r);
  *column = static_cast<int>(col);
  return true;
}

std::string NumberText(double value) {
  // The spreadsheet application shows up to 15 significant digits; the
  // shortest of %.15g .. %.17g that reads back exactly is used.
  for (int digits = 15; digits <= 17; ++digits) {
    char buf[40];
    cz::SnprintfC(buf, sizeof buf, "%.*g", digits, value);
    if (cz::StrtodC(buf, nullptr) == value || digits == 17) return buf;
  }
  return std::string();
}

}  // namespace cz::sheet
