// A registry key cursor: a root key and an optional open current key with
// its path. Paths starting with a backslash are absolute.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

class TRegistry;
// Deletes the key at path below base with everything beneath it.
bool DeleteKeyTree(HKEY base, const std::string& path);
// Told of every value a TRegistry writes (the run log), when set.
extern void (*RegistryWriteObserver)(const TRegistry& registry, const std::string& name, const std::string& value);

// Told before a TRegistry changes the value `name` of the key at path below
// root, or (name null) creates the key at path with any missing parents
// (the run's journal), when set.
extern void (*RegistryChangeObserver)(HKEY root, const std::string& path, const std::string* name);

class TRegistry {
public:
  explicit TRegistry(REGSAM access = KEY_ALL_ACCESS);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  void SetRootKey(HKEY root);
  HKEY CurrentKey() const { return current_; }
  const std::string& CurrentPath() const { return currentPath_; }
  bool LazyWrite() const { return lazyWrite_; }
  void SetLazyWrite(bool lazy) { lazyWrite_ = lazy; }
  REGSAM Access() const { return access_; }
  void SetAccess(REGSAM a) { access_ = a; }

  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  bool KeyExists(const std::string& key);
  bool DeleteKey(const std::string& key);

  bool ValueExists(const std::string& name) const;
  bool DeleteValue(const std::string& name);
  bool ReadString(const std::string& name, std::string& value) const;
  bool ReadInteger(const std::string& name, int& value) const;
  bool WriteString(const std::string& name, const std::string& value);
  bool WriteExpandString(const std::string& name, const std::string& value);
  bool WriteInteger(const std::string& name, int value);
  bool ReadBinaryData(const std::string& name, void* buffer, unsigned long size) const;  // exact size
  bool WriteBinaryData(const std::string& name, const void* buffer, unsigned long size);
  std::vector<std::string> GetKeyNames() const;
  std::vector<std::string> GetValueNames() const;

protected:
  // The key a path is relative to, with the leading backslash removed.
  HKEY BaseKeyFor(std::string& path) const;
  // Makes key (now owned) the current key with the given path.
  void ChangeKey(HKEY key, const std::string& path);
  std::string JoinPath(const std::string& relative, bool wasRelative) const;

private:
  HKEY root_ = HKEY_CURRENT_USER;
  HKEY current_ = nullptr;
  std::string currentPath_;
  bool lazyWrite_ = true;
  REGSAM access_;
};
