// Texts of other systems taken into UTF-8.
//
// Records keep UTF-8 texts. Files written on Windows
// hold 8-bit texts: Windows-1252, often declared as ISO-8859-1. They are
// converted where they are read, so that a name such as "Müller 5µs" stays
// what it was, in memory and in every file written afterwards.
#pragma once

#include <string>
#include <string_view>

namespace cz {

// True when text is well-formed UTF-8 throughout.
bool IsUtf8(std::string_view text);

// Windows-1252 bytes in UTF-8. 0x00-0x7F and 0xA0-0xFF are the code points
// of the same value (as in ISO-8859-1); 0x80-0x9F are the typographic
// characters of Windows-1252 (0x80 the euro sign, 0x93/0x94 double quotes),
// and its five unassigned bytes the control characters of the same value.
std::string Windows1252ToUtf8(std::string_view text);

// How the bytes of an XML document were read.
enum class XmlTextSource {
  kUtf8,             // UTF-8 (declared, marked or by default), taken as it is
  kDeclared8Bit,     // declared ISO-8859-1, Latin-1, ASCII or Windows-1252: converted
  kNotUtf8,          // meant as UTF-8 or declared in an unknown encoding, but not
                     // UTF-8: read as Windows-1252
  kWide,             // UTF-16 or UTF-32: left to the parser's own detection
};

// The bytes of an XML document as UTF-8 for a parser that is told to read
// UTF-8 (the parser ignores the encoding its declaration names). declared
// receives the encoding the declaration names ("" when none).
XmlTextSource XmlTextToUtf8(std::string* bytes, std::string* declared);

}  // namespace cz
