// Fixture for tests that run the program's start-up: a working folder whose
// settings.ini points at a fresh home, the start-up switches of a test run
// (no screen check, no echo, no project load) and the tear-down after it.
// The test writes the home's own settings.ini before InitApplication.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "app/PluginLoader.h"
#include "app/Startup.h"
#include "instrument/Identify.h"
#include "tests/support/OffscreenApp.h"
#include "tests/support/TempDir.h"

namespace cz::test {

class StartupHomeTest : public OffscreenAppTest {
 protected:
  // Folder the plug-ins are loaded from; an empty folder by default.
  virtual std::string PluginFolder() const { return dir_.File("plugins"); }

  void SetUp() override {
    OffscreenAppTest::SetUp();
    work_ = dir_.File("work");
    home_ = dir_.File("home");
    mkdir(work_.c_str(), 0755);
    mkdir(home_.c_str(), 0755);
    mkdir(dir_.File("plugins").c_str(), 0755);
    ASSERT_TRUE(WriteFileBytes(work_ + "/settings.ini", "[General]\r\nHomePath = \"" + home_ + "/\"\r\n"));
    ASSERT_EQ(chdir(work_.c_str()), 0);
    SetPluginFolder(PluginFolder());
    SkipScreenTest = 1;
    StartupEcho = 0;
    SkipProjectLoad = 1;
  }
  void TearDown() override {
    TearDownApplication();
    SetPluginFolder("");
    ResetInstrumentCapabilities();
    OffscreenAppTest::TearDown();
  }

  TempDir dir_;
  std::string work_, home_;
};

}  // namespace cz::test
