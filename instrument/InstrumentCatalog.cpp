// Catalogue replies: SCPI strings with doubled quotes, entries split at
// their last two commas.
#include "instrument/InstrumentCatalog.h"

std::vector<std::string> Catalog_Strings(std::string_view reply) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < reply.size()) {
    const std::size_t open = reply.find('"', i);
    if (open == std::string_view::npos) break;
    std::string text;
    i = open + 1;
    while (i < reply.size()) {
      const char c = reply[i];
      if (c == '"') {
        if (i + 1 < reply.size() && reply[i + 1] == '"') {
          text.push_back('"');
          i += 2;
          continue;
        }
        ++i;  // past the closing quote
        break;
      }
      text.push_back(c);
      ++i;
    }
    out.push_back(std::move(text));
  }
  return out;
}

bool Catalog_SplitEntry(const std::string& entry, CatalogEntry* out) {
  out->type.clear();
  out->size.clear();
  const std::size_t last = entry.rfind(',');
  const std::size_t middle = (last == std::string::npos || last == 0) ? std::string::npos : entry.rfind(',', last - 1);
  if (middle == std::string::npos) {
    out->name = entry;
    return false;
  }
  out->name = entry.substr(0, middle);
  out->type = entry.substr(middle + 1, last - middle - 1);
  out->size = entry.substr(last + 1);
  return true;
}
