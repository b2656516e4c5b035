#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "routines_Registry.h"

using namespace testsupport;

namespace {
// A key of its own below HKCU\Software, removed afterwards.
class RegistryTest : public ::testing::Test {
protected:
  void SetUp() override { base_ = "\\Software\\TarnwickTests\\" + UniqueName("reg"); }
  void TearDown() override { DeleteRegistryTree(kHKCU, base_); }
  bool Exists(const std::string& key) {
    TtrnwRegistry r;
    r.SetRootKeyIndex(kHKCU);
    return r.KeyExists(key);
  }
  std::string base_;
};
}  // namespace

TEST_F(RegistryTest, WrittenValuesReadBackAndMissingOnesGiveTheDefault) {
  WriteRegistryString(kHKCU, base_ + "\\A", "Name", "value one");
  WriteRegistryInteger(kHKCU, base_ + "\\A", "Count", 42);
  EXPECT_EQ(ReadRegistryString(kHKCU, base_ + "\\A", "Name", "dflt"), "value one");
  EXPECT_EQ(ReadRegistryInteger(kHKCU, base_ + "\\A", "Count", -1), 42);
  EXPECT_EQ(ReadRegistryString(kHKCU, base_ + "\\A", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ReadRegistryString(kHKCU, base_ + "\\NoSuchKey", "Name", "dflt"), "dflt");
  EXPECT_EQ(ReadRegistryInteger(kHKCU, base_ + "\\NoSuchKey", "Count", 7), 7);
  // A value of the other type is a read failure: the default stays.
  EXPECT_EQ(ReadRegistryInteger(kHKCU, base_ + "\\A", "Name", 9), 9);
  EXPECT_EQ(ReadRegistryString(kHKCU, base_ + "\\A", "Count", "d"), "d");
  // Strings of every length come back whole, whichever read they take.
  for (std::size_t n : {0u, 1u, 254u, 255u, 256u, 257u, 5000u}) {
    const std::string text = Noise(n, static_cast<std::uint32_t>(n) + 1);
    std::string printable;
    for (char c : text) printable += static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
    WriteRegistryString(kHKCU, base_ + "\\A", "Long", printable);
    EXPECT_EQ(ReadRegistryString(kHKCU, base_ + "\\A", "Long", "dflt"), printable) << n;
  }
}

TEST_F(RegistryTest, RelativePathsFollowTheOpenKeyAbsoluteOnesTheRoot) {
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKCU);
  ASSERT_TRUE(r.OpenKey(base_, true));
  EXPECT_EQ(r.CurrentPath(), base_.substr(1));
  ASSERT_TRUE(r.OpenKey("Child", true));
  EXPECT_EQ(r.CurrentPath(), base_.substr(1) + "\\Child");
  ASSERT_TRUE(r.WriteString("Where", "child"));
  ASSERT_TRUE(r.OpenKey(base_ + "\\Other", true));
  EXPECT_EQ(r.CurrentPath(), base_.substr(1) + "\\Other");
  r.CloseKey();
  // With no key open a relative path starts at the root.
  ASSERT_TRUE(r.OpenKey(base_.substr(1) + "\\Child", false));
  std::string v;
  ASSERT_TRUE(r.ReadString("Where", v));
  EXPECT_EQ(v, "child");
  EXPECT_TRUE(Exists(base_ + "\\Other"));
  EXPECT_FALSE(r.OpenKey(base_ + "\\Absent", false));
}

namespace {
// The access rights a handle was opened with, as the kernel records them.
ACCESS_MASK GrantedAccess(HKEY key) {
  struct BasicInfo {
    ULONG Attributes;
    ACCESS_MASK GrantedAccess;
    ULONG Reserved[12];
  } info = {};
  using QueryObject = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryObject>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
  if (!query || query(key, 0, &info, sizeof(info), nullptr) != 0) return 0;
  return info.GrantedAccess;
}
}  // namespace

TEST_F(RegistryTest, FullAccessOnlyWhenTheKeyIsCreated) {
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKCU);
  ASSERT_TRUE(r.OpenKey(base_, true));  // new key
  EXPECT_EQ(GrantedAccess(r.CurrentKey()), 0xF003Fu);
  r.CloseKey();
  ASSERT_TRUE(r.OpenKey(base_, true));  // exists now
  EXPECT_EQ(GrantedAccess(r.CurrentKey()), 0x2001Fu);
  EXPECT_TRUE(r.WriteInteger("X", 1));
  ASSERT_TRUE(r.OpenKey(base_, false));
  EXPECT_EQ(GrantedAccess(r.CurrentKey()), 0x2001Fu);
}

TEST_F(RegistryTest, DeleteRegistryTreeRemovesNestedKeysAndIgnoresMissingOnes) {
  WriteRegistryString(kHKCU, base_ + "\\T\\A\\B\\C", "v", "1");
  WriteRegistryString(kHKCU, base_ + "\\T\\A\\D", "v", "2");
  WriteRegistryString(kHKCU, base_ + "\\T\\E", "v", "3");
  WriteRegistryString(kHKCU, base_ + "\\Keep", "v", "4");
  DeleteRegistryTree(kHKCU, base_ + "\\T");
  EXPECT_FALSE(Exists(base_ + "\\T"));
  EXPECT_TRUE(Exists(base_ + "\\Keep"));
  DeleteRegistryTree(kHKCU, base_ + "\\T");  // already gone: nothing happens
  DeleteRegistryTree(kHKCU, base_ + "\\Never\\There");
  EXPECT_TRUE(Exists(base_ + "\\Keep"));
}

TEST_F(RegistryTest, DeleteKeyRemovesSubkeysAndKeepsTheCurrentKey) {
  WriteRegistryString(kHKCU, base_ + "\\D\\X\\Y", "v", "1");
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKCU);
  ASSERT_TRUE(r.OpenKey(base_, false));
  EXPECT_TRUE(r.DeleteKey("D"));
  EXPECT_FALSE(Exists(base_ + "\\D"));
  EXPECT_EQ(r.CurrentPath(), base_.substr(1));
  EXPECT_TRUE(r.WriteString("still", "open"));
  EXPECT_FALSE(r.DeleteKey("D"));
}

TEST_F(RegistryTest, WriteFailureRaisesWithKeyIdentAndValue) {
  // A key name component longer than 255 characters cannot be created.
  const std::string bad = base_ + "\\" + std::string(300, 'k');
  try {
    WriteRegistryString(kHKCU, bad, "Ident", "Val");
    FAIL() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message(), "Cannot install into registry. Key: " + bad + " Ident: Ident Value Val");
  }
  try {
    WriteRegistryInteger(kHKCU, bad, "Ident", 5);
    FAIL() << "no exception";
  } catch (const EIRCannotWriteValue& e) {
    EXPECT_EQ(e.Message(), bad);
  }
}

TEST(RootKeyIndex, MapsTheSixRootsAndFallsBackForOthers) {
  EXPECT_EQ(RootKeyToIndex(HKEY_CLASSES_ROOT, -1), 0);
  EXPECT_EQ(RootKeyToIndex(HKEY_CURRENT_USER, -1), 2);
  EXPECT_EQ(RootKeyToIndex(HKEY_LOCAL_MACHINE, -1), 4);
  EXPECT_EQ(RootKeyToIndex(HKEY_USERS, -1), 5);
  EXPECT_EQ(RootKeyToIndex(HKEY_PERFORMANCE_DATA, 99), 99);
  TtrnwRegistry r;
  r.SetRootKeyIndex(kHKLM);
  EXPECT_EQ(r.RootKey(), HKEY_LOCAL_MACHINE);
  r.SetRootKeyIndex(6);
  EXPECT_EQ(r.RootKey(), HKEY_LOCAL_MACHINE);
}

namespace {
// AddRunOnce runs in a helper process that believes it runs on `version`.
bool RunOnceUnder(const std::string& version, const std::string& name, const std::string& cmd,
                  bool unique) {
  return RunWithWindowsVersion("osprobe", version,
                               "runonce " + name + " \"" + cmd + "\" " + (unique ? "unique" : "plain")) == 1;
}
std::string RunOnceValue(int root, const std::string& name) {
  return ReadRegistryString(root, kRunOnceKey, name, "<none>");
}
void DeleteRunOnceValue(int root, const std::string& name) {
  TtrnwRegistry r;
  r.SetRootKeyIndex(root);
  if (r.OpenKey(kRunOnceKey, false)) r.DeleteValue(name);
}
}  // namespace

TEST(AddRunOnce, GoesBelowCurrentUserOnTheNTFamily) {
  std::string name = UniqueName("TwNt");
  // "" is the prefix's own Windows 7.
  for (const char* v : {"winxp", "win2k", "nt40", "win10", ""}) {
    ASSERT_TRUE(RunOnceUnder(v, name, "C:\\setup.exe -r", false)) << v;
    EXPECT_EQ(RunOnceValue(kHKCU, name), "C:\\setup.exe -r") << v;
    EXPECT_EQ(RunOnceValue(kHKLM, name), "<none>") << v;
    DeleteRunOnceValue(kHKCU, name);
  }
}

TEST(AddRunOnce, GoesBelowLocalMachineOnThe9xFamily) {
  std::string name = UniqueName("Tw9x");
  for (const char* v : {"win98", "winme"}) {
    ASSERT_TRUE(RunOnceUnder(v, name, "C:\\setup.exe -r", false)) << v;
    EXPECT_EQ(RunOnceValue(kHKLM, name), "C:\\setup.exe -r") << v;
    EXPECT_EQ(RunOnceValue(kHKCU, name), "<none>") << v;
    DeleteRunOnceValue(kHKLM, name);
  }
}

TEST(AddRunOnce, UniqueFlagNumbersTheNameAndPlainOverwrites) {
  std::string name = UniqueName("TwUnique");
  ASSERT_TRUE(RunOnceUnder("winxp", name, "first", true));
  ASSERT_TRUE(RunOnceUnder("winxp", name, "second", true));
  ASSERT_TRUE(RunOnceUnder("winxp", name, "third", true));
  EXPECT_EQ(RunOnceValue(kHKCU, name), "first");
  EXPECT_EQ(RunOnceValue(kHKCU, name + "1"), "second");
  EXPECT_EQ(RunOnceValue(kHKCU, name + "2"), "third");
  ASSERT_TRUE(RunOnceUnder("winxp", name, "replaced", false));
  EXPECT_EQ(RunOnceValue(kHKCU, name), "replaced");
  EXPECT_EQ(RunOnceValue(kHKCU, name + "3"), "<none>");
  for (const std::string& n : {name, name + "1", name + "2"}) DeleteRunOnceValue(kHKCU, n);
}
