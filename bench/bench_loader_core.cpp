// The loading program's own steps, timed by bench_loader: the self-check and
// the unpacking of setup.1 (kept apart from the engine's headers, whose
// archive record shares names with the self-check's).
#include <string>

#include "selfcheck.h"
#include "setup_archive.h"

bool BenchSelfCheck(const std::string& path) {
  TFileSource file;
  TExtractionInfo info;
  return file.Open(path) && CheckSetupFile(file, info) == TSelfCheckError::None;
}

// Unpacks every member of the embedded setup.1 into memory; returns the
// bytes produced, or -1.
long long BenchUnpack(const std::string& path) {
  TFileSource file;
  TExtractionInfo info;
  if (!file.Open(path) || ReadExtractionInfo(file, info) != TSelfCheckError::None) return -1;
  TSetupArchive archive;
  std::string error;
  if (!archive.Open(file, static_cast<std::uint64_t>(info.SetupFirst), info.SetupSize(), error)) return -1;
  long long total = 0;
  for (std::size_t i = 0; i < archive.Members().size(); ++i) {
    bool ok = archive.Extract(
        i,
        [&](const void*, std::size_t n) {
          total += static_cast<long long>(n);
          return true;
        },
        error);
    if (!ok) return -1;
  }
  return total;
}
