#include "tests/support/Mutate.h"

#include <algorithm>

namespace cz::test {

std::string Mutate(std::string_view seed, std::mt19937& rng, const MutateOptions& options) {
  std::string s(seed);
  const std::string_view syntax = options.syntax.empty() ? std::string_view("0") : options.syntax;
  const int edits = 1 + static_cast<int>(rng() % static_cast<unsigned>(std::max(1, options.maxEdits)));
  for (int e = 0; e < edits && !s.empty(); ++e) {
    const std::size_t at = rng() % s.size();
    switch (rng() % 7) {
      case 0: s[at] = static_cast<char>(rng()); break;
      case 1: s[at] = syntax[rng() % syntax.size()]; break;
      case 2: s.resize(at); break;
      case 3:
        s.insert(at, std::string(1 + rng() % std::max<std::size_t>(1, options.maxRun),
                                 static_cast<char>('0' + rng() % 10)));
        break;
      case 4: s.erase(at, 1 + rng() % 8); break;
      case 5: {
        // The number around `at` (or the text there) becomes an extreme one.
        // Numbers past the int and long ranges that wrap to small accepted
        // values when narrowed (4294967297 -> 1) are among them.
        static const char* const kExtremes[] = {"-1", "0", "-0", "2147483647", "2147483648", "-2147483649",
                                                "4294967296", "4294967297", "-4294967295", "4294967304",
                                                "9223372036854775808", "18446744073709551617", "1e309", "-1e309",
                                                "1e-320", "nan", "inf", "99999999999999999999", "0x7FFFFFFF", "-", "."};
        std::size_t from = at, to = at;
        auto numeric = [&](char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e'; };
        while (from > 0 && numeric(s[from - 1])) --from;
        while (to < s.size() && numeric(s[to])) ++to;
        s.replace(from, to - from, kExtremes[rng() % (sizeof kExtremes / sizeof kExtremes[0])]);
        break;
      }
      default: {
        const std::size_t n = std::min<std::size_t>(s.size() - at, 1 + rng() % 64);
        s.insert(at, s.substr(at, n));
      }
    }
  }
  return s;
}

}  // namespace cz::test
