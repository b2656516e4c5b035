#include "routines_DeferredDelete.h"

#include <windows.h>

#include <vector>

#include "WinHandles.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Strings.h"

std::string BatchPath(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

namespace {
std::string Quoted(const std::string& path) { return "\"" + BatchPath(path) + "\""; }
}  // namespace

std::string DeferredDeleteBatchText(const TDeferredDelete& request, const std::string& self) {
  std::string text = "@ECHO OFF\r\n";
  for (const std::string& line : request.ExtraLines) text += line + "\r\n";
  int label = 0;
  for (const std::string& f : request.Files) {
    // A file still in use by the ending program cannot be erased yet: retry
    // for a while (ping gives a short pause where it exists), then give up.
    std::string l = "TW" + std::to_string(++label);
    text += "SET TWTRY=\r\n";
    text += ":" + l + "\r\n";
    text += "IF NOT EXIST " + Quoted(f) + " GOTO " + l + "DONE\r\n";
    text += "ERASE " + Quoted(f) + " >NUL\r\n";
    text += "IF NOT EXIST " + Quoted(f) + " GOTO " + l + "DONE\r\n";
    text += "PING -n 2 127.0.0.1 >NUL\r\n";
    text += "SET TWTRY=%TWTRY%x\r\n";
    text += "IF NOT \"%TWTRY%\"==\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\" GOTO " + l + "\r\n";
    text += ":" + l + "DONE\r\n";
  }
  for (const std::string& d : request.Directories) text += "RMDIR " + Quoted(d) + " >NUL\r\n";
  for (const std::string& line : request.FinalLines) text += line + "\r\n";
  text += "ERASE " + Quoted(self) + " >NUL\r\n";
  return text;
}

std::string StartDeferredDelete(const TDeferredDelete& request) {
  std::string batch = ChangeFileExt(CreateTempFileName(false), ".bat");
  std::string text = DeferredDeleteBatchText(request, batch);
  {
    TWinFile f(CreateFileA(batch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!f || !WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
      throw EAPIRoutines("Cannot create a temporary file");
  }
  char comspec[MAX_PATH + 1] = {};
  DWORD n = GetEnvironmentVariableA("COMSPEC", comspec, sizeof(comspec));
  std::string shell = n && n < sizeof(comspec) ? std::string(comspec) : GetSystemDir() + "\\cmd.exe";
  std::string cmd = "\"" + shell + "\" /C \"" + GetShortPath(batch) + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  std::vector<char> buf(cmd.begin(), cmd.end());
  buf.push_back('\0');
  // Run from the temporary directory so that no directory to be removed is
  // the batch's current directory.
  std::string cwd = GetTempDir();
  if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, cwd.c_str(), &si, &pi)) {
    DeleteFileA(batch.c_str());
    throw EAPIRoutines("Cannot start " + batch);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return batch;
}
