#include "routines_Sign.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "SysUtils.h"
#include "WinHandles.h"
#include "cmp_TInstall.h"
#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Log.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

std::string SignHelperDirectory;
std::string SignTimestampUrl;
std::function<void(const std::string&)> OnSignNote;

namespace {

constexpr DWORD kHelperPatience = 10 * 60 * 1000;

[[noreturn]] void Refuse(const std::string& text) { throw IEInstall("%s", {"Cannot sign the distribution: " + text}); }

void Note(const std::string& text) {
  LogLine(text);
  if (OnSignNote) OnSignNote(text);
}

bool IsPkcs12(const std::string& path) {
  const std::string ext = UpperCase(ExtractFileExt(path));
  return ext == ".PFX" || ext == ".P12";
}

// The files that TBuildInfo names are there.
void CheckNamedFiles(const TSignSettings& s) {
  if (Trim(s.Certificate).empty()) Refuse("SignCode is set, but CredentialsFile names no certificate");
  if (!twfile::FileExists(s.Certificate))
    Refuse("the certificate file " + s.Certificate + " (CredentialsFile) does not exist");
  if (IsPkcs12(s.Certificate)) return;
  if (Trim(s.PrivateKey).empty()) Refuse("SignCode is set, but PrivateKeyFile names no private key");
  if (!twfile::FileExists(s.PrivateKey))
    Refuse("the private key file " + s.PrivateKey + " (PrivateKeyFile) does not exist");
}

// Keeps a file's last-write time across a rewrite.
class TKeptDate {
public:
  explicit TKeptDate(const std::string& path) : path_(path) {
    TWinFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f || !GetFileTime(f.Get(), nullptr, nullptr, &time_)) throw IEInstall("Cannot open the file %s", {path});
  }
  void Restore() const {
    TWinFile f(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f || !SetFileTime(f.Get(), nullptr, nullptr, &time_))
      throw IEInstall("Cannot date the signed file %s", {path_});
  }

private:
  std::string path_;
  FILETIME time_{};
};

// The lines of a text without their line ends, blank ones left out.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!Trim(line).empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// ------------------------------------------------------------ the helper

class THelperSigner : public TCodeSigner {
public:
  THelperSigner(const TSignSettings& settings, const std::string& dir) : s_(settings), dir_(StripBackslash(dir)) {}

  void Check() override {
    CheckNamedFiles(s_);
    for (const std::string& note : Ask("check", std::string())) Note(note);
  }

  void Sign(const std::string& file) override {
    const TKeptDate date(file);
    const std::string name = std::to_string(n_ + 1) + ".exe", copy = dir_ + "\\" + name;
    if (!CopyFileA(file.c_str(), copy.c_str(), FALSE))
      Refuse("cannot copy " + file + " to " + copy + ": " + SysErrorMessage(GetLastError()));
    for (const std::string& note : Ask("sign", name)) Note(ExtractFileName(file) + ": " + note);
    if (!CopyFileA(copy.c_str(), file.c_str(), FALSE))
      Refuse("cannot copy the signed " + copy + " to " + file + ": " + SysErrorMessage(GetLastError()));
    DeleteFileA(copy.c_str());
    date.Restore();
  }

private:
  // Puts a request and waits for its answer; the remarks of an "ok".
  std::vector<std::string> Ask(const std::string& kind, const std::string& file) {
    const std::string base = dir_ + "\\" + std::to_string(++n_);
    const std::string text = kind + "\r\ncertificate=" + s_.Certificate + "\r\nkey=" + s_.PrivateKey +
                             "\r\ntimestamp=" + s_.TimestampUrl + "\r\nfile=" + file + "\r\n";
    {
      TWinFile f(CreateFileA((base + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      DWORD put = 0;
      if (!f || !WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &put, nullptr) ||
          put != text.size())
        Refuse("cannot write a request for the signing helper into " + dir_);
    }
    if (!MoveFileExA((base + ".tmp").c_str(), (base + ".request").c_str(), MOVEFILE_REPLACE_EXISTING))
      Refuse("cannot write a request for the signing helper into " + dir_);
    const std::string answerFile = base + ".answer";
    const DWORD began = GetTickCount();
    while (!twfile::FileExists(answerFile)) {
      if (GetTickCount() - began > kHelperPatience)
        Refuse("the signing helper did not answer in " + dir_ + " within 10 minutes");
      Sleep(20);
    }
    std::string answer;
    if (!ReadFileBytes(answerFile, answer)) Refuse("cannot read the signing helper's answer " + answerFile);
    std::vector<std::string> lines = Lines(answer);
    if (lines.empty() || (lines[0] != "ok" && lines[0] != "error"))
      Refuse("the signing helper gave no answer in " + answerFile);
    const bool ok = lines[0] == "ok";
    lines.erase(lines.begin());
    if (!ok) {
      std::string message;
      for (const std::string& line : lines) message += (message.empty() ? "" : "\n") + line;
      Refuse(message.empty() ? "the signing helper refused" : message);
    }
    return lines;
  }

  TSignSettings s_;
  std::string dir_;
  int n_ = 0;
};

// ------------------------------------------------------------ signtool

std::string FindSignTool() {
  char found[MAX_PATH];
  if (SearchPathA(nullptr, "signtool.exe", nullptr, MAX_PATH, found, nullptr)) return found;
  // The Windows SDK's, newest version first.
  for (const char* var : {"ProgramFiles(x86)", "ProgramFiles"}) {
    char root[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(var, root, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) continue;
    const std::string bin = std::string(root) + "\\Windows Kits\\10\\bin\\";
    std::vector<std::string> versions;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((bin + "10.*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
      do versions.push_back(d.cFileName);
      while (FindNextFileA(h, &d));
      FindClose(h);
    }
    std::sort(versions.rbegin(), versions.rend());
    versions.push_back("");
    for (const std::string& v : versions) {
      const std::string tool = bin + (v.empty() ? "" : v + "\\") + "x64\\signtool.exe";
      if (twfile::FileExists(tool)) return tool;
    }
  }
  return std::string();
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

class TToolSigner : public TCodeSigner {
public:
  explicit TToolSigner(const TSignSettings& settings) : s_(settings) {}

  void Check() override {
    tool_ = FindSignTool();
    if (tool_.empty())
      Refuse("this machine has no signing tool (signtool.exe, from the Windows SDK, was not found on the PATH or "
             "in the SDK's folders). Install it, or build without SignCode.");
    CheckNamedFiles(s_);
    if (!IsPkcs12(s_.Certificate))
      Refuse("signtool takes the certificate and its private key as one PKCS#12 file (.pfx or .p12) named by "
             "CredentialsFile; " + s_.Certificate + " is not one");
    // A copy of this program, signed and thrown away, tells whether the
    // certificate and the key can sign.
    char temp[MAX_PATH + 1];
    char probe[MAX_PATH + 1];
    if (!GetTempPathA(sizeof(temp), temp) || !GetTempFileNameA(temp, "sgn", 0, probe))
      Refuse("cannot create a temporary file");
    const std::string probeExe = std::string(probe) + ".exe";
    MoveFileExA(probe, probeExe.c_str(), MOVEFILE_REPLACE_EXISTING);
    const bool copied = CopyFileA(TCustomInstall::ProgramPath().c_str(), probeExe.c_str(), FALSE);
    std::string output;
    const bool ok = copied && Run(probeExe, false, output);
    DeleteFileA(probeExe.c_str());
    if (!ok) Refuse("signtool cannot sign with " + s_.Certificate + ":\n" + output);
  }

  void Sign(const std::string& file) override {
    const TKeptDate date(file);
    std::string output;
    if (!s_.TimestampUrl.empty()) {
      if (Run(file, true, output)) {
        date.Restore();
        return;
      }
      Note(ExtractFileName(file) + ": signed without a time stamp: the server " + s_.TimestampUrl +
           " could not be reached");
    }
    if (!Run(file, false, output)) Refuse("signtool could not sign " + file + ":\n" + output);
    date.Restore();
  }

private:
  bool Run(const std::string& file, bool timestamp, std::string& output) {
    std::string command = Quoted(tool_) + " sign /fd sha256 /f " + Quoted(s_.Certificate);
    char password[512];
    const DWORD n = GetEnvironmentVariableA(kSignPasswordVariable, password, sizeof(password));
    if (n > 0 && n < sizeof(password)) command += " /p " + Quoted(password);
    if (timestamp) command += " /tr " + Quoted(s_.TimestampUrl) + " /td sha256";
    command += " " + Quoted(file);

    char temp[MAX_PATH + 1], log[MAX_PATH + 1];
    if (!GetTempPathA(sizeof(temp), temp) || !GetTempFileNameA(temp, "sgn", 0, log)) return false;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    DWORD code = 1;
    {
      TWinFile out(CreateFileA(log, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
      STARTUPINFOA si{};
      si.cb = sizeof(si);
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdOutput = si.hStdError = out.Get();
      si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
      PROCESS_INFORMATION pi{};
      if (!out || !CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                  &si, &pi)) {
        output = "signtool could not be started: " + SysErrorMessage(GetLastError());
        DeleteFileA(log);
        return false;
      }
      WaitForSingleObject(pi.hProcess, INFINITE);
      GetExitCodeProcess(pi.hProcess, &code);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    ReadFileBytes(log, output);
    DeleteFileA(log);
    return code == 0;
  }

  TSignSettings s_;
  std::string tool_;
};

}  // namespace

std::unique_ptr<TCodeSigner> MakeCodeSigner(const TSignSettings& settings) {
  if (!SignHelperDirectory.empty()) return std::make_unique<THelperSigner>(settings, SignHelperDirectory);
  return std::make_unique<TToolSigner>(settings);
}

TCodeSigner& CheckedCodeSigner(const TSignSettings& settings) {
  static std::unique_ptr<TCodeSigner> checked;
  static TSignSettings checkedFor;
  if (!checked || checkedFor.Certificate != settings.Certificate || checkedFor.PrivateKey != settings.PrivateKey ||
      checkedFor.TimestampUrl != settings.TimestampUrl) {
    checked.reset();
    std::unique_ptr<TCodeSigner> signer = MakeCodeSigner(settings);
    signer->Check();
    checked = std::move(signer);
    checkedFor = settings;
  }
  return *checked;
}

TSignedCopies::~TSignedCopies() {
  if (dir_.empty()) return;
  for (int i = 1; i <= count_; ++i) {
    const std::string sub = dir_ + "\\" + std::to_string(i);
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((sub + "\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
      do DeleteFileA((sub + "\\" + d.cFileName).c_str());
      while (FindNextFileA(h, &d));
      FindClose(h);
    }
    RemoveDirectoryA(sub.c_str());
  }
  RemoveDirectoryA(dir_.c_str());
}

std::string TSignedCopies::Make(const std::string& source) {
  if (dir_.empty()) {
    char temp[MAX_PATH + 1], name[MAX_PATH + 1];
    if (!GetTempPathA(sizeof(temp), temp) || !GetTempFileNameA(temp, "sgn", 0, name) || !DeleteFileA(name) ||
        !CreateDirectoryA(name, nullptr))
      Refuse("cannot create a temporary directory for the signed copies");
    dir_ = name;
  }
  // One directory for each copy: the copy keeps its source's name.
  const std::string sub = dir_ + "\\" + std::to_string(++count_);
  const std::string copy = sub + "\\" + ExtractFileName(source);
  if (!CreateDirectoryA(sub.c_str(), nullptr) || !CopyFileA(source.c_str(), copy.c_str(), FALSE))
    Refuse("cannot copy " + source + " to " + copy + ": " + SysErrorMessage(GetLastError()));
  SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  signer_.Sign(copy);
  return copy;
}
