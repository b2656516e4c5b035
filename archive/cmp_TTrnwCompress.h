// The archive component: adds files to archives, lists, extracts members
// under the overwrite rules, copies archives onto numbered disk files and
// copies plain files.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Classes.h"
#include "DateUtils.h"
#include "exceptions_Tarnwick.h"
#include "format_Archive.h"
#include "routines_Compression.h"
#include "types_Tarnwick.h"

enum TlzhCommand { lzcOverwrite, lzcOnlyAdd };

struct TlzhFileStats {
  std::uint8_t FilePercent = 0;
  std::int32_t FileDone = 0;
  std::string FileName;
  std::int32_t CompressedSize = 0;
  std::uint8_t FileRatio = 0;
  std::int32_t Size = 0;
  TFileHeaderRec Header;
  bool Finished = false;
  std::uint8_t TotalPercent = 0;
  // The totals run over whole archives, which may hold more than 2 GiB.
  std::int64_t TotalDone = 0;
  std::int64_t TotalCompressed = 0;
  std::uint8_t TotalRatio = 0;
  std::int64_t TotalSize = 0;
};

// a × 100 ÷ b rounded to the nearest integer, ties to even; 0 when b is 0.
std::uint8_t PercentOf(std::int64_t a, std::int64_t b);

class TTrnwCompress;
using TlzhFileStatsEvent = std::function<void(TTrnwCompress* sender, const TlzhFileStats& stats)>;
using TlzhNewDiskEvent = std::function<void(TTrnwCompress* sender, int diskNumber, std::string& path)>;
using TCompressNotifyEvent = std::function<void(void* sender)>;

// Set by the build when the user cancels it; CopyFile stops with
// EUserAbortInstall "Creating Install Aborted!".
extern bool BuildCancelled;

class TWinFileStream;

class TTrnwCompress : public TComponent {
public:
  explicit TTrnwCompress(TComponent* owner);
  ~TTrnwCompress() override;
  const char* ClassName() const override { return "TTrnwCompress"; }

  // Published properties.
  // Stops the running operation at its next check; every operation clears
  // it when it starts. The install run's cancel (InstallCancel) stops every
  // operation too, and stands until the next run.
  bool Abort = false;
  const std::string& CompressedFile() const { return compressedFile_; }
  void SetCompressedFile(const std::string& name);
  TCompressionLevel CompressionLevel = colMax;
  std::string ExtractDirectory;
  const std::vector<std::string>& FilesToProcess() const { return filesToProcess_; }
  void SetFilesToProcess(const std::vector<std::string>& entries);  // drops blank entries
  void AddFileToProcess(const std::string& entry);
  std::int32_t Offset = 0;
  // Capacity of each disk file written by CopyToDisks, in bytes; 0 takes
  // whatever the medium holds (a short write means the disk is full).
  std::int64_t DiskSize = 0;
  TOverwriteType Overwrite = owAlways;
  TCompressNotifyEvent OnAborted;
  TlzhFileStatsEvent OnAfterAdding, OnBeforeAdding, OnAfterExtracting, OnBeforeExtracting;
  TCompressNotifyEvent OnFullDisk;
  TlzhFileStatsEvent OnListing;
  TlzhNewDiskEvent OnNewDisk;
  TlzhFileStatsEvent OnReplace, OnStatus;

  // Sources whose bytes are read from another file when added: the member
  // keeps the source's name and version, and takes the other file's date
  // (a signed copy dated as its source). Keys and values are paths,
  // compared in full.
  std::vector<std::pair<std::string, std::string>> ReadInsteadOf;

  // Name under which the next member is extracted (its file-name part).
  std::string ExtractName;

  void ReadHeaders();
  int Count();
  TlzhFileStats GetFileStats(int index);
  int IndexOfID(std::int32_t id);
  const TFileHeaders& Headers() const { return headers_; }

  void Add(bool append, std::int32_t identifier);
  // The sources that the next Adds take, in this order: while there is more
  // than one thread, the small ones are compressed ahead on the workers.
  // Replaces the list given before; an empty list ends it.
  void CompressAhead(const std::vector<std::string>& sources);
  void List();
  void Extract();
  // A file the caller has just created, empty, for the next member: the
  // extraction writes into it instead of creating path again. An offer the
  // next Extract does not take is closed and the file removed.
  void OfferNewTarget(const std::string& path, std::unique_ptr<TWinFileStream> file);
  void DropOfferedTarget();
  // True while an offered file waits (its directory is there).
  bool HasOfferedTarget() const { return offered_ != nullptr; }
  // While set, the archive file stays open from one Extract to the next
  // (as it does between the members of one Extract), and from one append
  // to the next one into the same archive; clearing it closes it.
  bool KeepsArchiveOpen() const { return keepArchiveOpen_; }
  void SetKeepArchiveOpen(bool keep);
  // Closes the archive kept open, whatever the setting, for example before
  // the file is deleted.
  void CloseKeptArchive();
  void CopyToDisks(const std::string& directory, const std::string& name);
  void CopyFile(const std::string& source, const std::string& target);

  virtual void DiskFull();

private:
  enum TOperation { opNone, opAdding, opExtracting };
  // Abort, or the install run's cancel.
  bool Stopped() const;
  void EnsureHeaders();
  void ComputeTotals();
  void FillStats(const TFileHeaderRec& h);
  void Status();
  void AddStatus(TStream* dest, std::int64_t dataStart, std::int64_t consumed);
  void AddAll(bool append, std::int32_t identifier);
  std::string ReadPathOf(const std::string& name) const;
  void ExtractAll();
  void ExtractMember(int index, const std::string& entry);
  void CopyToDisksAll(const std::string& directory, const std::string& name);
  void CopyFileBody(const std::string& source, const std::string& target);
  std::unique_ptr<TWinFileStream> OpenDisk(std::string& name, int disk, bool forWriting);
  std::string DiskName(const std::string& name, int disk) const;

  TOperation operation_ = opNone;
  int currentDisk_ = 0;
  TlzhFileStats stats_;
  bool headersLoaded_ = false;
  TIdentifierIndex index_;
  TFileHeaders headers_;
  // The members' total sizes as read with the headers; -1 until then and
  // once adding changes the list.
  std::int64_t readTotalSize_ = -1, readTotalCompressed_ = -1;
  std::string compressedFile_;
  std::vector<std::string> filesToProcess_;
  std::string newDiskDir_;
  // While extracting: the archive disk file kept open between members.
  std::unique_ptr<TWinFileStream> source_;
  int sourceDisk_ = -1;
  // Inflate state and buffers, set up by the first extraction and reused.
  std::unique_ptr<TInflater> inflater_;
  std::string createdDir_;
  std::string offeredName_;
  bool keepArchiveOpen_ = false;
  std::unique_ptr<TWinFileStream> offered_;
  // Set while headers_ is the list as the last append left this archive,
  // with the archive's size and write time then: the next append to the
  // unchanged file takes it instead of reading every header again.
  std::string appendFile_;
  std::int64_t appendSize_ = -1;
  std::uint64_t appendTime_ = 0;
  // The archive the last append left open (KeepsArchiveOpen), shared for
  // reading only: headers_ stays its list until it is closed.
  std::unique_ptr<TWinFileStream> appendDest_;
  // Small sources compressed ahead of their Add.
  struct TAhead;
  std::unique_ptr<TAhead> ahead_;
  void RefillAhead();
  bool TakeAhead(const std::string& source, const TFileHeaderRec& h, TStream& dest);
  // Members inflated ahead of the extraction.
  class TInflateAhead;
  std::unique_ptr<TInflateAhead> inflateAhead_;
  void StopInflateAhead();
  // Whether member index comes from the thread inflating ahead (started or
  // restarted there as needed).
  bool InflatesAhead(int index);
  bool AppendHeadersCurrent() const;
  void RememberAppendHeaders();
  // headers_ is the list of compressedFile_ as written, every member in it.
  void TakeHeadersAsAppended();
  void CloseAppendedArchive();
  void ForgetAppendHeaders();
};

// Processes the window messages waiting for this thread.
void ProcessPendingMessages();
