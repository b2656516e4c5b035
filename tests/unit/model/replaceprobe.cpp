// Test helper: installs WORKDIR\source\data.txt (built into WORKDIR\files.1)
// over WORKDIR\dest\data.txt while holding that file open, under the Windows
// version the prefix gives this program, and writes what happened ("os=",
// "reboot=", "replace=", "destname=" lines, or "error=") to OUTFILE.
#include <windows.h>

#include <cstdio>
#include <memory>

#include "ModelTestInstall.h"
#include "cmp_TInstallFile.h"
#include "cmp_TPathSpecifier.h"
#include "routines_API.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string work = argv[1];
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 3;
  RegisterPathSpecifierClasses();
  RegisterInstallFileClasses();
  auto form = std::make_unique<TComponent>(nullptr);
  StandardPathSpecifiers().CreateStandardSpecifiers(form.get(), true);
  auto* install = new modeltest::TTestInstall(form.get());
  install->Uninstall = false;
  CurrentInstall = install;
  int rc = 0;
  try {
    std::fprintf(out, "os=%d\n", static_cast<int>(GetOSVersion()));
    auto* dir = new TInstallDirectory(form.get());
    dir->SetName("idProbe");
    dir->SetDestDir(work + "\\dest");
    dir->SetArchiveFile(work + "\\files.1");
    dir->Uninstall = false;
    auto* f = new TInstallFile(form.get());
    f->SetName("ifProbe");
    f->SetIncludeFromDir(work + "\\source");
    f->SetFileName("data.txt");
    f->SetContainer(dir);
    f->Uninstall = false;
    dir->Compress(TCompressOptions{coArchivesBesideContainer, coReserved2, coForceNetFilesLocal, coIncludeExcluded});
    HANDLE held = CreateFileA((work + "\\dest\\data.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    dir->Install();
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    std::fprintf(out, "held=%d\nreboot=%d\nreplace=%d\ndestname=%s\n", held != INVALID_HANDLE_VALUE ? 1 : 0,
                 install->reboot ? 1 : 0, f->ReplaceAtReboot ? 1 : 0, f->DestName().c_str());
  } catch (const Exception& e) {
    std::fprintf(out, "error=%s\n", e.Message().c_str());
    rc = 1;
  }
  std::fclose(out);
  form.reset();
  CurrentInstall = nullptr;
  return rc;
}
