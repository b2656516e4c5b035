// The uninstall record: its count, read alike by the writers of the setup
// program and by the uninstaller, and the order of its file entries.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "SysUtils.h"
#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "format_UninstallRecord.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

TEST(UninstallRecord, CountIsWholeDecimalTextWithRoomForOneMoreEntry) {
  const struct {
    const char* text;
    bool valid;
    int count;
  } cases[] = {
      {"0", true, 0},          {"12", true, 12},          {" 7 ", true, 7},   {"2147483646", true, 2147483646},
      {"2147483647", false, 0}, {"99999999999", false, 0}, {"-1", false, 0},  {"", false, 0},
      {"  ", false, 0},         {"garbage", false, 0},     {"4x", false, 0},  {"0x10", false, 0},
  };
  for (const auto& c : cases) {
    int n = -1;
    EXPECT_EQ(uninstallrecord::ParseEntryCount(c.text, n), c.valid) << '"' << c.text << '"';
    if (c.valid) {
      EXPECT_EQ(n, c.count) << c.text;
      EXPECT_EQ(uninstallrecord::NextEntry(c.text), c.count + 1) << c.text;
    } else {
      EXPECT_THROW(uninstallrecord::NextEntry(c.text), Exception) << '"' << c.text << '"';
    }
  }
}

TEST(UninstallRecord, FileEntriesAppendInOrderWithOrWithoutTheKeyKeptOpen) {
  for (bool session : {false, true}) {
    const std::string key = "Software\\Tarnwick Record Test " + std::to_string(session);
    DeleteRegistryTree(kHKLM, key);
    {
      std::unique_ptr<uninstallrecord::TRecordSession> open;
      if (session) open = std::make_unique<uninstallrecord::TRecordSession>();
      uninstallrecord::AppendFile(key, "C:\\a");
      uninstallrecord::AppendFile(key, "C:\\b");
      // A refused subkey gives way to the next; the kept count stays true.
      RegistryWriteRefusedHook = [&](const std::string& k) { return SameText(k, key + "\\Files"); };
      uninstallrecord::AppendFile(key, "C:\\c");
      RegistryWriteRefusedHook = nullptr;
      uninstallrecord::AppendFile(key, "C:\\d");
    }
    const std::map<std::string, std::string> expected = {
        {"Files\\Entries", "3"}, {"Files\\File1", "C:\\a"},  {"Files\\File2", "C:\\b"},
        {"Files\\File3", "C:\\d"}, {"Files1\\Entries", "1"}, {"Files1\\File1", "C:\\c"}};
    for (const auto& [value, data] : expected) {
      const std::size_t slash = value.find('\\');
      EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\" + value.substr(0, slash), value.substr(slash + 1), "(none)"), data)
          << value << (session ? " kept open" : "");
    }
    EXPECT_EQ(ReadRegistryString(kHKLM, key + "\\Files", "File4", "(none)"), "(none)");
    DeleteRegistryTree(kHKLM, key);
  }
}

TEST(UninstallRecord, EntriesAPassCutShortWrotePastTheCountAreReadAndAppendedAfter) {
  const std::string key = "Software\\Tarnwick Record Test cut short";
  const std::string files = key + "\\Files";
  DeleteRegistryTree(kHKLM, key);
  {
    uninstallrecord::TRecordSession session;
    uninstallrecord::AppendFile(key, "C:\\a");
    uninstallrecord::AppendFile(key, "C:\\b");
    // A run killed here leaves a record that is read whole.
    EXPECT_EQ(uninstallrecord::FileEntryCount(files), 2);
  }
  EXPECT_EQ(ReadRegistryString(kHKLM, files, "Entries", ""), "2");
  // Entries past the count are kept: the next ones go after them.
  WriteRegistryString(kHKLM, files, "File3", "C:\\c");
  uninstallrecord::AppendFile(key, "C:\\d");
  WriteRegistryString(kHKLM, files, "File5", "C:\\e");
  {
    uninstallrecord::TRecordSession session;
    uninstallrecord::AppendFile(key, "C:\\f");
  }
  EXPECT_EQ(ReadRegistryString(kHKLM, files, "Entries", ""), "6");
  EXPECT_EQ(uninstallrecord::FileEntryCount(files), 6);
  int n = 0;
  for (const char* path : {"C:\\a", "C:\\b", "C:\\c", "C:\\d", "C:\\e", "C:\\f"})
    EXPECT_EQ(ReadRegistryString(kHKLM, files, uninstallrecord::EntryValue(++n), ""), path);
  // A count that is not a number stands for no entries, as before.
  WriteRegistryString(kHKLM, files, "Entries", "many");
  EXPECT_EQ(uninstallrecord::FileEntryCount(files), 0);
  EXPECT_EQ(uninstallrecord::FileEntryCount(key + "\\Files9"), 0);
  DeleteRegistryTree(kHKLM, key);
}

// The open key vanishes under the writer: what it could not take follows
// through the general path, in order. When that fails too, the End of the
// pass or the next entry raises, naming the key and every entry left out.
TEST(UninstallRecord, EntriesTheOpenKeyCouldNotTakeFollowInOrderOrRaiseNamingThem) {
  const std::string key = "Software\\Tarnwick Record Test vanished";
  const std::string files = key + "\\Files";
  enum { kFollow, kFailAtEnd, kFailAtNextEntry };
  for (int how : {kFollow, kFailAtEnd, kFailAtNextEntry}) {
    SCOPED_TRACE(how);
    DeleteRegistryTree(kHKLM, key);
    auto session = std::make_unique<uninstallrecord::TRecordSession>();
    uninstallrecord::AppendFile(key, "C:\\a");
    uninstallrecord::Settle();
    DeleteRegistryTree(kHKLM, files);
    uninstallrecord::AppendFile(key, "C:\\b");
    uninstallrecord::Settle();  // the writer has met the vanished key
    if (how == kFollow) {
      uninstallrecord::AppendFile(key, "C:\\c");
      session->End();
      EXPECT_EQ(ReadRegistryString(kHKLM, files, "Entries", ""), "2");
      EXPECT_EQ(ReadRegistryString(kHKLM, files, "File1", ""), "C:\\b");
      EXPECT_EQ(ReadRegistryString(kHKLM, files, "File2", ""), "C:\\c");
      continue;
    }
    RegistryWriteRefusedHook = [](const std::string&) { return true; };
    std::string message = "(nothing raised)";
    try {
      if (how == kFailAtEnd) session->End();
      else uninstallrecord::AppendFile(key, "C:\\c");
    } catch (const EIRCannotWriteValue& e) {
      message = e.Message();
    }
    RegistryWriteRefusedHook = nullptr;
    EXPECT_NE(message.find("Key: HKEY_LOCAL_MACHINE\\" + files + ". "), std::string::npos) << message;
    EXPECT_NE(message.find(how == kFailAtEnd ? "could not take this entry: C:\\b"
                                              : "could not take 2 entries: C:\\b, C:\\c"),
              std::string::npos)
        << message;
    // Nothing is held back to vanish later.
    EXPECT_NO_THROW(session->End());
    EXPECT_EQ(uninstallrecord::FileEntryCount(files), 0);
  }
  DeleteRegistryTree(kHKLM, key);
}
