// Post-install actions of install files: help-file registration, shared-DLL
// counts, COM server and type library registration, and the uninstall
// records of installed files.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "WinHandles.h"
#include "cmp_TInstallFile.h"
#include "cmp_TProgramLauncher.h"
#include "cmp_TTrnwRegistry.h"
#include "format_UninstallRecord.h"
#include "routines_API.h"
#include "routines_Journal.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace {
// Kind of an ActiveX record by the file's extension: 0 DllRegisterServer,
// 1 an executable server, 2 a type library.
int RegistrationKind(const std::string& fileName) {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  if (ext == ".EXE") return 1;
  if (ext == ".TLB") return 2;
  return 0;
}
}  // namespace

void TCustomInstallFile::PostInstall() {
  if (RegisterAsHelp)
    WriteRegistryString(kHKLM, kHelpFilesKey, UpperCase(FinalName()), StripBackslash(GetDestPath()));
  if (UpdateDLLCounter) IncrementSharedDLLCount();
  if (ReplaceAtReboot && CurrentInstall) {
    CurrentInstall->AddUnfinished(Name(), 0);
    return;
  }
  if (!activeX_) return;
  try {
    RegisterActiveX();
  } catch (const Exception&) {
    if (OutsideRun) throw;
    if (!DeferredRegistrations().Contains(this)) DeferredRegistrations().Add(this);
  }
}

void TCustomInstallFile::RegisterActiveX() {
  journal::Registered(InstalledPath(), RegistrationKind(fileName_));
  switch (RegistrationKind(fileName_)) {
    case 1: RegisterServerExe(); break;
    case 2: RegisterTypeLibrary(); break;
    default: RegisterServerDll(); break;
  }
}

namespace {
const char* const kBlankDestination =
    "Cannot compress,copy, or install the following file because it's destination directory is "
    "blank. File is :%s";
}

void TCustomInstallFile::RegisterServerDll() {
  const std::string path = InstalledPath();
  if (Trim(AddBackslash(GetDestPath()) + destName_).empty() || !twfile::FileExists(path))
    throw IECustomInstallFile(kBlankDestination, {Name()});
  const HRESULT init = OleInitialize(nullptr);
  struct TOle {
    HRESULT hr;
    ~TOle() {
      if (SUCCEEDED(hr)) OleUninitialize();
    }
  } ole{init};
  TCurrentDirectory dir(GetDestPath());
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module)
    throw IECustomInstallFile(
        "Could not register the ActiveX component, %s, because the LoadLibrary(%s) procedure returned a "
        "value of 0. The file component is %s. The following value is the value of the GetLastError "
        "function: %d",
        {path, path, Name(), static_cast<unsigned long>(GetLastError())});
  TModuleHandle library(module);
  using TRegister = HRESULT(WINAPI*)();
  auto reg = reinterpret_cast<TRegister>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  if (!reg)
    throw IECustomInstallFile(
        "Could not register the ActiveX component, %s, because the DllRegisterServer function could not "
        "be found. The file component is %s. The following value is the value of the GetLastError "
        "function: %d",
        {path, Name(), static_cast<unsigned long>(GetLastError())});
  const HRESULT result = reg();
  if (result != S_OK)
    throw IECustomInstallFile(
        "Could not register the ActiveX component, %s, because the DllRegisterServer function returned a "
        "value of %d. The file component is %s",
        {path, static_cast<long>(result), Name()});
}

void TCustomInstallFile::RegisterServerExe() {
  const std::string path = InstalledPath();
  if (Trim(AddBackslash(GetDestPath()) + destName_).empty() || !twfile::FileExists(path))
    throw IECustomInstallFile(kBlankDestination, {Name()});
  TCurrentDirectory dir(GetDestPath());
  TProgramLauncher launcher(nullptr);
  launcher.FileName = path;
  launcher.Parameters = "/REGSERVER";
  launcher.ShowMode = smHide;
  launcher.Run();
}

namespace {
// Raises the platform's COM error for a failed call.
void CheckCom(HRESULT hr, const char* what, const std::string& path) {
  if (FAILED(hr))
    throw EOleSysError(Format("%s failed for %s (0x%x)", {what, path, static_cast<unsigned long>(hr)}));
}

std::wstring Wide(const std::string& s) {
  if (s.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
  w.resize(w.size() - 1);
  return w;
}

std::string Narrow(const wchar_t* w) {
  if (!w || !*w) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, -1, &s[0], n, nullptr, nullptr);
  s.resize(s.size() - 1);
  return s;
}
}  // namespace

void TCustomInstallFile::RegisterTypeLibrary() {
  const std::string path = InstalledPath();
  if (Trim(AddBackslash(GetDestPath()) + destName_).empty() || !twfile::FileExists(path))
    throw IECustomInstallFile(kBlankDestination, {Name()});
  TCurrentDirectory dir(GetDestPath());
  const std::wstring widePath = Wide(path);
  TComPtr<ITypeLib> lib;
  CheckCom(LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, lib.Put()), "LoadTypeLibEx", path);
  // The attributes go back to the library before the library is released.
  struct TAttributes {
    ITypeLib* l;
    TLIBATTR* a = nullptr;
    ~TAttributes() {
      if (a) l->ReleaseTLibAttr(a);
    }
  } attributes{lib.Get()};
  CheckCom(lib->GetLibAttr(&attributes.a), "GetLibAttr", path);
  BSTR helpFile = nullptr;
  CheckCom(lib->GetDocumentation(-1, nullptr, nullptr, nullptr, &helpFile), "GetDocumentation", path);
  const std::string help = Narrow(helpFile);
  SysFreeString(helpFile);
  std::wstring helpDir = Wide(ExtractFileDir(help));
  CheckCom(RegisterTypeLib(lib.Get(), const_cast<wchar_t*>(widePath.c_str()),
                           helpDir.empty() ? nullptr : const_cast<wchar_t*>(helpDir.c_str())),
           "RegisterTypeLib", path);
}

bool TCustomInstallFile::HasOLESelfRegister() { return HasOLESelfRegisterAt(SourcePath()); }

bool TCustomInstallFile::HasOLESelfRegisterAt(const std::string& path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return false;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return false;
  void* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &translation, &length) || !translation ||
      length < 4)
    return false;
  const auto* pair = static_cast<const WORD*>(translation);
  char entry[80];
  std::snprintf(entry, sizeof entry, "\\StringFileInfo\\%04X%04X\\OLESelfRegister", pair[0], pair[1]);
  void* value = nullptr;
  UINT valueLength = 0;
  return VerQueryValueA(data.data(), entry, &value, &valueLength) != 0;
}

bool TCustomInstallFile::IncrementSharedDLLCount() {
  TtrnwRegistry reg;
  reg.SetRootKeyIndex(kHKLM);
  if (!reg.OpenKey(kSharedDLLsKey, true))
    throw IECustomInstallFile(
        "Could not open the key SharedDLLs key in the registry. File component %s. GetLastError return: %d",
        {Name(), static_cast<unsigned long>(GetLastError())});
  const std::string target = InstalledPath();
  const std::string shortName = GetShortPath(target);
  int count = 0;
  if (reg.ValueExists(shortName) && reg.ReadInteger(shortName, count) && reg.WriteInteger(shortName, count + 1))
    return true;
  count = 0;
  if (!reg.ValueExists(target) || !reg.ReadInteger(target, count)) count = 0;
  reg.WriteInteger(target, count + 1);
  return true;
}

void TCustomInstallFile::RecordForUninstall(const std::string& key) {
  const std::string path = InstalledPath();
  if (activeX_) {
    uninstallrecord::AppendActiveX(key, path, RegistrationKind(fileName_));
    return;
  }
  uninstallrecord::AppendFile(key, path);
}
