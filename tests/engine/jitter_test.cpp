// The jitter engine: distributions, modes, history and the rule language.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Keywords.h"
#include "app/Log.h"
#include "engine/Jitter.h"
#include "engine/Random.h"

namespace {

std::vector<std::string> g_log;
void Capture(const char* t) { g_log.emplace_back(t); }
bool Logged(const std::string& s) {
  for (const std::string& l : g_log)
    if (l.find(s) != std::string::npos) return true;
  return false;
}

class JitterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    Log_SetLogSink(Capture);
    RandomSeedUniform(7);
    RandomSeedRand(7);
    InitPulseRecord(&pulse);
    pool = std::make_unique<JitterPool>();
  }
  void TearDown() override { Log_SetLogSink(nullptr); }

  // Draws block 0 for repetitions 0..n-1 of one entry in the given mode.
  std::vector<double> Run(int n, int mode, bool reset = true, int segment = 0) {
    std::vector<double> out;
    double values[4] = {0, 0, 0, 0};
    for (int r = 0; r < n; ++r) {
      int32_t update[4] = {1, 0, 0, 0};
      if ((mode == JMODE_SAME || mode == JMODE_NEXT) && r > 0) update[0] = 0;
      if (!ComputeJitter(&pulse, values, pool.get(), update, r, n, mode, 0, 0, 0, reset && r == 0, r == 0, segment))
        return {};
      out.push_back(values[0]);
    }
    return out;
  }
  void Block(int dist, double p1, double p2 = 0, double p3 = 0) {
    JitterBlock& j = pulse.jitter[0];
    j.enabled = 1;
    j.distribution = static_cast<uint8_t>(dist);
    j.p1 = p1;
    j.p2 = p2;
    j.p3 = p3;
  }
  // Rules on a unitless target (level in dB) unless a target is given.
  void Rules(std::vector<const char*> rules, int target = JIT_LEVEL) {
    Block(JDIST_RULES, 0);
    pulse.jitter[0].target = static_cast<uint8_t>(target);
    std::vector<JitterRule> r;
    for (const char* t : rules) r.emplace_back(t);
    pulse.jitter[0].rules.Assign(std::move(r));
  }

  PulseRecord pulse;
  std::unique_ptr<JitterPool> pool;
};

}  // namespace

TEST_F(JitterTest, DeterministicDistributions) {
  Block(JDIST_RAMP, 1e-6, 3e-6);
  EXPECT_EQ(Run(3, JMODE_INDIVIDUAL), (std::vector<double>{1e-6, 2e-6, 3e-6}));
  EXPECT_EQ(Run(1, JMODE_INDIVIDUAL), (std::vector<double>{1e-6}));
  Block(JDIST_SINE, 2.0, 0.5);
  EXPECT_EQ(Run(1, JMODE_INDIVIDUAL), (std::vector<double>{0.5}));
  std::vector<double> s = Run(5, JMODE_INDIVIDUAL);
  EXPECT_NEAR(s[1], 2.5, 1e-12);
  EXPECT_NEAR(s[3], -1.5, 1e-12);
  Block(JDIST_STAIR, 2.0);
  pulse.jitter[0].stairCount = 3;
  EXPECT_EQ(Run(7, JMODE_INDIVIDUAL), (std::vector<double>{0, 0, 0, 2, 2, 2, 4}));
  EXPECT_EQ(Run(1, JMODE_MSEG, true, 6), (std::vector<double>{4}));
  pulse.jitter[0].p1 = 0;
  EXPECT_TRUE(Run(1, JMODE_INDIVIDUAL).empty());
  EXPECT_TRUE(Logged("*** Step with cannot be zero for staircase jitter."));
}

TEST_F(JitterTest, RandomDistributionsStayOnTheirGrid) {
  Block(JDIST_WHITENOISE, 0.0, 1.0, 0.25);
  std::set<double> seen;
  for (double v : Run(400, JMODE_INDIVIDUAL)) seen.insert(v);
  EXPECT_EQ(seen, (std::set<double>{0, 0.25, 0.5, 0.75, 1.0}));

  Block(JDIST_GAUSSNOISE, 10.0, 1.0, 2.0);
  for (double v : Run(200, JMODE_INDIVIDUAL)) {
    EXPECT_GE(v, 8.0);
    EXPECT_LE(v, 12.0);
  }
  Block(JDIST_GAUSSNOISE, 0.0, 1.0, 1e-300);  // nothing fits
  EXPECT_TRUE(Run(1, JMODE_INDIVIDUAL).empty());
  EXPECT_TRUE(Logged("*** No random data matches range criteria."));
}

TEST_F(JitterTest, ListsAndTheirPositions) {
  Block(JDIST_LFIX, 0);
  pulse.jitter[0].values.Assign(std::vector<double>{1, 2, 3});
  EXPECT_EQ(Run(5, JMODE_INDIVIDUAL), (std::vector<double>{1, 2, 3, 1, 2}));
  EXPECT_EQ(Run(1, JMODE_MSEG, true, 4), (std::vector<double>{2}));
  pulse.jitter[0].distribution = JDIST_SHAPE;
  pulse.jitter[0].values.Assign(std::vector<double>{0, 10});
  EXPECT_EQ(Run(3, JMODE_INDIVIDUAL), (std::vector<double>{0, 5, 10}));
  pulse.jitter[0].distribution = JDIST_LIST;
  for (double v : Run(50, JMODE_INDIVIDUAL)) EXPECT_TRUE(v == 0 || v == 10);
  // An empty list is refused rather than divided by.
  pulse.jitter[0].values.Clear();
  EXPECT_TRUE(Run(1, JMODE_INDIVIDUAL).empty());
}

TEST_F(JitterTest, ReuseReplaysTheHistoryCyclically) {
  Block(JDIST_RAMP, 1, 4);
  std::vector<double> first = Run(4, JMODE_INDIVIDUAL);
  EXPECT_EQ(Run(10, JMODE_REUSE, false), (std::vector<double>{1, 2, 3, 4, 1, 2, 3, 4, 1, 2}));
  EXPECT_TRUE(Logged("  Rep. 5, Jit. 1: reusing #1 -> 1.000000"));
  // After a reset there is nothing to reuse.
  EXPECT_TRUE(Run(1, JMODE_REUSE, true).empty());
  EXPECT_TRUE(Logged("*** No previous jitter data available for jitter 1"));
  // Repetition indices beyond the history are refused.
  double values[4] = {0, 0, 0, 0};
  int32_t update[4] = {1, 0, 0, 0};
  EXPECT_EQ(ComputeJitter(&pulse, values, pool.get(), update, kJitterHistorySize, kJitterHistorySize + 1,
                          JMODE_INDIVIDUAL, 0, 0, 0, 0, 0, 0), 0);
}

TEST_F(JitterTest, RulesHoldValuesAndMoveOn) {
  Rules({"3:rand(0,1000,1):2", "2:7:1"});
  std::vector<double> v = Run(5, JMODE_INDIVIDUAL);
  ASSERT_EQ(v.size(), 5u);
  EXPECT_EQ(v[0], v[1]);
  EXPECT_EQ(v[3], 7.0);
  EXPECT_EQ(v[4], 7.0);

  Rules({"2:stagger(1,3,1):1", "1:9:1"});
  EXPECT_EQ(Run(3, JMODE_INDIVIDUAL), (std::vector<double>{1, 2, 9}));

  // A rule without data is skipped; as the last rule it ends the build.
  Rules({"0:5:1", "1:4:1"});
  EXPECT_EQ(Run(1, JMODE_INDIVIDUAL), (std::vector<double>{4}));
  EXPECT_TRUE(Logged("This rule does not create any data. Using next rule..."));
  Rules({"1:4:1", "0:5:1"});
  EXPECT_TRUE(Run(2, JMODE_INDIVIDUAL).empty());
  EXPECT_TRUE(Logged("*** End of jitter rules list reached"));

  // Counts beyond the int range run and hold as long as any build can.
  Rules({"3e9:rand(0,1000,1):5e9"});
  v = Run(4, JMODE_INDIVIDUAL);
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(std::count(v.begin(), v.end(), v[0]), 4);
  Rules({"1e300:7:1e300"});
  EXPECT_EQ(Run(2, JMODE_INDIVIDUAL), (std::vector<double>{7, 7}));

  Rules({"1-2"});
  EXPECT_TRUE(Run(1, JMODE_INDIVIDUAL).empty());
  EXPECT_TRUE(Logged("*** Rule format invalid. Use <count>:<value>:<repetitions> format."));
}

// A rule's value is typed in the unit its target ring shows, as a value list
// is: us for times, MHz for frequencies, the plain unit for the others.
TEST_F(JitterTest, RuleValuesAreInTheTargetsUnit) {
  const struct { int target; double si; } kTargets[] = {
      {JIT_ONPERIOD, 2e-6}, {JIT_LEVEL, 2.0},   {JIT_FREQUENCY, 2e6}, {JIT_BLANKPERIOD, 2e-6}, {JIT_CHIRPDEV, 2e6},
      {JIT_PRF, 2.0},       {JIT_PRI, 2e-6},    {JIT_DELAY, 2e-6},    {JIT_RISE, 2e-6},        {JIT_FALL, 2e-6},
      {JIT_ATTOFF, 2.0},    {JIT_PHASE, 2.0},   {JIT_SKIP, 2.0}};
  for (const auto& t : kTargets) {
    Rules({"4:2:1"}, t.target);
    const std::vector<double> v = Run(4, JMODE_INDIVIDUAL);
    ASSERT_EQ(v.size(), 4u) << "target " << t.target;
    for (double x : v) EXPECT_DOUBLE_EQ(x, t.si) << "target " << t.target;
  }
  // A section steps in the target's unit too.
  Rules({"2:stagger(1,3,1):1"}, JIT_ONPERIOD);
  const std::vector<double> v = Run(2, JMODE_INDIVIDUAL);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_DOUBLE_EQ(v[0], 1e-6);
  EXPECT_DOUBLE_EQ(v[1], 2e-6);
}

TEST_F(JitterTest, RuleSectionsAndNumbers) {
  char kw[64], args[64];
  EXPECT_EQ(SplitRuleSection("rand(1,(2),3)", kw, args), 1);
  EXPECT_STREQ(kw, "rand");
  EXPECT_STREQ(args, "1,(2),3");
  EXPECT_EQ(SplitRuleSection("rand(1,2", kw, args), 0);
  EXPECT_TRUE(Logged("*** Unbalanced brackets in expression."));
  EXPECT_EQ(SplitRuleSection("(1)", kw, args), 0);
  double v = 0;
  EXPECT_EQ(ParseRandRule(&v, "1,2,0"), 0);
  EXPECT_TRUE(Logged("step size greater than zero"));
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(ParseRandRule(&v, "2,4,1"), 1);
    EXPECT_TRUE(v == 2 || v == 3 || v == 4);
  }
  EXPECT_EQ(EvalRuleNumber(" 12 ", &v), 1);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(EvalRuleNumber("abc", &v), 0);
  EXPECT_EQ(ParseStaggerRule(&v, "1,rand(5,5,1),2", 1, 0), 1);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(ParseStaggerRule(&v, "1,rand(5,5,1),2", 0, 0), 1);
  EXPECT_EQ(ParseStaggerRule(&v, "1,rand(5,5,1),2", 0, 0), 1);
  EXPECT_EQ(v, 5);  // capped at max
  EXPECT_EQ(ParseStaggerRule(&v, "1,2", 1, 0), 0);
}

// Every point of a whitenoise or rand() grid is equally likely, however many
// points the grid has. Bounds are 6 standard errors of the exact uniform
// model, so that the fixed seeds pass and a modulo-biased draw does not.
TEST_F(JitterTest, RandomGridsDrawEveryPointEquallyOften) {
  const auto meanOf = [](const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return sum / static_cast<double>(v.size());
  };
  // 0 .. 100 us in 1 ns steps: 100,001 points, mean 50 us, standard error
  // 100 us / sqrt(12) / sqrt(10,000).
  Block(JDIST_WHITENOISE, 0.0, 100e-6, 1e-9);
  std::vector<double> v = Run(10000, JMODE_INDIVIDUAL);
  ASSERT_EQ(v.size(), 10000u);
  EXPECT_NEAR(meanOf(v), 50e-6, 6 * 100e-6 / std::sqrt(12.0) / 100.0);
  EXPECT_GT(*std::max_element(v.begin(), v.end()), 99e-6);
  for (double x : v) ASSERT_NEAR(x / 1e-9, std::round(x / 1e-9), 1e-6);
  // -5 .. +5 us: symmetric about 0.
  Block(JDIST_WHITENOISE, -5e-6, 5e-6, 1e-9);
  v = Run(10000, JMODE_INDIVIDUAL);
  ASSERT_EQ(v.size(), 10000u);
  EXPECT_NEAR(meanOf(v), 0.0, 6 * 10e-6 / std::sqrt(12.0) / 100.0);

  // rand(0,10,1) as a rule value and as a repetition count: 11 values.
  std::vector<int> counts(11, 0);
  const int draws = 22000;
  for (int k = 0; k < draws; ++k) {
    double x = -1;
    ASSERT_EQ(EvalRuleNumber(k % 2 ? "rand(0,10,1)" : "rand( 0 , 10 , 1 )", &x), 1);
    ASSERT_TRUE(x >= 0 && x <= 10 && x == std::trunc(x)) << x;
    ++counts[static_cast<int>(x)];
  }
  const double p = 1.0 / 11.0;
  for (int c : counts) EXPECT_NEAR(c, draws * p, 6 * std::sqrt(draws * p * (1 - p)));
  // A span that is a whole number of steps only before rounding: 0.3 / 0.1.
  std::set<long> seen;
  for (int k = 0; k < 400; ++k) {
    double x = 0;
    ASSERT_EQ(ParseRandRule(&x, "0,0.3,0.1"), 1);
    seen.insert(std::lround(x * 10));
  }
  EXPECT_EQ(seen, (std::set<long>{0, 1, 2, 3}));
  EXPECT_EQ(GridValues(10.0, 1.0), 11u);
  EXPECT_EQ(GridValues(10.5, 1.0), 11u);
  EXPECT_EQ(GridValues(-1.0, 1.0), 0u);
  // Numbers no rule can use are refused.
  double x = 0;
  EXPECT_EQ(ParseRandRule(&x, "0,inf,1"), 0);
  EXPECT_EQ(EvalRuleNumber("nan", &x), 0);
}
