// The setup archive "setup.1" as the loading program reads it: the setup
// program (its first member) and the pre-setup files. The archive may sit
// anywhere inside a byte source (appended to the loading program, or a file
// of its own); every read stays inside that window, each member must inflate
// to exactly its recorded size, and only the safe file-name part of a stored
// name is ever used. Portable: no windows.h.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bytesource.h"
#include "format_Archive.h"  // SafeMemberFileName

struct TSetupMember {
  std::string StoredName;  // as recorded at the build site (a full path)
  std::string FileName;    // its file-name part, safe to create in a directory
  std::int32_t Size = 0;   // uncompressed size in bytes
  double FileDate = 0.0;   // its date at the build site (local time, days since 1899-12-30)
};

// Receives a member's bytes in order; false stops the extraction.
using TMemberWriter = std::function<bool(const void* data, std::size_t size)>;

class TSetupArchive {
public:
  TSetupArchive();
  ~TSetupArchive();
  TSetupArchive(const TSetupArchive&) = delete;
  TSetupArchive& operator=(const TSetupArchive&) = delete;

  // Reads the header list of the archive occupying bytes [first, first + size)
  // of source. Fails (false, with a message in error) on a damaged list, a
  // member that spans disks or lies outside the window, a name with no safe
  // file-name part, or two members with the same file name.
  bool Open(TByteSource& source, std::uint64_t first, std::uint64_t size, std::string& error);
  const std::vector<TSetupMember>& Members() const { return members_; }

  // Inflates member index into write. On failure returns false; error holds
  // the reason for damaged data and stays empty when write refused.
  bool Extract(std::size_t index, const TMemberWriter& write, std::string& error);

private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
  std::vector<TSetupMember> members_;
};
