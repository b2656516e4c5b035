#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "cmp_TInstallInformation.h"
#include "cmp_TProgramLauncher.h"
#include "exceptions_Tarnwick.h"

using namespace testsupport;

namespace {
std::string CopyHelper(const TTempDir& dir, const std::string& helper) {
  std::string exe = dir.File(helper + ".exe");
  EXPECT_TRUE(CopyFileA((BinDir() + "\\" + helper + ".exe").c_str(), exe.c_str(), FALSE));
  return exe;
}
}  // namespace

TEST(ProgramLauncher, ChildReceivesExactlyTheParametersAsItsCommandLine) {
  TTempDir dir;
  std::string exe = CopyHelper(dir, "guichild");
  TProgramLauncher launcher(nullptr);
  launcher.FileName = exe;
  launcher.Parameters = "/Q:A";
  launcher.ShowMode = smHide;
  launcher.Run();
  // Wine may end the input-idle wait before a fresh process has set up its
  // window station, so the window is polled for rather than required at once.
  for (int i = 0; i < 200 && !FindWindowA("TwGuiChild", nullptr); ++i) Sleep(50);
  EXPECT_NE(FindWindowA("TwGuiChild", nullptr), nullptr);
  EXPECT_EQ(ReadFileText(exe + ".cmdline"), "/Q:A");
  HWND w;
  while ((w = FindWindowA("TwGuiChild", nullptr)) != nullptr) {
    PostMessageA(w, WM_CLOSE, 0, 0);
    Sleep(50);
  }
}

TEST(ProgramLauncher, ConsoleChildReturnsAtOnceWithoutWaitingForItsEnd) {
  TTempDir dir;
  std::string exe = CopyHelper(dir, "consolechild");
  TProgramLauncher launcher(nullptr);
  launcher.FileName = exe;
  launcher.Parameters = "console child";
  launcher.Run();
  // The child waits for the release file, so it is still running here.
  EXPECT_TRUE(WaitUntil([&] { return !ReadFileText(exe + ".cmdline").empty(); }));
  EXPECT_EQ(ReadFileText(exe + ".cmdline"), "console child");
  WriteFileText(exe + ".release", "go");
  // The executable stays locked until the child has ended.
  bool gone = false;
  for (int i = 0; i < 100 && !(gone = DeleteFileA(exe.c_str()) != 0); ++i) Sleep(50);
  EXPECT_TRUE(gone);
}

TEST(ProgramLauncher, FailuresMapTheSystemCodeToTheLauncherMessage) {
  TTempDir dir;
  TProgramLauncher launcher(nullptr);
  launcher.FileName = dir.File("missing.exe");
  try {
    launcher.Run();
    FAIL() << "no exception";
  } catch (const EProgramLauncherFailed& e) {
    EXPECT_EQ(e.ErrorCode, 2);
    EXPECT_EQ(e.Message(), "File not found");
  }
  launcher.FileName = dir.File("no dir\\missing.exe");
  try {
    launcher.Run();
    FAIL() << "no exception";
  } catch (const EProgramLauncherFailed& e) {
    EXPECT_EQ(e.ErrorCode, 3);
    EXPECT_EQ(e.Message(), "Path not found");
  }
  EXPECT_STREQ(LaunchErrorMessage(0), "Out of memory");
  EXPECT_STREQ(LaunchErrorMessage(31), "File type has no association");
  EXPECT_STREQ(LaunchErrorMessage(193), "Unknown error");
}

TEST(ProgramLauncher, DefaultsAndShowCommands) {
  TProgramLauncher launcher(nullptr);
  EXPECT_EQ(launcher.Action, "Open");
  EXPECT_EQ(launcher.Timeout, -1);
  EXPECT_TRUE(launcher.Wait);
  EXPECT_EQ(launcher.ShowMode, smNormal);
  EXPECT_EQ(ShowCommandOf(smNormal), 1);
  EXPECT_EQ(ShowCommandOf(smMaximized), 3);
  EXPECT_EQ(ShowCommandOf(smMinimized), 2);
  EXPECT_EQ(ShowCommandOf(smHide), 0);
}

TEST(InstallInformation, DefaultsAndAssign) {
  TInstallInformation info;
  EXPECT_EQ(info.CompanyName, "My Company");
  EXPECT_EQ(info.ProductName, "My product");
  EXPECT_EQ(info.Version, "1.0");
  TInstallInformation other;
  other.ProductName = "Kelvo Vantlex";
  info.Assign(other);
  EXPECT_EQ(info.ProductName, "Kelvo Vantlex");
  TRegistrationInformation reg;
  EXPECT_TRUE(reg.RegCompany.empty());
  EXPECT_THROW(info.Assign(reg), Exception);
}
