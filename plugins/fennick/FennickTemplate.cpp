// Report template and tags: the definitions on the template's first sheet,
// the report tag in the sequence comment and the trial number of a file name.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ComEXCEL.h"
#include "Fennick.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"

namespace fennick {

namespace {

constexpr const char* kInvalidTag = "Empty or invalid tag in waveform comment. Use {REPORT PLUGIN: <type>}.";
constexpr int kCellSize = 255;
constexpr int kFirstDefinitionRow = 3;

// Decimal text to int as the standard conversion does: leading digits, 0
// for an empty or non-numeric text; values beyond int saturate.
int CellInt(const char* text) {
  const long long v = std::strtoll(text, nullptr, 10);
  if (v > 2147483647LL) return 2147483647;
  if (v < -2147483647LL - 1) return -2147483647 - 1;
  return static_cast<int>(v);
}

bool ReadInt(int row, int column, int* value) {
  char cell[kCellSize];
  if (!g_excel->ReadCell(row, column, cell)) return false;
  *value = CellInt(cell);
  return true;
}

// A start that fails after the workbook was opened leaves nothing open: the
// workbook is dropped unsaved (the template stays as it was), so the host
// has nothing to close and the next "initreport" starts afresh.
int StartFailed() {
  g_excel->Abandon();
  return 0;
}

}  // namespace

void ForgetDefinitions() {
  for (ReportDefinition& d : g_layout.defs) d = ReportDefinition{};
}

// Sheet 1 of the template: (1,1) first data row, (2,1) first data column,
// rows 3-12 one definition each (sheet number, tag, routine ID). The
// definitions read before a failing cell stay.
int InitReport() {
  const bool continued = g_continueReport;
  g_continueReport = false;
  ForgetDefinitions();
  if (g_templatePathTooLong) {
    SetError("Report file name too long.");
    return 0;
  }
  // A report without a file could never be saved, nor closed.
  if (g_templatePath[0] == '\0') {
    SetError("No report file name given.");
    return 0;
  }
  // Open cleans up after its own failures; "already created" keeps the
  // report that is still open.
  if (!g_excel->Open(g_templatePath)) {
    SetSessionError("");
    return 0;
  }
  int r = 0, c = 0;
  if (!g_excel->SelectSheet(1) || !ReadInt(1, 1, &r) || !ReadInt(2, 1, &c)) {
    SetSessionError("");
    return StartFailed();
  }
  if (r < 0 || c < 0) {
    SetError("Invalid data offset specified on first sheet.");
    return StartFailed();
  }
  g_layout.firstRow = r;
  g_layout.firstColumn = c;
  for (int i = 0; i < kDefinitions; ++i) {
    const int row = kFirstDefinitionRow + i;
    ReportDefinition d;
    char tag[kCellSize];
    if (!ReadInt(row, 1, &d.sheet) || !g_excel->ReadCell(row, 2, tag) || !ReadInt(row, 3, &d.routine)) {
      SetSessionError("");
      return StartFailed();
    }
    cz::CopyText(d.tag, sizeof d.tag, tag);
    g_layout.defs[i] = d;
  }
  StartRoutines(continued);
  return 1;
}

// "{REPORT PLUGIN: <type>}": the words may stand anywhere after the first
// '{'; only blanks (32) count as white space around the tag.
bool FindReportTag(const char* comment, char* tag, int tagSize) {
  const char* open = std::strchr(comment, '{');
  if (open == nullptr) return false;
  const char* word = std::strstr(open + 1, "REPORT PLUGIN");
  if (word == nullptr) return false;
  // The colon is searched from the character right behind the 13 letters.
  const char* colon = std::strchr(word + 13, ':');
  if (colon == nullptr) return false;
  const char* start = colon + 1;
  while (*start == ' ') ++start;
  if (*start == '\0') return false;
  // The closing brace is searched from behind the tag's first character,
  // so a tag is never empty; one character is still refused below.
  const char* close = std::strchr(start + 1, '}');
  if (close == nullptr) return false;
  const char* end = close;
  while (end > start && end[-1] == ' ') --end;
  if (end - start < 2) return false;
  std::string found(start, static_cast<std::size_t>(end - start));
  if (found.size() > static_cast<std::size_t>(kReportTagChars)) found.resize(kReportTagChars);
  cz::CopyText(tag, static_cast<std::size_t>(tagSize), found);
  return true;
}

int FinishEntry() {
  char tag[kReportTagChars + 1];
  if (!FindReportTag(g_values.comment, tag, sizeof tag)) {
    SetError(kInvalidTag);
    return 0;
  }
  g_error[0] = '\0';
  // The first definition in use with exactly this tag wins.
  const ReportDefinition* def = nullptr;
  for (const ReportDefinition& d : g_layout.defs)
    if (d.tag[0] != '\0' && d.sheet > 0 && std::strcmp(d.tag, tag) == 0) {
      def = &d;
      break;
    }
  if (def == nullptr) {
    SetError(cz::FormatC("Tag from waveform comment was not found '%s'.", tag).c_str());
    return 0;
  }
  if (def->routine < 1 || def->routine > 9) {
    SetError(cz::FormatC("Invalid routine ID specified (%d) for tag '%s'.", def->routine, def->tag).c_str());
    return 0;
  }
  char routineError[kErrorSize] = "";
  const int ok = RunReportRoutine(def->routine, *g_excel, def->sheet, g_layout.firstRow, g_layout.firstColumn,
                                  g_firstEntry, g_values, routineError);
  g_firstEntry = false;
  if (ok) return 1;
  // A trial-number reason comes first, the session's reason after it.
  SetSessionError(routineError);
  return 0;
}

bool ParseTrialNumber(const char* fileName, int* trial, char* errorText) {
  char upper[1024];
  cz::CopyText(upper, sizeof upper, fileName != nullptr ? fileName : "");
  for (char* p = upper; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  // Only the file's own name counts: a folder such as "trial-2" or
  // "Trial-2025 campaign" names no trial. A stored name may use either
  // separator; a host path (one that starts with '/') uses only '/', and a
  // '\' in it belongs to the name ("TRIAL-2 v1\v2.wv").
  const bool hostPath = upper[0] == '/';
  const char* name = upper;
  for (const char* p = upper; *p; ++p)
    if (*p == '/' || (*p == '\\' && !hostPath)) name = p + 1;
  const char* at = std::strstr(name, "TRIAL-");
  if (at == nullptr) {
    cz::CopyText(errorText, kErrorSize, cz::FormatC("Missing trial number in file name. Append TRIAL-<no> to '%s'.", upper));
    return false;
  }
  const char* digits = at + 6;
  if (!std::isdigit(static_cast<unsigned char>(*digits))) {
    cz::CopyText(errorText, kErrorSize, cz::FormatC("Invalid trial number in file name. Append TRIAL-<no> to '%s'.", upper));
    return false;
  }
  // At most a few digits matter: anything longer is out of range anyway.
  long n = 0;
  for (const char* p = digits; std::isdigit(static_cast<unsigned char>(*p)); ++p)
    if (n <= 1000) n = n * 10 + (*p - '0');
  if (n < 1 || n > 30) {
    cz::CopyText(errorText, kErrorSize, "Invalid trial number set in file name. Use range 1-30.");
    return false;
  }
  *trial = static_cast<int>(n);
  return true;
}

}  // namespace fennick
