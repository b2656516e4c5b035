// The engine's registry class: restricted access rights on opening, creation
// with full access only when the key is new, and recursive key deletion.
#pragma once
#include <functional>
#include <string>

#include "Registry.h"

class TtrnwRegistry : public TRegistry {
public:
  // KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY
  static constexpr REGSAM kOpenAccess = 0x2001F;
  static constexpr REGSAM kFullAccess = 0xF003F;

  TtrnwRegistry() = default;

  // Opens the key (creating it when allowed) and makes it the current key.
  bool OpenKey(const std::string& key, bool canCreate);
  // Whether the key exists; opens with read access only.
  bool KeyExists(const std::string& key);
  // Deletes the key with all its subkeys.
  bool DeleteKey(const std::string& key);

  // Root by index: 0 HKCR, 1 HKCC, 2 HKCU, 3 HKDD, 4 HKLM, 5 HKU; any other
  // index leaves the root unchanged.
  void SetRootKeyIndex(int index);
};

// For tests: when set and true for a key, opening it for writing is refused
// as the system refuses it without the rights (access denied).
extern std::function<bool(const std::string& key)> RegistryWriteRefusedHook;

// The index of a root key, or fallback for a key not in the table.
int RootKeyToIndex(HKEY root, int fallback);
