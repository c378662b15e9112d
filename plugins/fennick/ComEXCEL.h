// The report plug-in's session with the spreadsheet application.
//
// One instance lives from mod_init to mod_shutdown. Open starts the
// application, opens (or adds) the report workbook and selects sheet 1;
// cells are read and written as text on the selected sheet; Close saves the
// workbook and, when asked, quits the application. Every method returns
// success or failure and keeps the reason in the error text, which
// TakeError hands out; an error raised by the application becomes
// "COM Error: " followed by its description.
#pragma once

#include <memory>
#include <string>

#include "platform/sheet/SheetApplication.h"

class ComEXCEL {
 public:
  ComEXCEL();
  // Closes with quit when still connected (failure ignored) and releases all.
  ~ComEXCEL();
  ComEXCEL(const ComEXCEL&) = delete;
  ComEXCEL& operator=(const ComEXCEL&) = delete;

  // True when the automation layer can be used on this thread.
  bool Ready() const { return comReady_; }
  // True from the start of the application until Close released it.
  bool Connected() const { return instance_; }

  bool Open(const char* path);
  // Saves the workbook and ends the session; a failed save ends it too,
  // dropping the unsaved workbook.
  bool Close(bool quit);
  // sheet: 1-based number within the active workbook.
  bool SelectSheet(int sheet);
  // The cell's value as text, at most 254 characters and a terminator;
  // text has room for 255 bytes.
  bool ReadCell(int row, int column, char* text);
  bool WriteCell(int row, int column, const char* text);
  // Copies the error text (at most size - 2 characters and a terminator)
  // and empties it.
  void TakeError(char* text, int size);
  const std::string& ErrorText() const { return error_; }
  // Drops the session without saving, so the workbook file stays as it
  // was; the error text stays too.
  void Abandon();

 private:
  bool Fail(const char* text);
  bool ComError(const std::string& description);
  bool CheckConnected();

  std::string error_;
  std::unique_ptr<cz::sheet::Application> application_;
  cz::sheet::Workbook* workbook_ = nullptr;
  cz::sheet::Worksheet* sheet_ = nullptr;
  cz::sheet::Worksheet* cells_ = nullptr;
  bool comReady_ = false;
  bool instance_ = false;
};
