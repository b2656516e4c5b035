#include "routines_InstallBoxes.h"

#include <windows.h>

#include "Application.h"
#include "routines_Log.h"
#include "routines_Unattended.h"

TInstallBoxHook InstallBoxHook;
TTargetLanguageAccess TargetLanguage;

namespace {
const char* AnswerName(int id) {
  static const char* const kNames[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
  return id >= 1 && id <= 7 ? kNames[id] : "OK";
}
}  // namespace

int InstallMessageBox(const std::string& text, unsigned flags) {
  if (InstallBoxHook) return InstallBoxHook(text, flags);
  if (Unattended.Silent()) {
    const int answer = DefaultBoxAnswer(flags);
    LogLine("Message: " + text + ((flags & 0xF) ? std::string(" (answered ") + AnswerName(answer) + ")" : ""));
    return answer;
  }
  return AskInstallQuestion(text, flags);
}

int AskInstallQuestion(const std::string& text, unsigned flags) {
  if (InstallBoxHook) return InstallBoxHook(text, flags);
  const std::string title = Application ? Application->Title() : std::string();
  return MessageBoxA(GetActiveWindow(), text.c_str(), title.c_str(), flags | MB_TASKMODAL);
}

void ShowInstallException(const std::exception& e) {
  if (InstallBoxHook) {
    InstallBoxHook(e.what(), MB_OK | MB_ICONSTOP);
    return;
  }
  if (Unattended.Silent()) {
    LogLine(std::string("Error: ") + e.what());
    return;
  }
  if (Application) {
    Application->ShowException(e);
    return;
  }
  MessageBoxA(GetActiveWindow(), e.what(), "", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}
