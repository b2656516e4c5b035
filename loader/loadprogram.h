// What the loading program decides before it touches the system: its exit
// codes, its own switches, the command line of the setup program it starts
// and the lines of its log. Portable: no windows.h.
#pragma once
#include <string>
#include <vector>

// Exit codes of setup.exe. 0, 1 (failed), 2 (cancelled) and 3010 (a restart
// is needed and was not made) come from the setup program and are passed
// on; the others are the loading program's own.
enum : int {
  LoadExitFailed = 1,          // also a wrong switch
  LoadExitUnpackFailed = 3,    // the files could not be written to the temporary directory
  LoadExitCannotStart = 4,     // the setup program could not be started
  LoadExitCannotTransfer = 5,  // "*TODISK" asked of a program whose archives are separate files
  LoadExitDamaged = 6          // the setup file failed its check, or setup.1 is missing or damaged
};

// "*TODISK" (any case) asks for the floppy transfer.
bool IsToDiskArgument(const std::string& argument);

// What setup.exe was asked to do. Switches start with "/" and are read in
// any case; a value follows "=" and may be enclosed in quotes, as may the
// whole argument. Other arguments than "*TODISK" are ignored.
enum class TSilence { None, Silent, VerySilent };
struct TLoadOptions {
  bool ToDisk = false;
  bool Help = false;       // "/?" or "/HELP"
  bool NoRestart = false;  // "/NORESTART"
  TSilence Silence = TSilence::None;
  std::string Dir, Group, Log;  // "/DIR=", "/GROUP=", "/LOG=" (empty when not given)
  std::string Error;            // the message for a wrong switch; empty when all are right

  bool Silent() const { return Silence != TSilence::None; }
};
TLoadOptions ParseLoadOptions(const std::vector<std::string>& arguments);

// The switches, one a line, each with what it does.
std::string SwitchHelp();

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
// The options follow as "*" arguments: "*u1" (/SILENT) or "*u2"
// (/VERYSILENT), "*i<dir>", "*k<group>", "*j<log file>" (options.Log, which
// the caller has made absolute) and "*x" (/NORESTART).
std::string SetupCommandLine(const std::string& program, const std::string& self, bool selfExtracting,
                             const TLoadOptions& options);

// The lines of the log as every program of the installation writes them:
// the local time, two blanks, the text, CR LF. A text of several lines gives
// one log line for each line that is not empty.
struct TLogTime {
  int Year, Month, Day, Hour, Minute, Second;
};
std::string LogText(const TLogTime& time, const std::string& text);
