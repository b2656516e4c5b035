// The whole run on a generated payload: a project of one directory holding
// every payload file is built (the files compressed into files.1, as -b
// does) and installed by the installation run (record, archive information,
// extraction with dates and attributes, uninstall records, clean-up),
// beside raw zlib on the same bytes in the same run, with elapsed and
// processor time and peak memory. Instead of a size, a directory (whose
// files, in all its subdirectories, are the payload) may be given.
//   bench_install [WORKDIR] [MEGABYTES | PAYLOADDIR]
#include <windows.h>
#include <psapi.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FormReader.h"
#include "Registry.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallFile.h"
#include "cmp_TTrnwCompress.h"
#include "routines_Cancel.h"
#include "routines_InstallBoxes.h"
#include "routines_Strings.h"
#include "bench_payload.h"
#include "stream_WinFile.h"
#include "uInstMain.h"

namespace {

TTimes RawDeflate(const std::vector<std::string>& files) {
  TStopwatch t;
  RawDeflateFiles(files);
  return t.Stop();
}

// Each member of the archive goes to its own file. The build adds the files
// in the order the installation writes them, its container's order; their
// identifiers number the payload's files.
std::vector<std::string> MemberTargets(TInstallContainer* payload, const std::vector<std::string>& relative) {
  std::vector<std::string> targets;
  for (int i = 0; i < payload->ObjectCount(); ++i)
    if (auto* f = dynamic_cast<TCustomInstallFile*>(payload->HelperComponent(i)))
      targets.push_back(relative[static_cast<std::size_t>(f->UniqueID())]);
  return targets;
}

TTimes RawInflateWrite(const std::string& archive, const std::string& outDir,
                       const std::vector<std::string>& targets, unsigned writeSize) {
  TTrnwCompress c(nullptr);
  c.SetCompressedFile(archive);
  c.ReadHeaders();
  twfile::ForceDirectories(outDir);
  TStopwatch t;
  RawInflateWriteMembers(c, outDir, &targets, writeSize);
  return t.Stop();
}

TTimes Mean(const TTimes& a, const TTimes& b) { return {(a.wall + b.wall) / 2, (a.cpu + b.cpu) / 2}; }

// Files below dir.
std::size_t CountFiles(const std::string& dir) { return FilesBelow(dir).size(); }

// The first entry of the files record below key.
std::string FirstRecordedFile(const std::string& key) {
  TRegistry r;
  r.SetRootKey(HKEY_LOCAL_MACHINE);
  std::string v;
  if (r.OpenKeyReadOnly(key + "\\Files")) r.ReadString("File1", v);
  return v;
}

// The project: the install and one directory holding every payload file;
// a file of a subdirectory goes to the same subdirectory of the destination.
std::string ProjectText(const std::string& payloadDir, const std::vector<std::string>& relative) {
  std::string t = "object F: TForm\n  object Install1: TInstall\n    UseLoadingProgram = False\n"
                  "    AutoMaximizeWindow = False\n"
                  "    OS = [oswin95, oswinNT, osUnidentified, oswin2K, oswin98, oswinME, oswinXP]\n  end\n"
                  "  object Payload: TInstallDirectory\n    Container = Install1\n    Description = 'payload'\n"
                  "    DestDirType = psContainerDestDir\n    ArchiveFileType = psContainerArchiveFile\n"
                  "    OS = [oswin95, oswinNT, osUnidentified, oswin2K, oswin98, oswinME, oswinXP]\n  end\n";
  auto quoted = [](const std::string& v) {
    std::string q = "'";
    for (char c : v) q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
  };
  for (std::size_t i = 0; i < relative.size(); ++i) {
    const std::string name = ExtractFileName(relative[i]), sub = ExtractFileDir(relative[i]);
    t += "  object File" + std::to_string(i) + ": TInstallFile\n    Container = Payload\n";
    t += "    ArchiveFileType = psContainerArchiveFile\n    DestDirType = psContainerDestDir\n";
    t += "    OS = [oswin95, oswinNT, osUnidentified, oswin2K, oswin98, oswinME, oswinXP]\n";
    t += "    FileName = " + quoted(name) + "\n    DestName = " + quoted(name) + "\n";
    if (!sub.empty()) t += "    DestDir = " + quoted("\\" + sub) + "\n";
    t += "    IncludeFromDir = " + quoted(sub.empty() ? payloadDir : payloadDir + "\\" + sub) +
         "\n    UniqueID = " + std::to_string(i) + "\n  end\n";
  }
  return t + "end\n";
}

void DeleteRegistryTree(const std::string& key) {
  TRegistry r;
  r.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!r.OpenKey(key, false)) return;
  const std::vector<std::string> subkeys = r.GetKeyNames();
  r.CloseKey();
  for (const std::string& k : subkeys) DeleteRegistryTree(key + "\\" + k);
  r.DeleteKey(key);
}

std::size_t PeakMB() {
  PROCESS_MEMORY_COUNTERS pmc{};
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
  return pmc.PeakWorkingSetSize >> 20;
}
}  // namespace

int main(int argc, char** argv) {
  // Under Wine the loaded image alone can make most of the peak, and how much
  // depends on its layout: the figure before any work is printed beside it.
  const std::size_t startPeak = PeakMB();
  const std::string work = argc > 1 ? argv[1] : "C:\\twbenchrun";
  const std::string size = argc > 2 ? argv[2] : "100";
  const bool given = size.find_first_not_of("0123456789") != std::string::npos;
  const std::string payloadDir = given ? StripBackslash(size) : work + "\\payload", build = work + "\\dist",
                    dest = work + "\\installed", raw = work + "\\raw";
  twfile::RemoveTree(work);
  InstallBoxHook = [](const std::string& text, unsigned) {
    std::fprintf(stderr, "box: %s\n", text.c_str());
    return IDOK;
  };
  RegisterEngineClasses();
  CommandLineArguments = [] { return std::vector<std::string>{}; };

  std::vector<std::string> files;
  long long bytes = 0;
  if (given) {
    files = FilesBelow(payloadDir);
    for (const std::string& f : files)
      if (auto s = TWinFileStream::Open(f, TWinFileStream::fmOpenRead)) bytes += s->Size();
    // Identifiers 0 to 1999 number the members of an archive.
    if (files.empty() || files.size() > 2000) {
      std::fprintf(stderr, "%s: %zu files; 1 to 2000 can be installed from one archive\n", payloadDir.c_str(),
                   files.size());
      return 1;
    }
  } else {
    const long long megabytes = std::atoll(size.c_str());
    std::printf("generating %lld MB ...\n", megabytes);
    const TPayload p = GeneratePayload(payloadDir, megabytes, 1900);
    files = p.files;
    bytes = p.bytes;
  }
  std::vector<std::string> relative;
  for (const std::string& f : files) relative.push_back(f.substr(payloadDir.size() + 1));
  const double mb = static_cast<double>(bytes) / (1 << 20);
  std::printf("payload: %zu files, %.1f MB%s%s\n", files.size(), mb, given ? " from " : "",
              given ? payloadDir.c_str() : "");
  std::printf("%s\n", ThreadsLine().c_str());

  auto form = std::make_unique<TForm>(nullptr);
  ReadForm(form.get(), ParseFormText(ProjectText(payloadDir, relative)));
  auto* install = dynamic_cast<TInstall*>(form->FindComponent("Install1"));
  install->SetDestDirType(nullptr);
  install->SetDestDir(dest);
  install->SourceDir = build;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof(self));

  TStopwatch t;
  install->BuildDistribution(self, build, false);
  const TTimes buildTime = t.Stop();
  const TTimes rawDeflate = RawDeflate(files);

  // Records of earlier runs would make this installation another one.
  const std::string uninstallKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My product";
  DeleteRegistryTree(uninstallKey);
  // Creating many files right after many were removed costs more than
  // later (the file system passes over the freed entries), which favours
  // whatever writes last: raw zlib writes before and after the
  // installation, and the baseline is the mean of the two.
  const std::string archive = build + "\\files.1";
  const std::vector<std::string> targets =
      MemberTargets(dynamic_cast<TInstallContainer*>(form->FindComponent("Payload")), relative);
  const TTimes rawBefore = RawInflateWrite(archive, raw + "1", targets, 4096);
  const TTimes raw64Before = RawInflateWrite(archive, raw + "3", targets, 65536);
  t = TStopwatch();
  install->ReadArchiveInfo();
  const TTimes readInfoTime = t.Stop();
  t = TStopwatch();
  install->Install();
  const TTimes installTime = t.Stop() + readInfoTime;
  const TTimes rawAfter = RawInflateWrite(archive, raw + "2", targets, 4096);
  const TTimes raw64After = RawInflateWrite(archive, raw + "4", targets, 65536);
  const std::string first = FirstRecordedFile(uninstallKey);
  const TTimes raw4k = Mean(rawBefore, rawAfter), raw64k = Mean(raw64Before, raw64After);
  // The baseline is the faster of the two write sizes.
  const TTimes rawInflate = raw64k.wall < raw4k.wall ? raw64k : raw4k;

  std::size_t installed = 0, differing = 0;
  auto sizeOf = [](const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1LL;
    return static_cast<long long>(d.nFileSizeHigh) << 32 | d.nFileSizeLow;
  };
  for (const auto& name : relative) {
    const long long s = sizeOf(dest + "\\" + name);
    if (s >= 0) ++installed;
    if (s != sizeOf(raw + "1\\" + name)) ++differing;
  }
  std::printf("installed files: %zu of %zu\n", installed, relative.size());
  if (differing) std::printf("  %zu files of raw zlib differ in size from the installed ones\n", differing);
  std::printf("build   (compress into files.1): %7.2f s  %7.1f MB/s   raw deflate -9: %7.2f s  ratio %.2f\n",
              buildTime.wall, mb / buildTime.wall, rawDeflate.wall, buildTime.wall / rawDeflate.wall);
  std::printf("install (whole run):             %7.2f s  %7.1f MB/s   raw inflate+write: %7.2f s  ratio %.2f\n",
              installTime.wall, mb / installTime.wall, rawInflate.wall, installTime.wall / rawInflate.wall);
  std::printf("  raw inflate+write with 4 KiB writes %.2f s (before the installation %.2f s, after it %.2f s), "
              "with 64 KiB writes %.2f s (%.2f s, %.2f s)\n",
              raw4k.wall, rawBefore.wall, rawAfter.wall, raw64k.wall, raw64Before.wall, raw64After.wall);
  if (targets.empty() || !SameText(first, dest + "\\" + targets[0]))
    std::printf("  raw zlib began with %s, the installation with %s\n", targets.empty() ? "nothing" : targets[0].c_str(),
                first.c_str());
  std::printf("processor time: build %.2f s, raw deflate %.2f s (ratio %.2f); install %.2f s, raw inflate+write "
              "%.2f s (ratio %.2f)\n",
              buildTime.cpu, rawDeflate.cpu, buildTime.cpu / rawDeflate.cpu, installTime.cpu, rawInflate.cpu,
              installTime.cpu / rawInflate.cpu);
  std::printf("  of which reading the archive information: %.2f s\n", readInfoTime.wall);
  std::printf("peak memory: %zu MB (%zu MB of it at the start, before any work)\n", PeakMB(), startPeak);

  // Cancel halfway through a second installation into a fresh directory:
  // the time until the copy has stopped (the rollback after it is the run
  // driver's, which this program does not start).
  DeleteRegistryTree(uninstallKey);
  twfile::RemoveTree(dest);
  const double cancelAfter = installTime.wall / 2;
  std::chrono::steady_clock::time_point cancelled;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::duration<double>(cancelAfter));
    cancelled = std::chrono::steady_clock::now();
    InstallCancel().Request();
  });
  install->ReadArchiveInfo();
  try {
    install->Install();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cancelled run: %s\n", e.what());
  }
  const auto stopped = std::chrono::steady_clock::now();
  canceller.join();
  std::printf("cancel after %.2f s: the copy stopped %.1f ms later, with %zu of %zu files copied\n", cancelAfter,
              std::chrono::duration<double, std::milli>(stopped - cancelled).count(), CountFiles(dest),
              relative.size());
  InstallCancel().Clear();
  form.reset();
  DeleteRegistryTree(uninstallKey);
  twfile::RemoveTree(work);
  return installed == relative.size() ? 0 : 1;
}
