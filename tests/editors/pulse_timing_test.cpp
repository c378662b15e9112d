// The timing page's derivation of the off time or the PRF/PRI, and the
// engineering-unit split of times.
#include <gtest/gtest.h>

#include "editors/PulseDiagram.h"
#include "editors/PulseEditor.h"
#include "ui/pulse/TimingPanel.h"

namespace {

PulseTimes Times(double delay, double rise, double on, double fall, double off) {
  PulseTimes t;
  t.delay = delay, t.rise = rise, t.on = on, t.fall = fall, t.off = off;
  return t;
}

TEST(PulseTiming, OffTimeGivenDerivesRateOrInterval) {
  const PulseTimes t = Times(0.0, 1e-6, 10e-6, 1e-6, 88e-6);  // 100 us period
  TimingDerivation prf = DeriveTiming(t, 0, UNIT_PRF, UNIT_PRF, 0.0);
  EXPECT_NEAR(prf.period, 100e-6, 1e-15);
  EXPECT_NEAR(prf.shownPrf, 10000.0, 1e-6);
  TimingDerivation pri = DeriveTiming(t, 0, UNIT_PRI, UNIT_PRF, 0.0);
  EXPECT_NEAR(pri.shownPrf, 100.0, 1e-9);
  EXPECT_FALSE(pri.offTooShort);
  // A zero period has no rate: 0 rather than infinity.
  EXPECT_EQ(0.0, DeriveTiming(Times(0, 0, 0, 0, 0), 0, UNIT_PRF, UNIT_PRF, 5.0).shownPrf);
}

TEST(PulseTiming, RateGivenDerivesOffTimeAndConvertsUnits) {
  const PulseTimes t = Times(0.0, 0.0, 10e-6, 0.0, 0.0);
  // PRF 0 becomes 1 Hz, so the period is 1 s.
  TimingDerivation zero = DeriveTiming(t, 1, UNIT_PRF, UNIT_PRF, 0.0);
  EXPECT_EQ(1.0, zero.shownPrf);
  EXPECT_NEAR(zero.offTime, 1.0 - 10e-6, 1e-12);
  // 1000 Hz shown when switching to PRI becomes 1000 us, and back again.
  TimingDerivation toPri = DeriveTiming(t, 1, UNIT_PRI, UNIT_PRF, 1000.0);
  EXPECT_NEAR(toPri.shownPrf, 1000.0, 1e-9);
  EXPECT_NEAR(toPri.period, 1e-3, 1e-15);
  TimingDerivation toPrf = DeriveTiming(t, 1, UNIT_PRF, UNIT_PRI, 1000.0);
  EXPECT_NEAR(toPrf.shownPrf, 1000.0, 1e-9);
  // A PRI of 0 us switched to PRF gives 1 Hz instead of a division by zero.
  EXPECT_EQ(1.0, DeriveTiming(t, 1, UNIT_PRF, UNIT_PRI, 0.0).shownPrf);
  EXPECT_NEAR(DeriveTiming(t, 1, UNIT_PRI, UNIT_PRF, 0.0).shownPrf, 1e6, 1e-6);
}

TEST(PulseTiming, PhasesLongerThanThePeriodShowNoOffTime) {
  const PulseTimes t = Times(20e-6, 10e-6, 60e-6, 20e-6, 0.0);  // 110 us busy
  TimingDerivation d = DeriveTiming(t, 1, UNIT_PRI, UNIT_PRI, 100.0);
  EXPECT_TRUE(d.offTooShort);
  EXPECT_EQ(0.0, d.offTime);
  EXPECT_NEAR(d.period, 100e-6, 1e-15);
}

TEST(PulseTiming, EngineeringUnitsFollowTheMagnitude) {
  struct Case {
    double seconds, mantissa;
    int exponent;
  };
  const Case cases[] = {{0.0, 0.0, -6},   {1.0, 1.0, 0},      {0.999, 999.0, -3}, {1e-6, 1.0, -6},
                        {5e-7, 500.0, -9}, {-2e-3, -2.0, -3}, {12.5, 12.5, 0}};
  for (const Case& c : cases) {
    double m = -1.0;
    int e = 1;
    ToEngineeringUnits(c.seconds, &m, &e);
    EXPECT_NEAR(c.mantissa, m, 1e-9 * (1.0 + std::abs(c.mantissa))) << c.seconds;
    EXPECT_EQ(c.exponent, e) << c.seconds;
    EXPECT_NEAR(c.seconds, ApplyExponent(m, e), 1e-18) << c.seconds;
  }
  EXPECT_STREQ("s", TimeUnitText(0));
  EXPECT_STREQ("ms", TimeUnitText(-3));
  EXPECT_STREQ("\xC2\xB5s", TimeUnitText(-6));
  EXPECT_STREQ("ns", TimeUnitText(-9));
  EXPECT_STREQ(" ", TimeUnitText(-4));
}

}  // namespace
