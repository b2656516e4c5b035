#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "routines_API.h"
#include "routines_Cleanup.h"
#include "routines_DeferredDelete.h"
#include "routines_Strings.h"

using namespace testsupport;

namespace {

// A directory like the one the loading program unpacks into, with the helper
// program copied in as the setup program.
std::string MakeProgramDir(const std::string& parent, const std::string& program) {
  const std::string dir = AddBackslash(parent) + UniqueName("twsetup");
  CreateDirectoryA(dir.c_str(), nullptr);
  CopyFileA((BinDir() + "\\cleanupchild.exe").c_str(), (dir + "\\" + program).c_str(), FALSE);
  return dir;
}

// A file or a directory is there.
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(ProgramDirCleanup, UnpackedTempDirectoryIsRemovedOnceTheProgramHasEnded) {
  const std::string dir = MakeProgramDir(GetTempDir(), "Setup Program.exe");
  WriteFileText(dir + "\\readme.txt", "pre-setup file");
  ASSERT_TRUE(FileExists(dir + "\\Setup Program.exe"));
  const int rc = RunAndWait("\"" + dir + "\\Setup Program.exe\" \"Setup Program.exe\" readme.txt");
  ASSERT_EQ(0, rc);
  // The helper waits a moment before exiting, so the batch meets a running
  // program first and has to wait for it.
  EXPECT_TRUE(WaitUntil([&] { return !Exists(dir); })) << dir;
  if (Exists(dir)) RemoveTree(dir);
}

TEST(ProgramDirCleanup, DirectoriesOtherThanTheUnpackedOneAreNeverTouched) {
  // A folder of the user's own, started by hand with -c.
  const std::string userDir = "C:\\" + UniqueName("twuserfiles");
  CreateDirectoryA(userDir.c_str(), nullptr);
  CopyFileA((BinDir() + "\\cleanupchild.exe").c_str(), (userDir + "\\setup.exe").c_str(), FALSE);
  WriteFileText(userDir + "\\letter.doc", "the user's work");
  EXPECT_EQ(1, RunAndWait("\"" + userDir + "\\setup.exe\" setup.exe letter.doc"));

  // Below the temporary directory but holding a file setup.1 did not carry.
  const std::string extra = MakeProgramDir(GetTempDir(), "setup.exe");
  WriteFileText(extra + "\\notes.txt", "not unpacked");
  EXPECT_EQ(1, RunAndWait("\"" + extra + "\\setup.exe\" setup.exe"));

  // Deeper than a direct child of the temporary directory.
  TTempDir outer("cleanup");
  const std::string nested = MakeProgramDir(outer.Path(), "setup.exe");
  EXPECT_EQ(1, RunAndWait("\"" + nested + "\\setup.exe\" setup.exe"));

  // Exit code 1: the helper refused before it deleted anything or started a
  // batch, and it has ended, so nothing more can happen to these files.
  EXPECT_TRUE(FileExists(userDir + "\\letter.doc"));
  EXPECT_TRUE(FileExists(userDir + "\\setup.exe"));
  EXPECT_TRUE(FileExists(extra + "\\notes.txt"));
  EXPECT_TRUE(FileExists(extra + "\\setup.exe"));
  EXPECT_TRUE(FileExists(nested + "\\setup.exe"));
  RemoveTree(userDir);
  RemoveTree(extra);
}

TEST(ProgramDirCleanup, DirectoryCheckWantsOnlyUnpackedFilesAndNoSubdirectories) {
  TTempDir dir("unpacked");
  WriteFileText(dir.File("setup.exe"), "x");
  WriteFileText(dir.File("ShFolder.Exe"), "x");
  EXPECT_TRUE(IsUnpackedProgramDirectory(dir.Path(), {"setup.exe", "C:\\build\\SHFOLDER.EXE"}));
  EXPECT_FALSE(IsUnpackedProgramDirectory(dir.Path(), {"setup.exe"}));
  EXPECT_FALSE(IsUnpackedProgramDirectory(dir.Path(), {}));
  EXPECT_FALSE(IsUnpackedProgramDirectory(GetTempDir(), {"setup.exe", "ShFolder.Exe"}));
  CreateDirectoryA(dir.File("sub").c_str(), nullptr);
  EXPECT_FALSE(IsUnpackedProgramDirectory(dir.Path(), {"setup.exe", "ShFolder.Exe", "sub"}));
}

TEST(ProgramDirCleanup, BatchErasesTheProgramBeforeRemovingTheDirectoryByFamily) {
  TTempDir dir("batchtext");
  WriteFileText(dir.File("setup.exe"), "x");
  const std::string batch = GetTempDir() + "\\bat1.bat";
  const std::string nt = ProgramDirCleanupBatchText(dir.File("setup.exe"), batch, true);
  const auto eraseProgram = nt.find("ERASE \"" + dir.File("setup.exe") + "\"");
  const auto removeDir = nt.find("RMDIR /S /Q \"" + dir.Path() + "\"");
  ASSERT_NE(std::string::npos, eraseProgram);
  ASSERT_NE(std::string::npos, removeDir);
  EXPECT_LT(eraseProgram, removeDir);
  EXPECT_EQ(std::string::npos, nt.find("DELTREE"));
  EXPECT_NE(std::string::npos, nt.find("ERASE \"" + batch + "\""));

  const std::string w9x = ProgramDirCleanupBatchText(dir.File("setup.exe"), batch, false);
  const auto deltree = w9x.find("DELTREE /Y " + GetShortPath(dir.Path()));
  EXPECT_NE(std::string::npos, deltree);
  // Only what DELTREE left, after it.
  const auto fallback = w9x.find("IF EXIST " + GetShortPath(dir.Path()) + "\\NUL RMDIR /S /Q ");
  EXPECT_NE(std::string::npos, fallback);
  EXPECT_GT(fallback, deltree);
  EXPECT_EQ(std::string::npos, w9x.find("CD /D"));
}

// "%" in a path must reach the command interpreter as itself: each batch
// writer's batch, run on a folder named "100%x", removes that folder and not
// "100x", the folder a bare "%x" would name, and erases itself from a folder
// named "50%y".
TEST(ProgramDirCleanup, BatchesRemoveTheNamedFolderWhenItsPathHoldsAPercentSign) {
  using TWriter = std::string (*)(const std::string& program, const std::string& batch);
  const struct {
    const char* name;
    TWriter write;
  } writers[] = {
      {"deferred delete",
       [](const std::string& program, const std::string& batch) {
         TDeferredDelete request;
         request.Files.push_back(program);
         request.Directories.push_back(ExtractFileDir(program));
         return DeferredDeleteBatchText(request, batch);
       }},
      {"clean-up, NT family",
       [](const std::string& program, const std::string& batch) {
         return ProgramDirCleanupBatchText(program, batch, true);
       }},
  };
  for (const auto& w : writers) {
    SCOPED_TRACE(w.name);
    TTempDir root("pct");
    const std::string dir = root.File("100%x"), decoy = root.File("100x"), batchDir = root.File("50%y");
    for (const std::string& d : {dir, decoy, batchDir}) {
      ASSERT_TRUE(CreateDirectoryA(d.c_str(), nullptr)) << d;
      WriteFileText(d + "\\setup.exe", "x");
    }
    const std::string batch = batchDir + "\\run.bat";
    WriteFileText(batch, w.write(dir + "\\setup.exe", batch));
    ASSERT_NE(-1, RunAndWait("cmd.exe /c \"" + batch + "\""));
    EXPECT_FALSE(Exists(dir)) << ReadFileText(batch);
    EXPECT_TRUE(FileExists(decoy + "\\setup.exe"));
    EXPECT_FALSE(FileExists(batch));
    EXPECT_TRUE(FileExists(batchDir + "\\setup.exe"));
  }
}
