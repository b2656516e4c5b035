#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Strings.h"

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
