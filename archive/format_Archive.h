// Byte layout of archives: the prefix, the 176-byte member header, the
// header list (chained and table layouts), the identifier index, the
// extraction-info record of a self-extracting executable, and the inflate
// loop that reads one member's data across disk files.
#pragma once
#include <array>
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
constexpr int ExtractionInfoSize = 56;
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

struct TExtractionInfo {
  std::string Marker;  // "SELFEXTRACTING" or "NOTSELFEXTRACT"
  std::int32_t SetupStart = 0, SetupEnd = 0, FilesStart = 0, FilesEnd = 0;
  std::array<std::uint8_t, ExtractionInfoSize> Encode() const;
  static TExtractionInfo Decode(const std::uint8_t* bytes);
};
// Position of the record in a file of the given size (before the checksum).
inline std::int64_t ExtractionInfoPosition(std::int64_t fileSize) { return fileSize - 96; }

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

// Inflates one member. The data starts at the current position of the first
// source and ends at dataEnd (inclusive, relative to the last source); each
// earlier source is read to its end. nextSource opens the next disk;
// onBlock receives each output block of up to 4096 bytes. Output beyond
// maxOutput, corrupt data or data that ends early raise ETrnwCompress.
// Without an inflater the loop uses one of its own for this member.
struct TInflateRequest {
  TStream* Source = nullptr;
  int Disk = 0, LastDisk = 0;
  std::int64_t EndPosition = 0;  // absolute position of the last data byte on the last disk
  std::int64_t MaxOutput = 0;
  std::string MemberName;
  std::function<TStream*(int disk)> NextSource;
  std::function<void(const std::uint8_t* data, long count)> OnBlock;
  TInflater* Inflater = nullptr;
};
std::int64_t InflateMember(TInflateRequest& r);
