// The generated payload of the benchmarks: many small text-like files, two
// large compressible and two large incompressible ones, the same bytes on
// every run.
#pragma once
#include <chrono>
#include <climits>
#include <string>
#include <vector>

class TTrnwCompress;

struct TPayload {
  std::vector<std::string> files;  // full paths
  long long bytes = 0;
};

// Writes about `megabytes` MB into dir: a fifth in small files (at most
// maxSmall of them; what they leave goes to the large text files), half in
// the large text files, the rest incompressible.
TPayload GeneratePayload(const std::string& dir, long long megabytes, int maxSmall = INT_MAX);

// The raw zlib baselines the benchmarks measure against.
// Deflate at level 9 of every file, read in 64 KiB pieces, output in 64 KiB
// blocks (discarded).
void RawDeflateFiles(const std::vector<std::string>& files);
// Inflate of every member of c's archive straight from the file (64 KiB
// input, output blocks of writeSize bytes, 4 KiB as the extraction's),
// each block written to its file in outDir.
// Built as the extractor works on new targets: each file created new, one
// inflate state reset for every member. With targets, member i goes to
// outDir\targets[i] (a relative path whose directories are made as needed).
void RawInflateWriteMembers(TTrnwCompress& c, const std::string& outDir,
                            const std::vector<std::string>* targets = nullptr, unsigned writeSize = 4096);

// The thread count the archive uses, and where it comes from, as a line.
std::string ThreadsLine();

// The processor time this process used so far (user and kernel), in seconds.
double ProcessorSeconds();

// Elapsed time and processor time; the latter is less disturbed by other
// work on the machine.
struct TTimes {
  double wall = 0, cpu = 0;
  TTimes operator+(const TTimes& o) const { return {wall + o.wall, cpu + o.cpu}; }
};
struct TStopwatch {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  double cpuStart = ProcessorSeconds();
  TTimes Stop() const {
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            ProcessorSeconds() - cpuStart};
  }
};

// The files below dir, in every subdirectory, in a stable order (full paths).
std::vector<std::string> FilesBelow(const std::string& dir);
