#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>

#include "DateUtils.h"
#include "TestSupport.h"
#include "cmp_TTrnwCompress.h"
#include "routines_Cancel.h"
#include "routines_Strings.h"
#include "routines_Workers.h"
#include "stream_WinFile.h"

using testsupport::BinDir;
using testsupport::FileExists;
using testsupport::MessageOf;
using testsupport::Noise;
using testsupport::ReadFileText;
using testsupport::TTempDir;
using testsupport::WriteFileText;

namespace {
std::string Text(size_t n) {
  std::string s;
  while (s.size() < n) s += "line " + std::to_string(s.size() % 977) + " of the payload\r\n";
  return s.substr(0, n);
}

TDateTime DateOf(const std::string& file) {
  auto f = TWinFileStream::Open(file, TWinFileStream::fmOpenRead);
  TDateTime t = 0;
  if (f) twfile::GetFileDate(f->Handle(), t);
  return t;
}

void SetDate(const std::string& file, TDateTime t) {
  auto f = TWinFileStream::Open(file, TWinFileStream::fmOpenReadWrite);
  ASSERT_TRUE(f);
  twfile::SetFileDate(f->Handle(), t);
}

// Replaces the stored name of the first member of a chained archive.
void PatchFirstName(const std::string& archive, const std::string& name) {
  std::string a = ReadFileText(archive);
  a[5 + 24] = static_cast<char>(name.size());
  a.replace(5 + 25, name.size(), name);
  WriteFileText(archive, a);
}
}  // namespace

TEST(Compress, PercentagesRoundTiesToEvenAndZeroDivisorsGiveZero) {
  EXPECT_EQ(PercentOf(1, 200), 0);
  EXPECT_EQ(PercentOf(3, 200), 2);
  EXPECT_EQ(PercentOf(5, 200), 2);
  EXPECT_EQ(PercentOf(7, 200), 4);
  EXPECT_EQ(PercentOf(2, 3), 67);
  EXPECT_EQ(PercentOf(5, 0), 0);
}

TEST(Compress, FilesAddedOneCallAtATimeAndAppendedExtractWithTheirDates) {
  TTempDir dir;
  std::string a = dir.File("src\\alpha.txt"), b = dir.File("src\\beta.bin"), c = dir.File("src\\empty.dat");
  CreateDirectoryA(dir.File("src").c_str(), nullptr);
  WriteFileText(a, Text(300000));
  WriteFileText(b, Noise(150000, 7));
  WriteFileText(c, "");
  TDateTime da = EncodeDateTime({2003, 4, 5, 6, 7, 8, 0}), db = EncodeDateTime({1999, 12, 31, 23, 59, 58, 0});
  SetDate(a, da);
  SetDate(b, db);

  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("out\\sub\\files.1"));
  std::vector<TlzhFileStats> after;
  std::vector<TlzhFileStats> status;
  z.OnAfterAdding = [&](TTrnwCompress*, const TlzhFileStats& s) { after.push_back(s); };
  z.OnStatus = [&](TTrnwCompress*, const TlzhFileStats& s) { status.push_back(s); };
  z.SetFilesToProcess({a + ";comment", "   "});
  z.Add(false, 5);
  EXPECT_TRUE(z.FilesToProcess().empty());
  z.SetFilesToProcess({b});
  z.Add(true, 6);
  z.SetFilesToProcess({c});
  z.Add(true, 1999);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0].FileDone, 300000);
  EXPECT_EQ(after[0].FilePercent, 100);
  EXPECT_LT(after[0].FileRatio, 20);
  EXPECT_EQ(after[2].TotalCompressed, after[2].CompressedSize);  // each call totals its own members
  // One notification per member marks it finished; the others follow the blocks.
  int finished = 0;
  for (auto& s : status) finished += s.Finished ? 1 : 0;
  EXPECT_EQ(finished, 3);
  EXPECT_GT(status.size(), 3u);

  ASSERT_EQ(z.Count(), 3);
  EXPECT_EQ(z.IndexOfID(6), 1);
  EXPECT_EQ(z.IndexOfID(1999), 2);
  EXPECT_EQ(z.IndexOfID(2000), 0);
  TlzhFileStats s0 = z.GetFileStats(0);
  EXPECT_EQ(s0.FileName, a);
  EXPECT_EQ(s0.Size, 300000);
  EXPECT_EQ(s0.TotalSize, 450000);
  EXPECT_EQ(s0.Header.Identifier, 5);
  EXPECT_EQ(s0.Header.Sequence, 1);
  EXPECT_DOUBLE_EQ(s0.Header.FileDate, da);
  EXPECT_EQ(MessageOf([&] { z.GetFileStats(3); }), "Tried to access the 3th file. This file is not defined");
  std::vector<std::string> listed;
  z.OnListing = [&](TTrnwCompress*, const TlzhFileStats& s) { listed.push_back(s.FileName); };
  z.List();
  EXPECT_EQ(listed, (std::vector<std::string>{a, b, c}));

  z.ExtractDirectory = dir.File("x\\y");
  z.SetFilesToProcess({UpperCase(a), b + ";ignored", c});
  z.Extract();
  EXPECT_EQ(ReadFileText(dir.File("x\\y\\alpha.txt")), Text(300000));
  EXPECT_EQ(ReadFileText(dir.File("x\\y\\beta.bin")), Noise(150000, 7));
  EXPECT_TRUE(FileExists(dir.File("x\\y\\empty.dat")));
  EXPECT_DOUBLE_EQ(DateOf(dir.File("x\\y\\alpha.txt")), da);
  EXPECT_DOUBLE_EQ(DateOf(dir.File("x\\y\\beta.bin")), db);

  z.SetFilesToProcess({dir.File("src\\nothere.txt")});
  EXPECT_EQ(MessageOf([&] { z.Extract(); }), "The file <" + dir.File("src\\nothere.txt") +
                                                 "> was not found in the archive <" +
                                                 dir.File("out\\sub\\files.1") + ">");
}

TEST(Compress, EmptyArchiveIsFiveBytesAndOffsetReadsAnArchiveInsideAnotherFile) {
  TTempDir dir;
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("empty.1"));
  z.Add(false, 0);
  EXPECT_EQ(ReadFileText(dir.File("empty.1")), std::string("\0\0\0\0\0", 5));
  EXPECT_EQ(z.Count(), 0);

  std::string f = dir.File("payload.txt");
  WriteFileText(f, Text(70000));
  z.SetCompressedFile(dir.File("files.1"));
  z.SetFilesToProcess({f});
  z.Add(false, 3);
  std::string host = Noise(12345, 1) + ReadFileText(dir.File("files.1")) + std::string(96, 'T');
  WriteFileText(dir.File("setup.exe"), host);
  TTrnwCompress r(nullptr);
  r.SetCompressedFile(dir.File("setup.exe"));
  r.Offset = 12345;
  ASSERT_EQ(r.Count(), 1);
  EXPECT_EQ(r.IndexOfID(3), 0);
  r.ExtractDirectory = dir.File("out");
  r.SetFilesToProcess({f});
  r.Extract();
  EXPECT_EQ(ReadFileText(dir.File("out\\payload.txt")), Text(70000));
}

TEST(Compress, SpannedMemberExtractsAskingForEachFollowingDisk) {
  TTempDir dir;
  std::string small = dir.File("small.txt"), big = dir.File("big.bin");
  WriteFileText(small, Text(5000));
  WriteFileText(big, Noise(250000, 3));
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("build\\files.1"));
  z.SetFilesToProcess({small, big});
  z.Add(false, 1);

  // Onto disks of 100000 bytes, each disk in a directory of its own.
  CreateDirectoryA(dir.File("disks").c_str(), nullptr);
  std::vector<int> asked;
  z.DiskSize = 100000;
  z.OnNewDisk = [&](TTrnwCompress*, int disk, std::string& path) {
    asked.push_back(disk);
    path = dir.File("disks\\d" + std::to_string(disk));
  };
  z.CopyToDisks(dir.File("disks\\d1"), "files.1");
  EXPECT_EQ(asked, (std::vector<int>{2, 3}));
  EXPECT_EQ(ReadFileText(dir.File("disks\\d1\\files.1")).size(), 100000u);
  EXPECT_EQ(ReadFileText(dir.File("disks\\d2\\files.2")).size(), 100000u);
  EXPECT_TRUE(FileExists(dir.File("disks\\d3\\files.3")));

  // The table layout reads back from disk 1.
  TTrnwCompress r(nullptr);
  r.SetCompressedFile(dir.File("disks\\d1\\files.1"));
  ASSERT_EQ(r.Count(), 2);
  EXPECT_TRUE(r.Headers().TableFlag);
  const TFileHeaderRec& h = r.Headers().GetFileHeaders(1).Rec;
  EXPECT_EQ(h.FirstDisk, 1);
  EXPECT_EQ(h.LastDisk, 3);
  EXPECT_EQ(r.Headers().GetFileHeaders(0).Rec.DataStart, 5 + 2 * 176);

  // Without a handler a missing disk is named.
  r.ExtractDirectory = dir.File("out");
  r.SetFilesToProcess({big});
  EXPECT_EQ(MessageOf([&] { r.Extract(); }), "Could not open the correct disk file 2");
  EXPECT_FALSE(FileExists(dir.File("out\\big.bin")));
  // A member whose first disk is missing leaves no empty file behind either.
  TTrnwCompress m(nullptr);
  m.SetCompressedFile(dir.File("disks\\d1\\files.1"));
  m.Count();
  ASSERT_TRUE(MoveFileA(dir.File("disks\\d1\\files.1").c_str(), dir.File("disks\\d1\\away").c_str()));
  m.ExtractDirectory = dir.File("out");
  m.SetFilesToProcess({small});
  EXPECT_EQ(MessageOf([&] { m.Extract(); }), "Could not open the correct disk file 1");
  EXPECT_FALSE(FileExists(dir.File("out\\small.txt")));
  ASSERT_TRUE(MoveFileA(dir.File("disks\\d1\\away").c_str(), dir.File("disks\\d1\\files.1").c_str()));

  std::vector<std::pair<int, std::string>> requests;
  r.SetCompressedFile(dir.File("disks\\d1\\files.1"));
  r.OnNewDisk = [&](TTrnwCompress*, int disk, std::string& path) {
    requests.emplace_back(disk, path);
    path = dir.File("disks\\d" + std::to_string(disk));
  };
  r.SetFilesToProcess({small, big});
  r.Extract();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].first, 2);
  EXPECT_EQ(requests[0].second, dir.File("disks\\d1"));
  EXPECT_EQ(requests[1].first, 3);
  EXPECT_EQ(ReadFileText(dir.File("out\\big.bin")), Noise(250000, 3));
  EXPECT_EQ(ReadFileText(dir.File("out\\small.txt")), Text(5000));
  EXPECT_EQ(r.CompressedFile(), dir.File("disks\\d3\\files.3"));
}

TEST(Compress, ExtractionStaysBelowTheExtractDirectory) {
  TTempDir dir;
  std::string f = dir.File("a.txt");
  WriteFileText(f, "inside");
  TTrnwCompress z(nullptr);
  for (std::string hostile : {"..\\..\\evil.txt", "C:\\evil.txt", "../../evil.txt", "C:evil.txt"}) {
    z.SetCompressedFile(dir.File("h.1"));
    z.SetFilesToProcess({f});
    z.Add(false, 0);
    PatchFirstName(dir.File("h.1"), hostile);
    z.SetCompressedFile(dir.File("other.1"));
    z.SetCompressedFile(dir.File("h.1"));
    z.ExtractDirectory = dir.File("out\\deep");
    z.SetFilesToProcess({hostile});
    z.Extract();
    EXPECT_EQ(ReadFileText(dir.File("out\\deep\\evil.txt")), "inside") << hostile;
    EXPECT_FALSE(FileExists(dir.File("evil.txt")));
    DeleteFileA(dir.File("out\\deep\\evil.txt").c_str());
  }
  // A caller's extract name is cut to its file-name part too.
  z.ExtractName = "..\\renamed.txt";
  z.SetFilesToProcess({"C:evil.txt"});
  z.Extract();
  EXPECT_EQ(ReadFileText(dir.File("out\\deep\\renamed.txt")), "inside");
  EXPECT_FALSE(FileExists(dir.File("out\\renamed.txt")));
  EXPECT_EQ(z.ExtractName, "");
}

TEST(Compress, OverwriteRulesAbortAndDamagedDataLeaveExistingFilesAlone) {
  TTempDir dir;
  std::string f = dir.File("data.bin");
  WriteFileText(f, Noise(300000, 11));
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("files.1"));
  z.SetFilesToProcess({f});
  z.Add(false, 0);
  std::string target = dir.File("out\\data.bin");
  CreateDirectoryA(dir.File("out").c_str(), nullptr);
  WriteFileText(target, "old contents");

  z.ExtractDirectory = dir.File("out");
  z.Overwrite = owNever;
  std::vector<TlzhFileStats> seen;
  z.OnStatus = [&](TTrnwCompress*, const TlzhFileStats& s) { seen.push_back(s); };
  z.SetFilesToProcess({f});
  z.Extract();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].Finished);
  EXPECT_EQ(ReadFileText(target), "old contents");

  // Stopped from a status handler: OnAborted, no exception, old file intact.
  z.Overwrite = owAlways;
  int aborted = 0, replaced = 0;
  z.OnAborted = [&](void*) { ++aborted; };
  z.OnReplace = [&](TTrnwCompress*, const TlzhFileStats&) { ++replaced; };
  z.OnStatus = [&](TTrnwCompress* c, const TlzhFileStats&) { c->Abort = true; };
  z.SetFilesToProcess({f});
  z.Extract();
  EXPECT_EQ(aborted, 1);
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(ReadFileText(target), "old contents");
  EXPECT_FALSE(FileExists(target + ".tw~"));

  // Damaged member data.
  std::string a = ReadFileText(dir.File("files.1"));
  for (size_t i = 5 + 176 + 1000; i < 5 + 176 + 1100; ++i) a[i] = static_cast<char>(a[i] ^ 0x3C);
  WriteFileText(dir.File("files.1"), a);
  z.OnStatus = nullptr;
  z.SetFilesToProcess({f});
  EXPECT_EQ(MessageOf([&] { z.Extract(); }),
            "The compressed data of the file " + f + " is damaged. The Archive file could possible be corrupt");
  EXPECT_TRUE(z.Abort);
  EXPECT_EQ(ReadFileText(target), "old contents");

  // A truncated archive.
  WriteFileText(dir.File("files.1"), a.substr(0, 100));
  TTrnwCompress t(nullptr);
  t.SetCompressedFile(dir.File("files.1"));
  EXPECT_EQ(MessageOf([&] { t.Count(); }),
            "Could not read the file headers for the compressed file. The Archive file could possible be corrupt");
  t.SetCompressedFile(dir.File("missing.1"));
  EXPECT_EQ(MessageOf([&] { t.Count(); }), "Cannot open the compressed file " + dir.File("missing.1"));
}

TEST(Compress, AbortedOrFailedAddKeepsTheEarlierArchive) {
  TTempDir dir;
  std::string a = dir.File("a.txt"), b = dir.File("b.bin");
  WriteFileText(a, Text(1000));
  WriteFileText(b, Noise(400000, 5));
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("files.1"));
  z.SetFilesToProcess({a});
  z.Add(false, 0);
  std::string before = ReadFileText(dir.File("files.1"));

  int aborted = 0;
  z.OnAborted = [&](void*) { ++aborted; };
  z.OnStatus = [&](TTrnwCompress* c, const TlzhFileStats&) { c->Abort = true; };
  z.SetFilesToProcess({b});
  z.Add(true, 1);
  EXPECT_EQ(aborted, 1);
  EXPECT_EQ(ReadFileText(dir.File("files.1")), before);

  z.OnStatus = nullptr;
  z.SetFilesToProcess({dir.File("missing.txt")});
  EXPECT_EQ(MessageOf([&] { z.Add(true, 1); }), "Cannot open the file " + dir.File("missing.txt"));
  EXPECT_TRUE(z.FilesToProcess().empty());
  EXPECT_EQ(ReadFileText(dir.File("files.1")), before);
  EXPECT_EQ(z.Count(), 1);
}

TEST(Compress, CopyFileAppliesTheOverwriteRuleAndKeepsTheDate) {
  TTempDir dir;
  std::string src = dir.File("new.txt"), dst = dir.File("t\\old.txt");
  WriteFileText(src, Text(20000));
  TDateTime d = EncodeDateTime({2004, 1, 2, 3, 4, 6, 0});
  SetDate(src, d);
  TTrnwCompress z(nullptr);
  bool finished = false;
  z.OnStatus = [&](TTrnwCompress*, const TlzhFileStats& s) { finished = finished || s.Finished; };
  z.CopyFile(src, dst);
  EXPECT_TRUE(finished);
  EXPECT_EQ(ReadFileText(dst), Text(20000));
  EXPECT_DOUBLE_EQ(DateOf(dst), d);

  WriteFileText(dst, "newer");
  SetDate(dst, d + 1);
  z.Overwrite = owDate;
  z.CopyFile(src, dst);
  EXPECT_EQ(ReadFileText(dst), "newer");
  SetDate(dst, d - 1);
  int replaced = 0;
  z.OnReplace = [&](TTrnwCompress*, const TlzhFileStats&) { ++replaced; };
  z.CopyFile(src, dst);
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(ReadFileText(dst), Text(20000));
}

TEST(Compress, FullDisksWithoutAHandlerOrRoomGiveTheirMessages) {
  TTempDir dir;
  std::string big = dir.File("big.bin");
  WriteFileText(big, Noise(150000, 9));
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("b\\files.1"));
  z.SetFilesToProcess({big});
  z.Add(true, 0);  // appending to a missing archive creates it
  ASSERT_EQ(z.Count(), 1);

  z.DiskSize = 100000;
  EXPECT_EQ(MessageOf([&] { z.CopyToDisks(dir.File("d"), "files.1"); }),
            "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
  EXPECT_TRUE(z.Abort);
  z.DiskSize = 100;
  z.OnNewDisk = [&](TTrnwCompress*, int, std::string&) {};
  EXPECT_EQ(MessageOf([&] { z.CopyToDisks(dir.File("d"), "files.1"); }),
            "There is too little space on this disk to operate");

  EXPECT_EQ(MessageOf([&] { z.DiskFull(); }), "The disk is full");
  try {
    z.DiskFull();
  } catch (const EtcDiskFull&) {
  }
  int full = 0;
  z.OnFullDisk = [&](void*) { ++full; };
  z.DiskFull();
  EXPECT_EQ(full, 1);
}

TEST(Compress, MembersAfterAFailedOneExtractWholeToNewAndExistingTargets) {
  TTempDir dir;
  std::string bad = dir.File("src\\bad.bin"), good = dir.File("src\\good.txt");
  CreateDirectoryA(dir.File("src").c_str(), nullptr);
  WriteFileText(bad, Noise(200000, 21));
  WriteFileText(good, Text(90000));
  TDateTime d = EncodeDateTime({2005, 6, 7, 8, 9, 10, 0});
  SetDate(good, d);
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("files.1"));
  z.SetFilesToProcess({bad, good});
  z.Add(false, 0);
  // A broken stream header: the first member fails with most of its data
  // read and not yet used.
  std::string a = ReadFileText(dir.File("files.1"));
  a[5 + 176] = 0;
  WriteFileText(dir.File("files.1"), a);
  const std::string damaged =
      "The compressed data of the file " + bad + " is damaged. The Archive file could possible be corrupt";

  // A new target, right after a member that failed half-way.
  z.ExtractDirectory = dir.File("out");
  z.SetFilesToProcess({bad, good});
  EXPECT_EQ(MessageOf([&] { z.Extract(); }), damaged);
  EXPECT_FALSE(FileExists(dir.File("out\\bad.bin")));
  z.SetFilesToProcess({good});
  z.Extract();
  std::string target = dir.File("out\\good.txt");
  EXPECT_EQ(ReadFileText(target), Text(90000));
  EXPECT_DOUBLE_EQ(DateOf(target), d);

  // An existing, read-only target, again after a failed member.
  WriteFileText(target, "old");
  SetDate(target, d - 30);
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
  z.SetFilesToProcess({bad});
  EXPECT_EQ(MessageOf([&] { z.Extract(); }), damaged);
  int replaced = 0;
  z.OnReplace = [&](TTrnwCompress*, const TlzhFileStats&) { ++replaced; };
  z.SetFilesToProcess({good});
  z.Extract();
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(ReadFileText(target), Text(90000));
  EXPECT_DOUBLE_EQ(DateOf(target), d);
  EXPECT_FALSE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(FileExists(target + ".tw~"));
}

TEST(Compress, AppendsOneAtATimeReadLikeAFreshArchiveAndSeeAChangeMadeByOthers) {
  TTempDir dir;
  std::vector<std::string> files;
  for (int i = 0; i < 12; ++i) {
    files.push_back(dir.File("m" + std::to_string(i) + ".txt"));
    WriteFileText(files.back(), Text(500 + 97 * i));
  }
  // Kept open from one append to the next, the archive comes out the same,
  // byte for byte; a failed append meanwhile leaves it as it was.
  TTrnwCompress kept(nullptr);
  kept.SetCompressedFile(dir.File("kept.1"));
  kept.SetKeepArchiveOpen(true);
  for (int i = 0; i < 12; ++i) {
    kept.SetFilesToProcess({files[i]});
    kept.Add(i > 0, 100 + i);
    if (i == 6) {
      const std::string before = ReadFileText(dir.File("kept.1"));
      kept.SetFilesToProcess({dir.File("missing.txt")});
      EXPECT_NE(MessageOf([&] { kept.Add(true, 99); }), "no error");
      EXPECT_EQ(ReadFileText(dir.File("kept.1")), before);
    }
  }
  kept.SetKeepArchiveOpen(false);

  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("files.1"));
  for (int i = 0; i < 12; ++i) {
    z.SetFilesToProcess({files[i]});
    z.Add(i > 0, 100 + i);
  }
  EXPECT_EQ(ReadFileText(dir.File("kept.1")), ReadFileText(dir.File("files.1")));
  TTrnwCompress fresh(nullptr);
  fresh.SetCompressedFile(dir.File("files.1"));
  fresh.ReadHeaders();
  ASSERT_EQ(fresh.Count(), 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(fresh.Headers().GetFileHeaders(i).Rec.Identifier, 100 + i);
    EXPECT_EQ(fresh.Headers().GetFileHeaders(i).Rec.StoredName, files[i]);
  }
  fresh.ExtractDirectory = dir.File("out");
  fresh.SetFilesToProcess(files);
  fresh.Extract();
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(ReadFileText(dir.File("out\\m" + std::to_string(i) + ".txt")), ReadFileText(files[i]));

  // The same compressor extracts between appends; the next append still
  // builds on the whole list.
  z.ExtractDirectory = dir.File("self");
  z.SetFilesToProcess({files[3]});
  z.Extract();
  EXPECT_EQ(ReadFileText(dir.File("self\\m3.txt")), ReadFileText(files[3]));
  z.SetFilesToProcess({files[4]});
  z.Add(true, 200);
  TTrnwCompress after(nullptr);
  after.SetCompressedFile(dir.File("files.1"));
  after.ReadHeaders();
  ASSERT_EQ(after.Count(), 13);
  EXPECT_EQ(after.Headers().GetFileHeaders(11).Rec.Identifier, 111);
  EXPECT_EQ(after.Headers().GetFileHeaders(12).Rec.Identifier, 200);

  // Another writer replaces the archive; the next append must build on that.
  TTrnwCompress other(nullptr);
  other.SetCompressedFile(dir.File("files.1"));
  other.SetFilesToProcess({files[5], files[6]});
  other.Add(false, 7);
  z.SetFilesToProcess({files[11]});
  z.Add(true, 8);
  TTrnwCompress check(nullptr);
  check.SetCompressedFile(dir.File("files.1"));
  check.ReadHeaders();
  ASSERT_EQ(check.Count(), 3);
  EXPECT_EQ(check.Headers().GetFileHeaders(0).Rec.StoredName, files[5]);
  EXPECT_EQ(check.Headers().GetFileHeaders(1).Rec.StoredName, files[6]);
  EXPECT_EQ(check.Headers().GetFileHeaders(2).Rec.StoredName, files[11]);
  check.ExtractDirectory = dir.File("again");
  check.SetFilesToProcess({files[11]});
  check.Extract();
  EXPECT_EQ(ReadFileText(dir.File("again\\m11.txt")), ReadFileText(files[11]));
}

namespace {
// Cuts a file that another handle is reading down to a few bytes.
void Shrink(const std::string& file) {
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetFilePointer(h, 100, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
}
}  // namespace

TEST(Compress, SourcesAreReadWholeFromTheirOwnPathOrNothingChanges) {
  TTempDir dir;
  // A path of 104 characters whose first 100 name another file.
  std::string other = dir.File("");
  other += std::string(100 - other.size() - 4, 'n') + ".txt";
  ASSERT_EQ(other.size(), 100u);
  const std::string longPath = other + ".old";
  WriteFileText(other, "another file");
  WriteFileText(longPath, Text(70000));
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("files.1"));
  z.SetFilesToProcess({longPath});
  z.Add(false, 3);
  const TFileHeaderRec& h = z.Headers().GetFileHeaders(0).Rec;
  EXPECT_EQ(h.StoredName, other);
  EXPECT_EQ(h.Size, 70000);
  std::string archive = ReadFileText(dir.File("files.1"));
  EXPECT_EQ(static_cast<unsigned char>(archive[5 + 24]), 100u);
  EXPECT_EQ(archive.substr(5 + 25, 100), other);
  // Found by the full path too, as that is what an install file asks for.
  z.ExtractDirectory = dir.File("out");
  z.ExtractName = "long.txt";
  z.SetFilesToProcess({longPath});
  z.Extract();
  EXPECT_EQ(ReadFileText(dir.File("out\\long.txt")), Text(70000));

  // A source that shrinks while it is compressed leaves the archive as it was.
  const std::string big = dir.File("big.bin");
  WriteFileText(big, Noise(400000, 3));
  const std::string before = ReadFileText(dir.File("files.1"));
  bool shrunk = false;
  z.OnStatus = [&](TTrnwCompress*, const TlzhFileStats&) {
    if (!shrunk) Shrink(big);
    shrunk = true;
  };
  z.SetFilesToProcess({big});
  EXPECT_EQ(MessageOf([&] { z.Add(true, 4); }), "The file " + big + " could not be read completely");
  EXPECT_EQ(ReadFileText(dir.File("files.1")), before);
  EXPECT_EQ(z.Count(), 1);

  // So does a copy: the target keeps its old contents, no half copy is left.
  const std::string target = dir.File("t\\copy.bin");
  CreateDirectoryA(dir.File("t").c_str(), nullptr);
  WriteFileText(target, "old contents");
  WriteFileText(big, Noise(100000, 4));
  shrunk = false;
  EXPECT_EQ(MessageOf([&] { z.CopyFile(big, target); }), "The file " + big + " could not be read completely");
  EXPECT_EQ(ReadFileText(target), "old contents");
  EXPECT_FALSE(FileExists(target + ".tw~"));
  // A whole copy replaces it.
  z.OnStatus = nullptr;
  WriteFileText(big, Noise(100000, 4));
  z.CopyFile(big, target);
  EXPECT_EQ(ReadFileText(target), Noise(100000, 4));
  EXPECT_FALSE(FileExists(target + ".tw~"));
}

TEST(Compress, HostileHeadersAreDamagedDataAndLeaveExistingFilesAlone) {
  TTempDir dir;
  std::string f = dir.File("data.txt"), g = dir.File("second.txt");
  WriteFileText(f, Text(30000));
  WriteFileText(g, Text(1000));
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(dir.File("good.1"));
  z.SetFilesToProcess({f, g});
  z.Add(false, 0);
  const std::string good = ReadFileText(dir.File("good.1"));
  const std::string damaged =
      "The compressed data of the file " + f + " is damaged. The Archive file could possible be corrupt";
  auto patched = [&](size_t at, const void* bytes, size_t n) {
    std::string a = good;
    a.replace(5 + at, n, static_cast<const char*>(bytes), n);
    return a;
  };
  auto date = [&](double d) { return patched(8, &d, 8); };
  const std::int32_t minusOne = -1, huge = INT32_MAX;
  struct TCase { std::string name, archive; } cases[] = {
      {"negative data start", patched(136, &minusOne, 4)},
      {"negative data end", patched(20, &minusOne, 4)},
      {"negative size", patched(132, &minusOne, 4)},
      {"date 1e300", date(1e300)},
      {"date -1e300", date(-1e300)},
      {"date NaN", date(std::nan(""))},
      {"date infinite", date(HUGE_VAL)},
      {"date in the year 10000", date(EncodeDateTime({9999, 12, 31, 0, 0, 0, 0}) + 1)},
      {"date before file times", date(EncodeDateTime({1600, 12, 31, 0, 0, 0, 0}))},
  };
  const std::string target = dir.File("out\\data.txt");
  CreateDirectoryA(dir.File("out").c_str(), nullptr);
  for (const TCase& c : cases) {
    WriteFileText(dir.File("files.1"), c.archive);
    WriteFileText(target, "old contents");
    for (TOverwriteType rule : {owAlways, owDate}) {
      TTrnwCompress x(nullptr);
      x.SetCompressedFile(dir.File("files.1"));
      x.ExtractDirectory = dir.File("out");
      x.Overwrite = rule;
      x.SetFilesToProcess({f});
      EXPECT_EQ(MessageOf([&] { x.Extract(); }), damaged) << c.name;
      EXPECT_EQ(ReadFileText(target), "old contents") << c.name;
      EXPECT_FALSE(FileExists(target + ".tw~")) << c.name;
    }
    TTrnwCompress x(nullptr);
    x.SetCompressedFile(dir.File("files.1"));
    EXPECT_EQ(MessageOf([&] { x.CopyToDisks(dir.File("disks"), "files.1"); }), damaged) << c.name;
  }

  // An archive start moved before the file once the headers are read.
  WriteFileText(dir.File("files.1"), good);
  TTrnwCompress x(nullptr);
  x.SetCompressedFile(dir.File("files.1"));
  ASSERT_EQ(x.Count(), 2);
  x.Offset = -100000;
  x.ExtractDirectory = dir.File("out");
  x.SetFilesToProcess({f});
  EXPECT_EQ(MessageOf([&] { x.Extract(); }), damaged);
  EXPECT_EQ(ReadFileText(target), "old contents");

  // Device names are never created, whatever their case or extension.
  for (std::string device : {"CON", "nul.txt", "C:\\src\\Aux.dat", "com1", "LPT9.TXT", "prn .log", "dir/Nul"}) {
    WriteFileText(dir.File("dev.1"), good);
    PatchFirstName(dir.File("dev.1"), device);
    TTrnwCompress d(nullptr);
    d.SetCompressedFile(dir.File("dev.1"));
    d.ExtractDirectory = dir.File("dev");
    d.SetFilesToProcess({device});
    EXPECT_EQ(MessageOf([&] { d.Extract(); }), "Cannot create the file " + device) << device;
    d.ExtractName = device;
    d.SetFilesToProcess({g});
    EXPECT_EQ(MessageOf([&] { d.Extract(); }), "Cannot create the file " + device) << device;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(dir.File("dev\\*.*").c_str(), &fd);
    int files = 0;
    if (h != INVALID_HANDLE_VALUE) {
      do files += !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY); while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    EXPECT_EQ(files, 0) << device;
  }

  // Totals beyond 2 GiB: the second member claims the largest size there is.
  WriteFileText(dir.File("big.1"), good);
  std::string a = ReadFileText(dir.File("big.1"));
  const size_t second = static_cast<size_t>(static_cast<unsigned char>(a[5 + 128])) |
                        static_cast<size_t>(static_cast<unsigned char>(a[5 + 129])) << 8 |
                        static_cast<size_t>(static_cast<unsigned char>(a[5 + 130])) << 16;
  a.replace(second + 132, 4, reinterpret_cast<const char*>(&huge), 4);
  WriteFileText(dir.File("big.1"), a);
  TTrnwCompress t(nullptr);
  t.SetCompressedFile(dir.File("big.1"));
  const std::int64_t total = std::int64_t(INT32_MAX) + 30000;
  EXPECT_EQ(t.GetFileStats(0).TotalSize, total);
  TlzhFileStats last;
  t.OnStatus = [&](TTrnwCompress*, const TlzhFileStats& s) { last = s; };
  t.ExtractDirectory = dir.File("big");
  t.SetFilesToProcess({f});
  t.Extract();
  EXPECT_TRUE(last.Finished);
  EXPECT_EQ(last.TotalDone, 30000);
  EXPECT_EQ(last.TotalSize, total);
  EXPECT_EQ(last.TotalPercent, PercentOf(30000, total));
}

TEST(Compress, ArchivesAreTheSameOnAnyThreadCountAndExtractingAheadKeepsProgressAndCancel) {
  TTempDir dir;
  CreateDirectoryA(dir.File("src").c_str(), nullptr);
  std::vector<std::string> sources, contents;
  auto source = [&](const std::string& name, const std::string& data) {
    sources.push_back(dir.File("src\\" + name));
    contents.push_back(data);
    WriteFileText(sources.back(), data);
  };
  source("big.txt", Text(1500000));  // many pieces
  source("mixed.bin", Noise(300000, 3) + Text(400000));
  for (int i = 0; i < 30; ++i) source("small" + std::to_string(i) + ".txt", Text(100 + i * 3997));
  source("empty.dat", "");
  const int threadsBefore = ArchiveThreads();
  struct TRun {
    std::string archive;
    std::vector<std::string> progress;
  };
  auto run = [&](int threads) {
    SetArchiveThreads(threads);
    TRun r;
    const std::string sub = dir.File("t" + std::to_string(threads));
    TTrnwCompress z(nullptr);
    z.SetCompressedFile(sub + "\\files.1");
    // As the passes do: the build's files are known ahead, one Add each;
    // the installation extracts one member a call, the archive kept open.
    z.SetKeepArchiveOpen(true);
    z.CompressAhead(sources);
    for (std::size_t i = 0; i < sources.size(); ++i) {
      z.SetFilesToProcess({sources[i]});
      z.Add(i > 0, static_cast<std::int32_t>(i));
    }
    z.CompressAhead({});
    z.ExtractDirectory = sub + "\\out";
    z.OnStatus = [&](TTrnwCompress*, const TlzhFileStats& s) {
      r.progress.push_back(s.FileName + " " + std::to_string(s.FileDone) + " " + std::to_string(s.TotalDone) +
                           (s.Finished ? " end" : ""));
    };
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (i == 3) continue;  // a member left out: the next one is still found
      z.SetFilesToProcess({sources[i]});
      z.Extract();
      EXPECT_EQ(ReadFileText(sub + "\\out\\" + ExtractFileName(sources[i])), contents[i]) << i;
    }
    EXPECT_FALSE(FileExists(sub + "\\out\\small1.txt"));

    // Cancel in the middle of a member stops it and removes its target.
    int aborted = 0;
    z.OnAborted = [&](void*) { ++aborted; };
    z.OnStatus = [&](TTrnwCompress*, const TlzhFileStats& s) {
      if (s.FileDone >= 100000) InstallCancel().Request();
    };
    z.ExtractDirectory = sub + "\\cancelled";
    z.SetFilesToProcess({sources[0]});
    z.Extract();
    InstallCancel().Clear();
    EXPECT_EQ(aborted, 1);
    EXPECT_FALSE(FileExists(sub + "\\cancelled\\big.txt"));
    z.OnStatus = nullptr;
    z.SetFilesToProcess({sources[1]});
    z.Extract();
    EXPECT_EQ(ReadFileText(sub + "\\cancelled\\mixed.bin"), contents[1]);
    z.SetKeepArchiveOpen(false);
    r.archive = ReadFileText(sub + "\\files.1");
    return r;
  };
  const TRun one = run(1);
  for (int threads : {2, 4}) {
    SCOPED_TRACE(threads);
    const TRun more = run(threads);
    EXPECT_TRUE(more.archive == one.archive);
    // A status for every 4 KiB block, in the same order.
    EXPECT_EQ(more.progress, one.progress);
  }
  SetArchiveThreads(threadsBefore);
  EXPECT_GT(one.progress.size(), 3000000u / 4096);
}
