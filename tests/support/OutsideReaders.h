// Checks with readers that are not the program's own: written workbooks
// with tests/support/xlsx_readers.py (openpyxl, xmllint), samples and
// waveform files with tests/support/dsp_reference.py (numpy, scipy), the
// tags of a waveform header with tests/support/wave_tags.py, all under
// Debian's Python.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "tests/support/TempDir.h"

namespace cz::test {

// Runs cmd through the shell; its standard output (whole, NULs included) in
// *output. Returns the exit code, -1 when it could not run or did not exit.
inline int RunShell(const std::string& cmd, std::string* output) {
  output->clear();
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buf[4096];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, pipe)) > 0) output->append(buf, got);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs tests/support/<script> with python3 and args (each quoted by the
// caller when needed), its standard error with the output.
inline int RunSupportScript(const char* script, const std::string& args, std::string* output) {
  return RunShell("/usr/bin/python3 '" + SourceDir() + "/tests/support/" + script + "' " + args + " 2>&1", output);
}

// The spreadsheet readers (openpyxl) and the numpy/scipy reference.
inline int RunXlsxReaders(const std::string& args, std::string* output) {
  return RunSupportScript("xlsx_readers.py", args, output);
}
inline int RunDspReference(const std::string& args, std::string* output) {
  return RunSupportScript("dsp_reference.py", args, output);
}
// "NAME|value" lines of the header of the waveform file at path.
inline int RunWaveTags(const std::string& path, std::string* output) {
  return RunSupportScript("wave_tags.py", "'" + path + "'", output);
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
