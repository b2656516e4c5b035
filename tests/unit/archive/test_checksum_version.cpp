#include <gtest/gtest.h>

#include <windows.h>

#include "DateUtils.h"
#include "TestSupport.h"
#include "cmp_TVersion.h"
#include "stream_WinFile.h"
#include "uFileCheckSum.h"

using testsupport::BinDir;
using testsupport::MessageOf;
using testsupport::ReadFileText;
using testsupport::TTempDir;
using testsupport::WriteFileText;

namespace {
std::string Bin(const std::string& name) { return BinDir() + "\\" + name; }

void SetDate(const std::string& file, TDateTime t) {
  auto f = TWinFileStream::Open(file, TWinFileStream::fmOpenReadWrite);
  ASSERT_TRUE(f);
  ASSERT_TRUE(twfile::SetFileDate(f->Handle(), t));
}

void Copy(const std::string& from, const std::string& to) {
  ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE));
}
}  // namespace

TEST(FileChecksum, DigestsWholeFilesOrAllButTheTrailerAndSealsFiles) {
  TTempDir dir;
  std::string abc = dir.File("abc.bin");
  WriteFileText(abc, "abc");
  EXPECT_EQ(ComputeFileChecksum(abc, false), "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880");
  std::string forty = dir.File("forty.bin");
  WriteFileText(forty, std::string(40, 'Z'));
  EXPECT_EQ(ComputeFileChecksum(forty, true), "F96CEA198AD1DD5617AC084A3D92C6107708C0EF");

  std::string exe = dir.File("setup.exe");
  WriteFileText(exe, std::string(200000, 'x') + "tail");
  std::string before = ComputeFileChecksum(exe, false);
  AppendFileChecksum(exe, "");
  std::string sealed = ReadFileText(exe);
  ASSERT_EQ(sealed.size(), 200044u);
  EXPECT_EQ(sealed.substr(200004), before);
  EXPECT_EQ(ComputeFileChecksum(exe, true), before);

  EXPECT_EQ(MessageOf([&] { AppendFileChecksum(exe, std::string(39, 'A')); }), "Can't calculate Checksum");
  EXPECT_EQ(ReadFileText(exe).size(), 200044u);
  std::string missing = dir.File("missing.exe");
  EXPECT_EQ(MessageOf([&] { ComputeFileChecksum(missing, false); }),
            "Can't find file \"" + missing + "\"!");
  EXPECT_EQ(MessageOf([&] { AppendFileChecksum(missing, before); }),
            "Can't find file \"" + missing + "\"!");
}

TEST(VersionResource, ReadsFixedFieldsAndTheChosenStringBlock) {
  TVersionResource v(nullptr);
  EXPECT_FALSE(v.FileNameStored());
  v.SetFileName(Bin("ver_1234.exe"));
  EXPECT_TRUE(v.FileNameStored());
  const TVersionInfo& i = v.VersionInfo();
  EXPECT_EQ(i.FileVersion, "1.2.3.4");
  EXPECT_EQ(i.ProductVersion, "9.8 beta");  // the string replaces the fixed one
  EXPECT_EQ(i.CompanyName, "Orvel Works");
  EXPECT_EQ(i.FileDescription, "Test file ver_1234");
  EXPECT_EQ(i.InternalName, "ver_1234");
  EXPECT_EQ(i.OriginalFileName, "ver_1234.exe");
  EXPECT_EQ(i.Comment, "for tests");
  EXPECT_EQ(i.LegalCopyright, "(c) Orvel");
  EXPECT_EQ(i.PrimaryLanguage, 0x009);
  EXPECT_EQ(i.FileOS, "Windows NT with 32 bit Windows");
  EXPECT_EQ(i.FileType, "Application");
  EXPECT_EQ(i.FileSubType, "");
  // Another block than the file has: fixed values only.
  v.SetLanguage(lnGerman);
  EXPECT_EQ(v.VersionInfo().CompanyName, "");
  EXPECT_EQ(v.VersionInfo().FileVersion, "1.2.3.4");
  EXPECT_EQ(v.VersionInfo().ProductVersion, "9.8.7.6");
  v.SetLanguage(lnUSEnglish);
  EXPECT_EQ(v.VersionInfo().CompanyName, "Orvel Works");

  // Strings stored under the Unicode code page only.
  v.SetFileName(Bin("ver_unicode.exe"));
  EXPECT_EQ(v.VersionInfo().FileVersion, "2.0.0.1");
  EXPECT_EQ(v.VersionInfo().CompanyName, "");
  EXPECT_EQ(v.VersionInfo().FileOS, "32 bit Windows");
  EXPECT_EQ(v.VersionInfo().FileType, "Device Driver");
  EXPECT_EQ(v.VersionInfo().FileSubType, "Network");
  v.SetCharacterSet(csUnicode);
  EXPECT_EQ(v.VersionInfo().CompanyName, "Orvel Works");

  v.SetFileName(Bin("ver_none.exe"));
  EXPECT_EQ(v.VersionInfo().FileVersion, "");
  EXPECT_EQ(v.VersionInfo().FileType, "");
  EXPECT_EQ(MessageOf([&] { v.SetLanguage(static_cast<TLanguage>(45)); }), "");
  EXPECT_EQ(LanguageId(lnSwissFrench), 0x100C);
  EXPECT_EQ(CodePage(csArabic), 1256);
}

TEST(VersionResource, ReplaceDecisionsForEveryOverwriteRule) {
  TTempDir dir;
  std::string target = dir.File("target.exe");
  Copy(Bin("ver_1234.exe"), target);
  TDateTime when = EncodeDateTime({2005, 6, 1, 12, 0, 0, 0});
  SetDate(target, when);
  TDateTime later = when + 1.0, earlier = when - 1.0;

  EXPECT_EQ(TVersionResource::IsFileNewer("0.1", target, owAlways, earlier), 2);
  EXPECT_EQ(TVersionResource::IsFileNewer("9.9", target, owNever, later), 3);
  EXPECT_EQ(TVersionResource::IsFileNewer("9.9", "  ", owNever, later), 2);
  EXPECT_EQ(TVersionResource::IsFileNewer("9.9", dir.File("none.exe"), owNever, later), 2);
  EXPECT_EQ(TVersionResource::IsFileNewer("1.2.3.4", target, owVersion, later), 1);
  EXPECT_EQ(TVersionResource::IsFileNewer("1.2.3.10", target, owVersion, earlier), 2);
  EXPECT_EQ(TVersionResource::IsFileNewer("1.2.3", target, owVersion, later), 3);
  EXPECT_EQ(TVersionResource::IsFileNewer("", target, owDate, later), 2);
  EXPECT_EQ(TVersionResource::IsFileNewer("", target, owDate, when), 1);
  EXPECT_EQ(TVersionResource::IsFileNewer("", target, owDate, earlier), 3);
  EXPECT_EQ(TVersionResource::IsFileNewer("", dir.File("none.exe"), owDate, later), 0);
  EXPECT_EQ(TVersionResource::IsFileNewer("1.2.3.4", target, owVersionDate, later), 2);
  EXPECT_EQ(TVersionResource::IsFileNewer("1.2.3.4", target, owVersionDate, earlier), 3);
  EXPECT_EQ(TVersionResource::IsFileNewer("1.2.3.3", target, owVersionDate, later), 3);
  EXPECT_EQ(TVersionResource::IsFileNewer("1.2.3.4", target, owAsk, later), 4);
  // A target known to be missing is judged as one looked for and not found.
  for (TOverwriteType rule : {owAlways, owNever, owVersion, owDate, owVersionDate, owAsk})
    for (const char* version : {"", "1.0", "0"})
      EXPECT_EQ(TVersionResource::IsFileNewerThanMissing(version, rule),
                TVersionResource::IsFileNewer(version, dir.File("none.exe"), rule, later))
          << "rule " << rule << ", version '" << version << "'";

  // Both files on disk.
  std::string newer = dir.File("newer.exe"), plainA = dir.File("a.exe"), plainB = dir.File("b.exe");
  Copy(Bin("ver_1235.exe"), newer);
  SetDate(newer, earlier);
  Copy(Bin("ver_none.exe"), plainA);
  Copy(Bin("ver_none.exe"), plainB);
  SetDate(plainA, later);
  SetDate(plainB, when);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(newer, target, owVersion), 2);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(target, newer, owVersion), 3);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(newer, target, owDate), 3);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(newer, target, owVersionDate), 2);
  // No version information on either side: same version, so the dates decide.
  EXPECT_EQ(TVersionResource::IsFileNewerByName(plainA, plainB, owVersion), 1);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(plainA, plainB, owVersionDate), 2);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(plainB, plainA, owVersionDate), 3);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(dir.File("gone.exe"), plainA, owDate), 0);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(plainA, plainB, owNever), 3);
  EXPECT_EQ(TVersionResource::IsFileNewerByName(plainA, plainB, owAsk), 4);
  // The module-wide instance reads through for callers.
  EXPECT_EQ(FileVersionOf(newer), "1.2.3.5");
  EXPECT_EQ(ModuleVersionResource()->VersionInfo().FileVersion, "1.2.3.5");
}
