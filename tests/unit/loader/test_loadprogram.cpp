// The loading program as the user meets it: setup.exe files built the way
// the build makes them (the loading program, setup.1, files.1, the
// extraction-info record, the checksum), run under Wine with a stand-in
// setup program that reports how it was started.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "cmp_TTrnwCompress.h"
#include "format_Archive.h"
#include "uFileCheckSum.h"

using testsupport::BinDir;
using testsupport::FileExists;
using testsupport::ReadFileText;
using testsupport::RunAndWait;
using testsupport::TTempDir;
using testsupport::WriteFileText;

namespace {

const char kLicence[] = "{\\rtf1\\ansi Licence text for the test.\\par}\r\n";

std::vector<std::string> DirectoryEntries(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string n = fd.cFileName;
    if (n != "." && n != "..") names.push_back(n);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

// Sets an environment variable for the test's children and restores it.
class TEnvVar {
public:
  TEnvVar(const char* name, const std::string& value) : name_(name) {
    char buf[4096];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof(buf));
    had_ = n > 0 && n < sizeof(buf);
    if (had_) old_ = buf;
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~TEnvVar() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

struct TReport {
  std::string Exe, Cwd;
  std::vector<std::string> Args;
};

TReport ReadReport(const std::string& file) {
  TReport r;
  std::string text = ReadFileText(file);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line.compare(0, 4, "exe=") == 0) r.Exe = line.substr(4);
    else if (line.compare(0, 4, "cwd=") == 0) r.Cwd = line.substr(4);
    else if (line.compare(0, 4, "arg=") == 0) r.Args.push_back(line.substr(4));
  }
  return r;
}

// The last-write time in 100 ns steps.
ULONGLONG WriteTimeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return 0;
  return (static_cast<ULONGLONG>(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime;
}

std::string DirOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

void AppendBytes(const std::string& file, const std::string& bytes) {
  std::string all = ReadFileText(file);
  WriteFileText(file, all + bytes);
}

// A work area: a private %TEMP% (the loading program unpacks below it), the
// report file and the files of a distribution.
class LoadProgram : public ::testing::Test {
protected:
  void SetUp() override {
    temp_ = work_.File("temp");
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    stage_ = work_.File("stage");
    ASSERT_TRUE(CreateDirectoryA(stage_.c_str(), nullptr));
    // The setup program and a pre-setup file, as the build compresses them.
    ASSERT_TRUE(CopyFileA((BinDir() + "\\setupchild.exe").c_str(), (stage_ + "\\kelvosetup.exe").c_str(), FALSE));
    WriteFileText(stage_ + "\\LICENSE.rtf", kLicence);
    WriteFileText(stage_ + "\\payload.txt", std::string(5000, 'p'));
    Compress(stage_ + "\\setup.1", {stage_ + "\\kelvosetup.exe"}, {stage_ + "\\LICENSE.rtf"});
    Compress(stage_ + "\\files.1", {stage_ + "\\payload.txt"}, {});
    report_ = work_.File("report.txt");
  }

  static void Compress(const std::string& archive, const std::vector<std::string>& first,
                       const std::vector<std::string>& more) {
    TTrnwCompress c(nullptr);
    c.SetCompressedFile(archive);
    for (auto& f : first) c.AddFileToProcess(f);
    c.Add(false, 0);
    for (auto& f : more) {
      c.AddFileToProcess(f);
      c.Add(true, 1);
    }
  }

  // dir\setup.exe: the loading program, then setup.1 and files.1 with a
  // "SELFEXTRACTING" record, sealed with the checksum.
  std::string SelfExtracting(const std::string& dir) {
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string exe = dir + "\\setup.exe";
    EXPECT_TRUE(CopyFileA((BinDir() + "\\TarnwickLoadProgram.exe").c_str(), exe.c_str(), FALSE));
    std::string loader = ReadFileText(exe), setup1 = ReadFileText(stage_ + "\\setup.1"),
                files1 = ReadFileText(stage_ + "\\files.1");
    TExtractionInfo info;
    info.Marker = "SELFEXTRACTING";
    info.SetupFirst = static_cast<std::int32_t>(loader.size());
    info.SetupLast = info.SetupFirst + static_cast<std::int32_t>(setup1.size()) - 1;
    info.FilesFirst = info.SetupLast + 1;
    info.FilesLast = info.FilesFirst + static_cast<std::int32_t>(files1.size()) - 1;
    auto record = info.Encode();
    AppendBytes(exe, setup1 + files1 + std::string(record.begin(), record.end()));
    AppendFileChecksum(exe, "");
    setupStart_ = info.SetupFirst;
    return exe;
  }

  // dir\setup.exe with a "NOTSELFEXTRACT" record and setup.1 beside it;
  // sealed as the build seals it, or bare as the floppy transfer copies it.
  std::string Separate(const std::string& dir, bool sealed) {
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string exe = dir + "\\setup.exe";
    EXPECT_TRUE(CopyFileA((BinDir() + "\\TarnwickLoadProgram.exe").c_str(), exe.c_str(), FALSE));
    EXPECT_TRUE(CopyFileA((stage_ + "\\setup.1").c_str(), (dir + "\\setup.1").c_str(), FALSE));
    TExtractionInfo info;
    info.Marker = "NOTSELFEXTRACT";
    auto record = info.Encode();
    AppendBytes(exe, std::string(record.begin(), record.end()));
    if (sealed) AppendFileChecksum(exe, "");
    return exe;
  }

  // Runs a command with the private %TEMP% and the stand-in's settings.
  int Run(const std::string& commandLine, int childExit = 0) {
    TEnvVar t1("TEMP", temp_), t2("TMP", temp_), r("TW_SETUPCHILD_REPORT", report_),
        e("TW_SETUPCHILD_EXIT", std::to_string(childExit));
    return RunAndWait(commandLine);
  }

  // Runs a command that is expected to stop with a message box: reads the
  // box's text, presses OK and returns the exit code.
  int RunAnswering(const std::string& commandLine, std::string& message) {
    TEnvVar t1("TEMP", temp_), t2("TMP", temp_), r("TW_SETUPCHILD_REPORT", report_);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    CloseHandle(pi.hThread);
    struct TFind { DWORD pid; HWND box; } find{pi.dwProcessId, nullptr};
    for (int i = 0; i < 300 && !find.box; ++i) {
      if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) break;
      EnumWindows(
          [](HWND w, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<TFind*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            char cls[32] = {};
            GetClassNameA(w, cls, sizeof(cls));
            if (pid == f->pid && std::string(cls) == "#32770" && IsWindowVisible(w)) {
              f->box = w;
              return FALSE;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&find));
    }
    if (find.box) {
      char text[2048] = {};
      GetDlgItemTextA(find.box, 0xFFFF, text, sizeof(text));
      message = text;
      SendMessageA(GetDlgItem(find.box, IDOK), BM_CLICK, 0, 0);
    }
    DWORD code = 255;
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 254);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
  }

  TTempDir work_{"ldr"};
  std::string temp_, stage_, report_;
  std::int32_t setupStart_ = 0;
};

}  // namespace

TEST_F(LoadProgram, UnpacksSetupArchiveAndStartsSetupProgramWithItsSwitches) {
  const std::string dir = work_.File("My Setup");  // a blank: every path must be quoted
  const std::string exe = SelfExtracting(dir);

  EXPECT_EQ(Run("\"" + exe + "\"", 37), 37);  // the setup program's exit code, passed on

  TReport r = ReadReport(report_);
  ASSERT_FALSE(r.Exe.empty()) << "the setup program did not run";
  // Unpacked into a new directory directly below %TEMP%, started from there.
  const std::string unpacked = DirOf(r.Exe);
  EXPECT_EQ(DirOf(unpacked), temp_);
  EXPECT_EQ(r.Exe, unpacked + "\\kelvosetup.exe");
  EXPECT_EQ(r.Cwd, unpacked);
  // The pre-setup file beside it, byte for byte; nothing else. Both carry
  // their dates from the build site, by which the setup program is known
  // again on the next run.
  EXPECT_EQ(ReadFileText(unpacked + "\\LICENSE.rtf"), kLicence);
  for (const char* name : {"kelvosetup.exe", "LICENSE.rtf"})
    EXPECT_EQ(WriteTimeOf(unpacked + "\\" + name) / 20000000, WriteTimeOf(stage_ + "\\" + name) / 20000000)
        << name;
  EXPECT_EQ(DirectoryEntries(unpacked).size(), 2u);
  // -e the self-extracting file's name, -s its directory (together its full
  // path, as the setup program joins them), -c to remove the directory.
  ASSERT_EQ(r.Args.size(), 3u);
  EXPECT_EQ(r.Args[0], "-esetup.exe");
  EXPECT_EQ(r.Args[1], "-s" + dir);
  EXPECT_EQ(r.Args[2], "-c");
  EXPECT_EQ(r.Args[1].substr(2) + "\\" + r.Args[0].substr(2), exe);
  // The setup program removes its directory (-c), so it is left for it.
  EXPECT_TRUE(FileExists(r.Exe));

  // A second start unpacks into a directory of its own.
  EXPECT_EQ(Run("\"" + exe + "\"", 0), 0);
  TReport second = ReadReport(report_);
  EXPECT_NE(DirOf(second.Exe), unpacked);
  EXPECT_EQ(DirectoryEntries(temp_).size(), 2u);
}

TEST_F(LoadProgram, SwitchesReachTheSetupProgramAndTheLogTellsEachStep) {
  const std::string exe = SelfExtracting(work_.File("dist"));
  const std::string logs = work_.File("logs");
  ASSERT_TRUE(CreateDirectoryA(logs.c_str(), nullptr));
  const std::string log = logs + "\\setup.log";
  WriteFileText(log, "earlier line\r\n");

  // The log named relative to the current directory; the setup program,
  // started in another one, gets it in full. Quotes as a raw command line
  // carries them.
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof(cwd), cwd);
  ASSERT_TRUE(SetCurrentDirectoryA(work_.Path().c_str()));
  const int rc = Run("\"" + exe + "\" /verysilent \"/DIR=C:\\My App\" /GROUP=\"My Group\" /Log=logs\\setup.log "
                     "/NORESTART ignored",
                     3010);
  SetCurrentDirectoryA(cwd);
  EXPECT_EQ(rc, 3010);

  TReport r = ReadReport(report_);
  ASSERT_FALSE(r.Exe.empty()) << "the setup program did not run";
  EXPECT_EQ(r.Args, (std::vector<std::string>{"-esetup.exe", "-s" + DirOf(exe), "-c", "*u2", "*iC:\\My App",
                                              "*kMy Group", "*j" + log, "*x"}));

  // Appended, one stamped line for each step, in order.
  const std::string text = ReadFileText(log);
  ASSERT_EQ(text.compare(0, 14, "earlier line\r\n"), 0) << text;
  std::vector<std::string> lines;
  for (size_t at = 14, end; at < text.size(); at = end + 2) {
    end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "a line without CR LF: " << text.substr(at);
    lines.push_back(text.substr(at, end - at));
  }
  const std::vector<std::string> steps = {"Loading program started: \"" + exe + "\" /verysilent",
                                          "Unpacking the setup program into " + DirOf(r.Exe),
                                          "Starting the setup program: \"" + r.Exe + "\" \"-esetup.exe\"",
                                          "Loading program ends with exit code 3010"};
  ASSERT_EQ(lines.size(), steps.size()) << text;
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::string& l = lines[i];
    SCOPED_TRACE(l);
    ASSERT_GE(l.size(), 21u);
    for (size_t k = 0; k < 19; ++k) EXPECT_EQ(std::isdigit(static_cast<unsigned char>(l[k])) != 0, "dddd-dd-dd dd:dd:dd"[k] == 'd');
    EXPECT_EQ(l.substr(19, 2), "  ");
    EXPECT_EQ(l.compare(21, steps[i].size(), steps[i]), 0);
  }
}

TEST_F(LoadProgram, ToDiskStartsFloppyTransferAndRemovesUnpackedFilesAfterwards) {
  const std::string dir = work_.File("dist");
  const std::string exe = SelfExtracting(dir);

  EXPECT_EQ(Run("\"" + exe + "\" *todisk", 5), 5);

  TReport r = ReadReport(report_);
  ASSERT_EQ(r.Args.size(), 3u);
  EXPECT_EQ(r.Args[0], "-f");
  EXPECT_EQ(r.Args[1], "-esetup.exe");
  EXPECT_EQ(r.Args[2], "-s" + dir);
  // Without -c the loading program cleans up itself.
  EXPECT_TRUE(DirectoryEntries(temp_).empty());
}

TEST_F(LoadProgram, SeparateArchivesAreUnpackedFromSetup1BesideTheProgram) {
  // As the build writes it without embedding (sealed) and as the floppy
  // transfer copies it (bare record): no -e, the setup program finds files.1
  // in the -s directory.
  for (bool sealed : {true, false}) {
    SCOPED_TRACE(sealed ? "sealed" : "floppy copy");
    const std::string dir = work_.File(sealed ? "sealed" : "floppy");
    const std::string exe = Separate(dir, sealed);
    DeleteFileA(report_.c_str());
    EXPECT_EQ(Run("\"" + exe + "\"", 3), 3);
    TReport r = ReadReport(report_);
    ASSERT_EQ(r.Args.size(), 2u);
    EXPECT_EQ(r.Args[0], "-s" + dir);
    EXPECT_EQ(r.Args[1], "-c");
    EXPECT_EQ(ReadFileText(DirOf(r.Exe) + "\\LICENSE.rtf"), kLicence);
  }

  // Without setup.1 beside it: refused, nothing unpacked.
  const std::string lone = work_.File("lone");
  const std::string exe = Separate(lone, true);
  DeleteFileA((lone + "\\setup.1").c_str());
  const size_t before = DirectoryEntries(temp_).size();
  std::string message;
  EXPECT_EQ(RunAnswering("\"" + exe + "\"", message), 6);
  EXPECT_NE(message.find("setup.1"), std::string::npos) << message;
  EXPECT_EQ(DirectoryEntries(temp_).size(), before);

  // Such a program cannot be copied to floppies again.
  message.clear();
  EXPECT_EQ(RunAnswering("\"" + Separate(work_.File("again"), true) + "\" *TODISK", message), 5);
  EXPECT_NE(message.find("floppy"), std::string::npos) << message;
  EXPECT_EQ(DirectoryEntries(temp_).size(), before);
}

TEST_F(LoadProgram, DamagedOrTruncatedSetupIsRefusedBeforeAnythingIsUnpacked) {
  const std::string dir = work_.File("dist");
  const std::string exe = SelfExtracting(dir);
  const std::string good = ReadFileText(exe);

  struct TCase {
    const char* name;
    std::string bytes;
    const char* expect;
  };
  std::string flipped = good;
  flipped[setupStart_ + 200] ^= 0x01;  // one bit inside the setup program's data
  std::string flippedLoader = good;
  flippedLoader[1000] ^= 0x40;  // one bit of the loading program itself, outside its headers
  std::vector<TCase> cases = {
      {"flipped.exe", flipped, "checksum"},
      {"loaderbit.exe", flippedLoader, "checksum"},
      {"cut.exe", good.substr(0, setupStart_ + 300), "checksum"},
      {"short.exe", good.substr(0, good.size() - 1), "checksum"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bad = dir + "\\" + c.name;
    WriteFileText(bad, c.bytes);
    std::string message;
    EXPECT_EQ(RunAnswering("\"" + bad + "\"", message), 6);
    EXPECT_NE(message.find(c.expect), std::string::npos) << message;
    EXPECT_NE(message.find("new copy"), std::string::npos) << message;
    // Silent: no box (Run would wait for one in vain), the reason in the log.
    const std::string log = work_.File(std::string(c.name) + ".log");
    EXPECT_EQ(Run("\"" + bad + "\" /SILENT /LOG=" + log), 6);
    const std::string logged = ReadFileText(log);
    EXPECT_NE(logged.find("  Error: "), std::string::npos) << logged;
    EXPECT_NE(logged.find(c.expect), std::string::npos) << logged;
    EXPECT_NE(logged.find("  Loading program ends with exit code 6\r\n"), std::string::npos) << logged;
    EXPECT_TRUE(DirectoryEntries(temp_).empty()) << "files were unpacked";
    EXPECT_FALSE(FileExists(report_)) << "the setup program was started";
  }
}

TEST_F(LoadProgram, SealedSetupWithDamagedArchiveReportsTheDamageAndLeavesNothing) {
  const std::string good = ReadFileText(stage_ + "\\setup.1");
  TMemoryStream s(std::vector<std::uint8_t>(good.begin(), good.end()));
  TFileHeaders headers;
  headers.Read(s, 0);
  ASSERT_GE(headers.Count(), 1);
  const TFileHeaderRec& first = headers.GetFileHeaders(0).Rec;
  ASSERT_GT(first.DataEnd - first.DataStart, 64);

  struct TCase {
    const char* name;
    std::string setup1;
    const char* expect;
  };
  std::string count = good;
  count[3] = 0x7F;  // a member count beyond what the archive holds
  std::string data = good;
  data[static_cast<std::size_t>(first.DataStart + (first.DataEnd - first.DataStart) / 2)] ^= 0x10;
  std::vector<TCase> cases = {
      {"count", count, "file headers"},
      {"data", data, "kelvosetup.exe is damaged"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Sealed after the damage: the self-check passes and the archive reader
    // finds it.
    WriteFileText(stage_ + "\\setup.1", c.setup1);
    const std::string exe = SelfExtracting(work_.File(c.name));
    std::string message;
    EXPECT_EQ(RunAnswering("\"" + exe + "\"", message), 6);
    EXPECT_NE(message.find("cannot unpack its files"), std::string::npos) << message;
    EXPECT_NE(message.find(c.expect), std::string::npos) << message;
    EXPECT_TRUE(DirectoryEntries(temp_).empty()) << "unpacked files were left";
    EXPECT_FALSE(FileExists(report_)) << "the setup program was started";
  }
}
