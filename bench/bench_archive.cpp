// Archive throughput: builds a generated payload into an archive and extracts
// it again, beside raw zlib on the same bytes in the same run, and reports
// peak memory.
//   bench_archive [WORKDIR] [MEGABYTES] [ROUNDS]
#include <windows.h>
#include <psapi.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cmp_TTrnwCompress.h"
#include "routines_Strings.h"
#include "bench_payload.h"
#include "stream_WinFile.h"

namespace {
TTimes Best(TTimes a, TTimes b) { return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)}; }

TTimes RawDeflate(const TPayload& p) {
  TStopwatch t;
  RawDeflateFiles(p.files);
  return t.Stop();
}

TTimes RawInflateWrite(TTrnwCompress& c, const std::string& outDir, unsigned writeSize) {
  twfile::ForceDirectories(outDir);
  TStopwatch t;
  RawInflateWriteMembers(c, outDir, nullptr, writeSize);
  return t.Stop();
}

}  // namespace

int main(int argc, char** argv) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  std::string work = argc > 1 ? argv[1] : StripBackslash(tmp) + "\\twbench";
  long long mb = argc > 2 ? std::atoll(argv[2]) : 200;
  int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  twfile::RemoveTree(work);
  std::printf("generating %lld MB payload in %s\n", mb, work.c_str());
  TPayload p = GeneratePayload(work + "\\payload", mb);
  double mbytes = static_cast<double>(p.bytes) / (1 << 20);
  std::printf("payload: %zu files, %.1f MB\n", p.files.size(), mbytes);
  std::printf("%s\n", ThreadsLine().c_str());

  // Raw deflate and Add alternate as extraction does below; each Add
  // rebuilds the archive, and the last one is extracted.
  TTrnwCompress c(nullptr);
  c.SetCompressedFile(work + "\\archive\\files.1");
  TTimes rawDeflate{1e30, 1e30}, add{1e30, 1e30};
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn + round) % 2 == 0) {
        rawDeflate = Best(rawDeflate, RawDeflate(p));
      } else {
        // As a build pass does: the files' list is known ahead.
        c.SetFilesToProcess(p.files);
        TStopwatch t;
        c.CompressAhead(p.files);
        c.Add(false, 1);
        c.CompressAhead({});
        add = Best(add, t.Stop());
      }
    }
  }
  c.Count();
  long long archiveBytes = twfile::FileExists(c.CompressedFile())
                               ? TWinFileStream::Open(c.CompressedFile(), TWinFileStream::fmOpenRead)->Size()
                               : 0;

  // Raw and component extraction alternate, each going first in every other
  // round, and the best time of each counts, so that neither pays alone for
  // the writeback of the other's files or for a moment when other work holds
  // the processor.
  // As an installation pass does, the archive stays open between members.
  c.SetKeepArchiveOpen(true);
  TTimes rawInflate{1e30, 1e30}, rawInflate64{1e30, 1e30}, extract{1e30, 1e30};
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn + round) % 2 == 0) {
        rawInflate = Best(rawInflate, RawInflateWrite(c, work + "\\raw", 4096));
        twfile::RemoveTree(work + "\\raw");
        rawInflate64 = Best(rawInflate64, RawInflateWrite(c, work + "\\raw", 65536));
        twfile::RemoveTree(work + "\\raw");
      } else {
        c.ExtractDirectory = work + "\\out";
        c.SetFilesToProcess(p.files);
        TStopwatch e;
        c.Extract();
        extract = Best(extract, e.Stop());
        twfile::RemoveTree(work + "\\out");
      }
    }
  }

  c.SetKeepArchiveOpen(false);
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);

  std::printf("archive: %.1f MB (%.1f%% of the payload)\n", static_cast<double>(archiveBytes) / (1 << 20),
              100.0 * static_cast<double>(archiveBytes) / static_cast<double>(p.bytes));
  std::printf("%-34s %8.2f s  %7.1f MB/s\n", "raw deflate level 9 (read+deflate)", rawDeflate.wall,
              mbytes / rawDeflate.wall);
  std::printf("%-34s %8.2f s  %7.1f MB/s  ratio %.3f\n", "Add", add.wall, mbytes / add.wall,
              add.wall / rawDeflate.wall);
  std::printf("%-34s %8.2f s  %7.1f MB/s\n", "raw inflate and write (4 KiB)", rawInflate.wall,
              mbytes / rawInflate.wall);
  std::printf("%-34s %8.2f s  %7.1f MB/s\n", "raw inflate and write (64 KiB)", rawInflate64.wall,
              mbytes / rawInflate64.wall);
  // The baseline is the faster of the two.
  if (rawInflate64.wall < rawInflate.wall) rawInflate = rawInflate64;
  std::printf("%-34s %8.2f s  %7.1f MB/s  ratio %.3f\n", "Extract", extract.wall, mbytes / extract.wall,
              extract.wall / rawInflate.wall);
  std::printf("processor time: raw deflate %.2f s, Add %.2f s (ratio %.3f); raw inflate and write %.2f s, "
              "Extract %.2f s (ratio %.3f)\n",
              rawDeflate.cpu, add.cpu, add.cpu / rawDeflate.cpu, rawInflate.cpu, extract.cpu,
              extract.cpu / rawInflate.cpu);
  std::printf("peak working set %.1f MB, peak pagefile usage %.1f MB\n",
              static_cast<double>(pmc.PeakWorkingSetSize) / (1 << 20),
              static_cast<double>(pmc.PeakPagefileUsage) / (1 << 20));
  twfile::RemoveTree(work);
  return 0;
}
