// File-system routines shared by the install objects, the build and the
// dialogs: directory tests and creation, the engine's file attributes, hard
// links and string resources of libraries.
#pragma once
#include <windows.h>

#include <string>

#include "types_Tarnwick.h"

// True when path names an existing directory.
bool IsDirectory(const std::string& path);

// Creates the directory path with every missing parent. True when the
// directory exists afterwards; false (with the system's last error kept)
// for a blank path or when a part cannot be created, for example because a
// file of that name is in the way. Nothing that existed is touched.
// Accepts drive paths ("C:\a\b"), UNC paths ("\\server\share\a"), paths
// relative to the current directory and a trailing backslash.
bool CreateDirectoryTree(const std::string& path);

// The platform attributes of an attribute set and back. tfaCompressed has
// no platform attribute of its own; an empty set is the normal attribute.
DWORD TrnwAttributesToPlatform(TTrnwFileAttributesSet attributes);
TTrnwFileAttributesSet PlatformToTrnwAttributes(DWORD attributes);

// Gives the file exactly the platform attributes of the set; raises
// IEfcSetAttributes with the system's text for the error when it cannot.
void SetFileAttributesFromSet(const std::string& path, TTrnwFileAttributesSet attributes);

// Opens the file for reading without sharing; when it opens, attributes
// becomes [tfaReadOnly] for a read-only file and empty otherwise. When it
// does not open, attributes is left as it was. Never fails.
void ReadFileAttributes(const std::string& path, TTrnwFileAttributesSet& attributes,
                        SECURITY_ATTRIBUTES* securityAttributes);

// The path itself when it is an existing directory, else the nearest
// existing directory above it (cut at backslashes); empty for a blank path
// or when none is left. "C:\missing\deeper" gives "C:" when only C:\ exists.
std::string NearestExistingDirectory(const std::string& path);

// String resource id of the library; empty when the library or the string
// is missing.
std::string LoadLibraryString(const std::string& library, unsigned id);

// Creates linkPath as a hard link to existingPath through the system's
// CreateHardLinkA; success tells whether the link was made. Raises
// IEInstallHardLink when the system offers no hard links.
void MakeHardLink(const std::string& linkPath, const std::string& existingPath,
                  SECURITY_ATTRIBUTES* securityAttributes, bool& success);

namespace filesystem_detail {
// MakeHardLink with the library and entry point named by the caller.
void MakeHardLinkThrough(const char* library, const char* entryPoint, const std::string& linkPath,
                         const std::string& existingPath, SECURITY_ATTRIBUTES* securityAttributes,
                         bool& success);
}  // namespace filesystem_detail
