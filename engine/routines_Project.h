// Project files: a text form holding an install project, read by the
// generic setup program at build time, and the starter project written
// from a folder of files.
//
// Paths in a project file are relative to the project file. Reading one
// makes them absolute and turns pictures named by file
// (`LogoImage.Picture.File = 'logo.png'`) into picture data, so that the
// binary stream carried by the setup program needs nothing of the
// developer's machine. An install file without IncludeFromDir takes its
// file from the project's directory; the uninstaller from the engine's.
//
// Every failure raises EProject with the project file's name and, where it
// has one, the line: "hello.txt, line 12: Class TFoo not found".
#pragma once
#include <map>
#include <string>
#include <vector>

#include "FormStream.h"
#include "SysUtils.h"

class TForm;
class TCustomInstall;

TW_EXCEPTION(EProject, Exception);

struct TProjectFile {
  std::string Path;    // full path of the text form
  std::string Dir;     // its directory, without trailing backslash
  TFormObject Tree;    // with absolute paths and picture data
  std::string Stream;  // Tree as a binary form stream
  std::map<std::string, int> Lines;  // component name in upper case -> line of its 'object'

  int LineOf(const std::string& component) const;
  // "hello.txt, line 12: " + text (without the line when it is not known).
  std::string At(int line, const std::string& text) const;
  // A reader's message ("Form text, line 12: ...") told of this file.
  std::string Told(const std::string& message) const;
  // Whether the project gives the property (dotted, for example
  // "DialogThemeBitmap.Data") to the component.
  bool Gives(const std::string& component, const std::string& property) const;
};

// The full path of a path relative to the current directory (the path
// itself when the system cannot tell).
std::string FullPath(const std::string& path);

// Reads and resolves a project file; engineDir is where the uninstaller is
// taken from when the project names no directory for it.
TProjectFile LoadProjectFile(const std::string& path, const std::string& engineDir);

// Before streaming: every event of the project names a handler the form has.
void CheckProjectEvents(const TProjectFile& project, const TForm& form);

// After streaming, before a build: identifiers in range and used once, every
// source file present, no two files installed to the same path.
void CheckProjectFiles(const TProjectFile& project, TCustomInstall& install);

// The starter project written from a folder.
struct TStarterProject {
  std::string Folder;   // the files to install, subfolders kept
  std::string Project;  // the text form to write
  std::string Name;     // the product name; the folder's name when empty
  std::string Logo;     // optional pictures: the 64 x 64 logo and the
  std::string Side;     // side picture of the dialogs
};
// The largest number of files a starter project can hold: the identifier
// table's slots less the uninstaller's.
int StarterProjectCapacity();
// Writes the project (and "License.rtf" beside it when the folder holds a
// plain-text licence); returns a summary line. Raises EProject.
std::string WriteStarterProject(const TStarterProject& options);

// The text of an RTF document showing plain text as it is.
std::string PlainTextToRtf(const std::string& text);
