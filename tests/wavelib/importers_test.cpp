// I/Q, RF list and data list imports: every number format, headers, the
// scaling of an over-range file, the refusals with their messages, and the
// temporary files left consistent after a failure.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/wavelib/WaveLibTestSupport.h"

namespace {

using namespace wavelib_test;

class Importers : public WaveLibTest {
 protected:
  // Imports `text` as a text file of `format`; the pairs land in values_.
  int ImportText(const std::string& text, int format, int iColumn = 1, int qColumn = 2) {
    const std::string path = Write("iq.txt", text);
    WaveIqImportSource s;
    s.path = path.c_str();
    s.format = format;
    s.iColumn = iColumn;
    s.qColumn = qColumn;
    return Import(s);
  }
  int Import(const WaveIqImportSource& s) {
    d_ = WaveDescriptor{};
    iq_ = iq_ ? iq_ : Temp("iq.tmp");
    const int ok = WaveLib_ImportIq(&s, iq_, &d_, &texts_);
    values_ = IqValues(Content(iq_));
    return ok;
  }
  static std::string Floats(const std::vector<float>& v) {
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * 4);
  }

  FILE* iq_ = nullptr;
  WaveDescriptor d_;
  WaveImportTexts texts_;
  std::vector<float> values_;
};

TEST_F(Importers, NumberFieldsOfEveryFormat) {
  double v = 0.0;
  EXPECT_EQ(ParseImportNumber("1.5, -2.5e-1;7", 2, &v, kImportFloat), 1);
  EXPECT_DOUBLE_EQ(v, -0.25);
  EXPECT_EQ(ParseImportNumber("0 :\t.5", 2, &v, kImportFloat), 1);
  EXPECT_DOUBLE_EQ(v, 0.5);
  EXPECT_EQ(ParseImportNumber("8000 FFFF", 1, &v, kImportHex16Unsigned), 1);
  EXPECT_DOUBLE_EQ(v, (32768 - 0.5) / 32767 - 1);
  EXPECT_EQ(ParseImportNumber("8000 FFFF", 2, &v, kImportHex16Signed), 1);
  EXPECT_DOUBLE_EQ(v, (-1 - 0.5) / 32767);
  EXPECT_EQ(ParseImportNumber("16383", 1, &v, kImportInt14Unsigned), 1);
  EXPECT_DOUBLE_EQ(v, (16383 - 0.5) / 8191 - 1);
  EXPECT_EQ(ParseImportNumber("0 65535", 2, &v, kImportInt16Unsigned), 1);
  EXPECT_DOUBLE_EQ(v, (65535 - 0.5) / 32767 - 1);
  EXPECT_EQ(ParseImportNumber("-32768", 1, &v, kImportInt16Signed), 1);
  EXPECT_DOUBLE_EQ(v, (-32768 - 0.5) / 32767);

  g_lines.clear();
  EXPECT_EQ(ParseImportNumber("1 2", 3, &v, kImportFloat), 0);
  EXPECT_TRUE(Logged("*** Error in line: 1 2"));
  EXPECT_EQ(ParseImportNumber("1 2", 0, &v, kImportFloat), 0);
  EXPECT_EQ(ParseImportNumber("x1 2", 1, &v, kImportFloat), 0);
  EXPECT_EQ(ParseImportNumber("12z", 1, &v, kImportInt16Signed), 0);
  EXPECT_EQ(ParseImportNumber("1 2", 1, &v, 9), 0);
  EXPECT_TRUE(Logged("*** Unsupported data format"));
}

TEST_F(Importers, TextFilesWithHeadersInEachFormat) {
  WaveLib_SetProgressHook(CaptureProgress);
  ASSERT_EQ(ImportText("COMMENT=two tones\nCOPYRIGHT=lab\r\nCLOCKRATE=2.5e6\n\n0.5 -0.5\n"
                       "  0.25,0.75\n",
                       kImportFloat),
            1);
  EXPECT_EQ(values_, (std::vector<float>{0.5f, -0.5f, 0.25f, 0.75f}));
  EXPECT_EQ(d_.samples, 2);
  EXPECT_EQ(d_.arbClock, 2.5e6);
  EXPECT_STREQ(d_.comment, "two tones");
  EXPECT_STREQ(d_.copyright, "lab");
  EXPECT_TRUE(Logged("Processing file 1 ("));
  EXPECT_TRUE(Logged("processed lines      : 6."));
  EXPECT_TRUE(Logged("imported data points : 2."));
  EXPECT_TRUE(g_progress.empty());  // nothing to scale

  // Columns other than 1 and 2, integer formats.
  ASSERT_EQ(ImportText("7 8000 C000\n7 4000 A000\n", kImportHex16Unsigned, 3, 2), 1);
  EXPECT_FLOAT_EQ(values_[0], static_cast<float>((0xC000 - 0.5) / 32767 - 1));
  EXPECT_FLOAT_EQ(values_[1], static_cast<float>((0x8000 - 0.5) / 32767 - 1));
  EXPECT_FLOAT_EQ(values_[2], static_cast<float>((0xA000 - 0.5) / 32767 - 1));
  EXPECT_FLOAT_EQ(values_[3], static_cast<float>((0x4000 - 0.5) / 32767 - 1));
  ASSERT_EQ(ImportText("100 -100\n", kImportInt16Signed), 1);
  EXPECT_FLOAT_EQ(values_[1], static_cast<float>((-100 - 0.5) / 32767));
  ASSERT_EQ(ImportText("8191 12000\n", kImportInt14Unsigned), 1);
  EXPECT_FLOAT_EQ(values_[0], static_cast<float>((8191 - 0.5) / 8191 - 1));
  EXPECT_FLOAT_EQ(values_[1], static_cast<float>((12000 - 0.5) / 8191 - 1));
}

TEST_F(Importers, MagnitudeAboveFullScaleIsScaledInPlace) {
  WaveLib_SetProgressHook(CaptureProgress);
  ASSERT_EQ(ImportText("3 4\n0 2.5\n-1 0\n1 1\n", kImportFloat), 1);
  EXPECT_TRUE(Logged("Max. vector is 5.0000. Scaling down to 1.0..."));
  ASSERT_EQ(values_.size(), 8u);
  EXPECT_FLOAT_EQ(values_[0], 0.6f);
  EXPECT_FLOAT_EQ(values_[1], 0.8f);
  EXPECT_FLOAT_EQ(values_[3], 0.5f);
  EXPECT_FLOAT_EQ(values_[4], -0.2f);
  // RMS over the scaled pairs: (1 + 0.25 + 0.04 + 0.08) / 4.
  EXPECT_TRUE(Logged("New RMS value is  0.59.")) << g_lines.back();
  EXPECT_EQ(g_progress, (std::vector<int>{0, 25, 50, 75}));
  EXPECT_TRUE(SlotsFree());
}

TEST_F(Importers, RefusedTextImportsLeaveWhatWasWritten) {
  struct Case {
    std::string text;
    int format;
    std::vector<std::string> messages;
    std::size_t pairsKept;
  } cases[] = {
      {"0.1 0.2\nCLOCKRATE=300\n0.3 0.4\n", kImportFloat,
       {"*** Line 2: Number for CLOCKRATE is out of range. Aborting."}, 1},
      {"CLOCKRATE=600000001\n", kImportFloat, {"*** Line 1: Number for CLOCKRATE is out of range. Aborting."}, 0},
      {"0.1 0.2\n0.3 1e6\n", kImportFloat,
       {"*** Error: Numbers appear to be too large. Check data format and range!",
        "    (DataPoint=1, I=0.300, Q=1000000.000)"},
       1},
      {"0.1 0.2\n0.3\n", kImportFloat, {"*** Error in line: 0.3", "*** Error importing IQ ASCII floating point data."}, 1},
      // Samples that are no finite numbers are no samples.
      {"0.1 0.2\nnan 0.1\n", kImportFloat, {"*** Error importing IQ ASCII floating point data."}, 1},
      {"0.1 inf\n", kImportFloat, {"*** Error importing IQ ASCII floating point data."}, 0},
      {"0.1 0.2\n0.3 1e999\n", kImportFloat, {"*** Error importing IQ ASCII floating point data."}, 1},
      {"12 70000\n", kImportInt16Unsigned, {"*** Error: Numbers appear to be too large."}, 0},
      {"1 2\nzz 1\n", kImportInt16Signed, {"*** Error importing IQ ASCII INT16 data."}, 1},
      {"FFFF G\n", kImportHex16Unsigned, {"*** Error importing IQ ASCII HEX data."}, 0},
      // A NAME=value line longer than the line limit is refused whole.
      {"0 0\nCOMMENT=" + std::string(600, 'x') + "\n", kImportFloat,
       {"*** Line 2: Maximum length exceeded. Aborting."}, 1},
  };
  for (const Case& c : cases) {
    g_lines.clear();
    EXPECT_EQ(ImportText(c.text, c.format), 0) << c.text.substr(0, 40);
    for (const std::string& m : c.messages) EXPECT_TRUE(Logged(m)) << m;
    EXPECT_EQ(values_.size(), 2 * c.pairsKept) << c.text.substr(0, 40);
    EXPECT_TRUE(SlotsFree());
  }
  // A missing file.
  WaveIqImportSource s;
  const std::string none = dir_.File("none.txt");
  s.path = none.c_str();
  g_lines.clear();
  EXPECT_EQ(Import(s), 0);
  EXPECT_TRUE(Logged("*** File I/O error."));
}

TEST_F(Importers, BinaryFilesAndASecondFileOfQValues) {
  const std::string one = Write("one.bin", "COMMENT=bin\r\nCLOCKRATE=1000\nDATA\n" +
                                               Floats({0.5f, 0.25f, -0.5f, 0.125f}));
  WaveIqImportSource s;
  s.path = one.c_str();
  s.format = kImportBinary;
  ASSERT_EQ(Import(s), 1);
  EXPECT_EQ(values_, (std::vector<float>{0.5f, 0.25f, -0.5f, 0.125f}));
  EXPECT_EQ(d_.arbClock, 1000.0);
  EXPECT_STREQ(texts_.comment, "bin");

  // I values in the first file, Q values in the second (fewer: the rest 0).
  const std::string i = Write("i.bin", "DATA\n" + Floats({0.1f, 0.2f, 0.3f}));
  const std::string q = Write("q.bin", "CLOCKRATE=2000\nDATA\n" + Floats({-0.1f, -0.2f}));
  s.path = i.c_str();
  s.secondPath = q.c_str();
  ASSERT_EQ(Import(s), 1);
  EXPECT_EQ(values_, (std::vector<float>{0.1f, -0.1f, 0.2f, -0.2f, 0.3f, 0.0f}));
  EXPECT_EQ(d_.arbClock, 2000.0);
  EXPECT_TRUE(Logged("Importing from 2nd BINARY file '" + q + "'."));
  EXPECT_TRUE(Logged("Processing file 2 ("));

  // A second file longer than the first is refused; the temporary file
  // still holds the first file's samples.
  const std::string longer = Write("long.bin", "DATA\n" + Floats({1, 2, 3, 4}));
  s.secondPath = longer.c_str();
  g_lines.clear();
  EXPECT_EQ(Import(s), 0);
  EXPECT_TRUE(Logged("*** 2nd file contains more data than first file."));
  EXPECT_EQ(values_, (std::vector<float>{0.1f, 0.0f, 0.2f, 0.0f, 0.3f, 0.0f}));
  // A text file as the second source, read as binary: refused, no crash.
  const std::string text = Write("text.txt", "0.1 0.2\n");
  s.secondPath = text.c_str();
  EXPECT_EQ(Import(s), 0);
  EXPECT_TRUE(SlotsFree());
}

TEST_F(Importers, RfListRangesAndTheFullTable) {
  std::vector<double> f(3), l(3);
  WaveRfListTable table{3, f.data(), l.data()};
  const std::string good = Write("rf.txt", "% comment\n/ another\n\n1.5 -10  \r\n0.0001 -145\n6 19\n");
  ASSERT_EQ(WaveLib_ImportRfList(good.c_str(), &table), 1);
  // Exactly as many points as the table holds.
  EXPECT_EQ(table.capacity, 3);
  EXPECT_EQ(f, (std::vector<double>{1.5, 0.0001, 6}));
  EXPECT_EQ(l, (std::vector<double>{-10, -145, 19}));
  EXPECT_TRUE(Logged("3 lines imported."));

  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"1 0\n1 0\n1 0\n1 0\n", "Maximum number of entries exceeded."},
      {"1 0\n% skipped lines count\n6.1 0\n", "Line 3: Frequency out of range. Aborting."},
      {"0.00005 0\n", "Line 1: Frequency out of range. Aborting."},
      {"1 0\n\n1 19.5\n", "Line 3: Power out of range. Aborting."},
      {"1 -145.1\n", "Line 1: Power out of range. Aborting."},
      {std::string(512, '1') + "\n", "Line 1: Maximum length exceeded. Aborting."},
  };
  for (const Case& c : cases) {
    g_lines.clear();
    table.capacity = 3;
    EXPECT_EQ(WaveLib_ImportRfList(Write("bad.txt", c.text).c_str(), &table), 0) << c.message;
    EXPECT_TRUE(Logged(c.message)) << c.message;
  }
  // A line of exactly 511 characters is still read.
  table.capacity = 3;
  EXPECT_EQ(WaveLib_ImportRfList(Write("edge.txt", "2 -3" + std::string(507, ' ') + "\n").c_str(), &table), 1);
  EXPECT_EQ(table.capacity, 1);
  g_lines.clear();
  EXPECT_EQ(WaveLib_ImportRfList(dir_.File("none.txt").c_str(), &table), 0);
  EXPECT_TRUE(Logged("Error opening input file."));
}

TEST_F(Importers, DataListSymbolsAndControlBytes) {
  FILE* data = Temp("dl.tmp");
  FILE* marker = Temp("m.tmp");
  const std::string path = Write("dl.txt",
                                 "COMMENT=frame\nMOD=QPSK\nATT=3.5\nSYMRATE=1e6\nALPHA=0.35\nFILTER=rrc\n"
                                 "1 0, 1 1 MARKER1 BURST\n0011\n10 HOP\n");
  DataListDescriptor d;
  WaveImportTexts texts;
  ASSERT_EQ(WaveLib_ImportDataList(path.c_str(), data, marker, &d, &texts), 1);
  // 10 bits: 1011 0011 10 -> 0xB3, 0x80.
  EXPECT_EQ(Content(data), "DLB" + Bytes({0xB3, 0x80}));
  // Two symbols from line 1, two from line 2, one from line 3.
  EXPECT_EQ(Content(marker), Bytes({0x11, 0x11, 0x00, 0x00, 0x80}));
  EXPECT_EQ(d.bitLength, 10u);
  EXPECT_EQ(d.byteCount, 2u);
  EXPECT_EQ(d.bitsPerSymbol, 2u);
  EXPECT_EQ(d.symbolCount, 5u);
  EXPECT_STREQ(d.comment, "frame");
  for (const char* line : {" - COMMENT = frame", " - MOD = QPSK", " - ATT = 3.50", " - SYMRATE = 1000000.00",
                           " - ALPHA = 0.35", " - FILTER = rrc", " - Bytes: 2 , Bits: 10", " - Symbols: 5.",
                           "Imported 2 bytes, 5 symbols."})
    EXPECT_TRUE(Logged(line)) << line;

  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"0101\n", "*** Line 1: BITSPERSYMBOL still undefined. Aborting."},
      {"BITSPERSYMBOL=9\n", "*** Line 1: Number for BITSPERSYMBOL is out of range. Aborting."},
      // Numbers beyond int that would wrap to 1 or 4 bits when narrowed.
      {"BITSPERSYMBOL=4294967297\n", "*** Line 1: Number for BITSPERSYMBOL is out of range. Aborting."},
      {"BITSPERSYMBOL=18446744073709551620\n", "*** Line 1: Number for BITSPERSYMBOL is out of range. Aborting."},
      {"BITSPERSYMBOL=-4294967292\n", "*** Line 1: Number for BITSPERSYMBOL is out of range. Aborting."},
      {"MOD=QAM7\n", "*** Cannot determine number of bits per symbol."},
      {"MOD=BPSK\nATT=-1\n", "*** Line 2: Number for ATT is out of range. Aborting."},
      {"MOD=BPSK\nSYMRATE=0\n", "*** Line 2: Number for SYMRATE is out of range. Aborting."},
      {"MOD=BPSK\nALPHA=2\n", "*** Line 2: Number for ALPHA is out of range. Aborting."},
      {"MOD=BPSK\n" + std::string(600, '1') + "\n", "*** Line 2: Maximum length exceeded. Aborting."},
      {"MOD=" + std::string(600, 'Q') + "\n", "*** Line 1: Maximum length exceeded. Aborting."},
      {"MOD=BPSK\n", "*** Error: wrong import data format."},
  };
  for (const Case& c : cases) {
    g_lines.clear();
    EXPECT_EQ(WaveLib_ImportDataList(Write("bad.txt", c.text).c_str(), data, marker, &d, nullptr), 0) << c.message;
    EXPECT_TRUE(Logged(c.message)) << c.message;
    EXPECT_EQ(Content(data).substr(0, 3), "DLB");
    EXPECT_TRUE(SlotsFree());
  }
  g_lines.clear();
  EXPECT_EQ(WaveLib_ImportDataList(path.c_str(), nullptr, marker, &d, nullptr), 0);
  EXPECT_TRUE(Logged("*** Temporary file for data list not open."));
  EXPECT_EQ(WaveLib_ImportDataList(path.c_str(), data, nullptr, &d, nullptr), 0);
  EXPECT_TRUE(Logged("*** Temporary file for marker data not open."));
}

// Text files of every system: a byte-order mark, CR-only and CR LF line
// ends and tabs import as a plain file does; lines beyond the 511-character
// limit (1,023, 1,024 and 3,000 characters), a file with no usable row and
// a file that cannot be read are refused, and the RF table keeps what it
// held.
TEST_F(Importers, TextFilesOfEverySystemAndLength) {
  struct Form {
    const char* what;
    std::string head, sep, end;
  } forms[] = {{"plain", "", " ", "\n"},         {"mark", "\xEF\xBB\xBF", " ", "\n"},
               {"CR only", "", " ", "\r"},        {"CR LF", "", " ", "\r\n"},
               {"mark, tabs", "\xEF\xBB\xBF", "\t", "\r"}};
  for (const Form& f : forms) {
    const std::string iq = f.head + "CLOCKRATE=1e6" + f.end + "0.5" + f.sep + "-0.5" + f.end + "0.25" + f.sep + "0.75";
    ASSERT_EQ(ImportText(iq, kImportFloat), 1) << f.what;
    EXPECT_EQ(values_, (std::vector<float>{0.5f, -0.5f, 0.25f, 0.75f})) << f.what;
    EXPECT_EQ(d_.arbClock, 1e6) << f.what;

    std::vector<double> fr(4), lv(4);
    WaveRfListTable table{4, fr.data(), lv.data()};
    const std::string rf = f.head + "% list" + f.end + "1.5" + f.sep + "-10" + f.end + "2.5" + f.sep + "-20" + f.end;
    ASSERT_EQ(WaveLib_ImportRfList(Write("rf.txt", rf).c_str(), &table), 1) << f.what;
    EXPECT_EQ(table.capacity, 2) << f.what;
    EXPECT_EQ(fr[0], 1.5) << f.what;
    EXPECT_EQ(lv[1], -20.0) << f.what;

    FILE* data = Temp("dl.tmp");
    FILE* marker = Temp("m.tmp");
    DataListDescriptor dl;
    const std::string list = f.head + "BITSPERSYMBOL=1" + f.end + "1011" + f.end + "0011" + f.end;
    ASSERT_EQ(WaveLib_ImportDataList(Write("dl.txt", list).c_str(), data, marker, &dl, nullptr), 1) << f.what;
    EXPECT_EQ(dl.bitLength, 8u) << f.what;
    EXPECT_EQ(Content(data), "DLB" + Bytes({0xB3})) << f.what;
  }

  const std::vector<double> oldF = {5.0, 5.5}, oldL = {-1.0, -2.0};
  for (std::size_t length : {1023u, 1024u, 3000u}) {
    const std::string wide = "1.5 -10" + std::string(length - 7, ' ');
    EXPECT_EQ(ImportText(wide + "\n0.5 0.5\n", kImportFloat), 0) << length;
    std::vector<double> fr = oldF, lv = oldL;
    WaveRfListTable table{2, fr.data(), lv.data()};
    EXPECT_EQ(WaveLib_ImportRfList(Write("rf.txt", "2 -3\n" + wide + "\n").c_str(), &table), 0) << length;
    EXPECT_EQ(fr, oldF) << "the table keeps what it held";
    EXPECT_EQ(table.capacity, 2);
    FILE* data = Temp("dl.tmp");
    FILE* marker = Temp("m.tmp");
    DataListDescriptor dl;
    EXPECT_EQ(WaveLib_ImportDataList(Write("dl.txt", "BITSPERSYMBOL=1\n" + std::string(length, '1') + "\n").c_str(),
                                     data, marker, &dl, nullptr),
              0)
        << length;
  }

  // No usable row, and a folder (it opens, but cannot be read).
  g_lines.clear();
  EXPECT_EQ(ImportText("\xEF\xBB\xBF" "COMMENT=none\r\n\r\n", kImportFloat), 0);
  EXPECT_TRUE(Logged("imported data points : 0."));
  std::vector<double> fr = oldF, lv = oldL;
  WaveRfListTable table{2, fr.data(), lv.data()};
  EXPECT_EQ(WaveLib_ImportRfList(Write("rf.txt", "1 0\nabc\n").c_str(), &table), 0);
  EXPECT_EQ(WaveLib_ImportRfList(dir_.path().c_str(), &table), 0);
  EXPECT_EQ(fr, oldF);
  EXPECT_EQ(lv, oldL);
  EXPECT_EQ(table.capacity, 2);
  WaveIqImportSource s;
  s.path = dir_.path().c_str();
  s.format = kImportFloat;
  EXPECT_EQ(Import(s), 0);
  FILE* data = Temp("dl.tmp");
  FILE* marker = Temp("m.tmp");
  DataListDescriptor dl;
  EXPECT_EQ(WaveLib_ImportDataList(Write("dl.txt", "\xEF\xBB\xBF" "BITSPERSYMBOL=1\r\n\r\n").c_str(), data, marker,
                                   &dl, nullptr),
            0);
  EXPECT_EQ(WaveLib_ImportDataList(dir_.path().c_str(), data, marker, &dl, nullptr), 0);
  EXPECT_TRUE(SlotsFree());
}

}  // namespace
