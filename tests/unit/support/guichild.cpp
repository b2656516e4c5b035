// Test helper: a window program. Writes its command line to "<exe>.cmdline",
// then runs a message loop until its window is closed or 30 seconds pass.
#include <windows.h>

#include <string>

static LRESULT CALLBACK WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_TIMER || m == WM_CLOSE) { DestroyWindow(w); return 0; }
  if (m == WM_DESTROY) { PostQuitMessage(0); return 0; }
  return DefWindowProcA(w, m, wp, lp);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int show) {
  char exe[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string cmd = GetCommandLineA();
  HANDLE f = CreateFileA((std::string(exe) + ".cmdline").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(f, cmd.data(), static_cast<DWORD>(cmd.size()), &n, nullptr);
  CloseHandle(f);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = inst;
  wc.lpszClassName = "TwGuiChild";
  RegisterClassA(&wc);
  HWND w = CreateWindowA("TwGuiChild", "guichild", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, inst, nullptr);
  ShowWindow(w, show);
  SetTimer(w, 1, 30000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
