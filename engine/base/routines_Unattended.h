// An installation without a person at the screen. The loading program turns
// the switches typed on setup.exe into "*" arguments of letters no switch
// of the setup program uses (which its command line ignores):
//   /SILENT      *u1   no wizard, no backdrop: only the copy progress (its
//                      Cancel asks) and the restart question show
//   /VERYSILENT  *u2   nothing shows at all
//   /DIR=path    *i<path>   the destination directory
//   /GROUP=name  *k<name>   the Start-menu folder
//   /LOG=file    *j<file>   a plain-text log of every step
//   /NORESTART   *x         Windows is never restarted; a restart that is
//                           needed is reported by the exit code 3010
#pragma once
#include <string>
#include <vector>

enum TUnattendedMode : int { umInteractive = 0, umSilent = 1, umVerySilent = 2 };

struct TUnattendedOptions {
  TUnattendedMode Mode = umInteractive;
  std::string Dir, Group, LogFile;
  bool HasDir = false, HasGroup = false;
  bool NoRestart = false;
  bool Silent() const { return Mode != umInteractive; }
  bool VerySilent() const { return Mode == umVerySilent; }
};

// The options of this run (set once at start).
extern TUnattendedOptions Unattended;

// Reads the "*" arguments above; a letter is matched in either case, and a
// later argument overrides an earlier one.
TUnattendedOptions ParseUnattendedOptions(const std::vector<std::string>& arguments);

// The arguments that carry the options to the run that continues after a
// restart, each quoted, with a leading blank; empty for an interactive run
// without any.
std::string ContinuationArguments(const TUnattendedOptions& options);

// The answer a message box with these MB_* flags gives when nobody is there:
// its default button.
int DefaultBoxAnswer(unsigned flags);

// Exit codes of the setup program.
enum : int {
  kExitInstalled = 0,
  kExitFailed = 1,
  kExitCancelled = 2,
  kExitRestartNeeded = 3010,
};
