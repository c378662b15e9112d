// Shared pieces of the instrument tests: the captured log and status lines
// and a fixture with a fresh device layer and the offscreen run-time (for
// the yes/no questions and the waits of the transfer code).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Log.h"
#include "instrument/VisaDev.h"
#include "tests/support/OffscreenApp.h"

namespace cz::test {

struct CapturedLog {
  std::vector<std::string> lines;   // log lines without their time stamp
  std::vector<std::string> status;  // status-line texts

  static CapturedLog& Get() {
    static CapturedLog log;
    return log;
  }
  static void OnLine(const char* text) {
    std::string t(text);
    // "hh:mm:ss   " stamp of Log_Message
    Get().lines.push_back(t.size() >= 11 ? t.substr(11) : t);
  }
  static void OnStatus(const char* text) { Get().status.push_back(text); }

  bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  bool HasPrefix(const std::string& prefix) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  bool HasStatus(const std::string& text) const {
    return std::find(status.begin(), status.end(), text) != status.end();
  }
  void Clear() {
    lines.clear();
    status.clear();
  }
};

class InstrumentTest : public OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    char error[256];
    ASSERT_EQ(VisaDev_Init(error, sizeof error), 1) << error;
    Log_SetLogSink(&CapturedLog::OnLine);
    Log_SetStatusSink(&CapturedLog::OnStatus);
    Log().Clear();
  }
  void TearDown() override {
    VisaDev_SetReplyTimeLimit(0);
    for (int id = 0; id < kVisaDevSlotCount; ++id) {
      if (VisaDevSlotTable[id].session != kVisaDevClosed) VisaDev_Close(id);
    }
    Log_SetLogSink(nullptr);
    Log_SetStatusSink(nullptr);
    OffscreenAppTest::TearDown();
  }
  static CapturedLog& Log() { return CapturedLog::Get(); }
  static std::string LastError(int id) {
    char text[kVisaLastErrorSize];
    VisaDev_GetLastError(id, text);
    return text;
  }
};

}  // namespace cz::test
