#include "format_UninstallRecord.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "routines_Registry.h"
#include "routines_Strings.h"

namespace uninstallrecord {
namespace {
// The highest count a record holds: one more entry must still fit.
constexpr int kMaxCount = 0x7FFFFFFE;
}  // namespace

std::string FilesKey(int k) { return k == 0 ? std::string("Files") : "Files" + std::to_string(k); }

std::string EntryValue(int n) { return "File" + std::to_string(n); }

bool ParseEntryCount(const std::string& text, int& count) {
  TIntegerRules rules;
  rules.TrimBlanks = true;
  rules.Min = 0;
  rules.Max = kMaxCount;
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

namespace {
// The last entry of the files subkey open in `reg`: its stored count (none
// counting as 0), followed by the entries a pass cut short wrote past it
// without a gap; -1 when the count is not a number.
int LastEntry(const TRegistry& reg) {
  std::string countText;
  if (!reg.ReadString(kEntriesValue, countText)) countText = "0";  // missing or not text
  int count = 0;
  if (!ParseEntryCount(countText, count)) return -1;
  while (count < kMaxCount && reg.ValueExists(EntryValue(count + 1))) ++count;
  return count;
}

// Appends one entry, with its count, to the files subkey open in `reg`. The
// new count, or -1 when the stored one is not a number or the entry cannot
// be written. An entry written stays one even when its count cannot follow:
// readers follow it past the count, and writing it elsewhere again would
// record the file twice.
int AppendEntry(TtrnwRegistry& reg, const std::string& path) {
  const int count = LastEntry(reg);
  if (count < 0 || count >= kMaxCount) return -1;
  const int n = count + 1;
  if (!reg.WriteString(EntryValue(n), path)) return -1;
  reg.WriteString(kEntriesValue, std::to_string(n));
  return n;
}

// The session's open files subkey and the entries in it. Their count is
// stored when the key closes: a pass cut short leaves entries past the
// stored count, which readers follow.
struct TOpenFilesKey {
  int sessions = 0;
  std::string path;
  std::unique_ptr<TtrnwRegistry> reg;
  int count = -1;
  void Close() {
    if (reg) reg->WriteString(kEntriesValue, std::to_string(count));
    reg.reset();
    path.clear();
    count = -1;
  }
} g_open;

bool AppendToOpenKey(const std::string& sub, const std::string& path) {
  if (g_open.sessions == 0) return false;
  if (RegistryWriteRefusedHook && RegistryWriteRefusedHook(sub)) return false;
  if (!g_open.reg || !SameText(g_open.path, sub)) {
    g_open.Close();
    auto reg = std::make_unique<TtrnwRegistry>();
    reg->SetRootKeyIndex(kHKLM);
    if (!reg->OpenKey(sub, true)) return false;
    const int count = LastEntry(*reg);
    if (count < 0) return false;
    g_open.count = count;
    g_open.reg = std::move(reg);
    g_open.path = sub;
  }
  // A failed write is tried again by the general path, which writes the
  // same values.
  if (g_open.count >= kMaxCount || !g_open.reg->WriteString(EntryValue(g_open.count + 1), path)) {
    g_open.Close();
    return false;
  }
  ++g_open.count;
  return true;
}
}  // namespace

int FileEntryCount(const std::string& sub) {
  TtrnwRegistry reg;
  reg.SetRootKeyIndex(kHKLM);
  if (!reg.OpenKeyReadOnly(sub)) return 0;
  return std::max(LastEntry(reg), 0);
}

TRecordSession::TRecordSession() { ++g_open.sessions; }

TRecordSession::~TRecordSession() {
  if (--g_open.sessions == 0) g_open.Close();
}

void AppendFile(const std::string& key, const std::string& path) {
  const std::string base = AddBackslash(key);
  if (AppendToOpenKey(base + FilesKey(0), path)) return;
  for (int k = 0; k < kMaxFilesKeys; ++k) {
    const std::string sub = base + FilesKey(k);
    // The open key's count would no longer be its own.
    if (SameText(sub, g_open.path)) g_open.Close();
    TtrnwRegistry reg;
    reg.SetRootKeyIndex(kHKLM);
    if (reg.OpenKey(sub, true) && AppendEntry(reg, path) >= 0) return;
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
