// RF list text files: the point import and the report with limit marks.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "app/Settings.h"
#include "editors/EnvelopeImport.h"
#include "editors/RfListEdit.h"
#include "platform/CLocale.h"
#include "platform/FileReplace.h"
#include "platform/Paths.h"

namespace {

constexpr int kPoints = kMaxRfListPoints;
constexpr std::size_t kMaxLine = 1023;  // characters of one import line
// Ranges of the table's cells: frequency GHz, level dBm.
constexpr double kMinFrequency = 0.0, kMaxFrequency = 6.0;
constexpr double kMinLevel = -130.0, kMaxLevel = 30.0;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// Reads one physical line ended by CR, LF or CR LF (a pair counts as one
// end) and keeps its first kMaxLine characters: the rest of a longer line is
// dropped, never read as further lines. False at the end of the file with
// nothing read.
bool ReadLine(std::FILE* f, std::string* line) {
  line->clear();
  int c = 0;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (c == '\r') {
      const int next = std::fgetc(f);
      if (next != '\n' && next != EOF) std::ungetc(next, f);
      return true;
    }
    if (line->size() < kMaxLine) line->push_back(static_cast<char>(c));
  }
  return any;
}

// Values the table cannot show (and the instrument would be sent) are not
// points.
bool InRange(double frequency, double level) {
  return frequency >= kMinFrequency && frequency <= kMaxFrequency && level >= kMinLevel && level <= kMaxLevel;
}

// A finite decimal number at p (no hexadecimal, "inf" or "nan" forms).
bool ReadNumber(const char** p, double* value) {
  const char* s = *p;
  const char* q = s;
  if (*q == '+' || *q == '-') ++q;
  if (!((*q >= '0' && *q <= '9') || (*q == '.' && q[1] >= '0' && q[1] <= '9'))) return false;
  if (*q == '0' && (q[1] == 'x' || q[1] == 'X')) return false;
  char* end = nullptr;
  const double v = cz::StrtodC(s, &end);
  if (end == s || !std::isfinite(v)) return false;
  *value = v;
  *p = end;
  return true;
}

// "<frequency> <level> ..." with white space, ',' or ';' between them.
bool ParsePoint(const std::string& text, double* frequency, double* level) {
  const char* p = text.c_str();
  if (!ReadNumber(&p, frequency)) return false;
  if (*p != '\0' && !IsSpace(*p) && *p != ',' && *p != ';') return false;
  while (IsSpace(*p)) ++p;
  if (*p == ',' || *p == ';') ++p;
  while (IsSpace(*p)) ++p;
  // Anything after the level is ignored.
  if (!ReadNumber(&p, level)) return false;
  return InRange(*frequency, *level);
}

// A line of the report's point table: "<entry> <frequency> <level> <mark>",
// the entry a whole number from 1, the mark "P" or "F" (optional only when
// the report's heading said what the columns are). Nothing may follow.
bool ParseReportPoint(const std::string& text, bool markOptional, double* frequency, double* level) {
  const char* p = text.c_str();
  const char* digits = p;
  while (*p >= '0' && *p <= '9') ++p;
  if (p == digits || p - digits > 5 || *digits == '0' || !IsSpace(*p)) return false;
  while (IsSpace(*p)) ++p;
  if (!ReadNumber(&p, frequency) || !IsSpace(*p)) return false;
  while (IsSpace(*p)) ++p;
  if (!ReadNumber(&p, level)) return false;
  if (*p != '\0' && !IsSpace(*p)) return false;
  while (IsSpace(*p)) ++p;
  if ((*p == 'P' || *p == 'F') && (p[1] == '\0' || IsSpace(p[1]))) {
    ++p;
    while (IsSpace(*p)) ++p;
  } else if (!markOptional) {
    return false;
  }
  return *p == '\0' && InRange(*frequency, *level);
}

std::string Trimmed(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && IsSpace(s[a])) ++a;
  while (b > a && IsSpace(s[b - 1])) --b;
  return s.substr(a, b - a);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The first line of the report, or its column titles (a report whose first
// lines were cut off).
bool IsReportHeading(const std::string& text) {
  return StartsWith(text, "Project :") || (StartsWith(text, "Entry ") && text.find("Frequency [GHz]") != std::string::npos);
}
// The rule under the column titles: the point table follows it.
bool IsReportRule(const std::string& text) { return !text.empty() && text.find_first_not_of('=') == std::string::npos; }

}  // namespace

// Binary mode: the line ends are taken apart by ReadLine, whatever system
// wrote the file. Every line read counts for the line number reported, an
// empty one included.
// Two forms: plain "<frequency> <level>" lines, and the report this editor
// writes (RfList_ReportText), recognised by its heading or by the form of its
// point lines; its entry column is passed over and its heading skipped up to
// the rule under the column titles. A file keeps to the form of its first
// point: a line of the other form, whose columns could be read either way,
// is a bad line, never a shifted point.
// The points go into a copy, which replaces the list only when the whole
// file was read: a bad line or a failed read leaves the list as it was.
int RfList_ImportText(const char* path, RfListPoints* points, int* imported, int* badLine) {
  *imported = 0;
  *badLine = 0;
  File file(std::fopen(ResolvedLocalPath(path).c_str(), "rb"));
  if (!file) return RFLIST_IMPORT_OPEN_FAILED;
  SkipByteOrderMark(file.get());
  RfListPoints read = *points;
  enum class Form { kUnknown, kHeading, kReport, kPlain } form = Form::kUnknown;
  bool headed = false;  // the report's heading said what the columns are
  int headingLine = 0;
  int count = 0;
  std::string line;
  int lineNumber = 0;
  while (count < kPoints && ReadLine(file.get(), &line)) {
    ++lineNumber;
    const std::string text = Trimmed(line);
    if (text.empty()) continue;
    if (form == Form::kUnknown && IsReportHeading(text)) {
      form = Form::kHeading;
      headingLine = lineNumber;
      continue;
    }
    if (form == Form::kHeading || (form == Form::kUnknown && IsReportRule(text))) {
      if (IsReportRule(text)) {
        form = Form::kReport;
        headed = true;
      }
      continue;
    }
    double frequency = 0.0, level = 0.0, f = 0.0, l = 0.0;
    const bool reportForm = ParseReportPoint(text, false, &f, &l);
    if (form == Form::kUnknown) form = reportForm ? Form::kReport : Form::kPlain;
    const bool ok = form == Form::kReport ? ParseReportPoint(text, headed, &frequency, &level)
                                          : !reportForm && ParsePoint(text, &frequency, &level);
    if (!ok) {
      *badLine = lineNumber;
      return RFLIST_IMPORT_BAD_LINE;
    }
    read.Set(count, frequency, level);
    ++count;
  }
  if (std::ferror(file.get())) return RFLIST_IMPORT_READ_FAILED;
  if (form == Form::kHeading) {
    // A heading without its point table: nothing says where the points are.
    *badLine = headingLine;
    return RFLIST_IMPORT_BAD_LINE;
  }
  *points = std::move(read);
  *imported = count;
  return RFLIST_IMPORT_DONE;
}

// The layout is fixed: the columns line up under the heading, and the two
// entry formats differ by the space before the mark (eight before "P",
// nine before "F").
std::string RfList_ReportText(const RfListRecord& list, const RfListReportHeader& header) {
  std::string out;
  out += cz::FormatC("Project : %s\n", header.project.c_str());
  out += cz::FormatC("Author  : %s\n", header.author.c_str());
  out += cz::FormatC("Date    : %s\n", header.date.c_str());
  out += cz::FormatC("Version : %s\n", header.version.c_str());
  out += "\n";
  out += cz::FormatC("RF List : %s\n", list.name.c_str());
  out += "\n";
  out += cz::FormatC("Lev min : %3.2f\n", list.limMin2);
  out += cz::FormatC("Lev max : %3.2f\n", list.limMax2);
  out += cz::FormatC("F   min : %7.6f\n", list.limMin);
  out += cz::FormatC("F   max : %7.6f\n", list.limMax);
  out += "\n";
  out += "Entry    Frequency [GHz]        Level [dBm]     Limit\n";
  out += "=====================================================\n";
  const int n = list.points.InUse();
  for (int i = 0; i < n; ++i) {
    const RfListPoint p = list.points.Get(i);
    // "%8.6f" and "%7.2f" unless a value needs more digits to read back as
    // it is: the import takes the report back exactly.
    const std::string f = cz::FormatRealExactC("%8.6f", p.frequency);
    const std::string l = cz::FormatRealExactC("%7.2f", p.level);
    out += cz::FormatC(RfList_InLimits(list, i) ? "%5d           %8s            %7s        P\n"
                                                : "%5d           %8s            %7s         F\n",
                       i + 1, f.c_str(), l.c_str());
  }
  return out;
}

// The report replaces an older file of that name only once it is written
// whole; a failed write leaves the old file as it was.
bool RfList_WriteReport(const char* path, const RfListRecord& list, const RfListReportHeader& header,
                        std::string* reason) {
  if (path == nullptr || *path == '\0') {
    if (reason) *reason = "no file name";
    return false;
  }
  return cz::ReplaceFileContents(ResolvedLocalPath(path), RfList_ReportText(list, header), reason);
}
