#include "format_UninstallRecord.h"

#include <cstdlib>

#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

namespace uninstallrecord {
std::string FilesKey(int k) { return k == 0 ? std::string("Files") : "Files" + std::to_string(k); }

std::string EntryValue(int n) { return "File" + std::to_string(n); }

bool ParseEntryCount(const std::string& text, int& count) {
  TIntegerRules rules;
  rules.TrimBlanks = true;
  rules.Min = 0;
  rules.Max = 0x7FFFFFFE;
  long long v = 0;
  if (!ParseInteger(text, v, rules)) return false;
  count = static_cast<int>(v);
  return true;
}

int NextEntry(const std::string& countText) {
  int count = 0;
  if (!ParseEntryCount(countText, count)) throw Exception("'%s' is not a valid integer value", {countText});
  return count + 1;
}

std::string ActiveXEntry(const std::string& path, int kind) { return path + ";" + std::to_string(kind); }

std::string ActiveXEntryPath(const std::string& entry) { return GetField(entry, 1, ';'); }

int ActiveXEntryKind(const std::string& entry) { return std::atoi(GetField(entry, 2, ';').c_str()); }

bool AppendEntry(TtrnwRegistry& reg, const std::string& path) {
  std::string countText;
  if (!reg.ReadString(kEntriesValue, countText)) countText = "0";  // missing or not text
  int n = 0;
  if (!ParseEntryCount(countText, n)) return false;
  ++n;
  return reg.WriteString(EntryValue(n), path) && reg.WriteString(kEntriesValue, std::to_string(n));
}

void AppendFile(const std::string& key, const std::string& path) {
  const std::string base = AddBackslash(key);
  for (int k = 0; k < kMaxFilesKeys; ++k) {
    TtrnwRegistry reg;
    reg.SetRootKeyIndex(kHKLM);
    if (reg.OpenKey(base + FilesKey(k), true) && AppendEntry(reg, path)) return;
  }
  throw EIRCannotWriteValue(Format("Cannot install into registry. Key: %s Ident: %s Value %s",
                                   {base + FilesKey(0), kEntriesValue, path}));
}

void AppendActiveX(const std::string& key, const std::string& path, int kind) {
  const std::string sub = AddBackslash(key) + kActiveXKey;
  const int n = NextEntry(ReadRegistryString(kHKLM, sub, kEntriesValue, "0"));
  WriteRegistryString(kHKLM, sub, EntryValue(n), ActiveXEntry(path, kind));
  WriteRegistryString(kHKLM, sub, kEntriesValue, std::to_string(n));
}

}  // namespace uninstallrecord
