// The run's journal: what a run changes is undone exactly, newest first; a
// run that ends well keeps its changes and drops what it kept aside.
#include <gtest/gtest.h>

#include <windows.h>

#include "Registry.h"
#include "TestSupport.h"
#include "routines_Journal.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFileText;
using testsupport::WriteFileText;

FILETIME DateOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

std::string Value(HKEY root, const std::string& key, const std::string& name, DWORD* type = nullptr) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "(no key)";
  char buf[256];
  DWORD size = sizeof buf, t = 0;
  const LONG rc = RegQueryValueExA(k, name.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (type) *type = t;
  return rc == ERROR_SUCCESS ? std::string(buf, size) : "(none)";
}

// One run's changes of every kind, over a machine that holds a file, a
// directory, a key and two values of the user's.
struct TRun {
  testsupport::TTempDir dir{"journal"};
  const std::string key = "Software\\TarnwickTests\\" + testsupport::UniqueName("journal");
  std::string old, made, journalPath;
  FILETIME oldDate{};

  TRun() {
    old = dir.File("old.dll");
    WriteFileText(old, "the user's library");
    SetFileAttributesA(old.c_str(), FILE_ATTRIBUTE_READONLY);
    oldDate = DateOf(old);
    CreateDirectoryA(dir.File("user").c_str(), nullptr);
    TRegistry r(KEY_ALL_ACCESS);
    r.SetRootKey(HKEY_CURRENT_USER);
    r.OpenKey("\\" + key, true);
    const unsigned char bytes[] = {0, 1, 0xfe, '\t', '\n'};
    r.WriteBinaryData("Binary", bytes, sizeof bytes);
    r.WriteString("Text", "before");
    journalPath = dir.File("journal.txt");
  }
  ~TRun() {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TarnwickTests", 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
      RegDeleteKeyA(k, (key.substr(key.find_last_of('\\') + 1) + "\\New").c_str());
      RegDeleteKeyA(k, key.substr(key.find_last_of('\\') + 1).c_str());
      RegCloseKey(k);
    }
    SetFileAttributesA(old.c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  // What an installation does, each change written down first.
  void Change(bool pending = true) {
    journal::Begin(journalPath, "C:\\twsetup-x\\setup.exe", "\\Software\\TarnwickTests\\Records");
    journal::DirectoryToCreate(dir.File("made\\deeper"));
    CreateDirectoryA(dir.File("made").c_str(), nullptr);
    CreateDirectoryA(dir.File("made\\deeper").c_str(), nullptr);
    made = dir.File("made\\deeper\\new.txt");
    WriteFileText(made, "new");
    journal::FileCreated(made);
    const std::string kept = journal::SetAside(old);
    ASSERT_FALSE(kept.empty());
    WriteFileText(old, "the new library");
    journal::BeforeOverwrite(dir.File("user"));  // a directory stays as it is
    TRegistry r(KEY_ALL_ACCESS);
    r.SetRootKey(HKEY_CURRENT_USER);
    r.OpenKey("\\" + key, true);
    r.WriteString("Binary", "replaced");
    r.WriteString("Text", "after");
    r.WriteString("Added", "new");
    r.OpenKey("\\" + key + "\\New", true);
    r.WriteInteger("Inside", 1);
    r.CloseKey();
    r.SetRootKey(HKEY_LOCAL_MACHINE);
    r.OpenKey("\\Software\\TarnwickTests\\Records\\Install9", true);  // the records are never undone
    r.WriteString("Path", "kept");
    if (!pending) return;
    journal::PendingRename(made, old);
    ASSERT_TRUE(MoveFileExA(made.c_str(), old.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  }
};

bool PendingFrom(const std::string& from) {
  const std::string v =
      Value(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations");
  std::string lower = v, want = from;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (char& c : want) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return lower.find(want) != std::string::npos;
}

}  // namespace

TEST(Journal, AFailedRunIsUndoneExactlyAndOneThatEndsWellKeepsItsChanges) {
  {
    TRun run;
    run.Change();
    EXPECT_TRUE(PendingFrom(run.made));
    journal::Rollback();
    EXPECT_FALSE(journal::Active());
    EXPECT_FALSE(FileExists(run.made));
    EXPECT_EQ(GetFileAttributesA(run.dir.File("made").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA(run.dir.File("user").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileText(run.old), "the user's library");
    EXPECT_EQ(GetFileAttributesA(run.old.c_str()) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    const FILETIME date = DateOf(run.old);
    EXPECT_EQ(CompareFileTime(&run.oldDate, &date), 0);
    DWORD type = 0;
    EXPECT_EQ(Value(HKEY_CURRENT_USER, run.key, "Binary", &type), std::string("\0\1\xfe\t\n", 5));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, run.key, "Text"), std::string("before", 7));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, run.key, "Added"), "(none)");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, run.key + "\\New", "Inside"), "(no key)");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Software\\TarnwickTests\\Records\\Install9", "Path"), std::string("kept", 5));
    EXPECT_FALSE(PendingFrom(run.made));
    EXPECT_FALSE(FileExists(run.journalPath));
  }
  {
    TRun run;
    run.Change(false);
    journal::Commit();
    EXPECT_EQ(ReadFileText(run.old), "the new library");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, run.key, "Text"), std::string("after", 6));
    EXPECT_FALSE(FileExists(run.old + ".tw-old"));
    EXPECT_FALSE(FileExists(run.journalPath));
  }
  {
    // A killed run: its journal ends in a line cut short, which is not read.
    TRun run;
    run.Change();
    journal::Begin(run.dir.File("other.txt"), "", "");  // the process ends without a word
    journal::Rollback();
    HANDLE h = CreateFileA(run.journalPath.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, "new\tC:\\", 7, &n, nullptr);
    CloseHandle(h);
    EXPECT_EQ(journal::RollbackLeftOver(run.journalPath), "C:\\twsetup-x\\setup.exe");
    EXPECT_EQ(ReadFileText(run.old), "the user's library");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, run.key, "Added"), "(none)");
    EXPECT_FALSE(FileExists(run.journalPath));
    EXPECT_EQ(journal::RollbackLeftOver(run.journalPath), "");
  }
  {
    // A server the run replaced: the new one's registration is withdrawn and
    // the old file, back in place, is registered again.
    testsupport::TTempDir d{"journalcom"};
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string bin = self;
    bin.erase(bin.find_last_of('\\'));
    const std::string server = d.File("server.dll");
    ASSERT_TRUE(CopyFileA((bin + "\\comserver.dll").c_str(), server.c_str(), FALSE));
    std::string problem;
    ASSERT_TRUE(journal::RegisterServer(server, 0, problem)) << problem;
    journal::Begin(d.File("journal.txt"), "", "");
    journal::SetAside(server);
    ASSERT_TRUE(CopyFileA((bin + "\\comserver.dll").c_str(), server.c_str(), FALSE));
    journal::Registered(server, 0);
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TarnwickTests\\ComServer", 0, KEY_SET_VALUE, &k), ERROR_SUCCESS);
    const DWORD two = 2;  // the new server's registration
    RegSetValueExA(k, server.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), sizeof two);
    RegCloseKey(k);
    journal::Rollback();
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\TarnwickTests\\ComServer", server), std::string("\1\0\0\0", 4));
    journal::UnregisterServer(server, 0, problem);
  }
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\TarnwickTests\\Records", 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    RegDeleteKeyA(k, "Install9");
    RegCloseKey(k);
  }
}
