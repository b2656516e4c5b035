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
  const std::string sharedCom = root.File("Common\\sharedcom.dll");
  const std::string link = menu + "\\Readme.lnk", self = app + "\\Uninstall\\uninstall.exe";
  const std::string userFile = app + "\\data\\mine.txt";
  for (const std::string& f : {plain, help, shared, link, userFile}) Write(f);
  for (const std::string& f : {com, sharedCom}) {
    Write(f);
    ASSERT_TRUE(CopyFileA((BinDir() + "\\comserver.dll").c_str(), f.c_str(), FALSE));
  }
  Write(self);
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));

  // What the setup program records.
  WriteRegistryString(kHKLM, key, "DisplayName", product);
  WriteRegistryString(kHKLM, key, "UninstallString", self + " " + product);
  // Passes cut short before they stored their counts: File4 lies past its
  // count, and Files1 has none.
  WriteRegistryString(kHKLM, key + "\\Files", "Entries", "3");
  WriteRegistryString(kHKLM, key + "\\Files", "File1", plain);
  WriteRegistryString(kHKLM, key + "\\Files", "File2", help);
  WriteRegistryString(kHKLM, key + "\\Files", "File3", shared);
  WriteRegistryString(kHKLM, key + "\\Files", "File4", self);
  WriteRegistryString(kHKLM, key + "\\Files1", "File1", link);
  WriteRegistryString(kHKLM, key + "\\ActiveX", "Entries", "2");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File1", com + ";0");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File2", sharedCom + ";0");
  const char* helpKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";
  const char* sharedKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  WriteRegistryString(kHKLM, helpKey, "VORERURO.HLP", bin);
  WriteRegistryInteger(kHKLM, sharedKey, shared, 2);
  WriteRegistryInteger(kHKLM, sharedKey, sharedCom, 2);
  for (const std::string& f : {com, sharedCom}) {
    ASSERT_EQ(RunAndWait("rundll32.exe \"" + f + "\",DllRegisterServer"), 0);
    ASSERT_EQ(ReadRegistryInteger(kHKCU, "\\Software\\TarnwickTests\\ComServer", f, 0), 1);
  }

  ASSERT_EQ(RunAndWait(self + " /S " + product), 0);

  EXPECT_FALSE(FileExists(plain));
  EXPECT_FALSE(FileExists(help));
  EXPECT_EQ(ReadRegistryString(kHKLM, helpKey, "VORERURO.HLP", "<none>"), "<none>");
  EXPECT_FALSE(FileExists(com));
  EXPECT_EQ(ReadRegistryInteger(kHKCU, "\\Software\\TarnwickTests\\ComServer", com, 0), 0);
  // Another product still uses the shared library: kept, its count lowered.
  EXPECT_TRUE(FileExists(shared));
  EXPECT_EQ(ReadRegistryInteger(kHKLM, sharedKey, shared, 0), 1);
  // So does a shared ActiveX server, which also stays registered.
  EXPECT_TRUE(FileExists(sharedCom));
  EXPECT_EQ(ReadRegistryInteger(kHKLM, sharedKey, sharedCom, 0), 1);
  EXPECT_EQ(ReadRegistryInteger(kHKCU, "\\Software\\TarnwickTests\\ComServer", sharedCom, 0), 1);
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

  RunAndWait("rundll32.exe \"" + sharedCom + "\",DllUnregisterServer");
  TtrnwRegistry s;
  s.SetRootKeyIndex(kHKLM);
  for (const std::string& f : {shared, sharedCom}) {
    DeleteFileA(f.c_str());
    if (s.OpenKey(sharedKey, false)) s.DeleteValue(f);
  }
}

// Files held open by a running program cannot go: the key keeps exactly their
// records and the uninstaller's, the uninstaller stays, and a second run once
// they are free removes the rest and the key.
TEST(Uninstaller, FilesInUseKeepTheirRecordsForASecondRun) {
  TTempDir root("uninst");
  const std::string product = UniqueName("TwPartial");
  const std::string key = TUninstaller::UninstallKeyOf(product);
  const std::string app = root.File("App"), self = app + "\\Uninstall\\uninstall.exe";
  const std::string freeFile = app + "\\bin\\free.txt", held = app + "\\bin\\held.txt";
  const std::string com = app + "\\bin\\held.dll";
  for (const std::string& f : {freeFile, held}) Write(f);
  Write(self);
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((BinDir() + "\\comserver.dll").c_str(), com.c_str(), FALSE));
  WriteRegistryString(kHKLM, key, "DisplayName", product);
  WriteRegistryString(kHKLM, key + "\\Files", "Entries", "2");
  WriteRegistryString(kHKLM, key + "\\Files", "File1", freeFile);
  WriteRegistryString(kHKLM, key + "\\Files", "File2", self);
  WriteRegistryString(kHKLM, key + "\\Files1", "Entries", "1");
  WriteRegistryString(kHKLM, key + "\\Files1", "File1", held);
  WriteRegistryString(kHKLM, key + "\\ActiveX", "Entries", "1");
  WriteRegistryString(kHKLM, key + "\\ActiveX", "File1", com + ";0");
  auto hold = [](const std::string& p) {
    return CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  HANDLE h1 = hold(held), h2 = hold(com);
  ASSERT_NE(h1, INVALID_HANDLE_VALUE);
  ASSERT_NE(h2, INVALID_HANDLE_VALUE);

  EXPECT_EQ(RunAndWait(self + " /S " + product), 4);
  CloseHandle(h1);
  CloseHandle(h2);
  EXPECT_FALSE(FileExists(freeFile));
  EXPECT_TRUE(FileExists(held));
  EXPECT_TRUE(FileExists(com));
  EXPECT_TRUE(FileExists(self));
  EXPECT_EQ(ReadRegistryString(kHKLM, key, "DisplayName", "<none>"), product);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "Entries", ""), "2");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File1", ""), held);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File2", ""), self);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\ActiveX", "Entries", ""), "1");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\ActiveX", "File1", ""), com + ";0");
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  EXPECT_FALSE(r.KeyExists(key + "\\Files1"));

  EXPECT_EQ(RunAndWait(self + " /S " + product), 0);
  EXPECT_FALSE(FileExists(held));
  EXPECT_FALSE(FileExists(com));
  EXPECT_FALSE(r.KeyExists(key));
  for (int i = 0; i < 200 && DirExists(app + "\\Uninstall"); ++i) Sleep(100);
  EXPECT_FALSE(DirExists(app + "\\Uninstall"));
  EXPECT_FALSE(DirExists(app));
  DeleteRegistryTree(kHKLM, key);
}

TEST(Uninstaller, UnknownProductChangesNothing) {
  TTempDir root("uninst");
  std::string self = root.File("uninstall.exe");
  ASSERT_TRUE(CopyFileA((BinDir() + "\\uninstall.exe").c_str(), self.c_str(), FALSE));
  EXPECT_EQ(RunAndWait("\"" + self + "\" /S " + UniqueName("NotInstalled")), 1);
  EXPECT_TRUE(FileExists(self));
}
