#include "uGenericMain.h"

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "Application.h"
#include "ComCtrls.h"
#include "FormReader.h"
#include "WinHandles.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallFile.h"
#include "routines_API.h"
#include "routines_InstallBoxes.h"
#include "routines_Log.h"
#include "routines_Program.h"
#include "routines_Project.h"
#include "routines_Sign.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace {

struct TGenericArguments {
  std::string Project, Output, Folder, Name, Logo, Side, SignHelper, Timestamp;
};

TGenericArguments ReadArguments() {
  TGenericArguments a;
  for (const std::string& arg : CommandLineArguments()) {
    if (arg.size() < 2 || arg[0] != '*') continue;
    const std::string value = arg.substr(2);
    switch (std::tolower(static_cast<unsigned char>(arg[1]))) {
      case 'p': a.Project = value; break;
      case 'o': a.Output = value; break;
      case 'g': a.Folder = value; break;
      case 'a': a.Name = value; break;
      case 'l': a.Logo = value; break;
      case 'w': a.Side = value; break;
      case 'z': a.SignHelper = value; break;
      case 't': a.Timestamp = value; break;
      default: break;
    }
  }
  return a;
}

// ------------------------------------------------------------ the terminal

// The handle text goes to: the standard handle the program was given, else
// the console of the command prompt that started it; none when neither.
HANDLE OutputHandle(DWORD which) {
  HANDLE h = GetStdHandle(which);
  if (h && h != INVALID_HANDLE_VALUE) return h;
  static HANDLE console = [] {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return static_cast<HANDLE>(nullptr);
    HANDLE c = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    return c == INVALID_HANDLE_VALUE ? static_cast<HANDLE>(nullptr) : c;
  }();
  return console;
}

// Writes to the terminal; a message for a person without one becomes a box.
void Say(const std::string& text, bool error = false) {
  HANDLE h = OutputHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (!h) {
    if (error) MessageBoxA(nullptr, text.c_str(), kGenericTitle, MB_OK | MB_ICONSTOP);
    return;
  }
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Megabytes(std::int64_t bytes) {
  char b[32];
  std::snprintf(b, sizeof(b), "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return b;
}

// ------------------------------------------------------------ the build

TProjectFile g_project;
std::string g_output;

std::int64_t SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return 0;
  return (static_cast<std::int64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

// Files and bytes compressed out of the total, and the rate, on one line
// that each file rewrites.
class TBuildProgress {
public:
  TBuildProgress() : start_(GetTickCount()) {
    for (int i = 0; i < InstallFiles().Count(); ++i) {
      TCustomInstallFile* f = InstallFiles().Items(i);
      ++totalFiles_;
      totalBytes_ += SizeOf(f->SourcePath());
      // The rate is the project's files' own, from the first of them on.
      f->OnBeforeCompress = [this](TCustomInstallFile*) {
        if (files_ == 0) start_ = GetTickCount();
      };
      f->OnAfterCompress = [this](TCustomInstallFile* file) {
        ++files_;
        bytes_ += SizeOf(file->SourcePath());
        Show('\r');
      };
    }
  }
  ~TBuildProgress() {
    for (int i = 0; i < InstallFiles().Count(); ++i) {
      InstallFiles().Items(i)->OnBeforeCompress = nullptr;
      InstallFiles().Items(i)->OnAfterCompress = nullptr;
    }
  }
  void Show(char end) const {
    const double seconds = (GetTickCount() - start_) / 1000.0;
    char rate[32] = "";
    if (seconds > 0.05) std::snprintf(rate, sizeof(rate), ", %.1f MB/s", bytes_ / (1024.0 * 1024.0) / seconds);
    Say(Format("  compressed %d of %d files, %s of %s%s   %s",
               {files_, totalFiles_, Megabytes(bytes_), Megabytes(totalBytes_), std::string(rate),
                std::string(1, end)}));
  }

private:
  DWORD start_;
  int files_ = 0, totalFiles_ = 0;
  std::int64_t bytes_ = 0, totalBytes_ = 0;
};

// A copy of this program carrying the project as its TMAINFORM resource,
// dated as the project file.
void MakeCarryingProgram(const std::string& target) {
  const std::string self = TCustomInstall::ProgramPath();
  if (!CopyFileA(self.c_str(), target.c_str(), FALSE))
    throw EProject(Format("Cannot copy the setup program from %s to %s", {self, target}));
  HANDLE update = BeginUpdateResourceA(target.c_str(), FALSE);
  if (!update ||
      !UpdateResourceA(update, MAKEINTRESOURCEA(10), "TMAINFORM", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                       const_cast<char*>(g_project.Stream.data()), static_cast<DWORD>(g_project.Stream.size())) ||
      !EndUpdateResourceA(update, FALSE))
    throw EProject(Format("Cannot put the project into %s: %s", {target, SysErrorMessage(GetLastError())}));
  TWinFile source(CreateFileA(g_project.Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr));
  TWinFile copy(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  FILETIME written;
  if (!source || !copy || !GetFileTime(source.Get(), nullptr, nullptr, &written) ||
      !SetFileTime(copy.Get(), nullptr, nullptr, &written))
    throw EProject(Format("Cannot date %s as the project file", {target}));
}

void PackageBuild(TCustomInstall& install) {
  const DWORD began = GetTickCount();
  const bool outputExisted = twfile::DirectoryExists(g_output);
  const std::string staging = g_output + "\\.tarnwick-build";
  try {
    if (g_output.empty()) throw EProject("Name the output directory: -b *p<project file> *o<directory>");
    CheckProjectFiles(g_project, install);
    // Before the output directory is touched.
    if (install.BuildInfo().SignCode)
      CheckedCodeSigner({install.BuildInfo().CredentialsFile, install.BuildInfo().PrivateKeyFile, SignTimestampUrl});
    Say(Format("Building %s into %s\n", {g_project.Path, g_output}));
    if (!twfile::ForceDirectories(g_output)) throw EProject(Format("Cannot create the directory %s", {g_output}));
    // Built aside, moved into place when complete.
    twfile::RemoveTree(staging);
    if (!CreateDirectoryA(staging.c_str(), nullptr))
      throw EProject(Format("Cannot create the directory %s", {staging}));
    const std::string program = ExtractFileName(TCustomInstall::ProgramPath());
    MakeCarryingProgram(staging + "\\" + program);
    // The setup archive keeps names, not the developer's paths: the program
    // and the pre-setup files are added from the staging directory.
    std::vector<std::string> presetup;
    for (const std::string& file : install.PresetupFileNames()) {
      const std::string name = ExtractFileName(file);
      for (const std::string& other : presetup)
        if (SameText(other, name))
          throw EProject(g_project.At(g_project.LineOf(install.Name()),
                                      Format("two pre-setup files are named %s", {name})));
      if (!CopyFileA(file.c_str(), (staging + "\\" + name).c_str(), FALSE))
        throw EProject(g_project.At(g_project.LineOf(install.Name()),
                                    Format("the pre-setup file %s does not exist", {file})));
      presetup.push_back(name);
    }
    install.SetPresetupFiles(presetup);
    if (!SetCurrentDirectoryA(staging.c_str())) throw EProject(Format("Cannot enter %s", {staging}));
    {
      TBuildProgress progress;
      install.BuildDistribution(program, staging, true);
      progress.Show('\n');
      SetCurrentDirectoryA(g_output.c_str());
      for (const char* name : {"setup.1", "files.1", "setup.exe"}) {
        const std::string from = staging + "\\" + name, to = g_output + "\\" + name;
        if (!twfile::FileExists(from)) continue;
        if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
          throw EProject(Format("Cannot move %s to %s: %s", {from, to, SysErrorMessage(GetLastError())}));
      }
      char seconds[32];
      std::snprintf(seconds, sizeof(seconds), "%.1f", (GetTickCount() - began) / 1000.0);
      Say(Format("setup.exe: %s\\setup.exe, %s, built in %s s\n",
                 {g_output, Megabytes(SizeOf(g_output + "\\setup.exe")), std::string(seconds)}));
    }
    twfile::RemoveTree(staging);
    InstallExitCode = 0;
  } catch (const std::exception& e) {
    SetCurrentDirectoryA(ExtractFileDir(g_project.Path).c_str());
    twfile::RemoveTree(staging);
    if (!outputExisted && twfile::DirectoryExists(g_output)) RemoveDirectoryA(g_output.c_str());
    const std::string message = dynamic_cast<const EProject*>(&e) ? e.what() : g_project.Told(e.what());
    LogLine("Build failed: " + message);
    Say(message + "\n", true);
    InstallExitCode = 1;
  }
  if (Application) Application->Terminate();
}

bool HasProperty(const TFormObject& o, const std::string& className, const std::string& name,
                 const std::string& property) {
  if ((className.empty() || SameText(o.ClassName, className)) && (name.empty() || SameText(o.Name, name)))
    for (const TFormProperty& p : o.Properties)
      if (SameText(p.Name, property)) return true;
  for (const TFormObject& c : o.Children)
    if (HasProperty(c, className, name, property)) return true;
  return false;
}

const char* const kUsage =
    "This setup program carries no project yet.\n"
    "  Build a setup.exe:     %s -b *p<project file> *o<output directory> [*t<time-stamp server>]\n"
    "  Write a project from a folder:\n"
    "                         %s *g<folder> *p<project file> [*a<product name>] [*l<logo>] [*w<side picture>]\n";

}  // namespace

TGenericMainForm::TGenericMainForm(TComponent* owner, const TFormObject& project) : TForm(owner) {
  givesLogo_ = HasProperty(project, "", "LogoImage", "Picture.Data");
  givesSidePicture_ = HasProperty(project, "TInstall", "", "DialogThemeBitmap.Data");
  if (!g_project.Path.empty()) CheckProjectEvents(g_project, *this);
  ReadForm(this, project);
}

void TGenericMainForm::Loaded() {
  if (Application && !Trim(Caption()).empty()) Application->SetTitle(Caption());
  PrepareInstallDialogs();
  if (auto* logo = dynamic_cast<TImage*>(FindComponent("LogoImage")); logo && !givesLogo_)
    LoadPictureResource(logo->Picture(), "LOGO_PNG");
  if (auto* install = dynamic_cast<TCustomInstall*>(CurrentInstall); install && !givesSidePicture_)
    LoadPictureResource(install->DialogThemeBitmap(), "INSTALL_PNG");
  TForm::Loaded();
}

int RunGenericSetupProgram() {
  const TGenericArguments args = ReadArguments();
  const std::string self = ExtractFileName(TCustomInstall::ProgramPath());
  if (!args.Folder.empty()) {
    if (args.Project.empty()) {
      Say(Format(kUsage, {self, self}), true);
      return 1;
    }
    try {
      Say("Project written: " + WriteStarterProject({args.Folder, args.Project, args.Name, args.Logo, args.Side}) +
          "\n");
      return 0;
    } catch (const std::exception& e) {
      Say(std::string(e.what()) + "\n", true);
      return 1;
    }
  }

  TFormObject tree;
  if (!args.Project.empty()) {
    RegisterEngineClasses();
    try {
      g_project = LoadProjectFile(args.Project, TCustomInstall::GetProgramDir());
    } catch (const std::exception& e) {
      Say(std::string(e.what()) + "\n", true);
      return 1;
    }
    tree = g_project.Tree;
    g_output = args.Output.empty() ? std::string() : StripBackslash(FullPath(args.Output));
    // Relative paths of the install, like those of the project, are the project's.
    SetCurrentDirectoryA(g_project.Dir.c_str());
    BuildModeOverride = PackageBuild;
    SignHelperDirectory = args.SignHelper;
    SignTimestampUrl = args.Timestamp;
    OnSignNote = [](const std::string& text) { Say(text + "\n"); };
    // A build reports on the terminal; no box waits for a person.
    for (const std::string& arg : CommandLineArguments())
      if (arg.size() >= 2 && (arg[0] == '-' || arg[0] == '*') && std::tolower(static_cast<unsigned char>(arg[1])) == 'b')
        InstallBoxHook = [](const std::string& text, unsigned) {
          Say(g_project.Told(text) + "\n", true);
          return IDOK;
        };
  } else {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(module, "TMAINFORM", MAKEINTRESOURCEA(10));
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) {
      Say(Format(kUsage, {self, self}), true);
      return 1;
    }
    try {
      tree = ParseFormStream(bytes, SizeofResource(module, res));
    } catch (const std::exception& e) {
      ShowInstallException(e);
      return 1;
    }
  }
  return RunProgram(
      kGenericTitle, [&tree] { return new TGenericMainForm(nullptr, tree); },
      [](const std::exception& e) {
        if (g_project.Path.empty()) ShowInstallException(e);
        else Say((dynamic_cast<const EProject*>(&e) ? std::string(e.what()) : g_project.Told(e.what())) + "\n", true);
      });
}
