// Fixtures shared by the install file, registration and container tests: a
// stand-in for the install component, a project form with the standard path
// specifiers, a private temporary tree and registry helpers.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ModelTestInstall.h"
#include "TestSupport.h"
#include "cmp_TFileContainer.h"
#include "cmp_TInstallFile.h"
#include "cmp_TInstallInformation.h"
#include "cmp_TPathSpecifier.h"
#include "routines_API.h"
#include "routines_Cancel.h"
#include "routines_InstallBoxes.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "routines_win2k.h"
#include "stream_WinFile.h"

namespace modeltest {

inline std::string Slurp(const std::string& path) { return testsupport::ReadFileText(path); }

inline DWORD AttributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// The modification time of a file as a local date-time (day count).
inline double FileDateOf(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  TDateTime d = -1;
  twfile::GetFileDate(h, d);
  CloseHandle(h);
  return d;
}

// Sets a file's modification time to a local date-time.
inline bool SetFileDateOf(const std::string& path, double date) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = twfile::SetFileDate(h, date);
  CloseHandle(h);
  return ok;
}

// 2003-04-05 06:07:08 and later: dates on the two-second grid.
constexpr double kOldDate = 37716.0 + (6 * 3600 + 7 * 60 + 8) / 86400.0;
constexpr double kNewDate = kOldDate + 10.0;

inline void DeleteRegistryValue(HKEY root, const std::string& key, const std::string& name) {
  HKEY k;
  std::string sub = key;
  if (!sub.empty() && sub[0] == '\\') sub.erase(0, 1);
  if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  RegDeleteValueA(k, name.c_str());
  RegCloseKey(k);
}

// Whether a registry value exists (any type).
inline bool RegistryValueExists(HKEY root, const std::string& key, const std::string& name) {
  HKEY k;
  std::string sub = key;
  if (!sub.empty() && sub[0] == '\\') sub.erase(0, 1);
  if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
  const bool found = RegQueryValueExA(k, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(k);
  return found;
}

// Reads the delayed renames of the system as pairs (source, target).
inline std::vector<std::pair<std::string, std::string>> PendingRenames() {
  std::vector<std::pair<std::string, std::string>> out;
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    &k) != ERROR_SUCCESS)
    return out;
  DWORD size = 0, type = 0;
  std::vector<char> data;
  if (RegQueryValueExA(k, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      size > 0) {
    data.resize(size + 2);
    RegQueryValueExA(k, "PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                     &size);
  }
  RegCloseKey(k);
  std::vector<std::string> strings;
  for (std::size_t i = 0; i < data.size() && data[i];) {
    std::string s(&data[i]);
    strings.push_back(s);
    i += s.size() + 1;
  }
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) out.emplace_back(strings[i], strings[i + 1]);
  return out;
}

inline bool Mentions(const std::string& text, const std::string& path) {
  return UpperCase(text).find(UpperCase(path)) != std::string::npos;
}

// Takes the delayed renames whose source mentions path out of the system's list.
inline void ForgetPendingRenames(const std::string& path) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, &k) != ERROR_SUCCESS)
    return;
  std::string kept;
  for (const auto& p : PendingRenames())
    if (!Mentions(p.first, path)) kept += p.first + '\0' + p.second + '\0';
  if (kept.empty()) {
    RegDeleteValueA(k, "PendingFileRenameOperations");
  } else {
    kept += '\0';
    RegSetValueExA(k, "PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                   static_cast<DWORD>(kept.size()));
  }
  RegCloseKey(k);
}

// A file held open without delete sharing, as a running program holds it.
class THeldFile {
public:
  explicit THeldFile(const std::string& path)
      : h_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr)) {}
  ~THeldFile() { Release(); }
  THeldFile(const THeldFile&) = delete;
  THeldFile& operator=(const THeldFile&) = delete;
  bool Held() const { return h_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

private:
  HANDLE h_;
};

// A project form with the standard specifiers, a temporary tree (sources,
// destination, archive) and the process-wide state restored afterwards.
class ModelTest : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterPathSpecifierClasses();
    RegisterInstallFileClasses();
    savedOS_ = RunningOSHook;
    savedOutsideRun_ = OutsideRun;
    savedBox_ = InstallBoxHook;
    RunningOSHook = [] { return oswinXP; };
    OutsideRun = true;
    CurrentInstall = nullptr;
    SharedCompressor()->Abort = false;
    form = std::make_unique<TComponent>(nullptr);
    StandardPathSpecifiers().CreateStandardSpecifiers(form.get(), true);
    temp = std::make_unique<testsupport::TTempDir>("model");
    sourceDir = temp->File("source files");
    destDir = temp->File("installed files");
    archive = temp->File("archive") + "\\files.1";
    CreateDirectoryA(sourceDir.c_str(), nullptr);
    CreateDirectoryA(temp->File("archive").c_str(), nullptr);
  }
  void TearDown() override {
    form.reset();
    CurrentInstall = nullptr;
    DeferredRegistrations().Clear();
    SharedCompressor()->Abort = false;
    InstallCancel().Clear();
    SharedCompressor()->SetCompressedFile(std::string());
    RunningOSHook = savedOS_;
    OutsideRun = savedOutsideRun_;
    InstallBoxHook = savedBox_;
    for (const std::string& key : uninstallKeys_) DeleteRegistryTree(kHKLM, key);
    temp.reset();
  }

  // A directory container installing into destDir, archived in archive.
  TInstallDirectory* Directory(const std::string& name = "idFiles") {
    auto* d = new TInstallDirectory(form.get());
    d->SetName(name);
    d->SetDestDir(destDir);
    d->SetArchiveFile(archive);
    return d;
  }

  // A source file with the given bytes and an install file for it in the
  // container.
  TInstallFile* File(TFileContainer* container, const std::string& name, const std::string& fileName,
                     const std::string& bytes) {
    testsupport::WriteFileText(Source(fileName), bytes);
    return FileFor(container, name, fileName);
  }
  // An install file for an existing source file.
  TInstallFile* FileFor(TFileContainer* container, const std::string& name, const std::string& fileName) {
    auto* f = new TInstallFile(form.get());
    f->SetName(name);
    f->SetIncludeFromDir(sourceDir);
    f->SetFileName(fileName);
    if (container) f->SetContainer(container);
    return f;
  }
  std::string Source(const std::string& fileName) const { return sourceDir + "\\" + fileName; }
  std::string Dest(const std::string& fileName) const { return destDir + "\\" + fileName; }

  // The build pass of a traditional distribution.
  static void Build(TFileContainer* c) {
    c->Compress(TCompressOptions{coArchivesBesideContainer, coReserved2, coForceNetFilesLocal, coIncludeExcluded});
  }

  // Makes a test install the current install, with a product of its own
  // whose uninstall key is removed afterwards.
  TTestInstall* MakeInstall() {
    auto* install = new TTestInstall(form.get());
    install->info.ProductName = testsupport::UniqueName("Tarnwick Model Test");
    uninstallKeys_.push_back(kUninstallKeyPrefix + install->info.ProductName);
    CurrentInstall = install;
    return install;
  }
  static std::string UninstallKey(TTestInstall* install) {
    return kUninstallKeyPrefix + install->info.ProductName;
  }

  template <class T>
  T* Specifier() {
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (auto* s = dynamic_cast<T*>(form->Component(i))) return s;
    return nullptr;
  }

  std::unique_ptr<TComponent> form;
  std::unique_ptr<testsupport::TTempDir> temp;
  std::string sourceDir, destDir, archive;

private:
  TOSVerType (*savedOS_)() = nullptr;
  bool savedOutsideRun_ = true;
  TInstallBoxHook savedBox_;
  std::vector<std::string> uninstallKeys_;
};

}  // namespace modeltest
