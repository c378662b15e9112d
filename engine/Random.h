// The engine's two random generators, written out here so that noise, random
// jitter and random phases do not depend on the C library:
//
//   uniform   RandomInRange (min, max): a double uniform in [min, max), from a
//             64-bit xorshift* generator with 53 random bits per draw. Seeded
//             once at start-up from the time (RandomSeedUniformAtStartup);
//             feeds jitter values (RandomIndex for the whitenoise grid),
//             jitter rules, random RF lists, the PRBS start-up seeding and
//             the buffer self test.
//   15-bit    RandomRand (): the classic linear congruential generator
//             x = x*214013 + 2531011 (mod 2^32), output (x >> 16) & 0x7FFF,
//             0 .. kRandomRandMax. Seeded by the waveform-file library's
//             initialisation (RandomSeedRandAtStartup); feeds GaussianNoise,
//             the Gaussian-pool jitter and the multi carrier phases, which
//             rely on its 0..32767 range with "mod".
//
// When the environment variable CADENZA_RANDOM_SEED holds a number, both
// start-up seedings use it instead of the time, so that runs reproduce noise
// and random jitter exactly. Single-threaded (the UI thread); the generators
// are module state for the life of the process.
#pragma once

#include <cstdint>

// Largest value of RandomRand.
inline constexpr int kRandomRandMax = 32767;

// Environment variable that fixes both seeds.
inline constexpr const char* kRandomSeedVariable = "CADENZA_RANDOM_SEED";

// ---- uniform generator ------------------------------------------------------

// Uniform double in [min, max); min when max <= min.
double RandomInRange(double min, double max);
// Largest count RandomIndex takes: the generator's 53 random bits.
inline constexpr uint64_t kRandomIndexMax = 1ull << 53;
// Whole number in [0, count), every value equally likely: 53-bit draws above
// the largest multiple of count are drawn again, so that no value is favoured
// as with a plain modulo. 0 when count < 2; count is capped at
// kRandomIndexMax.
uint64_t RandomIndex(uint64_t count);
// Restarts the uniform sequence from seed (every seed, 0 included, is valid).
void RandomSeedUniform(uint64_t seed);
// Seeds from CADENZA_RANDOM_SEED when set, else from the current time in
// seconds. Returns the seed used.
uint64_t RandomSeedUniformAtStartup();

// ---- 15-bit linear congruential generator -----------------------------------

// Next value 0 .. 32767.
int RandomRand();
// The next n values at once into out, the same as n calls of RandomRand
// (four steps formed side by side from one state).
void RandomRandFill(int* out, int n);
// Sets the generator state to seed (as srand does).
void RandomSeedRand(uint32_t seed);
// Seeds from CADENZA_RANDOM_SEED when set, else with clockSeed (the
// waveform-file library passes 5 x seconds + hour of the local time).
// Returns the seed used.
uint32_t RandomSeedRandAtStartup(uint32_t clockSeed);

// Both generators' states, for a computation that is to be made again
// exactly (EngineStateSnapshot).
struct RandomState {
  uint64_t uniform;
  uint32_t rand;
};
RandomState RandomGetState();
void RandomSetState(const RandomState& state);

// The seed of CADENZA_RANDOM_SEED: 1 with *seed set when the variable holds
// a whole number (decimal, optionally signed; taken modulo 2^64), else 0.
int RandomSeedFromEnvironment(uint64_t* seed);
