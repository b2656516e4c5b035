#include "uFileCheckSum.h"

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "SysUtils.h"
#include "WinHandles.h"
#include "hash_SHA0.h"
#include "routines_API.h"
#include "stream_WinFile.h"

std::string ComputeFileChecksum(const std::string& fileName, bool excludeTrailer) {
  if (!twfile::FileExists(fileName)) throw Exception("Can't find file \"%s\"!", {fileName});
  TWinFile f(CreateFileA(fileName.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) throw Exception("Cannot open file \"%s\". %s", {fileName, SysErrorMessage(GetLastError())});
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.Get(), &size)) throw Exception("Cannot open file \"%s\".", {fileName});
  long long remaining = size.QuadPart;
  if (excludeTrailer) remaining = remaining > 40 ? remaining - 40 : 0;
  TSha0 sha;
  std::vector<char> buf(65536);
  while (remaining > 0) {
    DWORD want = static_cast<DWORD>(remaining < 65536 ? remaining : 65536), got = 0;
    if (!ReadFile(f.Get(), buf.data(), want, &got, nullptr) || got == 0)
      throw Exception("Stream read error");
    sha.Update(buf.data(), got);
    remaining -= got;
  }
  return sha.HexDigest();
}

void AppendFileChecksum(const std::string& fileName, std::string checksum) {
  if (!twfile::FileExists(fileName)) throw Exception("Can't find file \"%s\"!", {fileName});
  if (checksum.empty()) checksum = ComputeFileChecksum(fileName, false);
  if (checksum.size() != 40) throw Exception("Can't calculate Checksum");
  TWinFile f(CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) throw Exception("Cannot open file \"%s\". %s", {fileName, SysErrorMessage(GetLastError())});
  DWORD written = 0;
  if (SetFilePointer(f.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    throw Exception("Stream write error");
  if (!WriteFile(f.Get(), checksum.data(), 40, &written, nullptr) || written != 40)
    throw Exception("Stream write error");
}

namespace {

class THandleRead {
public:
  explicit THandleRead(HANDLE f) : f_(f) {}
  bool ReadAt(std::uint64_t at, void* buffer, std::size_t size) {
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(at);
    DWORD got = 0;
    return SetFilePointerEx(f_, pos, nullptr, FILE_BEGIN) &&
           ReadFile(f_, buffer, static_cast<DWORD>(size), &got, nullptr) && got == size;
  }

private:
  HANDLE f_;
};

}  // namespace

bool ReadSealLayout(const std::string& fileName, TSealLayout& layout) {
  TWinFile f(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!f || !GetFileSizeEx(f.Get(), &size)) return false;
  THandleRead read(f.Get());
  return LocateSeal(static_cast<std::uint64_t>(size.QuadPart), read, layout) ==
         TSealLayoutError::None;
}

void ClearSignFields(const std::string& fileName) {
  TWinFile f(CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) throw Exception("Cannot open file \"%s\". %s", {fileName, SysErrorMessage(GetLastError())});
  LARGE_INTEGER size;
  TPeSignFields fields;
  THandleRead read(f.Get());
  if (!GetFileSizeEx(f.Get(), &size) || !ReadPeSignFields(static_cast<std::uint64_t>(size.QuadPart), read, fields))
    return;
  const std::uint8_t zero[8] = {};
  for (auto [at, count] : {std::pair<std::uint64_t, DWORD>{fields.CheckSumAt, 4}, {fields.SecurityEntryAt, 8}}) {
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(at);
    DWORD written = 0;
    if (!SetFilePointerEx(f.Get(), pos, nullptr, FILE_BEGIN) || !WriteFile(f.Get(), zero, count, &written, nullptr) ||
        written != count)
      throw Exception("Stream write error");
  }
}
