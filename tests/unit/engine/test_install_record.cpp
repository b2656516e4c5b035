#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WinHandles.h"
#include "cmp_TInstallContainer.h"
#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "routines_InstallKey.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "Registry.h"
#include "cmp_TInstallFile.h"

using namespace testsupport;

namespace {
// Every test here works on the one records key of the machine: they take
// turns, and each starts from a clean key.
class InstallRecordTest : public ::testing::Test {
protected:
  void SetUp() override {
    lock_.Reset(CreateMutexA(nullptr, FALSE, "TarnwickInstallRecordTests"));
    WaitForSingleObject(lock_.Get(), INFINITE);
    DeleteRegistryTree(kHKLM, kInstallRecordsKey);
  }
  void TearDown() override {
    DeleteRegistryTree(kHKLM, kInstallRecordsKey);
    ReleaseMutex(lock_.Get());
  }
  std::string MakeProgram(const std::string& name, const std::string& content) {
    std::string p = dir_.File(name);
    WriteFileText(p, content);
    return p;
  }
  static bool Exists(const std::string& key) {
    TtrnwRegistry r;
    r.SetRootKeyIndex(kHKLM);
    return r.KeyExists(key);
  }
  TKernelHandle lock_;
  TTempDir dir_{"record"};
};
}  // namespace

TEST_F(InstallRecordTest, SameProgramFindsItsRecordAgainARebuiltOneGetsTheNext) {
  std::string setup = MakeProgram("setup.exe", "program bytes");
  std::string first = FindInstallRecord(setup, 40000.5, true, "");
  EXPECT_EQ(first, std::string(kInstallRecordsKey) + "\\Install0");
  EXPECT_EQ(FindInstallRecord(setup, 40001.0, false, ""), first);
  double lastRun = 0;
  {
    TtrnwRegistry r;
    r.SetRootKeyIndex(kHKLM);
    ASSERT_TRUE(r.OpenKey(first, false));
    ASSERT_TRUE(r.ReadBinaryData("LastRunDate", &lastRun, sizeof(lastRun)));
  }
  EXPECT_DOUBLE_EQ(lastRun, 40001.0);
  // Another program (other size) is not that record.
  std::string rebuilt = MakeProgram("setup2.exe", "program bytes, rebuilt");
  EXPECT_EQ(FindInstallRecord(rebuilt, 40000.5, false, ""), "");
  EXPECT_EQ(FindInstallRecord(rebuilt, 40000.5, true, "C:\\dist\\setup.exe"),
            std::string(kInstallRecordsKey) + "\\Install1");
  EXPECT_EQ(ReadRegistryString(kHKLM, std::string(kInstallRecordsKey) + "\\Install1", "SelfExtract", ""),
            "C:\\dist\\setup.exe");
}

TEST_F(InstallRecordTest, NewRecordTakesTheLowestFreeNumberAndSkipsUnreadableOnes) {
  WriteRegistryString(kHKLM, std::string(kInstallRecordsKey) + "\\Install0", "Path", "broken: no size");
  WriteRegistryString(kHKLM, std::string(kInstallRecordsKey) + "\\INSTALL2", "Path", "broken too");
  std::string setup = MakeProgram("setup.exe", "x");
  EXPECT_EQ(FindInstallRecord(setup, 1.0, true, ""), std::string(kInstallRecordsKey) + "\\Install1");
  EXPECT_TRUE(Exists(std::string(kInstallRecordsKey) + "\\Install0"));
  EXPECT_TRUE(Exists(std::string(kInstallRecordsKey) + "\\INSTALL2"));
  EXPECT_EQ(FindInstallRecord(dir_.File("missing.exe"), 1.0, true, ""), "");
}

TEST_F(InstallRecordTest, UnfinishedItemsAreListedWithTheirKindAndCleared) {
  std::string key = FindInstallRecord(MakeProgram("setup.exe", "x"), 1.0, true, "");
  AddUnfinishedItem(key, "InstallFile3", 0);
  AddUnfinishedItem(key, "C:\\TEMP\\bat1.bat", 1);
  std::vector<std::string> items = ReadUnfinishedItems(key);
  std::sort(items.begin(), items.end());
  EXPECT_EQ(items, (std::vector<std::string>{"C:\\TEMP\\bat1.bat;1", "InstallFile3;0"}));
  ClearUnfinishedItems(key);
  EXPECT_TRUE(ReadUnfinishedItems(key).empty());
  try {
    AddUnfinishedItem("", "x", 0);
    FAIL() << "no exception";
  } catch (const IEInstall& e) {
    EXPECT_EQ(e.Message(), "The TInstall could not either write or read unfinished business from the registry");
  }
  EXPECT_THROW(ReadUnfinishedItems(""), IEInstall);
  EXPECT_THROW(ClearUnfinishedItems(""), IEInstall);
}

TEST_F(InstallRecordTest, LanguageSurvivesInTheRecordWithADefault) {
  std::string key = FindInstallRecord(MakeProgram("setup.exe", "x"), 1.0, true, "");
  EXPECT_EQ(ReadLanguageOrdinal(key, 20), 20);
  SaveLanguageOrdinal(key, 7);
  EXPECT_EQ(ReadLanguageOrdinal(key, 20), 7);
  EXPECT_EQ(ReadLanguageOrdinal("", 20), 20);
}

TEST_F(InstallRecordTest, RemovingTheLastRecordRemovesLocalCopiesAndEmptyParents) {
  std::string key = FindInstallRecord(MakeProgram("setup.exe", "x"), 1.0, true, "");
  std::string local = MakeProgram("files.1", "downloaded archive");
  WriteRegistryString(kHKLM, key + "\\Group", "LocalFile", local);
  AddUnfinishedItem(key, "x", 0);
  WriteRegistryString(kHKLM, kEngineMakerKey, "Probe", "1");
  RemoveInstallRecord(key);
  EXPECT_FALSE(FileExists(local));
  EXPECT_FALSE(Exists(key));
  EXPECT_FALSE(Exists(kInstallRecordsKey));
  EXPECT_FALSE(Exists(kEngineMakerKey));
  // Another record keeps the records key (and the maker's key with it).
  std::string a = FindInstallRecord(MakeProgram("a.exe", "a"), 1.0, true, "");
  std::string b = FindInstallRecord(MakeProgram("b.exe", "bb"), 1.0, true, "");
  RemoveInstallRecord(a);
  EXPECT_TRUE(Exists(b));
  RemoveInstallRecord("");  // nothing known: nothing happens
  EXPECT_TRUE(Exists(b));
}

TEST(RunOnceCommand, QuotesEachPartAndAddsTheCleanupSwitch) {
  EXPECT_EQ(RunOnceCommandLine("C:\\TEMP\\tw1\\vantlexsetup.exe", "D:\\dist\\setup.exe", true, true),
            "\"C:\\TEMP\\tw1\\vantlexsetup.exe\" -r \"-esetup.exe\" \"-sD:\\dist\" -c");
  EXPECT_EQ(RunOnceCommandLine("C:\\p\\setup.exe", "C:\\p\\setup.exe", false, false),
            "\"C:\\p\\setup.exe\" -r \"-sC:\\p\"");
}

TEST(SelfExtractOffset, ReadsTheMainArchiveStartBeforeTheTrailer) {
  TTempDir dir;
  std::string file = dir.File("setup.exe");
  std::string bytes(1000, 'L');
  std::string record(56, '\0');
  record.replace(0, 14, "SELFEXTRACTING");
  record[24] = 0x34;
  record[25] = 0x12;
  bytes += record + std::string(40, 'C');
  WriteFileText(file, bytes);
  EXPECT_EQ(ReadSelfExtractArchiveOffset(file), 0x1234u);
  WriteFileText(file, std::string(50, 'x'));
  try {
    ReadSelfExtractArchiveOffset(file);
    FAIL() << "no exception";
  } catch (const IEInstall& e) {
    EXPECT_EQ(e.Message(), "Could not read the extraction info from the archive file " + file +
                               " when trying to find the correct offset into the self extracting file");
  }
  EXPECT_THROW(ReadSelfExtractArchiveOffset(dir.File("none.exe")), IEInstall);
}

TEST(Reboot, SystemsOutsideThe9xAndNTFamiliesCannotBeRestarted) {
  static TOSVerType s_os;
  TOSVerType (*saved)() = RunningOSHook;
  RunningOSHook = [] { return s_os; };
  for (TOSVerType os : {os31win32, oswinNT351, osLinux}) {
    s_os = os;
    EXPECT_FALSE(RebootSystem()) << OSVerTypeName(os);
  }
  RunningOSHook = saved;
}

// The fallback of a delayed replacement: its batch file is registered in
// RunOnce and listed as unfinished. Whichever runs first after the restart,
// the batch or the continuation, the new file ends in place, in folders
// with blanks and "%" in their names.
TEST(ReplaceAtRestartFallback, TheNewFileIsInPlaceWhicheverRunsFirst) {
  TTempDir dir("fallback");
  CreateDirectoryA(dir.File("Program Files 100%x").c_str(), nullptr);
  const std::string target = dir.File("Program Files 100%x\\tool.exe");
  const std::string fresh = dir.File("Program Files 100%x\\tool.1");
  for (int runOnceFirst = 0; runOnceFirst < 2; ++runOnceFirst) {
    WriteFileText(target, "old");
    WriteFileText(fresh, "new");
    const std::string batch = dir.File("replace " + std::to_string(runOnceFirst) + ".bat");
    WriteFileText(batch, ReplaceAtRestartBatchText(fresh, target));
    ASSERT_TRUE(AddRunOnce("TarnwickBatFile", batch, true));
    if (runOnceFirst) {
      // As a logon runs the entry, then the continuation finds its item.
      std::string command = "cmd.exe /c \"\"" + batch + "\"\"";
      STARTUPINFOA si{};
      si.cb = sizeof(si);
      PROCESS_INFORMATION pi{};
      ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                 &si, &pi));
      WaitForSingleObject(pi.hProcess, INFINITE);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    FinishUnfinishedFile(batch);
    EXPECT_EQ(ReadFileText(target), "new") << (runOnceFirst ? "RunOnce first" : "continuation first");
    EXPECT_EQ(GetFileAttributesA(fresh.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(batch.c_str()), INVALID_FILE_ATTRIBUTES);
    // No entry is left to run a batch that is gone.
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      TRegistry reg;
      reg.SetRootKey(root);
      if (!reg.OpenKey(kRunOnceKey, false)) continue;
      for (const std::string& name : reg.GetValueNames()) {
        std::string value;
        reg.ReadString(name, value);
        EXPECT_NE(value, batch);
        if (value == batch) reg.DeleteValue(name);
      }
    }
  }
}
