// Checks with readers that are not the program's own: written workbooks
// with tests/support/xlsx_readers.py (openpyxl, xmllint), samples and
// waveform files with tests/support/dsp_reference.py (numpy, scipy), both
// under Debian's Python.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "tests/support/TempDir.h"

namespace cz::test {

// Runs tests/support/<script> with python3 and args (each quoted by the
// caller when needed); returns its exit code (-1 when it could not run) and
// its output in *output.
inline int RunSupportScript(const char* script, const std::string& args, std::string* output) {
  const std::string cmd = "/usr/bin/python3 '" + SourceDir() + "/tests/support/" + script + "' " + args + " 2>&1";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return -1;
  output->clear();
  char buf[512];
  while (std::fgets(buf, sizeof buf, pipe) != nullptr) *output += buf;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The spreadsheet readers (openpyxl) and the numpy/scipy reference.
inline int RunXlsxReaders(const std::string& args, std::string* output) {
  return RunSupportScript("xlsx_readers.py", args, output);
}
inline int RunDspReference(const std::string& args, std::string* output) {
  return RunSupportScript("dsp_reference.py", args, output);
}

// The number behind "name=" in a line of key=value pairs; NaN when absent.
inline double ReferenceValue(const std::string& output, const std::string& name) {
  const auto at = output.find(name + "=");
  if (at == std::string::npos) return std::nan("");
  return std::strtod(output.c_str() + at + name.size() + 1, nullptr);
}

// "'path'" for the command line of RunXlsxReaders.
inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace cz::test
