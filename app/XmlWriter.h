// A small streaming XML writer for the project file's saved layout:
//   <?xml version="1.0"?>            (version 1.0, no encoding)
//   no indentation; CR LF after every closing tag, every self-closing tag,
//   and every opening tag that is directly followed by another tag;
//   attributes in the order they are added.
// Texts are escaped so that they read back unchanged: &, <, >, quotes, and
// CR, LF, TAB and DEL as character references. What XML 1.0 cannot carry at
// all is replaced so that any XML tool reads the file: other control
// characters become blanks, bytes that are not UTF-8 become '?'.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class XmlWriter {
 public:
  XmlWriter();

  // Starts an element; attributes may follow until a child, text or Close.
  void Open(std::string_view tag);
  void Attr(std::string_view name, std::string_view value);
  // A whole element holding only character content ("<tag/>" when empty).
  void TextElement(std::string_view tag, std::string_view text);
  // Ends the innermost open element.
  void Close();

  // Room for a document of about `bytes` (a large one then grows without
  // copying what it holds).
  void Reserve(std::size_t bytes) { out_.reserve(bytes); }
  // The document so far; complete once every Open has its Close.
  const std::string& str() const { return out_; }
  bool Complete() const { return stack_.empty(); }

 private:
  void FinishStartTag();
  static void Escape(std::string& out, std::string_view text, bool attribute);

  std::string out_;
  std::vector<std::string> stack_;
  bool startTagOpen_ = false;
};
