// The engine's registry class: restricted access rights on opening, creation
// with full access only when the key is new, and recursive key deletion.
#pragma once
#include <functional>
#include <string>

#include "Registry.h"

// Indexes of the root-key table, for SetRootKeyIndex, RootKeyToIndex and the
// one-shot routines of routines_Registry.h.
inline constexpr int kHKCR = 0;  // HKEY_CLASSES_ROOT
inline constexpr int kHKCC = 1;  // HKEY_CURRENT_CONFIG
inline constexpr int kHKCU = 2;  // HKEY_CURRENT_USER
inline constexpr int kHKDD = 3;  // HKEY_DYN_DATA
inline constexpr int kHKLM = 4;  // HKEY_LOCAL_MACHINE
inline constexpr int kHKU = 5;   // HKEY_USERS

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

  // Root by index (kHKCR .. kHKU); any other index leaves the root unchanged.
  void SetRootKeyIndex(int index);
};

// For tests: when set and true for a key, opening it for writing is refused
// as the system refuses it without the rights (access denied).
extern std::function<bool(const std::string& key)> RegistryWriteRefusedHook;

// The index of a root key, or fallback for a key not in the table.
int RootKeyToIndex(HKEY root, int fallback);
