// settings.ini and the home path: the working directory's settings.ini
// (its [General] HomePath names the home path, GetHomePath) and the home
// path's settings.ini (LoadSettings). The input is the working directory's
// file, a line "--" ("\n--\n"), then the home path's file, which stands both
// in the folder "home" of the working directory (HomePath = "home") and in
// $HOME/Cadenza/ of the scratch folder (the home without a HomePath). An
// input without the line is both files.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/Settings.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cz::fuzz::Setup();
  const std::string& dir = cz::fuzz::Scratch();
  mkdir((dir + "/work").c_str(), 0700);
  mkdir((dir + "/user").c_str(), 0700);
  mkdir((dir + "/user/Cadenza").c_str(), 0700);
  mkdir((dir + "/work/home").c_str(), 0700);
  FUZZ_CHECK(chdir((dir + "/work").c_str()) == 0);
  setenv("HOME", (dir + "/user").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cz::fuzz::NextInput();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const bool split = rest.find("\n--\n") != std::string_view::npos;
  const std::string_view working = cz::fuzz::NextPart(&rest);
  const std::string_view homeFile = split ? rest : working;
  cz::fuzz::WriteScratch("work/settings.ini", working);
  cz::fuzz::WriteScratch("user/Cadenza/settings.ini", homeFile);
  cz::fuzz::WriteScratch("work/home/settings.ini", homeFile);
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
