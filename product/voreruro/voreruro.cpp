// The Vantlex server console: a window with the console's log. Connecting
// to a server needs the NetWare client library "CALWIN32.DLL"; without it
// the console says so. "voreruro.exe SERVER" connects at start.
#include <windows.h>

#include <string>

#include "../version.h"
#include "resource.h"

namespace {

const char kClassName[] = "KelvoVantlexConsole";
const char kTitle[] = "Vantlex Server Console";

HINSTANCE instance;
HWND logList;
std::string connectedServer;

void Log(const std::string& line) {
  LRESULT i = SendMessageA(logList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  if (i >= 0) SendMessageA(logList, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
}

void UpdateTitle(HWND window) {
  std::string title = kTitle;
  if (!connectedServer.empty()) title += " - " + connectedServer;
  SetWindowTextA(window, title.c_str());
}

void Connect(HWND window, const std::string& server) {
  if (server.empty()) return;
  HMODULE client = LoadLibraryA("CALWIN32.DLL");
  if (!client) {
    Log("Cannot connect to " + server + ": the NetWare client (CALWIN32.DLL) is not installed.");
    return;
  }
  FreeLibrary(client);
  connectedServer = server;
  Log("Connected to " + server + ".");
  UpdateTitle(window);
}

void Disconnect(HWND window) {
  if (connectedServer.empty()) {
    Log("Not connected.");
    return;
  }
  Log("Disconnected from " + connectedServer + ".");
  connectedServer.clear();
  UpdateTitle(window);
}

INT_PTR CALLBACK ConnectDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);  // where the name goes
      SendDlgItemMessageA(dialog, IDC_SERVERNAME, EM_LIMITTEXT, 47, 0);  // NetWare server names
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        char name[64] = {};
        GetDlgItemTextA(dialog, IDC_SERVERNAME, name, sizeof(name));
        auto* out = reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (out) *out = name;
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      logList = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 0, 0, 0, 0,
                                window, reinterpret_cast<HMENU>(IDC_LOG), instance, nullptr);
      SendMessageA(logList, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), FALSE);
      Log(std::string(KELVO_PRODUCT_NAME) + ", version " + KELVO_VERSION_TEXT);
      Log(KELVO_COPYRIGHT);
      Log("Not connected. Choose Server | Connect to open a server's console.");
      return 0;
    case WM_SIZE:
      MoveWindow(logList, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(logList);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CONNECT: {
          std::string server;
          if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONNECT), window, ConnectDialog,
                              reinterpret_cast<LPARAM>(&server)) == IDOK)
            Connect(window, server);
          return 0;
        }
        case IDC_DISCONNECT:
          Disconnect(window);
          return 0;
        case IDC_EXIT:
          DestroyWindow(window);
          return 0;
        case IDC_ABOUT:
          MessageBoxA(window,
                      KELVO_PRODUCT_NAME "\nServer Console, version " KELVO_VERSION_TEXT "\n\n" KELVO_COPYRIGHT,
                      "About Server Console", MB_OK | MB_ICONINFORMATION);
          return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int show) {
  instance = hInstance;
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = hInstance;
  wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_CONSOLE));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc)) return 1;
  HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 400,
                                nullptr, nullptr, hInstance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  if (__argc > 1) Connect(window, __argv[1]);

  HACCEL accelerators = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(IDA_MAIN));
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(window, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
