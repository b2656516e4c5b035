// The loading program's reader of setup.1.
// Archives are laid out here with the archive codec and zlib, inside larger
// buffers, as they sit inside setup.exe. Built natively (sanitizers) and for
// Windows (run under Wine).
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "format_Archive.h"
#include "setup_archive.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct TMember {
  std::string storedName;
  std::string content;
  std::int32_t sizeDelta = 0;  // recorded size minus the real one
};

Bytes Deflate(const std::string& s) {
  uLongf n = compressBound(static_cast<uLong>(s.size()));
  Bytes out(n);
  EXPECT_EQ(compress2(out.data(), &n, reinterpret_cast<const Bytef*>(s.data()), static_cast<uLong>(s.size()), 9),
                Z_OK);
  out.resize(n);
  return out;
}

// A chained archive of the members, its offsets relative to its own start.
Bytes ChainedArchive(const std::vector<TMember>& members) {
  Bytes a(ArchivePrefixSize, 0);
  a[0] = static_cast<std::uint8_t>(members.size());
  for (std::size_t i = 0; i < members.size(); ++i) {
    Bytes data = Deflate(members[i].content);
    TFileHeaderRec h;
    h.Sequence = static_cast<std::int32_t>(i + 1);
    h.SetStoredName(members[i].storedName);
    h.Size = static_cast<std::int32_t>(members[i].content.size()) + members[i].sizeDelta;
    h.DataStart = static_cast<std::int32_t>(a.size()) + FileHeaderSize;
    h.CompressedSize = static_cast<std::int32_t>(data.size());
    h.DataEnd = h.DataStart + h.CompressedSize - 1;
    h.NextHeader = h.DataEnd + 1;
    auto raw = h.Encode();
    a.insert(a.end(), raw.begin(), raw.end());
    a.insert(a.end(), data.begin(), data.end());
  }
  return a;
}

// The archive behind `lead` bytes of something else, with trailing bytes.
struct TImage {
  Bytes bytes;
  std::uint64_t first = 0, size = 0;
};
TImage Embedded(const Bytes& archive, std::size_t lead = 777, std::size_t trail = 96) {
  TImage im;
  im.bytes.assign(lead, 0x5A);
  im.first = lead;
  im.size = archive.size();
  im.bytes.insert(im.bytes.end(), archive.begin(), archive.end());
  im.bytes.insert(im.bytes.end(), trail, 0xA5);
  return im;
}

std::string ExtractText(TSetupArchive& a, std::size_t index, std::string& error) {
  std::string out;
  bool ok = a.Extract(
      index,
      [&](const void* p, std::size_t n) {
        out.append(static_cast<const char*>(p), n);
        return true;
      },
      error);
  return ok ? out : "(failed)";
}

std::string Big(std::size_t n) {
  std::string s;
  std::uint32_t x = 1;
  while (s.size() < n) {
    x = x * 1103515245u + 12345u;
    s += static_cast<char>('a' + (x >> 27));
  }
  return s;
}

}  // namespace

TEST(SetupArchive, MembersAreReadInsideTheirWindowUnderTheirFileNameOnly) {
  const std::string program = Big(200000), licence = "{\\rtf1 licence}";
  TImage im = Embedded(ChainedArchive({{"C:\\build\\Kelvo Setup.exe", program},
                                       {"..\\..\\Windows\\LICENSE.rtf", licence},
                                       {"/etc/empty.txt", ""}}));
  TMemorySource src(im.bytes.data(), im.bytes.size());
  TSetupArchive a;
  std::string error;
  ASSERT_TRUE(a.Open(src, im.first, im.size, error)) << error;
  ASSERT_EQ(a.Members().size(), 3u);
  EXPECT_EQ(a.Members()[0].FileName, "Kelvo Setup.exe");
  EXPECT_EQ(a.Members()[0].StoredName, "C:\\build\\Kelvo Setup.exe");
  EXPECT_EQ(a.Members()[1].FileName, "LICENSE.rtf");
  EXPECT_EQ(a.Members()[2].FileName, "empty.txt");
  // Out of order, and each twice: every extraction starts from its header.
  EXPECT_EQ(ExtractText(a, 1, error), licence);
  EXPECT_EQ(ExtractText(a, 0, error), program);
  EXPECT_EQ(ExtractText(a, 2, error), "");
  EXPECT_EQ(ExtractText(a, 1, error), licence);
  EXPECT_FALSE(a.Extract(3, [](const void*, std::size_t) { return true; }, error));
}

TEST(SetupArchive, OnlySafeFileNamesRemainOfStoredNames) {
  EXPECT_EQ(SafeMemberFileName("C:\\dev\\build\\setup.exe"), "setup.exe");
  EXPECT_EQ(SafeMemberFileName("D:readme.txt"), "readme.txt");
  EXPECT_EQ(SafeMemberFileName("a/b\\c.txt. . "), "c.txt");
  EXPECT_EQ(SafeMemberFileName("COM10"), "COM10");
  EXPECT_EQ(SafeMemberFileName("console.txt"), "console.txt");
  for (const char* bad : {"", "..", ".", "C:", "dir\\", "dir\\..", "..\\", "CON", "con.txt", "Lpt1.log", "NUL .x",
                          "aux", "a?b", "a*", "x\"y", "a|b", "tab\there", "COM1"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(SafeMemberFileName(bad), "");
  }
}

TEST(SetupArchive, DamagedListsAreRefusedWhenOpened) {
  std::string error;
  auto opens = [&](const Bytes& archive, std::uint64_t cut = 0) {
    TImage im = Embedded(archive);
    TMemorySource src(im.bytes.data(), im.bytes.size());
    TSetupArchive a;
    return a.Open(src, im.first, im.size - cut, error);
  };
  const Bytes good = ChainedArchive({{"setup.exe", Big(3000)}, {"LICENSE.rtf", "licence"}});
  ASSERT_TRUE(opens(good)) << error;

  // The window one byte short: the last member's data would lie outside it.
  EXPECT_FALSE(opens(good, 1));
  // A count beyond the headers present.
  Bytes more = good;
  more[0] = 9;
  EXPECT_FALSE(opens(more));
  // A next-header link pointing out of the archive.
  Bytes link = good;
  link[ArchivePrefixSize + 128 + 3] = 0x70;
  EXPECT_FALSE(opens(link));
  // A member said to span disks.
  Bytes spanned = good;
  spanned[ArchivePrefixSize + 144] = 1;
  EXPECT_FALSE(opens(spanned));
  // Two members that would land on the same file.
  EXPECT_FALSE(opens(ChainedArchive({{"a\\setup.exe", "1"}, {"b\\SETUP.EXE", "2"}})));
  EXPECT_NE(error.find("SETUP.EXE"), std::string::npos) << error;
  // A name that leaves nothing safe.
  EXPECT_FALSE(opens(ChainedArchive({{"setup.exe", "1"}, {"C:\\temp\\..", "2"}})));
  // A window outside the source.
  TMemorySource tiny(good.data(), good.size());
  TSetupArchive a;
  EXPECT_FALSE(a.Open(tiny, 10, good.size(), error));
  EXPECT_TRUE(a.Members().empty());
}

TEST(SetupArchive, DamagedDataAndWrongSizesFailTheExtraction) {
  const std::string text = Big(50000);
  std::string error;
  auto extract = [&](const Bytes& archive, std::size_t flipAt) {
    TImage im = Embedded(archive);
    if (flipAt) im.bytes[im.first + flipAt] ^= 0x10;
    TMemorySource src(im.bytes.data(), im.bytes.size());
    TSetupArchive a;
    if (!a.Open(src, im.first, im.size, error)) return std::string("(not opened)");
    return ExtractText(a, 0, error);
  };
  const Bytes good = ChainedArchive({{"setup.exe", text}});
  EXPECT_EQ(extract(good, 0), text);
  // A bit flipped inside the compressed data.
  EXPECT_EQ(extract(good, ArchivePrefixSize + FileHeaderSize + 400), "(failed)");
  EXPECT_FALSE(error.empty());
  // Recorded sizes that do not match what the data holds.
  EXPECT_EQ(extract(ChainedArchive({{"setup.exe", text, +1}}), 0), "(failed)");
  EXPECT_NE(error.find("incomplete"), std::string::npos) << error;
  EXPECT_EQ(extract(ChainedArchive({{"setup.exe", text, -1}}), 0), "(failed)");
  EXPECT_FALSE(error.empty());
}

TEST(SetupArchive, RefusingWriterStopsTheExtractionWithoutDamageReport) {
  TImage im = Embedded(ChainedArchive({{"setup.exe", Big(100000)}}));
  TMemorySource src(im.bytes.data(), im.bytes.size());
  TSetupArchive a;
  std::string error;
  ASSERT_TRUE(a.Open(src, im.first, im.size, error));
  int calls = 0;
  EXPECT_FALSE(a.Extract(0, [&](const void*, std::size_t) { return ++calls < 2; }, error));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(error.empty()) << error;
}
