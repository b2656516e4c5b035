#include "routines_Build.h"

#include "uFileCheckSum.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "ScopeExit.h"
#include "WinHandles.h"
#include "cmp_TTrnwCompress.h"
#include "exceptions_Tarnwick.h"
#include "routines_FileSystem.h"
#include "routines_Registry.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace {

constexpr DWORD kCopyBlock = 8192;

TWinFile OpenForAppend(const std::string& path) {
  TWinFile f(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (f) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(f.Get(), zero, nullptr, FILE_END)) f.Reset();
  }
  return f;
}

std::int64_t Position(const TWinFile& f) {
  LARGE_INTEGER zero{}, pos{};
  SetFilePointerEx(f.Get(), zero, &pos, FILE_CURRENT);
  return pos.QuadPart;
}

bool WriteAll(HANDLE h, const void* data, DWORD size) {
  DWORD put = 0;
  return WriteFile(h, data, size, &put, nullptr) && put == size;
}

// Appends the whole of source to dest; the bytes copied.
std::int64_t AppendFile(HANDLE dest, const std::string& source) {
  TWinFile in(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in) return -1;
  std::vector<char> buf(1 << 16);
  std::int64_t copied = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in.Get(), buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) return copied;
    if (got == 0) return copied;
    DWORD put = 0;
    if (!WriteFile(dest, buf.data(), got, &put, nullptr)) return copied;
    copied += put;
    if (put != got) return copied;
  }
}

std::int64_t FileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<std::int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Archive offsets are stored as 32-bit values.
std::int32_t Offset32(std::int64_t pos, const std::string& archive, const std::string& exe) {
  if (pos < 0 || pos > 0x7FFFFFFF)
    throw IEInstall("Cannot create the self-extracting exe because %s could not be loaded onto %s",
                    {archive, exe});
  return static_cast<std::int32_t>(pos);
}

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  std::string upper = UpperCase(text);
  const std::string key = UpperCase(what);
  std::size_t at = 0;
  while ((at = upper.find(key, at)) != std::string::npos) {
    text.replace(at, what.size(), with);
    upper.replace(at, what.size(), UpperCase(with));
    at += with.size();
  }
  return text;
}

}  // namespace

void AppendArchivesToLoader(const std::string& setupExe, const std::string& setupArchive,
                            const std::string& mainArchive) {
  const char* appendMessage = "Cannot create the self-extracting exe because %s could not be loaded onto %s";
  TExtractionInfo h;
  h.Marker = kSelfExtractingMarker;
  TWinFile exe = OpenForAppend(setupExe);
  if (!exe) throw IEInstall(appendMessage, {setupArchive, setupExe});

  h.SetupFirst = Offset32(Position(exe), setupArchive, setupExe);
  const std::int64_t setupSize = FileSizeOf(setupArchive);
  if (setupSize < 0 || AppendFile(exe.Get(), setupArchive) != setupSize)
    throw IEInstall(appendMessage, {setupArchive, setupExe});
  h.SetupLast = Offset32(Position(exe) - 1, setupArchive, setupExe);

  if (twfile::FileExists(mainArchive)) {
    h.FilesFirst = Offset32(Position(exe), mainArchive, setupExe);
    const std::int64_t mainSize = FileSizeOf(mainArchive);
    if (mainSize < 0 || AppendFile(exe.Get(), mainArchive) != mainSize)
      throw IEInstall(appendMessage, {mainArchive, setupExe});
    h.FilesLast = Offset32(Position(exe) - 1, mainArchive, setupExe);
  }

  const auto record = h.Encode();
  if (!WriteAll(exe.Get(), record.data(), record.size())) throw IEInstall(appendMessage, {setupArchive, setupExe});
}

void AppendNotSelfExtractHeader(const std::string& setupExe) {
  TExtractionInfo h;
  h.Marker = kNotSelfExtractMarker;
  const auto record = h.Encode();
  TWinFile exe = OpenForAppend(setupExe);
  if (!exe || !WriteAll(exe.Get(), record.data(), record.size()))
    throw IEInstall("Cannot add the self-extract info header to %s", {setupExe});
}

TExtractionInfo ReadSelfExtractHeader(const std::string& file) {
  const char* message =
      "Could not read the extraction info from the archive file %s when trying to find the correct offset into "
      "the self extracting file";
  std::uint8_t record[ExtractionInfoSize] = {};
  TWinFile f(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr));
  if (!f) throw IEInstall(message, {file});
  // The record stands before the trailer, which a signature may follow.
  TSealLayout layout;
  if (!ReadSealLayout(file, layout) || layout.End < ExtractionInfoDistance) throw IEInstall(message, {file});
  LARGE_INTEGER pos{};
  pos.QuadPart = static_cast<LONGLONG>(layout.End - ExtractionInfoDistance);
  DWORD got = 0;
  if (!SetFilePointerEx(f.Get(), pos, nullptr, FILE_BEGIN) ||
      !ReadFile(f.Get(), record, sizeof record, &got, nullptr) || got != sizeof record)
    throw IEInstall(message, {file});
  return TExtractionInfo::Decode(record);
}

std::string ReadBuildInf(const std::string& programDir) {
  const std::string path = AddBackslash(programDir) + "BUILD.INF";
  std::string text;
  if (!twfile::FileExists(path) || !ReadFileBytes(path, text))
    throw IEInstall("Need to have a BUILD.INF file in this directory with the first line specifying the build "
                    "directory");
  if (text.empty()) throw IEInstall("Must be 1 line in BUILD.INF. This line should specify the build directory");
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string FindEngineDirectory() {
  const char* message = "Cannot find the the Tarnwick directory on the VCL library search path";
  const std::string search = ReadRegistryString(kHKCU, kEngineLibraryKey, kEngineLibraryValue, "");
  if (Trim(search).empty()) throw IENoTarnwickPath(message);
  const std::string root = StripBackslash(ReadRegistryString(kHKLM, kEngineRootKey, kEngineRootValue, ""));
  std::size_t start = 0;
  while (start <= search.size()) {
    std::size_t end = search.find(';', start);
    if (end == std::string::npos) end = search.size();
    std::string entry = search.substr(start, end - start);
    start = end + 1;
    entry = ReplaceAll(ReplaceAll(entry, "$(DELPHI)", root), "$(BCB)", root);
    entry = Trim(entry);
    if (entry.empty()) continue;
    if (twfile::FileExists(AddBackslash(entry) + kEngineMarkerFile)) return StripBackslash(entry);
  }
  throw IENoTarnwickPath(message);
}

std::string FileNameSafe(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '/') {
      out += '-';
      continue;
    }
    if (std::strchr("\"*:;<>?\\|", c) && c != '\0') continue;
    out += c;
  }
  return out;
}

void WriteFileListFile(const std::string& directory, const std::vector<TFileListEntry>& entries) {
  if (!IsDirectory(directory) && !CreateDirectoryTree(directory))
    throw IEInstall("Cannot create the directory %s", {directory});
  const std::string path = AddBackslash(directory) + "filelist.lst";
  const std::vector<std::uint8_t> bytes = EncodeFileList(entries);
  TWinFile f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f || !WriteAll(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size())))
    throw IEInstall("Cannot write the file list %s", {path});
}

void TransferDistribution(const std::string& exePath, const std::string& destination, TTrnwCompress& compressor,
                          const std::function<void(int diskNumber, std::string& diskPath)>& askDisk,
                          const std::function<void()>& pump) {
  const TExtractionInfo h = ReadSelfExtractHeader(exePath);
  TWinFile exe(CreateFileA(exePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!exe) throw IEInstall("Cannot open the file %s", {exePath});

  // Copies [first, first + count) of the executable into a new file.
  auto copyRange = [&](const std::string& target, std::int64_t first, std::int64_t count, const char* fullMessage) {
    TWinFile out(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
    if (!out) throw IEInstall(fullMessage);
    LARGE_INTEGER pos{};
    pos.QuadPart = first;
    if (!SetFilePointerEx(exe.Get(), pos, nullptr, FILE_BEGIN)) throw IEInstall(fullMessage);
    std::vector<char> buf(kCopyBlock);
    while (count > 0) {
      const DWORD want = static_cast<DWORD>(std::min<std::int64_t>(count, kCopyBlock));
      DWORD got = 0;
      if (!ReadFile(exe.Get(), buf.data(), want, &got, nullptr) || got != want) throw IEInstall(fullMessage);
      if (!WriteAll(out.Get(), buf.data(), got)) throw IEInstall(fullMessage);
      count -= got;
      if (pump) pump();
    }
  };

  const std::string dest = AddBackslash(destination);
  if (h.SetupFirst <= 0 || h.SetupLast < h.SetupFirst)
    throw IEInstall("Could not read the extraction info from the archive file %s when trying to find the correct "
                    "offset into the self extracting file",
                    {exePath});
  copyRange(dest + "setup.exe", 0, h.SetupFirst, "Cannot create setup.exe on the A drive. Probably not enough room");
  // The loading program as the build copied it: a signature of the whole
  // file does not hold for this part of it.
  ClearSignFields(dest + "setup.exe");
  AppendNotSelfExtractHeader(dest + "setup.exe");
  // The loading program checks its trailer before it reads its record.
  AppendFileChecksum(dest + "setup.exe", std::string());
  copyRange(dest + "setup.1", h.SetupFirst, static_cast<std::int64_t>(h.SetupLast) - h.SetupFirst + 1,
            "Cannot create setup.1 on the A drive. Probably not enough room");
  exe.Reset();

  const std::int32_t savedOffset = compressor.Offset;
  auto savedNewDisk = compressor.OnNewDisk;
  auto savedStatus = compressor.OnStatus;
  TScopeExit restore([&] {
    compressor.Offset = savedOffset;
    compressor.OnNewDisk = std::move(savedNewDisk);
    compressor.OnStatus = std::move(savedStatus);
  });
  compressor.SetCompressedFile(exePath);
  compressor.Offset = h.FilesFirst;
  compressor.OnNewDisk = [&](TTrnwCompress*, int disk, std::string& path) {
    if (askDisk) askDisk(disk, path);
  };
  compressor.OnStatus = [&](TTrnwCompress*, const TlzhFileStats&) {
    if (pump) pump();
  };
  if (h.FilesFirst > 0) compressor.CopyToDisks(destination, "files.1");
}
