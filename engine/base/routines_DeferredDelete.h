// Removing files that the running program still uses (its own executable,
// its directory) once it has ended: a hidden command-interpreter batch that
// retries until the files are free, then removes the emptied directories and
// finally itself. Works with cmd.exe and with command.com.
#pragma once
#include <string>
#include <vector>

struct TDeferredDelete {
  std::vector<std::string> Files;        // erased, retried while in use
  std::vector<std::string> Directories;  // removed when empty, in the given order
  std::vector<std::string> ExtraLines;   // batch lines run first, as written
  std::vector<std::string> FinalLines;   // run after the files and directories, before the batch erases itself
};

// A path as a batch file must spell it: the command interpreter expands
// "%" in a batch file, so each is doubled. Lines given as written
// (ExtraLines, FinalLines) spell their paths this way themselves.
std::string BatchPath(const std::string& path);

// The batch text for a request (lines separated by CR LF); `self` is the
// batch file's own path, erased last.
std::string DeferredDeleteBatchText(const TDeferredDelete& request, const std::string& self);

// Writes the batch into a new temporary file and starts it hidden. Returns
// the batch file's path; raises EAPIRoutines when it cannot be written or started.
std::string StartDeferredDelete(const TDeferredDelete& request);
