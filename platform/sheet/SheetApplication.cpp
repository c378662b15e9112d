// The spreadsheet application session: workbook collection, sheets, cells.
#include "platform/sheet/SheetApplication.h"

#include "platform/CLocale.h"

namespace cz::sheet {

namespace {

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

bool NotRunning(bool running, std::string* error) {
  return !running && !Fail(error, "The application has quit.");
}

}  // namespace

bool Application::SetWindowState(int state, std::string* error) {
  if (state != kWindowNormal && state != kWindowMinimized && state != kWindowMaximized)
    return Fail(error, "Invalid window state.");
  windowState_ = state;
  return true;
}

// Every workbook stays in the collection until Quit; the last one opened or
// added is the active one, whose sheets SheetItem hands out.
Workbook* Application::OpenWorkbook(const std::string& path, std::string* error) {
  if (NotRunning(running_, error)) return nullptr;
  auto book = std::make_unique<Workbook>();
  if (!book->Load(path, error)) return nullptr;
  workbooks_.push_back(std::move(book));
  return workbooks_.back().get();
}

Workbook* Application::AddWorkbook(int templateKind, std::string* error) {
  if (NotRunning(running_, error)) return nullptr;
  if (templateKind != kTemplateWorksheet) {
    Fail(error, cz::FormatC("Unknown workbook template %d.", templateKind));
    return nullptr;
  }
  workbooks_.push_back(std::make_unique<Workbook>());
  return workbooks_.back().get();
}

Workbook* Application::ActiveWorkbook() { return workbooks_.empty() ? nullptr : workbooks_.back().get(); }

Worksheet* Application::SheetItem(int number, std::string* error) {
  if (NotRunning(running_, error)) return nullptr;
  Workbook* book = ActiveWorkbook();
  if (book == nullptr) {
    Fail(error, "No workbook is open.");
    return nullptr;
  }
  Worksheet* sheet = book->Sheet(number);
  if (sheet == nullptr)
    Fail(error, cz::FormatC("Sheet %d does not exist; the workbook has %d sheet(s).", number, book->SheetCount()));
  return sheet;
}

bool Application::GetCell(const Worksheet& sheet, int row, int column, std::string* value, std::string* error) {
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
    return Fail(error, cz::FormatC("Cell (%d, %d) is outside the sheet.", row, column));
  *value = sheet.TextAt(row, column);
  return true;
}

bool Application::PutCell(Worksheet* sheet, int row, int column, const std::string& value, std::string* error) {
  if (!sheet->SetValueFromText(row, column, value))
    return Fail(error, cz::FormatC("Cell (%d, %d) is outside the sheet.", row, column));
  return true;
}

bool Application::Save(Workbook* workbook, std::string* error) { return workbook->Save(error); }

void Application::Quit() {
  workbooks_.clear();
  running_ = false;
}

}  // namespace cz::sheet
