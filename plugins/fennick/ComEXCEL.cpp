// The spreadsheet session of the report plug-in.
#include "ComEXCEL.h"

#include <cstring>

#include "platform/BoundedText.h"

namespace {
constexpr int kCellTextSize = 255;  // 254 characters and the terminator
}  // namespace

// The stand-in automation layer needs no per-thread set-up, so the session
// is usable from the thread that loaded the plug-in.
ComEXCEL::ComEXCEL() : comReady_(true) {}

ComEXCEL::~ComEXCEL() {
  if (comReady_ && instance_) Close(true);
  Abandon();
}

bool ComEXCEL::Fail(const char* text) {
  error_ = text;
  return false;
}

bool ComEXCEL::ComError(const std::string& description) {
  error_ = "COM Error: " + description;
  return false;
}

bool ComEXCEL::CheckConnected() {
  if (!comReady_) return Fail("Interface not initialized.");
  if (!instance_) return Fail("EXCEL instance not created.");
  return true;
}

void ComEXCEL::Abandon() {
  if (application_) application_->Quit();
  application_.reset();
  workbook_ = nullptr;
  sheet_ = nullptr;
  cells_ = nullptr;
  instance_ = false;
}

bool ComEXCEL::Open(const char* path) {
  if (!comReady_) return Fail("COM Library is not properly initialized.");
  if (instance_) return Fail("COM EXCEL instance already created.");
  application_ = std::make_unique<cz::sheet::Application>();
  if (!application_) return Fail("COM interface failed to create EXCEL instance.");
  instance_ = true;

  std::string why;
  application_->SetUserControl(true);
  application_->SetVisible(true);
  // A failure after the application started drops it again, so that the
  // next report can start afresh instead of finding it still connected.
  if (!application_->SetWindowState(cz::sheet::kWindowNormal, &why)) {
    Abandon();
    return ComError(why);
  }
  const bool named = path != nullptr && path[0] != '\0';
  workbook_ = named ? application_->OpenWorkbook(path, &why)
                    : application_->AddWorkbook(cz::sheet::kTemplateWorksheet, &why);
  if (workbook_ == nullptr && !why.empty()) {
    Abandon();
    return ComError(why);
  }
  if (workbook_ == nullptr) {
    Close(true);
    return Fail("COM EXCEL Workbook creation/open failed.");
  }
  if (!SelectSheet(1)) {
    const std::string reason = error_;
    Abandon();
    error_ = reason;
    return false;
  }
  return true;
}

bool ComEXCEL::SelectSheet(int sheet) {
  if (!CheckConnected()) return false;
  std::string why;
  cz::sheet::Worksheet* s = application_->SheetItem(sheet, &why);
  if (s == nullptr) return ComError(why);
  sheet_ = s;
  cells_ = s;
  return true;
}

bool ComEXCEL::ReadCell(int row, int column, char* text) {
  if (text != nullptr) text[0] = '\0';
  if (!CheckConnected()) return false;
  if (row < 1 || column < 1) return Fail("Invalid row or column index.");
  if (cells_ == nullptr) return Fail("COM No valid EXCEL range pointer available.");
  std::string value, why;
  if (!cz::sheet::Application::GetCell(*cells_, row, column, &value, &why)) return ComError(why);
  if (text != nullptr) cz::CopyText(text, kCellTextSize, value);
  return true;
}

bool ComEXCEL::WriteCell(int row, int column, const char* text) {
  if (!CheckConnected()) return false;
  if (row < 1 || column < 1) return Fail("Invalid row or column index.");
  if (cells_ == nullptr) return Fail("COM No valid EXCEL range pointer available.");
  std::string why;
  if (!cz::sheet::Application::PutCell(cells_, row, column, text != nullptr ? text : "", &why)) return ComError(why);
  return true;
}

bool ComEXCEL::Close(bool quit) {
  if (!CheckConnected()) return false;
  std::string why;
  // The workbook is saved under its own name: a report opened from a
  // template file is written into that file.
  if (workbook_ != nullptr && !cz::sheet::Application::Save(workbook_, &why)) {
    // A workbook that cannot be saved ends its session all the same: it is
    // dropped unsaved, so that the next report starts afresh and nothing
    // stale is written over the file when the plug-in shuts down.
    Abandon();
    return ComError(why);
  }
  if (quit) application_->Quit();
  // Without quit the session simply ends here: the saved file is the
  // user's to open.
  application_.reset();
  instance_ = false;
  workbook_ = nullptr;
  sheet_ = nullptr;
  cells_ = nullptr;
  return true;
}

void ComEXCEL::TakeError(char* text, int size) {
  if (text != nullptr && size > 0) {
    const std::size_t keep = size >= 2 ? static_cast<std::size_t>(size - 2) : 0;
    cz::CopyText(text, keep + 1, error_);
  }
  error_.clear();
}
