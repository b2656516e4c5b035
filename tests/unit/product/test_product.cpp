// The staged Kelvo build tree: every file the project installs is where the
// project takes it from, the console's version resource reads back, the
// console runs, and the shell-folder installer's quiet run leaves its trace.
#include <gtest/gtest.h>

#include "cmp_TProgramLauncher.h"

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "cmp_TVersion.h"

using testsupport::BinDir;
using testsupport::FileExists;
using testsupport::ReadFileText;
using testsupport::RunAndWait;
using testsupport::TTempDir;

namespace {

std::string ProductDir() { return BinDir() + "\\..\\product"; }
std::string BinFile(const std::string& name) { return ProductDir() + "\\bin\\" + name; }
std::string DataFile(const std::string& name) { return ProductDir() + "\\install\\data\\" + name; }

std::string RegString(HKEY key, const char* name) {
  char buf[1024] = {};
  DWORD size = sizeof(buf) - 1, type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return "(missing)";
  return buf;
}

DWORD RegDword(HKEY key, const char* name) {
  DWORD v = 0xFFFFFFFF, size = sizeof(v), type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0xFFFFFFFF;
  return v;
}

const char kTraceKey[] = "Software\\Kelvo\\ShFolderTrace";

}  // namespace

TEST(ProductTree, EveryProjectFileIsStagedWhereTheProjectTakesItFrom) {
  for (const char* name : {"voreruro.exe", "VORERURO.NLM", "Voreruro.312", "VORERURO.HLP", "voreruro.GID",
                           "voreruro.cnt"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(FileExists(BinFile(name)));
  }
  for (const char* name : {"Readme.wri", "ShFolder.Exe", "uninstall.exe", "LICENSE.rtf"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(FileExists(DataFile(name)));
  }
  // Each file is what its name says.
  EXPECT_EQ(ReadFileText(BinFile("VORERURO.NLM")).substr(0, 24), std::string("NetWare Loadable Module\x1a"));
  const std::string hlp = ReadFileText(BinFile("VORERURO.HLP"));
  ASSERT_GE(hlp.size(), 16u);
  EXPECT_EQ(hlp.substr(0, 4), std::string("\x3f\x5f\x03\x00", 4));
  EXPECT_EQ(static_cast<unsigned char>(hlp[12]) | static_cast<unsigned char>(hlp[13]) << 8, static_cast<int>(hlp.size()));
  EXPECT_NE(hlp.find("Kelvo Vantlex Console for NetWare 2006 Help"), std::string::npos);
  EXPECT_EQ(ReadFileText(BinFile("voreruro.GID")).substr(0, 4), std::string("\x3f\x5f\x03\x00", 4));
  EXPECT_EQ(ReadFileText(BinFile("voreruro.cnt")).substr(0, 24), ":Base VORERURO.HLP>main\r");
  const std::string wri = ReadFileText(DataFile("Readme.wri"));
  ASSERT_GE(wri.size(), 256u);
  EXPECT_EQ(wri.substr(0, 2), "\x31\xbe");
  EXPECT_EQ(wri.size() % 128, 0u);
  EXPECT_NE(wri.find("Version 6.0.2006.1"), std::string::npos);
  const std::string licence = ReadFileText(DataFile("LICENSE.rtf"));
  EXPECT_EQ(licence.substr(0, 6), "{\\rtf1");
  EXPECT_NE(licence.find("END-USER LICENCE AGREEMENT"), std::string::npos);
  // The uninstaller is the one this build made.
  EXPECT_EQ(ReadFileText(DataFile("uninstall.exe")), ReadFileText(BinDir() + "\\uninstall.exe"));
}

TEST(ProductTree, ConsoleVersionResourceReadsBack) {
  const std::string exe = BinFile("voreruro.exe");
  EXPECT_EQ(FileVersionOf(exe), "6.0.2006.1");
  TVersionResource v(nullptr);
  v.SetFileName(exe);
  EXPECT_EQ(v.VersionInfo().FileVersion, "6.0.2006.1");
  EXPECT_EQ(v.VersionInfo().ProductVersion, "6.0.2006.1");
  EXPECT_EQ(v.VersionInfo().CompanyName, "Kelvo Software");
  EXPECT_EQ(v.VersionInfo().ProductName, "Kelvo Vantlex Console for NetWare 2006");
  EXPECT_EQ(v.VersionInfo().OriginalFileName, "voreruro.exe");
  // A newer build replaces it under the version rule; an older one does not.
  EXPECT_EQ(TVersionResource::IsFileNewer("6.0.2006.2", exe, owVersion, 0), vrReplace);
  EXPECT_EQ(TVersionResource::IsFileNewer("6.0.2005.9", exe, owVersion, 0), vrKeep);
}

TEST(ProductTree, ConsoleOpensItsWindowAndClosesCleanly) {
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + BinFile("voreruro.exe") + "\"";
  ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);
  WaitForInputIdle(pi.hProcess, 10000);
  HWND window = nullptr;
  for (int i = 0; i < 100 && !window; ++i) {
    HWND w = FindWindowA("KelvoVantlexConsole", nullptr);
    DWORD pid = 0;
    if (w) GetWindowThreadProcessId(w, &pid);
    if (pid == pi.dwProcessId) window = w;
    else Sleep(100);
  }
  ASSERT_NE(window, nullptr);
  char title[128] = {};
  GetWindowTextA(window, title, sizeof(title));
  EXPECT_STREQ(title, "Vantlex Server Console");
  EXPECT_NE(GetMenu(window), nullptr);
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(code, 0u);
}

TEST(ShFolder, QuietRunLeavesItsTraceAndShowsNothing) {
  TTempDir temp("shf");
  RegDeleteKeyA(HKEY_CURRENT_USER, kTraceKey);
  char oldTemp[MAX_PATH] = {}, oldTmp[MAX_PATH] = {};
  GetEnvironmentVariableA("TEMP", oldTemp, sizeof(oldTemp));
  GetEnvironmentVariableA("TMP", oldTmp, sizeof(oldTmp));
  SetEnvironmentVariableA("TEMP", temp.Path().c_str());
  SetEnvironmentVariableA("TMP", temp.Path().c_str());
  const std::string exe = "\"" + DataFile("ShFolder.Exe") + "\"";
  // A message box would keep it running until the wait gives up.
  const int first = RunAndWait(exe + " /Q:A", 20000);
  const int second = RunAndWait(exe + " /q:a /R:N", 20000);
  // An unknown switch is refused, quietly, and leaves no trace.
  const int refused = RunAndWait(exe + " /Q:A /X", 20000);
  // As an installer starts it: the switches are the whole command line.
  TProgramLauncher launcher(nullptr);
  launcher.FileName = DataFile("ShFolder.Exe");
  launcher.Parameters = "/Q:A";
  launcher.Run();
  for (int i = 0; i < 100 && ReadFileText(temp.File("shfolder-ran.txt")).size() < 22; ++i) Sleep(100);
  SetEnvironmentVariableA("TEMP", oldTemp);
  SetEnvironmentVariableA("TMP", oldTmp);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTraceKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  const DWORD present = RegDword(key, "LibraryPresent");
  EXPECT_EQ(first, present == 1 ? 0 : 2);
  EXPECT_EQ(second, first);
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(RegString(key, "CommandLine"), "/Q:A");
  EXPECT_EQ(RegString(key, "Quiet"), "A");
  EXPECT_EQ(RegDword(key, "RunCount"), 3u);
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_CURRENT_USER, kTraceKey);
  EXPECT_EQ(ReadFileText(temp.File("shfolder-ran.txt")), "/Q:A\r\n/q:a /R:N\r\n/Q:A\r\n");
}
