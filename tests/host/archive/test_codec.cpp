#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "MessageOf.h"
#include "format_Archive.h"
#include "hash_SHA0.h"
#include "routines_Compression.h"
#include "routines_VersionCompare.h"
#include "routines_Workers.h"

using testsupport::MessageOf;

namespace {

std::vector<std::uint8_t> Inflate(const std::vector<std::uint8_t>& z) {
  std::vector<std::uint8_t> out(1 << 22);
  uLongf n = out.size();
  EXPECT_EQ(uncompress(out.data(), &n, z.data(), z.size()), Z_OK);
  out.resize(n);
  return out;
}

std::vector<std::uint8_t> Compress(const std::vector<std::uint8_t>& data, TCompressionLevel level,
                                   int* progress = nullptr) {
  TMemoryStream target;
  {
    TCompressionStream c(level, target);
    if (progress) c.OnProgress = [progress](void*) { ++*progress; };
    c.WriteBuffer(data.data(), static_cast<long>(data.size()));
    EXPECT_EQ(c.Seek(0, soCurrent), static_cast<std::int64_t>(data.size()));
  }
  return target.Data();
}

const char* const kCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be "
    "corrupt";
}  // namespace

TEST(Sha0, KnownDigestsOfTheFirstSecureHashStandard) {
  EXPECT_EQ(Sha0Hex("abc"), "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880");
  EXPECT_EQ(Sha0Hex(""), "F96CEA198AD1DD5617AC084A3D92C6107708C0EF");
  // Pieces of any size give the digest of the whole message.
  std::string msg(1000, 'q');
  for (size_t i = 0; i < msg.size(); ++i) msg[i] = static_cast<char>(i * 7);
  TSha0 h;
  for (size_t p = 0; p < msg.size(); p += 37) h.Update(msg.data() + p, std::min<size_t>(37, msg.size() - p));
  EXPECT_EQ(h.HexDigest(), Sha0Hex(msg));
  EXPECT_NE(Sha0Hex(msg), Sha0Hex(msg.substr(1)));
}

TEST(CompressionStream, ProducesStandardZlibStreamsAtEveryLevel) {
  std::vector<std::uint8_t> text;
  for (int i = 0; i < 300000; ++i) text.push_back(static_cast<std::uint8_t>("abcdefgh\n"[i % 9] + (i / 5000) % 3));
  for (TCompressionLevel l : {colNone, colFastest, colDefault, colMax}) {
    auto z = Compress(text, l);
    EXPECT_EQ(Inflate(z), text) << l;
    if (l == colNone) EXPECT_GT(z.size(), text.size());
    else EXPECT_LT(z.size(), text.size() / 4);
  }
  // Zero bytes of input still make a complete stream.
  auto empty = Compress({}, colMax);
  EXPECT_GE(empty.size(), 8u);
  EXPECT_TRUE(Inflate(empty).empty());
}

TEST(CompressionStream, FlushesWhole64KiBBlocksWithProgressAndRefusesReadsAndSeeks) {
  std::vector<std::uint8_t> noise(400000);
  std::uint32_t x = 12345;
  for (auto& b : noise) { x = x * 1103515245u + 12345u; b = static_cast<std::uint8_t>(x >> 24); }
  int progress = 0;
  auto z = Compress(noise, colMax, &progress);
  EXPECT_EQ(progress, static_cast<int>(z.size() / 65536));
  EXPECT_EQ(Inflate(z), noise);

  TMemoryStream target;
  TCompressionStream c(colMax, target);
  char buf[4];
  EXPECT_EQ(MessageOf([&] { c.Read(buf, 4); }), "Invalid stream operation");
  EXPECT_EQ(MessageOf([&] { c.Seek(1, soCurrent); }), "Invalid stream operation");
  EXPECT_EQ(MessageOf([&] { c.Seek(0, soBeginning); }), "Invalid stream operation");
}

TEST(CompressionStream, ShortWriteOfTheTargetRaisesAndStillReleasesDeflate) {
  std::vector<std::uint8_t> noise(200000);
  std::uint32_t x = 99;
  for (auto& b : noise) { x = x * 1103515245u + 12345u; b = static_cast<std::uint8_t>(x >> 24); }
  TMemoryStream target;
  target.SetCapacityLimit(70000);
  TCompressionStream c(colMax, target);
  EXPECT_EQ(MessageOf([&] { c.WriteBuffer(noise.data(), static_cast<long>(noise.size())); }),
            "Stream write error");
  EXPECT_EQ(CCheck(Z_STREAM_END), Z_STREAM_END);
  EXPECT_EQ(MessageOf([] { DCheck(Z_DATA_ERROR); }), "error");
}

TEST(VersionStrings, NumericItemsTextItemsAndExtraItems) {
  EXPECT_GT(CompareVersionStrings("1.10", "1.9"), 0);
  EXPECT_LT(CompareVersionStrings("1.9", "1.10"), 0);
  EXPECT_EQ(CompareVersionStrings("2.0.1.7", "2.0.1.7"), 0);
  EXPECT_EQ(CompareVersionStrings("", ""), 0);
  EXPECT_GT(CompareVersionStrings("1.0.0", "1.0"), 0);
  EXPECT_LT(CompareVersionStrings("1.0", "1.0.0"), 0);
  EXPECT_GT(CompareVersionStrings("1.0b", "1.0a"), 0);
  EXPECT_LT(CompareVersionStrings("1.10a", "1.9a"), 0);  // text: '1' < '9'
  EXPECT_GT(CompareVersionStrings("1", ""), 0);
}

namespace {
TFileHeaderRec Header(const std::string& name, std::int32_t id) {
  TFileHeaderRec r;
  r.Sequence = 3;
  r.FileDate = 38777.25;
  r.SetStoredName(name);
  r.Size = 1234;
  r.Identifier = id;
  r.SetFileVersion("5.1.2600.2180.extra.items.here");
  return r;
}
}  // namespace

TEST(ArchiveFormat, HeaderRoundTripsThrough176BytesWithCutNamesAndKeptPadding) {
  TFileHeaderRec r = Header(std::string(130, 'n'), 42);
  r.Raw[5] = 0xAB;  // padding read from an archive is carried over
  auto b = r.Encode();
  TFileHeaderRec d = TFileHeaderRec::Decode(b.data());
  EXPECT_EQ(d.StoredName, std::string(100, 'n'));
  EXPECT_EQ(d.FileVersion, "5.1.2600.2180.extra.");
  EXPECT_EQ(d.Identifier, 42);
  EXPECT_EQ(d.Size, 1234);
  EXPECT_DOUBLE_EQ(d.FileDate, 38777.25);
  EXPECT_EQ(b[5], 0xAB);
  EXPECT_EQ(b[24], 100);
  EXPECT_EQ(b[148], 42);
  // A hostile length byte never reads past the field.
  b[152] = 255;
  EXPECT_EQ(TFileHeaderRec::Decode(b.data()).FileVersion.size(), 20u);
}

TEST(ArchiveFormat, TableLayoutWritesAndReadsBackAtAnyStart) {
  TFileHeaders h;
  h.TableFlag = true;
  for (int i = 0; i < 3; ++i) {
    auto fh = std::make_unique<TFileHeader>();
    fh->Rec = Header("C:\\src\\f" + std::to_string(i), 10 + i);
    h.Add(std::move(fh));
  }
  TMemoryStream s;
  h.Write(s);
  EXPECT_EQ(s.Size(), 5 + 3 * 176);
  EXPECT_EQ(h.GetFileHeaders(1).Rec.NextHeader, 5 + 2 * 176);
  // Read from inside a host file at offset 1000.
  TMemoryStream host;
  std::vector<std::uint8_t> lead(1000, 0x5A);
  host.WriteBuffer(lead.data(), 1000);
  host.WriteBuffer(s.Data().data(), static_cast<long>(s.Size()));
  TFileHeaders back;
  back.Read(host, 1000);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_TRUE(back.TableFlag);
  EXPECT_EQ(back.GetFileHeaders(2).Rec.StoredName, "C:\\src\\f2");
  EXPECT_TRUE(back.GetFileHeaders(0).LoadedFromArchive);
  EXPECT_EQ(back.Find("c:\\SRC\\F1;extra text"), 1);
  EXPECT_EQ(back.Find("f1"), -1);
  TIdentifierIndex idx;
  idx.Build(back);
  EXPECT_EQ(idx.Get(12), 2);
  EXPECT_EQ(idx.Get(2000), 0);
  EXPECT_EQ(idx.Get(-1), 0);
  EXPECT_EQ(MessageOf([&] { back.GetFileHeaders(3); }),
            "3 is an invalid TFileHeader index in TFileHeaders.GetFileHeaders");
}

TEST(ArchiveFormat, CorruptOrTruncatedArchivesGiveClearMessages) {
  TFileHeaders h;
  TMemoryStream tiny(std::vector<std::uint8_t>{1, 0, 0});
  EXPECT_EQ(MessageOf([&] { h.Read(tiny, 0); }),
            "Could not read the file header count for the compressed file");
  // A count beyond what the file can hold.
  TMemoryStream huge(std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0x7F, 0});
  EXPECT_EQ(MessageOf([&] { h.Read(huge, 0); }), kCorrupt);
  TMemoryStream negative(std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0});
  EXPECT_EQ(MessageOf([&] { h.Read(negative, 0); }), kCorrupt);
  // A blank stored name.
  TFileHeaderRec blank = Header("   ", 1);
  blank.NextHeader = 5 + 176;
  std::vector<std::uint8_t> bytes{1, 0, 0, 0, 0};
  auto b = blank.Encode();
  bytes.insert(bytes.end(), b.begin(), b.end());
  TMemoryStream blankS(bytes);
  EXPECT_EQ(MessageOf([&] { h.Read(blankS, 0); }), "Tried to add an invalid file header");
  // Two members but the second header points outside the file.
  TFileHeaderRec good = Header("a.txt", 1);
  good.NextHeader = 0x7FFFFFF0;
  std::vector<std::uint8_t> two{2, 0, 0, 0, 0};
  auto g = good.Encode();
  two.insert(two.end(), g.begin(), g.end());
  two.insert(two.end(), g.begin(), g.end());
  TMemoryStream twoS(two);
  EXPECT_EQ(MessageOf([&] { h.Read(twoS, 0); }), kCorrupt);
}

TEST(ArchiveFormat, InflateMemberChecksDataAndStopsAtTheDeclaredSize) {
  std::vector<std::uint8_t> data(100000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251);
  auto z = Compress(data, colMax);
  // Spread the stream over three "disks".
  size_t a = z.size() / 3, b2 = 2 * z.size() / 3;
  std::vector<TMemoryStream> disks;
  disks.emplace_back(std::vector<std::uint8_t>(z.begin(), z.begin() + a));
  disks.emplace_back(std::vector<std::uint8_t>(z.begin() + a, z.begin() + b2));
  std::vector<std::uint8_t> last(z.begin() + b2, z.end());
  last.resize(last.size() + 50, 0xEE);  // bytes after the data end are not read
  disks.emplace_back(last);
  std::vector<int> asked;
  std::vector<std::uint8_t> out;
  TInflateRequest r;
  r.Source = &disks[0];
  r.Disk = 1;
  r.LastDisk = 3;
  r.EndPosition = static_cast<std::int64_t>(z.size() - b2 - 1);
  r.MaxOutput = static_cast<std::int64_t>(data.size());
  r.NextSource = [&](int d) { asked.push_back(d); return &disks[static_cast<size_t>(d - 1)]; };
  r.OnBlock = [&](const std::uint8_t* p, long n) {
    EXPECT_LE(n, 4096);
    out.insert(out.end(), p, p + n);
  };
  EXPECT_EQ(InflateMember(r), static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(out, data);
  EXPECT_EQ(asked, (std::vector<int>{2, 3}));

  // A declared size smaller than the data, damaged data and truncated data.
  TMemoryStream one(z);
  TInflateRequest small;
  small.Source = &one;
  small.EndPosition = static_cast<std::int64_t>(z.size() - 1);
  small.MaxOutput = 1000;
  small.MemberName = "x.bin";
  const std::string damaged =
      "The compressed data of the file x.bin is damaged. The Archive file could possible be corrupt";
  EXPECT_EQ(MessageOf([&] { InflateMember(small); }), damaged);
  std::vector<std::uint8_t> bad = z;
  for (size_t i = 10; i < 40; ++i) bad[i] ^= 0x55;
  TMemoryStream badS(bad);
  small.Source = &badS;
  small.MaxOutput = 1 << 20;
  EXPECT_EQ(MessageOf([&] { InflateMember(small); }), damaged);
  TMemoryStream cut(std::vector<std::uint8_t>(z.begin(), z.begin() + z.size() / 2));
  small.Source = &cut;
  small.EndPosition = static_cast<std::int64_t>(z.size() / 2 - 1);
  EXPECT_EQ(MessageOf([&] { InflateMember(small); }), damaged);
}

TEST(ArchiveFormat, OneInflaterServesMemberAfterMemberAlsoAfterAFailedOne) {
  std::vector<std::uint8_t> a(70000), b(5000);
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<std::uint8_t>((i * 7) % 253);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i % 13);
  auto za = Compress(a, colMax), zb = Compress(b, colFastest);
  std::vector<std::uint8_t> bad = za;
  for (size_t i = 100; i < 140; ++i) bad[i] ^= 0x5A;
  TInflater inflater;
  auto run = [&](const std::vector<std::uint8_t>& z, std::int64_t maxOutput) {
    TMemoryStream s(z);
    std::vector<std::uint8_t> out;
    TInflateRequest r;
    r.Source = &s;
    r.EndPosition = static_cast<std::int64_t>(z.size() - 1);
    r.MaxOutput = maxOutput;
    r.MemberName = "m";
    r.Inflater = &inflater;
    r.OnBlock = [&](const std::uint8_t* p, long n) { out.insert(out.end(), p, p + n); };
    InflateMember(r);
    return out;
  };
  EXPECT_EQ(run(za, 1 << 20), a);
  // Members that fail half-way leave input and state behind; none of it
  // reaches the next member.
  EXPECT_THROW(run(bad, 1 << 20), ETrnwCompress);
  EXPECT_EQ(run(zb, 1 << 20), b);
  EXPECT_THROW(run(za, 1000), ETrnwCompress);
  EXPECT_EQ(run(zb, 1 << 20), b);
  EXPECT_THROW(run(std::vector<std::uint8_t>(za.begin(), za.begin() + za.size() / 2), 1 << 20), ETrnwCompress);
  EXPECT_EQ(run(za, 1 << 20), a);

  // A member inflated from inside another member's block handler.
  TMemoryStream outer(za);
  std::vector<std::uint8_t> got, inner;
  TInflateRequest r;
  r.Source = &outer;
  r.EndPosition = static_cast<std::int64_t>(za.size() - 1);
  r.MaxOutput = 1 << 20;
  r.Inflater = &inflater;
  r.OnBlock = [&](const std::uint8_t* p, long n) {
    got.insert(got.end(), p, p + n);
    if (inner.empty()) inner = run(zb, 1 << 20);
  };
  InflateMember(r);
  EXPECT_EQ(got, a);
  EXPECT_EQ(inner, b);
}

TEST(ArchiveFormat, ExtractionInfoRecordIs56BytesWithAZeroAfterTheMarker) {
  TExtractionInfo e;
  e.Marker = "SELFEXTRACTING";
  e.SetupFirst = 100;
  e.SetupLast = 199;
  e.FilesFirst = 200;
  e.FilesLast = 4000;
  auto b = e.Encode();
  EXPECT_EQ(b[0], 14);
  EXPECT_EQ(b[15], 0);
  EXPECT_EQ(b[24], 200);
  EXPECT_EQ(b[55], 0);
  TExtractionInfo d = TExtractionInfo::Decode(b.data());
  EXPECT_EQ(d.Marker, "SELFEXTRACTING");
  EXPECT_EQ(d.FilesFirst, 200);
  EXPECT_EQ(d.FilesLast, 4000);
  EXPECT_EQ(ExtractionInfoPosition(10000), 9904);
}

TEST(ArchiveFormat, MembersInPiecesAreOneZlibStreamWithTheSameBytesOnAnyThreadCount) {
  const std::size_t piece = TMemberDeflater::PieceSize;
  std::vector<std::uint8_t> source(3 * piece + 12345);
  std::uint32_t x = 7;
  for (std::size_t i = 0; i < source.size(); ++i) {
    x = x * 1103515245 + 12345;
    // Text-like stretches with noise between them, so that matches reach
    // across piece boundaries.
    source[i] = (i / 5000) % 3 == 2 ? static_cast<std::uint8_t>(x >> 24) : static_cast<std::uint8_t>("abcdefgh"[(i * 7 + i / 97) % 8]);
  }
  for (std::size_t size : {std::size_t{0}, std::size_t{1000}, piece, piece + 1, source.size()}) {
    SCOPED_TRACE(size);
    const std::vector<std::uint8_t> data(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(size));
    std::vector<std::vector<std::uint8_t>> outputs;
    for (int threads : {1, 3}) {
      SetArchiveThreads(threads);
      TMemoryStream target;
      int progress = 0;
      TMemberDeflater d(colMax, target);
      d.OnProgress = [&] { ++progress; };
      // Fed in uneven slices: the pieces do not follow the writes.
      for (std::size_t at = 0; at < size; at += 70001) d.Write(data.data() + at, std::min<std::size_t>(70001, size - at));
      d.Finish();
      EXPECT_EQ(d.Consumed(), static_cast<std::int64_t>(size));
      EXPECT_EQ(progress, size > piece ? static_cast<int>((size - 1) / piece) : 0);
      outputs.push_back(target.Data());
    }
    SetArchiveThreads(1);
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_EQ(Inflate(outputs[0]), data);
    const std::vector<std::uint8_t> whole = Compress(data, colMax);
    // One piece is what zlib makes of the member; more cost under 0.5 %.
    if (size <= piece) EXPECT_EQ(outputs[0], whole);
    EXPECT_LT(static_cast<double>(outputs[0].size()), static_cast<double>(whole.size()) * 1.005 + 16);
  }
}
