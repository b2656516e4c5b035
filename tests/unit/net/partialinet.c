/* Stands in for the internet library with only its first two entry points. */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI InternetGetLastResponseInfoA(DWORD* error, char* buffer, DWORD* length) {
  (void)error;
  (void)buffer;
  (void)length;
  return FALSE;
}

__declspec(dllexport) void* WINAPI InternetOpenA(const char* agent, DWORD access, const char* proxy,
                                                 const char* bypass, DWORD flags) {
  (void)agent;
  (void)access;
  (void)proxy;
  (void)bypass;
  (void)flags;
  return NULL;
}
