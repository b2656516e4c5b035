#include "Registry.h"

#include <vector>

bool DeleteKeyTree(HKEY base, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
      char buf[256];
      DWORD len = sizeof(buf);
      if (RegEnumKeyExA(key, i, buf, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.emplace_back(buf, len);
    }
    for (const std::string& n : names) DeleteKeyTree(key, n);
    RegCloseKey(key);
  }
  return RegDeleteKeyA(base, path.c_str()) == ERROR_SUCCESS;
}

TRegistry::TRegistry(REGSAM access) : access_(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
  if (root == root_) return;
  CloseKey();
  root_ = root;
}

void TRegistry::CloseKey() {
  if (!current_) return;
  if (!lazyWrite_) RegFlushKey(current_);
  RegCloseKey(current_);
  current_ = nullptr;
  currentPath_.clear();
}

HKEY TRegistry::BaseKeyFor(std::string& path) const {
  if (!path.empty() && path[0] == '\\') {
    path.erase(0, 1);
    return root_;
  }
  return current_ ? current_ : root_;
}

std::string TRegistry::JoinPath(const std::string& relative, bool wasRelative) const {
  if (wasRelative && current_) return currentPath_ + "\\" + relative;
  return relative;
}

void TRegistry::ChangeKey(HKEY key, const std::string& path) {
  CloseKey();
  current_ = key;
  currentPath_ = path;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string path = key;
  bool relative = path.empty() || path[0] != '\\';
  HKEY base = BaseKeyFor(path);
  HKEY k = nullptr;
  LONG rc;
  if (!canCreate || path.empty()) {
    rc = RegOpenKeyExA(base, path.c_str(), 0, access_, &k);
  } else {
    if (RegistryChangeObserver) RegistryChangeObserver(root_, JoinPath(path, relative), nullptr);
    DWORD disp = 0;
    rc = RegCreateKeyExA(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr,
                         &k, &disp);
  }
  if (rc != ERROR_SUCCESS) return false;
  ChangeKey(k, JoinPath(path, relative));
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  std::string path = key;
  bool relative = path.empty() || path[0] != '\\';
  HKEY base = BaseKeyFor(path);
  HKEY k = nullptr;
  if (RegOpenKeyExA(base, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  ChangeKey(k, JoinPath(path, relative));
  return true;
}

bool TRegistry::KeyExists(const std::string& key) {
  std::string path = key;
  HKEY base = BaseKeyFor(path);
  HKEY k = nullptr;
  if (RegOpenKeyExA(base, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::string path = key;
  HKEY base = BaseKeyFor(path);
  return RegDeleteKeyA(base, path.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const std::string& name) const {
  return current_ && RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                         ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (current_ && RegistryChangeObserver) RegistryChangeObserver(root_, currentPath_, &name);
  return current_ && RegDeleteValueA(current_, name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::ReadString(const std::string& name, std::string& value) const {
  if (!current_) return false;
  // Most values fit the first buffer and cost one query; a longer one is
  // read again at its size (which may grow meanwhile).
  std::string buf(256, '\0');
  DWORD type = 0, got = static_cast<DWORD>(buf.size());
  LONG rc = RegQueryValueExA(current_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]), &got);
  while (rc == ERROR_MORE_DATA && (type == REG_SZ || type == REG_EXPAND_SZ)) {
    buf.assign(got + 1, '\0');
    got = static_cast<DWORD>(buf.size());
    rc = RegQueryValueExA(current_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]), &got);
  }
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  if (rc != ERROR_SUCCESS) return false;
  buf.resize(got);
  while (!buf.empty() && buf.back() == '\0') buf.pop_back();
  value = buf;
  return true;
}

bool TRegistry::ReadInteger(const std::string& name, int& value) const {
  if (!current_) return false;
  DWORD type = 0, data = 0, size = sizeof(data);
  if (RegQueryValueExA(current_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(data))
    return false;
  value = static_cast<int>(data);
  return true;
}

void (*RegistryWriteObserver)(const TRegistry&, const std::string&, const std::string&) = nullptr;
void (*RegistryChangeObserver)(HKEY, const std::string&, const std::string*) = nullptr;

namespace {
void Changing(const TRegistry& r, const std::string& name) {
  if (r.CurrentKey() && RegistryChangeObserver) RegistryChangeObserver(r.RootKey(), r.CurrentPath(), &name);
}

bool Told(const TRegistry& r, bool written, const std::string& name, const std::string& value) {
  if (written && RegistryWriteObserver) RegistryWriteObserver(r, name, value);
  return written;
}
}  // namespace

bool TRegistry::WriteString(const std::string& name, const std::string& value) {
  Changing(*this, name);
  return Told(*this,
              current_ && RegSetValueExA(current_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS,
              name, value);
}

bool TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  Changing(*this, name);
  return Told(*this,
              current_ && RegSetValueExA(current_, name.c_str(), 0, REG_EXPAND_SZ,
                                         reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS,
              name, value);
}

bool TRegistry::WriteInteger(const std::string& name, int value) {
  Changing(*this, name);
  DWORD data = static_cast<DWORD>(value);
  return Told(*this,
              current_ && RegSetValueExA(current_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                         sizeof(data)) == ERROR_SUCCESS,
              name, std::to_string(value));
}

bool TRegistry::ReadBinaryData(const std::string& name, void* buffer, unsigned long size) const {
  if (!current_) return false;
  DWORD type = 0, got = size;
  if (RegQueryValueExA(current_, name.c_str(), nullptr, &type, static_cast<BYTE*>(buffer), &got) !=
          ERROR_SUCCESS ||
      type != REG_BINARY || got != size)
    return false;
  return true;
}

bool TRegistry::WriteBinaryData(const std::string& name, const void* buffer, unsigned long size) {
  Changing(*this, name);
  return Told(*this,
              current_ && RegSetValueExA(current_, name.c_str(), 0, REG_BINARY, static_cast<const BYTE*>(buffer),
                                         size) == ERROR_SUCCESS,
              name, std::to_string(size) + " bytes");
}

std::vector<std::string> TRegistry::GetKeyNames() const {
  std::vector<std::string> names;
  if (!current_) return names;
  for (DWORD i = 0;; ++i) {
    char buf[256];
    DWORD len = sizeof(buf);
    if (RegEnumKeyExA(current_, i, buf, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(buf, len);
  }
  return names;
}

std::vector<std::string> TRegistry::GetValueNames() const {
  std::vector<std::string> names;
  if (!current_) return names;
  for (DWORD i = 0;; ++i) {
    char buf[16384];
    DWORD len = sizeof(buf);
    if (RegEnumValueA(current_, i, buf, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(buf, len);
  }
  return names;
}
