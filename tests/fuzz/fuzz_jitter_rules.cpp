// The jitter rule language "<count>:<value>:<repetitions>" with rand() and
// stagger() sections, as a pulse's rule list carries it (at most 63
// characters a rule), and the repetition numbers of the multi-segment build
// (EvalRuleNumber). Every rule ends: it gives a value or fails, and a rule
// evaluated over and over finishes or keeps giving finite values.
#include <cmath>
#include <cstring>
#include <string>

#include "engine/Jitter.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int block = data[0] % kJitterBlocks;
  std::string rule = cz::fuzz::Text(data + 1, size - 1);
  if (rule.size() > static_cast<std::size_t>(kJitterRuleTextMax)) rule.resize(kJitterRuleTextMax);
  const char* text = rule.c_str();

  double value = 0.0;
  if (EvalRuleNumber(text, &value) == 1) FUZZ_CHECK(!std::isnan(value));

  // The first call starts the rule; later calls continue it as the builder
  // does for the following repetitions.
  for (int round = 0; round < 64; ++round) {
    int finished = 0;
    value = 0.0;
    const int produced = EvalJitterRules(block, text, round == 0 ? 1 : 0, &finished, &value);
    if (produced != 1 || finished) break;
  }

  char keyword[64] = {}, arguments[64] = {};
  SplitRuleSection(text, keyword, arguments);
  FUZZ_CHECK(std::memchr(keyword, '\0', sizeof keyword) != nullptr);
  FUZZ_CHECK(std::memchr(arguments, '\0', sizeof arguments) != nullptr);
  return 0;
}
