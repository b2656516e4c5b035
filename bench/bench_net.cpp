// Download throughput of the network locations from local servers:
//   bench_net STATE_FILE [MEGABYTES]
// STATE_FILE is the servers' state file (tests/unit/net/netservers.py). A
// payload of incompressible bytes is served over HTTP and FTP and fetched
// three times each; a local file copy of the same bytes is the baseline.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "cmp_TNetInstallLocation.h"

namespace {

std::map<std::string, std::string> ReadState(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

bool WritePayload(const std::string& path, long long bytes) {
  std::ofstream out(path, std::ios::binary);
  std::string block(1 << 20, '\0');
  std::uint32_t seed = 12345;
  for (long long done = 0; done < bytes; done += static_cast<long long>(block.size())) {
    for (char& c : block) {
      seed = seed * 1103515245u + 12345u;
      c = static_cast<char>(seed >> 24);
    }
    out.write(block.data(), static_cast<std::streamsize>(std::min<long long>(bytes - done, block.size())));
  }
  return static_cast<bool>(out);
}

template <class F>
double Seconds(F f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: bench_net STATE_FILE [MEGABYTES]\n");
    return 2;
  }
  auto state = ReadState(argv[1]);
  if (state["HTTP_PORT"].empty() || state["ROOT"].empty()) {
    std::printf("no servers in %s\n", argv[1]);
    return 2;
  }
  const long long mb = argc > 2 ? std::atoll(argv[2]) : 64;
  const long long bytes = mb << 20;
  const std::string served = state["ROOT"] + "\\benchpayload.bin";
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string local = std::string(tmp) + "benchdownload.bin";
  if (!WritePayload(served, bytes)) {
    std::printf("cannot write %s\n", served.c_str());
    return 1;
  }
  RegisterNetLocationClasses();
  const double mbytes = static_cast<double>(bytes) / (1 << 20);
  std::printf("payload %.0f MB\n", mbytes);

  double best = 1e30;
  for (int i = 0; i < 3; ++i)
    best = std::min(best, Seconds([&] { CopyFileA(served.c_str(), local.c_str(), FALSE); }));
  std::printf("%-22s %8.1f MB/s\n", "local copy (baseline)", mbytes / best);

  int status = 0;
  for (const char* server : {"HTTP", "FTP"}) {
    TNetInstallLocation location(nullptr);
    location.SetName("nlBench");
    location.LoginInformation().SetHostname("127.0.0.1:" + state[std::string(server) + "_PORT"]);
    location.LoginInformation().SetProtocol(std::string(server) == "HTTP" ? ipHTTP : ipFTP);
    long long blocks = 0;
    location.OnDataReceived = [&](TComponent*, const std::string&, std::uint32_t, std::uint32_t, std::uint32_t,
                                  const char*) { ++blocks; };
    best = 1e30;
    try {
      for (int i = 0; i < 3; ++i) {
        blocks = 0;
        best = std::min(best, Seconds([&] { location.Download("benchpayload.bin", local); }));
      }
      std::printf("%-22s %8.1f MB/s  (%lld blocks)\n", (std::string(server) + " download").c_str(), mbytes / best,
                  blocks);
    } catch (const std::exception& e) {
      std::printf("%s download failed: %s\n", server, e.what());
      status = 1;
    }
  }
  PROCESS_MEMORY_COUNTERS pmc{};
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
  std::printf("peak working set %.1f MB\n", static_cast<double>(pmc.PeakWorkingSetSize) / (1 << 20));
  DeleteFileA(local.c_str());
  DeleteFileA(served.c_str());
  return status;
}
