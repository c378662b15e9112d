// Pseudo-random bit sequences from eight linear-feedback shift registers
// (Fibonacci form, shifting right; the feedback parity enters at the top
// bit of the register's length). Output is text of '0'/'1' characters.
//
//   generator  0    1     2       3       4          5          6          7
//   length     9    11    15      16      20         21         23         7
//   period     511  2047  32767   65535   1048575    2097151    8388607    127
//   generators 2 and 6 emit the inverted register bit
//
// Module state: the seed PrbsSeed (1..511, starts at 1) and the eight
// registers (all start at 1, never 0). The registers keep their state across
// calls, so consecutive requests continue the sequences.
#pragma once

#include <cstdint>

inline constexpr int kPrbsGeneratorCount = 8;
inline constexpr int kPrbsSeedMin = 1;
inline constexpr int kPrbsSeedMax = 511;

// One row of the generator table.
struct PrbsGeneratorInfo {
  int length;          // register length, bits
  uint32_t feedback;   // top bit of the register (where the parity enters)
  uint32_t taps[4];    // bits whose parity is fed back; 0 ends the list
  int inverted;        // 1 = output bit inverted
};

// The row of a generator (0..7), nullptr otherwise.
const PrbsGeneratorInfo* PrbsGenerator(int generator);

// Seed below 1: PrbsSeed = 1, result 0; above 511: PrbsSeed = 511, result 0
// (the registers keep their state in both cases). Otherwise stores the seed,
// loads it into all registers and returns 1.
int SetPrbsSeed(int32_t seed);
int32_t GetPrbsSeed();
// Loads each register with PrbsStartState of PrbsSeed.
void ReloadPrbsRegisters();
// The state a seed loads into a generator's register: the seed reduced onto
// the register's 2^length - 1 non-zero states, (seed - 1) mod (2^length - 1)
// + 1, so every seed starts the full sequence (generator 7, 7 bits, takes
// the seeds 128, 256 and 384 as 1, 2 and 3). Seeds 1 .. 2^length - 1 load
// unchanged; 0 for a generator outside 0..7.
uint32_t PrbsStartState(int generator, int32_t seed);

// Writes n characters '0'/'1' and a NUL into out (n + 1 bytes). 1 ok; 0 for
// a generator outside 0..7, a missing out or n < 0 (nothing written, logged).
int GeneratePrbsBits(char* out, int32_t n, int generator);
// Clocks the generator n times without output. 1 ok, 0 as above.
int AdvancePrbs(int32_t n, int generator);
// SetPrbsSeed (seed) first when reseed is non-zero, then GeneratePrbsBits.
int PrbsBits(char* out, int32_t n, int generator, int reseed, int32_t seed);

// Register state of a generator (0 for an index outside 0..7); for tests
// and diagnostics.
uint32_t PrbsRegister(int generator);
// All eight registers at once (EngineStateSnapshot).
void PrbsGetRegisters(uint32_t registers[kPrbsGeneratorCount]);
void PrbsSetRegisters(const uint32_t registers[kPrbsGeneratorCount]);

// a mod b, 0 when b is 0.
uint32_t UnsignedMod(uint32_t a, uint32_t b);
