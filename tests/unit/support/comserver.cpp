// Test helper library: records its registration state in the registry.
#include <windows.h>

static HMODULE g_module;
static const char* const kKey = "Software\\TarnwickTests\\ComServer";

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = inst;
  return TRUE;
}

static void ModulePath(char* buf) { GetModuleFileNameA(g_module, buf, MAX_PATH); }

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  char path[MAX_PATH + 1] = {};
  ModulePath(path);
  HKEY k;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return E_FAIL;
  DWORD one = 1;
  RegSetValueExA(k, path, 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof(one));
  RegCloseKey(k);
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  char path[MAX_PATH + 1] = {};
  ModulePath(path);
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return S_OK;
  RegDeleteValueA(k, path);
  RegCloseKey(k);
  return S_OK;
}
