// Import Pulses: the user data sources that the imported pulses use come
// along from the file, so that their data rows keep their bits.
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/DataSource.h"
#include "app/Log.h"
#include "app/ProjectFile.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"

namespace {

constexpr const char* kClashSuffix = "-new";

// A data source of the file as it is imported, and what of its texts was
// cut to fit the record ("12 characters of its bit text beyond the 4096 it
// holds"), said in the log once the source is imported.
struct FileDataSource {
  DataSourceRecord record;
  std::vector<std::string> cuts;
};

// text into field, its first characters when it is too long (cut on a
// character boundary), the cut noted in *cuts.
template <std::size_t N>
void TakeText(std::string_view text, const char* what, cz::Text<N>* field, std::vector<std::string>* cuts) {
  if (field->AssignExact(text)) return;
  field->Assign(text);
  const std::size_t kept = cz::Utf8CharCount(field->view());
  cuts->push_back(cz::FormatC("%zu characters of its %s beyond the %zu it holds", cz::Utf8CharCount(text) - kept,
                              what, kept));
}

// The file's data sources in the order a load numbers them (file ID k is
// element k - 1): the "DATASRC" children of "DATASRC_DB" that carry a name.
std::vector<FileDataSource> FileDataSources(const pugi::xml_node& root) {
  std::vector<FileDataSource> sources;
  const pugi::xml_node sec = root.child("DATASRC_DB");
  for (pugi::xml_node el = sec.first_child(); el && sources.size() < kMaxDataSources; el = el.next_sibling()) {
    if (el.type() != pugi::node_element || std::strcmp(el.name(), "DATASRC") != 0 || !el.attribute("name"))
      continue;
    FileDataSource d;
    TakeText(el.attribute("name").value(), "name", &d.record.name, &d.cuts);
    if (pugi::xml_node c = el.child("Comment")) TakeText(c.text().get(), "comment", &d.record.comment, &d.cuts);
    if (pugi::xml_node c = el.child("data")) TakeText(c.text().get(), "bit text", &d.record.data, &d.cuts);
    sources.push_back(std::move(d));
  }
  return sources;
}

bool NameTaken(const std::string& name) {
  for (int i = 0; i < DataSourceCount; ++i)
    if (DataSourceTable[i].name.view() == name) return true;
  return false;
}

// The name itself when no source of the project carries it, else
// "name-new", "name-new2", ... (the name cut on a character boundary so
// that the suffix fits the 63 characters).
std::string FreeName(const std::string& name) {
  if (!NameTaken(name)) return name;
  for (int n = 1; n <= kMaxDataSources + 1; ++n) {
    const std::string suffix = n == 1 ? std::string(kClashSuffix) : cz::FormatC("%s%d", kClashSuffix, n);
    const std::size_t room = decltype(DataSourceRecord::name)::kMaxLength - suffix.size();
    const std::string candidate = name.substr(0, cz::Utf8PrefixLength(name, room)) + suffix;
    if (!NameTaken(candidate)) return candidate;
  }
  return name;  // not reached: at most 64 sources can take the candidates
}

}  // namespace

void ImportPulseDataSources(const pugi::xml_node& root, PulseRecord* pulses, int firstPulse) {
  if (pulses == nullptr || firstPulse >= PulseCount) return;
  const std::vector<FileDataSource> file = FileDataSources(root);
  // File ID -> ID in this project; 0 while that source is not imported yet.
  std::vector<uint32_t> imported(file.size() + 1, 0);
  for (int p = firstPulse; p < PulseCount; ++p) {
    for (ModulationDataRow& row : pulses[p].dataRows) {
      if (row.kind != DSRC_USER) continue;
      const int fileId = row.source;
      if (fileId < 1 || fileId > static_cast<int>(file.size())) {
        // The file names no such source: the row names none here either,
        // rather than one of this project's sources.
        if (row.source != 0)
          Log_Message(4, "*** Data source of imported pulse '", pulses[p].name.c_str(), "' not found in file",
                      "; the data row names no source.");
        row.source = 0;
        continue;
      }
      if (imported[static_cast<std::size_t>(fileId)] == 0) {
        if (DataSourceCount >= kMaxDataSources) {
          Log_Message(1, "*** Max. number of data sources in project exceeded.");
          row.source = 0;
          continue;
        }
        DataSourceRecord& added = DataSourceTable[DataSourceCount];
        const DataSourceRecord& from = file[static_cast<std::size_t>(fileId - 1)].record;
        const std::string name = FreeName(from.name.str());
        added = from;
        added.id = NextFreeDataSourceId();
        added.name = name;
        ++DataSourceCount;
        imported[static_cast<std::size_t>(fileId)] = added.id;
        if (name == from.name.str())
          Log_Message(3, " Data Source:   ", name.c_str(), " (imported)");
        else
          Log_Message(5, " Data Source:   ", from.name.c_str(), " (imported as '", name.c_str(), "')");
        for (const std::string& cut : file[static_cast<std::size_t>(fileId - 1)].cuts)
          Log_Message(1, cz::FormatC("*** Data source '%s': %s were not imported.", name.c_str(), cut.c_str()).c_str());
      }
      row.source = static_cast<int8_t>(imported[static_cast<std::size_t>(fileId)]);
    }
  }
}
