#include "cmp_TTrnwRegistry.h"

#include <vector>

namespace {
// In the order of the indexes kHKCR .. kHKU.
const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                       HKEY_DYN_DATA, HKEY_LOCAL_MACHINE, HKEY_USERS};

}  // namespace

std::function<bool(const std::string& key)> RegistryWriteRefusedHook;

bool TtrnwRegistry::OpenKey(const std::string& key, bool canCreate) {
  if (canCreate && RegistryWriteRefusedHook && RegistryWriteRefusedHook(key)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  REGSAM saved = Access();
  std::string path = key;
  if (!path.empty() && path[0] == '\\') path.erase(0, 1);
  bool ok;
  if (!canCreate || path.empty()) {
    SetAccess(kOpenAccess);
    ok = TRegistry::OpenKey(key, false);
  } else if (KeyExists(key)) {
    SetAccess(kOpenAccess);
    ok = TRegistry::OpenKey(key, false);
  } else {
    SetAccess(kFullAccess);
    ok = TRegistry::OpenKey(key, true);
  }
  SetAccess(saved);
  return ok;
}

bool TtrnwRegistry::KeyExists(const std::string& key) { return TRegistry::KeyExists(key); }

bool TtrnwRegistry::DeleteKey(const std::string& key) {
  std::string path = key;
  HKEY base = BaseKeyFor(path);
  return DeleteKeyTree(base, path);
}

void TtrnwRegistry::SetRootKeyIndex(int index) {
  if (index >= 0 && index < static_cast<int>(sizeof(kRoots) / sizeof(kRoots[0])))
    SetRootKey(kRoots[index]);
}

int RootKeyToIndex(HKEY root, int fallback) {
  for (int i = 0; i < static_cast<int>(sizeof(kRoots) / sizeof(kRoots[0])); ++i)
    if (kRoots[i] == root) return i;
  return fallback;
}
