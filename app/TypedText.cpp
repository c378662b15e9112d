#include "app/TypedText.h"

#include <cstring>

#include "app/Log.h"
#include "platform/CLocale.h"
#include "platform/TagText.h"
#include "platform/ui/UserInterface.h"

std::string TypedCtrlText(int panel, int control) {
  std::string text(4 * 1024 + 8, '\0');
  if (GetCtrlVal(panel, control, text.data(), static_cast<int>(text.size())) < 0) return std::string();
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::string TextTooLongDetail(std::string_view text, std::size_t maxBytes) {
  const std::size_t fit = cz::Utf8CharCount(text.substr(0, cz::Utf8PrefixLength(text, maxBytes)));
  return cz::FormatC("%zu characters, at most %zu of these fit", cz::Utf8CharCount(text), fit);
}

std::string TextTooLongMessage(const char* what, std::string_view text, std::size_t maxBytes) {
  return cz::FormatC("Error: %s too long: %s.", what, TextTooLongDetail(text, maxBytes).c_str());
}

std::string PathTooLongText(const char* subject, const char* path, std::size_t maxBytes) {
  if (path == nullptr) return cz::FormatC("The path of %s is too long.", subject);
  return cz::FormatC("The path of %s is too long: %s.", subject, TextTooLongDetail(path, maxBytes).c_str());
}

std::string UnpairedBraceMessage(const char* what) {
  return cz::FormatC("Error: %s not taken: a \"{\" or \"}\" without its partner would break the waveform file's tags.",
                     what);
}

bool TypedTextFits(std::string_view text, std::size_t maxBytes, const char* what) {
  if (text.size() <= maxBytes) return true;
  Log_Status(1, TextTooLongMessage(what, text, maxBytes).c_str());
  return false;
}

bool TypedTagTextValid(std::string_view text, std::size_t maxBytes, const char* what) {
  if (!TypedTextFits(text, maxBytes, what)) return false;
  if (cz::UnpairedBraceCount(text) == 0) return true;
  Log_Status(1, UnpairedBraceMessage(what).c_str());
  return false;
}

bool NumericOutsideRange(int panel, int control, const char* label, const char* unit, std::string* message) {
  double value = 0.0, low = 0.0, high = 0.0;
  if (GetCtrlVal(panel, control, &value) < 0 || GetCtrlAttribute(panel, control, ATTR_MIN_VALUE, &low) < 0 ||
      GetCtrlAttribute(panel, control, ATTR_MAX_VALUE, &high) < 0)
    return false;
  if (value >= low && value <= high) return false;
  const std::string u = unit && unit[0] ? std::string(" ") + unit : std::string();
  *message = cz::FormatC("%s %s%s lies outside %s to %s%s.", label, cz::FixedRealC(value, 0).c_str(), u.c_str(),
                         cz::FixedRealC(low, 0).c_str(), cz::FixedRealC(high, 0).c_str(), u.c_str());
  return true;
}

bool UsedNumericOutsideRange(int panel, int control, const char* label, const char* unit, std::string* message) {
  int dimmed = 0;
  GetCtrlAttribute(panel, control, ATTR_DIMMED, &dimmed);
  return dimmed == 0 && NumericOutsideRange(panel, control, label, unit, message);
}
