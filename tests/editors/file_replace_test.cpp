// Every writer that replaces a user's file, against what users point it at:
// a symbolic link (the linked file gets the bytes, the link stays a link), a
// read-only file (refused with a message saying so, left as it was), a name
// at the file system's limit, and a file whose permissions must survive.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/ProjectFile.h"
#include "app/Records.h"
#include "editors/RfListEdit.h"
#include "platform/FileReplace.h"
#include "platform/sheet/Workbook.h"
#include "tests/support/TempDir.h"
#include "wavelib/WaveLib.h"

namespace {

using cz::test::FileExists;
using cz::test::ReadFileBytes;
using cz::test::WriteFileBytes;

std::vector<std::string> g_log;
void Capture(const char* t) { g_log.emplace_back(t); }
bool Logged(const std::string& needle) {
  for (const std::string& l : g_log)
    if (l.find(needle) != std::string::npos) return true;
  return false;
}

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

unsigned Mode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 07777) : 0;
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// One writer: writes its kind of file to path, 1/true on success.
struct Writer {
  const char* name;
  const char* extension;
  std::function<bool(const std::string& path)> write;
};

std::vector<Writer> Writers() {
  static const float i[3] = {0.5f, -0.5f, 0.0f};
  static const float q[3] = {0.0f, 0.25f, -0.25f};
  static const unsigned char bytes[4] = {1, 2, 3, 4};
  return {
      {"project", ".prj",
       [](const std::string& p) { return SaveProject(PulseTable, SequenceTable, p.c_str()) == 1; }},
      {"waveform", ".wv",
       [](const std::string& p) {
         WaveDescriptor d;
         d.arbClock = 1e6;
         d.markerClock = 1e6;
         d.samples = 3;
         d.iData = i;
         d.qData = q;
         return WaveLib_WriteWaveform(&d, p.c_str(), nullptr, nullptr) == 1;
       }},
      {"data list", ".dm_iqd",
       [](const std::string& p) {
         DataListDescriptor d;
         d.bitLength = 32;
         d.byteCount = 4;
         d.data = bytes;
         return WaveLib_WriteDataList(&d, p.c_str(), nullptr) == 1;
       }},
      {"control list", ".dm_iqc",
       [](const std::string& p) {
         ControlListDescriptor d;
         d.length = 4;
         d.control = bytes;
         return WaveLib_WriteControlList(&d, p.c_str(), nullptr) == 1;
       }},
      {"RF list report", ".txt",
       [](const std::string& p) {
         RfListRecord list;
         std::string reason;
         const bool ok = RfList_WriteReport(p.c_str(), list, RfListReportHeader{"p", "a", "d", "v"}, &reason);
         if (!ok) Log_Message(3, "*** ", reason.c_str(), ".");
         return ok;
       }},
      // Large bytes written in pieces with a pause after each (the project
      // file's save): every byte lands, every piece is paused after.
      {"bytes in pieces", ".bin",
       [](const std::string& p) {
         static int pauses = 0;
         std::string bytes(3 * cz::kReplacePieceBytes + 17, '\0');
         for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 31 + k / 4096);
         pauses = 0;
         std::string reason;
         const bool ok = cz::ReplaceFileContents(p, bytes, &reason, nullptr, [] { return ++pauses, 0; });
         if (!ok) Log_Message(3, "*** ", reason.c_str(), ".");
         return ok && pauses >= 4 && ReadFileBytes(cz::ResolveLinks(p)) == bytes;
       }},
      {"workbook", ".xlsx",
       [](const std::string& p) {
         cz::sheet::Workbook wb;
         std::string error;
         const bool ok = wb.SaveAs(p, &error);
         if (!ok) Log_Message(1, error.c_str());
         return ok;
       }},
  };
}

class FileReplaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char error[kWaveLibErrorTextBytes];
    ASSERT_EQ(WaveLib_Init(error, 2.2), 1);
    g_log.clear();
    Log_SetLogSink(Capture);
    ClearProject();
  }
  void TearDown() override { Log_SetLogSink(nullptr); }
  cz::test::TempDir dir_;
};

TEST_F(FileReplaceTest, ALinkedTargetGetsTheBytesAndStaysALink) {
  for (const Writer& w : Writers()) {
    SCOPED_TRACE(w.name);
    const std::string real = dir_.File(std::string("real-") + w.name);
    const std::string links = dir_.File(std::string("links-") + w.name);
    ASSERT_EQ(mkdir(real.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(links.c_str(), 0755), 0);
    const std::string target = real + "/target" + w.extension;
    const std::string link = links + "/link" + w.extension;
    ASSERT_TRUE(WriteFileBytes(target, "old bytes"));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    // A relative link, resolved from the link's own folder, through a second link.
    ASSERT_EQ(symlink((std::string("../real-") + w.name + "/target" + w.extension).c_str(),
                      (links + "/hop").c_str()), 0);
    ASSERT_EQ(symlink("hop", link.c_str()), 0);
    ASSERT_TRUE(w.write(link));
    EXPECT_TRUE(IsLink(link));
    EXPECT_TRUE(IsLink(links + "/hop"));
    const std::string now = ReadFileBytes(target);
    EXPECT_NE(now, "old bytes");
    EXPECT_FALSE(now.empty());
    EXPECT_EQ(Mode(target), 0640u) << "the replaced file keeps its permissions";
    EXPECT_EQ(Entries(real), (std::set<std::string>{std::string("target") + w.extension}));
    EXPECT_EQ(Entries(links), (std::set<std::string>{"hop", std::string("link") + w.extension}));

    // A link to a file that does not exist yet: the file is made where it points.
    const std::string dangling = links + "/new" + w.extension;
    ASSERT_EQ(symlink((real + "/made" + w.extension).c_str(), dangling.c_str()), 0);
    ASSERT_TRUE(w.write(dangling));
    EXPECT_TRUE(IsLink(dangling));
    EXPECT_FALSE(ReadFileBytes(real + "/made" + w.extension).empty());
  }
}

TEST_F(FileReplaceTest, AReadOnlyTargetIsRefusedAndLeftAsItWas) {
  for (const Writer& w : Writers()) {
    SCOPED_TRACE(w.name);
    g_log.clear();
    const std::string path = dir_.File(std::string("locked-") + w.name + w.extension);
    ASSERT_TRUE(WriteFileBytes(path, "keep me"));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    const std::set<std::string> before = Entries(dir_.path());
    EXPECT_FALSE(w.write(path));
    EXPECT_EQ(ReadFileBytes(path), "keep me");
    EXPECT_EQ(Mode(path), 0444u);
    EXPECT_TRUE(Logged("read-only")) << "the message says why";
    EXPECT_EQ(Entries(dir_.path()), before) << "nothing is left behind";
    // Through a link as well.
    const std::string link = dir_.File(std::string("to-locked-") + w.name + w.extension);
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    EXPECT_FALSE(w.write(link));
    EXPECT_EQ(ReadFileBytes(path), "keep me");
    EXPECT_TRUE(IsLink(link));
  }
}

TEST_F(FileReplaceTest, NamesAtTheLengthLimitAreWrittenAndReplaced) {
  const long limit = pathconf(dir_.path().c_str(), _PC_NAME_MAX);
  ASSERT_GT(limit, 16);
  for (const Writer& w : Writers()) {
    SCOPED_TRACE(w.name);
    const std::string ext = w.extension;
    const std::string name = std::string(static_cast<std::size_t>(limit) - ext.size(), 'n') + ext;
    const std::string folder = dir_.File(std::string("long-") + w.name);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string path = folder + "/" + name;
    g_log.clear();
    ASSERT_TRUE(w.write(path)) << (g_log.empty() ? "" : g_log.back());
    const std::string first = ReadFileBytes(path);
    EXPECT_FALSE(first.empty());
    ASSERT_TRUE(w.write(path)) << "replaced once more";
    EXPECT_EQ(Entries(folder), (std::set<std::string>{name}));
  }
}

// A project's ".bak" copy after a load: a project name that leaves no room
// for ".bak" still loads, and the log says that the backup, not the project,
// could not be written, with the system's reason.
TEST_F(FileReplaceTest, TheBackupCopyNamesItselfWhenItFails) {
  const long limit = pathconf(dir_.path().c_str(), _PC_NAME_MAX);
  const std::string fits = dir_.File(std::string(static_cast<std::size_t>(limit) - 8, 'f') + ".prj");
  ASSERT_EQ(SaveProject(PulseTable, SequenceTable, fits.c_str()), 1);
  g_log.clear();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, fits.c_str(), 0), 1);
  EXPECT_TRUE(FileExists(fits + ".bak"));
  EXPECT_FALSE(Logged("*** Failed"));

  const std::string tooLong = dir_.File(std::string(static_cast<std::size_t>(limit) - 6, 'g') + ".prj");
  ASSERT_EQ(SaveProject(PulseTable, SequenceTable, tooLong.c_str()), 1);
  g_log.clear();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, tooLong.c_str(), 0), 1);
  EXPECT_FALSE(Logged("*** Failed to save project file."));
  EXPECT_TRUE(Logged("*** Failed to save the backup copy '" + tooLong + ".bak' of the project: File name too long."));

  // A read-only backup is left as it was, and the log says so.
  ASSERT_EQ(chmod((fits + ".bak").c_str(), 0444), 0);
  const std::string oldBackup = ReadFileBytes(fits + ".bak");
  g_log.clear();
  ASSERT_EQ(LoadProject(PulseTable, SequenceTable, fits.c_str(), 0), 1);
  EXPECT_TRUE(Logged("backup copy"));
  EXPECT_TRUE(Logged("the file is read-only"));
  EXPECT_EQ(ReadFileBytes(fits + ".bak"), oldBackup);

  // A failed project save gives the reason too.
  ASSERT_EQ(chmod(fits.c_str(), 0444), 0);
  g_log.clear();
  EXPECT_EQ(SaveProject(PulseTable, SequenceTable, fits.c_str()), 0);
  EXPECT_TRUE(Logged("*** Failed to save project file."));
  EXPECT_TRUE(Logged("the file is read-only"));
}

}  // namespace
