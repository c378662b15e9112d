// The command line of every tool, run in an empty working folder: --help and
// --version answer and write nothing, wherever they stand; an unknown option
// is refused with the tool's failure status; what looks like an option is
// never taken as a file to write. cadenza-demo once wrote its project into a
// file named "--help".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/ProgramInfo.h"
#include "tests/support/OutsideReaders.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempDir.h"

namespace {

struct OptionRow {
  const char* tool;      // in build/tools, or "cadenza-sim"
  const char* args;      // shell words
  int status;            // the exit status
  const char* shows;     // the start of standard output; a part of standard error when status != 0
  const char* writes;    // the one file the run leaves in the working folder, "" for none
};

const OptionRow kRows[] = {
    {"cadenza-demo", "--help", 0, "usage: cadenza-demo FILE.prj\n", ""},
    {"cadenza-demo", "out.prj --version", 0, "cadenza-demo ", ""},
    {"cadenza-demo", "--bogus", 2, "cadenza-demo: unknown option '--bogus'", ""},
    {"cadenza-demo", "out.prj -o", 2, "unknown option '-o'", ""},
    {"cadenza-demo", "", 2, "missing the project file", ""},
    {"cadenza-demo", "out.prj", 0, "", "out.prj"},
    {"cadenza-demo", "./-x.prj", 0, "", "-x.prj"},
    {"cadenza-genwave", "--version", 0, "cadenza-genwave ", ""},
    {"cadenza-genwave", "--project p.prj --sequence S --out --help", 0, "usage: cadenza-genwave --project", ""},
    {"cadenza-genwave", "--project p.prj --sequence S --out -o.wv", 1, "option '--out' needs a file name, not '-o.wv'",
     ""},
    {"cadenza-genwave", "--project --sequence S", 1, "option '--project' needs a file name, not '--sequence'", ""},
    {"cadenza-genwave", "--bogus x", 1, "unknown option '--bogus'", ""},
    {"cadenza-sim", "--port 0 --version", 0, "cadenza-sim ", ""},
    {"cadenza-sim", "--port 0 --journal -j.txt", 2, "option '--journal' needs a file name, not '-j.txt'", ""},
    {"cadenza-sim", "--port 0 --journal --help", 0, "usage: cadenza-sim --port N", ""},
};

TEST(ToolOptions, HelpVersionAndUnknownOptionsWriteNothing) {
  for (const OptionRow& row : kRows) {
    SCOPED_TRACE(std::string(row.tool) + " " + row.args);
    cz::test::TempDir dir;
    const std::string work = dir.File("work"), err = dir.File("err");
    std::filesystem::create_directories(work);
    const std::string exe = std::string(row.tool) == "cadenza-sim" ? cz::test::SimExecutablePath()
                                                                   : cz::test::BuildDir() + "/tools/" + row.tool;
    std::string out;
    const int status = cz::test::RunShell(
        "cd '" + work + "' && HOME='" + dir.File("home") + "' '" + exe + "' " + row.args + " 2>'" + err + "'", &out);
    const std::string errText = cz::test::ReadFileBytes(err);
    EXPECT_EQ(status, row.status) << out << errText;
    if (row.status != 0)
      EXPECT_NE(errText.find(row.shows), std::string::npos) << errText;
    else if (std::string(row.args).find("--version") != std::string::npos)
      EXPECT_EQ(out, std::string(row.tool) + " " + cz::ProgramVersion() + "\n");
    else
      EXPECT_EQ(out.rfind(row.shows, 0), 0u) << out;
    std::string left;
    for (const auto& e : std::filesystem::directory_iterator(work)) left += e.path().filename().string();
    EXPECT_EQ(left, row.writes);
  }
}

}  // namespace
