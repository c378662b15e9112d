#include "engine/Jitter.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <string>

#include "app/Keywords.h"
#include "app/Log.h"
#include "engine/Random.h"
#include "engine/SignalMath.h"
#include "platform/BoundedText.h"
#include "platform/CLocale.h"

double JitterHistory[kJitterBlocks][kJitterHistorySize];
int32_t JitterHistoryCount[kJitterBlocks];
int32_t JitterRuleRestart[kJitterBlocks];

namespace {

constexpr int kFieldSize = 64;

// Progress of the rule a block is evaluating.
struct RuleState {
  int count = 1;        // values the rule produces
  int repetitions = 1;  // repetitions each value is held
  int counter = 0;      // repetitions of the held value so far
  int produced = 0;
  double held = 0.0;
};
RuleState g_rule[kJitterBlocks];

struct StaggerState {
  double value = 0.0, min = 0.0, max = 0.0;
};
StaggerState g_stagger[kJitterBlocks];

void LogF(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void LogF(const char* fmt, ...) {
  char buf[cz::kLogLineMax + 1];
  va_list ap;
  va_start(ap, fmt);
  cz::VsnprintfC(buf, sizeof buf, fmt, ap);
  va_end(ap);
  Log_Message(1, buf);
}

// A whole text read as a number (after blanks are removed).
bool ParseNumber(const char* text, double* value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  double v = cz::StrtodC(text, &end);
  // "nan" and "inf" read as numbers but no rule can use them.
  if (end == text || *end != '\0' || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

// A rule's count or repetitions, nearest whole number; beyond the int range
// it saturates (no build runs that long) rather than wrapping to a negative
// count or converting out of range.
int RoundCount(double x) {
  const double v = std::trunc(x + 0.5);
  if (!(v < 2147483647.0)) return 2147483647;
  return v > -2147483648.0 ? static_cast<int>(v) : -2147483647 - 1;
}

// Splits at the commas that lie outside brackets.
int SplitTopLevel(const std::string& text, std::string parts[], int max) {
  int n = 0, depth = 0;
  std::string cur;
  for (char c : text) {
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) {
      if (n < max) parts[n] = cur;
      ++n;
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (n < max) parts[n] = cur;
  return n + 1;
}

// A field of a rule: a number, or a rand()/stagger() section. A section
// with another keyword leaves *value as it was.
bool EvalField(const char* field, int block, int start, double* value) {
  if (!HasArgumentList(field)) {
    if (!ParseNumber(field, value)) {
      Log_Message(1, "*** Rule format invalid. Use <count>:<value>:<repetitions> format.");
      return false;
    }
    return true;
  }
  char keyword[kFieldSize], args[kFieldSize];
  if (!SplitRuleSection(field, keyword, args)) return false;
  if (std::strcmp(keyword, "rand") == 0) return ParseRandRule(value, args) != 0;
  if (std::strcmp(keyword, "stagger") == 0) return ParseStaggerRule(value, args, start, block) != 0;
  return true;
}

// Removes the blanks of a rule and splits it into its three fields.
bool SplitRule(const char* rule, std::string fields[3]) {
  std::string text;
  for (const char* c = rule; *c; ++c)
    if (*c != ' ' && *c != '\t') text += *c;
  std::size_t a = text.find(':');
  std::size_t b = a == std::string::npos ? std::string::npos : text.find(':', a + 1);
  if (a == std::string::npos || b == std::string::npos) {
    Log_Message(1, "*** Rule format invalid. Use <count>:<value>:<repetitions> format.");
    return false;
  }
  fields[0] = text.substr(0, a);
  fields[1] = text.substr(a + 1, b - a - 1);
  fields[2] = text.substr(b + 1);
  return true;
}

bool IsListDistribution(int d) { return d == JDIST_LIST || d == JDIST_LFIX || d == JDIST_SHAPE; }

// The list or rule position of a block, kept in element 0 of its pool area.
int Position(const JitterPool* pool, int k) { return static_cast<int>(pool->area[k][0]); }
void SetPosition(JitterPool* pool, int k, int pos) { pool->area[k][0] = pos; }

bool DrawGauss(const JitterBlock& j, JitterPool* pool, int k, int r, double* value) {
  double* area = pool->area[k];
  if (r == 0) {
    Log_Message(1, "Creating gauss noise for jitter...");
    if (!GaussianNoise(kJitterPoolSize, area)) {
      Log_Message(1, "*** Gauss noise generation failed.");
      return false;
    }
    for (int i = 0; i < kJitterPoolSize; ++i) area[i] *= j.p2;
  }
  double limit = std::fabs(j.p3);
  for (int tries = 0; tries < kJitterPoolSize; ++tries) {
    double x = area[RandomRand() % kJitterPoolSize];
    if (j.p3 == 0.0 || std::fabs(x) <= limit) {
      *value = x + j.p1;
      return true;
    }
  }
  Log_Message(1, "*** No random data matches range criteria.");
  LogF("*** Location=%f, StdDev=%f, Range=%f", j.p1, j.p2, limit);
  LogF("*** Example value=%f + Location", area[RandomRand() % kJitterPoolSize]);
  return false;
}

bool DrawRules(const JitterBlock& j, JitterPool* pool, int k, int r, int mode, double* value) {
  int count = j.rules.count();
  if (count == 0) {
    Log_Message(1, "*** No jitter rules available.");
    return false;
  }
  if (r == 0 && mode != JMODE_NEXT) SetPosition(pool, k, 0);
  int pos = Position(pool, k);
  if (pos < 0 || pos >= count) pos = 0;
  int finished = 0;
  while (!EvalJitterRules(k, j.rules[static_cast<std::size_t>(pos)].c_str(), JitterRuleRestart[k], &finished, value)) {
    if (!finished) {
      Log_Message(1, "*** Failed processing jitter rule.");
      return false;
    }
    JitterRuleRestart[k] = 1;
    if (++pos >= count) {
      Log_Message(1, "*** End of jitter rules list reached");
      Log_Message(1, "*** while last did not generate any data.");
      Log_Message(1, "*** List wrap around disabled in this case.");
      SetPosition(pool, k, pos);
      return false;
    }
  }
  LogF("  Rep. %d, Jit. %d from rule %d -> %f", r + 1, k + 1, pos + 1, *value);
  // A rule's value is typed in the unit its target shows (us, MHz), as the
  // value lists are; the pulse takes it in SI.
  *value /= JitterDisplayFactor(j.target);
  JitterRuleRestart[k] = finished;
  if (finished && ++pos >= count) pos = 0;
  SetPosition(pool, k, pos);
  return true;
}

// One new value of block k; false on failure (logged).
bool Draw(const JitterBlock& j, JitterPool* pool, int k, int r, int n, int mode, int segment,
          double* value) {
  switch (j.distribution) {
    case JDIST_WHITENOISE: {
      if (j.p3 <= 0.0) {
        LogF("*** Step size must be greater than zero for whitenoise jitter %d.", k + 1);
        return false;
      }
      const uint64_t c = GridValues(j.p2 - j.p1, j.p3);
      if (c == 0) {
        LogF("*** Range and step of whitenoise jitter %d give no values.", k + 1);
        return false;
      }
      *value = static_cast<double>(RandomIndex(c)) * j.p3 + j.p1;
      return true;
    }
    case JDIST_GAUSSNOISE:
      return DrawGauss(j, pool, k, r, value);
    case JDIST_RAMP: {
      double t = n > 1 ? static_cast<double>(r) / (n - 1) : 0.0;
      *value = (1.0 - t) * j.p1 + t * j.p2;
      return true;
    }
    case JDIST_SINE:
      *value = n > 1 ? std::sin(2.0 * M_PI * r / (n - 1)) * j.p1 + j.p2 : j.p2;
      return true;
    case JDIST_STAIR:
      if (j.p1 == 0.0) {
        Log_Message(1, "*** Step with cannot be zero for staircase jitter.");
        return false;
      }
      if (j.stairCount < 1) {
        Log_Message(1, "*** Count must be greater than zero for staircase jitter.");
        return false;
      }
      *value = ((mode == JMODE_MSEG ? segment : r) / j.stairCount) * j.p1;
      return true;
    case JDIST_LIST: {
      int count = j.values.count();
      int i = static_cast<int>(std::trunc(RandomInRange(0, count)));
      if (i >= count) i = count - 1;
      *value = j.values[static_cast<std::size_t>(i)];
      return true;
    }
    case JDIST_LFIX: {
      int count = j.values.count();
      if (mode == JMODE_MSEG) {
        *value = j.values[static_cast<std::size_t>(((segment % count) + count) % count)];
        return true;
      }
      if (r == 0 && mode != JMODE_NEXT) SetPosition(pool, k, 0);
      int pos = Position(pool, k);
      if (pos < 0 || pos >= count) pos = 0;
      *value = j.values[static_cast<std::size_t>(pos)];
      SetPosition(pool, k, pos + 1 >= count ? 0 : pos + 1);
      return true;
    }
    case JDIST_SHAPE: {
      int count = j.values.count();
      if (r == 0 && mode != JMODE_NEXT) SetPosition(pool, k, 0);
      int pos = Position(pool, k);
      if (n > 1) {
        double x = static_cast<double>(count - 1) * pos / (n - 1);
        int i = static_cast<int>(std::trunc(x));
        double f = x - i;
        *value = i >= count - 1 ? j.values[static_cast<std::size_t>(count - 1)]
                                : (1.0 - f) * j.values[static_cast<std::size_t>(i)] + f * j.values[static_cast<std::size_t>(i + 1)];
      }
      SetPosition(pool, k, pos + 1);
      return true;
    }
    case JDIST_RULES:
      return DrawRules(j, pool, k, r, mode, value);
    default:
      return true;
  }
}

}  // namespace

bool HasArgumentList(const char* text) { return text != nullptr && std::strchr(text, '(') != nullptr; }

int SplitRuleSection(const char* text, char* keyword, char* arguments) {
  keyword[0] = arguments[0] = '\0';
  const char* invalid = "*** Rule section invalid. Use <keyword>(<argument list>).";
  if (text == nullptr || *text == '\0') {
    Log_Message(1, invalid);
    return 0;
  }
  const char* open = std::strchr(text, '(');
  if (open == nullptr) {
    Log_Message(1, invalid);
    return 0;
  }
  int depth = 0;
  const char* close = nullptr;
  for (const char* c = open; *c; ++c) {
    if (*c == '(') ++depth;
    if (*c == ')' && --depth == 0) {
      close = c;
      break;
    }
  }
  if (close == nullptr) {
    Log_Message(1, "*** Unbalanced brackets in expression.");
    return 0;
  }
  std::string_view kw(text, static_cast<std::size_t>(open - text));
  std::string_view args(open + 1, static_cast<std::size_t>(close - open - 1));
  if (kw.empty() || args.empty()) {
    Log_Message(1, invalid);
    return 0;
  }
  cz::CopyText(keyword, kFieldSize, kw);
  cz::CopyText(arguments, kFieldSize, args);
  return 1;
}

int ParseRandRule(double* value, const char* arguments) {
  std::string parts[3];
  double v[3];
  if (arguments == nullptr || SplitTopLevel(arguments, parts, 3) != 3 || !ParseNumber(parts[0].c_str(), &v[0]) ||
      !ParseNumber(parts[1].c_str(), &v[1]) || !ParseNumber(parts[2].c_str(), &v[2])) {
    Log_Message(1, "*** Rule section invalid. Use rand(<min>:<max>:<step>).");
    return 0;
  }
  if (v[2] <= 0.0) {
    Log_Message(1, "*** Rule parameter invalid. Use step size greater than zero with rand(<min>:<max>:<step>).");
    return 0;
  }
  if (v[1] < v[0]) {
    *value = v[0];
    return 1;
  }
  const uint64_t c = GridValues(v[1] - v[0], v[2]);
  if (c == 0) {
    Log_Message(1, "*** Rule parameter invalid. Range and step of rand(<min>:<max>:<step>) give too many values.");
    return 0;
  }
  *value = static_cast<double>(RandomIndex(c)) * v[2] + v[0];
  return 1;
}

uint64_t GridValues(double span, double step) {
  if (!(span >= 0.0) || !(step > 0.0)) return 0;
  const double q = span / step;
  if (!(q < static_cast<double>(kRandomIndexMax))) return 0;
  const double whole = std::round(q);
  // Rounding of typed decimals (and of max - min) leaves q a few parts in
  // 1e16 off, more where max and min nearly cancel; never a millionth of a step.
  const double tolerance = std::min(1e-6, 1e-9 * std::max(1.0, whole));
  const double steps = std::fabs(q - whole) <= tolerance ? whole : std::trunc(q);
  return static_cast<uint64_t>(steps) + 1;
}

int ParseStaggerRule(double* value, const char* arguments, int start, int block) {
  if (block < 0 || block >= kJitterBlocks) return 0;
  std::string parts[3];
  if (arguments == nullptr || SplitTopLevel(arguments, parts, 3) != 3) {
    Log_Message(1, "*** Rule section invalid. Use stagger(<min>:<max>:<step>).");
    return 0;
  }
  static const char* const errors[3] = {
      "*** Invalid rule for <min> used in stagger(<min>,<max>,<step>).",
      "*** Invalid rule for <max> used in stagger(<min>,<max>,<step>).",
      "*** Invalid rule for <step> used in stagger(<min>,<max>,<step>)."};
  double v[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    bool ok;
    if (HasArgumentList(parts[i].c_str())) {
      char kw[kFieldSize], args[kFieldSize];
      ok = SplitRuleSection(parts[i].c_str(), kw, args) && std::strcmp(kw, "rand") == 0 && ParseRandRule(&v[i], args);
    } else {
      ok = ParseNumber(parts[i].c_str(), &v[i]);
    }
    if (!ok) {
      Log_Message(1, errors[i]);
      return 0;
    }
  }
  StaggerState& s = g_stagger[block];
  s.min = v[0];
  s.max = v[1];
  s.value = start ? v[0] : s.value + v[2];
  if (s.value > s.max) s.value = s.max;
  *value = s.value;
  return 1;
}

int EvalJitterRules(int block, const char* ruleText, int start, int* finished, double* value) {
  *finished = 0;
  if (block < 0 || block >= kJitterBlocks || ruleText == nullptr) return 0;
  std::string fields[3];
  if (!SplitRule(ruleText, fields)) return 0;
  RuleState& st = g_rule[block];
  double fresh = st.held;
  if (start) {
    st = RuleState();
    double count = 1, reps = 1;
    if (!EvalField(fields[0].c_str(), block, start, &count)) return 0;
    if (!EvalField(fields[1].c_str(), block, start, &fresh)) return 0;
    if (!EvalField(fields[2].c_str(), block, start, &reps)) return 0;
    st.count = RoundCount(count);
    st.repetitions = RoundCount(reps);
  } else if (!EvalField(fields[1].c_str(), block, start, &fresh)) {
    return 0;
  }
  if (st.count < 1) {
    Log_Message(1, "This rule does not create any data. Using next rule...");
    *finished = 1;
    return 0;
  }
  st.counter += 1;
  st.produced += 1;
  if (start) {
    st.held = fresh;
  } else if (st.counter > st.repetitions) {
    st.held = fresh;
    st.counter = 1;
  }
  *value = st.held;
  *finished = st.produced >= st.count ? 1 : 0;
  return 1;
}

int EvalRuleNumber(const char* text, double* value) {
  std::string t;
  for (const char* c = text ? text : ""; *c; ++c)
    if (*c != ' ' && *c != '\t') t += *c;
  if (!HasArgumentList(t.c_str())) {
    if (ParseNumber(t.c_str(), value)) return 1;
    Log_Message(3, "*** Invalid number '", t.c_str(), "'.");
    return 0;
  }
  char kw[kFieldSize], args[kFieldSize];
  if (!SplitRuleSection(t.c_str(), kw, args)) return 0;
  if (std::strcmp(kw, "rand") != 0) {
    Log_Message(3, "*** Unknown function '", kw, "'.");
    return 0;
  }
  return ParseRandRule(value, args);
}

int ComputeJitter(const PulseRecord* pulse, double values[kJitterBlocks], JitterPool* pool,
                  const int32_t update[kJitterBlocks], int repetition, int repetitions, int mode1,
                  int mode2, int mode3, int mode4, int resetAll, int firstRepetition,
                  int segmentIndex) {
  if (pulse == nullptr || values == nullptr || pool == nullptr || update == nullptr) return 0;
  if (resetAll) {
    Log_Message(1, "  Resetting All Jitters.");
    for (int k = 0; k < kJitterBlocks; ++k) JitterHistoryCount[k] = 0;
    std::memset(JitterHistory, 0, sizeof JitterHistory);
  }
  if (firstRepetition)
    for (int k = 0; k < kJitterBlocks; ++k) JitterRuleRestart[k] = 1;

  const int modes[kJitterBlocks] = {mode1, mode2, mode3, mode4};
  for (int k = 0; k < kJitterBlocks; ++k) {
    const JitterBlock& j = pulse->jitter[k];
    if (!j.enabled || !update[k]) continue;
    int r = repetition;
    if (r < 0 || r >= kJitterHistorySize) {
      LogF("*** Repetition %d is beyond the jitter history of %d values.", r + 1, kJitterHistorySize);
      return 0;
    }
    if (modes[k] == JMODE_REUSE) {
      int n = JitterHistoryCount[k];
      if (n == 0) {
        LogF("*** No previous jitter data available for jitter %d", k + 1);
        return 0;
      }
      values[k] = JitterHistory[k][r % n];
      LogF("  Rep. %d, Jit. %d: reusing #%d -> %f", r + 1, k + 1, (r % n) + 1, values[k]);
      continue;
    }
    if (IsListDistribution(j.distribution) && j.values.empty()) {
      LogF("*** No jitter values available for jitter %d.", k + 1);
      return 0;
    }
    double v = values[k];
    if (!Draw(j, pool, k, r, repetitions, modes[k], segmentIndex, &v)) return 0;
    values[k] = v;
    JitterHistory[k][r] = v;
    JitterHistoryCount[k] = r + 1;
  }
  return 1;
}

namespace {

// The pieces of JitterSaveState, in order.
struct JitterPart {
  void* data;
  size_t bytes;
};
const JitterPart kJitterParts[] = {{JitterHistory, sizeof JitterHistory},
                                   {JitterHistoryCount, sizeof JitterHistoryCount},
                                   {JitterRuleRestart, sizeof JitterRuleRestart},
                                   {g_rule, sizeof g_rule},
                                   {g_stagger, sizeof g_stagger}};

}  // namespace

std::vector<unsigned char> JitterSaveState() {
  std::vector<unsigned char> state;
  for (const JitterPart& part : kJitterParts) {
    const unsigned char* p = static_cast<const unsigned char*>(part.data);
    state.insert(state.end(), p, p + part.bytes);
  }
  return state;
}

void JitterRestoreState(const std::vector<unsigned char>& state) {
  size_t at = 0;
  for (const JitterPart& part : kJitterParts) {
    if (at + part.bytes > state.size()) return;
    std::memcpy(part.data, state.data() + at, part.bytes);
    at += part.bytes;
  }
}
