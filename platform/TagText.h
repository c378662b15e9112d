// Texts that go into a tagged file header ("{NAME:value}"): a value may hold
// braces only in pairs, as the report tag "{REPORT PLUGIN: <type>}" of a
// sequence comment does, so that a reader that takes a value to its matching
// "}" finds every tag of the header, once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cz {

// Number of braces of text that have no partner: a "}" with no "{" open
// before it, and every "{" still open at the end.
std::size_t UnpairedBraceCount(std::string_view text);

// text with every unpaired "{" replaced by "(" and every unpaired "}" by
// ")"; paired braces stay as written. *replaced (when given) receives the
// number of braces replaced.
std::string WithPairedBraces(std::string_view text, std::size_t* replaced = nullptr);

}  // namespace cz
