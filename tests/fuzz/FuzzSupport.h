// Shared by the libFuzzer harnesses: a quiet log, popups that answer
// nothing (a popup is a clear error, not a finding), a scratch folder for the
// readers that take a path, and the check that turns a broken promise of a
// reader into a finding.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/Log.h"
#include "platform/ui/TestDriver.h"
#include "platform/ui/UserInterface.h"

namespace cz::fuzz {

// A result outside what the reader promises: reported like a crash.
#define FUZZ_CHECK(cond)                                                         \
  do {                                                                           \
    if (!(cond)) {                                                               \
      std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                              \
    }                                                                            \
  } while (0)

inline void QuietLine(const char*) {}
inline void NoAnswer(const char*, const char*, const char*) {}

// Once per process: the log and status lines go nowhere (they are still
// formatted), popups are scripted and unanswered, the fake clock makes
// Delay() return at once. With ui, the offscreen application is created too
// (readers that touch panels or the main window need it).
inline void Setup(bool ui = false) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  Log_SetLogSink(&QuietLine);
  Log_SetStatusSink(&QuietLine);
  Log_SetMask(0);
  if (ui) InitUserInterface(0, nullptr);
  std::setlocale(LC_NUMERIC, "C");
  UiTest_Reset();
  UiTest_SetScriptedPopups(true);
  UiTest_SetUnansweredPopupHandler(&NoAnswer);
}

// Before each input: no popup record piles up from one input to the next.
inline void NextInput() { UiTest_ClearPopups(); }

inline void RemoveScratch();

// This process's scratch folder (made once, under $TMPDIR or /tmp, removed
// at a normal exit), without a trailing '/'.
inline const std::string& Scratch() {
  // Never destroyed: the removal at exit still needs the name.
  static const std::string* dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/cadenza-fuzz-XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    std::atexit(&RemoveScratch);
    return new std::string(tmpl);
  }();
  return *dir;
}

inline void RemoveScratch() {
  std::error_code ec;
  std::filesystem::remove_all(Scratch(), ec);
}

// Writes the bytes to <scratch>/<name> and returns the path.
inline std::string WriteScratch(const std::string& name, const uint8_t* data, std::size_t size) {
  const std::string path = Scratch() + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::abort();
  }
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}
inline std::string WriteScratch(const std::string& name, std::string_view bytes) {
  return WriteScratch(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The bytes of <scratch>/<name> (empty when it cannot be read).
inline std::string ReadScratch(const std::string& name) {
  std::string bytes;
  FILE* f = std::fopen((Scratch() + "/" + name).c_str(), "rb");
  if (f == nullptr) return bytes;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  std::fclose(f);
  return bytes;
}

// The input as text (it may hold NULs; c_str() ends at the first).
inline std::string Text(const uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Splits an input into the parts between separator lines "\n--\n", for
// harnesses that feed several replies or files from one input.
inline std::string_view NextPart(std::string_view* rest) {
  const std::size_t at = rest->find("\n--\n");
  std::string_view part = rest->substr(0, at);
  *rest = at == std::string_view::npos ? std::string_view() : rest->substr(at + 4);
  return part;
}

}  // namespace cz::fuzz
