// The eight PRBS generators.
#include "engine/Prbs.h"

#include "app/Log.h"

namespace {

constexpr PrbsGeneratorInfo kGenerators[kPrbsGeneratorCount] = {
    {9, 0x100u, {0x1u, 0x10u, 0u, 0u}, 0},
    {11, 0x400u, {0x1u, 0x4u, 0u, 0u}, 0},
    {15, 0x4000u, {0x1u, 0x2u, 0u, 0u}, 1},
    {16, 0x8000u, {0x1u, 0x4u, 0x8u, 0x20u}, 0},
    {20, 0x80000u, {0x1u, 0x8u, 0u, 0u}, 0},
    {21, 0x100000u, {0x1u, 0x4u, 0u, 0u}, 0},
    {23, 0x400000u, {0x1u, 0x20u, 0u, 0u}, 1},
    {7, 0x40u, {0x1u, 0x2u, 0u, 0u}, 0},
};

int32_t g_seed = 1;
uint32_t g_registers[kPrbsGeneratorCount] = {1, 1, 1, 1, 1, 1, 1, 1};

// One clock: returns the output bit and advances the register.
inline unsigned Clock(const PrbsGeneratorInfo& gen, uint32_t& r) {
  unsigned parity = 0;
  for (uint32_t tap : gen.taps) {
    if (tap == 0) break;
    parity ^= (r & tap) != 0 ? 1u : 0u;
  }
  const unsigned bit = (r & 1u) ^ static_cast<unsigned>(gen.inverted);
  r = ((r >> 1) & ~gen.feedback) | (parity ? gen.feedback : 0u);
  return bit;
}

int CheckGenerator(int generator) {
  if (generator >= 0 && generator < kPrbsGeneratorCount) return 1;
  Log_Message(1, "*** Invalid PRBS generator (0..7 available).");
  return 0;
}

}  // namespace

const PrbsGeneratorInfo* PrbsGenerator(int generator) {
  if (generator < 0 || generator >= kPrbsGeneratorCount) return nullptr;
  return &kGenerators[generator];
}

int SetPrbsSeed(int32_t seed) {
  if (seed < kPrbsSeedMin) {
    g_seed = kPrbsSeedMin;
    return 0;
  }
  if (seed > kPrbsSeedMax) {
    g_seed = kPrbsSeedMax;
    return 0;
  }
  g_seed = seed;
  ReloadPrbsRegisters();
  return 1;
}

int32_t GetPrbsSeed() { return g_seed; }

uint32_t PrbsStartState(int generator, int32_t seed) {
  if (generator < 0 || generator >= kPrbsGeneratorCount) return 0;
  // A maximal register runs through all 2^length - 1 non-zero states; the
  // seed is reduced onto them (1 .. 2^length - 1), never onto 0, which a
  // register keeps for good. Seeds within the range load unchanged.
  const uint32_t states = (1u << kGenerators[generator].length) - 1u;
  const uint32_t s = seed < kPrbsSeedMin ? static_cast<uint32_t>(kPrbsSeedMin) : static_cast<uint32_t>(seed);
  return (s - 1u) % states + 1u;
}

void ReloadPrbsRegisters() {
  for (int g = 0; g < kPrbsGeneratorCount; ++g) g_registers[g] = PrbsStartState(g, g_seed);
}

int GeneratePrbsBits(char* out, int32_t n, int generator) {
  if (!CheckGenerator(generator)) return 0;
  if (out == nullptr || n < 0) {
    Log_Message(1, "*** Invalid PRBS output buffer.");
    return 0;
  }
  const PrbsGeneratorInfo& gen = kGenerators[generator];
  uint32_t r = g_registers[generator];
  for (int32_t k = 0; k < n; ++k) out[k] = static_cast<char>('0' + Clock(gen, r));
  out[n] = '\0';
  g_registers[generator] = r;
  return 1;
}

int AdvancePrbs(int32_t n, int generator) {
  if (!CheckGenerator(generator)) return 0;
  const PrbsGeneratorInfo& gen = kGenerators[generator];
  uint32_t r = g_registers[generator];
  for (int32_t k = 0; k < n; ++k) Clock(gen, r);
  g_registers[generator] = r;
  return 1;
}

int PrbsBits(char* out, int32_t n, int generator, int reseed, int32_t seed) {
  if (reseed) SetPrbsSeed(seed);
  return GeneratePrbsBits(out, n, generator);
}

uint32_t PrbsRegister(int generator) {
  if (generator < 0 || generator >= kPrbsGeneratorCount) return 0;
  return g_registers[generator];
}

uint32_t UnsignedMod(uint32_t a, uint32_t b) { return b == 0 ? 0 : a % b; }

void PrbsGetRegisters(uint32_t registers[kPrbsGeneratorCount]) {
  for (int g = 0; g < kPrbsGeneratorCount; ++g) registers[g] = g_registers[g];
}

void PrbsSetRegisters(const uint32_t registers[kPrbsGeneratorCount]) {
  for (int g = 0; g < kPrbsGeneratorCount; ++g) g_registers[g] = registers[g];
}
