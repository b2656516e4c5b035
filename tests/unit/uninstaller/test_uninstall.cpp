#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "Uninstaller.h"
#include "cmp_TTrnwRegistry.h"
#include "routines_API.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

using namespace testsupport;

TEST(UninstallCommandLine, ProductNameFollowsTheUnquotedProgramPath) {
  const std::string exe = "C:\\Program Files\\Kelvo\\Vantlex 2006\\Uninstall\\uninstall.exe";
  EXPECT_EQ(ParseUninstallCommandLine(exe + " Kelvo Vantlex Console for NetWare 2006", exe).ProductName,
            "Kelvo Vantlex Console for NetWare 2006");
  EXPECT_EQ(ParseUninstallCommandLine("\"" + exe + "\" Kelvo Vantlex", exe).ProductName, "Kelvo Vantlex");
  // The system may pass the path without ".exe" or in another case.
  EXPECT_EQ(ParseUninstallCommandLine("c:\\program files\\kelvo\\vantlex 2006\\uninstall\\UNINSTALL  My  Product ",
                                      exe).ProductName,
            "My  Product");
  TUninstallCommand silent = ParseUninstallCommandLine(exe + " /S Kelvo", exe);
  EXPECT_TRUE(silent.Silent);
  EXPECT_EQ(silent.ProductName, "Kelvo");
  TUninstallCommand notSilent = ParseUninstallCommandLine(exe + " /Smith Tools", exe);
  EXPECT_FALSE(notSilent.Silent);
  EXPECT_EQ(notSilent.ProductName, "/Smith Tools");
  EXPECT_EQ(ParseUninstallCommandLine(exe, exe).ProductName, "");
  // A program path that differs from the module path: the first word is skipped.
  EXPECT_EQ(ParseUninstallCommandLine("un.exe Product X", exe).ProductName, "Product X");
}

namespace {
constexpr int kHKLM = 4;
constexpr int kHKCU = 2;

void Write(const std::string& path, const std::string& text = "data") {
  CreateDirectoryA(ExtractFileDir(ExtractFileDir(path)).c_str(), nullptr);
  CreateDirectoryA(ExtractFileDir(path).c_str(), nullptr);
  WriteFileText(path, text);
}
bool DirExists(const std::string& p) {
  DWORD a = GetFileAttributesA(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

// A product laid out and recorded as the setup program does, removed by the
// real uninstall.exe started the way the uninstall entry starts it.
TEST(Uninstaller, RemovesRecordedFilesRegistrationsAndItself) {
  TTempDir root("uninst");
  const std::string product = UniqueName("TwProduct");
  const std::string key = TUninstaller::UninstallKeyOf(product);
  const std::string app = root.File("Vantlex 2006");
  const std::string bin = app + "\\bin";
  const std::string menu = root.File("Programs\\Vantlex Group");
  const std::string plain = bin + "\\voreruro.exe", help = bin + "\\VORERURO.HLP";
  const std::string shared = bin + "\\shared.dll", com = bin + "\\comserver.dll";
  const std::string link = menu + "\\Readme.lnk", self = app + "\\Uninstall\\uninstall.exe";
  const std::string userFile = app + "\\data\\mine.txt";
  for (const std::string& f : {plain, help, shared, link, userFile}) Write(f);
  Write(com);
  ASSERT_TRUE(CopyFileA((BinDir() + "\\comserver.dll").c_str(), com.c_str(), FALSE));
  Write(self);
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));

  // What the setup program records.
  WriteRegistryString(kHKLM, key, "DisplayName", product);
  WriteRegistryString(kHKLM, key, "UninstallString", self + " " + product);
  WriteRegistryString(kHKLM, key + "\\Files", "Entries", "4");
  WriteRegistryString(kHKLM, key + "\\Files", "File1", plain);
  WriteRegistryString(kHKLM, key + "\\Files", "File2", help);
  WriteRegistryString(kHKLM, key + "\\Files", "File3", shared);
  WriteRegistryString(kHKLM, key + "\\Files", "File4", self);
  WriteRegistryString(kHKLM, key + "\\Files1", "Entries", "1");
  WriteRegistryString(kHKLM, key + "\\Files1", "File1", link);
  WriteRegistryString(kHKLM, key + "\\ActiveX", "Entries", "1");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File1", com + ";0");
  const char* helpKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";
  const char* sharedKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  WriteRegistryString(kHKLM, helpKey, "VORERURO.HLP", bin);
  WriteRegistryInteger(kHKLM, sharedKey, shared, 2);
  ASSERT_EQ(RunAndWait("rundll32.exe \"" + com + "\",DllRegisterServer"), 0);
  ASSERT_EQ(ReadRegistryInteger(kHKCU, "\\Software\\TarnwickTests\\ComServer", com, 0), 1);

  ASSERT_EQ(RunAndWait(self + " /S " + product), 0);

  EXPECT_FALSE(FileExists(plain));
  EXPECT_FALSE(FileExists(help));
  EXPECT_EQ(ReadRegistryString(kHKLM, helpKey, "VORERURO.HLP", "<none>"), "<none>");
  EXPECT_FALSE(FileExists(com));
  EXPECT_EQ(ReadRegistryInteger(kHKCU, "\\Software\\TarnwickTests\\ComServer", com, 0), 0);
  // Another product still uses the shared library: kept, its count lowered.
  EXPECT_TRUE(FileExists(shared));
  EXPECT_EQ(ReadRegistryInteger(kHKLM, sharedKey, shared, 0), 1);
  // Emptied folders go; a folder with the user's own files stays.
  EXPECT_FALSE(DirExists(menu));
  EXPECT_TRUE(FileExists(userFile));
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  EXPECT_FALSE(r.KeyExists(key));
  // The uninstaller and its folder are removed once it has ended.
  for (int i = 0; i < 200 && DirExists(app + "\\Uninstall"); ++i) Sleep(100);
  EXPECT_FALSE(FileExists(self));
  EXPECT_FALSE(DirExists(app + "\\Uninstall"));
  EXPECT_TRUE(DirExists(app));

  DeleteFileA(shared.c_str());
  TtrnwRegistry s;
  s.SetRootKeyIndex(kHKLM);
  if (s.OpenKey(sharedKey, false)) s.DeleteValue(shared);
}

TEST(Uninstaller, UnknownProductChangesNothing) {
  TTempDir root("uninst");
  std::string self = root.File("uninstall.exe");
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));
  EXPECT_EQ(RunAndWait("\"" + self + "\" /S " + UniqueName("NotInstalled")), 1);
  EXPECT_TRUE(FileExists(self));
}
