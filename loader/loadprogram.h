// What the loading program decides before it touches the system: its exit
// codes, its own command line and the command line of the setup program it
// starts. Portable: no windows.h.
#pragma once
#include <string>
#include <vector>

// Exit codes of the loading program's own failures. Once the setup program
// has run, its exit code is passed on instead.
enum : int {
  LoadExitDamaged = 2,         // the setup file failed its check, or setup.1 is missing or damaged
  LoadExitUnpackFailed = 3,    // the files could not be written to the temporary directory
  LoadExitCannotStart = 4,     // the setup program could not be started
  LoadExitCannotTransfer = 5   // "*TODISK" asked of a program whose archives are separate files
};

// "*TODISK" (any case) asks for the floppy transfer.
bool IsToDiskArgument(const std::string& argument);
bool WantsToDisk(const std::vector<std::string>& arguments);

// The file-name part of a path, and its directory without trailing
// backslash ("C:" for a file in a drive's root).
std::string FileNamePart(const std::string& path);
std::string DirectoryPart(const std::string& path);

// The setup program's command line. self is the loading program's full file
// name. The setup program reads a switch's value from the third character of
// the same argument on and joins -s and -e into the self-extracting file's
// path, so -e carries the file name and -s the directory:
//   self-extracting:   "<program>" "-e<name>" "-s<dir>" -c
//   separate archives: "<program>" "-s<dir>" -c      (it finds files.1 in <dir>)
//   floppy transfer:   "<program>" -f "-e<name>" "-s<dir>"
// -c asks the setup program to remove its unpacked directory when it ends.
std::string SetupCommandLine(const std::string& program, const std::string& self, bool selfExtracting,
                             bool toDisk);
