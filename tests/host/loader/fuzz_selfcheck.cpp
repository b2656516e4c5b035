// Fuzz target of the loading program's self-check and the extraction-info
// record. The input is checked as a whole file, and again sealed with its
// correct checksum so that the record and the setup archive it points to are
// reached. Nothing may fault; the record codec must round-trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "selfcheck.h"
#include "setup_archive.h"

namespace {

// Decoding, encoding and decoding again gives the same record, and the
// check of the encoded bytes agrees with the check of the original.
void RoundTrip(const std::uint8_t* record) {
  const TExtractionInfo a = TExtractionInfo::Decode(record);
  const auto bytes = a.Encode();
  const TExtractionInfo b = TExtractionInfo::Decode(bytes.data());
  if (a.Marker != b.Marker) std::abort();
  const bool separate = a.Kind() == TExtractionKind::NotSelfExtracting;
  if (!separate && (a.SetupFirst != b.SetupFirst || a.SetupLast != b.SetupLast || a.FilesFirst != b.FilesFirst ||
                    a.FilesLast != b.FilesLast))
    std::abort();
  TExtractionInfo pa, pb;
  const TSelfCheckError ea = ParseExtractionInfo(record, ExtractionInfoSize, pa);
  const TSelfCheckError eb = ParseExtractionInfo(bytes.data(), ExtractionInfoSize, pb);
  if (ea == TSelfCheckError::None && eb != TSelfCheckError::None) std::abort();
  if (ea == TSelfCheckError::None && (pa.SetupSize() != pb.SetupSize() || pa.FilesSize() != pb.FilesSize())) std::abort();
}

// What the loading program does with a file that passed: every member of
// the setup archive is inflated (into a counter).
void Unpack(TByteSource& file) {
  TExtractionInfo info;
  bool sealed = false;
  if (CheckSetupFile(file, info, &sealed) != TSelfCheckError::None || !info.HasSetupArchive()) return;
  const std::uint64_t first = static_cast<std::uint64_t>(info.SetupFirst), size = info.SetupSize();
  if (first + size > file.Size()) std::abort();  // a passed record lies inside the file
  TSetupArchive archive;
  std::string error;
  if (!archive.Open(file, first, size, error)) return;
  for (std::size_t i = 0; i < archive.Members().size(); ++i) {
    if (archive.Members()[i].FileName.empty()) std::abort();
    std::size_t total = 0;
    archive.Extract(i, [&total](const void*, std::size_t n) { return (total += n) <= (1u << 22); }, error);
  }
}

// An input that is a PE image with a security entry, sealed as the build
// seals it (the fields signing rewrites zero) and then signed (a table
// behind the padded trailer, the entry and the CheckSum field set), gets
// the verdict of the unsigned sealed file.
void SignedAgrees(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> image(data, data + size);
  TPeSignFields fields;
  TMemorySource read(image.data(), image.size());
  if (!ReadPeSignFields(image.size(), read, fields)) return;
  ZeroSignFields(fields, 0, image.data(), image.size());
  const std::string digest = Sha0Hex(image.data(), image.size());
  image.insert(image.end(), digest.begin(), digest.end());
  std::vector<std::uint8_t> sealed = image;
  while (image.size() % 8) image.push_back(0);
  const std::uint32_t table = static_cast<std::uint32_t>(image.size()), tableSize = 16;
  image.resize(image.size() + tableSize, 0x5A);
  const std::uint32_t entry[2] = {table, tableSize}, checksum = 0x1234;
  std::memcpy(image.data() + fields.SecurityEntryAt, entry, sizeof(entry));
  std::memcpy(image.data() + fields.CheckSumAt, &checksum, sizeof(checksum));

  TMemorySource plain(sealed.data(), sealed.size()), signedFile(image.data(), image.size());
  TExtractionInfo a, b;
  const TSelfCheckError ea = CheckSetupFile(plain, a), eb = CheckSetupFile(signedFile, b);
  if (ea != eb || a.SetupFirst != b.SetupFirst || a.FilesFirst != b.FilesFirst) std::abort();
  Unpack(signedFile);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= ExtractionInfoSize) {
    RoundTrip(data);
    RoundTrip(data + size - ExtractionInfoSize);
  }
  TMemorySource raw(data, size);
  Unpack(raw);

  std::vector<std::uint8_t> sealed(data, data + size);
  const std::string digest = Sha0Hex(data, size);
  sealed.insert(sealed.end(), digest.begin(), digest.end());
  TMemorySource file(sealed.data(), sealed.size());
  Unpack(file);
  SignedAgrees(data, size);
  return 0;
}
