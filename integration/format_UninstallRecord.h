// Registry layout of the uninstall record below a product's uninstall key K
// (under HKEY_LOCAL_MACHINE), shared by the setup program that writes it and
// the uninstaller that reads it:
//
//   K\ActiveX            ActiveX servers: "Entries" = n, "File1".."File<n>" =
//                        installed path ";" registration kind
//   K\Files, K\Files1..  other files and shortcuts: "Entries" = n,
//                        "File1".."File<n>" = installed path, and after
//                        them any entries that a pass cut short wrote before
//                        it stored its count, without a gap
//
// Counts are decimal text. A "Files" subkey that cannot be read or written
// gives way to the next one.
#pragma once
#include <string>

namespace uninstallrecord {

inline constexpr const char* kActiveXKey = "ActiveX";
inline constexpr const char* kEntriesValue = "Entries";
// Files0 is written "Files"; no record goes past this many subkeys.
inline constexpr int kMaxFilesKeys = 100;

// The k-th files subkey: "Files" for 0, then "Files1", "Files2", ...
std::string FilesKey(int k);
// The value holding entry n (counting from 1): "File<n>".
std::string EntryValue(int n);

// A record's count: whole decimal text (blanks around it allowed), not
// negative and with room for one more entry. False for any other text.
bool ParseEntryCount(const std::string& text, int& count);
// The number a new entry gets after the count text; other text raises the
// platform's conversion error.
int NextEntry(const std::string& countText);

// An ActiveX entry and its parts: kind 0 a DllRegisterServer library, 1 an
// executable server, 2 a type library.
std::string ActiveXEntry(const std::string& path, int kind);
std::string ActiveXEntryPath(const std::string& entry);
int ActiveXEntryKind(const std::string& entry);

// Appends one entry to the record below K (which may end in a backslash):
// to the first usable files subkey, or to the ActiveX subkey (a bad count
// there is an error). Failures raise EIRCannotWriteValue or the conversion
// error.
//
// While a TRecordSession lives (sessions nest), the "Files" subkey last
// appended to stays open with its count, so that a file's entry costs one
// write, made beside the caller's work where the system allows: a thread
// writes each entry as soon as it is handed over, and at most a few wait.
// The count is stored when the key closes, at the latest when the last
// session ends, once every entry handed over is written. Every files entry
// goes through AppendFile; anything unusual (a refused or vanished key, a
// count that is not a number, a failed write) closes the key and takes the
// general path, for the entries not written first. A failure of that path
// is raised by the next AppendFile or by the End of the last session.
void AppendFile(const std::string& key, const std::string& path);
void AppendActiveX(const std::string& key, const std::string& path, int kind);

// The number of entries of the files subkey `sub` (under
// HKEY_LOCAL_MACHINE, with no trailing backslash), those past its count
// included; 0 for a missing key or a count that is not a number. Entries
// handed over in a session are written first.
int FileEntryCount(const std::string& sub);

// Waits until every entry handed over is written: the project's handlers,
// called between two files, see the record as it would be without the
// thread.
void Settle();

class TRecordSession {
public:
  TRecordSession();
  // Ends the session; at the end of the last one, raises what the general
  // path raises for entries the open key could not take.
  void End();
  // Ends the session unless End did, trying those entries without raising.
  ~TRecordSession();
  TRecordSession(const TRecordSession&) = delete;
  TRecordSession& operator=(const TRecordSession&) = delete;

private:
  bool ended_ = false;
};

}  // namespace uninstallrecord
