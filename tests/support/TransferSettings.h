// Settings of the Transfer page that tests start from.
#pragma once

#include "app/Settings.h"
#include "instrument/Identify.h"
#include "instrument/TransferTab.h"

namespace cz::test {

// Path A of the identified instrument set to upload in baseband mode
// `bbMode` (1 load, 2 load/run) into its linked name under D:\, at
// `freqGHz` with the frequency set, and the output switched on when `rfOn`;
// then the page redrawn.
inline void SetPathAUpload(int bbMode, double freqGHz, bool rfOn) {
  InstrumentCapabilities.RfPathA = 1;
  g_Settings.BBModeA = bbMode;
  g_Settings.BBLinkFA = 1;
  g_Settings.RFSetFA = 1;
  if (rfOn) g_Settings.RFStateA = 1;
  g_Settings.RFFreqA = freqGHz;
  g_Settings.Project.pathWin = "D:\\";
  RefreshTransferTab();
}

}  // namespace cz::test
