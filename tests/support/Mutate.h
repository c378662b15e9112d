// Deterministic damage to valid inputs for the readers' mutation tests: byte
// flips, syntax bytes, cuts, long runs, deletions, extreme numbers and
// repeated spans, drawn from a caller's fixed-seed generator so that every
// run sees the same inputs. The seeds are files and replies the program
// itself produces.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace cz::test {

struct MutateOptions {
  // Bytes that mean something to the reader (separators, brackets, digits).
  std::string_view syntax = "{}:;#=-,. 0123456789\n\r";
  int maxEdits = 6;              // 1..maxEdits edits per mutation
  std::size_t maxRun = 700;      // longest run of one byte inserted
};

// One mutation of `seed`: 1..maxEdits edits, each one of
//   a random byte, a syntax byte, a cut at a random point, a run of one digit,
//   a deletion of 1..8 bytes, a number replaced by an extreme one ("-1",
//   "2147483648", "4294967297", "1e309", "nan", ...), or a repetition of a span of up to
//   64 bytes.
std::string Mutate(std::string_view seed, std::mt19937& rng, const MutateOptions& options = {});

}  // namespace cz::test
