#include "app/XmlWriter.h"

#include <cstdio>

#include "platform/BoundedText.h"

XmlWriter::XmlWriter() {
  out_.reserve(1 << 16);
  out_ += "<?xml version=\"1.0\"?>\r\n";
}

void XmlWriter::FinishStartTag() {
  if (startTagOpen_) {
    out_ += ">\r\n";  // an opening tag directly followed by another tag
    startTagOpen_ = false;
  }
}

void XmlWriter::Open(std::string_view tag) {
  FinishStartTag();
  out_ += '<';
  out_ += tag;
  stack_.emplace_back(tag);
  startTagOpen_ = true;
}

void XmlWriter::Attr(std::string_view name, std::string_view value) {
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  Escape(out_, value, true);
  out_ += '"';
}

void XmlWriter::TextElement(std::string_view tag, std::string_view text) {
  FinishStartTag();
  out_ += '<';
  out_ += tag;
  if (text.empty()) {
    out_ += "/>\r\n";
    return;
  }
  out_ += '>';
  Escape(out_, text, false);
  out_ += "</";
  out_ += tag;
  out_ += ">\r\n";
}

void XmlWriter::Close() {
  if (stack_.empty()) return;
  if (startTagOpen_) {
    out_ += "/>\r\n";
    startTagOpen_ = false;
  } else {
    out_ += "</";
    out_ += stack_.back();
    out_ += ">\r\n";
  }
  stack_.pop_back();
}

void XmlWriter::Escape(std::string& out, std::string_view text, bool attribute) {
  for (std::size_t pos = 0; pos < text.size();) {
    char ch = text[pos];
    unsigned char c = static_cast<unsigned char>(ch);
    std::size_t len = cz::Utf8CharLength(text, pos);
    if (len == 0) {
      // Not UTF-8 (a byte from another encoding): XML cannot carry it.
      out += '?';
      ++pos;
      continue;
    }
    if (len > 1) {
      // U+FFFE and U+FFFF (EF BF BE, EF BF BF) are no XML 1.0 characters
      // either: blanks, as the control characters below.
      if (len == 3 && text.compare(pos, 2, "\xEF\xBF") == 0 && (text[pos + 2] == '\xBE' || text[pos + 2] == '\xBF')) {
        out += ' ';
        pos += len;
        continue;
      }
      out.append(text.data() + pos, len);
      pos += len;
      continue;
    }
    ++pos;
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"':
        if (attribute) out += "&quot;"; else out += ch;
        break;
      case '\t':
      case '\n':
      case '\r':
      case '\x7F': {
        // Kept as references: parsers fold raw line breaks and, in
        // attributes, white space.
        char ref[8];
        std::snprintf(ref, sizeof ref, "&#%u;", static_cast<unsigned>(c));
        out += ref;
        break;
      }
      default:
        // XML 1.0 allows no other control character, not even as a
        // reference: each becomes a blank.
        out += c < 0x20 ? ' ' : ch;
    }
  }
}
