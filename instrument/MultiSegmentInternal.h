// Shared by the multi-segment build and playback units; not for other callers.
#pragma once

#include <string>

namespace msw_detail {

// 1 when instrument 0 is open; otherwise the not-connected log and status.
int RequireInstrument();
// One command / query on instrument 0 (VisaDev_Write / VisaDev_Query).
int Send(const std::string& command);
int Ask(const std::string& command, std::string* reply);
// Status "Error: SCPI Error. See Log."; returns 0.
int ScpiFailure();

}  // namespace msw_detail
