// .xlsx storage of the workbook model (ECMA-376 SpreadsheetML package).
#include <zip.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "platform/CLocale.h"
#include "platform/sheet/Workbook.h"

namespace cz::sheet {

namespace {

// Largest package part read, bytes; a larger part is refused rather than
// inflated (protects against compressed bombs).
constexpr zip_uint64_t kMaxPartBytes = 256u * 1024u * 1024u;

constexpr const char* kNsMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kNsRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kNsPkgRel = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* kRelWorksheet = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
constexpr const char* kRelStyles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* kRelOfficeDoc =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";

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

// One package part as bytes; false when it is missing or unreadable.
bool ReadPart(zip_t* z, const std::string& name, std::string* out) {
  const zip_int64_t index = zip_name_locate(z, name.c_str(), 0);
  if (index < 0) return false;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(z, static_cast<zip_uint64_t>(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
      st.size > kMaxPartBytes)
    return false;
  zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(index), 0);
  if (f == nullptr) return false;
  out->assign(static_cast<std::size_t>(st.size), '\0');
  const zip_int64_t n = out->empty() ? 0 : zip_fread(f, out->data(), st.size);
  zip_fclose(f);
  return n == static_cast<zip_int64_t>(st.size);
}

bool ParseXml(const std::string& bytes, pugi::xml_document* doc) {
  return doc->load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
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

// Cells of one worksheet part. Row and cell references are optional
// (ECMA-376 18.3.1.73, 18.3.1.4): without one the row or column follows the
// previous. Cell types: s shared string, inlineStr, str formula text, e
// error, b boolean, n or none a number.
bool ReadSheetCells(const pugi::xml_document& doc, const std::vector<std::string>& shared, Worksheet* sheet) {
  const pugi::xml_node data = Child(Child(doc, "worksheet"), "sheetData");
  int rowNo = 0;
  for (pugi::xml_node row : Children(data, "row")) {
    const char* r = Attr(row, "r");
    rowNo = *r ? std::atoi(r) : rowNo + 1;
    int colNo = 0;
    for (pugi::xml_node c : Children(row, "c")) {
      int cr = rowNo, cc = colNo + 1;
      const char* ref = Attr(c, "r");
      if (*ref && !ParseCellReference(ref, &cr, &cc)) continue;
      colNo = cc;
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
    }
  }
  return true;
}

// Characters that XML 1.0 cannot carry are left out of written texts.
std::string XmlSafe(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char ch : s)
    if (ch >= 0x20 || ch == '\t' || ch == '\n' || ch == '\r') out += static_cast<char>(ch);
  return out;
}

std::string DocText(const pugi::xml_document& doc) {
  struct Writer : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
  } w;
  doc.save(w, "", pugi::format_raw, pugi::encoding_utf8);
  return w.out;
}

std::string SheetXml(const Worksheet& sheet) {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  decl.append_attribute("standalone") = "yes";
  pugi::xml_node ws = doc.append_child("worksheet");
  ws.append_attribute("xmlns") = kNsMain;
  ws.append_attribute("xmlns:r") = kNsRel;
  pugi::xml_node data = ws.append_child("sheetData");
  pugi::xml_node row;
  int rowNo = 0;
  for (const auto& [place, cell] : sheet.Cells()) {
    if (place.first != rowNo) {
      rowNo = place.first;
      row = data.append_child("row");
      row.append_attribute("r") = rowNo;
    }
    pugi::xml_node c = row.append_child("c");
    c.append_attribute("r") = CellReference(place.first, place.second).c_str();
    if (cell.kind == Cell::kNumber) {
      c.append_child("v").text() = NumberText(cell.number).c_str();
    } else {
      c.append_attribute("t") = "inlineStr";
      pugi::xml_node t = c.append_child("is").append_child("t");
      t.append_attribute("xml:space") = "preserve";
      t.text() = XmlSafe(cell.text).c_str();
    }
  }
  return DocText(doc);
}

std::string WorkbookXml(const std::vector<std::string>& names) {
  pugi::xml_document doc;
  pugi::xml_node wb = doc.append_child("workbook");
  wb.append_attribute("xmlns") = kNsMain;
  wb.append_attribute("xmlns:r") = kNsRel;
  pugi::xml_node sheets = wb.append_child("sheets");
  for (std::size_t i = 0; i < names.size(); ++i) {
    pugi::xml_node s = sheets.append_child("sheet");
    s.append_attribute("name") = XmlSafe(names[i]).c_str();
    s.append_attribute("sheetId") = static_cast<unsigned>(i + 1);
    s.append_attribute("r:id") = ("rId" + std::to_string(i + 1)).c_str();
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>" + DocText(doc);
}

std::string RelsXml(const std::vector<std::pair<std::string, std::string>>& rels) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Relationships xmlns=\"";
  x += kNsPkgRel;
  x += "\">";
  for (std::size_t i = 0; i < rels.size(); ++i)
    x += "<Relationship Id=\"rId" + std::to_string(i + 1) + "\" Type=\"" + rels[i].first + "\" Target=\"" +
         rels[i].second + "\"/>";
  return x + "</Relationships>";
}

std::string ContentTypesXml(int sheetCount) {
  std::string x =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
  for (int i = 1; i <= sheetCount; ++i)
    x += "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(i) +
         ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
  return x + "</Types>";
}

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

}  // namespace

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

  // The main part is named by the package relationships, by default xl/workbook.xml.
  std::string bytes, mainPart = "xl/workbook.xml";
  pugi::xml_document doc;
  if (ReadPart(z.get(), "_rels/.rels", &bytes) && ParseXml(bytes, &doc))
    for (pugi::xml_node r : Children(Child(doc, "Relationships"), "Relationship"))
      if (std::strcmp(Attr(r, "Type"), kRelOfficeDoc) == 0) mainPart = ResolveTarget("", Attr(r, "Target"));
  const std::string folder = mainPart.substr(0, mainPart.find_last_of('/') + 1);
  const std::string relsPart = folder + "_rels/" + mainPart.substr(folder.size()) + ".rels";

  pugi::xml_document wbDoc, relDoc;
  if (!ReadPart(z.get(), mainPart, &bytes) || !ParseXml(bytes, &wbDoc)) return Fail(error, bad);
  if (!ReadPart(z.get(), relsPart, &bytes) || !ParseXml(bytes, &relDoc)) return Fail(error, bad);

  // Shared strings are optional; a package without them uses inline texts.
  std::vector<std::string> shared;
  pugi::xml_document ssDoc;
  for (pugi::xml_node r : Children(Child(relDoc, "Relationships"), "Relationship")) {
    if (std::strstr(Attr(r, "Type"), "/sharedStrings") == nullptr) continue;
    if (ReadPart(z.get(), ResolveTarget(folder, Attr(r, "Target")), &bytes) && ParseXml(bytes, &ssDoc))
      for (pugi::xml_node si : Children(Child(ssDoc, "sst"), "si")) shared.push_back(StringItemText(si));
  }

  std::vector<Worksheet> sheets;
  for (pugi::xml_node s : Children(Child(Child(wbDoc, "workbook"), "sheets"), "sheet")) {
    const std::string id = Attr(s, "id");
    std::string target;
    for (pugi::xml_node r : Children(Child(relDoc, "Relationships"), "Relationship"))
      if (id == Attr(r, "Id")) target = ResolveTarget(folder, Attr(r, "Target"));
    pugi::xml_document sheetDoc;
    if (target.empty() || !ReadPart(z.get(), target, &bytes) || !ParseXml(bytes, &sheetDoc)) return Fail(error, bad);
    sheets.emplace_back(Attr(s, "name"));
    ReadSheetCells(sheetDoc, shared, &sheets.back());
  }
  if (sheets.empty()) return Fail(error, bad);
  sheets_ = std::move(sheets);
  fileName_ = path;
  return true;
}

// Package written: [Content_Types].xml, _rels/.rels, xl/workbook.xml with
// its relationships, xl/styles.xml and xl/worksheets/sheet1..N.xml.
bool Workbook::SaveAs(const std::string& path, std::string* error) {
  const std::string part = path + ".part";
  std::vector<std::pair<std::string, std::string>> files;  // name, contents
  std::vector<std::string> names;
  std::vector<std::pair<std::string, std::string>> wbRels;
  for (int i = 1; i <= SheetCount(); ++i) {
    const std::string sheetFile = "worksheets/sheet" + std::to_string(i) + ".xml";
    files.emplace_back("xl/" + sheetFile, SheetXml(*Sheet(i)));
    names.push_back(Sheet(i)->Name().empty() ? "Sheet" + std::to_string(i) : Sheet(i)->Name());
    wbRels.emplace_back(kRelWorksheet, sheetFile);
  }
  wbRels.emplace_back(kRelStyles, "styles.xml");
  files.emplace_back("[Content_Types].xml", ContentTypesXml(SheetCount()));
  files.emplace_back("_rels/.rels", RelsXml({{kRelOfficeDoc, "xl/workbook.xml"}}));
  files.emplace_back("xl/workbook.xml", WorkbookXml(names));
  files.emplace_back("xl/_rels/workbook.xml.rels", RelsXml(wbRels));
  files.emplace_back("xl/styles.xml", kStylesXml);

  int code = 0;
  ZipPtr z(zip_open(part.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
  if (!z) return Fail(error, "Cannot write workbook '" + path + "'.");
  for (const auto& [name, data] : files) {
    zip_source_t* src = zip_source_buffer(z.get(), data.data(), data.size(), 0);
    if (src == nullptr || zip_file_add(z.get(), name.c_str(), src, ZIP_FL_ENC_UTF_8) < 0) {
      if (src != nullptr) zip_source_free(src);
      return Fail(error, "Cannot write workbook '" + path + "': " + zip_strerror(z.get()) + ".");
    }
  }
  // zip_close writes the archive; the buffers above live until it returns.
  if (zip_close(z.get()) != 0) {
    const std::string why = zip_strerror(z.get());
    std::remove(part.c_str());
    return Fail(error, "Cannot write workbook '" + path + "': " + why + ".");
  }
  z.release();
  if (std::rename(part.c_str(), path.c_str()) != 0) {
    std::remove(part.c_str());
    return Fail(error, "Cannot write workbook '" + path + "'.");
  }
  fileName_ = path;
  return true;
}

}  // namespace cz::sheet
