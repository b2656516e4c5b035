#include "stream_WinFile.h"

#include <cmath>

std::unique_ptr<TWinFileStream> TWinFileStream::Open(const std::string& name, TMode mode) {
  DWORD access = mode == fmOpenRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  DWORD share = mode == fmOpenRead ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  DWORD disp = mode == fmCreate ? CREATE_ALWAYS : mode == fmCreateNew ? CREATE_NEW : OPEN_EXISTING;
  HANDLE h = CreateFileA(name.c_str(), access, share, nullptr, disp,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  std::unique_ptr<TWinFileStream> s(new TWinFileStream());
  s->file_.Reset(h);
  s->name_ = name;
  return s;
}

long TWinFileStream::Read(void* buffer, long count) {
  DWORD got = 0;
  if (count <= 0 || !ReadFile(file_.Get(), buffer, static_cast<DWORD>(count), &got, nullptr)) return 0;
  return static_cast<long>(got);
}

long TWinFileStream::Write(const void* buffer, long count) {
  DWORD put = 0;
  if (count <= 0) return 0;
  if (!WriteFile(file_.Get(), buffer, static_cast<DWORD>(count), &put, nullptr)) return static_cast<long>(put);
  return static_cast<long>(put);
}

std::int64_t TWinFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER d, out;
  d.QuadPart = offset;
  DWORD how = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(file_.Get(), d, &out, how)) throw EStreamError("Stream seek error");
  return out.QuadPart;
}

std::int64_t TWinFileStream::Size() {
  LARGE_INTEGER s;
  if (!GetFileSizeEx(file_.Get(), &s)) return 0;
  return s.QuadPart;
}

namespace twfile {

bool FileExists(const std::string& name) {
  if (name.empty()) return false;
  DWORD a = GetFileAttributesA(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& name) {
  if (name.empty()) return false;
  DWORD a = GetFileAttributesA(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::string& dir) {
  std::string d = dir;
  while (d.size() > 3 && (d.back() == '\\' || d.back() == '/')) d.pop_back();
  if (d.empty() || DirectoryExists(d)) return true;
  size_t p = d.find_last_of("\\/");
  if (p != std::string::npos && p > 0 && !(p == 2 && d[1] == ':' && d.size() == 3)) {
    std::string parent = d.substr(0, p);
    if (!(parent.size() == 2 && parent[1] == ':') && !ForceDirectories(parent)) return false;
  }
  return CreateDirectoryA(d.c_str(), nullptr) || DirectoryExists(d);
}

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = dir + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(h, &data));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

bool GetFileDate(HANDLE h, TDateTime& date) {
  FILETIME ft;
  if (!GetFileTime(h, nullptr, nullptr, &ft)) return false;
  date = TruncateToDosResolution(FileTimeToDateTime(ft));
  return true;
}

bool SetFileDate(HANDLE h, TDateTime date) {
  if (!IsRepresentableFileDate(date)) return false;
  FILETIME ft = DateTimeToFileTime(date);
  return SetFileTime(h, nullptr, nullptr, &ft) != 0;
}

long long DosTicks(TDateTime t) { return DosTicksOf(t); }

}  // namespace twfile
