// The uninstaller: started from the product's uninstall entry with the
// product name as its command line, optionally after the switches /SILENT,
// /VERYSILENT and /LOG=file.
//
// Exit codes: 0 removed; 1 failed (also a bad switch; the message says why);
// 2 cancelled at the question; 3010 removed, but files in use go at the next
// restart.
#include <windows.h>

#include <exception>

#include "UninstallLog.h"
#include "Uninstaller.h"
#include "exceptions_Tarnwick.h"
#include "routines_Strings.h"

namespace {
const int kRemoved = 0, kFailed = 1, kCancelled = 2, kRestartNeeded = 3010;
const char* const kTitle = "Uninstall";

class TSession {
public:
  explicit TSession(const TUninstallCommand& cmd) : cmd_(cmd), log_(cmd.LogFile) {}

  TUninstallLog& Log() { return log_; }

  // A message box, or in a silent run a line of the log instead.
  void Tell(const std::string& text, UINT icon) {
    if (cmd_.Silent()) {
      log_.Line("Message (silent run, no box shown): " + text);
      return;
    }
    log_.Line("Message box: " + text);
    MessageBoxA(nullptr, text.c_str(), kTitle, MB_OK | icon);
  }

  // The question before anything is removed; a silent run takes Yes.
  bool Confirm(const std::string& question) {
    if (cmd_.Silent()) {
      log_.Line("Question answered Yes (silent run, not asked): " + question);
      return true;
    }
    log_.Line("Question: " + question);
    const bool yes = MessageBoxA(nullptr, question.c_str(), kTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
    log_.Line(yes ? "Answer: Yes" : "Answer: No");
    return yes;
  }

  int Finish(int code, const std::string& result) {
    log_.Line("Result: " + result + "; exit code " + std::to_string(code));
    return code;
  }

private:
  const TUninstallCommand& cmd_;
  TUninstallLog log_;
};

const char* ModeName(TUninstallMode m) {
  switch (m) {
    case TUninstallMode::Silent: return "silent (/SILENT)";
    case TUninstallMode::VerySilent: return "very silent (/VERYSILENT)";
    default: return "interactive";
  }
}

std::string FileList(const std::vector<std::string>& files) {
  std::string text;
  for (const std::string& f : files) text += "\r\n" + f;
  return text;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char self[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const TUninstallCommand cmd = ParseUninstallCommandLine(GetCommandLineA(), self);
  TSession session(cmd);
  if (!session.Log().Line(std::string("Uninstaller started: ") + GetCommandLineA())) {
    session.Tell("The log file \"" + cmd.LogFile + "\" cannot be written: " + session.Log().Error() +
                     "\r\nNothing was removed.",
                 MB_ICONERROR);
    return kFailed;
  }
  session.Log().Line("Product: \"" + cmd.ProductName + "\"; mode: " + ModeName(cmd.Mode));
  if (!cmd.Error.empty()) {
    session.Tell(cmd.Error, MB_ICONERROR);
    return session.Finish(kFailed, "failed, nothing removed");
  }

  TUninstaller un(cmd.ProductName);
  if (!un.IsInstalled()) {
    session.Tell(cmd.ProductName.empty() ? std::string("Start the uninstaller from the list of installed programs.")
                                         : "\"" + cmd.ProductName + "\" is not installed on this computer.",
                 MB_ICONERROR);
    return session.Finish(kFailed, "failed, not installed");
  }
  const std::string name = un.DisplayName();
  if (!session.Confirm("Are you sure you want to remove " + name + " and all of its components?"))
    return session.Finish(kCancelled, "cancelled, nothing removed");

  un.OnLog = [&session](const std::string& line) { session.Log().Line(line); };
  try {
    un.Run(self);
  } catch (const Exception& e) {
    session.Tell(e.Message(), MB_ICONERROR);
    return session.Finish(kFailed, "failed");
  } catch (const std::exception& e) {
    session.Tell(e.what(), MB_ICONERROR);
    return session.Finish(kFailed, "failed");
  }

  if (un.Failed.empty() && un.InUse.empty()) {
    session.Tell(name + " was removed from your computer.", MB_ICONINFORMATION);
    return session.Finish(kRemoved, "removed");
  }
  std::string text = name + " was not removed completely.";
  if (!un.Failed.empty()) text += "\r\n\r\nThese files could not be removed:\r\n" + FileList(un.Failed);
  if (!un.InUse.empty())
    text += "\r\n\r\nThese files are in use; they will be removed when Windows restarts:\r\n" + FileList(un.InUse);
  text += un.Failed.empty() ? "\r\n\r\nTo remove them now, close the programs that use them, then remove " + name +
                                  " again from the list of installed programs."
                            : "\r\n\r\nOnce they can be removed, remove " + name +
                                  " again from the list of installed programs to finish.";
  session.Tell(text, MB_ICONWARNING);
  return un.Failed.empty() ? session.Finish(kRestartNeeded, "removed, files in use are left for the restart")
                           : session.Finish(kFailed, "failed, files left");
}
