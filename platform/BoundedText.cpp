#include "platform/BoundedText.h"

namespace cz {

namespace {

// Length of the UTF-8 sequence that starts with lead byte c, or 1 for a byte
// that cannot start one (continuation bytes, invalid leads).
std::size_t SequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) return 2;
  if ((c & 0xF0) == 0xE0) return 3;
  if ((c & 0xF8) == 0xF0) return 4;
  return 1;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::size_t Utf8CharLength(std::string_view src, std::size_t pos) {
  if (pos >= src.size()) return 0;
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(src[pos + k]); };
  unsigned char c = byte(0);
  if (c < 0x80) return 1;
  std::size_t len = SequenceLength(c);
  if (len == 1 || c == 0xC0 || c == 0xC1 || c > 0xF4 || pos + len > src.size()) return 0;
  for (std::size_t k = 1; k < len; ++k)
    if (!IsContinuation(byte(k))) return 0;
  // The second byte's range rules out overlong forms, surrogates and code
  // points above U+10FFFF (RFC 3629, section 4).
  unsigned char c1 = byte(1);
  if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
    return 0;
  return len;
}

std::size_t Utf8PrefixLength(std::string_view src, std::size_t limit) {
  if (src.size() <= limit) return src.size();
  std::size_t pos = 0;
  while (pos < limit) {
    std::size_t len = SequenceLength(static_cast<unsigned char>(src[pos]));
    // A lead byte whose continuation bytes are missing or malformed counts as
    // a single byte, so invalid input is never dropped wholesale.
    if (len > 1) {
      bool whole = pos + len <= src.size();
      for (std::size_t k = 1; whole && k < len; ++k)
        whole = IsContinuation(static_cast<unsigned char>(src[pos + k]));
      if (!whole) len = 1;
    }
    if (pos + len > limit) break;
    pos += len;
  }
  return pos;
}

std::size_t Utf8CharCount(std::string_view src) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < src.size(); ++count) {
    const std::size_t len = Utf8CharLength(src, pos);
    pos += len == 0 ? 1 : len;
  }
  return count;
}

std::size_t Utf8CharsPrefixLength(std::string_view src, std::size_t chars) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < chars && pos < src.size(); ++n) {
    const std::size_t len = Utf8CharLength(src, pos);
    pos += len == 0 ? 1 : len;
  }
  return pos;
}

std::string ValidUtf8(std::string_view src) {
  std::string out;
  out.reserve(src.size());
  std::size_t pos = 0;
  while (pos < src.size()) {
    const std::size_t len = Utf8CharLength(src, pos);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      pos += 1;
    } else {
      out.append(src.data() + pos, len);
      pos += len;
    }
  }
  return out;
}

bool CopyText(char* dst, std::size_t cap, std::string_view src) {
  if (dst == nullptr || cap == 0) return src.empty();
  // Stop at an embedded NUL: the field is a C string.
  std::size_t nul = src.find('\0');
  if (nul != std::string_view::npos) src = src.substr(0, nul);
  std::size_t n = Utf8PrefixLength(src, cap - 1);
  std::memmove(dst, src.data(), n);
  dst[n] = '\0';
  return n == src.size();
}

bool CopyTextExact(char* dst, std::size_t cap, std::string_view src) {
  std::size_t nul = src.find('\0');
  if (nul != std::string_view::npos) src = src.substr(0, nul);
  if (dst == nullptr || cap == 0 || src.size() > cap - 1) return false;
  std::memmove(dst, src.data(), src.size());
  dst[src.size()] = '\0';
  return true;
}

bool AppendText(char* dst, std::size_t cap, std::string_view src) {
  if (dst == nullptr || cap == 0) return src.empty();
  std::size_t used = strnlen(dst, cap - 1);
  return CopyText(dst + used, cap - used, src);
}

}  // namespace cz
