#include "platform/TagText.h"

#include <vector>

namespace cz {

namespace {

// Positions of the unpaired braces of text, in order.
std::vector<std::size_t> UnpairedBraces(std::string_view text) {
  std::vector<std::size_t> unpaired, open;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{') {
      open.push_back(i);
    } else if (text[i] == '}') {
      if (open.empty()) unpaired.push_back(i);
      else open.pop_back();
    }
  }
  unpaired.insert(unpaired.end(), open.begin(), open.end());
  return unpaired;
}

}  // namespace

std::size_t UnpairedBraceCount(std::string_view text) { return UnpairedBraces(text).size(); }

std::string WithPairedBraces(std::string_view text, std::size_t* replaced) {
  std::string out(text);
  const std::vector<std::size_t> unpaired = UnpairedBraces(text);
  for (std::size_t at : unpaired) out[at] = out[at] == '{' ? '(' : ')';
  if (replaced) *replaced = unpaired.size();
  return out;
}

}  // namespace cz
