// Bounded texts, local paths and C-locale numbers.
#include <gtest/gtest.h>

#include <clocale>

#include "platform/BoundedText.h"
#include "platform/CLocale.h"
#include "platform/Paths.h"
#include "platform/TagText.h"

using namespace cz;

TEST(BoundedText, CutsOnUtf8BoundaryAndNeverOverflows) {
  char field[6];
  std::memset(field, 'x', sizeof field);
  // "ab" + U+00E9 (2 bytes) + U+20AC (3 bytes): 7 bytes, field holds 5.
  EXPECT_FALSE(CopyText(field, "ab\xC3\xA9\xE2\x82\xAC"));
  EXPECT_STREQ(field, "ab\xC3\xA9");  // the euro sign would not fit whole
  EXPECT_TRUE(CopyText(field, "abcde"));
  EXPECT_STREQ(field, "abcde");
  EXPECT_FALSE(CopyText(field, "abcdef"));
  EXPECT_STREQ(field, "abcde");
  // Invalid UTF-8 is kept byte by byte rather than dropped.
  EXPECT_FALSE(CopyText(field, "\xFF\xFE\xC3zzzz"));
  EXPECT_EQ(std::strlen(field), 5u);

  Text<4> t("abc");
  EXPECT_EQ(t, "abc");
  EXPECT_FALSE(t.AssignExact("abcd"));
  EXPECT_EQ(t, "abc");  // refused, unchanged
  EXPECT_TRUE(t.AssignExact("xy"));
  EXPECT_FALSE(t.Append("zw"));
  EXPECT_EQ(t, "xyz");
}

TEST(BoundedText, InvalidUtf8IsReplaced) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  const std::string valid = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // 1- to 4-byte characters
  EXPECT_EQ(ValidUtf8(valid), valid);
  EXPECT_EQ(ValidUtf8("10 \xB5s"), "10 " + r + "s");           // a Latin-1 byte
  EXPECT_EQ(ValidUtf8("\xE2\x82"), r + r);                     // cut at the end
  EXPECT_EQ(ValidUtf8("\xC0\xAF"), r + r);                     // overlong '/'
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), r + r + r);             // a surrogate
  EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80"), r + r + r + r);     // beyond U+10FFFF
}

TEST(BoundedText, CharactersAsTheUserCountsThem) {
  EXPECT_EQ(Utf8CharCount(""), 0u);
  EXPECT_EQ(Utf8CharCount("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), 4u);
  EXPECT_EQ(Utf8CharCount("\xFF\xC3"), 2u);  // bytes of no character count one each
}

// Braces of a tag's text: pairs stay, the others become parentheses.
TEST(TagText, UnpairedBracesBecomeParentheses) {
  const struct {
    const char* text;
    const char* paired;
    std::size_t unpaired;
  } rows[] = {
      {"{REPORT PLUGIN: T1} radar burst", "{REPORT PLUGIN: T1} radar burst", 0},
      {"ACME {lab}", "ACME {lab}", 0},
      {"gain}{SAMPLES:7", "gain)(SAMPLES:7", 2},
      {"{{a}", "({a}", 1},
      {"}}{x}{", ")){x}(", 3},
      {"{a{b}c}", "{a{b}c}", 0},
  };
  for (const auto& row : rows) {
    std::size_t replaced = 99;
    EXPECT_EQ(WithPairedBraces(row.text, &replaced), row.paired) << row.text;
    EXPECT_EQ(replaced, row.unpaired) << row.text;
    EXPECT_EQ(UnpairedBraceCount(row.text), row.unpaired) << row.text;
  }
}

TEST(Paths, StoredPathsBecomeHostPaths) {
  EXPECT_EQ(HostPath("Temp\\WV-DATA.TMP"), "Temp/WV-DATA.TMP");
  EXPECT_EQ(HostPath("C:\\data\\a.wv"), "/data/a.wv");
  EXPECT_EQ(HostPath("/home/u/a.prj"), "/home/u/a.prj");
  // A host path (what a file dialog returns) keeps a '\' that is part of a
  // name; a stored relative path behind a host folder takes '/' for it.
  EXPECT_EQ(HostPath("/home/u/Radar\\v2.prj"), "/home/u/Radar\\v2.prj");
  EXPECT_EQ(BaseName("/home/u/Radar\\v2.prj"), "Radar\\v2.prj");
  EXPECT_EQ(JoinPath("/home/u/Radar\\", "v2.prj"), "/home/u/Radar\\/v2.prj");
  EXPECT_EQ(JoinPath("/home/u", "Projects\\a.prj"), "/home/u/Projects/a.prj");
  EXPECT_TRUE(IsAbsolutePath("\\x"));
  EXPECT_TRUE(IsAbsolutePath("/x"));
  EXPECT_TRUE(IsAbsolutePath("D:\\x"));
  EXPECT_FALSE(IsAbsolutePath("x\\y"));
  EXPECT_EQ(JoinPath("/home/u/", "Temp\\"), "/home/u/Temp/");
  EXPECT_EQ(JoinPath("/home/u", "\\abs"), "/abs");
  EXPECT_EQ(DirName("/a/b/c.wv"), "/a/b");
  EXPECT_EQ(BaseName("a\\b\\c.wv"), "c.wv");
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
}

TEST(CLocale, NumbersIgnoreTheUserLocale) {
  const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
  if (german == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps makes it)";
  char buf[32];
  SnprintfC(buf, sizeof buf, "%f", 1.5);
  EXPECT_STREQ(buf, "1.500000");
  EXPECT_EQ(FormatC("%.3f|%s", 2.25, "x"), "2.250|x");
  EXPECT_DOUBLE_EQ(StrtodC("3.75", nullptr), 3.75);
  double d = 0;
  EXPECT_EQ(SscanfC("4.5", "%lf", &d), 1);
  EXPECT_DOUBLE_EQ(d, 4.5);
  std::setlocale(LC_ALL, "C");
}

// A number shown with the digits that tell it apart, never rounded into
// another number.
TEST(CLocale, FixedRealsReadBackExactly) {
  const struct {
    double value;
    int minDigits;
    const char* text;
  } rows[] = {{0.00001, 3, "0.00001"}, {0.1, 0, "0.1"}, {300.0, 0, "300"}, {0.1, 3, "0.100"},
              {-140.0, 6, "-140.000000"}, {1e-300, 0, "1e-300"}};
  for (const auto& row : rows) EXPECT_EQ(FixedRealC(row.value, row.minDigits), row.text) << row.value;
}
