// Where the program finds its parts, from the folder of its executable, and
// the installed program's own folders, which nothing writes into.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/FileReplace.h"
#include "platform/ProgramInfo.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class ProgramInfoTest : public ::testing::Test {
 protected:
  void TearDown() override { cz::SetProgramFolder(""); }
  // Makes the folders (relative to the test's folder) and runs as if the
  // executable were in exe.
  void Layout(std::initializer_list<const char*> folders, const char* exe) {
    for (const char* f : folders) fs::create_directories(dir_.File(f));
    cz::SetProgramFolder(dir_.File(exe));
  }
  cz::test::TempDir dir_;
};

// The build tree's "Plugins" beside the program or its folder, else the
// install's plug-in folder relative to bin.
TEST_F(ProgramInfoTest, PluginFolderOfEachLayout) {
  struct Row {
    std::initializer_list<const char*> folders;
    const char* exe;
    bool installed;
    const char* plugins;
  };
  const Row rows[] = {
      {{"build/Plugins"}, "build", false, "build/Plugins"},
      {{"build/Plugins", "build/tools"}, "build/tools", false, "build/Plugins"},
      {{"usr/bin", "usr/lib/cadenza/plugins", "usr/share/cadenza"}, "usr/bin", true, "usr/lib/cadenza/plugins"},
      // A "Plugins" beside the program is the build tree's, also in a bin folder.
      {{"opt/bin/Plugins", "opt/lib/cadenza/plugins"}, "opt/bin", false, "opt/bin/Plugins"},
      {{"bare"}, "bare", false, "bare/Plugins"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.exe);
    Layout(row.folders, row.exe);
    EXPECT_EQ(cz::ProgramInstalled(), row.installed);
    EXPECT_EQ(cz::DefaultPluginFolder(), dir_.File(row.plugins));
    EXPECT_EQ(cz::ProgramDataFolder(), row.installed ? dir_.File("usr/share/cadenza") : "");
  }
}

TEST_F(ProgramInfoTest, InstallFoldersTakeNoFile) {
  Layout({"usr/bin", "usr/lib/cadenza/plugins", "usr/share/cadenza/examples/demo", "usr/share/cadenzas", "home"},
         "usr/bin");
  const std::string demo = dir_.File("usr/share/cadenza/examples/demo/Demo.prj");
  ASSERT_TRUE(cz::test::WriteFileBytes(demo, "demo"));
  ASSERT_EQ(symlink(dir_.File("usr/share/cadenza/examples").c_str(), dir_.File("home/link").c_str()), 0);
  struct Row {
    const char* path;
    bool inside;
  };
  const Row rows[] = {
      {"usr/share/cadenza/examples/demo/Demo.prj", true},
      {"usr/share/cadenza/examples/demo/Demo.prj.bak", true},
      {"usr/share/cadenza/new/folder/x.wv", true},  // folders not made yet
      {"usr/bin/../share/cadenza/x.wv", true},
      {"usr/lib/cadenza/plugins/x.so", true},
      {"usr/bin/settings.ini", true},
      {"home/link/demo/Demo.prj", true},            // through a link of the user's
      {"usr/share/cadenzas/x.prj", false},          // a folder whose name only begins alike
      {"usr/lib/other.so", false},
      {"home/Demo.prj", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(cz::InsideInstallFolders(dir_.File(row.path)), row.inside);
  }
  std::string reason;
  EXPECT_FALSE(cz::ReplaceFileContents(demo, "changed", &reason));
  EXPECT_EQ(reason, cz::kInstallFolderReason);
  EXPECT_EQ(cz::test::ReadFileBytes(demo), "demo");
  EXPECT_TRUE(cz::ReplaceFileContents(dir_.File("home/Demo.prj"), "mine", &reason)) << reason;

  // The same folders of a program run from the build tree are the user's.
  fs::create_directories(dir_.File("usr/bin/Plugins"));
  EXPECT_FALSE(cz::InsideInstallFolders(demo));
}

}  // namespace
