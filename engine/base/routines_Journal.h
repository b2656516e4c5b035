// The journal of an installation run: before the run changes the machine it
// writes down what it is about to do and what was there before, in a file
// that outlives the process. A run that fails or is cancelled undoes every
// entry, newest first; one that ends well drops the journal and the old
// files it kept. A run that was killed leaves its journal behind, and the
// next run of the same program undoes it before it starts.
//
// Outside a run (no journal begun) every call here does nothing, so the
// code that changes the machine calls it unconditionally.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace journal {

// Starts the journal of a run in a new file at path (an earlier one there is
// replaced); programPath is the running program's, kept for the next run.
// Nothing below recordsKey (HKEY_LOCAL_MACHINE) is written down: the install
// records outlive a failed run. Raises when the file cannot be written.
void Begin(const std::string& path, const std::string& programPath, const std::string& recordsKey);
bool Active();
const std::string& Path();

// A file the run has just created where none was.
void FileCreated(const std::string& path);
// A file the run is about to create; one that is there already is left to
// the caller and not written down.
void FileToCreate(const std::string& path);
// Moves an existing file aside, under a new name beside it, before the run
// puts another in its place; returns that name. Raises when it cannot be
// moved. Without a journal nothing moves and the result is empty.
std::string SetAside(const std::string& path);
// Before the run writes a file in place: a copy of one that is there is
// kept (its date and attributes with it); a missing one is written down as
// new.
void BeforeOverwrite(const std::string& path);
// A directory the run is about to create (the first missing level of path
// and all below it). One that is there is not written down.
void DirectoryToCreate(const std::string& path);
// A registry value that is written without a TRegistry (those are seen on
// their own), before it is written.
void ValueToWrite(HKEY root, const std::string& path, const std::string& name);
// An ActiveX server or type library the run registers: 0 DllRegisterServer,
// 1 an executable server, 2 a type library.
void Registered(const std::string& path, int kind);
// A replacement of `to` by `from` that the system makes at the restart.
void PendingRename(const std::string& from, const std::string& to);
// A rename at the restart written into WININIT.INI under key.
void WininitRename(const std::string& ini, const std::string& key);

// Ends the run well: the files kept aside and the journal are deleted.
void Commit();
// Undoes the run, newest change first; the log names what was undone.
void Rollback();

// Undoes the journal an earlier, killed run left at path and deletes it.
// Returns the program path that run had written down (empty when the file is
// not a journal).
std::string RollbackLeftOver(const std::string& path);

// Registration of a server or type library, and its removal (kinds as for
// Registered). false when it failed; problem says why.
bool RegisterServer(const std::string& path, int kind, std::string& problem);
bool UnregisterServer(const std::string& path, int kind, std::string& problem);

}  // namespace journal
