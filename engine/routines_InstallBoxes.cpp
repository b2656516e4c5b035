#include "routines_InstallBoxes.h"

#include <windows.h>

#include "Application.h"

TInstallBoxHook InstallBoxHook;
TTargetLanguageAccess TargetLanguage;

int InstallMessageBox(const std::string& text, unsigned flags) {
  if (InstallBoxHook) return InstallBoxHook(text, flags);
  const std::string title = Application ? Application->Title() : std::string();
  return MessageBoxA(GetActiveWindow(), text.c_str(), title.c_str(), flags | MB_TASKMODAL);
}

void ShowInstallException(const std::exception& e) {
  if (InstallBoxHook) {
    InstallBoxHook(e.what(), MB_OK | MB_ICONSTOP);
    return;
  }
  if (Application) {
    Application->ShowException(e);
    return;
  }
  MessageBoxA(GetActiveWindow(), e.what(), "", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}
