#include "bench_payload.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include <zlib.h>

#include "cmp_TTrnwCompress.h"
#include "routines_Strings.h"
#include "routines_Workers.h"
#include "stream_WinFile.h"

namespace {

struct TRng {
  std::uint64_t s;
  std::uint32_t Next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(s >> 33);
  }
};

const char* const kWords[] = {"install", "archive", "member", "header", "disk", "version", "file",
                              "directory", "registry", "shortcut", "the", "of", "and", "to", "a",
                              "component", "stream", "block", "setup", "program", "value", "key"};

std::string TextLike(size_t n, TRng& r) {
  std::string s;
  s.reserve(n + 64);
  while (s.size() < n) {
    s += kWords[r.Next() % (sizeof kWords / sizeof kWords[0])];
    s += (r.Next() % 12 == 0) ? "\r\n" : " ";
    if (r.Next() % 40 == 0) s += std::to_string(r.Next() % 100000);
  }
  s.resize(n);
  return s;
}

std::unique_ptr<TWinFileStream> Create(const std::string& name) {
  auto f = TWinFileStream::Open(name, TWinFileStream::fmCreate);
  if (!f) {
    std::fprintf(stderr, "cannot create %s\n", name.c_str());
    std::exit(1);
  }
  return f;
}

}  // namespace

TPayload GeneratePayload(const std::string& dir, long long megabytes, int maxSmall) {
  TPayload p;
  TRng r{42};
  twfile::ForceDirectories(dir);
  const long long total = megabytes << 20;
  long long smallBudget = total / 5;
  const long long noise = total - total / 5 - total / 2;
  for (int i = 0; smallBudget > 0 && i < maxSmall; ++i) {
    const size_t n = 500 + r.Next() % 28000;
    const std::string name = dir + "\\small" + std::to_string(i) + ".txt";
    const std::string text = TextLike(n, r);
    Create(name)->WriteBuffer(text.data(), static_cast<long>(n));
    p.files.push_back(name);
    p.bytes += static_cast<long long>(n);
    smallBudget -= static_cast<long long>(n);
  }
  const long long bigText = total / 2 + std::max(0LL, smallBudget);
  for (int i = 0; i < 2; ++i) {  // large compressible, written in pieces
    const std::string name = dir + "\\bigtext" + std::to_string(i) + ".log";
    auto f = Create(name);
    for (long long left = bigText / 2; left > 0; left -= 1 << 20) {
      const std::string piece = TextLike(static_cast<size_t>(std::min<long long>(left, 1 << 20)), r);
      f->WriteBuffer(piece.data(), static_cast<long>(piece.size()));
    }
    p.files.push_back(name);
    p.bytes += bigText / 2;
  }
  for (int i = 0; i < 2; ++i) {  // large incompressible
    const std::string name = dir + "\\noise" + std::to_string(i) + ".bin";
    auto f = Create(name);
    std::string piece(1 << 20, '\0');
    for (long long left = noise / 2; left > 0; left -= 1 << 20) {
      for (size_t k = 0; k < piece.size(); k += 4) {
        const std::uint32_t v = r.Next();
        std::memcpy(&piece[k], &v, 4);
      }
      f->WriteBuffer(piece.data(), static_cast<long>(std::min<long long>(left, 1 << 20)));
    }
    p.files.push_back(name);
    p.bytes += noise / 2;
  }
  return p;
}

void RawDeflateFiles(const std::vector<std::string>& files) {
  std::vector<unsigned char> in(65536), out(65536);
  for (const auto& name : files) {
    auto f = TWinFileStream::Open(name, TWinFileStream::fmOpenRead);
    z_stream z{};
    deflateInit(&z, 9);
    for (;;) {
      const long n = f->Read(in.data(), 65536);
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(n > 0 ? n : 0);
      const int flush = n <= 0 ? Z_FINISH : Z_NO_FLUSH;
      int rc;
      do {
        z.next_out = out.data();
        z.avail_out = 65536;
        rc = deflate(&z, flush);
      } while (z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
      if (flush == Z_FINISH) break;
    }
    deflateEnd(&z);
  }
}

void RawInflateWriteMembers(TTrnwCompress& c, const std::string& outDir, const std::vector<std::string>* targets,
                            unsigned writeSize) {
  auto a = TWinFileStream::Open(c.CompressedFile(), TWinFileStream::fmOpenRead);
  std::vector<unsigned char> in(65536), out(writeSize);
  z_stream z{};
  inflateInit(&z);
  std::string madeDir = outDir;
  for (int i = 0; i < c.Headers().Count(); ++i) {
    const TFileHeaderRec& h = c.Headers().GetFileHeaders(i).Rec;
    std::string target = outDir + "\\" + ExtractFileName(h.StoredName);
    if (targets && static_cast<std::size_t>(i) < targets->size()) {
      target = outDir + "\\" + (*targets)[static_cast<std::size_t>(i)];
      const std::string dir = ExtractFileDir(target);
      if (dir != madeDir) twfile::ForceDirectories(madeDir = dir);
    }
    auto f = TWinFileStream::Open(target, TWinFileStream::fmCreateNew);
    if (!f) {
      std::fprintf(stderr, "cannot create %s\n", target.c_str());
      std::exit(1);
    }
    a->SetPosition(h.DataStart);
    long long left = h.CompressedSize;
    inflateReset(&z);
    z.avail_in = 0;
    int rc = Z_OK;
    z.next_out = out.data();
    z.avail_out = writeSize;
    while (rc != Z_STREAM_END) {
      if (z.avail_in == 0) {
        const long n = a->Read(in.data(), static_cast<long>(std::min<long long>(left, 65536)));
        if (n <= 0) break;
        left -= n;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
      }
      rc = inflate(&z, Z_NO_FLUSH);
      if (rc < 0 && rc != Z_BUF_ERROR) break;
      // A block is written when it is full or the member ends.
      if (z.avail_out == 0 || rc == Z_STREAM_END) {
        f->Write(out.data(), static_cast<long>(writeSize - z.avail_out));
        z.next_out = out.data();
        z.avail_out = writeSize;
      }
    }
  }
  inflateEnd(&z);
}

std::string ThreadsLine() {
  DWORD_PTR process = 0, system = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &process, &system);
  int cpus = 0;
  for (DWORD_PTR m = process; m; m &= m - 1) ++cpus;
  const char* env = std::getenv("TARNWICK_THREADS");
  return "threads: " + std::to_string(ArchiveThreads()) + " (processors in the affinity mask: " +
         std::to_string(cpus) + ", TARNWICK_THREADS=" + (env ? env : "unset") + ")";
}

double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto v = [](const FILETIME& f) { return (static_cast<std::uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  return static_cast<double>(v(kernel) + v(user)) / 1e7;
}

std::vector<std::string> FilesBelow(const std::string& dir) {
  std::vector<std::string> files, dirs;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string n = fd.cFileName;
      if (n == "." || n == "..") continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) dirs.push_back(dir + "\\" + n);
      else files.push_back(dir + "\\" + n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  std::sort(files.begin(), files.end());
  std::sort(dirs.begin(), dirs.end());
  for (const std::string& d : dirs) {
    const std::vector<std::string> below = FilesBelow(d);
    files.insert(files.end(), below.begin(), below.end());
  }
  return files;
}
