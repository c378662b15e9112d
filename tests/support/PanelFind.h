// Finding run-time panels and controls that a unit builds for itself (the
// progress dialog), by title and by constant name.
#pragma once

#include <cstring>

#include "platform/ui/UserInterface.h"

namespace cz::test {

// The control of the panel whose constant name is `name`; 0 when none.
inline int FindCtrlByName(int panel, const char* name) {
  for (int c = GetNextCtrl(panel, 0); c > 0; c = GetNextCtrl(panel, c)) {
    char buf[64] = "";
    if (GetCtrlAttribute(panel, c, ATTR_CONSTANT_NAME, buf, sizeof buf) >= 0 && std::strcmp(buf, name) == 0)
      return c;
  }
  return 0;
}

// The dialog that Progress_Open made: the panel titled "Progress"; 0 when none.
inline int FindProgressPanel() {
  for (int p = 1; p < 100000; ++p) {
    char title[64] = "";
    if (GetPanelAttribute(p, ATTR_TITLE, title, sizeof title) >= 0 && std::strcmp(title, "Progress") == 0) return p;
  }
  return 0;
}

}  // namespace cz::test
