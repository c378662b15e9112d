#include "platform/TextEncoding.h"

#include <cstdint>

#include "platform/BoundedText.h"

namespace cz {

namespace {

// Code points of Windows-1252 0x80..0x9F (unassigned bytes keep their value).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The value of the encoding pseudo-attribute of the declaration that text
// starts with ("" when there is none).
std::string DeclaredEncoding(std::string_view text) {
  if (text.substr(0, 5) != "<?xml" || text.size() < 6 || !IsBlank(text[5])) return std::string();
  const std::size_t end = text.find("?>");
  if (end == std::string_view::npos) return std::string();
  const std::string_view decl = text.substr(0, end);
  std::size_t at = decl.find("encoding");
  while (at != std::string_view::npos && (at == 0 || !IsBlank(decl[at - 1]))) at = decl.find("encoding", at + 1);
  if (at == std::string_view::npos) return std::string();
  std::size_t i = at + 8;
  while (i < decl.size() && IsBlank(decl[i])) ++i;
  if (i >= decl.size() || decl[i] != '=') return std::string();
  ++i;
  while (i < decl.size() && IsBlank(decl[i])) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return std::string();
  const char quote = decl[i++];
  const std::size_t close = decl.find(quote, i);
  if (close == std::string_view::npos) return std::string();
  return std::string(decl.substr(i, close - i));
}

// Labels read as Windows-1252: its own, and those of ISO-8859-1 and ASCII,
// whose printable characters it holds at the same byte values (writers of
// on Windows put Windows-1252 bytes under these labels too).
constexpr std::string_view kWindows1252Labels[] = {
    "windows-1252", "cp1252",   "x-cp1252", "iso-8859-1", "iso8859-1", "iso_8859-1", "iso_8859-1:1987",
    "latin1",       "latin-1",  "l1",       "iso-ir-100", "cp819",     "ibm819",     "csisolatin1",
    "us-ascii",     "ascii",    "ansi_x3.4-1968"};

template <std::size_t N>
bool OneOf(std::string_view label, const std::string_view (&labels)[N]) {
  for (std::string_view l : labels)
    if (EqualNoCase(label, l)) return true;
  return false;
}

}  // namespace

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = Utf8CharLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) out.push_back(ch);
    else if (b < 0xA0) AppendUtf8(&out, kCp1252High[b - 0x80]);
    else AppendUtf8(&out, b);
  }
  return out;
}

XmlTextSource XmlTextToUtf8(std::string* bytes, std::string* declared) {
  if (declared != nullptr) declared->clear();
  std::string_view text(*bytes);
  // UTF-16 and UTF-32 show a byte-order mark or a zero byte among the first
  // four bytes (the '<' of the document is ASCII).
  if (text.size() >= 2) {
    const auto b0 = static_cast<unsigned char>(text[0]), b1 = static_cast<unsigned char>(text[1]);
    if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE)) return XmlTextSource::kWide;
    for (std::size_t i = 0; i < 4 && i < text.size(); ++i)
      if (text[i] == '\0') return XmlTextSource::kWide;
  }
  const bool marked = text.substr(0, 3) == "\xEF\xBB\xBF";
  if (marked) text.remove_prefix(3);
  const std::string label = DeclaredEncoding(text);
  if (declared != nullptr) *declared = label;
  if (!marked && OneOf(label, kWindows1252Labels)) {
    *bytes = Windows1252ToUtf8(text);
    return XmlTextSource::kDeclared8Bit;
  }
  if (IsUtf8(text)) return XmlTextSource::kUtf8;
  // Meant as UTF-8 (marked, declared or by default) or declared in an
  // encoding not known here, but not UTF-8: 8-bit texts written on
  // Windows.
  *bytes = Windows1252ToUtf8(text);
  return XmlTextSource::kNotUtf8;
}

}  // namespace cz
