#include "routines_Registry.h"

#include "cmp_TInstallContainer.h"
#include "cmp_TTrnwRegistry.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Strings.h"

void WriteRegistryString(int root, const std::string& key, const std::string& name,
                         const std::string& value) {
  TtrnwRegistry reg;
  reg.SetRootKeyIndex(root);
  if (!reg.OpenKey(key, true) || !reg.WriteString(name, value))
    throw EIRCannotWriteValue(
        Format("Cannot install into registry. Key: %s Ident: %s Value %s", {key, name, value}));
}

void WriteRegistryInteger(int root, const std::string& key, const std::string& name, int value) {
  TtrnwRegistry reg;
  reg.SetRootKeyIndex(root);
  if (!reg.OpenKey(key, true) || !reg.WriteInteger(name, value)) throw EIRCannotWriteValue(key);
}

std::string ReadRegistryString(int root, const std::string& key, const std::string& name,
                               const std::string& fallback) {
  std::string result = fallback;
  TtrnwRegistry reg;
  reg.SetRootKeyIndex(root);
  if (reg.KeyExists(key) && reg.OpenKey(key, false) && reg.ValueExists(name)) {
    std::string v;
    if (reg.ReadString(name, v)) result = v;
  }
  return result;
}

int ReadRegistryInteger(int root, const std::string& key, const std::string& name, int fallback) {
  int result = fallback;
  TtrnwRegistry reg;
  reg.SetRootKeyIndex(root);
  if (reg.KeyExists(key) && reg.OpenKey(key, false) && reg.ValueExists(name)) {
    int v;
    if (reg.ReadInteger(name, v)) result = v;
  }
  return result;
}

void DeleteRegistryTree(int root, const std::string& key) {
  try {
    TtrnwRegistry reg;
    reg.SetRootKeyIndex(root);
    if (!reg.OpenKey(key, false)) return;
    std::vector<std::string> names = reg.GetKeyNames();
    reg.CloseKey();
    for (const std::string& n : names) DeleteRegistryTree(root, AddBackslash(key) + n);
    reg.DeleteKey(key);
  } catch (...) {
  }
}

bool AddRunOnce(const std::string& name, const std::string& commandLine, bool unique) {
  TOSVerType os;
  try {
    os = RunningOSHook();
  } catch (const Exception&) {
    return false;
  }
  TtrnwRegistry reg;
  reg.SetRootKey(IsNTFamilyOS(os) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE);
  if (!reg.OpenKey(kRunOnceKey, true)) return false;
  std::string valueName = name;
  if (unique)
    for (int i = 1; reg.ValueExists(valueName) && i < 100000; ++i) valueName = name + std::to_string(i);
  reg.SetLazyWrite(false);
  bool ok = reg.WriteString(valueName, commandLine);
  reg.CloseKey();
  return ok;
}
