#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "cmp_TInstallContainer.h"
#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "ordlg_SelectFolder.h"
#include "routines_API.h"
#include "routines_Cleanup.h"
#include "routines_ExpandPaths.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

#include <algorithm>

using namespace testsupport;

namespace {
int DetectedUnder(const std::string& version) {
  return RunWithWindowsVersion("osprobe", version, "osversion");
}
}  // namespace

TEST(GetOSVersion, ReportsEachSystemThePrefixPretendsToBe) {
  EXPECT_EQ(DetectedUnder("win98"), oswin98);
  EXPECT_EQ(DetectedUnder("winme"), oswinME);
  EXPECT_EQ(DetectedUnder("nt40"), oswinNT);
  EXPECT_EQ(DetectedUnder("win2k"), oswin2K);
  EXPECT_EQ(DetectedUnder("winxp"), oswinXP);
  EXPECT_EQ(DetectedUnder("win95"), oswin95);
}

TEST(GetOSVersion, DefaultWindows7IsUnidentified) {
  EXPECT_EQ(DetectedUnder(""), osUnidentified);
  EXPECT_EQ(GetOSVersion(), osUnidentified);
}

TEST(PlatformQueries, DirectoriesHaveNoTrailingBackslashAndExist) {
  for (const std::string& dir : {GetWindowsDir(), GetSystemDir(), GetTempDir()}) {
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '\\') << dir;
    DWORD a = GetFileAttributesA(dir.c_str());
    EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) << dir;
  }
  EXPECT_TRUE(SameText(ExtractFileDir(GetSystemDir()), GetWindowsDir()));
}

TEST(PlatformQueries, TempFileNameIsKeptOnlyWhenAsked) {
  std::string kept = CreateTempFileName(true);
  EXPECT_TRUE(SameText(ExtractFileDir(kept), GetTempDir())) << kept;
  EXPECT_TRUE(SameText(ExtractFileName(kept).substr(0, 3), "bat")) << kept;
  EXPECT_TRUE(FileExists(kept));
  std::string dropped = CreateTempFileName(false);
  EXPECT_FALSE(FileExists(dropped));
  EXPECT_NE(kept, dropped);
  DeleteFileA(kept.c_str());
}

TEST(PlatformQueries, ShortPathOfLongNameIsEightDotThree) {
  TTempDir dir;
  std::string longDir = dir.File("A rather long directory name");
  ASSERT_TRUE(CreateDirectoryA(longDir.c_str(), nullptr));
  std::string shortPath = GetShortPath(longDir);
  std::string last = ExtractFileName(shortPath);
  EXPECT_LE(last.size(), 12u) << shortPath;
  EXPECT_EQ(last.find(' '), std::string::npos) << shortPath;
  DWORD a = GetFileAttributesA(shortPath.c_str());
  EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) << shortPath;
  // A path that does not exist has no short form and comes back unchanged.
  EXPECT_EQ(GetShortPath(dir.File("missing name.txt")), dir.File("missing name.txt"));
}

namespace {
// The running system as the engine's hook reports it, for one scope.
class RunningAs {
public:
  explicit RunningAs(TOSVerType os) : saved_(RunningOSHook) {
    s_os = os;
    RunningOSHook = [] { return s_os; };
  }
  ~RunningAs() { RunningOSHook = saved_; }

private:
  static inline TOSVerType s_os = osUnidentified;
  TOSVerType (*saved_)();
};
}  // namespace

// Systems after XP are reported as unidentified and follow XP's rules; the
// 9x family and systems without a shell keep theirs.
TEST(SystemFamilies, LaterSystemsDecideAsXPDoes) {
  struct Case {
    TOSVerType os;
    int runOnceRoot;      // where AddRunOnce writes
    bool cmdCleanup;      // the clean-up batch is for cmd.exe, not command.com
    bool listsStartMenu;  // the Start-menu page offers the existing folders
  };
  const Case cases[] = {
      {osUnidentified, kHKCU, true, true},
      {oswinXP, kHKCU, true, true},
      {oswin98, kHKLM, false, true},
      {os31win32, kHKLM, false, false},
  };
  const std::string menuFolder = UniqueName("TwMenu");
  const std::string menuPath = AddBackslash(GetProgramsMenuDir()) + menuFolder;
  ASSERT_TRUE(CreateDirectoryA(menuPath.c_str(), nullptr)) << menuPath;
  const std::string name = UniqueName("TwFamily");
  for (const Case& c : cases) {
    SCOPED_TRACE(OSVerTypeName(c.os));
    RunningAs system(c.os);

    ASSERT_TRUE(AddRunOnce(name, "C:\\setup.exe -r", false));
    const int other = c.runOnceRoot == kHKCU ? kHKLM : kHKCU;
    EXPECT_EQ(ReadRegistryString(c.runOnceRoot, kRunOnceKey, name, "<none>"), "C:\\setup.exe -r");
    EXPECT_EQ(ReadRegistryString(other, kRunOnceKey, name, "<none>"), "<none>");
    for (int root : {kHKCU, kHKLM}) {
      TtrnwRegistry r;
      r.SetRootKeyIndex(root);
      if (r.OpenKey(kRunOnceKey, false)) r.DeleteValue(name);
    }

    TTempDir unpacked("twsetup");
    WriteFileText(unpacked.File("setup.exe"), "program");
    const std::string batch = PrepareProgramDirCleanup(unpacked.File("setup.exe"), {"setup.exe"});
    ASSERT_FALSE(batch.empty());
    const std::string text = ReadFileText(batch);
    DeleteFileA(batch.c_str());
    EXPECT_EQ(text.find("RMDIR /S /Q \"" + unpacked.Path() + "\"") != std::string::npos, c.cmdCleanup) << text;
    EXPECT_EQ(text.find("DELTREE /Y ") != std::string::npos, !c.cmdCleanup) << text;

    const std::vector<std::string> folders = StartMenuFolderChoices();
    EXPECT_EQ(std::count(folders.begin(), folders.end(), menuFolder), c.listsStartMenu ? 1 : 0);
    if (!c.listsStartMenu) {
      EXPECT_TRUE(folders.empty());
    }
  }
  RemoveDirectoryA(menuPath.c_str());
}
