#include "routines_Journal.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "Registry.h"
#include "SysUtils.h"
#include "WinHandles.h"
#include "routines_API.h"
#include "routines_Log.h"
#include "routines_Strings.h"

// One entry a line, its fields separated by tabs; a line that does not end
// in a line feed was cut short by the end of the process and is not read.
//   TWJ1     program path
//   new      path                      a file the run created
//   aside    path  kept                the old file, kept under another name
//   dir      path                      a directory the run created
//   key      root  path                a registry key the run created
//   value    root  path  name  -                    a value that was not there
//   value    root  path  name  type  hex data       the value that was there
//   server   path  kind                a registration
//   pending  from  to                  a rename at the restart
//   wininit  ini   key                 the same, in WININIT.INI

namespace journal {
namespace {

const char* const kMagic = "TWJ1";

std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::string Hex(const BYTE* p, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

std::vector<BYTE> Unhex(const std::string& s) {
  auto nibble = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
  };
  std::vector<BYTE> out(s.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<BYTE>(nibble(s[2 * i]) << 4 | nibble(s[2 * i + 1]));
  return out;
}

struct TRoot {
  HKEY key;
  const char* name;
};
const TRoot kRoots[] = {{HKEY_CLASSES_ROOT, "HKCR"},  {HKEY_CURRENT_USER, "HKCU"}, {HKEY_LOCAL_MACHINE, "HKLM"},
                        {HKEY_USERS, "HKU"},          {HKEY_CURRENT_CONFIG, "HKCC"}};

std::string RootName(HKEY root) {
  for (const TRoot& r : kRoots)
    if (r.key == root) return r.name;
  return std::string();
}

HKEY RootKey(const std::string& name) {
  for (const TRoot& r : kRoots)
    if (name == r.name) return r.key;
  return nullptr;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string KeyPath(std::string path) {
  while (!path.empty() && path[0] == '\\') path.erase(0, 1);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const std::string& path) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

// A free name beside path for its old file.
std::string AsideName(const std::string& path) {
  for (int n = 0;; ++n) {
    const std::string name = path + (n == 0 ? std::string(".tw-old") : ".tw-old" + std::to_string(n));
    if (!Exists(name)) return name;
  }
}

void RemoveFile(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

struct TJournal {
  std::string path;
  std::string program;
  TWinFile file;
  std::string recordsKey;               // the install records: never undone
  std::set<std::string> values;         // root\path\name already written down
  std::set<std::string> createdKeys;    // root\path of keys the run created
  std::set<std::string> knownKeys;      // root\path of keys known to be there

  void Write(std::vector<std::string> fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + Escape(fields[i]);
    line += '\n';
    DWORD n = 0;
    if (!WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &n, nullptr) || n != line.size())
      throw Exception("The journal of the installation cannot be written: " + path);
  }

  // Whether the key, or one of its parents, was created by the run.
  bool InCreatedKey(const std::string& full) const {
    for (std::string k = full;;) {
      if (createdKeys.count(k)) return true;
      const std::size_t cut = k.find_last_of('\\');
      if (cut == std::string::npos) return false;
      k.erase(cut);
    }
  }
};

TJournal* g_journal = nullptr;

void ObserveRegistry(HKEY root, const std::string& rawPath, const std::string* name);

std::vector<std::vector<std::string>> ReadEntries(const std::string& path) {
  std::vector<std::vector<std::string>> entries;
  TWinFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return entries;
  std::string text;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f.Get(), buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::vector<std::string> fields;
    const std::string line = text.substr(start, end - start);
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      fields.push_back(Unescape(line.substr(from, tab - from)));
    fields.push_back(Unescape(line.substr(from)));
    entries.push_back(std::move(fields));
  }
  if (entries.empty() || entries[0].empty() || entries[0][0] != kMagic) entries.clear();
  return entries;
}

// Removes the renames at the restart whose source is `from`.
bool RemovePendingRename(const std::string& from) {
  const char* key = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &k) != ERROR_SUCCESS) return false;
  THKey guard(k);
  DWORD type = 0, size = 0;
  const char* value = "PendingFileRenameOperations";
  if (RegQueryValueExA(k, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_MULTI_SZ)
    return false;
  std::string data(size, '\0');
  if (RegQueryValueExA(k, value, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS)
    return false;
  data.resize(size);
  std::vector<std::string> items;
  for (std::size_t i = 0; i < data.size();) {
    const std::size_t end = data.find('\0', i);
    const std::string s = data.substr(i, end == std::string::npos ? std::string::npos : end - i);
    items.push_back(s);
    if (end == std::string::npos) break;
    i = end + 1;
  }
  while (!items.empty() && items.back().empty()) items.pop_back();
  auto plain = [](std::string s) {
    if (!s.empty() && s[0] == '!') s.erase(0, 1);
    if (s.compare(0, 4, "\\??\\") == 0) s.erase(0, 4);
    return s;
  };
  std::vector<std::string> kept;
  bool removed = false;
  for (std::size_t i = 0; i < items.size(); i += 2) {
    if (SameText(plain(items[i]), from)) {
      removed = true;
      continue;
    }
    kept.push_back(items[i]);
    if (i + 1 < items.size()) kept.push_back(items[i + 1]);
  }
  if (!removed) return false;
  if (kept.empty()) return RegDeleteValueA(k, value) == ERROR_SUCCESS;
  std::string out;
  for (const std::string& s : kept) out += s + '\0';
  out += '\0';
  return RegSetValueExA(k, value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(out.data()),
                        static_cast<DWORD>(out.size())) == ERROR_SUCCESS;
}

struct TUndo {
  std::vector<std::string> restored;  // files put back from their kept copies
  int count = 0;
  void Say(const std::string& text) {
    ++count;
    LogLine("Undone: " + text);
  }
};

void UndoEntry(const std::vector<std::string>& e, TUndo& undo,
               std::vector<std::pair<std::string, int>>& registerAgain) {
  const std::string& kind = e[0];
  auto field = [&e](std::size_t i) { return i < e.size() ? e[i] : std::string(); };
  if (kind == "new") {
    const std::string path = field(1);
    if (!Exists(path)) return;
    RemoveFile(path);
    if (Exists(path) && !MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
      LogLine("Not undone: " + path + " cannot be deleted");
    else
      undo.Say(Exists(path) ? "deleted at the restart " + path : "deleted " + path);
  } else if (kind == "aside") {
    const std::string path = field(1), kept = field(2);
    if (!Exists(kept)) return;
    if (Exists(path)) RemoveFile(path);
    if (MoveFileExA(kept.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      undo.restored.push_back(path);
      undo.Say("restored " + path);
    } else {
      LogLine("Not undone: " + path + " could not be restored from " + kept + ": " + SysErrorMessage(GetLastError()));
    }
  } else if (kind == "dir") {
    const std::string path = field(1);
    if (!Exists(path)) return;
    if (RemoveDirectoryA(path.c_str())) undo.Say("removed the directory " + path);
    else LogLine("Not undone: the directory " + path + " is not empty");
  } else if (kind == "key") {
    HKEY root = RootKey(field(1));
    if (root && KeyExists(root, field(2)) && DeleteKeyTree(root, field(2)))
      undo.Say("deleted the registry key " + field(1) + "\\" + field(2));
  } else if (kind == "value") {
    HKEY root = RootKey(field(1));
    if (!root) return;
    const std::string path = field(2), name = field(3);
    const bool existed = field(4) != "-";
    HKEY k = nullptr;
    if (existed) {
      if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &k,
                          nullptr) != ERROR_SUCCESS)
        return;
      THKey guard(k);
      const std::vector<BYTE> data = Unhex(field(5));
      if (RegSetValueExA(k, name.c_str(), 0, static_cast<DWORD>(std::strtoul(field(4).c_str(), nullptr, 10)),
                         data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS)
        undo.Say("restored the registry value " + field(1) + "\\" + path + "\\" + name);
    } else {
      if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
      THKey guard(k);
      if (RegDeleteValueA(k, name.c_str()) == ERROR_SUCCESS)
        undo.Say("deleted the registry value " + field(1) + "\\" + path + "\\" + name);
    }
  } else if (kind == "server") {
    const std::string path = field(1);
    const int serverKind = std::atoi(field(2).c_str());
    std::string problem;
    if (Exists(path)) {
      if (UnregisterServer(path, serverKind, problem)) undo.Say("unregistered " + path);
      else LogLine("Not undone: " + path + " " + problem);
    }
    registerAgain.emplace_back(path, serverKind);
  } else if (kind == "pending") {
    if (RemovePendingRename(field(1))) undo.Say("the replacement of " + field(2) + " at the restart");
  } else if (kind == "wininit") {
    if (WritePrivateProfileStringA("Rename", field(2).c_str(), nullptr, field(1).c_str()))
      undo.Say("the rename of " + field(2) + " at the restart");
  }
}

void UndoAll(const std::vector<std::vector<std::string>>& entries) {
  TUndo undo;
  std::vector<std::pair<std::string, int>> registerAgain;
  for (auto it = entries.rbegin(); it != entries.rend(); ++it)
    if (!it->empty() && it->front() != kMagic) UndoEntry(*it, undo, registerAgain);
  // A server whose old file came back is registered again from it.
  for (const auto& r : registerAgain) {
    const bool back = std::any_of(undo.restored.begin(), undo.restored.end(),
                                  [&r](const std::string& p) { return SameText(p, r.first); });
    if (!back) continue;
    std::string problem;
    if (RegisterServer(r.first, r.second, problem)) LogLine("Registered again: " + r.first);
    else LogLine("Not registered again: " + r.first + " " + problem);
  }
  LogLine("Rollback: " + std::to_string(undo.count) + " changes undone");
}

void Close() {
  RegistryChangeObserver = nullptr;
  delete g_journal;
  g_journal = nullptr;
}

void ObserveRegistry(HKEY root, const std::string& rawPath, const std::string* name) {
  TJournal* j = g_journal;
  if (!j) return;
  const std::string rootName = RootName(root);
  if (rootName.empty()) return;
  const std::string path = KeyPath(rawPath);
  const std::string full = rootName + "\\" + Lower(path);
  if (root == HKEY_LOCAL_MACHINE && !j->recordsKey.empty() &&
      (full == j->recordsKey || full.compare(0, j->recordsKey.size() + 1, j->recordsKey + "\\") == 0))
    return;
  if (!name) {
    if (j->knownKeys.count(full) || j->InCreatedKey(full)) return;
    // The outermost level that is missing is the key the run creates.
    std::string missing;
    for (std::string k = path; !k.empty();) {
      if (KeyExists(root, k)) break;
      missing = k;
      const std::size_t cut = k.find_last_of('\\');
      if (cut == std::string::npos) break;
      k.erase(cut);
    }
    if (!missing.empty()) {
      j->Write({"key", rootName, missing});
      j->createdKeys.insert(rootName + "\\" + Lower(missing));
    }
    j->knownKeys.insert(full);
    return;
  }
  if (j->InCreatedKey(full)) return;
  const std::string id = full + "\\" + Lower(*name);
  if (!j->values.insert(id).second) return;
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) {
    j->Write({"value", rootName, path, *name, "-"});
    return;
  }
  THKey guard(k);
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(k, name->c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    j->Write({"value", rootName, path, *name, "-"});
    return;
  }
  std::vector<BYTE> data(size);
  if (size > 0 && RegQueryValueExA(k, name->c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) size = 0;
  j->Write({"value", rootName, path, *name, std::to_string(type), Hex(data.data(), size)});
}

}  // namespace

void Begin(const std::string& path, const std::string& programPath, const std::string& recordsKey) {
  Close();
  auto j = new TJournal;
  j->path = path;
  if (!recordsKey.empty()) j->recordsKey = "HKLM\\" + Lower(KeyPath(recordsKey));
  j->program = programPath;
  j->file.Reset(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!j->file) {
    const DWORD error = GetLastError();
    delete j;
    throw Exception("The journal of the installation cannot be written: " + path + ": " + SysErrorMessage(error));
  }
  g_journal = j;
  try {
    j->Write({kMagic, programPath});
  } catch (...) {
    Close();
    DeleteFileA(path.c_str());
    throw;
  }
  RegistryChangeObserver = &ObserveRegistry;
  LogLine("Journal: " + path);
}

bool Active() { return g_journal != nullptr; }

const std::string& Path() {
  static const std::string none;
  return g_journal ? g_journal->path : none;
}

void FileCreated(const std::string& path) {
  if (g_journal) g_journal->Write({"new", path});
}

void FileToCreate(const std::string& path) {
  if (g_journal && !Exists(path)) g_journal->Write({"new", path});
}

std::string SetAside(const std::string& path) {
  if (!g_journal) return std::string();
  const std::string kept = AsideName(path);
  g_journal->Write({"aside", path, kept});
  if (!MoveFileExA(path.c_str(), kept.c_str(), 0))
    throw Exception("Cannot keep the old file " + path + " aside: " + SysErrorMessage(GetLastError()));
  return kept;
}

void BeforeOverwrite(const std::string& path) {
  if (!g_journal) return;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    g_journal->Write({"new", path});
    return;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return;  // no file goes there
  const std::string kept = AsideName(path);
  g_journal->Write({"aside", path, kept});
  if (!CopyFileA(path.c_str(), kept.c_str(), TRUE))
    throw Exception("Cannot keep a copy of " + path + ": " + SysErrorMessage(GetLastError()));
}

void DirectoryToCreate(const std::string& rawPath) {
  if (!g_journal) return;
  std::string path = rawPath;
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  std::vector<std::string> missing;
  for (std::string d = path; d.size() > 3 && !Exists(d);) {
    missing.push_back(d);
    const std::size_t cut = d.find_last_of("\\/");
    if (cut == std::string::npos || cut < 2) break;
    d.erase(cut);
  }
  // Outermost first, so that undoing them newest first removes the inner ones first.
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) g_journal->Write({"dir", *it});
}

void ValueToWrite(HKEY root, const std::string& path, const std::string& name) {
  ObserveRegistry(root, path, &name);
}

void Registered(const std::string& path, int kind) {
  if (g_journal) g_journal->Write({"server", path, std::to_string(kind)});
}

void PendingRename(const std::string& from, const std::string& to) {
  if (g_journal) g_journal->Write({"pending", from, to});
}

void WininitRename(const std::string& ini, const std::string& key) {
  if (g_journal) g_journal->Write({"wininit", ini, key});
}

void Commit() {
  if (!g_journal) return;
  const std::string path = g_journal->path;
  Close();
  for (const auto& e : ReadEntries(path))
    if (e.size() > 2 && e[0] == "aside" && Exists(e[2])) RemoveFile(e[2]);
  DeleteFileA(path.c_str());
}

void Rollback() {
  if (!g_journal) return;
  const std::string path = g_journal->path;
  Close();
  LogLine("Rollback: undoing the changes of the run, newest first");
  UndoAll(ReadEntries(path));
  DeleteFileA(path.c_str());
}

std::string RollbackLeftOver(const std::string& path) {
  const auto entries = ReadEntries(path);
  if (entries.empty()) {
    DeleteFileA(path.c_str());
    return std::string();
  }
  LogLine("Rollback: undoing the changes of an earlier run that did not end (" + path + ")");
  UndoAll(entries);
  DeleteFileA(path.c_str());
  return entries[0].size() > 1 ? entries[0][1] : std::string();
}

// ---- registrations ------------------------------------------------------------

namespace {
std::wstring Wide(const std::string& s) {
  const int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
  w.resize(w.size() - 1);
  return w;
}

std::string ComError(HRESULT hr) {
  char code[16];
  wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
  const std::string text = Trim(SysErrorMessage(static_cast<DWORD>(hr)));
  return text.empty() ? std::string("error ") + code : text + " (" + code + ")";
}

bool RunServer(const std::string& path, const char* option, std::string& problem) {
  const std::string dir = ExtractFileDir(path);
  std::string cmd = "\"" + path + "\" " + option;
  std::vector<char> buf(cmd.begin(), cmd.end());
  buf.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(path.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
    problem = "cannot be started: " + SysErrorMessage(GetLastError());
    return false;
  }
  TKernelHandle process(pi.hProcess), thread(pi.hThread);
  WaitForSingleObject(process.Get(), 60000);
  return true;
}

bool CallDllEntry(const std::string& path, const char* entry, std::string& problem) {
  const HRESULT init = CoInitialize(nullptr);
  TModuleHandle lib(LoadLibraryA(path.c_str()));
  bool ok = false;
  if (!lib) {
    problem = "cannot be loaded: " + SysErrorMessage(GetLastError());
  } else if (auto fn = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(lib.Get(), entry)));
             !fn) {
    problem = std::string("has no ") + entry;
  } else {
    const HRESULT hr = fn();
    ok = SUCCEEDED(hr);
    if (!ok) problem = std::string(entry) + " failed: " + ComError(hr);
  }
  lib.Reset();
  if (SUCCEEDED(init)) CoUninitialize();
  return ok;
}
}  // namespace

bool RegisterServer(const std::string& path, int kind, std::string& problem) {
  TCurrentDirectory in(ExtractFileDir(path));
  if (kind == 1) return RunServer(path, "/REGSERVER", problem);
  if (kind != 2) return CallDllEntry(path, "DllRegisterServer", problem);
  ITypeLib* lib = nullptr;
  const std::wstring wide = Wide(path);
  HRESULT hr = LoadTypeLibEx(wide.c_str(), REGKIND_REGISTER, &lib);
  if (lib) lib->Release();
  if (FAILED(hr)) problem = "its type library could not be registered: " + ComError(hr);
  return SUCCEEDED(hr);
}

bool UnregisterServer(const std::string& path, int kind, std::string& problem) {
  TCurrentDirectory in(ExtractFileDir(path));
  if (kind == 1) return RunServer(path, "/UNREGSERVER", problem);
  if (kind != 2) return CallDllEntry(path, "DllUnregisterServer", problem);
  TComPtr<ITypeLib> lib;
  HRESULT hr = LoadTypeLibEx(Wide(path).c_str(), REGKIND_NONE, lib.Put());
  if (FAILED(hr) || !lib) {
    problem = "its type library cannot be read to unregister it: " + ComError(hr);
    return false;
  }
  TLIBATTR* attr = nullptr;
  hr = lib->GetLibAttr(&attr);
  if (FAILED(hr) || !attr) {
    problem = "its type library cannot be read to unregister it: " + ComError(hr);
    return false;
  }
  BSTR registered = nullptr;
  const bool isRegistered =
      SUCCEEDED(QueryPathOfRegTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, &registered));
  SysFreeString(registered);
  hr = isRegistered ? UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind)
                    : S_OK;
  lib->ReleaseTLibAttr(attr);
  if (FAILED(hr)) {
    problem = "its type library could not be unregistered: " + ComError(hr);
    return false;
  }
  return true;
}

}  // namespace journal
