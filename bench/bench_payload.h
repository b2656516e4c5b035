// The generated payload of the benchmarks: many small text-like files, two
// large compressible and two large incompressible ones, the same bytes on
// every run.
#pragma once
#include <climits>
#include <string>
#include <vector>

struct TPayload {
  std::vector<std::string> files;  // full paths
  long long bytes = 0;
};

// Writes about `megabytes` MB into dir: a fifth in small files (at most
// maxSmall of them; what they leave goes to the large text files), half in
// the large text files, the rest incompressible.
TPayload GeneratePayload(const std::string& dir, long long megabytes, int maxSmall = INT_MAX);
