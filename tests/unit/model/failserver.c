/* A library whose registration fails until a file "register.ok" lies beside
   it; every attempt appends a line to "attempts.txt" beside it. */
#include <windows.h>

static HMODULE g_module;

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_module = inst;
  return TRUE;
}

static void Beside(char* path, const char* name) {
  char* slash;
  GetModuleFileNameA(g_module, path, MAX_PATH);
  slash = strrchr(path, '\\');
  if (slash) slash[1] = '\0';
  lstrcatA(path, name);
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
  char path[MAX_PATH * 2];
  HANDLE h;
  DWORD written;
  Beside(path, "attempts.txt");
  h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
  if (h != INVALID_HANDLE_VALUE) {
    WriteFile(h, "attempt\r\n", 9, &written, NULL);
    CloseHandle(h);
  }
  Beside(path, "register.ok");
  return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? E_FAIL : S_OK;
}
