#include "FormResource.h"

#include <windows.h>

#include <cctype>

void ReadFormResource(TComponent* root, const std::string& className) {
  std::string name = className;
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  HGLOBAL data = res ? LoadResource(module, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) throw EReadError("Resource %s not found", {name});
  ReadForm(root, bytes, SizeofResource(module, res));
}
