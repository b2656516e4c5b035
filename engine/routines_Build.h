// The distribution files: the extraction-info record appended to the
// loading program, "BUILD.INF", "filelist.lst", the engine directory on the
// developer's machine and the copy of a distribution onto floppy disks.
// TCustomInstall's build and transfer operations are built on these.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format_Archive.h"
#include "routines_FileList.h"

class TTrnwCompress;

// Appends the setup archive, the main archive when it exists, and a
// "SELFEXTRACTING" record to the loading program copied as setupExe.
// IEInstall when an archive cannot be appended whole.
void AppendArchivesToLoader(const std::string& setupExe, const std::string& setupArchive,
                            const std::string& mainArchive);
// Appends a zeroed "NOTSELFEXTRACT" record.
void AppendNotSelfExtractHeader(const std::string& setupExe);
// Reads the record standing before the 40-byte checksum trailer.
TExtractionInfo ReadSelfExtractHeader(const std::string& file);

// The first line of "BUILD.INF" in programDir (the build directory).
std::string ReadBuildInf(const std::string& programDir);

// The engine's registry values on the developer's machine.
constexpr const char* kEngineLibraryKey = "\\Software\\Borland\\Delphi\\7.0\\Library";
constexpr const char* kEngineLibraryValue = "Search Path";
constexpr const char* kEngineRootKey = "\\Software\\Borland\\Delphi\\7.0";
constexpr const char* kEngineRootValue = "RootDir";
constexpr const char* kEngineMarkerFile = "T32V52.TXT";
constexpr const char* kLoaderProgramName = "TarnwickLoadProgram.exe";

// The directory of the library search path that holds the marker file,
// without trailing backslash; IENoTarnwickPath when there is none.
std::string FindEngineDirectory();

// Writes "filelist.lst" into directory (created when missing), replacing
// an old one.
void WriteFileListFile(const std::string& directory, const std::vector<TFileListEntry>& entries);

// File-name safe text for a mirror directory: '/' becomes '-', the
// characters " * : ; < > ? \ | are dropped.
std::string FileNameSafe(const std::string& text);

// Copies a self-extracting distribution (exePath) onto disks below
// destination: the loading program alone with a "NOTSELFEXTRACT" record and
// its checksum trailer as "setup.exe", the setup archive as "setup.1", then the main archive as
// "files.1" spanned over numbered disks through the compressor, whose new-disk
// callback is askDisk (diskPath may be changed to where the next disk
// file goes). pump runs between blocks.
void TransferDistribution(const std::string& exePath, const std::string& destination, TTrnwCompress& compressor,
                          const std::function<void(int diskNumber, std::string& diskPath)>& askDisk,
                          const std::function<void()>& pump);
