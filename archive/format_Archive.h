// Byte layout of archives: the prefix, the 176-byte member header, the
// header list (chained and table layouts), the identifier index, the
// extraction-info record of a self-extracting executable, and the inflate
// loop that reads one member's data across disk files.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Streams.h"
#include "exceptions_Tarnwick.h"

constexpr int ArchivePrefixSize = 5;
constexpr int FileHeaderSize = 176;
constexpr int MaxStoredName = 100;
constexpr int MaxFileVersion = 20;
constexpr int IdentifierIndexSize = 2000;

struct TFileHeaderRec {
  std::int32_t Sequence = 0;
  double FileDate = 0.0;
  std::uint8_t LastDisk = 0;
  std::int32_t DataEnd = 0;
  std::string StoredName;
  std::int32_t NextHeader = 0;
  std::int32_t Size = 0;
  std::int32_t DataStart = 0;
  std::int32_t CompressedSize = 0;
  std::uint8_t FirstDisk = 0;
  std::int32_t Identifier = 0;
  std::string FileVersion;
  // The bytes last read or written: padding is carried over from them.
  std::array<std::uint8_t, FileHeaderSize> Raw{};

  // Names longer than their capacity are cut.
  void SetStoredName(const std::string& s) { StoredName = s.substr(0, MaxStoredName); }
  void SetFileVersion(const std::string& s) { FileVersion = s.substr(0, MaxFileVersion); }
  std::array<std::uint8_t, FileHeaderSize> Encode() const;
  static TFileHeaderRec Decode(const std::uint8_t* bytes);
};

class TFileHeader {
public:
  TFileHeaderRec Rec;
  bool LoadedFromArchive = false;
};

// The list of member headers; owns its headers.
class TFileHeaders {
public:
  int Count() const { return static_cast<int>(items_.size()); }
  TFileHeader& GetFileHeaders(int index);
  const TFileHeader& GetFileHeaders(int index) const;
  // Validates (a blank stored name raises "Tried to add an invalid file
  // header") and appends.
  void Add(std::unique_ptr<TFileHeader> header);
  void Clear() { items_.clear(); byName_.clear(); }
  // Makes this list a copy of other (every header copied).
  void Assign(const TFileHeaders& other);
  // Stored name equal (ignoring case) to the text before the first ";" of
  // name; -1 when absent.
  int Find(const std::string& name) const;
  std::int64_t TotalSize() const;
  std::int64_t TotalCompressed() const;

  bool TableFlag = false;

  // Reads the list of the archive starting at archiveStart.
  void Read(TStream& s, std::int64_t archiveStart);
  // Writes the prefix at position 0 of s and, with the table flag, the
  // header table after it (updating every next-header field).
  void Write(TStream& s);

private:
  std::vector<std::unique_ptr<TFileHeader>> items_;
  // Upper-case stored name -> first member with it; built on demand.
  mutable std::unordered_map<std::string, int> byName_;
};

// The member whose first "entry" text before ";" names a file.
std::string EntryFileName(const std::string& entry);

// The file-name part of a stored name (after the last "\", "/" or ":", with
// trailing dots and blanks removed); empty when nothing safe remains: no
// name, "." or "..", a character Windows does not allow in file names, or a
// device name such as "CON", "nul.txt" or "LPT1.TXT", in any case.
std::string SafeMemberFileName(const std::string& storedName);

// Identifier -> member index for identifiers 0..1999 (later members win).
class TIdentifierIndex {
public:
  void Clear() { index_.fill(0); }
  void Build(const TFileHeaders& headers);
  void Set(std::int32_t id, int member);
  int Get(std::int32_t id) const;

private:
  std::array<int, IdentifierIndexSize> index_{};
};

// The extraction-info record of a self-extracting executable. It stands
// before the 40-character checksum trailer, so 96 bytes before the end of
// an unsigned file (a signed one ends with its certificate table behind
// the trailer, format_Signed.h):
//
//   offset  0    1                      15  16          20          24          28          32       56
//          +----+----------------------+---+-----------+-----------+-----------+-----------+--------+
//          | 14 | marker (14 chars)    | 0 | setup     | setup     | files     | files     | zero   |
//          |    | "SELFEXTRACTING" or  |   | first     | last      | first     | last      |        |
//          |    | "NOTSELFEXTRACT"     |   | int32     | int32     | int32     | int32     |        |
//          +----+----------------------+---+-----------+-----------+-----------+-----------+--------+
//
// The marker is a short string (length byte, 15 characters of capacity).
// The offsets are little-endian absolute positions in the file, the last
// ones inclusive; the files pair is zero when no main archive is embedded,
// and a "NOTSELFEXTRACT" record has all four zero. This one codec serves
// the build, the engine, the loading program and the host tools.
constexpr std::size_t ExtractionInfoSize = 56;
constexpr std::size_t ChecksumTrailerSize = 40;
constexpr std::size_t ExtractionInfoDistance = ExtractionInfoSize + ChecksumTrailerSize;
constexpr const char* kSelfExtractingMarker = "SELFEXTRACTING";
constexpr const char* kNotSelfExtractMarker = "NOTSELFEXTRACT";

enum class TExtractionKind {
  SelfExtracting,     // the archives follow the loading program in the file
  NotSelfExtracting,  // the archives are separate files beside the program
  Unknown             // any other marker
};

struct TExtractionInfo {
  std::string Marker;  // as read: up to 15 characters
  std::int32_t SetupFirst = 0, SetupLast = 0, FilesFirst = 0, FilesLast = 0;

  TExtractionKind Kind() const;
  bool HasSetupArchive() const { return Kind() == TExtractionKind::SelfExtracting; }
  bool HasMainArchive() const { return HasSetupArchive() && FilesFirst != 0; }
  std::uint32_t SetupSize() const {
    return HasSetupArchive() ? static_cast<std::uint32_t>(SetupLast) - static_cast<std::uint32_t>(SetupFirst) + 1 : 0;
  }
  std::uint32_t FilesSize() const {
    return HasMainArchive() ? static_cast<std::uint32_t>(FilesLast) - static_cast<std::uint32_t>(FilesFirst) + 1 : 0;
  }

  // The reserved bytes are zero; so are the offsets of a "NOTSELFEXTRACT"
  // record.
  std::array<std::uint8_t, ExtractionInfoSize> Encode() const;
  static TExtractionInfo Decode(const std::uint8_t* bytes);
};
// Position of the record before a trailer that ends at sealEnd (the file
// size of an unsigned file).
inline std::int64_t ExtractionInfoPosition(std::int64_t sealEnd) {
  return sealEnd - static_cast<std::int64_t>(ExtractionInfoDistance);
}

// The inflate state and the input buffer of the inflate loop, kept between
// members so that a run of small members does not set them up and release
// them for every one (the state is reset at the start of each member).
class TInflater {
public:
  TInflater();
  ~TInflater();
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

private:
  friend std::int64_t InflateMember(struct TInflateRequest& r);
  struct TState;
  std::unique_ptr<TState> state_;
};

// Inflates one member. The data starts at StartPosition of the first source
// (the loop seeks there) or, when that is negative, at its current position,
// and ends at dataEnd (inclusive, relative to the last source); each earlier
// source is read to its end. nextSource opens the next disk;
// onBlock receives each output block of up to 4096 bytes. Output beyond
// maxOutput, corrupt data or data that ends early raise ETrnwCompress.
// Without an inflater the loop uses one of its own for this member.
struct TInflateRequest {
  TStream* Source = nullptr;
  int Disk = 0, LastDisk = 0;
  std::int64_t StartPosition = -1;
  std::int64_t EndPosition = 0;  // absolute position of the last data byte on the last disk
  std::int64_t MaxOutput = 0;
  std::string MemberName;
  std::function<TStream*(int disk)> NextSource;
  std::function<void(const std::uint8_t* data, long count)> OnBlock;
  TInflater* Inflater = nullptr;
};
std::int64_t InflateMember(TInflateRequest& r);
