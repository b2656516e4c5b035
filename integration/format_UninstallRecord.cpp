#include "format_UninstallRecord.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "routines_Journal.h"
#include "routines_Log.h"
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

// Slim locks and condition variables, where the system has them (from
// Windows Vista on); they wait without a round trip to the kernel's objects.
struct TWaitApi {
  void(WINAPI* acquire)(void**) = nullptr;
  void(WINAPI* release)(void**) = nullptr;
  BOOL(WINAPI* sleep)(void**, void**, DWORD, ULONG) = nullptr;
  void(WINAPI* wakeAll)(void**) = nullptr;
  bool Usable() const { return acquire && release && sleep && wakeAll; }
};

const TWaitApi& WaitApi() {
  static const TWaitApi api = [] {
    TWaitApi a;
    if (HMODULE k = GetModuleHandleA("kernel32.dll")) {
      auto get = [k](auto& f, const char* name) {
        f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(reinterpret_cast<void*>(GetProcAddress(k, name)));
      };
      get(a.acquire, "AcquireSRWLockExclusive");
      get(a.release, "ReleaseSRWLockExclusive");
      get(a.sleep, "SleepConditionVariableSRW");
      get(a.wakeAll, "WakeAllConditionVariable");
    }
    return a;
  }();
  return api;
}

// Writes the entries of an open files subkey on a thread of its own, each as
// soon as it is handed over, so that the copy goes on while the registry
// takes it. At most kMaxPending wait. After a write fails nothing more is
// written (the entries stay without a gap); the caller takes the rest back.
class TEntryWriter {
public:
  static constexpr std::size_t kMaxPending = 8;

  // None where the system lacks what it needs: entries are then written in place.
  static std::unique_ptr<TEntryWriter> Start(HKEY key) {
    if (!WaitApi().Usable()) return nullptr;
    std::unique_ptr<TEntryWriter> w(new TEntryWriter(key));
    w->thread_ = CreateThread(nullptr, 0, &TEntryWriter::Run, w.get(), 0, nullptr);
    if (!w->thread_) return nullptr;
    return w;
  }

  ~TEntryWriter() {
    Lock();
    stop_ = true;
    Unlock();
    WaitApi().wakeAll(&changed_);
    if (!thread_) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }

  TEntryWriter(const TEntryWriter&) = delete;
  TEntryWriter& operator=(const TEntryWriter&) = delete;

  // False once a write has failed: the entry is not taken.
  bool Post(std::string value, const std::string& path) {
    LogLine("Files record: " + value + " = " + path);
    Lock();
    while (!failed_ && pending_.size() >= kMaxPending) Sleep();
    const bool taken = !failed_;
    if (taken) pending_.emplace_back(std::move(value), path);
    Unlock();
    if (taken) WaitApi().wakeAll(&changed_);
    return taken;
  }

  // Waits until every entry handed over is written or a write has failed;
  // the paths not written, in their order.
  std::vector<std::string> Wait() {
    Lock();
    while (!pending_.empty() && !failed_) Sleep();
    std::vector<std::string> rest;
    for (const auto& e : pending_) rest.push_back(e.second);
    Unlock();
    return rest;
  }

private:
  explicit TEntryWriter(HKEY key) : key_(key) {}

  void Lock() { WaitApi().acquire(&lock_); }
  void Unlock() { WaitApi().release(&lock_); }
  void Sleep() { WaitApi().sleep(&changed_, &lock_, INFINITE, 0); }

  static DWORD WINAPI Run(void* self) {
    auto* w = static_cast<TEntryWriter*>(self);
    w->Lock();
    for (;;) {
      while (!w->stop_ && (w->pending_.empty() || w->failed_)) w->Sleep();
      if (w->pending_.empty() || w->failed_) break;
      // The entry stays pending while it is written: a waiter sees it done
      // only once it is. Others only add behind it, which leaves it in place.
      const std::pair<std::string, std::string>& e = w->pending_.front();
      w->Unlock();
      const bool ok = RegSetValueExA(w->key_, e.first.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(e.second.c_str()),
                                     static_cast<DWORD>(e.second.size() + 1)) == ERROR_SUCCESS;
      w->Lock();
      if (ok) w->pending_.pop_front();
      else w->failed_ = true;
      WaitApi().wakeAll(&w->changed_);
    }
    w->Unlock();
    return 0;
  }

  HKEY key_;
  HANDLE thread_ = nullptr;
  void* lock_ = nullptr;     // SRWLOCK
  void* changed_ = nullptr;  // CONDITION_VARIABLE
  std::deque<std::pair<std::string, std::string>> pending_;
  bool failed_ = false;
  bool stop_ = false;
};

void AppendGeneral(const std::string& base, const std::string& path);

// The session's open files subkey and the entries in it. Their count is
// stored when the key closes: a pass cut short leaves entries past the
// stored count, which readers follow.
struct TOpenFilesKey {
  int sessions = 0;
  std::string base;  // the record's key, ending in a backslash
  std::string path;  // its "Files" subkey
  std::unique_ptr<TtrnwRegistry> reg;
  std::unique_ptr<TEntryWriter> writer;
  int count = -1;    // the entries handed over

  // Readers of the record see every entry handed over.
  void Flush() {
    if (writer) writer->Wait();
  }
  // Stores the count of the entries written; those the writer could not
  // write are returned, in their order.
  std::vector<std::string> Close() {
    std::vector<std::string> rest;
    if (writer) rest = writer->Wait();
    writer.reset();
    if (reg) reg->WriteString(kEntriesValue, std::to_string(count - static_cast<int>(rest.size())));
    reg.reset();
    base.clear();
    path.clear();
    count = -1;
    return rest;
  }
  ~TOpenFilesKey() { Flush(); }
} g_open;

// Writes the entries through the general path, in their order. From the
// first that cannot be written on, none is tried (the order would break):
// the error names the record's key and every one of them.
void AppendAllGeneral(const std::string& base, const std::vector<std::string>& paths) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    try {
      AppendGeneral(base, paths[i]);
    } catch (const EIRCannotWriteValue&) {
      std::string key = base + FilesKey(0), list;
      if (!key.empty() && key[0] == '\\') key.erase(0, 1);
      for (std::size_t j = i; j < paths.size(); ++j) list += (j > i ? ", " : "") + paths[j];
      const std::size_t left = paths.size() - i;
      throw EIRCannotWriteValue("Cannot install into registry. Key: HKEY_LOCAL_MACHINE\\" + key +
                                ". The uninstall record could not take " +
                                (left == 1 ? std::string("this entry") : std::to_string(left) + " entries") +
                                ": " + list);
    }
  }
}

// Closes the open key; the entries it could not take follow through the
// general path, in their order.
void CloseOpenKey() {
  const std::string base = g_open.base;
  AppendAllGeneral(base, g_open.Close());
}

bool AppendToOpenKey(const std::string& base, const std::string& path) {
  if (g_open.sessions == 0) return false;
  const std::string sub = base + FilesKey(0);
  if (RegistryWriteRefusedHook && RegistryWriteRefusedHook(sub)) return false;
  if (!g_open.reg || !SameText(g_open.path, sub)) {
    CloseOpenKey();
    auto reg = std::make_unique<TtrnwRegistry>();
    reg->SetRootKeyIndex(kHKLM);
    if (!reg->OpenKey(sub, true)) return false;
    const int count = LastEntry(*reg);
    if (count < 0) return false;
    g_open.writer = TEntryWriter::Start(reg->CurrentKey());
    g_open.count = count;
    g_open.reg = std::move(reg);
    g_open.base = base;
    g_open.path = sub;
  }
  // A failed write is tried again by the general path, which writes the
  // same values.
  const std::string value = EntryValue(g_open.count + 1);
  journal::ValueToWrite(HKEY_LOCAL_MACHINE, sub, value);
  const bool taken = g_open.count < kMaxCount &&
                     (g_open.writer ? g_open.writer->Post(value, path) : g_open.reg->WriteString(value, path));
  if (!taken) return false;
  ++g_open.count;
  return true;
}

void AppendGeneral(const std::string& base, const std::string& path) {
  for (int k = 0; k < kMaxFilesKeys; ++k) {
    TtrnwRegistry reg;
    reg.SetRootKeyIndex(kHKLM);
    if (reg.OpenKey(base + FilesKey(k), true) && AppendEntry(reg, path) >= 0) return;
  }
  throw EIRCannotWriteValue(Format("Cannot install into registry. Key: %s Ident: %s Value %s",
                                   {base + FilesKey(0), kEntriesValue, path}));
}
}  // namespace

void Settle() { g_open.Flush(); }

int FileEntryCount(const std::string& sub) {
  Settle();
  TtrnwRegistry reg;
  reg.SetRootKeyIndex(kHKLM);
  if (!reg.OpenKeyReadOnly(sub)) return 0;
  return std::max(LastEntry(reg), 0);
}

TRecordSession::TRecordSession() { ++g_open.sessions; }

void TRecordSession::End() {
  if (ended_) return;
  ended_ = true;
  if (--g_open.sessions == 0) CloseOpenKey();
}

TRecordSession::~TRecordSession() {
  // Not ended, the pass is on its way out with an exception of its own: the
  // entries not yet taken are still tried.
  try {
    End();
  } catch (const Exception& e) {
    LogLine(e.Message());
  } catch (...) {
  }
}

void AppendFile(const std::string& key, const std::string& path) {
  const std::string base = AddBackslash(key);
  if (AppendToOpenKey(base, path)) return;
  // The open key's count would no longer be its own; what it could not
  // take goes first, and a failure names this entry too.
  const std::string openBase = g_open.base;
  std::vector<std::string> entries = g_open.Close();
  if (!openBase.empty() && !SameText(openBase, base)) {
    AppendAllGeneral(openBase, entries);
    entries.clear();
  }
  entries.push_back(path);
  AppendAllGeneral(base, entries);
}

void AppendActiveX(const std::string& key, const std::string& path, int kind) {
  const std::string sub = AddBackslash(key) + kActiveXKey;
  const int n = NextEntry(ReadRegistryString(kHKLM, sub, kEntriesValue, "0"));
  WriteRegistryString(kHKLM, sub, EntryValue(n), ActiveXEntry(path, kind));
  WriteRegistryString(kHKLM, sub, kEntriesValue, std::to_string(n));
}

}  // namespace uninstallrecord
