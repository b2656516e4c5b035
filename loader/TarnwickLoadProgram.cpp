// The loading program. The build copies it as "setup.exe" and appends the
// setup archive, the main archive, the extraction-info record and the
// checksum. Started by the user it checks itself before anything else,
// unpacks "setup.1" into a new directory below %TEMP%, starts the setup
// program (the archive's first member) from there and passes its exit code
// on. "setup.exe *TODISK" starts the floppy transfer instead. Its switches
// (loadprogram.h) are checked first and passed on to the setup program; under
// /SILENT and /VERYSILENT it shows nothing itself, and with /LOG its steps
// and failures go to the log.
#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cxxabi.h>
#include <new>
#include <string>
#include <vector>

#include "DateUtils.h"
#include "loadprogram.h"
#include "selfcheck.h"
#include "setup_archive.h"

// No exception is meant to leave WinMain; should one escape, the program
// ends without the C++ library's diagnostic handler, whose name demangler
// would be a sixth of this program's size.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The C++ library reports a size beyond what memory can hold, and faults of
// the program itself, through these; its own definitions bring in
// std::length_error and its kin with the second string implementation they
// carry, a tenth of this program. A size beyond memory is reported as the
// allocation failure it is; a fault ends the program.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
}  // namespace std

// The exception-handling state (the exceptions being handled, and how many
// are thrown and not yet caught), kept by the library per thread in emulated
// thread-local storage that needs the POSIX thread library, a tenth of this
// program. This program runs one thread: one record serves. Its layout is the
// one the C++ ABI gives it.
namespace __cxxabiv1 {
struct __cxa_eh_globals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};
namespace {
__cxa_eh_globals ehGlobals;
}  // namespace
extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept { return &ehGlobals; }
extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept { return &ehGlobals; }
}  // namespace __cxxabiv1

// zlib checks a gzip stream's contents with CRC-32; the archives are zlib
// streams, checked with Adler-32, so inflate never calls this. Computed bit
// by bit, it stands in for zlib's table-driven version, whose tables would be
// a tenth of this program.
extern "C" uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
  if (!buf) return 0;
  std::uint32_t c = ~static_cast<std::uint32_t>(crc);
  while (len--) {
    c ^= *buf++;
    for (int k = 0; k < 8; ++k) c = c & 1 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  }
  return ~c;
}

namespace {

const char kCaption[] = "Setup";
const char kNewCopy[] = "Please obtain a new copy of the setup program.";

// The log asked for with /LOG. The file is opened for each text and closed
// again, for appending only and shared, so that the setup program and others
// can append to it as well; the lines of a text are written in one call, so
// that no other program's line comes between them.
class TLoadLog {
public:
  void SetPath(const std::string& path) { path_ = path; }
  void Write(const std::string& text) const {
    if (path_.empty()) return;
    HANDLE h = CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    const std::string lines = LogText({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}, text);
    DWORD put = 0;
    WriteFile(h, lines.data(), static_cast<DWORD>(lines.size()), &put, nullptr);
    CloseHandle(h);
  }

private:
  std::string path_;
};

TLoadOptions options;
TLoadLog logFile;

int Finish(int code) {
  logFile.Write("Loading program ends with exit code " + std::to_string(code));
  return code;
}

// A failure: told in a message box, or under /SILENT and /VERYSILENT only in
// the log.
int Fail(const std::string& text, int code) {
  logFile.Write("Error: " + text);
  if (!options.Silent()) MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  return Finish(code);
}

std::string FullPathName(const std::string& path) {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    if (n == 0) return path;
    if (n < buf.size()) return std::string(buf.data(), n);
    buf.resize(n);
  }
}

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = n && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '.'))
    s.pop_back();
  return s;
}

std::string ModuleFileName() {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return std::string(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

// The directory the files are unpacked into, and the files put there; on
// failure, or when the loading program keeps the directory itself,
// Remove deletes exactly those files and then the directory.
class TUnpackDirectory {
public:
  ~TUnpackDirectory() {
    if (!keep_) Remove();
  }
  bool Create(std::string& error) {
    char base[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof(base), base);
    if (n == 0 || n > MAX_PATH) {
      error = "The temporary directory is not set.";
      return false;
    }
    std::string dir = base;
    if (dir.back() != '\\') dir += '\\';
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 12);
    for (DWORD attempt = 0; attempt < 1000; ++attempt) {
      char name[32];
      wsprintfA(name, "twsetup-%08lx", static_cast<unsigned long>(seed + attempt * 7919u));
      std::string path = dir + name;
      if (CreateDirectoryA(path.c_str(), nullptr)) {
        path_ = path;
        return true;
      }
      DWORD e = GetLastError();
      if (e != ERROR_ALREADY_EXISTS) {
        error = "Cannot create a temporary directory in " + dir + ": " + SystemMessage(e) + ".";
        return false;
      }
    }
    error = "Cannot create a temporary directory in " + dir + ".";
    return false;
  }
  const std::string& Path() const { return path_; }
  void Added(const std::string& file) { files_.push_back(file); }
  // The setup program removes the directory itself (-c).
  void HandOver() { keep_ = true; }
  void Remove() {
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
      SetFileAttributesA(it->c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(it->c_str());
    }
    files_.clear();
    if (!path_.empty()) RemoveDirectoryA(path_.c_str());
    path_.clear();
  }

private:
  std::string path_;
  std::vector<std::string> files_;
  bool keep_ = false;
};

// Writes member index into the directory; 0, or the exit code of the failure
// with its message in error.
int UnpackMember(TSetupArchive& archive, std::size_t index, TUnpackDirectory& dir, std::string& error) {
  const TSetupMember& m = archive.Members()[index];
  const std::string target = dir.Path() + "\\" + m.FileName;
  HANDLE h = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "Cannot create " + target + ": " + SystemMessage(GetLastError()) + ".";
    return LoadExitUnpackFailed;
  }
  dir.Added(target);
  DWORD writeError = 0;
  std::string damage;
  bool ok = archive.Extract(
      index,
      [&](const void* data, std::size_t size) {
        DWORD put = 0;
        if (WriteFile(h, data, static_cast<DWORD>(size), &put, nullptr) && put == size) return true;
        writeError = put == size ? GetLastError() : ERROR_DISK_FULL;
        return false;
      },
      damage);
  // The build site's date, as the engine gives the files it extracts: the
  // setup program is known again by it on the next run.
  if (ok && IsRepresentableFileDate(m.FileDate)) {
    const FILETIME written = DateTimeToFileTime(m.FileDate);
    if (!SetFileTime(h, nullptr, nullptr, &written)) {
      ok = false;
      writeError = GetLastError();
    }
  }
  if (!CloseHandle(h) && ok) {
    ok = false;
    writeError = GetLastError();
  }
  if (ok) return 0;
  if (!damage.empty()) {
    error = "The setup program is damaged and cannot unpack its files:\n\n" + damage + "\n\n" + kNewCopy;
    return LoadExitDamaged;
  }
  error = "Cannot write " + target + ": " + SystemMessage(writeError) + ".";
  return LoadExitUnpackFailed;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::vector<std::string> arguments;
  for (int i = 1; i < __argc; ++i) arguments.push_back(__argv[i]);
  options = ParseLoadOptions(arguments);
  // The setup program runs in another directory: the log is named to it in
  // full.
  if (!options.Log.empty()) options.Log = FullPathName(options.Log);
  logFile.SetPath(options.Log);
  logFile.Write(std::string("Loading program started: ") + GetCommandLineA());
  if (!options.Error.empty()) return Fail(options.Error, LoadExitFailed);
  if (options.Help) {
    const std::string help = "Switches of the setup program:\n\n" + SwitchHelp();
    logFile.Write(help);
    if (!options.Silent()) MessageBoxA(nullptr, help.c_str(), kCaption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    return Finish(0);
  }
  const bool toDisk = options.ToDisk;

  const std::string self = ModuleFileName();
  TFileSource selfFile;
  if (self.empty() || !selfFile.Open(self))
    return Fail(SelfCheckMessage(TSelfCheckError::CannotOpen), LoadExitDamaged);

  // Nothing is unpacked from a file that fails its check.
  TExtractionInfo info;
  TSelfCheckError check = CheckSetupFile(selfFile, info);
  if (check != TSelfCheckError::None) return Fail(SelfCheckMessage(check), LoadExitDamaged);
  const bool selfExtracting = info.HasSetupArchive();
  if (toDisk && !selfExtracting)
    return Fail("This setup program reads its installation files from separate archive files, so it is "
                "already on its own disks. Only the single-file setup program can be copied to floppy disks.",
                LoadExitCannotTransfer);

  // The setup archive: inside this file, or "setup.1" beside it.
  TFileSource separate;
  TByteSource* source = &selfFile;
  std::uint64_t first = 0, size = 0;
  if (selfExtracting) {
    first = static_cast<std::uint64_t>(info.SetupFirst);
    size = info.SetupSize();
  } else {
    const std::string name = DirectoryPart(self) + "\\setup.1";
    if (!separate.Open(name))
      return Fail("The file " + name + " cannot be read. It belongs beside the setup program: copy all files of the "
                  "installation, or insert the first installation disk, and start the setup program again.",
                  LoadExitDamaged);
    source = &separate;
    size = separate.Size();
  }
  TSetupArchive archive;
  std::string error;
  if (!archive.Open(*source, first, size, error))
    return Fail("The setup program is damaged and cannot unpack its files:\n\n" + error + "\n\n" + kNewCopy,
                LoadExitDamaged);
  if (archive.Members().empty())
    return Fail(std::string("The setup program is damaged: it carries no setup files. ") + kNewCopy,
                LoadExitDamaged);

  TUnpackDirectory dir;
  if (!dir.Create(error)) return Fail(error, LoadExitUnpackFailed);
  logFile.Write("Unpacking the setup program into " + dir.Path());
  for (std::size_t i = 0; i < archive.Members().size(); ++i) {
    if (int code = UnpackMember(archive, i, dir, error)) return Fail(error, code);
  }

  const std::string program = dir.Path() + "\\" + archive.Members()[0].FileName;
  std::string commandLine = SetupCommandLine(program, self, selfExtracting, options);
  logFile.Write("Starting the setup program: " + commandLine);
  // The setup program shows itself as this program was asked to (a shortcut
  // may start it minimised or maximised).
  STARTUPINFOA own{};
  own.cb = sizeof(own);
  GetStartupInfoA(&own);
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  if (own.dwFlags & STARTF_USESHOWWINDOW) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = own.wShowWindow;
  }
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, dir.Path().c_str(),
                      &si, &pi))
    return Fail("The setup program " + program + " could not be started: " + SystemMessage(GetLastError()) + ".",
                LoadExitCannotStart);
  CloseHandle(pi.hThread);
  // With -c the setup program removes its directory when it ends, or after a
  // restart it asked for; the floppy transfer leaves that to this program.
  if (!toDisk) dir.HandOver();
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return Finish(static_cast<int>(code));
}
