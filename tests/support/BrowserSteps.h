// The instrument file browser driven from a test. Its dialog is modal, so
// the test acts in the user's place from the browser's loop hook: each turn
// of the loop runs the step the test has set.
#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "instrument/FileBrowser.h"
#include "platform/ui/TestDriver.h"

namespace cz::test {

// The step run on each turn of the browser's loop (none when empty).
inline std::function<void(int)>& BrowserStep() {
  static std::function<void(int)> step;
  return step;
}
inline void BrowserStepHook(int panel) {
  if (BrowserStep()) BrowserStep()(panel);
}
// The step dropped and the hook taken off (a fixture's TearDown).
inline void ClearBrowserStep() {
  BrowserStep() = nullptr;
  FileBrowser_SetLoopHook(nullptr);
}

// The browser opened by a click on (panel, control); each turn of its loop
// takes the next of `steps`, and Cancel ends it after the last.
inline void BrowseWith(int panel, int control, std::vector<std::function<void(int)>> steps) {
  std::size_t next = 0;
  BrowserStep() = [&next, steps = std::move(steps)](int p) {
    if (next < steps.size()) {
      steps[next++](p);
    } else {
      UiTest_ClickCtrl(p, PANEL_FB_ARBFILECANCEL);
    }
  };
  FileBrowser_SetLoopHook(&BrowserStepHook);
  const int clicked = UiTest_ClickCtrl(panel, control);
  ClearBrowserStep();
  ASSERT_EQ(clicked, 1);
}

}  // namespace cz::test
