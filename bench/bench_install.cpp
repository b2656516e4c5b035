// The whole run on a generated payload: a project of one directory holding
// every payload file is built (the files compressed into files.1, as -b
// does) and installed by the installation run (record, archive information,
// extraction with dates and attributes, uninstall records, clean-up),
// beside raw zlib on the same bytes in the same run, with peak memory.
//   bench_install [WORKDIR] [MEGABYTES]
#include <windows.h>
#include <psapi.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FormReader.h"
#include "cmp_TInstall.h"
#include "cmp_TTrnwCompress.h"
#include "routines_InstallBoxes.h"
#include "routines_Strings.h"
#include "bench_payload.h"
#include "stream_WinFile.h"
#include "uInstMain.h"

namespace {
using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); }

double RawDeflate(const TPayload& p) {
  const auto t = Clock::now();
  RawDeflateFiles(p.files);
  return Seconds(t);
}

double RawInflateWrite(const std::string& archive, const std::string& outDir) {
  TTrnwCompress c(nullptr);
  c.SetCompressedFile(archive);
  c.ReadHeaders();
  twfile::ForceDirectories(outDir);
  const auto t = Clock::now();
  RawInflateWriteMembers(c, outDir);
  return Seconds(t);
}

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string n = fd.cFileName;
      if (n == "." || n == "..") continue;
      const std::string full = dir + "\\" + n;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
      else DeleteFileA(full.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

// The project: the install and one directory holding every payload file.
std::string ProjectText(const std::string& payloadDir, const std::vector<std::string>& names) {
  std::string t = "object F: TForm\n  object Install1: TInstall\n    UseLoadingProgram = False\n"
                  "    AutoMaximizeWindow = False\n"
                  "    OS = [oswin95, oswinNT, osUnidentified, oswin2K, oswin98, oswinME, oswinXP]\n  end\n"
                  "  object Payload: TInstallDirectory\n    Container = Install1\n    Description = 'payload'\n"
                  "    DestDirType = psContainerDestDir\n    ArchiveFileType = psContainerArchiveFile\n"
                  "    OS = [oswin95, oswinNT, osUnidentified, oswin2K, oswin98, oswinME, oswinXP]\n  end\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    t += "  object File" + std::to_string(i) + ": TInstallFile\n    Container = Payload\n";
    t += "    ArchiveFileType = psContainerArchiveFile\n    DestDirType = psContainerDestDir\n";
    t += "    OS = [oswin95, oswinNT, osUnidentified, oswin2K, oswin98, oswinME, oswinXP]\n";
    t += "    FileName = '" + names[i] + "'\n    DestName = '" + names[i] + "'\n";
    t += "    IncludeFromDir = '" + payloadDir + "'\n    UniqueID = " + std::to_string(i) + "\n  end\n";
  }
  return t + "end\n";
}

std::size_t PeakMB() {
  PROCESS_MEMORY_COUNTERS pmc{};
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
  return pmc.PeakWorkingSetSize >> 20;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string work = argc > 1 ? argv[1] : "C:\\twbenchrun";
  const long long megabytes = argc > 2 ? std::atoll(argv[2]) : 100;
  const std::string payloadDir = work + "\\payload", build = work + "\\dist", dest = work + "\\installed",
                    raw = work + "\\raw";
  RemoveTree(work);
  InstallBoxHook = [](const std::string& text, unsigned) {
    std::fprintf(stderr, "box: %s\n", text.c_str());
    return IDOK;
  };
  RegisterEngineClasses();
  CommandLineArguments = [] { return std::vector<std::string>{}; };

  std::printf("generating %lld MB ...\n", megabytes);
  // Identifiers 0 to 1999 number the members of an archive.
  const TPayload p = GeneratePayload(payloadDir, megabytes, 1900);
  std::vector<std::string> names;
  for (const std::string& f : p.files) names.push_back(ExtractFileName(f));
  const double mb = static_cast<double>(p.bytes) / (1 << 20);
  std::printf("payload: %zu files, %.1f MB\n", names.size(), mb);

  auto form = std::make_unique<TForm>(nullptr);
  ReadForm(form.get(), ParseFormText(ProjectText(payloadDir, names)));
  auto* install = dynamic_cast<TInstall*>(form->FindComponent("Install1"));
  install->SetDestDirType(nullptr);
  install->SetDestDir(dest);
  install->SourceDir = build;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof(self));

  auto t = Clock::now();
  install->BuildDistribution(self, build, false);
  const double buildTime = Seconds(t);
  const double rawDeflate = RawDeflate(p);

  t = Clock::now();
  install->ReadArchiveInfo();
  const double readInfoTime = Seconds(t);
  t = Clock::now();
  install->Install();
  const double installTime = Seconds(t) + readInfoTime;
  const double rawInflate = RawInflateWrite(build + "\\files.1", raw);

  std::size_t installed = 0;
  for (const auto& name : names)
    if (GetFileAttributesA((dest + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES) ++installed;
  std::printf("installed files: %zu of %zu\n", installed, names.size());
  std::printf("build   (compress into files.1): %7.2f s  %7.1f MB/s   raw deflate -9: %7.2f s  ratio %.2f\n",
              buildTime, mb / buildTime, rawDeflate, buildTime / rawDeflate);
  std::printf("install (whole run):             %7.2f s  %7.1f MB/s   raw inflate+write: %7.2f s  ratio %.2f\n",
              installTime, mb / installTime, rawInflate, installTime / rawInflate);
  std::printf("  of which reading the archive information: %.2f s\n", readInfoTime);
  std::printf("peak memory: %zu MB\n", PeakMB());
  form.reset();
  RemoveTree(work);
  return installed == names.size() ? 0 : 1;
}
