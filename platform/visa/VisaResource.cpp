// Resource strings: parsing, canonical form and search-expression matching.
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/CLocale.h"
#include "platform/visa/VisaTransport.h"

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> SplitColons(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t pos = text.find("::", start);
    if (pos == std::string::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, pos - start));
    start = pos + 2;
  }
}

// Whole-text unsigned number in decimal or 0x-hex, at most max.
bool ParseNumber(const std::string& text, unsigned long max, unsigned long* out) {
  if (text.empty()) return false;
  int base = 10;
  std::size_t skip = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    skip = 2;
  }
  for (std::size_t i = skip; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (base == 10 ? !std::isdigit(c) : !std::isxdigit(c)) return false;
  }
  if (text.size() - skip > 10) return false;
  unsigned long v = std::strtoul(text.c_str() + skip, nullptr, base);
  if (v > max) return false;
  *out = v;
  return true;
}

// "TCPIP", "TCPIP0", "GPIB1" ...: keyword with an optional board number.
bool ParseKeyword(const std::string& part, const char* keyword, int* board) {
  std::string up = Upper(part);
  std::size_t n = std::char_traits<char>::length(keyword);
  if (up.compare(0, n, keyword) != 0) return false;
  std::string rest = up.substr(n);
  if (rest.empty()) {
    *board = 0;
    return true;
  }
  unsigned long v = 0;
  if (rest.size() > 3 || !ParseNumber(rest, 999, &v) || rest.find('X') != std::string::npos) return false;
  *board = static_cast<int>(v);
  return true;
}

}  // namespace

bool VisaResource_Parse(const char* text, VisaResource* out) {
  if (!text || !out) return false;
  std::vector<std::string> parts = SplitColons(text);
  for (const std::string& p : parts)
    if (p.empty()) return false;
  VisaResource res;
  std::string last = Upper(parts.back());
  const bool hasInstr = last == "INSTR";
  if (ParseKeyword(parts[0], "TCPIP", &res.board)) {
    if (parts.size() == 4 && last == "SOCKET") {
      unsigned long port = 0;
      if (!ParseNumber(parts[2], 65535, &port) || port == 0) return false;
      res.kind = VisaResourceKind::kSocket;
      res.host = parts[1];
      res.port = static_cast<uint16_t>(port);
    } else if (hasInstr && (parts.size() == 3 || parts.size() == 4)) {
      res.kind = VisaResourceKind::kVxi11;
      res.host = parts[1];
      res.deviceName = parts.size() == 4 ? parts[2] : "inst0";
    } else if (!hasInstr && parts.size() == 2) {
      res.kind = VisaResourceKind::kVxi11;
      res.host = parts[1];
      res.deviceName = "inst0";
    } else {
      return false;
    }
    if (res.host.find_first_of(" \t\r\n") != std::string::npos) return false;
  } else if (ParseKeyword(parts[0], "USB", &res.board)) {
    std::size_t n = parts.size() - (hasInstr ? 1 : 0);
    if (n != 3 && n != 4) return false;
    unsigned long vid = 0, pid = 0;
    if (!ParseNumber(parts[1], 0xFFFF, &vid) || !ParseNumber(parts[2], 0xFFFF, &pid)) return false;
    res.kind = VisaResourceKind::kUsb;
    res.vendorId = static_cast<uint16_t>(vid);
    res.productId = static_cast<uint16_t>(pid);
    if (n == 4) res.serial = parts[3];
  } else if (ParseKeyword(parts[0], "GPIB", &res.board)) {
    std::size_t n = parts.size() - (hasInstr ? 1 : 0);
    if (n != 2 && n != 3) return false;
    unsigned long pad = 0, sad = 0;
    if (!ParseNumber(parts[1], 30, &pad)) return false;
    res.kind = VisaResourceKind::kGpib;
    res.primaryAddress = static_cast<int>(pad);
    if (n == 3) {
      if (!ParseNumber(parts[2], 126, &sad)) return false;
      if (sad >= 96) sad -= 96;  // secondary addresses are also written as 96..126
      if (sad > 30) return false;
      res.secondaryAddress = static_cast<int>(sad);
    }
  } else {
    return false;
  }
  *out = res;
  return true;
}

std::string VisaResource_Format(const VisaResource& res) {
  switch (res.kind) {
    case VisaResourceKind::kSocket:
      return cz::FormatC("TCPIP%d::%s::%u::SOCKET", res.board, res.host.c_str(), unsigned(res.port));
    case VisaResourceKind::kVxi11:
      return cz::FormatC("TCPIP%d::%s::%s::INSTR", res.board, res.host.c_str(), res.deviceName.c_str());
    case VisaResourceKind::kUsb:
      if (res.serial.empty())
        return cz::FormatC("USB%d::0x%04X::0x%04X::INSTR", res.board, unsigned(res.vendorId),
                           unsigned(res.productId));
      return cz::FormatC("USB%d::0x%04X::0x%04X::%s::INSTR", res.board, unsigned(res.vendorId),
                         unsigned(res.productId), res.serial.c_str());
    case VisaResourceKind::kGpib:
      if (res.secondaryAddress >= 0)
        return cz::FormatC("GPIB%d::%d::%d::INSTR", res.board, res.primaryAddress,
                           res.secondaryAddress + 96);
      return cz::FormatC("GPIB%d::%d::INSTR", res.board, res.primaryAddress);
    case VisaResourceKind::kNone:
      break;
  }
  return std::string();
}

bool VisaResource_Match(const char* expr, const char* text) {
  // Iterative wildcard match with one back-track point, as for shell globs.
  const char* e = expr;
  const char* t = text;
  const char* starE = nullptr;
  const char* starT = nullptr;
  auto same = [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  };
  while (*t) {
    if (*e == '*') {
      starE = ++e;
      starT = t;
    } else if (*e == '?' || (*e && same(*e, *t))) {
      ++e;
      ++t;
    } else if (starE) {
      e = starE;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (*e == '*') ++e;
  return *e == '\0';
}
