// TCustomInstall: building the distribution at the developer's site (-b)
// and copying a self-extracting distribution onto floppy disks (-f).
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "Application.h"
#include "ScopeExit.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallFile.h"
#include "cmp_TTrnwCompress.h"
#include "cmp_TUninstallEXE.h"
#include "exceptions_Tarnwick.h"
#include "routines_Build.h"
#include "routines_FileSystem.h"
#include "routines_InstallBoxes.h"
#include "routines_Log.h"
#include "routines_Sign.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"
#include "uFileCheckSum.h"

namespace {


void Terminate() {
  if (Application) Application->Terminate();
}

void PumpMessages() {
  if (Application) Application->ProcessMessages();
}

}  // namespace

void TCustomInstall::BuildFromBuildInf() {
  try {
    const std::string program = ProgramPath();
    const std::string buildDir = ReadBuildInf(AddBackslash(ExtractFileDir(program)));
    LogLine("Building into " + buildDir);
    BuildDistribution(program, buildDir, true);
    LogLine("Build finished");
  } catch (const std::exception& e) {
    LogLine(std::string("Build failed: ") + e.what());
    InstallExitCode = 1;
    InstallMessageBox(e.what(), MB_OK);
  }
  Terminate();
}

void TCustomInstall::BuildDistribution(const std::string& program, const std::string& buildDirectory,
                                       bool standAlone) {
  if (standAlone && !UseLoadingProgram())
    throw IEInstall(
        "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False");
  const std::string base = AddBackslash(buildDirectory);
  const std::string setupExe = base + "setup.exe";
  const std::string setupArchive = base + "setup.1";
  const std::string mainArchive = base + "files.1";

  // Signing: the certificate and the key are checked before anything is
  // compressed; the setup program and the uninstallers are compressed from
  // signed copies, under their own names.
  TCodeSigner* signer = nullptr;
  std::unique_ptr<TSignedCopies> copies;
  TTrnwCompress* compressor = SharedCompressor();
  TScopeExit forget([compressor] { compressor->ReadInsteadOf.clear(); });
  if (BuildInfo().SignCode) {
    signer = &CheckedCodeSigner({BuildInfo().CredentialsFile, BuildInfo().PrivateKeyFile, SignTimestampUrl});
    copies = std::make_unique<TSignedCopies>(*signer);
    compressor->ReadInsteadOf.clear();
    if (UseLoadingProgram()) compressor->ReadInsteadOf.emplace_back(program, copies->Make(program));
    for (int i = 0; i < InstallFiles().Count(); ++i) {
      TCustomInstallFile* f = InstallFiles().Items(i);
      if (dynamic_cast<TUninstallEXE*>(f) && f->Include)
        compressor->ReadInsteadOf.emplace_back(f->SourcePath(), copies->Make(f->SourcePath()));
    }
  }

  CopyLoaderProgram(buildDirectory, program);

  {
    TCustomPathSpecifier* savedType = ArchiveFileType();
    std::string savedFile = ArchiveFile();
    TScopeExit restore([&] {
      archiveFileType_ = savedType;
      archiveFile_ = std::move(savedFile);
    });
    archiveFileType_ = nullptr;
    archiveFile_ = mainArchive;
    TCompressOptions options;
    switch (DistributeType()) {
      case dtWeb:
        options = TCompressOptions{coArchivesBesideContainer, coReserved2, coForceFilesNet, coIncludeExcluded};
        break;
      case dtTraditionalNet:
        options = TCompressOptions{coArchivesBesideContainer, coReserved2, coIncludeExcluded};
        break;
      default:
        options = TCompressOptions{coArchivesBesideContainer, coReserved2, coForceNetFilesLocal, coIncludeExcluded};
        break;
    }
    Compress(options);
    if (DistributeType() != dtTraditional) WriteFileList();
  }

  if (standAlone)
    AppendArchivesToLoader(setupExe, setupArchive, mainArchive);
  else if (UseLoadingProgram())
    // Without the loading program there is no setup.exe to carry a record.
    AppendNotSelfExtractHeader(setupExe);
  if (UseLoadingProgram()) AppendFileChecksum(setupExe, std::string());
  if (signer && UseLoadingProgram()) signer->Sign(setupExe);
}

void TCustomInstall::CopyLoaderProgram(const std::string& buildDirectory, const std::string& program) {
  // The archives and the loading program go into the build directory, which
  // a first build has yet to make.
  if (!Trim(buildDirectory).empty()) CreateDirectoryTree(StripBackslash(buildDirectory));
  if (!UseLoadingProgram()) {
    const std::string target = AddBackslash(buildDirectory) + ExtractFileName(program);
    if (!CopyFileA(program.c_str(), target.c_str(), FALSE))
      throw IEInstall("Cannot copy the installation application from %s to %s", {program, target});
    return;
  }
  try {
    BuildSetupArchive(buildDirectory, program);
  } catch (const EtcDiskFull&) {
    throw IEInstall(
        "The disk that you have specified has been determined to be either too full or is corrupt while trying to "
        "copy the SETUP.1 archive file. You should probably clear all files off of the drive. Minimally, you should "
        "leave enough space on the drive for the SETUP.1 archive file.");
  }
  std::string engineDir;
  try {
    engineDir = FindEngineDirectory();
  } catch (const IENoTarnwickPath&) {
    // An engine unpacked without a development environment: the loading
    // program lies beside the running program.
    engineDir = GetProgramDir();
    if (!twfile::FileExists(AddBackslash(engineDir) + kLoaderProgramName))
      throw IEInstall(
          "The HKEY_LOCAL_MACHINE | %s key in the registry is either missing or points to an invalid VOQ directory",
          {std::string(kEngineRootKey)});
  }
  const std::string loader = AddBackslash(engineDir) + kLoaderProgramName;
  if (!twfile::FileExists(loader)) throw IEInstall("The loader program %s was not found", {loader});
  const std::string target = AddBackslash(buildDirectory) + "setup.exe";
  if (!CopyFileA(loader.c_str(), target.c_str(), FALSE))
    throw IEInstall("Cannot copy the loading program from %s to %s", {loader, target});
  // The fields a signature rewrites are sealed as zero, so that the
  // checksum holds before and after setup.exe is signed.
  ClearSignFields(target);
}

void TCustomInstall::BuildSetupArchive(const std::string& buildDirectory, const std::string& program) {
  if (Trim(program).empty()) throw IEInstall("Cannot create setup file. Executable is blank");
  if (!twfile::FileExists(program)) throw IEInstall("TInstall: Cannot find the executable file %s", {program});
  const std::string archive = AddBackslash(buildDirectory) + "setup.1";
  auto compressOne = [&](const std::string& path, TlzhCommand mode, bool net) {
    TInstallFile file(nullptr);
    file.SetFileName(ExtractFileName(path));
    file.SetIncludeFromDir(StripBackslash(ExtractFileDir(path)));
    file.SetNet(net);
    file.AddToArchive = mode;
    file.SetArchiveFileType(nullptr);
    file.SetArchiveFile(archive);
    file.CompressFile();
  };
  compressOne(program, lzcOverwrite, true);
  for (const std::string& line : PresetupFileNames()) compressOne(line, lzcOnlyAdd, false);
}

void TCustomInstall::WriteFileList() {
  std::vector<TFileListEntry> entries;
  for (int i = 0; i < InstallFiles().Count(); ++i) {
    TCustomInstallFile* f = InstallFiles().Items(i);
    if (f->BuildMark != 1 && f->BuildMark != 2) continue;
    TFileListEntry e;
    e.Size = static_cast<std::uint32_t>(f->Size);
    e.DateTime = f->FileDate;
    e.Name = f->Name();
    e.Version = f->Version;
    entries.push_back(e);
  }
  const std::string dir = StripBackslash(ExtractFileDir(GetArchivePath())) + "\\" + NetSubPath();
  WriteFileListFile(dir, entries);
}

void TCustomInstall::Compress(TCompressOptions options) {
  for (int i = 0; i < InstallFiles().Count(); ++i) InstallFiles().Items(i)->BuildMark = 0;
  TFileContainer::Compress(options);
}

void TCustomInstall::TransferToFloppies(const std::string& destination) {
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  PumpMessages();
  try {
    if (!HasSwitch(swSelfExtract))
      throw IEInstall(
          "Sorry... You can only transfer this installation to floppies through the self-extracting file. Usage "
          "example: setup.exe *TODISK");
    const std::string exe = GetArchivePath();
    ReadSelfExtractHeader(exe);
    ShowStatusMessage("Transferring this installation to floppies. Please wait...");
    // The capacity of each disk, when the medium cannot tell (a test, or a
    // drive standing in for a floppy).
    char capacity[32] = {};
    const DWORD n = GetEnvironmentVariableA("TARNWICK_DISK_SIZE", capacity, sizeof(capacity));
    const std::int64_t savedDiskSize = SharedCompressor()->DiskSize;
    if (n > 0 && n < sizeof(capacity)) SharedCompressor()->DiskSize = std::atoll(capacity);
    try {
      TransferDistribution(
          exe, destination, *SharedCompressor(),
          [](int disk, std::string&) {
            HCURSOR busy = SetCursor(LoadCursor(nullptr, IDC_ARROW));
            const int answer = InstallMessageBox(Format("Please insert disk %d", {disk}), MB_OKCANCEL | MB_ICONQUESTION);
            SetCursor(busy);
            if (answer != IDOK) throw IEInstall("Aborted by user");
          },
          [] { PumpMessages(); });
    } catch (...) {
      SharedCompressor()->DiskSize = savedDiskSize;
      HideStatusMessage();
      throw;
    }
    SharedCompressor()->DiskSize = savedDiskSize;
    HideStatusMessage();
    LogLine("Transferred to " + destination);
  } catch (const std::exception& e) {
    LogLine(std::string("Transfer failed: ") + e.what());
    InstallExitCode = 1;
    InstallMessageBox(e.what(), MB_OK);
  }
  SetCursor(previous);
  PumpMessages();
  Terminate();
}
