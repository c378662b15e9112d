// settings.ini and the home path: the working directory's settings.ini
// (its [General] HomePath names the home path, GetHomePath) and the home
// path's settings.ini (LoadSettings). The input is both files; without a
// HomePath the home is $HOME/Cadenza/ of the scratch folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "app/Settings.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  const std::string& dir = cz::fuzz::Scratch();
  mkdir((dir + "/work").c_str(), 0700);
  mkdir((dir + "/user").c_str(), 0700);
  mkdir((dir + "/user/Cadenza").c_str(), 0700);
  FUZZ_CHECK(chdir((dir + "/work").c_str()) == 0);
  setenv("HOME", (dir + "/user").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  cz::fuzz::WriteScratch("work/settings.ini", data, size);
  cz::fuzz::WriteScratch("user/Cadenza/settings.ini", data, size);
  char home[cz::kHomePathSize];
  std::memset(home, 'x', sizeof home);
  const int found = GetHomePath(home, sizeof home);
  FUZZ_CHECK(found == 0 || found == 1);
  FUZZ_CHECK(std::memchr(home, '\0', sizeof home) != nullptr);
  if (found) FUZZ_CHECK(home[0] != '\0' && home[std::strlen(home) - 1] == '/');
  AppSettings s;
  const int read = LoadSettings(s);
  FUZZ_CHECK(read == 0 || read == 1);
  return 0;
}
