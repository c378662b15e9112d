// Reading the instrument's catalogue replies. ":MMEM:CAT?" answers
//   <used bytes>,<free bytes>,"name,type,size","name,type,size",...
// and ":MMEM:DCAT?" a list of quoted directory names. Each entry is an SCPI
// string: a double quote inside it is doubled. A name may itself hold commas,
// so an entry is split at its last two commas: type and size never hold one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CatalogEntry {
  std::string name;
  std::string type;  // "BIN", "DIR", ...
  std::string size;  // as the instrument wrote it
};

// The double-quoted strings of a reply in order, each doubled quote read as
// one. A string the reply leaves unclosed runs to its end.
std::vector<std::string> Catalog_Strings(std::string_view reply);

// "name,type,size" split at its last two commas. An entry with fewer than
// two commas is all name (false is returned, type and size stay empty).
bool Catalog_SplitEntry(const std::string& entry, CatalogEntry* out);
