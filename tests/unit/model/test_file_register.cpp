// Post-install actions on real files and registry: COM servers, executable
// servers, type libraries, help files, shared-DLL counts and the uninstall
// records of installed files.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "ModelTestSupport.h"
#include "cmp_TTrnwRegistry.h"

using namespace modeltest;
using testsupport::BinDir;
using testsupport::MessageOf;
using testsupport::WaitUntil;
using testsupport::WriteFileText;

namespace {

const char* const kComServerKey = "\\Software\\TarnwickTests\\ComServer";
const char* const kTypeLibKey = "\\TypeLib\\{5A3B7C10-2E4D-4F61-9A8B-7C6D5E4F3A21}";

class FileRegister : public ModelTest {
protected:
  void TearDown() override {
    for (const std::string& v : comValues_) DeleteRegistryValue(HKEY_CURRENT_USER, kComServerKey, v);
    for (const auto& v : hklmValues_) DeleteRegistryValue(HKEY_LOCAL_MACHINE, v.first, v.second);
    ModelTest::TearDown();
  }
  // A copy of a built fixture among the sources, as an ActiveX install file
  // of a directory (the way a streamed project stores the flags).
  TInstallFile* Server(const std::string& fixture, const std::string& fileName) {
    EXPECT_TRUE(CopyFileA((BinDir() + "\\" + fixture).c_str(), Source(fileName).c_str(), FALSE)) << fixture;
    if (!dir) dir = Directory();
    TInstallFile* f = FileFor(dir, "if" + ChangeFileExt(fileName, ""), fileName);
    f->SetLoadingState(true);
    f->SetActiveX(true);
    f->SetFileType(iftNormal);
    f->SetLoadingState(false);
    return f;
  }
  void ForgetComServer(const std::string& path) { comValues_.push_back(path); }
  // Waits until the executable server `exe` has written both lines of its
  // log beside itself and ended (a running executable cannot be deleted).
  static bool ServerRanAndEnded(const std::string& exe) {
    const std::string log = ExtractFilePath(exe) + "regserver.log";
    return WaitUntil([&] {
             const std::string text = Slurp(log);
             return std::count(text.begin(), text.end(), '\n') == 2;
           }) &&
           WaitUntil([&] { return DeleteFileA(exe.c_str()) != 0; });
  }
  void ForgetHKLMValue(const std::string& key, const std::string& name) { hklmValues_.emplace_back(key, name); }

  TInstallDirectory* dir = nullptr;

private:
  std::vector<std::string> comValues_;
  std::vector<std::pair<std::string, std::string>> hklmValues_;
};

}  // namespace

// ------------------------------------------------------------ COM servers

TEST_F(FileRegister, LibraryIsRegisteredThroughDllRegisterServer) {
  TInstallFile* f = Server("comserver.dll", "comsrv.dll");
  Build(dir);
  ForgetComServer(Dest("comsrv.dll"));
  char before[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(MAX_PATH, before);
  dir->Install();
  EXPECT_TRUE(f->Processed);
  EXPECT_TRUE(RegistryValueExists(HKEY_CURRENT_USER, kComServerKey, Dest("comsrv.dll")));
  char after[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(MAX_PATH, after);
  EXPECT_STREQ(after, before);
}

TEST_F(FileRegister, FailedRegistrationOutsideARunIsRaised) {
  TInstallFile* f = Server("failserver.dll", "failing.dll");
  Build(dir);
  const std::string message = MessageOf([&] { dir->Install(); });
  EXPECT_EQ(message, "Could not register the ActiveX component, " + Dest("failing.dll") +
                         ", because the DllRegisterServer function returned a value of -2147467259. The file "
                         "component is iffailing");
  EXPECT_EQ(DeferredRegistrations().Count(), 0);
  EXPECT_FALSE(f->Processed);
  EXPECT_EQ(dir->Mode, 0);
}

TEST_F(FileRegister, FailedRegistrationInARunIsDeferredThenRetried) {
  TInstallFile* f = Server("failserver.dll", "failing.dll");
  TInstallFile* g = Server("failserver.dll", "stubborn.dll");
  Build(dir);
  OutsideRun = false;
  ASSERT_NO_THROW(dir->Install());
  EXPECT_TRUE(f->Processed && g->Processed);
  ASSERT_EQ(DeferredRegistrations().Count(), 2);
  EXPECT_TRUE(DeferredRegistrations().Contains(f));
  EXPECT_TRUE(DeferredRegistrations().Contains(g));

  // The retry after the tree: one now succeeds, the other is reported.
  WriteFileText(Dest("register.ok"), "");
  EXPECT_NO_THROW(f->RegisterActiveX());
  DeleteFileA(Dest("register.ok").c_str());
  EXPECT_EQ(MessageOf([&] { g->RegisterActiveX(); }),
            "Could not register the ActiveX component, " + Dest("stubborn.dll") +
                ", because the DllRegisterServer function returned a value of -2147467259. The file component is "
                "ifstubborn");
  // Two attempts at install time, two retries.
  EXPECT_EQ(Slurp(Dest("attempts.txt")), "attempt\r\nattempt\r\nattempt\r\nattempt\r\n");
  // A destroyed file leaves the deferred list.
  delete g;
  EXPECT_EQ(DeferredRegistrations().Count(), 1);
}

TEST_F(FileRegister, LibraryWithoutTheEntryPointOrMissingIsReported) {
  TInstallFile* f = Server("twstrings.dll", "strings.dll");
  Build(dir);
  const std::string message = MessageOf([&] { dir->Install(); });
  EXPECT_EQ(message.rfind("Could not register the ActiveX component, " + Dest("strings.dll") +
                              ", because the DllRegisterServer function could not be found. The file component is "
                              "ifstrings. The following value is the value of the GetLastError function: ",
                          0),
            0u)
      << message;
  DeleteFileA(Dest("strings.dll").c_str());
  EXPECT_EQ(MessageOf([&] { f->RegisterActiveX(); }),
            "Cannot compress,copy, or install the following file because it's destination directory is blank. "
            "File is :ifstrings");
}

TEST_F(FileRegister, ExecutableServerIsStartedWithRegserver) {
  TInstallFile* f = Server("regserver.exe", "server.exe");
  Build(dir);
  dir->Install();
  EXPECT_TRUE(f->Processed);
  ASSERT_TRUE(ServerRanAndEnded(Dest("server.exe"))) << "the server did not run, or did not end";
  const std::string text = Slurp(Dest("regserver.log"));
  const std::string commandLine = text.substr(0, text.find('\n'));
  EXPECT_EQ(commandLine, "/REGSERVER");
  // It runs in the destination directory.
  EXPECT_TRUE(SameText(Trim(text.substr(text.find('\n') + 1)), destDir)) << text;
}

TEST_F(FileRegister, TypeLibraryIsRegisteredWithItsHelpDirectory) {
  TInstallFile* f = File(nullptr, "ifTypes", "twtest.tlb", "");
  ASSERT_TRUE(CopyFileA((BinDir() + "\\twtest.tlb").c_str(), Source("twtest.tlb").c_str(), FALSE));
  EXPECT_TRUE(f->ActiveX());
  // Installed where the test says, not in the system directory.
  f->SetFileType(iftNormal);
  dir = Directory();
  f->SetContainer(dir);
  f->UpdateDLLCounter = false;
  Build(dir);
  DeleteRegistryTree(kHKCR, kTypeLibKey);
  dir->Install();
  const std::string version = std::string(kTypeLibKey) + "\\1.0";
  const std::string registered = ReadRegistryString(kHKCR, version + "\\0\\win64", "", "");
  const std::string helpDir = ReadRegistryString(kHKCR, version + "\\HELPDIR", "", "");
  DeleteRegistryTree(kHKCR, kTypeLibKey);
  EXPECT_TRUE(SameText(registered, Dest("twtest.tlb"))) << registered;
  EXPECT_EQ(helpDir, "C:\\TwHelp");

  // A file that is no type library raises the COM error.
  WriteFileText(Dest("twtest.tlb"), "not a type library");
  EXPECT_THROW(f->RegisterActiveX(), Exception);
  EXPECT_FALSE(ReadRegistryString(kHKCR, version + "\\0\\win64", "", "").size());
}

TEST_F(FileRegister, InUseServerIsRegisteredOnlyAfterTheRestart) {
  TTestInstall* install = MakeInstall();
  TInstallFile* f = Server("comserver.dll", "comsrv.dll");
  Build(dir);
  CreateDirectoryA(destDir.c_str(), nullptr);
  WriteFileText(Dest("comsrv.dll"), "running");
  {
    THeldFile held(Dest("comsrv.dll"));
    dir->Install();
  }
  ForgetPendingRenames(Dest("comsrv.1"));
  ForgetComServer(Dest("comsrv.1"));
  EXPECT_TRUE(f->ReplaceAtReboot);
  ASSERT_EQ(install->unfinished.size(), 1u);
  EXPECT_EQ(install->unfinished[0], std::make_pair(std::string("ifcomsrv"), 0));
  EXPECT_FALSE(RegistryValueExists(HKEY_CURRENT_USER, kComServerKey, Dest("comsrv.1")));
  EXPECT_EQ(DeferredRegistrations().Count(), 0);
  // The restart puts the new file in place; the unfinished object then
  // registers it under its own name.
  ASSERT_TRUE(MoveFileExA(Dest("comsrv.1").c_str(), Dest("comsrv.dll").c_str(), MOVEFILE_REPLACE_EXISTING));
  ForgetComServer(Dest("comsrv.dll"));
  f->ContinueAfterReboot();
  EXPECT_TRUE(RegistryValueExists(HKEY_CURRENT_USER, kComServerKey, Dest("comsrv.dll")));
}

// ------------------------------------------------------------ help files and shared DLLs

TEST_F(FileRegister, HelpFileIsRegisteredByItsUpperCaseName) {
  dir = Directory();
  const std::string name = testsupport::UniqueName("twhelp") + ".hlp";
  TInstallFile* f = File(dir, "ifHelp", name, "help text");
  ASSERT_TRUE(f->RegisterAsHelp);
  Build(dir);
  ForgetHKLMValue(kHelpFilesKey, UpperCase(name));
  dir->Install();
  EXPECT_EQ(ReadRegistryString(kHKLM, kHelpFilesKey, UpperCase(name), ""), destDir);
}

TEST_F(FileRegister, SharedDLLCountStartsAtOneUnderTheLongPathAndIncrements) {
  dir = Directory();
  TInstallFile* f = File(dir, "ifShared", "shared library.dll", "code");
  f->UpdateDLLCounter = true;
  Build(dir);
  const std::string target = Dest("shared library.dll");
  ForgetHKLMValue(kSharedDLLsKey, target);
  dir->Install();
  EXPECT_EQ(ReadRegistryInteger(kHKLM, kSharedDLLsKey, target, -1), 1);
  const std::string shortTarget = GetShortPath(target);
  ASSERT_NE(shortTarget, target);
  EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, kSharedDLLsKey, shortTarget));
  f->Install();
  EXPECT_EQ(ReadRegistryInteger(kHKLM, kSharedDLLsKey, target, -1), 2);

  // A count kept under the short name is the one incremented.
  ForgetHKLMValue(kSharedDLLsKey, shortTarget);
  WriteRegistryInteger(kHKLM, kSharedDLLsKey, shortTarget, 5);
  EXPECT_TRUE(f->IncrementSharedDLLCount());
  EXPECT_EQ(ReadRegistryInteger(kHKLM, kSharedDLLsKey, shortTarget, -1), 6);
  EXPECT_EQ(ReadRegistryInteger(kHKLM, kSharedDLLsKey, target, -1), 2);
}

// ------------------------------------------------------------ uninstall records

TEST_F(FileRegister, InstalledFilesAreRecordedForTheUninstaller) {
  TTestInstall* install = MakeInstall();
  dir = Directory();
  TInstallFile* a = File(dir, "ifA", "a.txt", "a");
  TInstallFile* b = File(dir, "ifB", "b.txt", "b");
  TInstallFile* quiet = File(dir, "ifQuiet", "quiet.txt", "q");
  quiet->Uninstall = false;
  TInstallFile* server = Server("comserver.dll", "comsrv.dll");
  TInstallFile* tool = Server("regserver.exe", "tool.exe");
  Build(dir);
  ForgetComServer(Dest("comsrv.dll"));
  dir->Install();
  EXPECT_TRUE(a->Processed && b->Processed && quiet->Processed && server->Processed && tool->Processed);

  const std::string files = UninstallKey(install) + "\\Files";
  EXPECT_EQ(ReadRegistryString(kHKLM, files, "Entries", ""), "2");
  // Newer objects come first within a rank.
  EXPECT_EQ(ReadRegistryString(kHKLM, files, "File1", ""), Dest("b.txt"));
  EXPECT_EQ(ReadRegistryString(kHKLM, files, "File2", ""), Dest("a.txt"));
  EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, files, "File3"));
  const std::string activeX = UninstallKey(install) + "\\ActiveX";
  EXPECT_EQ(ReadRegistryString(kHKLM, activeX, "Entries", ""), "2");
  EXPECT_EQ(ReadRegistryString(kHKLM, activeX, "File1", ""), Dest("tool.exe") + ";1");
  EXPECT_EQ(ReadRegistryString(kHKLM, activeX, "File2", ""), Dest("comsrv.dll") + ";0");
  EXPECT_TRUE(ServerRanAndEnded(Dest("tool.exe")));
}

TEST_F(FileRegister, UnreadableFilesRecordGivesWayToTheNextSubkey) {
  TTestInstall* install = MakeInstall();
  dir = Directory();
  TInstallFile* a = File(dir, "ifA", "a.txt", "a");
  const std::string key = UninstallKey(install);
  WriteRegistryString(kHKLM, key + "\\Files", "Entries", "garbage");
  a->RecordForUninstall(key);
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "Entries", ""), "garbage");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files1", "Entries", ""), "1");
  EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files1", "File1", ""), Dest("a.txt"));
  // The ActiveX record has no fallback: a bad count is an error.
  WriteRegistryString(kHKLM, key + "\\ActiveX", "Entries", "bad");
  a->SetLoadingState(true);
  a->SetActiveX(true);
  a->SetLoadingState(false);
  EXPECT_THROW(a->RecordForUninstall(key), Exception);
}

namespace {
// Every value of a registry key of HKEY_LOCAL_MACHINE, name and data.
std::map<std::string, std::string> ValuesOf(const std::string& key) {
  std::map<std::string, std::string> values;
  TtrnwRegistry reg;
  reg.SetRootKeyIndex(kHKLM);
  if (!reg.OpenKey(key, false)) return values;
  for (const std::string& name : reg.GetValueNames()) {
    std::string data;
    values[name] = reg.ReadString(name, data) ? data : "(not a string)";
  }
  return values;
}
}  // namespace

TEST_F(FileRegister, RecordsOfARunEqualThoseWrittenOneValueAtATime) {
  // A run keeps the record key open between files; the records must be what
  // writing each value on its own gives, also after the key vanishes midway.
  TTestInstall* install = MakeInstall();
  dir = Directory();
  std::vector<TInstallFile*> files;
  for (int i = 0; i < 6; ++i)
    files.push_back(File(dir, "if" + std::to_string(i), "f" + std::to_string(i) + ".txt", std::to_string(i)));
  Build(dir);
  const std::string key = UninstallKey(install), recordKey = key + "\\Files";
  for (int i = 1; i <= 3; ++i)
    WriteRegistryString(kHKLM, recordKey, "File" + std::to_string(i), "earlier" + std::to_string(i));
  WriteRegistryString(kHKLM, recordKey, "Entries", "3");
  std::vector<TCustomInstallFile*> order;
  for (TInstallFile* f : files)
    f->OnAfterInstall = [&](TCustomInstallFile* self) {
      order.push_back(self);
      if (order.size() == 3) DeleteRegistryTree(kHKLM, recordKey);
    };
  dir->Install();
  ASSERT_EQ(order.size(), files.size());
  const std::map<std::string, std::string> run = ValuesOf(recordKey);

  // The same records, one value at a time, into the record of another product.
  const std::string other = UninstallKey(MakeInstall());
  CurrentInstall = install;
  for (int i = 1; i <= 3; ++i)
    WriteRegistryString(kHKLM, other + "\\Files", "File" + std::to_string(i), "earlier" + std::to_string(i));
  WriteRegistryString(kHKLM, other + "\\Files", "Entries", "3");
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i == 2) DeleteRegistryTree(kHKLM, other + "\\Files");
    order[i]->RecordForUninstall(other);
  }
  EXPECT_EQ(run, ValuesOf(other + "\\Files"));
  std::map<std::string, std::string> expected{{"Entries", "4"}};
  for (std::size_t i = 2; i < order.size(); ++i)
    expected["File" + std::to_string(i - 1)] = order[i]->InstalledPath();
  EXPECT_EQ(run, expected);
}
