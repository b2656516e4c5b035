// One-shot registry access by root-key index (kHKCR .. kHKU of
// cmp_TTrnwRegistry.h). Readers return the default on any failure; writers
// raise EIRCannotWriteValue.
#pragma once
#include <string>

#include "cmp_TTrnwRegistry.h"

void WriteRegistryString(int root, const std::string& key, const std::string& name,
                         const std::string& value);
void WriteRegistryInteger(int root, const std::string& key, const std::string& name, int value);
std::string ReadRegistryString(int root, const std::string& key, const std::string& name,
                               const std::string& fallback);
int ReadRegistryInteger(int root, const std::string& key, const std::string& name, int fallback);
// Deletes the key and everything below it; failures are ignored.
void DeleteRegistryTree(int root, const std::string& key);

// Registers a command to run once at the next logon: below HKCU on the NT
// family (IsNTFamilyOS of the running system), HKLM otherwise. With unique set, an existing value of that name is
// kept and the name gets a number (name1, name2, ...).
bool AddRunOnce(const std::string& name, const std::string& commandLine, bool unique);

inline constexpr const char* kRunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
