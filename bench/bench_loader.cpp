// The loading program's start-up cost: builds a setup.exe the way the build
// makes it (a generated setup program of SETUP megabytes, a main archive of
// MAIN megabytes), then times the self-check (the SHA-0 over the whole file)
// beside a plain read of the same file, the unpacking of setup.1 beside raw
// inflate, and a whole start of setup.exe until the setup program has ended.
//   bench_loader [WORKDIR] [MAIN_MB] [SETUP_MB]
// Started with -s... (as the loading program starts it) it ends at once.
#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cmp_TTrnwCompress.h"
#include "stream_WinFile.h"
#include "uFileCheckSum.h"

bool BenchSelfCheck(const std::string& path);
long long BenchUnpack(const std::string& path);

namespace {
using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); }

std::string ProgramPath() {
  char buf[MAX_PATH];
  GetModuleFileNameA(nullptr, buf, sizeof(buf));
  return buf;
}

// Half text-like, half noise: compresses about as a program and its data do.
std::string Payload(long long bytes, std::uint64_t seed) {
  std::string s(static_cast<size_t>(bytes), '\0');
  static const char* const words[] = {"setup", "install", "module", "server", "console", "the", "of", "file"};
  size_t i = 0;
  while (i < s.size()) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    if ((i / 4096) % 2 == 0) {
      const char* w = words[(seed >> 33) % 8];
      for (const char* p = w; *p && i < s.size(); ++p) s[i++] = *p;
      if (i < s.size()) s[i++] = ' ';
    } else {
      s[i++] = static_cast<char>(seed >> 56);
    }
  }
  return s;
}

void WriteBytes(const std::string& name, const std::string& data) {
  auto f = TWinFileStream::Open(name, TWinFileStream::fmCreate);
  if (!f) { std::fprintf(stderr, "cannot create %s\n", name.c_str()); std::exit(1); }
  f->WriteBuffer(data.data(), static_cast<long>(data.size()));
}

std::string ReadBytes(const std::string& name) {
  auto f = TWinFileStream::Open(name, TWinFileStream::fmOpenRead);
  if (!f) { std::fprintf(stderr, "cannot read %s\n", name.c_str()); std::exit(1); }
  std::string s(static_cast<size_t>(f->Size()), '\0');
  if (!s.empty()) f->ReadBuffer(&s[0], static_cast<long>(s.size()));
  return s;
}

void Compress(const std::string& archive, const std::vector<std::string>& files) {
  TTrnwCompress c(nullptr);
  c.SetCompressedFile(archive);
  for (size_t i = 0; i < files.size(); ++i) {
    c.AddFileToProcess(files[i]);
    c.Add(i > 0, static_cast<std::int32_t>(i));
  }
}

double ReadAll(const std::string& name) {
  auto t = Clock::now();
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::vector<char> buf(65536);
  DWORD got = 0;
  volatile unsigned sum = 0;
  while (ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got > 0) sum = sum + static_cast<unsigned char>(buf[0]);
  CloseHandle(h);
  return Seconds(t);
}

int Run(const std::string& commandLine) {
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::string cmd = commandLine;
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

template <class F> double Best(int n, F f) {
  double best = 1e30;
  for (int i = 0; i < n; ++i) {
    auto t = Clock::now();
    f();
    best = std::min(best, Seconds(t));
  }
  return best;
}
}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "-s", 2) == 0) return 0;  // started as the setup program
  const std::string dir = argc > 1 ? argv[1] : "C:\\twbench-loader";
  const long long mainMb = argc > 2 ? std::atoll(argv[2]) : 100;
  const long long setupMb = argc > 3 ? std::atoll(argv[3]) : 4;
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string bin = ProgramPath().substr(0, ProgramPath().find_last_of('\\'));

  // The setup program: this program, padded with a payload to its size.
  const std::string program = dir + "\\kelvosetup.exe";
  WriteBytes(program, ReadBytes(ProgramPath()) + Payload(setupMb << 20, 1));
  const std::string data = dir + "\\payload.bin";
  WriteBytes(data, Payload(mainMb << 20, 2));
  Compress(dir + "\\setup.1", {program});
  Compress(dir + "\\files.1", {data});

  const std::string exe = dir + "\\setup.exe";
  std::string loader = ReadBytes(bin + "\\TarnwickLoadProgram.exe");
  const std::string setup1 = ReadBytes(dir + "\\setup.1"), files1 = ReadBytes(dir + "\\files.1");
  TExtractionInfo info;
  info.Marker = kSelfExtractingMarker;
  info.SetupFirst = static_cast<std::int32_t>(loader.size());
  info.SetupLast = info.SetupFirst + static_cast<std::int32_t>(setup1.size()) - 1;
  info.FilesFirst = info.SetupLast + 1;
  info.FilesLast = info.FilesFirst + static_cast<std::int32_t>(files1.size()) - 1;
  const auto encoded = info.Encode();
  const std::string record(encoded.begin(), encoded.end());
  WriteBytes(exe, loader + setup1 + files1 + record);
  AppendFileChecksum(exe, "");
  const double fileMb = static_cast<double>(loader.size() + setup1.size() + files1.size() + 96) / (1 << 20);

  if (!BenchSelfCheck(exe) || BenchUnpack(exe) < 0) {
    std::fprintf(stderr, "the generated setup.exe does not pass its own check\n");
    return 1;
  }
  const double read = Best(3, [&] { ReadAll(exe); });
  const double check = Best(3, [&] { BenchSelfCheck(exe); });
  long long unpacked = 0;
  const double unpack = Best(3, [&] { unpacked = BenchUnpack(exe); });
  // Raw inflate of the same member data, through zlib alone.
  const double inflateRaw = Best(3, [&] {
    z_stream z{};
    inflateInit(&z);
    std::vector<unsigned char> out(65536);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(setup1.data() + 5 + 176));
    z.avail_in = static_cast<uInt>(setup1.size() - 5 - 176);
    int rc;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
    } while (rc == Z_OK);
    inflateEnd(&z);
  });
  const double child = Best(3, [&] { Run("\"" + program + "\" -sX"); });
  int code = 0;
  const double whole = Best(3, [&] { code = Run("\"" + exe + "\""); });

  std::printf("setup.exe: %.1f MB (setup.1 %.1f MB holding %.1f MB, files.1 %.1f MB)\n", fileMb,
              setup1.size() / 1048576.0, unpacked / 1048576.0, files1.size() / 1048576.0);
  std::printf("%-34s %9s %10s\n", "step", "seconds", "MB/s");
  std::printf("%-34s %9.3f %10.1f\n", "read setup.exe (baseline)", read, fileMb / read);
  std::printf("%-34s %9.3f %10.1f\n", "self-check (SHA-0 of the file)", check, fileMb / check);
  std::printf("%-34s %9.3f %10.1f\n", "raw zlib inflate of setup.1 data", inflateRaw, unpacked / 1048576.0 / inflateRaw);
  std::printf("%-34s %9.3f %10.1f\n", "unpack setup.1 (to memory)", unpack, unpacked / 1048576.0 / unpack);
  std::printf("%-34s %9.3f %10s\n", "start+end of the setup program", child, "-");
  std::printf("%-34s %9.3f %10s  (exit code %d)\n", "whole setup.exe run", whole, "-", code);
  return 0;
}
