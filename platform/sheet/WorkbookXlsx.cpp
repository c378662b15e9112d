// .xlsx storage of the workbook model (ECMA-376 SpreadsheetML package).
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <set>
#include <cstring>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/FileReplace.h"
#include "platform/sheet/Workbook.h"

namespace cz::sheet {

namespace {

// Largest package part read, and largest package, bytes; more is refused
// rather than inflated (protects against compressed bombs).
constexpr zip_uint64_t kMaxPartBytes = 256u * 1024u * 1024u;
constexpr zip_uint64_t kMaxPackageBytes = 512u * 1024u * 1024u;
// Most parts a package may hold.
constexpr zip_int64_t kMaxParts = 10000;

constexpr const char* kNsMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kNsRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kNsPkgRel = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* kRelWorksheet = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
constexpr const char* kRelStyles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* kRelOfficeDoc =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
constexpr const char* kNsContentTypes = "http://schemas.openxmlformats.org/package/2006/content-types";
constexpr const char* kTypeWorksheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
// Whole documents are kept as written: declarations, comments, processing
// instructions and a whitespace-only text (a cell text of blanks).
constexpr unsigned kParseFlags = pugi::parse_full | pugi::parse_ws_pcdata_single;

struct ZipCloser {
  void operator()(zip_t* z) const {
    if (z != nullptr) zip_discard(z);
  }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// Names inside a package compare without regard to ASCII case.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

PackagePart* FindPart(std::vector<PackagePart>& parts, const std::string& name) {
  for (PackagePart& p : parts)
    if (SameName(p.name, name)) return &p;
  return nullptr;
}

bool ReadPart(std::vector<PackagePart>& parts, const std::string& name, std::string* out) {
  const PackagePart* p = FindPart(parts, name);
  if (p == nullptr) return false;
  *out = p->data;
  return true;
}

// Every entry of the zip, in its order; false for a package over the limits
// or an entry that cannot be read.
bool ReadPackage(zip_t* z, std::vector<PackagePart>* parts) {
  const zip_int64_t count = zip_get_num_entries(z, 0);
  if (count < 0 || count > kMaxParts) return false;
  zip_uint64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const zip_uint64_t index = static_cast<zip_uint64_t>(i);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(z, index, ZIP_FL_ENC_RAW, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
        !(st.valid & ZIP_STAT_NAME) || st.size > kMaxPartBytes)
      return false;
    total += st.size;
    if (total > kMaxPackageBytes) return false;
    PackagePart part{st.name, std::string(static_cast<std::size_t>(st.size), '\0')};
    if (st.size > 0) {
      zip_file_t* f = zip_fopen_index(z, index, 0);
      if (f == nullptr) return false;
      const zip_int64_t n = zip_fread(f, part.data.data(), st.size);
      zip_fclose(f);
      if (n != static_cast<zip_int64_t>(st.size)) return false;
    }
    parts->push_back(std::move(part));
  }
  return true;
}

bool ParseXml(const std::string& bytes, pugi::xml_document* doc) {
  return doc->load_buffer(bytes.data(), bytes.size(), kParseFlags, pugi::encoding_auto);
}

// Element name without its namespace prefix ("x:row" -> "row").
const char* LocalName(const pugi::xml_node& n) {
  const char* name = n.name();
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}

// Children with this local name, whatever prefix the writer used.
std::vector<pugi::xml_node> Children(const pugi::xml_node& parent, const char* local) {
  std::vector<pugi::xml_node> out;
  for (pugi::xml_node c : parent.children())
    if (c.type() == pugi::node_element && std::strcmp(LocalName(c), local) == 0) out.push_back(c);
  return out;
}

pugi::xml_node Child(const pugi::xml_node& parent, const char* local) {
  for (pugi::xml_node c : parent.children())
    if (c.type() == pugi::node_element && std::strcmp(LocalName(c), local) == 0) return c;
  return pugi::xml_node();
}

// An attribute by local name ("r:id" and "id" alike).
const char* Attr(const pugi::xml_node& n, const char* local) {
  for (pugi::xml_attribute a : n.attributes()) {
    const char* name = a.name();
    const char* colon = std::strrchr(name, ':');
    if (std::strcmp(colon ? colon + 1 : name, local) == 0) return a.value();
  }
  return "";
}

// Text of a rich or plain string item (<si> or <is>): every <t> outside <rPh>.
std::string StringItemText(const pugi::xml_node& item) {
  std::string text;
  for (pugi::xml_node c : item.children()) {
    if (c.type() != pugi::node_element) continue;
    if (std::strcmp(LocalName(c), "t") == 0) text += c.text().get();
    else if (std::strcmp(LocalName(c), "r") == 0) text += Child(c, "t").text().get();
  }
  return text;
}

// Resolves a relationship target against the folder of its source part.
std::string ResolveTarget(const std::string& folder, const std::string& target) {
  if (!target.empty() && target[0] == '/') return target.substr(1);
  std::string base = folder;
  std::string rest = target;
  while (rest.rfind("../", 0) == 0) {
    rest = rest.substr(3);
    const std::size_t slash = base.find_last_of('/', base.size() >= 2 ? base.size() - 2 : 0);
    base = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
  }
  return base + rest;
}

// Walks sheetData in order: every row with its number, every cell with its
// place. Row and cell references are optional (ECMA-376 18.3.1.73,
// 18.3.1.4): without one the row or column follows the previous; a cell
// whose reference cannot be read, or that lies outside the sheet, is passed
// over.
template <typename RowFn, typename CellFn>
void WalkSheetData(const pugi::xml_node& data, RowFn onRow, CellFn onCell) {
  int rowNo = 0;
  for (pugi::xml_node row : Children(data, "row")) {
    const char* r = Attr(row, "r");
    // Numbers outside the sheet are held just past it, so counting on stays defined.
    const long n = *r ? std::strtol(r, nullptr, 10) : rowNo + 1L;
    rowNo = static_cast<int>(std::clamp(n, 0L, static_cast<long>(kMaxRows) + 1));
    onRow(row, rowNo);
    int colNo = 0;
    for (pugi::xml_node c : Children(row, "c")) {
      int cr = rowNo, cc = std::min(colNo, kMaxColumns) + 1;
      const char* ref = Attr(c, "r");
      if (*ref && !ParseCellReference(ref, &cr, &cc)) continue;
      colNo = cc;
      if (cr < 1 || cr > kMaxRows || cc > kMaxColumns) continue;
      onCell(c, cr, cc);
    }
  }
}

// Cells of one worksheet part. Cell types: s shared string, inlineStr, str
// formula text, e error, b boolean, n or none a number.
bool ReadSheetCells(const pugi::xml_document& doc, const std::vector<std::string>& shared, Worksheet* sheet) {
  const pugi::xml_node data = Child(Child(doc, "worksheet"), "sheetData");
  WalkSheetData(data, [](const pugi::xml_node&, int) {}, [&](const pugi::xml_node& c, int cr, int cc) {
    const std::string type = Attr(c, "t");
    const char* v = Child(c, "v").text().get();
    if (type == "s") {
      const long i = std::atol(v);
      if (i >= 0 && static_cast<std::size_t>(i) < shared.size()) sheet->SetText(cr, cc, shared[static_cast<std::size_t>(i)]);
    } else if (type == "inlineStr") {
      sheet->SetText(cr, cc, StringItemText(Child(c, "is")));
    } else if (type == "str" || type == "e") {
      sheet->SetText(cr, cc, v);
    } else if (type == "b") {
      sheet->SetText(cr, cc, std::strcmp(v, "1") == 0 ? "TRUE" : "FALSE");
    } else if (*v) {
      char* end = nullptr;
      const double d = cz::StrtodC(v, &end);
      if (end != nullptr && *end == '\0') sheet->SetNumber(cr, cc, d);
      else sheet->SetText(cr, cc, v);
    }
  });
  return true;
}

// A text as XML 1.0 can carry it: valid UTF-8 (U+FFFD for invalid bytes),
// without the control characters and the two non-characters XML forbids.
std::string XmlSafe(const std::string& s) {
  const std::string valid = cz::ValidUtf8(s);
  std::string out;
  out.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    const unsigned char ch = static_cast<unsigned char>(valid[i]);
    if (ch < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') continue;
    if (ch == 0xEF && i + 2 < valid.size() && static_cast<unsigned char>(valid[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(valid[i + 2]) & 0xFE) == 0xBE) {
      i += 2;  // U+FFFE, U+FFFF
      continue;
    }
    out += static_cast<char>(ch);
  }
  return out;
}

// The document as UTF-8 with exactly one XML declaration.
std::string DocText(pugi::xml_document& doc) {
  pugi::xml_node decl = doc.first_child();
  if (decl.type() != pugi::node_declaration) {
    decl = doc.prepend_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    decl.append_attribute("standalone") = "yes";
  } else if (decl.attribute("encoding")) {
    decl.attribute("encoding") = "UTF-8";
  }
  struct Writer : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
  } w;
  doc.save(w, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return w.out;
}

// "x:" of an element named "x:worksheet"; new elements take their parent's prefix.
std::string Prefix(const pugi::xml_node& n) {
  const char* name = n.name();
  const char* colon = std::strrchr(name, ':');
  return colon ? std::string(name, static_cast<std::size_t>(colon - name + 1)) : std::string();
}

// A new child element before the parent's extension list, which stays last.
pugi::xml_node AppendChild(pugi::xml_node parent, const std::string& name) {
  const pugi::xml_node ext = Child(parent, "extLst");
  return ext ? parent.insert_child_before(name.c_str(), ext) : parent.append_child(name.c_str());
}

// A new child element before the first child whose local name is in later,
// else at the end: keeps the order that the schema prescribes.
pugi::xml_node InsertBefore(pugi::xml_node parent, const std::string& name, std::initializer_list<const char*> later) {
  for (pugi::xml_node c : parent.children())
    if (c.type() == pugi::node_element)
      for (const char* l : later)
        if (std::strcmp(LocalName(c), l) == 0) return parent.insert_child_before(name.c_str(), c);
  return parent.append_child(name.c_str());
}

void SetAttr(pugi::xml_node n, const char* name, const std::string& value) {
  pugi::xml_attribute a = n.attribute(name);
  if (!a) a = n.append_attribute(name);
  a = value.c_str();
}

// The rows and cells of one worksheet being edited, by place.
struct SheetEdit {
  pugi::xml_node root;
  pugi::xml_node data;
  std::string prefix;
  std::map<int, pugi::xml_node> rows;
  std::map<std::pair<int, int>, pugi::xml_node> cells;
  std::set<std::string> droppedSharedFormulas;  // si of removed shared-formula masters
  bool formulaRemoved = false;
};

// Indexes sheetData and gives every row and cell an explicit reference, so
// that a cell can be inserted anywhere without moving the cells that follow
// their predecessor.
bool IndexSheet(pugi::xml_document& doc, SheetEdit* e) {
  e->root = Child(doc, "worksheet");
  if (!e->root) return false;
  e->prefix = Prefix(e->root);
  e->data = Child(e->root, "sheetData");
  if (!e->data)
    e->data = InsertBefore(e->root, e->prefix + "sheetData",
                           {"sheetCalcPr", "sheetProtection", "protectedRanges", "scenarios", "autoFilter",
                            "sortState", "dataConsolidate", "customSheetViews", "mergeCells", "phoneticPr",
                            "conditionalFormatting", "dataValidations", "hyperlinks", "printOptions",
                            "pageMargins", "pageSetup", "headerFooter", "rowBreaks", "colBreaks",
                            "customProperties", "cellWatches", "ignoredErrors", "smartTags", "drawing",
                            "legacyDrawing", "legacyDrawingHF", "picture", "oleObjects", "controls",
                            "webPublishItems", "tableParts", "extLst"});
  WalkSheetData(
      e->data,
      [&](pugi::xml_node row, int rowNo) {
        if (rowNo < 1 || rowNo > kMaxRows) return;
        if (!*Attr(row, "r")) SetAttr(row, "r", std::to_string(rowNo));
        e->rows.emplace(rowNo, row);
      },
      [&](pugi::xml_node c, int row, int column) {
        if (!*Attr(c, "r")) SetAttr(c, "r", CellReference(row, column));
        e->cells.emplace(std::make_pair(row, column), c);
      });
  return true;
}

// The style a spreadsheet application gives a new cell: the row's when the
// row is formatted, else that of the column range holding it.
std::string NewCellStyle(const SheetEdit& e, const pugi::xml_node& row, int column) {
  const std::string custom = Attr(row, "customFormat");
  if ((custom == "1" || custom == "true") && *Attr(row, "s")) return Attr(row, "s");
  for (pugi::xml_node col : Children(Child(e.root, "cols"), "col"))
    if (std::strtol(Attr(col, "min"), nullptr, 10) <= column && column <= std::strtol(Attr(col, "max"), nullptr, 10) &&
        *Attr(col, "style"))
      return Attr(col, "style");
  return std::string();
}

pugi::xml_node NewCell(SheetEdit* e, int row, int column) {
  pugi::xml_node rowNode;
  if (const auto it = e->rows.find(row); it != e->rows.end()) {
    rowNode = it->second;
  } else {
    const auto next = e->rows.upper_bound(row);
    rowNode = next != e->rows.end() ? e->data.insert_child_before((e->prefix + "row").c_str(), next->second)
                                    : AppendChild(e->data, e->prefix + "row");
    SetAttr(rowNode, "r", std::to_string(row));
    e->rows.emplace(row, rowNode);
  }
  const auto next = e->cells.upper_bound({row, column});
  pugi::xml_node c = next != e->cells.end() && next->second.parent() == rowNode
                         ? rowNode.insert_child_before((e->prefix + "c").c_str(), next->second)
                         : AppendChild(rowNode, e->prefix + "c");
  SetAttr(c, "r", CellReference(row, column));
  const std::string style = NewCellStyle(*e, rowNode, column);
  if (!style.empty() && style != "0") SetAttr(c, "s", style);
  // The row's optional span hint ("first:last" column) must cover the cell.
  if (pugi::xml_attribute spans = rowNode.attribute("spans")) {
    long first = 0, last = 0;
    if (std::sscanf(spans.value(), "%ld:%ld", &first, &last) == 2 && (column < first || column > last))
      spans = (std::to_string(std::min(first, static_cast<long>(column))) + ":" +
               std::to_string(std::max(last, static_cast<long>(column))))
                  .c_str();
  }
  e->cells.emplace(std::make_pair(row, column), c);
  return c;
}

// Removes the cell's value, formula and type; its style stays.
void ClearValue(SheetEdit* e, pugi::xml_node c) {
  for (const char* local : {"f", "v", "is"}) {
    while (pugi::xml_node n = Child(c, local)) {
      if (std::strcmp(local, "f") == 0) {
        e->formulaRemoved = true;
        if (std::strcmp(Attr(n, "t"), "shared") == 0 && *Attr(n, "ref"))
          e->droppedSharedFormulas.insert(Attr(n, "si"));
      }
      c.remove_child(n);
    }
  }
  c.remove_attribute("t");
  c.remove_attribute("vm");  // value metadata of the old value
}

// Writes the sheet's written cells into its part; nothing else changes.
void ApplyCells(const Worksheet& sheet, SheetEdit* e) {
  for (const auto& place : sheet.Written()) {
    const Cell& cell = sheet.At(place.first, place.second);
    auto found = e->cells.find(place);
    pugi::xml_node c = found != e->cells.end() ? found->second : pugi::xml_node();
    if (cell.kind == Cell::kEmpty) {
      if (!c) continue;
      ClearValue(e, c);
      // A cell left with nothing but its reference and the default style goes.
      bool bare = !Child(c, "extLst");
      for (pugi::xml_attribute a : c.attributes())
        bare = bare && (std::strcmp(a.name(), "r") == 0 || (std::strcmp(a.name(), "s") == 0 && std::strcmp(a.value(), "0") == 0));
      if (bare) {
        c.parent().remove_child(c);
        e->cells.erase(found);
      }
      continue;
    }
    if (!c) c = NewCell(e, place.first, place.second);
    ClearValue(e, c);
    if (cell.kind == Cell::kNumber) {
      AppendChild(c, e->prefix + "v").text() = NumberText(cell.number).c_str();
    } else {
      SetAttr(c, "t", "inlineStr");
      pugi::xml_node t = AppendChild(c, e->prefix + "is").append_child((e->prefix + "t").c_str());
      t.append_attribute("xml:space") = "preserve";
      t.text() = XmlSafe(cell.text).c_str();
    }
  }
  // A shared formula whose master cell was overwritten leaves its other
  // cells with their last values.
  if (!e->droppedSharedFormulas.empty())
    for (auto& [place, c] : e->cells)
      if (pugi::xml_node f = Child(c, "f"); f && std::strcmp(Attr(f, "t"), "shared") == 0 &&
                                           e->droppedSharedFormulas.count(Attr(f, "si")) != 0)
        c.remove_child(f);
  // The used range, where the part states it.
  if (pugi::xml_node dim = Child(e->root, "dimension")) {
    std::string ref = "A1";
    if (!e->cells.empty()) {
      int r0 = kMaxRows, r1 = 1, c0 = kMaxColumns, c1 = 1;
      for (const auto& [place, c] : e->cells) {
        r0 = std::min(r0, place.first);
        r1 = std::max(r1, place.first);
        c0 = std::min(c0, place.second);
        c1 = std::max(c1, place.second);
      }
      ref = CellReference(r0, c0);
      if (r0 != r1 || c0 != c1) ref += ":" + CellReference(r1, c1);
    }
    SetAttr(dim, "ref", ref);
  }
}

// The prefix under which the element's document declares namespace ns,
// declared as "r" (or another free name) on the root when missing.
std::string NamespacePrefix(pugi::xml_node root, const char* ns) {
  for (pugi::xml_attribute a : root.attributes())
    if (std::strncmp(a.name(), "xmlns:", 6) == 0 && std::strcmp(a.value(), ns) == 0) return a.name() + 6;
  std::string name = "r";
  while (root.attribute(("xmlns:" + name).c_str())) name += "r";
  root.append_attribute(("xmlns:" + name).c_str()) = ns;
  return name;
}

constexpr const char* kNewSheetXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheetData/></worksheet>";

// The smallest style sheet the format requires: one font, fill, border and format.
constexpr const char* kStylesXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
    "</styleSheet>";

// One XML part of the package being saved, parsed on first use and written
// back only when it was changed.
class PartEdit {
 public:
  explicit PartEdit(std::string name) : name_(std::move(name)) {}
  // False when the package lacks the part or it is not XML.
  bool Open(std::vector<PackagePart>& parts) {
    if (!opened_) {
      opened_ = true;
      std::string bytes;
      present_ = ReadPart(parts, name_, &bytes) && ParseXml(bytes, &doc_);
    }
    return present_;
  }
  pugi::xml_document& Doc() {
    changed_ = true;
    return doc_;
  }
  void Store(std::vector<PackagePart>& parts) {
    if (!changed_ || !present_) return;
    if (PackagePart* p = FindPart(parts, name_)) p->data = DocText(doc_);
  }

 private:
  std::string name_;
  pugi::xml_document doc_;
  bool opened_ = false, present_ = false, changed_ = false;
};

// Registers a new worksheet part in the workbook, its relationships and the
// content types; returns the part's name.
std::string AddSheetPart(std::vector<PackagePart>& parts, const std::string& folder, const std::string& sheetName,
                         PartEdit& wb, PartEdit& rels, PartEdit& types) {
  int k = 1;
  while (FindPart(parts, folder + "worksheets/sheet" + std::to_string(k) + ".xml") != nullptr) ++k;
  const std::string target = "worksheets/sheet" + std::to_string(k) + ".xml";
  parts.push_back({folder + target, kNewSheetXml});

  pugi::xml_node relRoot = Child(rels.Doc(), "Relationships");
  std::set<std::string> ids;
  for (pugi::xml_node r : Children(relRoot, "Relationship")) ids.insert(Attr(r, "Id"));
  int n = 1;
  while (ids.count("rId" + std::to_string(n)) != 0) ++n;
  const std::string id = "rId" + std::to_string(n);
  pugi::xml_node rel = relRoot.append_child((Prefix(relRoot) + "Relationship").c_str());
  rel.append_attribute("Id") = id.c_str();
  rel.append_attribute("Type") = kRelWorksheet;
  rel.append_attribute("Target") = target.c_str();

  pugi::xml_node wbRoot = Child(wb.Doc(), "workbook");
  pugi::xml_node sheets = Child(wbRoot, "sheets");
  if (!sheets)
    sheets = InsertBefore(wbRoot, Prefix(wbRoot) + "sheets",
                          {"functionGroups", "externalReferences", "definedNames", "calcPr", "oleSize",
                           "customWorkbookViews", "pivotCaches", "smartTagPr", "smartTagTypes", "webPublishing",
                           "fileRecoveryPr", "webPublishObjects", "extLst"});
  long sheetId = 0;
  for (pugi::xml_node s : Children(sheets, "sheet")) sheetId = std::max(sheetId, std::atol(Attr(s, "sheetId")));
  pugi::xml_node s = sheets.append_child((Prefix(wbRoot) + "sheet").c_str());
  s.append_attribute("name") = XmlSafe(sheetName).c_str();
  s.append_attribute("sheetId") = static_cast<long long>(sheetId + 1);
  s.append_attribute((NamespacePrefix(wbRoot, kNsRel) + ":id").c_str()) = id.c_str();

  if (types.Open(parts)) {
    pugi::xml_node typesRoot = Child(types.Doc(), "Types");
    pugi::xml_node o = typesRoot.append_child((Prefix(typesRoot) + "Override").c_str());
    o.append_attribute("PartName") = ("/" + folder + target).c_str();
    o.append_attribute("ContentType") = kTypeWorksheet;
  }
  return folder + target;
}

// Cached formula results may no longer hold after cells were written: the
// workbook asks the spreadsheet application to recalculate when it opens.
void AskFullRecalculation(PartEdit& wb) {
  pugi::xml_node root = Child(wb.Doc(), "workbook");
  pugi::xml_node calc = Child(root, "calcPr");
  if (!calc)
    calc = InsertBefore(root, Prefix(root) + "calcPr",
                        {"oleSize", "customWorkbookViews", "pivotCaches", "smartTagPr", "smartTagTypes",
                         "webPublishing", "fileRecoveryPr", "webPublishObjects", "extLst"});
  SetAttr(calc, "fullCalcOnLoad", "1");
}

// The calculation chain lists formula cells; with a formula gone it is
// dropped (the application rebuilds it) rather than left naming a value.
void DropCalcChain(std::vector<PackagePart>& parts, const std::string& folder, PartEdit& rels, PartEdit& types) {
  pugi::xml_node relRoot = Child(rels.Doc(), "Relationships");
  for (pugi::xml_node r : Children(relRoot, "Relationship")) {
    const char* type = Attr(r, "Type");
    const std::size_t len = std::strlen(type);
    if (len < 10 || std::strcmp(type + len - 10, "/calcChain") != 0) continue;
    const std::string target = ResolveTarget(folder, Attr(r, "Target"));
    relRoot.remove_child(r);
    std::erase_if(parts, [&](const PackagePart& p) { return SameName(p.name, target); });
    if (types.Open(parts))
      for (pugi::xml_node o : Children(Child(types.Doc(), "Types"), "Override"))
        if (SameName(Attr(o, "PartName"), "/" + target)) o.parent().remove_child(o);
  }
}

struct SourceFree {
  void operator()(zip_source_t* s) const {
    if (s != nullptr) zip_source_free(s);
  }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

// The package as the bytes of a zip archive, made in memory: the file is
// then written from them through one replacing file (flushed, renamed, its
// folder flushed), never through a temporary file of the zip library's own.
// Messages name `shown`, the file the user chose.
bool ZipBytes(const std::string& shown, const std::vector<PackagePart>& parts, std::string* bytes,
              std::string* error) {
  const std::string cannot = "Cannot write workbook '" + shown + "'";
  zip_error_t ze;
  zip_error_init(&ze);
  SourcePtr archive(zip_source_buffer_create(nullptr, 0, 0, &ze));
  ZipPtr z(archive ? zip_open_from_source(archive.get(), ZIP_TRUNCATE, &ze) : nullptr);
  const std::string why = zip_error_strerror(&ze);
  zip_error_fini(&ze);
  if (!z) return Fail(error, cannot + ": " + why + ".");
  // The archive holds a reference of its own from here on; ours outlives it.
  zip_source_keep(archive.get());
  for (const PackagePart& p : parts) {
    if (!p.name.empty() && p.name.back() == '/') {
      if (zip_dir_add(z.get(), p.name.c_str(), ZIP_FL_ENC_GUESS) < 0)
        return Fail(error, cannot + ": " + zip_strerror(z.get()) + ".");
      continue;
    }
    zip_source_t* src = zip_source_buffer(z.get(), p.data.data(), p.data.size(), 0);
    if (src == nullptr || zip_file_add(z.get(), p.name.c_str(), src, ZIP_FL_ENC_GUESS) < 0) {
      if (src != nullptr) zip_source_free(src);
      return Fail(error, cannot + ": " + zip_strerror(z.get()) + ".");
    }
  }
  // zip_close writes the archive; the buffers above live until it returns.
  if (zip_close(z.get()) != 0) return Fail(error, cannot + ": " + zip_strerror(z.get()) + ".");
  z.release();
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_stat(archive.get(), &st) != 0 || !(st.valid & ZIP_STAT_SIZE) || zip_source_open(archive.get()) != 0)
    return Fail(error, cannot + ".");
  bytes->resize(static_cast<std::size_t>(st.size));
  const zip_int64_t got = zip_source_read(archive.get(), bytes->data(), st.size);
  zip_source_close(archive.get());
  if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) return Fail(error, cannot + ".");
  return true;
}

}  // namespace

Workbook::Workbook() : mainPart_("xl/workbook.xml") {
  sheets_.emplace_back("Sheet1");
  parts_ = {
      {"[Content_Types].xml",
       std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Types xmlns=\"") +
           kNsContentTypes +
           "\"><Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Override PartName=\"/xl/workbook.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
           "<Override PartName=\"/xl/styles.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/></Types>"},
      {"_rels/.rels", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Relationships xmlns=\"") +
                          kNsPkgRel + "\"><Relationship Id=\"rId1\" Type=\"" + kRelOfficeDoc +
                          "\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><workbook xmlns=\"") +
                              kNsMain + "\" xmlns:r=\"" + kNsRel + "\"><sheets/></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Relationships xmlns=\"") + kNsPkgRel +
           "\"><Relationship Id=\"rId1\" Type=\"" + kRelStyles + "\" Target=\"styles.xml\"/></Relationships>"},
      {"xl/styles.xml", kStylesXml},
  };
}

bool Workbook::Load(const std::string& path, std::string* error) {
  int code = 0;
  ZipPtr z(zip_open(path.c_str(), ZIP_RDONLY, &code));
  if (!z) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    const std::string why = zip_error_strerror(&ze);
    zip_error_fini(&ze);
    return Fail(error, "Cannot open workbook '" + path + "': " + why + ".");
  }
  const std::string bad = "'" + path + "' is not a valid workbook file.";
  std::vector<PackagePart> parts;
  if (!ReadPackage(z.get(), &parts)) return Fail(error, bad);

  // The main part is named by the package relationships, by default xl/workbook.xml.
  std::string bytes, mainPart = "xl/workbook.xml";
  pugi::xml_document doc;
  if (ReadPart(parts, "_rels/.rels", &bytes) && ParseXml(bytes, &doc))
    for (pugi::xml_node r : Children(Child(doc, "Relationships"), "Relationship"))
      if (std::strcmp(Attr(r, "Type"), kRelOfficeDoc) == 0) mainPart = ResolveTarget("", Attr(r, "Target"));
  const std::string folder = mainPart.substr(0, mainPart.find_last_of('/') + 1);
  const std::string relsPart = folder + "_rels/" + mainPart.substr(folder.size()) + ".rels";

  pugi::xml_document wbDoc, relDoc;
  if (!ReadPart(parts, mainPart, &bytes) || !ParseXml(bytes, &wbDoc)) return Fail(error, bad);
  if (!ReadPart(parts, relsPart, &bytes) || !ParseXml(bytes, &relDoc)) return Fail(error, bad);

  // Shared strings are optional; a package without them uses inline texts.
  std::vector<std::string> shared;
  pugi::xml_document ssDoc;
  for (pugi::xml_node r : Children(Child(relDoc, "Relationships"), "Relationship")) {
    if (std::strstr(Attr(r, "Type"), "/sharedStrings") == nullptr) continue;
    if (ReadPart(parts, ResolveTarget(folder, Attr(r, "Target")), &bytes) && ParseXml(bytes, &ssDoc))
      for (pugi::xml_node si : Children(Child(ssDoc, "sst"), "si")) shared.push_back(StringItemText(si));
  }

  std::vector<Worksheet> sheets;
  for (pugi::xml_node s : Children(Child(Child(wbDoc, "workbook"), "sheets"), "sheet")) {
    const std::string id = Attr(s, "id");
    std::string target;
    for (pugi::xml_node r : Children(Child(relDoc, "Relationships"), "Relationship"))
      if (id == Attr(r, "Id")) target = ResolveTarget(folder, Attr(r, "Target"));
    pugi::xml_document sheetDoc;
    if (target.empty() || !ReadPart(parts, target, &bytes) || !ParseXml(bytes, &sheetDoc)) return Fail(error, bad);
    sheets.emplace_back(Attr(s, "name"));
    ReadSheetCells(sheetDoc, shared, &sheets.back());
    sheets.back().part_ = FindPart(parts, target)->name;
    sheets.back().written_.clear();
  }
  if (sheets.empty()) return Fail(error, bad);
  sheets_ = std::move(sheets);
  parts_ = std::move(parts);
  mainPart_ = mainPart;
  fileName_ = path;
  return true;
}

bool Workbook::SaveAs(const std::string& path, std::string* error) {
  std::vector<PackagePart> parts = parts_;
  const std::string folder = mainPart_.substr(0, mainPart_.find_last_of('/') + 1);
  PartEdit wb(mainPart_), rels(folder + "_rels/" + mainPart_.substr(folder.size()) + ".rels"),
      types("[Content_Types].xml");
  if (!wb.Open(parts) || !rels.Open(parts))
    return Fail(error, "Cannot write workbook '" + path + "': its package lacks the workbook part.");

  bool written = false, formulaRemoved = false;
  std::vector<std::string> sheetParts;
  for (const Worksheet& sheet : sheets_) {
    std::string part = sheet.part_;
    if (part.empty()) part = AddSheetPart(parts, folder, sheet.Name().empty() ? "Sheet" + std::to_string(sheetParts.size() + 1) : sheet.Name(), wb, rels, types);
    sheetParts.push_back(part);
    if (sheet.written_.empty()) continue;
    PackagePart* p = FindPart(parts, part);
    pugi::xml_document doc;
    SheetEdit edit;
    if (p == nullptr || !ParseXml(p->data, &doc) || !IndexSheet(doc, &edit))
      return Fail(error, "Cannot write workbook '" + path + "': sheet '" + sheet.Name() + "' cannot be read back.");
    ApplyCells(sheet, &edit);
    p->data = DocText(doc);
    written = true;
    formulaRemoved = formulaRemoved || edit.formulaRemoved;
  }
  if (written) AskFullRecalculation(wb);
  if (formulaRemoved) DropCalcChain(parts, folder, rels, types);
  wb.Store(parts);
  rels.Store(parts);
  types.Store(parts);

  // The package replaces the real target (links followed) only once it is
  // whole on the disk; a read-only workbook is left as it was.
  std::string bytes, reason;
  if (!ZipBytes(path, parts, &bytes, error)) return false;
  if (!ReplaceFileContents(path, bytes, &reason)) return Fail(error, "Cannot write workbook '" + path + "': " + reason + ".");
  parts_ = std::move(parts);
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    sheets_[i].part_ = sheetParts[i];
    sheets_[i].written_.clear();
  }
  fileName_ = path;
  return true;
}

}  // namespace cz::sheet
