// Checks of written workbooks with readers that are not the program's own:
// tests/support/xlsx_readers.py under Debian's Python (openpyxl, xmllint).
#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "tests/support/TempDir.h"

namespace cz::test {

// Runs xlsx_readers.py with args (each quoted by the caller when needed);
// returns its exit code (-1 when it could not run) and its output in *output.
inline int RunXlsxReaders(const std::string& args, std::string* output) {
  const std::string cmd = "/usr/bin/python3 '" + SourceDir() + "/tests/support/xlsx_readers.py' " + args + " 2>&1";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return -1;
  output->clear();
  char buf[512];
  while (std::fgets(buf, sizeof buf, pipe) != nullptr) *output += buf;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// "'path'" for the command line of RunXlsxReaders.
inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace cz::test
