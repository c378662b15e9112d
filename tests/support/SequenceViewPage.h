// Fixture of the Sequence View page driven offscreen: the page built alone,
// the buffered file unit ready, a fresh view state, the log captured, a
// temporary folder, and the helpers the page's tests share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "app/PanelIds.h"
#include "editors/SequenceView.h"
#include "editors/SequenceViewIds.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"
#include "ui/main/SequenceViewPage.h"

namespace cz::test {

class SequenceViewPage : public OffscreenAppTest {
 protected:
  void SetUp() override {
    OffscreenAppTest::SetUp();
    TAB_VIEW = BuildSequenceViewPanel(0);
    ASSERT_GT(TAB_VIEW, 0);
    ResetBufferSlots();
    SetBufferUnitInitialized(1);
    // The view keeps nothing of a file another test showed (a new file
    // drops it), and starts from its start values.
    SetSequenceViewData(0, 0, 0.0, nullptr, 0);
    g_SequenceView = SequenceViewState{};
    Log().clear();
    Log_SetLogSink(&Capture);
  }
  void TearDown() override {
    InvalidateSequenceView();
    Log_SetLogSink(nullptr);
    SetBufferSlotBytes(kBufferSlotBytes);
    ResetBufferSlots();
    TAB_VIEW = 0;
    OffscreenAppTest::TearDown();
  }

  static std::vector<std::string>& Log() {
    static std::vector<std::string> lines;
    return lines;
  }
  static int CountLines(const std::string& part) {
    return static_cast<int>(std::count_if(Log().begin(), Log().end(), [&](const std::string& l) {
      return l.find(part) != std::string::npos;
    }));
  }
  static std::string Text(int control) {
    char buffer[256] = "";
    GetCtrlVal(TAB_VIEW, control, buffer, sizeof buffer);
    return buffer;
  }
  // As the waveform builder shows a file it made: its first 100,000
  // samples at most.
  static int ShowBuilt(FILE* file, int64_t total, double rate) {
    SetSequenceViewData(0, std::min<int64_t>(total - 1, 99999), rate, file, total);
    return DrawSequenceView();
  }

  TempDir dir_;

 private:
  static void Capture(const char* line) { Log().emplace_back(line); }
};

}  // namespace cz::test
