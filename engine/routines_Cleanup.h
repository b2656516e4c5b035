// Removal of the directory the loading program unpacked the setup program
// into, once the setup program has ended. Only such a directory is ever
// touched: a direct child of the system temporary directory that holds
// nothing but the unpacked files.
#pragma once
#include <string>
#include <vector>

// Whether dir (without trailing backslash) is a direct child of the system
// temporary directory that holds only files named in unpackedNames (compared
// without regard to case) and no subdirectory.
bool IsUnpackedProgramDirectory(const std::string& dir, const std::vector<std::string>& unpackedNames);

// The batch that waits until programPath can be erased (the program has
// ended), then removes its directory with everything in it ("RMDIR /S /Q" on
// the NT family, "DELTREE /Y" on Windows 9x), the ".PIF" the system may have
// made for the batch, and finally the batch itself. Lines end with CR LF.
std::string ProgramDirCleanupBatchText(const std::string& programPath, const std::string& batchPath,
                                       bool ntFamily);

// When the program's directory passes IsUnpackedProgramDirectory: erases
// every file in it that can be erased now, tries to remove it, writes the
// clean-up batch under a new temporary ".bat" name and returns that name; the
// caller starts it when the program ends. Returns empty, touching nothing,
// when the directory is refused or the batch cannot be written.
std::string PrepareProgramDirCleanup(const std::string& programPath, const std::vector<std::string>& unpackedNames);

// True when the running system (RunningOSHook) has cmd.exe: NT 3.51, 4.0,
// 2000, XP and later.
bool IsNTFamily();
