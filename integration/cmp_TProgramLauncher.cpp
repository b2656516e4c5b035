#include "cmp_TProgramLauncher.h"

#include <windows.h>

#include <vector>

#include "WinHandles.h"
#include "exceptions_Tarnwick.h"

int ShowCommandOf(TplShowMode mode) {
  switch (mode) {
    case smMaximized: return SW_SHOWMAXIMIZED;
    case smMinimized: return SW_SHOWMINIMIZED;
    case smHide: return SW_HIDE;
    case smNormal:
    default: return SW_SHOWNORMAL;
  }
}

const char* LaunchErrorMessage(unsigned long code) {
  switch (code) {
    case 0: case 8: return "Out of memory";
    case 2: return "File not found";
    case 3: return "Path not found";
    case 5: return "Sharing violation";
    case 6: return "Library/Segment error";
    case 10: return "Incorrect version of windows";
    case 11: return "Invalid file";
    case 12: case 13: return "Invalid DOS version";
    case 14: case 31: return "File type has no association";
    case 15: return "Cannot load a Real-mode application";
    case 16: return "Invalid attempt to launch second instance";
    case 19: return "Cannot load a compressed executable file";
    case 20: return "Invalid dynamic link library";
    case 21: return "Application requires Win32";
    default: return "Unknown error";
  }
}

TProgramLauncher::TProgramLauncher(TComponent* owner) : TComponent(owner) {}

void TProgramLauncher::Run() {
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
  si.wShowWindow = static_cast<WORD>(ShowCommandOf(ShowMode));
  PROCESS_INFORMATION pi = {};
  // CreateProcess may write into the command line buffer.
  std::vector<char> cmd(Parameters.begin(), Parameters.end());
  cmd.push_back('\0');
  if (!CreateProcessA(FileName.c_str(), cmd.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &si, &pi)) {
    DWORD code = GetLastError();
    throw EProgramLauncherFailed(LaunchErrorMessage(code), static_cast<int>(code));
  }
  TKernelHandle process(pi.hProcess), thread(pi.hThread);
  WaitForInputIdle(process.Get(), INFINITE);
}
