// Text rules of path computation that need no system access: the
// %-meta-variable scanner, drive parts, list entries and the Office version
// and key texts.
#pragma once
#include <functional>
#include <string>

// Scans text once for %-meta-variables. "%%" gives "%"; "%x" calls
// lookup(x) with x as written and appends its value with one trailing
// backslash removed when lookup returns true, nothing otherwise; a "%" at
// the end of the text gives nothing. lookup may raise.
std::string ScanMetaVariables(const std::string& text,
                              const std::function<bool(char letter, std::string& value)>& lookup);

// The drive part of a path: "C:" for "C:\dir", "\\server\share" for a UNC
// path, empty when the path has neither.
std::string DrivePart(const std::string& path);

// The text before the first ";" (the whole text when there is none).
std::string FirstListEntry(const std::string& list);

// A path the shell returns for a virtual folder ("::{GUID}...") names no
// file-system directory.
bool IsShellPseudoPath(const std::string& path);

// The Office version text of a CurVer program identifier such as
// "Word.Document.8": the text after the second "."; empty when there are
// fewer than two.
std::string OfficeVersionText(const std::string& curVer);
// The version text as an integer, -1 when it is not a number.
int OfficeVersionNumber(const std::string& versionText);
// The HKEY_CURRENT_USER key of Office's file-new entry `name` and of Word's
// options for version v; empty for a version outside 7 to 19.
std::string OfficeFileNewKey(int version, const std::string& name);
std::string OfficeWordOptionsKey(int version);
