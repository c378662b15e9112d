// The spreadsheet application session that the report plug-in drives.
//
// It stands in for an outside spreadsheet application reached through an
// automation interface: a session is started, keeps a collection of open
// workbooks (the one opened or added last is the active one), hands out
// sheets by number and saves workbooks under their own names. A failing
// call returns false or null and leaves the server's description of the
// error in *error, as an automation server raises an error with a
// description.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sheet/Workbook.h"

namespace cz::sheet {

// Workbook template of Add: a workbook of one worksheet.
inline constexpr int kTemplateWorksheet = -4167;
// Window states.
inline constexpr int kWindowNormal = -4143;
inline constexpr int kWindowMinimized = -4140;
inline constexpr int kWindowMaximized = -4137;

class Application {
 public:
  // Window properties of the session; the stand-in keeps them for its
  // callers. SetWindowState refuses anything but the three states.
  void SetUserControl(bool on) { userControl_ = on; }
  void SetVisible(bool on) { visible_ = on; }
  bool SetWindowState(int state, std::string* error);
  bool UserControl() const { return userControl_; }
  bool Visible() const { return visible_; }
  int WindowState() const { return windowState_; }

  // Workbooks.Open: reads the file and makes it the active workbook.
  Workbook* OpenWorkbook(const std::string& path, std::string* error);
  // Workbooks.Add: a new workbook without a file name from a template kind.
  Workbook* AddWorkbook(int templateKind, std::string* error);
  Workbook* ActiveWorkbook();
  int WorkbookCount() const { return static_cast<int>(workbooks_.size()); }

  // Sheets.Item of the active workbook, by 1-based number.
  Worksheet* SheetItem(int number, std::string* error);
  // Cells.Item get and put of a sheet; the value travels as text (numbers in
  // their shortest decimal form, an empty cell as an empty text).
  static bool GetCell(const Worksheet& sheet, int row, int column, std::string* value, std::string* error);
  static bool PutCell(Worksheet* sheet, int row, int column, const std::string& value, std::string* error);

  // Workbook.Save under its own file name.
  static bool Save(Workbook* workbook, std::string* error);
  // Ends the session: every workbook is closed without saving.
  void Quit();
  bool Running() const { return running_; }

 private:
  bool userControl_ = false;
  bool visible_ = false;
  bool running_ = true;
  int windowState_ = kWindowNormal;
  std::vector<std::unique_ptr<Workbook>> workbooks_;
};

}  // namespace cz::sheet
