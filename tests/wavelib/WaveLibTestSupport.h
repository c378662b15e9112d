// Shared by the waveform-library tests: the log and progress captured into
// vectors, open temporary files "w+b" as the builder leaves them, and the
// byte layouts of the temporary I/Q file.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "Shared/FileIO/FileIOBufferedIO.h"
#include "app/Log.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace wavelib_test {

inline std::vector<std::string> g_lines;
inline std::vector<int> g_progress;
inline void CaptureLine(const char* text) { g_lines.emplace_back(text); }
inline void CaptureProgress(int percent) { g_progress.push_back(percent); }

inline bool Logged(const std::string& piece) {
  for (const std::string& l : g_lines)
    if (l.find(piece) != std::string::npos) return true;
  return false;
}

// The DATE tag changes with every run; tests compare it as a pattern.
inline std::string WithoutDate(const std::string& file) {
  static const std::regex date(R"(\{DATE:\d{4}-\d\d-\d\d;\d\d:\d\d:\d\d\})");
  return std::regex_replace(file, date, "{DATE}", std::regex_constants::format_first_only);
}

inline std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

// "IQF" and float32 I, Q pairs.
inline std::string IqFile(const std::vector<float>& i, const std::vector<float>& q) {
  std::string s = "IQF";
  for (std::size_t k = 0; k < i.size(); ++k) {
    s.append(reinterpret_cast<const char*>(&i[k]), 4);
    s.append(reinterpret_cast<const char*>(&q[k]), 4);
  }
  return s;
}

// The pairs of a temporary I/Q file's bytes, or empty when the tag is wrong.
inline std::vector<float> IqValues(const std::string& bytes) {
  std::vector<float> v;
  if (bytes.compare(0, 3, "IQF") != 0) return v;
  v.resize((bytes.size() - 3) / 4);
  if (!v.empty()) std::memcpy(v.data(), bytes.data() + 3, v.size() * 4);
  return v;
}

class WaveLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines.clear();
    g_progress.clear();
    Log_SetLogSink(CaptureLine);
    Log_SetMask(0xF);
    char error[kWaveLibErrorTextBytes] = "x";
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    EXPECT_STREQ(error, "");
  }
  void TearDown() override {
    WaveLib_ClearProgressHook();
    SetBufferSlotBytes(kBufferSlotBytes);
    Log_SetLogSink(nullptr);
    Log_SetMask(0xC);
    for (FILE* f : files_) std::fclose(f);
  }
  // A temporary file "w+b" holding `content`, as the builder leaves them.
  FILE* Temp(const std::string& name, const std::string& content = {}) {
    FILE* f = std::fopen(dir_.File(name).c_str(), "w+b");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fflush(f);
    files_.push_back(f);
    return f;
  }
  // What an open temporary file holds now.
  static std::string Content(FILE* f) {
    std::fflush(f);
    std::string s;
    std::fseek(f, 0, SEEK_END);
    s.resize(static_cast<std::size_t>(std::ftell(f)));
    std::rewind(f);
    if (!s.empty() && std::fread(s.data(), 1, s.size(), f) != s.size()) s.clear();
    return s;
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    cz::test::WriteFileBytes(path, bytes);
    return path;
  }
  static bool SlotsFree() {
    for (int s = 0; s < 4; ++s)
      if (GetBufferSlot(s)->readBuffer || GetBufferSlot(s)->writeBuffer) return false;
    return true;
  }

  cz::test::TempDir dir_;
  std::vector<FILE*> files_;
};

}  // namespace wavelib_test
