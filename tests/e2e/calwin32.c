/* Stands in for the network client library the setup program requires. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}

__declspec(dllexport) int NWCallsInit(void* in, void* out) {
  (void)in;
  (void)out;
  return 0;
}
