// The loading program's self-check: SHA-0, the checksum trailer and the
// extraction-info record, with sound, corrupt and truncated files. Built
// natively (sanitizers) and for Windows (run under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "selfcheck.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutInt32(Bytes& b, std::size_t at, std::int32_t v) {
  std::uint32_t u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// A record laid out by hand: length byte, 14 marker characters, a zero,
// four little-endian offsets, 24 zero bytes.
Bytes Record(const char* marker, std::int32_t s1, std::int32_t s2, std::int32_t f1, std::int32_t f2,
             std::uint8_t lengthByte = 14) {
  Bytes r(56, 0);
  r[0] = lengthByte;
  std::memcpy(r.data() + 1, marker, std::strlen(marker) < 15 ? std::strlen(marker) : 15);
  PutInt32(r, 16, s1);
  PutInt32(r, 20, s2);
  PutInt32(r, 24, f1);
  PutInt32(r, 28, f2);
  return r;
}

Bytes Archive(std::size_t size, std::uint8_t fill) {
  Bytes a(size, fill);
  PutInt32(a, 0, 1);  // one member
  a[4] = 0;           // chained layout
  return a;
}

void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

void Seal(Bytes& image) {
  std::string hex = Sha0Hex(image.data(), image.size());
  image.insert(image.end(), hex.begin(), hex.end());
}

struct TImage {
  Bytes bytes;
  std::int32_t setupFirst = 0, setupLast = 0, filesFirst = 0, filesLast = 0;
};

// loader | setup.1 | files.1 (when filesSize > 0) | record | checksum
TImage SealedImage(std::size_t loaderSize, std::size_t setupSize, std::size_t filesSize) {
  TImage img;
  img.bytes.assign(loaderSize, 0x90);
  img.bytes[0] = 'M';
  img.bytes[1] = 'Z';
  img.setupFirst = static_cast<std::int32_t>(img.bytes.size());
  Append(img.bytes, Archive(setupSize, 0x11));
  img.setupLast = static_cast<std::int32_t>(img.bytes.size()) - 1;
  if (filesSize) {
    img.filesFirst = static_cast<std::int32_t>(img.bytes.size());
    Append(img.bytes, Archive(filesSize, 0x22));
    img.filesLast = static_cast<std::int32_t>(img.bytes.size()) - 1;
  }
  Append(img.bytes, Record("SELFEXTRACTING", img.setupFirst, img.setupLast, img.filesFirst, img.filesLast));
  Seal(img.bytes);
  return img;
}

TSelfCheckError Check(const Bytes& b, TExtractionInfo& info) {
  TMemorySource src(b.data(), b.size());
  return CheckSelfExtractingFile(src, info);
}

TSelfCheckError Check(const Bytes& b) {
  TExtractionInfo info;
  return Check(b, info);
}

TSelfCheckError Parse(const Bytes& record) {
  TExtractionInfo info;
  return ParseExtractionInfo(record.data(), record.size(), info);
}

std::string HashOf(const std::string& s) { return Sha0Hex(s.data(), s.size()); }

// A loading program with PE32+ headers: the DOS header, "PE", the file
// header and an optional header of 16 data directories, the CheckSum field
// and the security entry zero as the build writes them.
constexpr std::size_t kCheckSumAt = 0x40 + 24 + 64, kSecurityAt = 0x40 + 24 + 112 + 32;
TImage SealedPeImage(std::size_t loaderSize, std::size_t setupSize, std::size_t filesSize) {
  TImage img = SealedImage(loaderSize, setupSize, filesSize);
  Bytes& b = img.bytes;
  std::fill(b.begin() + 2, b.begin() + 0x40 + 24 + 240, 0);
  PutInt32(b, 0x3C, 0x40);
  std::memcpy(b.data() + 0x40, "PE\0\0", 4);
  b[0x40 + 20] = 240;                   // size of the optional header
  b[0x40 + 24] = 0x0B, b[0x40 + 25] = 2;  // PE32+
  PutInt32(b, 0x40 + 24 + 108, 16);     // data directories
  b.resize(b.size() - 40);
  Seal(b);
  return img;
}

// What a signing tool does: zero padding to 8 bytes, a certificate table at
// the end, its position and size in the security entry, a new CheckSum.
void Sign(Bytes& b, std::size_t tableSize = 1500) {
  while (b.size() % 8) b.push_back(0);
  const std::size_t table = b.size();
  for (std::size_t i = 0; i < tableSize; ++i) b.push_back(static_cast<std::uint8_t>(0x30 + i % 7));
  PutInt32(b, kSecurityAt, static_cast<std::int32_t>(table));
  PutInt32(b, kSecurityAt + 4, static_cast<std::int32_t>(tableSize));
  PutInt32(b, kCheckSumAt, 0x1DCBA);
}

}  // namespace

TEST(Sha0, MatchesTheStandardsTestVectors) {
  EXPECT_EQ(HashOf("abc"), "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880");
  EXPECT_EQ(HashOf(""), "F96CEA198AD1DD5617AC084A3D92C6107708C0EF");
  // 56 bytes: the length no longer fits the first block.
  EXPECT_EQ(HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "D2516EE1ACFA5BAF33DFC1C471E438449EF134C8");
  TSha0 sha;
  std::string chunk(1000, 'a');
  for (int i = 0; i < 1000; ++i) sha.Update(chunk.data(), chunk.size());
  EXPECT_EQ(sha.FinalHex(), "3232AFFA48628A26653B5AAA44541FD90D690603");
  // Final starts over.
  sha.Update("abc", 3);
  EXPECT_EQ(sha.FinalHex(), "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880");
}

TEST(Sha0, PiecewiseUpdatesGiveTheSameDigest) {
  std::string data;
  for (int i = 0; i < 300; ++i) data.push_back(static_cast<char>(i * 7 + 3));
  for (std::size_t length : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
    const std::string whole = Sha0Hex(data.data(), length);
    for (std::size_t split = 0; split <= length; split += 5) {
      TSha0 sha;
      sha.Update(data.data(), split);
      sha.Update(nullptr, 0);
      for (std::size_t at = split; at < length; at += 3)
        sha.Update(data.data() + at, length - at < 3 ? length - at : 3);
      ASSERT_EQ(sha.FinalHex(), whole) << "length " << length << " split " << split;
    }
  }
  EXPECT_NE(Sha0Hex(data.data(), 64), Sha0Hex(data.data(), 65));
}

TEST(SelfCheck, SoundFilesPassAndReportTheirArchives) {
  TImage img = SealedImage(1000, 300, 5000);
  TExtractionInfo info;
  ASSERT_EQ(Check(img.bytes, info), TSelfCheckError::None);
  EXPECT_EQ(info.Kind(), TExtractionKind::SelfExtracting);
  EXPECT_EQ(info.SetupFirst, 1000);
  EXPECT_EQ(info.SetupLast, 1299);
  EXPECT_EQ(info.FilesFirst, 1300);
  EXPECT_EQ(info.FilesLast, 6299);
  EXPECT_EQ(info.SetupSize(), 300u);
  EXPECT_EQ(info.FilesSize(), 5000u);
  EXPECT_TRUE(info.HasMainArchive());

  // Without a main archive its offsets are zero.
  img = SealedImage(700, 5, 0);
  ASSERT_EQ(Check(img.bytes, info), TSelfCheckError::None);
  EXPECT_EQ(info.SetupFirst, 700);
  EXPECT_EQ(info.SetupLast, 704);
  EXPECT_FALSE(info.HasMainArchive());
  EXPECT_EQ(info.FilesSize(), 0u);

  // A loader followed by separate archive files.
  Bytes separate(2048, 0x90);
  Append(separate, Record("NOTSELFEXTRACT", 0, 0, 0, 0));
  Seal(separate);
  ASSERT_EQ(Check(separate, info), TSelfCheckError::None);
  EXPECT_EQ(info.Kind(), TExtractionKind::NotSelfExtracting);
  EXPECT_FALSE(info.HasSetupArchive());

  // A lower-case trailer carries the same digest.
  img = SealedImage(100, 50, 0);
  for (std::size_t i = img.bytes.size() - 40; i < img.bytes.size(); ++i)
    if (img.bytes[i] >= 'A' && img.bytes[i] <= 'F') img.bytes[i] = static_cast<std::uint8_t>(img.bytes[i] + 32);
  EXPECT_EQ(Check(img.bytes), TSelfCheckError::None);
}

TEST(SelfCheck, EveryDamagedByteIsNoticed) {
  const TImage img = SealedImage(64, 40, 30);
  for (std::size_t i = 0; i < img.bytes.size(); ++i) {
    for (std::uint8_t mask : {0x01, 0x80}) {
      Bytes damaged = img.bytes;
      damaged[i] ^= mask;
      TExtractionInfo info;
      TSelfCheckError e = Check(damaged, info);
      ASSERT_NE(e, TSelfCheckError::None) << "byte " << i;
      EXPECT_EQ(info.SetupFirst, 0);
      if (i < img.bytes.size() - 40) {
        EXPECT_EQ(e, TSelfCheckError::ChecksumMismatch) << "byte " << i;
      }
    }
  }
}

TEST(SelfCheck, TruncatedFilesAreRefused) {
  const TImage img = SealedImage(64, 40, 30);
  for (std::size_t n = 0; n < img.bytes.size(); ++n) {
    Bytes cut(img.bytes.begin(), img.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    TSelfCheckError e = Check(cut);
    ASSERT_NE(e, TSelfCheckError::None) << n;
    if (n < 40) {
      EXPECT_EQ(e, TSelfCheckError::NoChecksum) << n;
    }
  }
  // Resealed after the cut: the checksum holds, the record does not.
  Bytes cut(img.bytes.begin(), img.bytes.end() - 40 - 10);
  Seal(cut);
  EXPECT_EQ(Check(cut), TSelfCheckError::NoExtractionInfo);
}

TEST(SelfCheck, ChecksumTrailerEdgeCases) {
  // 40 bytes: the digest of no bytes at all, and no room for a record.
  Bytes only(40);
  std::string empty = Sha0Hex(nullptr, 0);
  std::memcpy(only.data(), empty.data(), 40);
  TMemorySource src(only.data(), only.size());
  std::string computed;
  EXPECT_EQ(VerifyChecksumTrailer(src, &computed), TSelfCheckError::None);
  EXPECT_EQ(computed, empty);
  EXPECT_EQ(Check(only), TSelfCheckError::NoExtractionInfo);

  // A trailer that is not hexadecimal (an unsealed program).
  TImage img = SealedImage(100, 50, 0);
  img.bytes[img.bytes.size() - 1] = 'G';
  EXPECT_EQ(Check(img.bytes), TSelfCheckError::NoChecksum);
  img.bytes[img.bytes.size() - 1] = 0;
  EXPECT_EQ(Check(img.bytes), TSelfCheckError::NoChecksum);
  Bytes none;
  EXPECT_EQ(Check(none), TSelfCheckError::NoChecksum);
}

TEST(SelfCheck, RecordsThatDoNotDescribeTheFileAreRefusedEvenWhenSealed) {
  auto sealedWith = [](std::int32_t s1, std::int32_t s2, std::int32_t f1, std::int32_t f2) {
    Bytes b(100, 0x90);
    Append(b, Archive(50, 0x11));
    Append(b, Archive(30, 0x22));
    Append(b, Record("SELFEXTRACTING", s1, s2, f1, f2));
    Seal(b);
    return b;
  };
  EXPECT_EQ(Check(sealedWith(100, 149, 150, 179)), TSelfCheckError::None);
  EXPECT_EQ(Check(sealedWith(100, 149, 150, 178)), TSelfCheckError::BadExtractionInfo);  // ends early
  EXPECT_EQ(Check(sealedWith(100, 149, 150, 180)), TSelfCheckError::BadExtractionInfo);  // runs into the record
  EXPECT_EQ(Check(sealedWith(100, 149, 0, 0)), TSelfCheckError::BadExtractionInfo);      // main archive unlisted
  EXPECT_EQ(Check(sealedWith(100, 179, 0, 0)), TSelfCheckError::None);  // one archive reaching the record
  EXPECT_EQ(Check(sealedWith(100, 170000, 170001, 179)), TSelfCheckError::BadExtractionInfo);
}

TEST(ExtractionInfo, DecodesTheRecordLayout) {
  Bytes r = Record("SELFEXTRACTING", 0x01020304, 0x01020404, 0x01020405, 0x7FFFFFFE);
  TExtractionInfo info;
  ASSERT_EQ(ParseExtractionInfo(r.data(), r.size(), info), TSelfCheckError::None);
  EXPECT_EQ(info.SetupFirst, 0x01020304);
  EXPECT_EQ(info.SetupLast, 0x01020404);
  EXPECT_EQ(info.FilesFirst, 0x01020405);
  EXPECT_EQ(info.FilesLast, 0x7FFFFFFE);
  EXPECT_EQ(info.SetupSize(), 0x101u);
  // The encoder writes the same bytes.
  auto encoded = info.Encode();
  EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), r);
  info.Marker = kNotSelfExtractMarker;
  encoded = info.Encode();
  EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), Record("NOTSELFEXTRACT", 0, 0, 0, 0));
  // Reserved bytes carry no meaning.
  r[40] = 0xFF;
  r[15] = 'X';
  EXPECT_EQ(Parse(r), TSelfCheckError::None);
}

TEST(ExtractionInfo, RefusesUnknownMarkersAndImpossibleOffsets) {
  EXPECT_EQ(Parse(Record("SELFEXTRACTING", 100, 104, 0, 0, 13)), TSelfCheckError::NoExtractionInfo);
  EXPECT_EQ(Parse(Record("SELFEXTRACTING", 100, 104, 0, 0, 15)), TSelfCheckError::NoExtractionInfo);
  EXPECT_EQ(Parse(Record("SELFEXTRACTING", 100, 104, 0, 0, 255)), TSelfCheckError::NoExtractionInfo);
  EXPECT_EQ(Parse(Record("SELFEXTRACTINX", 100, 104, 0, 0)), TSelfCheckError::NoExtractionInfo);
  EXPECT_EQ(Parse(Record("selfextracting", 100, 104, 0, 0)), TSelfCheckError::NoExtractionInfo);
  EXPECT_EQ(Parse(Bytes(56, 0)), TSelfCheckError::NoExtractionInfo);
  Bytes shortRecord = Record("SELFEXTRACTING", 100, 104, 0, 0);
  shortRecord.pop_back();
  EXPECT_EQ(Parse(shortRecord), TSelfCheckError::NoExtractionInfo);
  TExtractionInfo info;
  EXPECT_EQ(ParseExtractionInfo(nullptr, 56, info), TSelfCheckError::NoExtractionInfo);

  EXPECT_EQ(Parse(Record("NOTSELFEXTRACT", 0, 0, 0, 1)), TSelfCheckError::BadExtractionInfo);
  EXPECT_EQ(Parse(Record("NOTSELFEXTRACT", 100, 0, 0, 0)), TSelfCheckError::BadExtractionInfo);
  const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  for (auto offsets : std::vector<std::vector<std::int32_t>>{
           {0, 104, 0, 0},             // no loader before the setup archive
           {-5, 104, 0, 0},            // before the file
           {100, 103, 0, 0},           // smaller than an archive's prefix
           {100, 50, 0, 0},            // ends before it starts
           {100, 104, 106, 200},       // a gap between the archives
           {100, 104, 104, 200},       // overlapping archives
           {100, 104, 105, 108},       // main archive too small
           {100, 104, 105, 0},         // only one main-archive offset
           {100, 104, 0, 200},         // only one main-archive offset
           {100, kMax, kMin, kMin + 10},  // wraps around
           {kMin, kMax, 0, 0},
           {100, kMax, 0, 0}}) {       // sound on its own; the file decides
    Bytes r = Record("SELFEXTRACTING", offsets[0], offsets[1], offsets[2], offsets[3]);
    TSelfCheckError e = Parse(r);
    if (offsets[1] == kMax && offsets[0] == 100 && offsets[2] == 0) {
      EXPECT_EQ(e, TSelfCheckError::None);
      TExtractionInfo big;
      ParseExtractionInfo(r.data(), r.size(), big);
      EXPECT_EQ(big.SetupSize(), static_cast<std::uint32_t>(kMax) - 99u);
      EXPECT_EQ(ValidateExtractionInfo(big, 1000), TSelfCheckError::BadExtractionInfo);
      EXPECT_EQ(ValidateExtractionInfo(big, std::uint64_t(kMax) + 1), TSelfCheckError::None);
    } else {
      EXPECT_EQ(e, TSelfCheckError::BadExtractionInfo) << offsets[0] << " " << offsets[1] << " "
                                                       << offsets[2] << " " << offsets[3];
    }
  }
}

TEST(ExtractionInfo, RandomRecordsNeverYieldImpossibleArchives) {
  std::mt19937 rng(12345);
  Bytes base = Record("SELFEXTRACTING", 1000, 1299, 1300, 6299);
  int accepted = 0;
  for (int round = 0; round < 20000; ++round) {
    Bytes r = base;
    int flips = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < flips; ++i) r[rng() % 32] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    TExtractionInfo info;
    if (ParseExtractionInfo(r.data(), r.size(), info) != TSelfCheckError::None) {
      ASSERT_EQ(info.SetupFirst, 0);
      continue;
    }
    ++accepted;
    if (info.Kind() == TExtractionKind::NotSelfExtracting) continue;
    ASSERT_GT(info.SetupFirst, 0);
    ASSERT_GE(info.SetupSize(), 5u);
    if (info.HasMainArchive()) {
      ASSERT_EQ(std::int64_t(info.FilesFirst), std::int64_t(info.SetupLast) + 1);
      ASSERT_GE(info.FilesSize(), 5u);
    }
  }
  EXPECT_GT(accepted, 0);
}

TEST(ByteSources, ReadsStayInsideTheirBounds) {
  const std::uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  TMemorySource src(data, sizeof(data));
  std::uint8_t out[10] = {};
  EXPECT_TRUE(src.ReadAt(6, out, 4));
  EXPECT_EQ(out[3], 9);
  EXPECT_TRUE(src.ReadAt(10, out, 0));
  EXPECT_FALSE(src.ReadAt(7, out, 4));
  EXPECT_FALSE(src.ReadAt(11, out, 0));
  EXPECT_FALSE(src.ReadAt(1, out, std::numeric_limits<std::size_t>::max()));
  EXPECT_FALSE(src.ReadAt(std::numeric_limits<std::uint64_t>::max(), out, 2));
}

TEST(SelfCheckFile, ChecksFilesOnDisk) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("twselfcheck_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  auto write = [&](const char* name, const Bytes& b) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                       static_cast<std::streamsize>(b.size()));
    return (dir / name).string();
  };
  // Larger than one read block, so that the digest spans several reads.
  TImage img = SealedImage(70000, 100000, 3000);
  TExtractionInfo info;
  EXPECT_EQ(CheckSelfExtractingFile(write("setup.exe", img.bytes), info), TSelfCheckError::None);
  EXPECT_EQ(info.FilesFirst, img.filesFirst);
  EXPECT_EQ(info.FilesLast, img.filesLast);

  img.bytes[80000] ^= 4;
  EXPECT_EQ(CheckSelfExtractingFile(write("damaged.exe", img.bytes), info), TSelfCheckError::ChecksumMismatch);
  EXPECT_EQ(CheckSelfExtractingFile(write("empty.exe", Bytes()), info), TSelfCheckError::NoChecksum);
  EXPECT_EQ(CheckSelfExtractingFile((dir / "missing.exe").string(), info), TSelfCheckError::CannotOpen);

  {
    TFileSource file;
    ASSERT_TRUE(file.Open((dir / "setup.exe").string()));
    std::uint8_t two[2];
    EXPECT_TRUE(file.ReadAt(0, two, 2));
    EXPECT_EQ(two[0], 'M');
    EXPECT_FALSE(file.ReadAt(file.Size() - 1, two, 2));
  }
  // Every file was closed again (Windows refuses to delete open files).
  std::error_code ec;
  fs::remove_all(dir, ec);
  EXPECT_FALSE(ec) << ec.message();
}

TEST(SelfCheck, EveryFailureHasAMessage) {
  for (TSelfCheckError e : {TSelfCheckError::CannotOpen, TSelfCheckError::ReadError, TSelfCheckError::NoChecksum,
                            TSelfCheckError::ChecksumMismatch, TSelfCheckError::NoExtractionInfo,
                            TSelfCheckError::BadExtractionInfo, TSelfCheckError::MisplacedSignature})
    EXPECT_GT(std::strlen(SelfCheckMessage(e)), 20u);
  EXPECT_STREQ(SelfCheckMessage(TSelfCheckError::None), "");
}

TEST(SelfCheck, LoadingProgramAcceptsSealedFilesAndBareFloppyCopiesOnly) {
  auto check = [](const Bytes& b, TExtractionInfo& info, bool& sealed) {
    TMemorySource src(b.data(), b.size());
    return CheckSetupFile(src, info, &sealed);
  };
  TExtractionInfo info;
  bool sealed = false;
  TImage img = SealedImage(3000, 400, 600);
  EXPECT_EQ(check(img.bytes, info, sealed), TSelfCheckError::None);
  EXPECT_TRUE(sealed);
  EXPECT_EQ(info.SetupFirst, img.setupFirst);

  // The floppy transfer's copy: the program and a bare separate-archives record.
  Bytes floppy(3000, 0x90);
  Append(floppy, Record("NOTSELFEXTRACT", 0, 0, 0, 0));
  EXPECT_EQ(check(floppy, info, sealed), TSelfCheckError::None);
  EXPECT_FALSE(sealed);
  EXPECT_EQ(info.Kind(), TExtractionKind::NotSelfExtracting);

  // A bare record that claims embedded archives carries no checksum to
  // vouch for them.
  Bytes bare = floppy;
  bare.resize(3000);
  Append(bare, Record("SELFEXTRACTING", 100, 2999, 0, 0));
  EXPECT_EQ(check(bare, info, sealed), TSelfCheckError::NoChecksum);
  // A sealed file whose trailer lost its last character is refused, not
  // taken for a floppy copy; so is a floppy copy whose record is damaged.
  Bytes cut = img.bytes;
  cut.pop_back();
  EXPECT_EQ(check(cut, info, sealed), TSelfCheckError::NoChecksum);
  Bytes damaged = floppy;
  damaged[damaged.size() - 56 + 16] = 1;
  EXPECT_EQ(check(damaged, info, sealed), TSelfCheckError::NoChecksum);
  // A damaged sealed file stays a checksum failure.
  Bytes flipped = img.bytes;
  flipped[3100] ^= 4;
  EXPECT_EQ(check(flipped, info, sealed), TSelfCheckError::ChecksumMismatch);
}

// A signed file is checked as the build sealed it: every covered byte, at
// each length of the padding, and the table only where the entry puts it,
// right behind the padded trailer and up to the end of the file.
TEST(SelfCheck, SignedFilesAreCheckedAsTheBuildSealedThem) {
  for (std::size_t loader = 600; loader < 608; ++loader) {
    const TImage img = SealedPeImage(loader, 70, 90);
    const std::size_t sealedSize = img.bytes.size();
    Bytes signedFile = img.bytes;
    Sign(signedFile);
    TExtractionInfo info;
    ASSERT_EQ(Check(signedFile, info), TSelfCheckError::None) << loader;
    EXPECT_EQ(info.FilesFirst, img.filesFirst);
    EXPECT_EQ(info.FilesLast, img.filesLast);
    // Nothing of the seal changes when the file is signed again.
    Bytes resigned = signedFile;
    resigned.resize(sealedSize);
    Sign(resigned, 800);
    EXPECT_EQ(Check(resigned), TSelfCheckError::None);

    for (std::size_t at : {std::size_t(2), kCheckSumAt - 1, kSecurityAt + 8, std::size_t(img.setupFirst) + 7,
                           std::size_t(img.filesFirst) + 20, sealedSize - 96 + 16}) {
      Bytes damaged = signedFile;
      damaged[at] ^= 0x40;
      EXPECT_EQ(Check(damaged), TSelfCheckError::ChecksumMismatch) << loader << " byte " << at;
    }
    // What signing rewrites, and the table itself, are not covered.
    for (std::size_t at : {kCheckSumAt + 3, signedFile.size() - 1}) {
      Bytes changed = signedFile;
      changed[at] ^= 0x40;
      EXPECT_EQ(Check(changed), TSelfCheckError::None) << loader << " byte " << at;
    }
  }

  const TImage img = SealedPeImage(640, 70, 90);
  const std::size_t table = (img.bytes.size() + 7) / 8 * 8;
  auto signedWith = [&](std::size_t gap, std::uint8_t fill, std::int32_t entryDelta, std::size_t tail) {
    Bytes b = img.bytes;
    Sign(b);
    b.insert(b.begin() + static_cast<std::ptrdiff_t>(table), gap, fill);
    PutInt32(b, kSecurityAt, static_cast<std::int32_t>(table + gap) + entryDelta);
    b.insert(b.end(), tail, 0);
    return b;
  };
  struct TMoved { const char* what; Bytes file; } moved[] = {
      {"zeros between trailer and table", signedWith(8, 0, 0, 0)},
      {"bytes between trailer and table", signedWith(16, 'Z', 0, 0)},
      {"hexadecimal bytes between trailer and table", signedWith(40, 'A', 0, 0)},
      {"an entry before the table", signedWith(0, 0, -8, 0)},
      {"an entry not 8-byte aligned", signedWith(0, 0, 4, 0)},
      {"bytes after the table", signedWith(0, 0, 0, 8)},
  };
  for (const TMoved& m : moved) {
    const TSelfCheckError e = Check(m.file);
    EXPECT_TRUE(e == TSelfCheckError::MisplacedSignature || e == TSelfCheckError::ChecksumMismatch)
        << m.what << ": " << SelfCheckMessage(e);
    TMemorySource src(m.file.data(), m.file.size());
    TExtractionInfo info;
    EXPECT_EQ(CheckSetupFile(src, info), e) << m.what;
  }
  EXPECT_EQ(Check(moved[0].file), TSelfCheckError::MisplacedSignature);
  EXPECT_EQ(Check(moved[5].file), TSelfCheckError::MisplacedSignature);
  // An unsigned file keeps the old rule: a table entry without a table is
  // refused, and nothing may follow the trailer.
  Bytes entryOnly = img.bytes;
  PutInt32(entryOnly, kSecurityAt, 64);
  EXPECT_EQ(Check(entryOnly), TSelfCheckError::MisplacedSignature);
  Bytes appended = img.bytes;
  appended.push_back(0);
  EXPECT_EQ(Check(appended), TSelfCheckError::NoChecksum);
}

// The build writes the record with the same codec the loading program and
// the tools read it with: what it encodes is the disk layout, passes the
// loading program's check in place and decodes to the same values.
TEST(ExtractionInfo, OneCodecWritesWhatTheLoadingProgramAndTheToolsRead) {
  struct TCase { const char* marker; std::int32_t s1, s2, f1, f2; } cases[] = {
      {"SELFEXTRACTING", 64, 563, 564, 1563}, {"SELFEXTRACTING", 64, 999, 0, 0}, {"NOTSELFEXTRACT", 0, 0, 0, 0}};
  for (const TCase& c : cases) {
    TExtractionInfo info;
    info.Marker = c.marker;
    info.SetupFirst = c.s1, info.SetupLast = c.s2, info.FilesFirst = c.f1, info.FilesLast = c.f2;
    const auto encoded = info.Encode();
    EXPECT_EQ(Bytes(encoded.begin(), encoded.end()), Record(c.marker, c.s1, c.s2, c.f1, c.f2)) << c.marker;
    const TExtractionInfo back = TExtractionInfo::Decode(encoded.data());
    EXPECT_EQ(back.Marker, c.marker);
    EXPECT_EQ(back.FilesFirst, c.f1);
    // A file laid out as the record says, sealed.
    Bytes file(static_cast<std::size_t>(std::max(c.f2, c.s2) + 1), 0x5A);
    if (c.s1 == 0) file.resize(64);
    Append(file, Bytes(encoded.begin(), encoded.end()));
    Seal(file);
    TMemorySource source(file.data(), file.size());
    TExtractionInfo checked;
    ASSERT_EQ(CheckSetupFile(source, checked), TSelfCheckError::None) << c.marker;
    EXPECT_EQ(checked.Kind(), back.Kind());
    EXPECT_EQ(checked.SetupSize(), back.SetupSize());
    EXPECT_EQ(checked.FilesSize(), back.FilesSize());
    EXPECT_EQ(ExtractionInfoPosition(static_cast<std::int64_t>(file.size())),
              static_cast<std::int64_t>(file.size() - ExtractionInfoDistance));
  }
}
